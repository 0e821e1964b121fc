// Loading the library on POSIX systems.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "host_state.h"

namespace qelhost {

void* OpenLibrary(const std::string& path, std::string* error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr && error != nullptr) {
        const char* why = dlerror();
        *error = why != nullptr ? why : path + ": cannot be loaded";
    }
    return library;
}

void* LibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "./";
    std::string p(path, static_cast<size_t>(n));
    return p.substr(0, p.rfind('/') + 1);
}

}  // namespace qelhost
