// One pointer per thread for the library's work list of objects waiting to
// be destroyed. It can be read and written at any moment, the first time on
// a fresh thread included, without allocating memory and without registering
// anything for the thread's exit: destruction must go on when memory is
// exhausted, and a C runtime that cannot allocate there aborts the process.
#pragma once

namespace qel::platform {

void* ThreadWorkList() noexcept;
// False when the pointer cannot be stored on this thread; the caller then
// does without the list.
bool SetThreadWorkList(void* list) noexcept;

}  // namespace qel::platform
