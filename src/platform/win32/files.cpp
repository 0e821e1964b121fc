#include "platform/files.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qel::platform {

bool TempDirectory(char (&path)[kMaxPath]) {
    const DWORD n = GetTempPathA(kMaxPath, path);
    if (n == 0 || n > kMaxPath - 1) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

bool CurrentDirectory(char (&path)[kMaxPath]) {
    const DWORD n = GetCurrentDirectoryA(kMaxPath, path);
    if (n == 0 || n >= kMaxPath) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

bool PathExists(const char* path) {
    if (std::strpbrk(path, "*?") != nullptr) return false;
    struct _stat64 info;
    return _stat64(path, &info) == 0;
}

int RemoveFile(const char* path) { return std::remove(path) == 0 ? 0 : errno; }

// The C runtime's rename never replaces an existing target here.
int RenameNoReplace(const char* from, const char* to) { return std::rename(from, to) == 0 ? 0 : errno; }

int CreateExclusive(const char* path) {
    const int fd = _open(path, _O_CREAT | _O_EXCL | _O_RDONLY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return errno;
    _close(fd);
    return 0;
}

}  // namespace qel::platform
