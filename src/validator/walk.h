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
    // lines are appended to lines. Nested checks are kept on the heap, one
    // level each, so the walk's stack does not grow with the nesting.
    int32_t CheckByName(const QELStringAtomRef& type, const CPOSObject& value, const CPOSArray& lines);

private:
    enum class BuiltIn { NotBuiltIn, Accepted, Rejected };

    // The nested check that a branch asks for, and the branches over the
    // parts of a value that ask for them (walk.cpp).
    struct Nested;
    class Branch;
    class ArrayBranch;
    class DictBranch;
    class SetBranch;
    class UnionBranch;
    class IntersectionBranch;
    struct Level;

    // Starts a level: its verdict when the type is built in or its definition
    // needs no nested check, else the branch that walks the value's parts.
    void Begin(Level& level);
    // After the definition passed: the registered check procedure, if any.
    int32_t CheckRegistered(const Level& level) const;

    BuiltIn CheckBuiltIn(const char* type, const CPOSObject& value, const CPOSArray& lines) const;
    int32_t CheckNumber(Keyword category, const CPOSDict& definition, const CPOSObject& value,
                        const CPOSArray& lines) const;
    int32_t CheckString(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) const;
    int32_t CheckUnicodeString(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) const;
    int32_t CheckBinData(const CPOSDict& definition, const CPOSObject& value, const CPOSArray& lines) const;

    // "minlen" and "maxlen" against a length, with the category's messages.
    int32_t CheckLength(const CPOSDict& definition, double length, const CPOSArray& lines, const char* belowFormat,
                        const char* aboveFormat) const;

    // A keyword of a definition, used only when it is of the kind.
    template <class Kind>
    Kind Get(const CPOSDict& definition, Keyword keyword) const;
    bool Is(const char* text, Keyword keyword) const noexcept { return text == validator_.keyword(keyword).text(); }

    const StructValidator& validator_;
    unsigned depth_ = 0;
};

}  // namespace NPOSValidatorImpl
