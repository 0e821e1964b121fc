// The directory module: QELUtilsDirInterface, then the single row of
// QELUtilsTempFileStreamFactory.
#include "files/directory.h"
#include "files/temp_file_stream.h"
#include "frame/host_binding.h"
#include "frame/modules.h"

namespace {

bool Publish() {
    using namespace QEL_T_MT;
    if (!RegisterProcTable(kDirRows, RowCount(kDirRows), "QELUtilsDirInterface")) return false;
    const ProcRegistration factory[] = {
        {"NewTempFileStream", "_QELUtilsNewTempFileStreamProc_NewTempFileStream", ProcAddress(&NewTempFileStream)},
        {"", "", nullptr},
    };
    return RegisterProcTable(factory, RowCount(factory), "QELUtilsTempFileStreamFactory");
}

void Withdraw() noexcept {
    QEL_T_MT::WithdrawInterface("QELUtilsDirInterface");
    QEL_T_MT::WithdrawInterface("QELUtilsTempFileStreamFactory");
}

}  // namespace

const qel::Module qel::kFilesModule = {&Publish, &Withdraw};
