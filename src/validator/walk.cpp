#include "validator/walk.h"

#include <cstring>
#include <string>

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/shared_buffer_ref.h"
#include "objects/pos_model.h"
#include "validator/messages.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::CPOSBinData;
using QEL_T_MT::CPOSDictIterator;
using QEL_T_MT::CPOSNumber;
using QEL_T_MT::CPOSRawPointer;
using QEL_T_MT::CPOSUnicodeString;
using QEL_T_MT::QELSharedBuffRef;

namespace {

// Deep enough for every document the notation can express; a union or
// intersection that names itself reaches it without consuming the value.
constexpr unsigned kMaxDepth = NPOSObjectImpl::kMaxNesting;
constexpr const char kTooDeep[] =
    "Validation nested too deep: a union or intersection that refers to itself, or a value nested more "
    "than 1000 levels";

constexpr uint64_t kCheckBufferSize = 1024;

// Binary data's bounds use the string messages, as the format always has.
constexpr const char kStringBelow[] = "String length below mininum value %d";
constexpr const char kStringAbove[] = "String length above maximum value %d";

class DepthGuard final {
public:
    explicit DepthGuard(unsigned& depth) : depth_(depth) {
        if (depth_ >= kMaxDepth) throw DWEException(kTooDeep);
        ++depth_;
    }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    unsigned& depth_;
};

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
    return CPOSDict(CPOSObject(found), true);
}

// The text a check procedure left in its buffer, never read past the end.
const char* BufferText(const QELSharedBuffRef& buffer) {
    char* text = buffer.Data();
    const uint64_t size = buffer.Size();
    if (text == nullptr || size == 0) return "";
    if (std::memchr(text, '\0', size) == nullptr) text[size - 1] = '\0';
    return text;
}

// True when some member of the list has exactly the text; every member must
// be a String.
bool IsOneOf(const CPOSArray& choices, const char* text) {
    const uint32_t count = choices.Count();
    for (uint32_t i = 0; i < count; ++i)
        if (std::strcmp(text, CPOSString(choices.GetAt(i, false), false).Get()) == 0) return true;
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
    return Kind(definition.Get(validator_.keyword(keyword).atom(), true), true);
}

template <class... Args>
int32_t Walk::CheckNested(const QELStringAtomRef& type, const CPOSObject& value, const CPOSArray& lines,
                          const char* prefixFormat, Args... args) {
    const CPOSArray own = CPOSArray::New();
    const int32_t failures = CheckByName(type, value, own);
    if (failures != 0) AppendPrefixed(lines, own, FormatIntoPOSString(prefixFormat, args...));
    return failures;
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

int32_t Walk::CheckByName(const QELStringAtomRef& type, const CPOSObject& value, const CPOSArray& lines) {
    const DepthGuard guard(depth_);
    switch (CheckBuiltIn(type.text(), value, lines)) {
        case BuiltIn::Accepted: return 0;
        case BuiltIn::Rejected: return 1;
        case BuiltIn::NotBuiltIn: break;
    }
    int32_t failures = WalkDefinition(type, value, lines);
    if (failures > 0) return failures;

    // Every defined type that passed gets a buffer, whether or not a check
    // procedure is registered for it.
    const StructValidator::CheckEntry* entry = validator_.FindCheck(type);
    const QELSharedBuffRef buffer = QELSharedBuffRef::New(kCheckBufferSize);
    if (entry != nullptr && entry->proc != nullptr &&
        entry->proc(value.handle(), type.atom(), buffer.handle(), entry->clientData) == 0) {
        failures += Fail(lines, CPOSString(BufferText(buffer)));
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
        if (const CPOSNumber number(value, true); !number.empty()) {
            const double x = number.Get();
            return verdict(x == 0.0 || x == 1.0, "BOOL was a number unequal to zero or one");
        }
        if (const CPOSString string(value, true); !string.empty()) {
            const QELStringAtomRef word(string.Get());
            return verdict(Is(word.text(), Keyword::True) || Is(word.text(), Keyword::False),
                           "BOOL was not a valid string (true/false)");
        }
        return verdict(false, "Expected BOOL was of invalid type");
    }
    if (Is(type, Keyword::Int)) {
        if (const CPOSNumber number(value, true); !number.empty()) {
            const double x = number.Get();
            return verdict(static_cast<double>(TruncateToInt32(x)) == x, "INT was not a whole number");
        }
        return verdict(false, "Expected INT was of invalid type");
    }
    if (Is(type, Keyword::Real)) return verdict(!CPOSNumber(value, true).empty(), "Expected REAL was of invalid type");
    if (Is(type, Keyword::String))
        return verdict(!CPOSString(value, true).empty(), "Expected STRING was of invalid type");
    if (Is(type, Keyword::UnicodeString))
        return verdict(!CPOSUnicodeString(value, true).empty(), "Expected UNICODESTRING was of invalid type");
    if (Is(type, Keyword::BinData))
        return verdict(!CPOSBinData(value, true).empty(), "Expected BINDATA was of invalid type");
    if (Is(type, Keyword::RawPtr))
        return verdict(!CPOSRawPointer(value, true).empty(), "Expected RAWPTR was of invalid type");
    if (Is(type, Keyword::QelObjRef) || Is(type, Keyword::ZuBaseObjRef) || Is(type, Keyword::QelErrorObjRef))
        return verdict(!CPOSRawPointer(value, true).empty(), "Expected OBJREF was of invalid type");
    return BuiltIn::NotBuiltIn;
}

int32_t Walk::WalkDefinition(const QELStringAtomRef& type, const CPOSObject& value, const CPOSArray& lines) {
    const CPOSDict definition = Definition(validator_.schema(), type.atom());
    if (definition.empty())
        return Fail(lines, FormatIntoPOSString("Schema not applicable, no definition for %s", type.text()));

    const CPOSString category = Get<CPOSString>(definition, Keyword::Category);
    if (category.empty()) {
        const std::string message = std::string("Malformed schema definition for ") + type.text() + ", no category";
        QEL_T_MT::ThrowQELError(message.c_str(), "", 0);
    }
    const QELStringAtomRef word(category.Get());
    const char* c = word.text();
    if (Is(c, Keyword::Int)) return CheckNumber(Keyword::Int, definition, value, lines);
    if (Is(c, Keyword::Real)) return CheckNumber(Keyword::Real, definition, value, lines);
    if (Is(c, Keyword::String)) return CheckString(definition, value, lines);
    if (Is(c, Keyword::UnicodeString)) return CheckUnicodeString(definition, value, lines);
    if (Is(c, Keyword::BinData)) return CheckBinData(definition, value, lines);
    for (Keyword reference : {Keyword::RawPtr, Keyword::QelObjRef, Keyword::ZuBaseObjRef, Keyword::QelErrorObjRef}) {
        if (Is(c, reference))
            return CheckBuiltIn(c, value, lines) == BuiltIn::Accepted ? 0 : 1;
    }
    if (Is(c, Keyword::Array)) return CheckArray(definition, value, lines);
    if (Is(c, Keyword::Dict)) return CheckDict(definition, value, lines);
    if (Is(c, Keyword::Union)) return CheckUnion(definition, value, lines);
    if (Is(c, Keyword::Intersection)) return CheckIntersection(definition, value, lines);
    throw DWEException("Unknown category in schema");
}

int32_t Walk::CheckNumber(Keyword category, const CPOSDict& definition, const CPOSObject& value,
                          const CPOSArray& lines) const {
    if (CheckBuiltIn(validator_.keyword(category).text(), value, lines) != BuiltIn::Accepted) return 1;
    const double x = CPOSNumber(value, false).Get();
    int32_t failures = 0;
    // Each bound on its own; a comparison with NaN is false.
    if (const CPOSNumber b = Get<CPOSNumber>(definition, Keyword::Min); !b.empty() && x < b.Get())
        failures += Fail(lines, FormatIntoPOSString("Number below mininum value %f", SinglePrecision(b.Get())));
    if (const CPOSNumber b = Get<CPOSNumber>(definition, Keyword::Max); !b.empty() && x > b.Get())
        failures += Fail(lines, FormatIntoPOSString("Number above maximum value %f", SinglePrecision(b.Get())));
    if (const CPOSNumber b = Get<CPOSNumber>(definition, Keyword::MinExcl); !b.empty() && x <= b.Get())
        failures += Fail(lines,
                         FormatIntoPOSString("Number below mininum value %f (exclusive)", SinglePrecision(b.Get())));
    if (const CPOSNumber b = Get<CPOSNumber>(definition, Keyword::MaxExcl); !b.empty() && x >= b.Get())
        failures += Fail(lines,
                         FormatIntoPOSString("Number above maximum value %f (exclusive)", SinglePrecision(b.Get())));
    return failures;
}

int32_t Walk::CheckString(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) const {
    if (CheckBuiltIn(validator_.keyword(Keyword::String).text(), value, lines) != BuiltIn::Accepted) return 1;
    const char* text = CPOSString(value, false).Get();
    const size_t length = std::strlen(text);
    const double len = static_cast<double>(length);
    int32_t failures = CheckLength(definition, len, lines, kStringBelow, kStringAbove);
    if (const CPOSString illegal = Get<CPOSString>(definition, Keyword::IllegalChars);
        !illegal.empty() && std::strcspn(text, illegal.Get()) < length)
        failures += Fail(lines, FormatIntoPOSString("String contains illegal characters in '%s'", illegal.Get()));
    if (const CPOSArray choices = Get<CPOSArray>(definition, Keyword::OneOf);
        !choices.empty() && !IsOneOf(choices, text))
        failures += Fail(lines, "String is not one of the enumerated values");
    return failures;
}

int32_t Walk::CheckUnicodeString(const CPOSDict& definition, const CPOSObject& value,
                                 const CPOSArray& lines) const {
    if (CheckBuiltIn(validator_.keyword(Keyword::UnicodeString).text(), value, lines) != BuiltIn::Accepted) return 1;
    const double len = static_cast<double>(UnitCount(CPOSUnicodeString(value, false).Get()));
    return CheckLength(definition, len, lines, "Unicode String length below mininum value %d",
                       "Unicode String length above maximum value %d");
}

int32_t Walk::CheckBinData(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) const {
    if (CheckBuiltIn(validator_.keyword(Keyword::BinData).text(), value, lines) != BuiltIn::Accepted) return 1;
    const CPOSBinData data(value, false);
    const double size = static_cast<double>(data.Size());
    int32_t failures = CheckLength(definition, size, lines, kStringBelow, kStringAbove);
    if (const CPOSArray choices = Get<CPOSArray>(definition, Keyword::OneOf); !choices.empty()) {
        const char* typeName = data.TypeName();
        if (!IsOneOf(choices, typeName != nullptr ? typeName : ""))
            failures += Fail(lines, "TypeName is not one of the enumerated values");
    }
    return failures;
}

int32_t Walk::CheckArray(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) {
    const CPOSArray array(value, true);
    if (array.empty()) return Fail(lines, "Array object expected");
    const uint32_t count = array.Count();
    const double n = static_cast<double>(count);
    int32_t failures = CheckLength(definition, n, lines, "Array length below mininum value %d",
                                   "Array length above maximum value");

    const CPOSObject memberType = definition.Get(validator_.keyword(Keyword::MemberType).atom(), true);
    if (const CPOSString every(memberType, true); !every.empty()) {
        const QELStringAtomRef type(every.Get());
        for (uint32_t i = 0; i < count; ++i)
            failures += CheckNested(type, array.GetAt(i, false), lines, "[%d]:", static_cast<int>(i));
    }
    if (const CPOSArray positional(memberType, true); !positional.empty()) {
        if (positional.Count() != count)
            return failures + Fail(lines, "Heterogenous array object size did not match type array size");
        for (uint32_t i = 0; i < count; ++i) {
            const QELStringAtomRef type(CPOSString(positional.GetAt(i, false), false).Get());
            failures += CheckNested(type, array.GetAt(i, false), lines, "[%d]:", static_cast<int>(i));
        }
    }
    return failures;
}

int32_t Walk::CheckDict(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) {
    const CPOSDict dict(value, true);
    if (dict.empty()) return Fail(lines, "Dict object expected");

    // Missing required members hide everything else.
    int32_t missing = 0;
    if (const CPOSDict required = Get<CPOSDict>(definition, Keyword::Required); !required.empty()) {
        const CPOSDictIterator it(required);
        for (it.Begin(); !it.IsDone(); it.Next()) {
            const char* key = it.CurKey();
            if (dict.Get(key, true).empty())
                missing += Fail(lines, FormatIntoPOSString("Missing required member %s", key));
        }
    }
    if (missing != 0) return missing;

    const CPOSString keyType = Get<CPOSString>(definition, Keyword::KeyType);
    const CPOSString valueType = Get<CPOSString>(definition, Keyword::ValueType);
    const QELStringAtomRef keyTypeName = keyType.empty() ? QELStringAtomRef() : QELStringAtomRef(keyType.Get());
    const QELStringAtomRef valueTypeName =
        valueType.empty() ? QELStringAtomRef() : QELStringAtomRef(valueType.Get());

    int32_t failures = 0;
    const CPOSDictIterator it(dict);
    for (it.Begin(); !it.IsDone(); it.Next()) {
        const char* key = it.CurKey();
        const CPOSObject member = dict.Get(key, false);
        bool known = false;
        if (keyTypeName) {
            failures += CheckNested(keyTypeName, CPOSString(key), lines, "%s (key, type != %s):", key,
                                    keyTypeName.text());
            known = true;
        }
        if (valueTypeName)
            failures += CheckNested(valueTypeName, member, lines, "%s (value, type != %s):", key, valueTypeName.text());
        // A member listed in both is checked against both types.
        for (const auto& [keyword, prefix] : {std::pair{Keyword::Required, "%s (required, type != %s):"},
                                              std::pair{Keyword::Optional, "%s (optional, type != %s):"}}) {
            const CPOSDict listed = Get<CPOSDict>(definition, keyword);
            if (listed.empty()) continue;
            const CPOSString typeText(listed.Get(key, true), true);
            if (typeText.empty()) continue;
            known = true;
            failures += CheckNested(QELStringAtomRef(typeText.Get()), member, lines, prefix, key, typeText.Get());
        }
        if (!known) failures += Fail(lines, FormatIntoPOSString("Unknown member %s", key));
    }
    return failures;
}

int32_t Walk::CheckUnion(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) {
    const CPOSArray set = Get<CPOSArray>(definition, Keyword::Set);
    const uint32_t count = set.empty() ? 0 : set.Count();
    const CPOSArray tried = CPOSArray::New();
    for (uint32_t i = 0; i < count; ++i) {
        const CPOSString name(set.GetAt(i, false), false);
        const CPOSArray own = CPOSArray::New();
        if (CheckByName(QELStringAtomRef(name.Get()), value, own) == 0) return 0;
        AppendPrefixed(tried, own, FormatIntoPOSString("Trying %s:", name.Get()));
    }
    AppendPrefixed(lines, tried, CPOSString("Not a valid union type:"));
    return 1;
}

int32_t Walk::CheckIntersection(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) {
    const CPOSArray set = Get<CPOSArray>(definition, Keyword::Set);
    const uint32_t count = set.empty() ? 0 : set.Count();
    int32_t failures = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const CPOSString name(set.GetAt(i, false), false);
        failures += CheckNested(QELStringAtomRef(name.Get()), value, lines, "Failed intersection type %s:", name.Get());
    }
    return failures;
}

}  // namespace NPOSValidatorImpl
