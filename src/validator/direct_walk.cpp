#include "validator/direct_walk.h"

#include <cstring>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "frame/errors.h"
#include "frame/shared_buffer_ref.h"
#include "objects/nesting.h"
#include "validator/definitions.h"
#include "validator/own_objects.h"
#include "validator/texts.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::CPOSString;
using QEL_T_MT::POSException;
using QEL_T_MT::QELSharedBuffRef;

namespace {

// Atoms are interned: equal pointers are equal texts, and only different
// pointers need their bytes compared.
int Order(const char* a, const char* b) noexcept { return a == b ? 0 : std::strcmp(a, b); }

uint64_t UnitCount(const uint16_t* units) noexcept {
    uint64_t n = 0;
    if (units != nullptr)
        while (units[n] != 0) ++n;
    return n;
}

int32_t Fail(LineList& lines, const char* text) {
    lines.Append(FormatIntoPOSString("%s", text));
    return 1;
}
int32_t Fail(LineList& lines, const CPOSString& line) {
    lines.Append(line);
    return 1;
}

// True when some choice has exactly the text; reaching a choice that is no
// String stops the walk.
bool IsOneOf(const Choices& choices, const char* text) {
    for (const char* choice : choices.texts)
        if (Order(choice, text) == 0) return true;
    if (choices.endsInOther) throw POSException(text::kNotAString);
    return false;
}

// The member of a list of type names; reaching one that is no String stops
// the walk.
const TypeRef& ListedType(const TypeList& list, uint32_t index) {
    if (index >= list.names.size()) throw POSException(text::kNotAString);
    return list.names[index];
}

class Direct final {
public:
    Direct(const StructValidator& validator, const OwnValue& schema, const OwnObjects& own)
        : own_(own), definitions_(validator, schema, own) {}

    int32_t Run(const QELStringAtomRef& type, const OwnValue& value, LineList& lines);

private:
    // A nested check that a branch asks for.
    struct Ask final {
        const TypeRef* type = nullptr;
        OwnValue value;
    };

    struct ArrayState final {
        enum class Stage : uint8_t { Start, Every, Positional };
        Stage stage = Stage::Start;
        uint32_t count = 0;
        uint32_t index = 0;
    };
    struct DictState final {
        enum class Stage : uint8_t { Start, Member, Key, Value, Required, Optional, Unknown };
        enum class Asked : uint8_t { Key, Value, Required, Optional };
        Stage stage = Stage::Start;
        Asked asked = Asked::Key;
        bool known = false;
        OwnEntry entry{nullptr};
        OwnValue member;
        size_t requiredAt = 0;  // positions in the listings, which go in key order too
        size_t optionalAt = 0;
        const TypeRef* listed = nullptr;  // the type a listing gave the member
        CPOSString key;                   // the key as a value, for "keytype"
    };
    struct SetState final {
        uint32_t index = 0;
        bool accepted = false;
        LineList tried;  // a union's failed alternatives
    };

    // One check of a value against a type. Levels live in a vector, not on
    // the call stack: nesting costs no stack.
    struct Level final {
        Level(const TypeRef& type, const OwnValue& value) noexcept : type(&type), value(value) {}
        const TypeRef* type;
        OwnValue value;
        LineList lines;
        const Definition* definition = nullptr;  // null for a built-in type
        std::variant<std::monostate, ArrayState, DictState, SetState> branch;
        int32_t failures = 0;
    };
    // Levels move when the vector grows; a copy would take references.
    static_assert(std::is_nothrow_move_constructible_v<Level>);

    void Push(const TypeRef& type, const OwnValue& value);
    void Begin(Level& level);
    bool Next(Level& level, Ask& ask);
    void Take(Level& level, int32_t failures, const LineList& nested);
    int32_t Finish(Level& level);

    bool NextInArray(Level& level, ArrayState& s, Ask& ask);
    bool NextInDict(Level& level, DictState& s, Ask& ask);
    bool StartDict(Level& level);
    bool AskListed(const Listing& listing, size_t& at, DictState& s, Ask& ask) const;
    bool NextInUnion(Level& level, SetState& s, Ask& ask);
    bool NextInIntersection(Level& level, SetState& s, Ask& ask);
    void TakeInDict(Level& level, DictState& s, int32_t failures, const LineList& nested);

    bool BuiltIn(BuiltInType type, const OwnValue& value, LineList& lines) const;
    int32_t CheckNumber(BuiltInType type, const Definition& d, const OwnValue& value, LineList& lines) const;
    int32_t CheckString(const Definition& d, const OwnValue& value, LineList& lines) const;
    int32_t CheckUnicodeString(const Definition& d, const OwnValue& value, LineList& lines) const;
    int32_t CheckBinData(const Definition& d, const OwnValue& value, LineList& lines) const;
    int32_t CheckLength(const Definition& d, double length, LineList& lines, const char* belowFormat,
                        const char* aboveFormat) const;

    // A failed nested check's lines go to the level's list under a prefix.
    template <class... Args>
    static void TakePrefixed(Level& level, int32_t failures, const LineList& nested, const char* prefixFormat,
                             Args... args) {
        level.failures += failures;
        if (failures != 0) level.lines.AppendPrefixed(nested, FormatIntoPOSString(prefixFormat, args...));
    }

    OwnValue Own(QELContainerHandle handle) const {
        OwnValue value;
        if (!own_.Read(handle, value)) throw ReferenceWalkNeeded();
        return value;
    }
    bool Is(const char* text, Keyword keyword) const noexcept { return definitions_.Is(text, keyword); }

    const OwnObjects& own_;
    Definitions definitions_;
    TypeRef top_;
    std::vector<Level> levels_;
};

// ------------------------------------------------------------------ the walk

int32_t Direct::Run(const QELStringAtomRef& type, const OwnValue& value, LineList& lines) {
    top_ = definitions_.Ref(type);
    levels_.reserve(16);
    Push(top_, value);
    for (;;) {
        Level& level = levels_.back();
        Ask ask;
        if (Next(level, ask)) {
            Push(*ask.type, ask.value);
            continue;
        }
        const int32_t failures = Finish(level);
        if (levels_.size() == 1) {
            lines = std::move(level.lines);
            return failures;
        }
        const LineList nested = std::move(level.lines);
        levels_.pop_back();
        Take(levels_.back(), failures, nested);
    }
}

void Direct::Push(const TypeRef& type, const OwnValue& value) {
    if (levels_.size() >= NPOSObjectImpl::kMaxNesting) throw DWEException(text::kTooDeep.data());
    Begin(levels_.emplace_back(type, value));
}

void Direct::Begin(Level& level) {
    const TypeRef& type = *level.type;
    if (type.builtIn != BuiltInType::None) {
        level.failures = BuiltIn(type.builtIn, level.value, level.lines) ? 0 : 1;
        return;
    }
    const Definition& d = definitions_.Of(type);
    level.definition = &d;
    switch (d.category) {
        case Category::NoDefinition:
            level.failures = Fail(level.lines, FormatIntoPOSString(text::kNoDefinition, type.name->text()));
            return;
        case Category::NoCategory: {
            const std::string message = std::string(text::kNoCategoryHead) + type.name->text() + text::kNoCategoryTail;
            QEL_T_MT::ThrowQELError(message.c_str(), "", 0);
        }
        case Category::Unknown: throw DWEException(text::kUnknownCategory);
        case Category::Int: level.failures = CheckNumber(BuiltInType::Int, d, level.value, level.lines); return;
        case Category::Real: level.failures = CheckNumber(BuiltInType::Real, d, level.value, level.lines); return;
        case Category::String: level.failures = CheckString(d, level.value, level.lines); return;
        case Category::UnicodeString: level.failures = CheckUnicodeString(d, level.value, level.lines); return;
        case Category::BinData: level.failures = CheckBinData(d, level.value, level.lines); return;
        case Category::RawPtr: level.failures = BuiltIn(BuiltInType::RawPtr, level.value, level.lines) ? 0 : 1; return;
        case Category::ObjRef: level.failures = BuiltIn(BuiltInType::ObjRef, level.value, level.lines) ? 0 : 1; return;
        case Category::Array: level.branch.emplace<ArrayState>(); return;
        case Category::Dict: level.branch.emplace<DictState>(); return;
        case Category::Union:
        case Category::Intersection: level.branch.emplace<SetState>(); return;
    }
}

bool Direct::Next(Level& level, Ask& ask) {
    if (auto* s = std::get_if<ArrayState>(&level.branch)) return NextInArray(level, *s, ask);
    if (auto* s = std::get_if<DictState>(&level.branch)) return NextInDict(level, *s, ask);
    if (auto* s = std::get_if<SetState>(&level.branch))
        return level.definition->category == Category::Union ? NextInUnion(level, *s, ask)
                                                              : NextInIntersection(level, *s, ask);
    return false;
}

void Direct::Take(Level& level, int32_t failures, const LineList& nested) {
    if (auto* s = std::get_if<ArrayState>(&level.branch)) {
        TakePrefixed(level, failures, nested, text::kMemberPrefix, static_cast<int>(s->index));
        ++s->index;
    } else if (auto* d = std::get_if<DictState>(&level.branch)) {
        TakeInDict(level, *d, failures, nested);
    } else if (auto* u = std::get_if<SetState>(&level.branch)) {
        const char* name = level.definition->set.names[u->index].name->text();
        if (level.definition->category == Category::Intersection) {
            // Every member is tried, also after a failure.
            TakePrefixed(level, failures, nested, text::kFailedIntersection, name);
            ++u->index;
        } else if (failures == 0) {
            // The lines of the alternatives tried before are dropped.
            u->accepted = true;
            u->tried.Reset();
        } else {
            u->tried.AppendPrefixed(nested, FormatIntoPOSString(text::kTrying, name));
            ++u->index;
        }
    }
}

int32_t Direct::Finish(Level& level) {
    if (level.failures != 0 || level.definition == nullptr || level.definition->check == nullptr)
        return level.failures;
    // A buffer only for a procedure to write into: with none registered the
    // reference walk's buffer is scratch that nobody sees, and is not made.
    const StructValidator::CheckEntry& check = *level.definition->check;
    const QELSharedBuffRef buffer = QELSharedBuffRef::New(kCheckBufferSize);
    if (check.proc(level.value.handle, level.type->name->atom(), buffer.handle(), check.clientData) != 0) return 0;
    return Fail(level.lines, CPOSString(BufferText(buffer)));
}

// ------------------------------------------------------------------ branches

bool Direct::NextInArray(Level& level, ArrayState& s, Ask& ask) {
    const Definition& d = *level.definition;
    if (s.stage == ArrayState::Stage::Start) {
        if (level.value.kind != ValueKind::Array) {
            level.failures = Fail(level.lines, text::kArrayExpected);
            return false;
        }
        s.count = level.value.Count();
        level.failures = CheckLength(d, static_cast<double>(s.count), level.lines, text::kArrayBelow, text::kArrayAbove);
        if (d.every.name != nullptr) {
            s.stage = ArrayState::Stage::Every;
        } else if (d.positional.present) {
            if (d.positional.count != s.count) {
                level.failures += Fail(level.lines, text::kPositionalSize);
                return false;
            }
            s.stage = ArrayState::Stage::Positional;
        } else {
            return false;
        }
    }
    if (s.index >= s.count) return false;
    // A position's type is read before its member.
    ask.type = s.stage == ArrayState::Stage::Every ? &d.every : &ListedType(d.positional, s.index);
    ask.value = Own(level.value.Member(s.index));
    return true;
}

bool Direct::NextInDict(Level& level, DictState& s, Ask& ask) {
    using Stage = DictState::Stage;
    const Definition& d = *level.definition;
    for (;;) {
        switch (s.stage) {
            case Stage::Start:
                if (!StartDict(level)) return false;
                s.entry = level.value.First();
                s.stage = Stage::Member;
                break;
            case Stage::Member:
                if (s.entry.done()) return false;
                s.member = Own(s.entry.Value());
                s.known = false;
                s.stage = Stage::Key;
                break;
            case Stage::Key:
                s.stage = Stage::Value;
                if (d.keyType.name != nullptr) {
                    s.key = CPOSString(s.entry.Key());
                    ask = {&d.keyType, Own(s.key.handle())};
                    s.asked = DictState::Asked::Key;
                    return true;
                }
                break;
            case Stage::Value:
                s.stage = Stage::Required;
                if (d.valueType.name != nullptr) {
                    ask = {&d.valueType, s.member};
                    s.asked = DictState::Asked::Value;
                    return true;
                }
                break;
            case Stage::Required:
                // "required", then "optional": a member listed in both is
                // checked against both types.
                s.stage = Stage::Optional;
                if (AskListed(d.required, s.requiredAt, s, ask)) {
                    s.asked = DictState::Asked::Required;
                    return true;
                }
                break;
            case Stage::Optional:
                s.stage = Stage::Unknown;
                if (AskListed(d.optional, s.optionalAt, s, ask)) {
                    s.asked = DictState::Asked::Optional;
                    return true;
                }
                break;
            case Stage::Unknown:
                if (!s.known) level.failures += Fail(level.lines, FormatIntoPOSString(text::kUnknownMember, s.entry.Key()));
                s.entry.Next();
                s.stage = Stage::Member;
                break;
        }
    }
}

// False when the branch is already decided: not a dictionary, or required
// members missing (which hide everything else).
bool Direct::StartDict(Level& level) {
    if (level.value.kind != ValueKind::Dict) {
        level.failures = Fail(level.lines, text::kDictExpected);
        return false;
    }
    const Listing& required = level.definition->required;
    if (!required.present) return true;
    // The required names against the members, both in key order. A member
    // that is there is read, as the reference walk reads it.
    int32_t missing = 0;
    OwnEntry entry = level.value.First();
    for (const Listing::Member& listed : required.members) {
        int order = 1;
        while (!entry.done() && (order = Order(entry.Key(), listed.key)) < 0) entry.Next();
        if (!entry.done() && order == 0)
            Own(entry.Value());
        else
            missing += Fail(level.lines, FormatIntoPOSString(text::kMissing, listed.key));
    }
    level.failures = missing;
    return missing == 0;
}

// The member's type in a listing, when the listing names it with a String.
bool Direct::AskListed(const Listing& listing, size_t& at, DictState& s, Ask& ask) const {
    if (!listing.present) return false;
    const char* key = s.entry.Key();
    for (; at < listing.members.size(); ++at) {
        const int order = Order(listing.members[at].key, key);
        if (order > 0) return false;
        if (order < 0) continue;
        const TypeRef& type = listing.members[at].type;
        if (type.name == nullptr) return false;
        s.known = true;
        s.listed = &type;
        ask = {&type, s.member};
        return true;
    }
    return false;
}

void Direct::TakeInDict(Level& level, DictState& s, int32_t failures, const LineList& nested) {
    const Definition& d = *level.definition;
    const char* key = s.entry.Key();
    switch (s.asked) {
        case DictState::Asked::Key:
            TakePrefixed(level, failures, nested, text::kKeyPrefix, key, d.keyType.name->text());
            s.key.Reset();
            s.known = true;
            break;
        case DictState::Asked::Value:
            TakePrefixed(level, failures, nested, text::kValuePrefix, key, d.valueType.name->text());
            break;
        case DictState::Asked::Required:
            TakePrefixed(level, failures, nested, text::kRequiredPrefix, key, s.listed->name->text());
            break;
        case DictState::Asked::Optional:
            TakePrefixed(level, failures, nested, text::kOptionalPrefix, key, s.listed->name->text());
            break;
    }
}

bool Direct::NextInUnion(Level& level, SetState& s, Ask& ask) {
    if (s.accepted) return false;
    const TypeList& set = level.definition->set;
    if (s.index < set.count) {
        ask = {&ListedType(set, s.index), level.value};
        return true;
    }
    // No alternative accepted: one broken rule, however many lines.
    if (!s.tried.empty()) level.lines.AppendPrefixed(s.tried, CPOSString(text::kNotAUnion));
    level.failures = 1;
    return false;
}

bool Direct::NextInIntersection(Level& level, SetState& s, Ask& ask) {
    const TypeList& set = level.definition->set;
    if (s.index >= set.count) return false;
    ask = {&ListedType(set, s.index), level.value};
    return true;
}

// ------------------------------------------------------------------ values

bool Direct::BuiltIn(BuiltInType type, const OwnValue& value, LineList& lines) const {
    const auto verdict = [&](bool accepted, const char* line) {
        if (!accepted) Fail(lines, line);
        return accepted;
    };
    const ValueKind kind = value.kind;
    // The first row whose kind matches the value decides.
    switch (type) {
        case BuiltInType::None:
        case BuiltInType::Any: return true;
        case BuiltInType::Bool:
            if (kind == ValueKind::Number) {
                const double x = value.Number();
                return verdict(x == 0.0 || x == 1.0, text::kBoolNumber);
            }
            if (kind == ValueKind::String) {
                const char* word = value.Text().text();
                return verdict(Is(word, Keyword::True) || Is(word, Keyword::False), text::kBoolString);
            }
            return verdict(false, text::kBoolKind);
        case BuiltInType::Int:
            if (kind == ValueKind::Number) {
                const double x = value.Number();
                return verdict(static_cast<double>(TruncateToInt32(x)) == x, text::kIntWhole);
            }
            return verdict(false, text::kIntKind);
        case BuiltInType::Real: return verdict(kind == ValueKind::Number, text::kRealKind);
        case BuiltInType::String: return verdict(kind == ValueKind::String, text::kStringKind);
        case BuiltInType::UnicodeString: return verdict(kind == ValueKind::UnicodeString, text::kUnicodeStringKind);
        case BuiltInType::BinData: return verdict(kind == ValueKind::BinData, text::kBinDataKind);
        case BuiltInType::RawPtr: return verdict(kind == ValueKind::RawPointer, text::kRawPtrKind);
        case BuiltInType::ObjRef: return verdict(kind == ValueKind::RawPointer, text::kObjRefKind);
    }
    return true;
}

int32_t Direct::CheckLength(const Definition& d, double length, LineList& lines, const char* belowFormat,
                            const char* aboveFormat) const {
    int32_t failures = 0;
    // A format without %d ignores the bound.
    if (d.minLen.present && length < d.minLen.value)
        failures += Fail(lines, FormatIntoPOSString(belowFormat, TruncateToInt32(d.minLen.value)));
    if (d.maxLen.present && length > d.maxLen.value)
        failures += Fail(lines, FormatIntoPOSString(aboveFormat, TruncateToInt32(d.maxLen.value)));
    return failures;
}

int32_t Direct::CheckNumber(BuiltInType type, const Definition& d, const OwnValue& value, LineList& lines) const {
    if (!BuiltIn(type, value, lines)) return 1;
    const double x = value.Number();
    int32_t failures = 0;
    // Each bound on its own; a comparison with NaN is false.
    if (d.min.present && x < d.min.value)
        failures += Fail(lines, FormatIntoPOSString(text::kBelowMin, SinglePrecision(d.min.value)));
    if (d.max.present && x > d.max.value)
        failures += Fail(lines, FormatIntoPOSString(text::kAboveMax, SinglePrecision(d.max.value)));
    if (d.minExcl.present && x <= d.minExcl.value)
        failures += Fail(lines, FormatIntoPOSString(text::kBelowMinExcl, SinglePrecision(d.minExcl.value)));
    if (d.maxExcl.present && x >= d.maxExcl.value)
        failures += Fail(lines, FormatIntoPOSString(text::kAboveMaxExcl, SinglePrecision(d.maxExcl.value)));
    return failures;
}

int32_t Direct::CheckString(const Definition& d, const OwnValue& value, LineList& lines) const {
    if (!BuiltIn(BuiltInType::String, value, lines)) return 1;
    const char* text = value.Text().text();
    const size_t length = std::strlen(text);
    int32_t failures = CheckLength(d, static_cast<double>(length), lines, text::kStringBelow, text::kStringAbove);
    if (d.illegalChars != nullptr && std::strcspn(text, d.illegalChars) < length)
        failures += Fail(lines, FormatIntoPOSString(text::kIllegalChars, d.illegalChars));
    if (d.oneOf.present && !IsOneOf(d.oneOf, text)) failures += Fail(lines, text::kStringNotOneOf);
    return failures;
}

int32_t Direct::CheckUnicodeString(const Definition& d, const OwnValue& value, LineList& lines) const {
    if (!BuiltIn(BuiltInType::UnicodeString, value, lines)) return 1;
    return CheckLength(d, static_cast<double>(UnitCount(value.Units())), lines, text::kUnicodeBelow,
                       text::kUnicodeAbove);
}

int32_t Direct::CheckBinData(const Definition& d, const OwnValue& value, LineList& lines) const {
    if (!BuiltIn(BuiltInType::BinData, value, lines)) return 1;
    // Binary data's bounds use the string messages.
    int32_t failures =
        CheckLength(d, static_cast<double>(value.Size()), lines, text::kStringBelow, text::kStringAbove);
    if (d.oneOf.present) {
        const char* typeName = value.TypeName();
        if (!IsOneOf(d.oneOf, typeName != nullptr ? typeName : ""))
            failures += Fail(lines, text::kTypeNameNotOneOf);
    }
    return failures;
}

}  // namespace

std::optional<int32_t> DirectWalk(const StructValidator& validator, const QELStringAtomRef& type,
                                  const CPOSObject& value, LineList& lines) {
    const OwnObjects own;
    OwnValue schema;
    OwnValue top;
    if (!own.Read(validator.schema().handle(), schema) || schema.kind != ValueKind::Dict) return std::nullopt;
    if (!own.Read(value.handle(), top)) return std::nullopt;
    try {
        Direct walk(validator, schema, own);
        return walk.Run(type, top, lines);
    } catch (const ReferenceWalkNeeded&) {
        return std::nullopt;
    }
}

}  // namespace NPOSValidatorImpl
