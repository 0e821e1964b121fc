// Host streams over new files in the temporary directory, deleted with the
// stream that made them; independent copies read the same file.
#pragma once

#include "frame/atom_ref.h"
#include "frame/container_ref.h"
#include "frame/host_streams.h"
#include "frame/lazy_object_pointer.h"

namespace QEL_T_MT {

class TempFileStream final : public QELClientPositionableStream {
public:
    TempFileStream(QELContainerRef directory, QELStringAtomRef fileName, HostStreamRef fileStream,
                   bool deleteOnClose);
    ~TempFileStream() override;

    uint64_t Read(void* buffer, uint64_t size) override { return fileStream_.Read(buffer, size); }
    void Write(const void* data, uint64_t size) override { fileStream_.Write(data, size); }
    QELClientPositionableStream* CreateIndependentlyPositionableStream() override;
    void Seek(int64_t position, int64_t origin) override { fileStream_.Seek(position, origin); }
    int64_t Mark() override { return fileStream_.Mark(); }

private:
    QELContainerRef directory_;
    QELStringAtomRef fileName_;
    HostStreamRef fileStream_;
    bool deleteOnClose_;
    bool reopenedReadOnly_ = false;
    TQELLazyObjectPointer<DWEMutualExclusion> mutex_;
};

// The procedure behind QELUtilsTempFileStreamFactory.NewTempFileStream.
QELErrorHandle NewTempFileStream(QELContainerHandle* out, const char* prefix, const char* extension,
                                 const char* mode);

}  // namespace QEL_T_MT
