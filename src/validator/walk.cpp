#include "validator/walk.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/shared_buffer_ref.h"
#include "objects/heap_stack.h"
#include "objects/nesting.h"
#include "validator/messages.h"
#include "validator/texts.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::Lookup;

using QEL_T_MT::CPOSBinData;
using QEL_T_MT::CPOSDictIterator;
using QEL_T_MT::CPOSNumber;
using QEL_T_MT::CPOSRawPointer;
using QEL_T_MT::CPOSUnicodeString;
using QEL_T_MT::QELSharedBuffRef;

namespace {

// Appends one line made from a fixed text; counts one broken rule.
int32_t Fail(const CPOSArray& lines, const char* text) {
    lines.Append(FormatIntoPOSString("%s", text));
    return 1;
}
int32_t Fail(const CPOSArray& lines, const CPOSString& line) {
    lines.Append(line);
    return 1;
}

// The schema's definition of a type. Asked of the dictionary procedure
// whatever the schema is, so that a schema of another kind reads as one
// without definitions (the procedure reports its own failure).
CPOSDict Definition(const CPOSObject& schema, QELStringAtom type) {
    const auto get = QEL_T_MT::POSClientProc<qelutils::contract::POSDictInterface::Get>();
    QELContainerHandle found = get(schema.handle(), type);
    if (found == nullptr) return CPOSDict();
    return CPOSDict(CPOSObject(found), Lookup::Quiet);
}

// True when some member of the list has exactly the text; every member must
// be a String.
bool IsOneOf(const CPOSArray& choices, const char* text) {
    const uint32_t count = choices.Count();
    for (uint32_t i = 0; i < count; ++i)
        if (std::strcmp(text, CPOSString(choices.GetAt(i, Lookup::Strict), Lookup::Strict).Get()) == 0) return true;
    return false;
}

// Length of a text of 16-bit units up to its terminating zero unit.
uint64_t UnitCount(const uint16_t* units) noexcept {
    uint64_t n = 0;
    if (units != nullptr)
        while (units[n] != 0) ++n;
    return n;
}

}  // namespace

template <class Kind>
Kind Walk::Get(const CPOSDict& definition, Keyword keyword) const {
    return Kind(definition.Get(validator_.keyword(keyword).atom(), Lookup::Quiet), Lookup::Quiet);
}

int32_t Walk::CheckLength(const CPOSDict& definition, double length, const CPOSArray& lines,
                          const char* belowFormat, const char* aboveFormat) const {
    int32_t failures = 0;
    // A format without %d ignores the bound.
    if (const CPOSNumber b = Get<CPOSNumber>(definition, Keyword::MinLen); !b.empty() && length < b.Get())
        failures += Fail(lines, FormatIntoPOSString(belowFormat, TruncateToInt32(b.Get())));
    if (const CPOSNumber b = Get<CPOSNumber>(definition, Keyword::MaxLen); !b.empty() && length > b.Get())
        failures += Fail(lines, FormatIntoPOSString(aboveFormat, TruncateToInt32(b.Get())));
    return failures;
}

// ------------------------------------------------------------------ levels

// A nested check that a branch asks for. The branch owns the type and the
// value; the fresh list for the check's lines is this one's.
struct Walk::Nested final {
    const QELStringAtomRef* type = nullptr;
    const CPOSObject* value = nullptr;
    CPOSArray lines;
};

// A definition walk over the parts of a value (members, entries,
// alternatives) that hands out its nested checks one at a time and takes
// their failures back, so that a nested check is a heap level, not a frame.
class Walk::Branch {
public:
    Branch(Walk& walk, const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) noexcept
        : walk_(walk), definition_(definition), value_(value), lines_(lines) {}
    virtual ~Branch() = default;
    Branch(const Branch&) = delete;
    Branch& operator=(const Branch&) = delete;

    // Goes on until a nested check is needed (true; see nested()) or the
    // branch is done (false; failures() is its count).
    virtual bool Next() = 0;
    // The failures of the nested check last handed out.
    virtual void Take(int32_t failures) = 0;

    const Nested& nested() const noexcept { return nested_; }
    int32_t failures() const noexcept { return failures_; }

protected:
    // The nested check of a value against a type, into a list of its own.
    void Ask(const QELStringAtomRef& type, const CPOSObject& value) {
        nested_.lines = CPOSArray::New();
        nested_.type = &type;
        nested_.value = &value;
    }
    // A failed nested check's lines go to this level's list under a prefix.
    template <class... Args>
    void TakePrefixed(int32_t failures, const char* prefixFormat, Args... args) {
        failures_ += failures;
        if (failures != 0) AppendPrefixed(lines_, nested_.lines, FormatIntoPOSString(prefixFormat, args...));
        nested_.lines.Reset();
    }

    Walk& walk_;
    const CPOSDict& definition_;
    const CPOSObject& value_;
    const CPOSArray& lines_;
    Nested nested_;
    int32_t failures_ = 0;
};

// One check of a value against a type name, counted by its guard.
struct Walk::Level final {
    Level(unsigned& depth, const QELStringAtomRef& type, const CPOSObject& value, const CPOSArray& lines)
        : nesting(depth, DWEException(text::kTooDeep.data())), type(type), value(value), lines(lines) {}
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

    NPOSObjectImpl::NestingGuard nesting;
    const QELStringAtomRef& type;
    const CPOSObject& value;
    const CPOSArray& lines;
    CPOSDict definition;
    std::unique_ptr<Branch> branch;  // while the definition walks the value's parts
    int32_t failures = 0;
    bool builtIn = false;  // a built-in type: no definition, no check procedure
};

// ------------------------------------------------------------------ branches

class Walk::ArrayBranch final : public Walk::Branch {
public:
    using Branch::Branch;

    bool Next() override {
        for (;;) {
            switch (stage_) {
                case Stage::Start:
                    array_ = CPOSArray(value_, Lookup::Quiet);
                    if (array_.empty()) {
                        failures_ = Fail(lines_, text::kArrayExpected);
                        return false;
                    }
                    count_ = array_.Count();
                    failures_ = walk_.CheckLength(definition_, static_cast<double>(count_), lines_,
                                                  text::kArrayBelow,
                                                  text::kArrayAbove);
                    memberType_ = definition_.Get(walk_.validator_.keyword(Keyword::MemberType).atom(), Lookup::Quiet);
                    stage_ = Stage::Positional;
                    if (const CPOSString every(memberType_, Lookup::Quiet); !every.empty()) {
                        type_ = QELStringAtomRef(every.Get());
                        stage_ = Stage::Every;
                    }
                    break;
                case Stage::Every:
                    // One type for every member.
                    if (index_ < count_) {
                        member_ = array_.GetAt(index_, Lookup::Strict);
                        Ask(type_, member_);
                        return true;
                    }
                    type_ = QELStringAtomRef();
                    stage_ = Stage::Positional;
                    break;
                case Stage::Positional:
                    positional_ = CPOSArray(memberType_, Lookup::Quiet);
                    if (positional_.empty()) return false;
                    if (positional_.Count() != count_) {
                        failures_ += Fail(lines_, text::kPositionalSize);
                        return false;
                    }
                    index_ = 0;
                    stage_ = Stage::EachPosition;
                    break;
                case Stage::EachPosition:
                    // A type for each position.
                    if (index_ >= count_) return false;
                    type_ = QELStringAtomRef(CPOSString(positional_.GetAt(index_, Lookup::Strict), Lookup::Strict).Get());
                    member_ = array_.GetAt(index_, Lookup::Strict);
                    Ask(type_, member_);
                    return true;
            }
        }
    }

    void Take(int32_t failures) override {
        TakePrefixed(failures, text::kMemberPrefix, static_cast<int>(index_));
        member_.Reset();
        if (stage_ == Stage::EachPosition) type_ = QELStringAtomRef();
        ++index_;
    }

private:
    enum class Stage { Start, Every, Positional, EachPosition };
    Stage stage_ = Stage::Start;
    CPOSArray array_;
    CPOSObject memberType_;
    CPOSArray positional_;
    QELStringAtomRef type_;
    CPOSObject member_;
    uint32_t count_ = 0;
    uint32_t index_ = 0;
};

class Walk::DictBranch final : public Walk::Branch {
public:
    using Branch::Branch;

    bool Next() override {
        for (;;) {
            switch (stage_) {
                case Stage::Start:
                    if (!Start()) return false;
                    stage_ = Stage::Member;
                    break;
                case Stage::Member:
                    if (entries_->IsDone()) return false;
                    key_ = entries_->CurKey();
                    member_ = dict_.Get(key_, Lookup::Strict);
                    known_ = false;
                    stage_ = Stage::Key;
                    break;
                case Stage::Key:
                    stage_ = Stage::Value;
                    if (keyTypeName_) {
                        keyString_ = CPOSString(key_);
                        Ask(keyTypeName_, keyString_);
                        asked_ = Asked::Key;
                        return true;
                    }
                    break;
                case Stage::Value:
                    stage_ = Stage::Listed;
                    listed_ = 0;
                    if (valueTypeName_) {
                        Ask(valueTypeName_, member_);
                        asked_ = Asked::Value;
                        return true;
                    }
                    break;
                case Stage::Listed:
                    // "required", then "optional": a member listed in both is
                    // checked against both types.
                    if (listed_ == 2) {
                        stage_ = Stage::Unknown;
                        break;
                    }
                    if (AskListed(listed_++ == 0 ? Keyword::Required : Keyword::Optional)) return true;
                    break;
                case Stage::Unknown:
                    if (!known_) failures_ += Fail(lines_, FormatIntoPOSString(text::kUnknownMember, key_));
                    member_.Reset();
                    entries_->Next();
                    stage_ = Stage::Member;
                    break;
            }
        }
    }

    void Take(int32_t failures) override {
        switch (asked_) {
            case Asked::Key:
                TakePrefixed(failures, text::kKeyPrefix, key_, keyTypeName_.text());
                keyString_.Reset();
                known_ = true;
                break;
            case Asked::Value:
                TakePrefixed(failures, text::kValuePrefix, key_, valueTypeName_.text());
                break;
            case Asked::Required:
            case Asked::Optional:
                TakePrefixed(failures,
                             asked_ == Asked::Required ? text::kRequiredPrefix : text::kOptionalPrefix,
                             key_, typeText_.Get());
                listedType_ = QELStringAtomRef();
                typeText_.Reset();
                break;
        }
    }

private:
    enum class Stage { Start, Member, Key, Value, Listed, Unknown };
    enum class Asked { Key, Value, Required, Optional };

    // False when the branch is already decided: not a dictionary, or required
    // members missing (which hide everything else).
    bool Start() {
        dict_ = CPOSDict(value_, Lookup::Quiet);
        if (dict_.empty()) {
            failures_ = Fail(lines_, text::kDictExpected);
            return false;
        }
        int32_t missing = 0;
        if (const CPOSDict required = walk_.Get<CPOSDict>(definition_, Keyword::Required); !required.empty()) {
            const CPOSDictIterator it(required);
            for (it.Begin(); !it.IsDone(); it.Next()) {
                const char* key = it.CurKey();
                if (dict_.Get(key, Lookup::Quiet).empty())
                    missing += Fail(lines_, FormatIntoPOSString(text::kMissing, key));
            }
        }
        if (missing != 0) {
            failures_ = missing;
            return false;
        }
        const CPOSString keyType = walk_.Get<CPOSString>(definition_, Keyword::KeyType);
        const CPOSString valueType = walk_.Get<CPOSString>(definition_, Keyword::ValueType);
        if (!keyType.empty()) keyTypeName_ = QELStringAtomRef(keyType.Get());
        if (!valueType.empty()) valueTypeName_ = QELStringAtomRef(valueType.Get());
        entries_.emplace(dict_);
        entries_->Begin();
        return true;
    }

    // The member's type in a "required" or "optional" list, when it has one.
    bool AskListed(Keyword keyword) {
        const CPOSDict listed = walk_.Get<CPOSDict>(definition_, keyword);
        if (listed.empty()) return false;
        typeText_ = CPOSString(listed.Get(key_, Lookup::Quiet), Lookup::Quiet);
        if (typeText_.empty()) return false;
        known_ = true;
        listedType_ = QELStringAtomRef(typeText_.Get());
        Ask(listedType_, member_);
        asked_ = keyword == Keyword::Required ? Asked::Required : Asked::Optional;
        return true;
    }

    Stage stage_ = Stage::Start;
    Asked asked_ = Asked::Key;
    CPOSDict dict_;
    QELStringAtomRef keyTypeName_;
    QELStringAtomRef valueTypeName_;
    std::optional<CPOSDictIterator> entries_;
    const char* key_ = nullptr;  // valid while the iterator stands on it
    CPOSObject member_;
    CPOSString keyString_;
    CPOSString typeText_;
    QELStringAtomRef listedType_;
    unsigned listed_ = 0;
    bool known_ = false;
};

// What a union and an intersection share: the type names of the
// definition's set, asked about the value one after another.
class Walk::SetBranch : public Walk::Branch {
protected:
    using Branch::Branch;

    // Reads the set the first time it is called; true then.
    bool Start() {
        if (started_) return false;
        started_ = true;
        set_ = walk_.Get<CPOSArray>(definition_, Keyword::Set);
        count_ = set_.empty() ? 0 : set_.Count();
        return true;
    }
    // Asks about the value against the next type of the set; false after
    // the last.
    bool AskNext() {
        if (index_ >= count_) return false;
        name_ = CPOSString(set_.GetAt(index_, Lookup::Strict), Lookup::Strict);
        type_ = QELStringAtomRef(name_.Get());
        Ask(type_, value_);
        return true;
    }
    // Done with the type asked about last.
    void Advance() {
        type_ = QELStringAtomRef();
        ++index_;
    }
    const char* name() const { return name_.Get(); }

private:
    CPOSArray set_;
    CPOSString name_;
    QELStringAtomRef type_;
    uint32_t count_ = 0;
    uint32_t index_ = 0;
    bool started_ = false;
};

class Walk::UnionBranch final : public Walk::SetBranch {
public:
    using SetBranch::SetBranch;

    bool Next() override {
        if (Start()) tried_ = CPOSArray::New();
        if (accepted_) return false;
        if (AskNext()) return true;
        // No alternative accepted: one broken rule, however many lines.
        AppendPrefixed(lines_, tried_, CPOSString(text::kNotAUnion));
        failures_ = 1;
        return false;
    }

    void Take(int32_t failures) override {
        if (failures == 0) {
            // The lines of the alternatives tried before are dropped.
            accepted_ = true;
        } else {
            AppendPrefixed(tried_, nested_.lines, FormatIntoPOSString(text::kTrying, name()));
            nested_.lines.Reset();
        }
        Advance();
    }

private:
    CPOSArray tried_;
    bool accepted_ = false;
};

class Walk::IntersectionBranch final : public Walk::SetBranch {
public:
    using SetBranch::SetBranch;

    bool Next() override {
        Start();
        // Every member is tried, also after a failure.
        return AskNext();
    }

    void Take(int32_t failures) override {
        TakePrefixed(failures, text::kFailedIntersection, name());
        Advance();
    }
};

// ------------------------------------------------------------------ the walk

int32_t Walk::CheckByName(const QELStringAtomRef& type, const CPOSObject& value, const CPOSArray& lines) {
    NPOSObjectImpl::HeapStack<Level> levels;
    Begin(levels.Push(depth_, type, value, lines));
    for (;;) {
        Level& level = levels.Top();
        if (level.branch != nullptr) {
            if (level.branch->Next()) {
                const Nested& nested = level.branch->nested();
                Begin(levels.Push(depth_, *nested.type, *nested.value, nested.lines));
                continue;
            }
            level.failures = level.branch->failures();
            level.branch.reset();
        }
        level.definition.Reset();
        const int32_t failures = level.builtIn ? level.failures : CheckRegistered(level);
        levels.Pop();
        if (levels.empty()) return failures;
        levels.Top().branch->Take(failures);
    }
}

void Walk::Begin(Level& level) {
    switch (CheckBuiltIn(level.type.text(), level.value, level.lines)) {
        case BuiltIn::Accepted:
            level.builtIn = true;
            return;
        case BuiltIn::Rejected:
            level.builtIn = true;
            level.failures = 1;
            return;
        case BuiltIn::NotBuiltIn:
            break;
    }

    level.definition = Definition(validator_.schema(), level.type.atom());
    const CPOSDict& definition = level.definition;
    if (definition.empty()) {
        level.failures =
            Fail(level.lines, FormatIntoPOSString(text::kNoDefinition, level.type.text()));
        return;
    }
    const CPOSString category = Get<CPOSString>(definition, Keyword::Category);
    if (category.empty()) {
        const std::string message =
            std::string(text::kNoCategoryHead) + level.type.text() + text::kNoCategoryTail;
        QEL_T_MT::ThrowQELError(message.c_str(), "", 0);
    }
    const QELStringAtomRef word(category.Get());
    const char* c = word.text();
    const CPOSObject& value = level.value;
    const CPOSArray& lines = level.lines;
    if (Is(c, Keyword::Int)) {
        level.failures = CheckNumber(Keyword::Int, definition, value, lines);
    } else if (Is(c, Keyword::Real)) {
        level.failures = CheckNumber(Keyword::Real, definition, value, lines);
    } else if (Is(c, Keyword::String)) {
        level.failures = CheckString(definition, value, lines);
    } else if (Is(c, Keyword::UnicodeString)) {
        level.failures = CheckUnicodeString(definition, value, lines);
    } else if (Is(c, Keyword::BinData)) {
        level.failures = CheckBinData(definition, value, lines);
    } else if (Is(c, Keyword::RawPtr) || Is(c, Keyword::QelObjRef) || Is(c, Keyword::ZuBaseObjRef) ||
               Is(c, Keyword::QelErrorObjRef)) {
        level.failures = CheckBuiltIn(c, value, lines) == BuiltIn::Accepted ? 0 : 1;
    } else if (Is(c, Keyword::Array)) {
        level.branch = std::make_unique<ArrayBranch>(*this, definition, value, lines);
    } else if (Is(c, Keyword::Dict)) {
        level.branch = std::make_unique<DictBranch>(*this, definition, value, lines);
    } else if (Is(c, Keyword::Union)) {
        level.branch = std::make_unique<UnionBranch>(*this, definition, value, lines);
    } else if (Is(c, Keyword::Intersection)) {
        level.branch = std::make_unique<IntersectionBranch>(*this, definition, value, lines);
    } else {
        throw DWEException(text::kUnknownCategory);
    }
}

int32_t Walk::CheckRegistered(const Level& level) const {
    int32_t failures = level.failures;
    if (failures > 0) return failures;
    // Every defined type that passed gets a buffer, whether or not a check
    // procedure is registered for it.
    const StructValidator::CheckEntry* entry = validator_.FindCheck(level.type);
    const QELSharedBuffRef buffer = QELSharedBuffRef::New(kCheckBufferSize);
    if (entry != nullptr && entry->proc != nullptr &&
        entry->proc(level.value.handle(), level.type.atom(), buffer.handle(), entry->clientData) == 0) {
        failures += Fail(level.lines, CPOSString(BufferText(buffer)));
    }
    return failures;
}

Walk::BuiltIn Walk::CheckBuiltIn(const char* type, const CPOSObject& value, const CPOSArray& lines) const {
    const auto verdict = [&](bool accepted, const char* line) {
        if (accepted) return BuiltIn::Accepted;
        Fail(lines, line);
        return BuiltIn::Rejected;
    };
    // The first row whose kind matches the value decides.
    if (Is(type, Keyword::Any)) return BuiltIn::Accepted;
    if (Is(type, Keyword::Bool)) {
        if (const CPOSNumber number(value, Lookup::Quiet); !number.empty()) {
            const double x = number.Get();
            return verdict(x == 0.0 || x == 1.0, text::kBoolNumber);
        }
        if (const CPOSString string(value, Lookup::Quiet); !string.empty()) {
            const QELStringAtomRef word(string.Get());
            return verdict(Is(word.text(), Keyword::True) || Is(word.text(), Keyword::False),
                           text::kBoolString);
        }
        return verdict(false, text::kBoolKind);
    }
    if (Is(type, Keyword::Int)) {
        if (const CPOSNumber number(value, Lookup::Quiet); !number.empty()) {
            const double x = number.Get();
            return verdict(static_cast<double>(TruncateToInt32(x)) == x, text::kIntWhole);
        }
        return verdict(false, text::kIntKind);
    }
    if (Is(type, Keyword::Real)) return verdict(!CPOSNumber(value, Lookup::Quiet).empty(), text::kRealKind);
    if (Is(type, Keyword::String))
        return verdict(!CPOSString(value, Lookup::Quiet).empty(), text::kStringKind);
    if (Is(type, Keyword::UnicodeString))
        return verdict(!CPOSUnicodeString(value, Lookup::Quiet).empty(), text::kUnicodeStringKind);
    if (Is(type, Keyword::BinData))
        return verdict(!CPOSBinData(value, Lookup::Quiet).empty(), text::kBinDataKind);
    if (Is(type, Keyword::RawPtr))
        return verdict(!CPOSRawPointer(value, Lookup::Quiet).empty(), text::kRawPtrKind);
    if (Is(type, Keyword::QelObjRef) || Is(type, Keyword::ZuBaseObjRef) || Is(type, Keyword::QelErrorObjRef))
        return verdict(!CPOSRawPointer(value, Lookup::Quiet).empty(), text::kObjRefKind);
    return BuiltIn::NotBuiltIn;
}

int32_t Walk::CheckNumber(Keyword category, const CPOSDict& definition, const CPOSObject& value,
                          const CPOSArray& lines) const {
    if (CheckBuiltIn(validator_.keyword(category).text(), value, lines) != BuiltIn::Accepted) return 1;
    const double x = CPOSNumber(value, Lookup::Strict).Get();
    int32_t failures = 0;
    // Each bound on its own; a comparison with NaN is false.
    if (const CPOSNumber b = Get<CPOSNumber>(definition, Keyword::Min); !b.empty() && x < b.Get())
        failures += Fail(lines, FormatIntoPOSString(text::kBelowMin, SinglePrecision(b.Get())));
    if (const CPOSNumber b = Get<CPOSNumber>(definition, Keyword::Max); !b.empty() && x > b.Get())
        failures += Fail(lines, FormatIntoPOSString(text::kAboveMax, SinglePrecision(b.Get())));
    if (const CPOSNumber b = Get<CPOSNumber>(definition, Keyword::MinExcl); !b.empty() && x <= b.Get())
        failures += Fail(lines,
                         FormatIntoPOSString(text::kBelowMinExcl, SinglePrecision(b.Get())));
    if (const CPOSNumber b = Get<CPOSNumber>(definition, Keyword::MaxExcl); !b.empty() && x >= b.Get())
        failures += Fail(lines,
                         FormatIntoPOSString(text::kAboveMaxExcl, SinglePrecision(b.Get())));
    return failures;
}

int32_t Walk::CheckString(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) const {
    if (CheckBuiltIn(validator_.keyword(Keyword::String).text(), value, lines) != BuiltIn::Accepted) return 1;
    const char* text = CPOSString(value, Lookup::Strict).Get();
    const size_t length = std::strlen(text);
    const double len = static_cast<double>(length);
    int32_t failures = CheckLength(definition, len, lines, text::kStringBelow, text::kStringAbove);
    if (const CPOSString illegal = Get<CPOSString>(definition, Keyword::IllegalChars);
        !illegal.empty() && std::strcspn(text, illegal.Get()) < length)
        failures += Fail(lines, FormatIntoPOSString(text::kIllegalChars, illegal.Get()));
    if (const CPOSArray choices = Get<CPOSArray>(definition, Keyword::OneOf);
        !choices.empty() && !IsOneOf(choices, text))
        failures += Fail(lines, text::kStringNotOneOf);
    return failures;
}

int32_t Walk::CheckUnicodeString(const CPOSDict& definition, const CPOSObject& value,
                                 const CPOSArray& lines) const {
    if (CheckBuiltIn(validator_.keyword(Keyword::UnicodeString).text(), value, lines) != BuiltIn::Accepted) return 1;
    const double len = static_cast<double>(UnitCount(CPOSUnicodeString(value, Lookup::Strict).Get()));
    return CheckLength(definition, len, lines, text::kUnicodeBelow,
                       text::kUnicodeAbove);
}

int32_t Walk::CheckBinData(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) const {
    if (CheckBuiltIn(validator_.keyword(Keyword::BinData).text(), value, lines) != BuiltIn::Accepted) return 1;
    const CPOSBinData data(value, Lookup::Strict);
    const double size = static_cast<double>(data.Size());
    int32_t failures = CheckLength(definition, size, lines, text::kStringBelow, text::kStringAbove);
    if (const CPOSArray choices = Get<CPOSArray>(definition, Keyword::OneOf); !choices.empty()) {
        const char* typeName = data.TypeName();
        if (!IsOneOf(choices, typeName != nullptr ? typeName : ""))
            failures += Fail(lines, text::kTypeNameNotOneOf);
    }
    return failures;
}

}  // namespace NPOSValidatorImpl
