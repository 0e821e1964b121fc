// The library's own property objects as the direct walk reads them: in
// place, without a call through the published tables, a reference or an
// atom. Only a container whose primary instance names this library's
// implementation is read so; anything else is left to the client classes.
// The one place in the validator that knows how the objects are laid out.
#pragma once

#include <cstdint>
#include <typeinfo>

#include "frame/host_services.h"
#include "objects/pos_model.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::QELStringAtomRef;

enum class ValueKind : uint8_t { Number, String, UnicodeString, BinData, RawPointer, Array, Dict };

// One entry of a dictionary of this library; entries go in key order.
class OwnEntry final {
public:
    explicit OwnEntry(NPOSObjectImpl::DictNode* node) noexcept : node_(node) {}
    bool done() const noexcept { return node_ == nullptr; }
    // Interned: equal keys have equal text pointers.
    const char* Key() const noexcept { return node_->key.text(); }
    QELContainerHandle Value() const noexcept { return node_->value.handle(); }
    void Next() noexcept { node_ = NPOSObjectImpl::Successor(node_); }

private:
    NPOSObjectImpl::DictNode* node_;
};

// A value of this library, with its kind. Borrowed: valid while whatever
// holds the container holds it unchanged. Each reader is for its kind only.
struct OwnValue final {
    QELContainerHandle handle = nullptr;
    const NPOSObjectImpl::BaseObject* object = nullptr;
    ValueKind kind = ValueKind::Number;

    double Number() const noexcept { return As<NPOSObjectImpl::Number>().value; }
    // Interned: equal texts have equal pointers.
    const QELStringAtomRef& Text() const noexcept { return As<NPOSObjectImpl::String>().text; }
    const uint16_t* Units() const noexcept { return As<NPOSObjectImpl::UnicodeString>().units; }
    uint32_t Size() const noexcept { return static_cast<uint32_t>(As<NPOSObjectImpl::BinData>().size); }
    const char* TypeName() const noexcept { return As<NPOSObjectImpl::BinData>().typeName.text(); }

    uint32_t Count() const noexcept { return As<NPOSObjectImpl::Array>().count; }
    QELContainerHandle Member(uint32_t index) const noexcept {
        return As<NPOSObjectImpl::Array>().members[index].handle();
    }

    OwnEntry First() const noexcept { return OwnEntry(NPOSObjectImpl::Leftmost(As<NPOSObjectImpl::Dict>().tree->root)); }
    // The value under the key, or null.
    QELContainerHandle Find(const char* key) const noexcept {
        const NPOSObjectImpl::DictNode* node = As<NPOSObjectImpl::Dict>().tree->Find(key);
        return node != nullptr ? node->value.handle() : nullptr;
    }

private:
    template <class T>
    const T& As() const noexcept {
        return static_cast<const T&>(*object);
    }
};

class OwnObjects final {
public:
    // Needs the library's name atoms (a bound library).
    OwnObjects();

    // True, with the value filled in, when the container holds one of this
    // library's property objects as its primary instance.
    bool Read(QELContainerHandle handle, OwnValue& out) const noexcept {
        if (handle == nullptr) return false;
        const QELPrimaryInstanceRecord* record = QEL_T_MT::PrimaryRecord(handle);
        if (record->implementationName != implementation_) return false;
        const auto* object = static_cast<const NPOSObjectImpl::BaseObject*>(record->implementationObject);
        if (object == nullptr || !KindOf(*object, out.kind)) return false;
        out.handle = handle;
        out.object = object;
        return true;
    }

private:
    struct KindEntry final {
        const std::type_info* identity;
        ValueKind kind;
    };

    // The model's classes are final: the exact class is the kind. Type
    // identities are compared by address first (one object per class in the
    // library), by value only when no address matches.
    static bool KindOf(const NPOSObjectImpl::BaseObject& object, ValueKind& kind) noexcept {
        const std::type_info& type = typeid(object);
        for (const KindEntry& entry : kKinds) {
            if (&type == entry.identity) {
                kind = entry.kind;
                return true;
            }
        }
        for (const KindEntry& entry : kKinds) {
            if (type == *entry.identity) {
                kind = entry.kind;
                return true;
            }
        }
        return false;
    }

    // The most frequent kinds first.
    static inline const KindEntry kKinds[] = {
        {&typeid(NPOSObjectImpl::String), ValueKind::String},
        {&typeid(NPOSObjectImpl::Number), ValueKind::Number},
        {&typeid(NPOSObjectImpl::Dict), ValueKind::Dict},
        {&typeid(NPOSObjectImpl::Array), ValueKind::Array},
        {&typeid(NPOSObjectImpl::BinData), ValueKind::BinData},
        {&typeid(NPOSObjectImpl::UnicodeString), ValueKind::UnicodeString},
        {&typeid(NPOSObjectImpl::RawPointer), ValueKind::RawPointer},
    };

    const char* implementation_;
};

}  // namespace NPOSValidatorImpl
