// The schema's definitions as the direct walk uses them: each read once per
// validation, on its first use, from the library's own objects in place.
// Valid for one validation only, and only while no client code runs: the
// caller may change the schema between validations, and a client's check
// procedure could change it during one (the direct walk never runs then).
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "validator/own_objects.h"
#include "validator/struct_validator.h"

namespace NPOSValidatorImpl {

// Thrown where the direct walk meets something it does not read in place
// (another implementation's object, a client's check procedure). Nothing a
// caller can see has happened by then; the reference walk takes the call
// over from the start. Never leaves the validator.
struct ReferenceWalkNeeded final {};

// The built-in type a name stands for, by the identity of its atom.
enum class BuiltInType : uint8_t { None, Any, Bool, Int, Real, String, UnicodeString, BinData, RawPtr, ObjRef };

enum class Category : uint8_t {
    NoDefinition,  // the schema has no Dict under the name
    NoCategory,    // no "category" String
    Unknown,       // a category outside the thirteen words
    Int, Real, String, UnicodeString, BinData, RawPtr, ObjRef, Array, Dict, Union, Intersection,
};

struct Definition;

// A type name as the caller or a definition gives it.
struct TypeRef final {
    const QELStringAtomRef* name = nullptr;  // null: absent, or given as no String
    BuiltInType builtIn = BuiltInType::None;
    mutable const Definition* definition = nullptr;  // found on first use
};

// Type names in an Array ("set", a positional "membertype"): the names up to
// the first member that is no String. The walk stops with the downcast
// failure when it reaches that member, as reading it would.
struct TypeList final {
    bool present = false;
    uint32_t count = 0;  // every member, String or not
    std::vector<TypeRef> names;
};

// "oneof": the texts up to the first member that is no String.
struct Choices final {
    bool present = false;
    bool endsInOther = false;  // such a member follows the texts
    std::vector<const char*> texts;
};

// "required" or "optional": member name and type, in key order (a type
// without a name: the entry's value is no String).
struct Listing final {
    struct Member final {
        const char* key;
        TypeRef type;
    };
    bool present = false;
    std::vector<Member> members;
};

struct Bound final {
    bool present = false;
    double value = 0;
};

// The keywords that a category reads; the others stay absent.
struct Definition final {
    Category category = Category::NoDefinition;
    const StructValidator::CheckEntry* check = nullptr;  // with a procedure
    Bound min, max, minExcl, maxExcl;                    // int, real
    Bound minLen, maxLen;                                // string, unicodestring, bindata, array
    const char* illegalChars = nullptr;                  // string
    Choices oneOf;                                       // string, bindata
    TypeRef every;                                       // array: "membertype" as a String
    TypeList positional;                                 // array: "membertype" as an Array
    Listing required, optional;                          // dict
    TypeRef keyType, valueType;                          // dict
    TypeList set;                                        // union, intersection
};

class Definitions final {
public:
    // schema: the validator's schema, a Dict of this library.
    Definitions(const StructValidator& validator, const OwnValue& schema, const OwnObjects& own) noexcept
        : validator_(validator), schema_(schema), own_(own) {}
    Definitions(const Definitions&) = delete;
    Definitions& operator=(const Definitions&) = delete;

    TypeRef Ref(const QELStringAtomRef& name) const noexcept;
    // The schema's definition of a type that is not built in.
    const Definition& Of(const TypeRef& type);

    bool Is(const char* text, Keyword keyword) const noexcept { return text == validator_.keyword(keyword).text(); }

private:
    std::unique_ptr<Definition> Make(const QELStringAtomRef& name) const;
    void ReadNumberBounds(const OwnValue& definition, Definition& out) const;
    void ReadLengthBounds(const OwnValue& definition, Definition& out) const;
    void ReadChoices(const OwnValue& definition, Choices& out) const;
    void ReadTypeList(const OwnValue& list, TypeList& out) const;
    void ReadListing(const OwnValue& definition, Keyword keyword, Listing& out) const;
    TypeRef ReadTypeName(const OwnValue& definition, Keyword keyword) const;

    // The member of a definition under a keyword, when there is one.
    bool Member(const OwnValue& definition, Keyword keyword, OwnValue& out) const;
    bool Member(const OwnValue& definition, Keyword keyword, ValueKind kind, OwnValue& out) const;
    OwnValue Own(QELContainerHandle handle) const;
    Bound ReadBound(const OwnValue& definition, Keyword keyword) const;

    const StructValidator& validator_;
    const OwnValue schema_;
    const OwnObjects& own_;
    std::unordered_map<const char*, std::unique_ptr<Definition>> made_;  // by the name's text
};

}  // namespace NPOSValidatorImpl
