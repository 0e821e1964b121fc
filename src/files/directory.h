// Directory objects and file operations relative to them.
#pragma once

#include "frame/atom_ref.h"
#include "frame/client_base.h"
#include "frame/proc_table.h"

namespace QEL_T_MT {

class QELUtilsDirImpl final : public CQELClientBase {
public:
    explicit QELUtilsDirImpl(QELStringAtomRef path) noexcept : path_(std::move(path)) {}

    // The directory, a backslash unless it ends in one, and the name.
    QELStringAtomRef Join(const char* name) const;
    bool FileExists(const char* name) const;
    void Delete(const char* name) const;
    void Rename(const char* oldName, const char* newName) const;
    QELStringAtomRef CreateUniqueFilename(const char* prefix, const char* extension) const;

    const QELStringAtomRef& path() const noexcept { return path_; }

private:
    // False when the file exists already.
    bool CreateNewFile(const char* name) const;

    QELStringAtomRef path_;
};

// QELUtilsDirInterface with its eight procedures.
Publication<contract::QELUtilsDirInterface> DirTable() noexcept;

}  // namespace QEL_T_MT
