// File streams over the C library's files.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "host_streams.h"

namespace qelhost {

namespace {

#if defined(_WIN32)
int SeekFile(std::FILE* file, int64_t offset, int whence) { return _fseeki64(file, offset, whence); }
int64_t TellFile(std::FILE* file) { return _ftelli64(file); }
#else
int SeekFile(std::FILE* file, int64_t offset, int whence) { return fseeko(file, offset, whence); }
int64_t TellFile(std::FILE* file) { return ftello(file); }
#endif

struct FileCloser final {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

// The modes fopen takes in every C library: r, w or a, then "+" and "b" at
// most once each (and "x" after w). Anything else is refused before fopen
// sees it, as some runtimes abort on a bad mode.
bool ValidMode(const char* mode) noexcept {
    if (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a') return false;
    bool plus = false, binary = false, exclusive = false;
    for (const char* c = mode + 1; *c != '\0'; ++c) {
        bool* seen = *c == '+' ? &plus : *c == 'b' ? &binary : (*c == 'x' && mode[0] == 'w') ? &exclusive : nullptr;
        if (seen == nullptr || *seen) return false;
        *seen = true;
    }
    return true;
}

std::string SystemError(const std::string& what, int code) { return what + ": " + std::strerror(code); }

class FileStream final : public HostStream {
public:
    FileStream(FilePointer file, std::string path, const char* mode)
        : file_(std::move(file)),
          path_(std::move(path)),
          readable_(mode[0] == 'r' || std::strchr(mode, '+') != nullptr),
          writable_(mode[0] != 'r' || std::strchr(mode, '+') != nullptr) {
        Count(Tally::OpenFiles, 1);
    }
    ~FileStream() override { Count(Tally::OpenFiles, -1); }

    QELErrorHandle Read(uint64_t* count, void* buffer, uint64_t size) override {
        // Refused here: not every C runtime flags a read of a write-only file.
        if (!readable_) return Fail("file stream: \"" + path_ + "\" is not open for reading", kStreamFailure);
        // C streams need a flush or a seek between writing and reading.
        if (last_ == Last::Write && std::fflush(file_.get()) != 0) return IoError("flush");
        last_ = Last::Read;
        const uint64_t asked = std::min<uint64_t>(ReadAllowance(size), std::numeric_limits<size_t>::max());
        errno = 0;
        const size_t n = asked != 0 ? std::fread(buffer, 1, static_cast<size_t>(asked), file_.get()) : 0;
        if (n < asked && std::ferror(file_.get())) return IoError("read");
        // Not sticky: data another stream appends later can still be read.
        if (n < asked) std::clearerr(file_.get());
        *count = n;
        return nullptr;
    }

    QELErrorHandle Write(const void* data, uint64_t size) override {
        if (!writable_) return Fail("file stream: \"" + path_ + "\" is not open for writing", kStreamFailure);
        if (last_ == Last::Read && SeekFile(file_.get(), 0, SEEK_CUR) != 0) return IoError("seek");
        last_ = Last::Write;
        if (size > std::numeric_limits<size_t>::max()) return Fail("file stream: write too large", kStreamFailure);
        errno = 0;
        if (size != 0 && std::fwrite(data, 1, static_cast<size_t>(size), file_.get()) != size) return IoError("write");
        return nullptr;
    }

    QELErrorHandle Copy(StreamMethod, QELContainerHandle* out) override {
        // The copy opens the file anew: what this stream buffered must be there.
        if (std::fflush(file_.get()) != 0) return IoError("flush");
        return Open(out, path_.c_str(), "rb");
    }

    QELErrorHandle Rewind() override { return Seek(0, 0); }

    QELErrorHandle Mark(int64_t* position) override {
        errno = 0;
        const int64_t at = TellFile(file_.get());
        if (at < 0) return IoError("tell");
        *position = at;
        return nullptr;
    }

    QELErrorHandle Seek(int64_t offset, int64_t origin) override {
        if (origin < 0 || origin > 2)
            return Fail("file stream: bad seek origin", kBadSeek, static_cast<uint64_t>(origin));
        if (origin == 0 && offset < 0) return Fail("file stream: seek before the start", kBadSeek);
        errno = 0;
        const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
        if (SeekFile(file_.get(), offset, whence) != 0) return IoError("seek");
        last_ = Last::None;
        return nullptr;
    }

    static QELErrorHandle Open(QELContainerHandle* out, const char* path, const char* mode) {
        if (path == nullptr || mode == nullptr) return Fail("file stream: null path or mode", kBadArgument);
        if (!ValidMode(mode)) return Fail(std::string("file stream: bad open mode \"") + mode + "\"", kBadArgument);
        if (S().AllocationFails()) return OutOfMemory();
        std::string pathCopy(path);
#if !defined(_WIN32)
        // Paths joined by the library's directory utilities separate with
        // backslashes on every platform.
        for (char& c : pathCopy)
            if (c == '\\') c = '/';
#endif
        errno = 0;
        FilePointer file(std::fopen(pathCopy.c_str(), mode));
        if (file == nullptr) {
            const int code = errno;
            return Fail(SystemError(std::string("cannot open \"") + path + "\" (" + mode + ")", code), kOpenFailed,
                        static_cast<uint64_t>(code));
        }
        std::unique_ptr<HostStream> stream = std::make_unique<FileStream>(std::move(file), std::move(pathCopy),
                                                                          mode);
        return Publish(out, stream, kFileKind);
    }

private:
    QELErrorHandle IoError(const char* what) {
        const int code = errno;
        std::clearerr(file_.get());  // the next call starts afresh
        return Fail(SystemError(std::string("file stream: cannot ") + what + " \"" + path_ + "\"", code),
                    kStreamFailure, static_cast<uint64_t>(code));
    }

    enum class Last : uint8_t { None, Read, Write };
    FilePointer file_;
    std::string path_;
    bool readable_;
    bool writable_;
    Last last_ = Last::None;
};

}  // namespace

QELErrorHandle NewFileStreamProc(QELContainerHandle* out, const char* path, const char* mode) {
    if (out == nullptr) return Fail("NewPositionableFileStream: null out argument", kBadArgument);
    *out = nullptr;
    return Guarded([&] { return FileStream::Open(out, path, mode); });
}

QELContainerHandle Host::NewFileStream(const std::string& path, const char* mode, std::string* error) {
    QELContainerHandle stream = nullptr;
    if (QELErrorHandle e = NewFileStreamProc(&stream, path.c_str(), mode)) {
        std::string message = TakeMessage(e);
        if (error != nullptr) *error = std::move(message);
        return nullptr;
    }
    return stream;
}

}  // namespace qelhost
