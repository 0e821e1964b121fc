// The DLL's entry point. It is compiled into QELUtils.dll only: an executable
// that links the library statically has no DLL entry point and gets the
// detach notice from detach_hook.cpp instead.
#include <windows.h>

#include "platform/process_detach.h"

// The C runtime calls this before it runs the DLL's static destructors, when
// the DLL is unloaded and when the process exits, so the process-wide objects
// are destroyed after the notice, as they must be.
extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_DETACH) qel::frame::OnProcessDetach();
    return TRUE;
}
