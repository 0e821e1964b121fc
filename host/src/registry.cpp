// Rows of published procedures, found by interface, method and proc type.
#include "host_state.h"

namespace qelhost {

namespace {
// Starts at 1: a cache that never resolved (generation 0) never matches.
std::atomic<uint64_t> gGeneration{1};
}  // namespace

uint64_t RegistryGeneration() noexcept { return gGeneration.load(std::memory_order_acquire); }
void BumpRegistryGeneration() noexcept { gGeneration.fetch_add(1, std::memory_order_acq_rel); }

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
        BumpRegistryGeneration();
        return true;
    }
    rows_.emplace(std::move(key), Row{std::string(procTypeName), proc});
    BumpRegistryGeneration();
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
    BumpRegistryGeneration();
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
    BumpRegistryGeneration();
}

void Registry::UnhideAll() {
    std::unique_lock hold(lock_);
    hidden_.clear();
    BumpRegistryGeneration();
}

}  // namespace qelhost
