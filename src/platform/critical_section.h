// A lock for short critical regions. On Windows a CRITICAL_SECTION whose spin
// count is set when the kernel offers SetCriticalSectionSpinCount; elsewhere a
// mutex. The storage is inline so that process-wide lists can own one from
// static construction on, before any allocator of the host exists.
#pragma once

#include <cstddef>

namespace qel::platform {

class CriticalSection final {
public:
    static constexpr unsigned kDefaultSpinCount = 500;

    explicit CriticalSection(unsigned spinCount = kDefaultSpinCount) noexcept;
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() noexcept;
    void Leave() noexcept;

private:
    alignas(16) unsigned char storage_[64];
};

// Scoped entry: leaves on every way out, exceptions included.
class CriticalSectionLock final {
public:
    explicit CriticalSectionLock(CriticalSection& cs) noexcept : cs_(cs) { cs_.Enter(); }
    ~CriticalSectionLock() { cs_.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& cs_;
};

}  // namespace qel::platform
