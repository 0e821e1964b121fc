#include "validator/definitions.h"

namespace NPOSValidatorImpl {

TypeRef Definitions::Ref(const QELStringAtomRef& name) const noexcept {
    const char* t = name.text();
    BuiltInType builtIn = BuiltInType::None;
    if (Is(t, Keyword::Any)) builtIn = BuiltInType::Any;
    else if (Is(t, Keyword::Bool)) builtIn = BuiltInType::Bool;
    else if (Is(t, Keyword::Int)) builtIn = BuiltInType::Int;
    else if (Is(t, Keyword::Real)) builtIn = BuiltInType::Real;
    else if (Is(t, Keyword::String)) builtIn = BuiltInType::String;
    else if (Is(t, Keyword::UnicodeString)) builtIn = BuiltInType::UnicodeString;
    else if (Is(t, Keyword::BinData)) builtIn = BuiltInType::BinData;
    else if (Is(t, Keyword::RawPtr)) builtIn = BuiltInType::RawPtr;
    else if (Is(t, Keyword::QelObjRef) || Is(t, Keyword::ZuBaseObjRef) || Is(t, Keyword::QelErrorObjRef))
        builtIn = BuiltInType::ObjRef;
    return TypeRef{&name, builtIn, nullptr};
}

const Definition& Definitions::Of(const TypeRef& type) {
    if (type.definition == nullptr) {
        const char* key = type.name->text();
        auto found = made_.find(key);
        if (found == made_.end()) found = made_.emplace(key, Make(*type.name)).first;
        type.definition = found->second.get();
    }
    return *type.definition;
}

OwnValue Definitions::Own(QELContainerHandle handle) const {
    OwnValue value;
    if (!own_.Read(handle, value)) throw ReferenceWalkNeeded();
    return value;
}

bool Definitions::Member(const OwnValue& definition, Keyword keyword, OwnValue& out) const {
    const QELContainerHandle found = definition.Find(validator_.keyword(keyword).text());
    if (found == nullptr) return false;
    out = Own(found);
    return true;
}

// Of another kind, a keyword counts as absent.
bool Definitions::Member(const OwnValue& definition, Keyword keyword, ValueKind kind, OwnValue& out) const {
    return Member(definition, keyword, out) && out.kind == kind;
}

Bound Definitions::ReadBound(const OwnValue& definition, Keyword keyword) const {
    OwnValue number;
    if (!Member(definition, keyword, ValueKind::Number, number)) return Bound{};
    return Bound{true, number.Number()};
}

void Definitions::ReadNumberBounds(const OwnValue& definition, Definition& out) const {
    out.min = ReadBound(definition, Keyword::Min);
    out.max = ReadBound(definition, Keyword::Max);
    out.minExcl = ReadBound(definition, Keyword::MinExcl);
    out.maxExcl = ReadBound(definition, Keyword::MaxExcl);
}

void Definitions::ReadLengthBounds(const OwnValue& definition, Definition& out) const {
    out.minLen = ReadBound(definition, Keyword::MinLen);
    out.maxLen = ReadBound(definition, Keyword::MaxLen);
}

void Definitions::ReadChoices(const OwnValue& definition, Choices& out) const {
    OwnValue list;
    if (!Member(definition, Keyword::OneOf, ValueKind::Array, list)) return;
    out.present = true;
    const uint32_t count = list.Count();
    for (uint32_t i = 0; i < count; ++i) {
        const OwnValue choice = Own(list.Member(i));
        if (choice.kind != ValueKind::String) {
            out.endsInOther = true;
            return;
        }
        out.texts.push_back(choice.Text().text());
    }
}

void Definitions::ReadTypeList(const OwnValue& list, TypeList& out) const {
    out.present = true;
    out.count = list.Count();
    out.names.reserve(out.count);
    for (uint32_t i = 0; i < out.count; ++i) {
        const OwnValue name = Own(list.Member(i));
        if (name.kind != ValueKind::String) return;
        out.names.push_back(Ref(name.Text()));
    }
}

TypeRef Definitions::ReadTypeName(const OwnValue& definition, Keyword keyword) const {
    OwnValue name;
    if (!Member(definition, keyword, ValueKind::String, name)) return TypeRef{};
    return Ref(name.Text());
}

void Definitions::ReadListing(const OwnValue& definition, Keyword keyword, Listing& out) const {
    OwnValue listing;
    if (!Member(definition, keyword, ValueKind::Dict, listing)) return;
    out.present = true;
    for (OwnEntry entry = listing.First(); !entry.done(); entry.Next()) {
        const OwnValue type = Own(entry.Value());
        out.members.push_back({entry.Key(), type.kind == ValueKind::String ? Ref(type.Text()) : TypeRef{}});
    }
}

std::unique_ptr<Definition> Definitions::Make(const QELStringAtomRef& name) const {
    auto made = std::make_unique<Definition>();
    Definition& d = *made;
    const QELContainerHandle found = schema_.Find(name.text());
    if (found == nullptr) return made;
    const OwnValue definition = Own(found);
    if (definition.kind != ValueKind::Dict) return made;

    OwnValue category;
    if (!Member(definition, Keyword::Category, ValueKind::String, category)) {
        d.category = Category::NoCategory;
        return made;
    }
    // The order of the words is the order in which the walk compares them.
    const char* c = category.Text().text();
    if (Is(c, Keyword::Int) || Is(c, Keyword::Real)) {
        d.category = Is(c, Keyword::Int) ? Category::Int : Category::Real;
        ReadNumberBounds(definition, d);
    } else if (Is(c, Keyword::String)) {
        d.category = Category::String;
        ReadLengthBounds(definition, d);
        OwnValue illegal;
        if (Member(definition, Keyword::IllegalChars, ValueKind::String, illegal)) d.illegalChars = illegal.Text().text();
        ReadChoices(definition, d.oneOf);
    } else if (Is(c, Keyword::UnicodeString)) {
        d.category = Category::UnicodeString;
        ReadLengthBounds(definition, d);
    } else if (Is(c, Keyword::BinData)) {
        d.category = Category::BinData;
        ReadLengthBounds(definition, d);
        ReadChoices(definition, d.oneOf);
    } else if (Is(c, Keyword::RawPtr)) {
        d.category = Category::RawPtr;
    } else if (Is(c, Keyword::QelObjRef) || Is(c, Keyword::ZuBaseObjRef) || Is(c, Keyword::QelErrorObjRef)) {
        d.category = Category::ObjRef;
    } else if (Is(c, Keyword::Array)) {
        d.category = Category::Array;
        ReadLengthBounds(definition, d);
        OwnValue memberType;
        if (Member(definition, Keyword::MemberType, memberType)) {
            if (memberType.kind == ValueKind::String) d.every = Ref(memberType.Text());
            else if (memberType.kind == ValueKind::Array) ReadTypeList(memberType, d.positional);
        }
    } else if (Is(c, Keyword::Dict)) {
        d.category = Category::Dict;
        ReadListing(definition, Keyword::Required, d.required);
        ReadListing(definition, Keyword::Optional, d.optional);
        d.keyType = ReadTypeName(definition, Keyword::KeyType);
        d.valueType = ReadTypeName(definition, Keyword::ValueType);
    } else if (Is(c, Keyword::Union) || Is(c, Keyword::Intersection)) {
        d.category = Is(c, Keyword::Union) ? Category::Union : Category::Intersection;
        OwnValue set;
        if (Member(definition, Keyword::Set, ValueKind::Array, set)) ReadTypeList(set, d.set);
    } else {
        d.category = Category::Unknown;
        return made;
    }

    const StructValidator::CheckEntry* check = validator_.FindCheck(name);
    if (check != nullptr && check->proc != nullptr) {
        // A client's procedure may change the schema or the value, which
        // this walk reads without references: only the reference walk calls
        // one. Handing over at the type's first use wastes at most the walk
        // so far, and nothing for procedures of names the walk never meets.
        if (check->origin != CheckOrigin::Library) throw ReferenceWalkNeeded();
        d.check = check;
    }
    return made;
}

}  // namespace NPOSValidatorImpl
