#include "files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace pos {

namespace fs = std::filesystem;

namespace {

std::string Why(int error) { return std::strerror(error); }

#if defined(_WIN32)
using Fd = int;
int OpenNew(const std::string& name) {
    return _open(name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(Fd fd, const char* data, size_t size) {
    const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
    return _write(fd, data, chunk);
}
bool Flush(Fd fd) { return _commit(fd) == 0; }
bool CloseFd(Fd fd) { return _close(fd) == 0; }
bool KeepMode(Fd, unsigned) { return true; }  // Windows keeps no POSIX permission bits
bool RenameOver(const std::string& from, const std::string& to, std::string* why) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    *why = std::system_category().message(static_cast<int>(GetLastError()));
    return false;
}
void SyncDirectory(const std::string&) {}
#else
using Fd = int;
long WriteSome(Fd fd, const char* data, size_t size) { return static_cast<long>(::write(fd, data, size)); }
bool Flush(Fd fd) { return ::fsync(fd) == 0; }
bool CloseFd(Fd fd) { return ::close(fd) == 0; }
bool KeepMode(Fd fd, unsigned mode) { return ::fchmod(fd, static_cast<mode_t>(mode)) == 0; }
bool RenameOver(const std::string& from, const std::string& to, std::string* why) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    *why = Why(errno);
    return false;
}
// The rename itself reaches the disk only with its directory.
void SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
#endif

// The bits a new file gets: those of the file replaced, else what the
// process's umask leaves of rw-rw-rw-.
unsigned ModeFor(const std::string& target) {
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) return static_cast<unsigned>(st.st_mode) & 07777u;
#if defined(_WIN32)
    return 0666u;
#else
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
#endif
}

// A symbolic link stays a link: the file it names is the one replaced.
std::string Target(const std::string& path) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path resolved = fs::weakly_canonical(path, ec);
        if (!ec) return resolved.string();
    }
    return path;
}

// A new, empty file beside target that no one else has opened.
Fd CreateTemporary(const std::string& target, std::string& name) {
    const fs::path p(target);
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::random_device seed;
    std::mt19937_64 random((static_cast<uint64_t>(seed()) << 32) ^ seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08llx.tmp", static_cast<unsigned long long>(random() & 0xFFFFFFFFu));
        name = (dir / ("." + p.filename().string() + suffix)).string();
#if defined(_WIN32)
        const Fd fd = OpenNew(name);
#else
        const Fd fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
#endif
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

std::string DisplayName(const std::string& path) { return IsStdio(path) ? "<stdin>" : path; }

bool ReadWhole(const std::string& path, std::string& bytes, std::string* error) {
    std::FILE* in = IsStdio(path) ? stdin : std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        *error = "cannot open: " + Why(errno);
        return false;
    }
#if defined(_WIN32)
    if (in == stdin) _setmode(_fileno(stdin), _O_BINARY);
#endif
    char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, in)) > 0) bytes.append(block, n);
    const bool failed = std::ferror(in) != 0;
    const int why = errno;
    if (in != stdin) std::fclose(in);
    if (failed) {
        *error = "cannot read: " + Why(why);
        return false;
    }
    return true;
}

bool ReplaceSafely(const std::string& path, const std::string& bytes, std::string* error) {
    const std::string target = Target(path);
    const unsigned mode = ModeFor(target);
    std::string temporary;
    const Fd fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        *error = "cannot create a temporary file beside it: " + Why(errno);
        return false;
    }
    auto fail = [&](const std::string& why) {
        *error = why;
        std::remove(temporary.c_str());
        return false;
    };
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const long n = WriteSome(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int why = n < 0 ? errno : ENOSPC;
            CloseFd(fd);
            return fail(Why(why));
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    if (!KeepMode(fd, mode) || !Flush(fd)) {
        const int why = errno;
        CloseFd(fd);
        return fail(Why(why));
    }
    if (!CloseFd(fd)) return fail(Why(errno));
    std::string why;
    if (!RenameOver(temporary, target, &why)) return fail("cannot replace it: " + why);
    const fs::path parent = fs::path(target).parent_path();
    SyncDirectory(parent.empty() ? "." : parent.string());
    return true;
}

namespace {
int gStdoutError = 0;  // errno of the first failed write to standard output
bool gStdoutTold = false;
}  // namespace

void MarkStdoutFailureTold() { gStdoutTold = true; }
bool StdoutFailureTold() { return gStdoutTold; }

void Print(std::string_view text) {
#if defined(_WIN32)
    static const bool binary = (_setmode(_fileno(stdout), _O_BINARY), true);
    (void)binary;
#endif
    if (gStdoutError != 0 || text.empty()) return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) gStdoutError = errno != 0 ? errno : EIO;
}

bool WriteStdout(std::string_view bytes, std::string* error) {
    Print(bytes);
    if (gStdoutError == 0) {
        errno = 0;
        if (std::fflush(stdout) != 0) gStdoutError = errno != 0 ? errno : EIO;
    }
    if (gStdoutError == 0) return true;
    *error = Why(gStdoutError);
    return false;
}

bool WriteOutput(const std::string& path, const std::string& bytes, std::string* error) {
    return IsStdio(path) ? WriteStdout(bytes, error) : ReplaceSafely(path, bytes, error);
}

}  // namespace pos
