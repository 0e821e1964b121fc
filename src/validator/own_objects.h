// The library's own property objects as the direct walk reads them: in
// place, without a call through the published tables, a reference or an
// atom. Only a container whose primary instance names this library's
// implementation is read so; anything else is left to the client classes.
// The one place in the validator that knows how the objects are laid out.
#pragma once

#include <cstdint>

#include "frame/host_services.h"
#include "objects/pos_model.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::QELStringAtomRef;

using ValueKind = NPOSObjectImpl::ObjectKind;

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

    OwnEntry First() const noexcept { return OwnEntry(NPOSObjectImpl::Leftmost(As<NPOSObjectImpl::Dict>().tree.root)); }
    // The value under the key, or null.
    QELContainerHandle Find(const char* key) const noexcept {
        const NPOSObjectImpl::DictNode* node = As<NPOSObjectImpl::Dict>().tree.Find(key);
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
    // True, with the value filled in, when the container holds one of this
    // library's property objects as its primary instance.
    static bool Read(QELContainerHandle handle, OwnValue& out) noexcept {
        const NPOSObjectImpl::BaseObject* object = NPOSObjectImpl::OwnObject(handle);
        if (object == nullptr) return false;
        out.handle = handle;
        out.object = object;
        out.kind = object->Kind();
        return true;
    }
};

}  // namespace NPOSValidatorImpl
