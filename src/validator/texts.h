// The texts of the validation walks' lines and stops, shared by the
// reference walk and the direct walk so that both say exactly the same.
// Spellings are the format's own.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "objects/nesting.h"

namespace NPOSValidatorImpl::text {

// Built-in types.
inline constexpr char kBoolNumber[] = "BOOL was a number unequal to zero or one";
inline constexpr char kBoolString[] = "BOOL was not a valid string (true/false)";
inline constexpr char kBoolKind[] = "Expected BOOL was of invalid type";
inline constexpr char kIntWhole[] = "INT was not a whole number";
inline constexpr char kIntKind[] = "Expected INT was of invalid type";
inline constexpr char kRealKind[] = "Expected REAL was of invalid type";
inline constexpr char kStringKind[] = "Expected STRING was of invalid type";
inline constexpr char kUnicodeStringKind[] = "Expected UNICODESTRING was of invalid type";
inline constexpr char kBinDataKind[] = "Expected BINDATA was of invalid type";
inline constexpr char kRawPtrKind[] = "Expected RAWPTR was of invalid type";
inline constexpr char kObjRefKind[] = "Expected OBJREF was of invalid type";

// Definitions.
inline constexpr char kNoDefinition[] = "Schema not applicable, no definition for %s";
inline constexpr char kNoCategoryHead[] = "Malformed schema definition for ";
inline constexpr char kNoCategoryTail[] = ", no category";
inline constexpr char kUnknownCategory[] = "Unknown category in schema";
inline constexpr char kNotAString[] = "downcast from CPOSObject to CPOSString failed";

// Numbers.
inline constexpr char kBelowMin[] = "Number below mininum value %f";
inline constexpr char kAboveMax[] = "Number above maximum value %f";
inline constexpr char kBelowMinExcl[] = "Number below mininum value %f (exclusive)";
inline constexpr char kAboveMaxExcl[] = "Number above maximum value %f (exclusive)";

// Strings, and binary data, whose bounds use the string messages.
inline constexpr char kStringBelow[] = "String length below mininum value %d";
inline constexpr char kStringAbove[] = "String length above maximum value %d";
inline constexpr char kIllegalChars[] = "String contains illegal characters in '%s'";
inline constexpr char kStringNotOneOf[] = "String is not one of the enumerated values";
inline constexpr char kUnicodeBelow[] = "Unicode String length below mininum value %d";
inline constexpr char kUnicodeAbove[] = "Unicode String length above maximum value %d";
inline constexpr char kTypeNameNotOneOf[] = "TypeName is not one of the enumerated values";

// Arrays; the upper bound's message carries no number.
inline constexpr char kArrayExpected[] = "Array object expected";
inline constexpr char kArrayBelow[] = "Array length below mininum value %d";
inline constexpr char kArrayAbove[] = "Array length above maximum value";
inline constexpr char kPositionalSize[] = "Heterogenous array object size did not match type array size";
inline constexpr char kMemberPrefix[] = "[%d]:";

// Dictionaries.
inline constexpr char kDictExpected[] = "Dict object expected";
inline constexpr char kMissing[] = "Missing required member %s";
inline constexpr char kUnknownMember[] = "Unknown member %s";
inline constexpr char kKeyPrefix[] = "%s (key, type != %s):";
inline constexpr char kValuePrefix[] = "%s (value, type != %s):";
inline constexpr char kRequiredPrefix[] = "%s (required, type != %s):";
inline constexpr char kOptionalPrefix[] = "%s (optional, type != %s):";

// Unions and intersections.
inline constexpr char kNotAUnion[] = "Not a valid union type:";
inline constexpr char kTrying[] = "Trying %s:";
inline constexpr char kFailedIntersection[] = "Failed intersection type %s:";

// The refusal names the bound it met: a union or intersection that names
// itself reaches it without consuming the value.
constexpr auto TooDeepText() {
    constexpr std::string_view head =
        "Validation nested too deep: a union or intersection that refers to itself, or a value nested more than ";
    constexpr std::string_view tail = " levels";
    std::array<char, head.size() + 10 + tail.size() + 1> text{};  // zero-filled: ends in a NUL
    size_t n = 0;
    for (const char c : head) text[n++] = c;
    char digits[10] = {};
    size_t count = 0;
    for (unsigned v = NPOSObjectImpl::kMaxNesting; v != 0; v /= 10) digits[count++] = static_cast<char>('0' + v % 10);
    while (count > 0) text[n++] = digits[--count];
    for (const char c : tail) text[n++] = c;
    return text;
}
inline constexpr auto kTooDeep = TooDeepText();

}  // namespace NPOSValidatorImpl::text
