// The directory module: QELUtilsDirInterface, then the single row of
// QELUtilsTempFileStreamFactory.
#include "files/directory.h"
#include "files/temp_file_stream.h"
#include "frame/host_binding.h"
#include "frame/modules.h"

namespace {

auto Tables() noexcept {
    using QEL_T_MT::Publish;
    using Factory = qelutils::contract::QELUtilsTempFileStreamFactory;
    return std::tuple(QEL_T_MT::DirTable(),
                      QEL_T_MT::Publication(Publish<Factory::NewTempFileStream>(&QEL_T_MT::NewTempFileStream)));
}

bool Publish() { return QEL_T_MT::RegisterProcTables(Tables()); }
void Withdraw() noexcept { QEL_T_MT::WithdrawInterfaces(Tables()); }

}  // namespace

const qel::Module qel::kFilesModule = {&Publish, &Withdraw};
