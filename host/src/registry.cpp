// Rows of published procedures, found by interface, method and proc type.
#include "host_state.h"

namespace qelhost {

std::string Registry::Key(std::string_view interfaceName, std::string_view methodName) {
    std::string key;
    key.reserve(interfaceName.size() + 1 + methodName.size());
    key.append(interfaceName).push_back('\0');
    key.append(methodName);
    return key;
}

void* Registry::Find(std::string_view interfaceName, std::string_view methodName,
                     std::string_view procTypeName) const {
    const std::string key = Key(interfaceName, methodName);
    std::shared_lock hold(lock_);
    if (!hidden_.empty() && hidden_.count(key) != 0) return nullptr;
    auto found = rows_.find(key);
    if (found == rows_.end() || found->second.procTypeName != procTypeName) return nullptr;
    return found->second.proc;
}

bool Registry::Add(std::string_view interfaceName, std::string_view methodName, std::string_view procTypeName,
                   void* proc) {
    std::string key = Key(interfaceName, methodName);
    std::unique_lock hold(lock_);
    auto found = rows_.find(key);
    if (found != rows_.end()) {
        if (found->second.procTypeName != procTypeName) return false;
        found->second.proc = proc;
        return true;
    }
    rows_.emplace(std::move(key), Row{std::string(procTypeName), proc});
    return true;
}

void Registry::RemoveInterface(std::string_view interfaceName) {
    std::unique_lock hold(lock_);
    for (auto it = rows_.begin(); it != rows_.end();) {
        const std::string& key = it->first;
        const bool ours = key.size() > interfaceName.size() && key[interfaceName.size()] == '\0' &&
                          key.compare(0, interfaceName.size(), interfaceName) == 0;
        it = ours ? rows_.erase(it) : std::next(it);
    }
}

bool Registry::HasInterface(std::string_view interfaceName) const {
    std::shared_lock hold(lock_);
    for (const auto& [key, row] : rows_)
        if (key.size() > interfaceName.size() && key[interfaceName.size()] == '\0' &&
            key.compare(0, interfaceName.size(), interfaceName) == 0)
            return true;
    return false;
}

void Registry::Hide(std::string_view interfaceName, std::string_view methodName) {
    std::unique_lock hold(lock_);
    hidden_.insert(Key(interfaceName, methodName));
}

void Registry::UnhideAll() {
    std::unique_lock hold(lock_);
    hidden_.clear();
}

}  // namespace qelhost
