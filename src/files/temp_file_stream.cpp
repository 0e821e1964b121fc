#include "files/temp_file_stream.h"

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/host_binding.h"
#include "qelutils/pos_procs.h"

namespace QEL_T_MT {

namespace {

// The library's own directory interface, reached through the host as any
// client reaches it; and the host's stream factory.
using Dir = contract::QELUtilsDirInterface;
using Factory = contract::QELStreamFactoryInterface;

// A file stream on the named file of the directory.
HostStreamRef OpenFile(const QELContainerRef& directory, const QELStringAtomRef& name, const char* mode) {
    QELStringAtom path = nullptr;
    CheckHostResult(RequireProc<Dir::GetFilePathSpec>()(&path, directory.handle(), name.atom()));
    const QELStringAtomRef pathRef(path, true);
    QELContainerHandle stream = nullptr;
    CheckHostResult(RequireProc<Factory::NewPositionableFileStream>()(&stream, pathRef.text(), mode));
    return HostStreamRef(stream);
}

}  // namespace

TempFileStream::TempFileStream(QELContainerRef directory, QELStringAtomRef fileName, HostStreamRef fileStream,
                               bool deleteOnClose)
    : directory_(std::move(directory)),
      fileName_(std::move(fileName)),
      fileStream_(std::move(fileStream)),
      deleteOnClose_(deleteOnClose) {}

TempFileStream::~TempFileStream() {
    try {
        // Close the file first (by putting an empty memory stream in its
        // place): an open file cannot be deleted everywhere.
        QELContainerHandle memory = nullptr;
        CheckHostResult(RequireProc<Factory::NewPositionableMemoryStream>()(&memory));
        fileStream_ = HostStreamRef(memory);
        if (deleteOnClose_)
            CheckHostResult(RequireProc<Dir::Delete>()(directory_.handle(), fileName_.atom()));
    } catch (...) {
        // The file stays; nothing else is lost.
    }
}

QELClientPositionableStream* TempFileStream::CreateIndependentlyPositionableStream() {
    qel::platform::CriticalSectionLock hold(mutex_.Get().section);
    if (!reopenedReadOnly_) {
        // The stream itself reads on from here through a read-only file, so
        // that the copies and the original see one file the same way.
        fileStream_ = OpenFile(directory_, fileName_, "rb");
        reopenedReadOnly_ = true;
    }
    return new TempFileStream(directory_, fileName_, OpenFile(directory_, fileName_, "rb"), false);
}

QELErrorHandle NewTempFileStream(QELContainerHandle* out, const char* prefix, const char* extension,
                                 const char* mode) {
    return ErrorReturning([&] {
        const QELStringAtomRef prefixAtom(prefix);
        const QELStringAtomRef extensionAtom(extension);
        const QELStringAtomRef modeAtom(mode);

        QELContainerHandle dirHandle = nullptr;
        CheckHostResult(RequireProc<Dir::GetTempDir>()(&dirHandle));
        QELContainerRef directory(dirHandle);

        QELStringAtom name = nullptr;
        CheckHostResult(RequireProc<Dir::CreateUniqueFilename>()(&name, directory.handle(), prefixAtom.atom(),
                                                                 extensionAtom.atom()));
        QELStringAtomRef fileName(name, true);

        HostStreamRef file = OpenFile(directory, fileName, modeAtom.text());
        auto* stream = new TempFileStream(std::move(directory), std::move(fileName), std::move(file), true);
        QELContainerHandle handle = NewHostStreamFromClient(stream);
        if (handle == nullptr) ThrowQELError("Missing Interface", "QEL", 0);
        HostStreamRef published(handle);
        *out = published.ReleaseForReturn();
    });
}

}  // namespace QEL_T_MT
