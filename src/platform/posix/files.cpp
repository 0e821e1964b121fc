#include "platform/files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qel::platform {

namespace {

// The directory utilities join with backslashes on every platform.
std::string Native(const char* path) {
    std::string p(path);
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

bool Copy(const char* text, char (&path)[kMaxPath]) {
    const size_t n = std::strlen(text);
    if (n == 0 || n + 1 >= kMaxPath) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(path, text, n + 1);
    return true;
}

}  // namespace

bool TempDirectory(char (&path)[kMaxPath]) {
    const char* dir = std::getenv("TMPDIR");
    std::string text = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if (text.back() != '/') text += '/';
    return Copy(text.c_str(), path);
}

bool CurrentDirectory(char (&path)[kMaxPath]) { return getcwd(path, kMaxPath) != nullptr; }

bool PathExists(const char* path) {
    if (std::strpbrk(path, "*?") != nullptr) return false;  // wildcards name no file
    struct stat info;
    return ::stat(Native(path).c_str(), &info) == 0;
}

int RemoveFile(const char* path) {
    const std::string p = Native(path);
    struct stat info;
    // As the C runtime elsewhere: remove deletes files, not directories.
    if (::stat(p.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return EACCES;
    return ::unlink(p.c_str()) == 0 ? 0 : errno;
}

int RenameNoReplace(const char* from, const char* to) {
    const std::string a = Native(from);
    const std::string b = Native(to);
#if defined(SYS_renameat2)
    // Atomic: the target is never replaced, whatever happens between.
    constexpr unsigned kNoReplace = 1;
    if (::syscall(SYS_renameat2, AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), kNoReplace) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
    // Without it: a hard link claims the name atomically (files only).
    if (::link(a.c_str(), b.c_str()) != 0) return errno;
    if (::unlink(a.c_str()) != 0) {
        const int error = errno;
        ::unlink(b.c_str());
        return error;
    }
    return 0;
}

int CreateExclusive(const char* path) {
    const int fd = ::open(Native(path).c_str(), O_CREAT | O_EXCL | O_RDONLY | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

}  // namespace qel::platform
