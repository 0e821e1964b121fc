#include "platform/critical_section.h"

#include <windows.h>

#include <new>

namespace qel::platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "CRITICAL_SECTION does not fit the inline storage");
static_assert(alignof(CRITICAL_SECTION) <= 16, "CRITICAL_SECTION needs more alignment than the inline storage");

namespace {

using SetSpinCountProc = DWORD(WINAPI*)(LPCRITICAL_SECTION, DWORD);

// Not every kernel has SetCriticalSectionSpinCount, so it is found by name
// rather than imported: a missing entry would keep the library from loading.
SetSpinCountProc LookUpSetSpinCount() noexcept {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return nullptr;
    FARPROC proc = GetProcAddress(kernel, "SetCriticalSectionSpinCount");
    // Through void(*)(), which converts to any function type without a warning.
    return reinterpret_cast<SetSpinCountProc>(reinterpret_cast<void (*)()>(proc));
}

// Looked up once, by the first critical section, during static construction;
// the function-local static keeps that independent of the order in which the
// translation units are initialised.
SetSpinCountProc SetSpinCount() noexcept {
    static const SetSpinCountProc proc = LookUpSetSpinCount();
    return proc;
}

CRITICAL_SECTION* Native(unsigned char* storage) noexcept {
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}

}  // namespace

CriticalSection::CriticalSection(unsigned spinCount) noexcept {
    auto* cs = new (storage_) CRITICAL_SECTION;
    InitializeCriticalSection(cs);
    if (SetSpinCountProc setSpinCount = SetSpinCount()) setSpinCount(cs, spinCount);
}

CriticalSection::~CriticalSection() { DeleteCriticalSection(Native(storage_)); }

void CriticalSection::Enter() noexcept { EnterCriticalSection(Native(storage_)); }
void CriticalSection::Leave() noexcept { LeaveCriticalSection(Native(storage_)); }

}  // namespace qel::platform
