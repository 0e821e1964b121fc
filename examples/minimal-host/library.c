#include "library.h"

#include <stdio.h>

#if defined(_WIN32)
#include <windows.h>

static void* Open(const char* path) { return (void*)LoadLibraryA(path); }
static void* Symbol(void* handle, const char* name) { return (void*)GetProcAddress((HMODULE)handle, name); }
static void Close(void* handle) { FreeLibrary((HMODULE)handle); }
static void ExplainOpenFailure(const char* path) {
    fprintf(stderr, "minimal-host: %s: cannot be loaded (error %lu)\n", path, (unsigned long)GetLastError());
}
#else
#include <dlfcn.h>

static void* Open(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void* Symbol(void* handle, const char* name) { return dlsym(handle, name); }
static void Close(void* handle) { dlclose(handle); }
static void ExplainOpenFailure(const char* path) {
    const char* why = dlerror();
    fprintf(stderr, "minimal-host: %s\n", why != NULL ? why : path);
}
#endif

int LibraryOpen(Library* library, const char* path) {
    library->handle = Open(path);
    if (library->handle == NULL) {
        ExplainOpenFailure(path);
        return 0;
    }
    library->getVersion = (QELUtilsGetVersionProc)Symbol(library->handle, "QELUtilsGetVersion");
    library->initialize = (QELUtilsInitializeProc)Symbol(library->handle, "QELUtilsInitialize");
    library->terminate = (QELUtilsTerminateProc)Symbol(library->handle, "QELUtilsTerminate");
    if (library->getVersion == NULL || library->initialize == NULL || library->terminate == NULL) {
        fprintf(stderr, "minimal-host: %s: not QELUtils (its exports are missing)\n", path);
        LibraryClose(library);
        return 0;
    }
    return 1;
}

void LibraryClose(Library* library) {
    if (library->handle != NULL) Close(library->handle);
    library->handle = NULL;
}
