#include "files/directory.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/host_calls.h"
#include "frame/host_services.h"
#include "platform/files.h"

namespace QEL_T_MT {

namespace {

constexpr const char kComponent[] = "QELUtilsDir";

// A working buffer on the host heap, as every text here is built.
class HostText final {
public:
    explicit HostText(size_t size) : text_(static_cast<char*>(HostAlloc(size))), size_(size) {}
    ~HostText() { host::Free(text_); }
    HostText(const HostText&) = delete;
    HostText& operator=(const HostText&) = delete;
    char* data() noexcept { return text_; }
    size_t size() const noexcept { return size_; }

private:
    char* text_;
    size_t size_;
};

[[noreturn]] void Fail(const char* message, int error) {
    ThrowQELError(message, kComponent, static_cast<uint32_t>(error));
}

// The messages for errno 2, 13 and anything else.
[[noreturn]] void FailByErrno(int error, const char* invalid, const char* denied, const char* unknown) {
    Fail(error == ENOENT ? invalid : error == EACCES ? denied : unknown, error);
}

QELErrorHandle NewDirectory(QELContainerHandle* out, QELStringAtomRef path);

}  // namespace

QELStringAtomRef QELUtilsDirImpl::Join(const char* name) const {
    const char* dir = path_.text();
    const size_t dirLength = std::strlen(dir);
    HostText joined(dirLength + std::strlen(name) + 16);
    const bool separated = dirLength > 0 && dir[dirLength - 1] == '\\';
    std::snprintf(joined.data(), joined.size(), "%s%s%s", dir, separated ? "" : "\\", name);
    return QELStringAtomRef(joined.data());
}

bool QELUtilsDirImpl::FileExists(const char* name) const {
    if (std::strpbrk(name, "*?") != nullptr) return false;
    return qel::platform::PathExists(Join(name).text());
}

void QELUtilsDirImpl::Delete(const char* name) const {
    if (const int error = qel::platform::RemoveFile(Join(name).text()))
        FailByErrno(error, "QELUtilsDirImpl::Delete: Invalid filename", "QELUtilsDirImpl::Delete: Permission denied",
                    "QELUtilsDirImpl::Delete: Unknown error");
}

void QELUtilsDirImpl::Rename(const char* oldName, const char* newName) const {
    const QELStringAtomRef from = Join(oldName);
    const QELStringAtomRef to = Join(newName);
    if (const int error = qel::platform::RenameNoReplace(from.text(), to.text()))
        FailByErrno(error, "QELUtilsDirImpl::Rename: Invalid filename", "QELUtilsDirImpl::Rename: Permission denied",
                    "QELUtilsDirImpl::Rename: Unknown error");
}

bool QELUtilsDirImpl::CreateNewFile(const char* name) const {
    const int error = qel::platform::CreateExclusive(Join(name).text());
    if (error == 0) return true;
    if (error == EEXIST) return false;
    FailByErrno(error, "QELUtilsDirImpl::createNewFile: Invalid filename",
                "QELUtilsDirImpl::createNewFile: Permission denied", "QELUtilsDirImpl::createNewFile: Unknown error");
}

QELStringAtomRef QELUtilsDirImpl::CreateUniqueFilename(const char* prefix, const char* extension) const {
    HostText name(std::strlen(prefix) + std::strlen(extension) + 16);
    for (uint32_t n = 0; n <= 0xFFFF; ++n) {
        std::snprintf(name.data(), name.size(), "%s%04X%04X.%s", prefix, n >> 16, n & 0xFFFF, extension);
        if (CreateNewFile(name.data())) return QELStringAtomRef(name.data());
    }
    Fail("QELUtilsDirImpl::CreateUniqueFilename: Cannot find a unique file spec", 0);
}

namespace {

void DestroyDirectory(void* object) { delete static_cast<QELUtilsDirImpl*>(object); }

const QELUtilsDirImpl& DirectoryOf(QELContainerHandle handle) {
    void* object = FindOwnInstance(handle, OwnKind::QELUtilsDir);
    if (object == nullptr) ThrowQELError("invalid container", "", 0);
    return *static_cast<const QELUtilsDirImpl*>(object);
}

// Atoms passed in are borrowed: our own reference for the call.
QELStringAtomRef Borrow(QELStringAtom atom) {
    if (atom == nullptr) ThrowQELError("QELUtilsDirImpl: no name given", kComponent, 0);
    return QELStringAtomRef(atom, false);
}

QELErrorHandle NewDirectory(QELContainerHandle* out, QELStringAtomRef path) {
    auto* impl = new QELUtilsDirImpl(std::move(path));
    try {
        *out = NewOwnContainer(impl, OwnKind::QELUtilsDir, &DestroyDirectory);
    } catch (...) {
        delete impl;
        throw;
    }
    return nullptr;
}

QELErrorHandle GetTempDir(QELContainerHandle* out) {
    return ErrorReturning([&] {
        char path[qel::platform::kMaxPath];
        if (!qel::platform::TempDirectory(path)) Fail("QELUtilsDirImpl::GetTempDir: Cannot get temp dir", errno);
        NewDirectory(out, QELStringAtomRef(path));
    });
}

QELErrorHandle GetCurrent(QELContainerHandle* out) {
    return ErrorReturning([&] {
        char path[qel::platform::kMaxPath];
        if (!qel::platform::CurrentDirectory(path))
            Fail("QELUtilsDirImpl::GetCurrent: Cannot get current dir", errno);
        NewDirectory(out, QELStringAtomRef(path));
    });
}

QELErrorHandle NewQELUtilsDir(QELContainerHandle* out, QELStringAtom path) {
    return ErrorReturning([&] { NewDirectory(out, Borrow(path)); });
}

QELErrorHandle FileExists(uint8_t* out, QELContainerHandle dir, QELStringAtom name) {
    return ErrorReturning([&] {
        const QELStringAtomRef n = Borrow(name);
        *out = DirectoryOf(dir).FileExists(n.text()) ? 1 : 0;
    });
}

QELErrorHandle Delete(QELContainerHandle dir, QELStringAtom name) {
    return ErrorReturning([&] {
        const QELStringAtomRef n = Borrow(name);
        DirectoryOf(dir).Delete(n.text());
    });
}

QELErrorHandle Rename(QELContainerHandle dir, QELStringAtom oldName, QELStringAtom newName) {
    return ErrorReturning([&] {
        const QELStringAtomRef a = Borrow(oldName);
        const QELStringAtomRef b = Borrow(newName);
        DirectoryOf(dir).Rename(a.text(), b.text());
    });
}

QELErrorHandle GetFilePathSpec(QELStringAtom* out, QELContainerHandle dir, QELStringAtom name) {
    return ErrorReturning([&] {
        const QELStringAtomRef n = Borrow(name);
        *out = DirectoryOf(dir).Join(n.text()).Detach();
    });
}

QELErrorHandle CreateUniqueFilename(QELStringAtom* out, QELContainerHandle dir, QELStringAtom prefix,
                                    QELStringAtom extension) {
    return ErrorReturning([&] {
        const QELStringAtomRef p = Borrow(prefix);
        const QELStringAtomRef e = Borrow(extension);
        *out = DirectoryOf(dir).CreateUniqueFilename(p.text(), e.text()).Detach();
    });
}

}  // namespace

Publication<contract::QELUtilsDirInterface> DirTable() noexcept {
    using Dir = contract::QELUtilsDirInterface;
    return Publication(Publish<Dir::GetTempDir>(&GetTempDir), Publish<Dir::GetCurrent>(&GetCurrent),
                       Publish<Dir::NewQELUtilsDir>(&NewQELUtilsDir), Publish<Dir::FileExists>(&FileExists),
                       Publish<Dir::Delete>(&Delete), Publish<Dir::Rename>(&Rename),
                       Publish<Dir::GetFilePathSpec>(&GetFilePathSpec),
                       Publish<Dir::CreateUniqueFilename>(&CreateUniqueFilename));
}

}  // namespace QEL_T_MT
