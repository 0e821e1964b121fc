// One validation walk: a value checked against a named type of a validator's
// schema, every broken rule explained in a line that names its place.
#pragma once

#include <cstdint>

#include "validator/struct_validator.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::CPOSArray;
using QEL_T_MT::CPOSDict;

class Walk final {
public:
    explicit Walk(const StructValidator& validator) noexcept : validator_(validator) {}
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    // The number of broken rules (0: the value satisfies the type); their
    // lines are appended to lines. The one entry point of the recursion.
    int32_t CheckByName(const QELStringAtomRef& type, const CPOSObject& value, const CPOSArray& lines);

private:
    enum class BuiltIn { NotBuiltIn, Accepted, Rejected };

    BuiltIn CheckBuiltIn(const char* type, const CPOSObject& value, const CPOSArray& lines) const;
    int32_t WalkDefinition(const QELStringAtomRef& type, const CPOSObject& value, const CPOSArray& lines);

    int32_t CheckNumber(Keyword category, const CPOSDict& definition, const CPOSObject& value,
                        const CPOSArray& lines) const;
    int32_t CheckString(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) const;
    int32_t CheckUnicodeString(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) const;
    int32_t CheckBinData(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) const;
    int32_t CheckArray(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines);
    int32_t CheckDict(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines);
    int32_t CheckUnion(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines);
    int32_t CheckIntersection(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines);

    // "minlen" and "maxlen" against a length, with the category's messages.
    int32_t CheckLength(const CPOSDict& definition, double length, const CPOSArray& lines, const char* belowFormat,
                        const char* aboveFormat) const;

    // Checks in a list of its own; a failure's lines go to lines under the
    // prefix made from the format.
    template <class... Args>
    int32_t CheckNested(const QELStringAtomRef& type, const CPOSObject& value, const CPOSArray& lines,
                        const char* prefixFormat, Args... args);

    // A keyword of a definition, used only when it is of the kind.
    template <class Kind>
    Kind Get(const CPOSDict& definition, Keyword keyword) const;
    bool Is(const char* text, Keyword keyword) const noexcept { return text == validator_.keyword(keyword).text(); }

    const StructValidator& validator_;
    unsigned depth_ = 0;
};

}  // namespace NPOSValidatorImpl
