// Directory tests run in a private directory, never the user's real one;
// TMPDIR points there too, and it must be empty again at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <type_traits>

#include "host_fixture.h"
#include "qelhost/pos.h"
#include "qelutils/pos_procs.h"

namespace qeltest {

class FilesTest : public LibraryTest {
protected:
    using Ref = qelhost::pos::Ref;
    using Atom = qelhost::pos::Atom;

    void SetUp() override {
        private_ = std::filesystem::temp_directory_path() /
                   ("qelutils-files-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(private_);
#if defined(_WIN32)
        tempText_ = private_.string() + "\\";
        _putenv_s("TMP", tempText_.c_str());
        _putenv_s("TEMP", tempText_.c_str());
#else
        tempText_ = private_.string() + "/";
        setenv("TMPDIR", tempText_.c_str(), 1);
#endif
        LibraryTest::SetUp();
        if (HasFatalFailure()) return;
        using DirInterface = contract::QELUtilsDirInterface;
        getTempDir_ = host().Get<DirInterface::GetTempDir>();
        getCurrent_ = host().Get<DirInterface::GetCurrent>();
        newDir_ = host().Get<DirInterface::NewQELUtilsDir>();
        fileExists_ = host().Get<DirInterface::FileExists>();
        delete_ = host().Get<DirInterface::Delete>();
        rename_ = host().Get<DirInterface::Rename>();
        pathSpec_ = host().Get<DirInterface::GetFilePathSpec>();
        unique_ = host().Get<DirInterface::CreateUniqueFilename>();
        ASSERT_TRUE(getTempDir_ && getCurrent_ && newDir_ && fileExists_ && delete_ && rename_ && pathSpec_ && unique_);
        dir_ = Dir(private_.string());
    }
    void TearDown() override {
        dir_.reset();
        LibraryTest::TearDown();
#if !defined(_WIN32)
        unsetenv("TMPDIR");
#endif
        EXPECT_TRUE(std::filesystem::is_empty(private_)) << "files left behind in " << private_;
        std::filesystem::remove_all(private_);
    }

    Ref Dir(const std::string& path) {
        const Atom atom(path);
        QELContainerHandle out = nullptr;
        EXPECT_EQ(newDir_(&out, atom.get()), nullptr);
        return Ref::Take(out);
    }

    // An error handle's message and ID, released.
    struct Error final {
        std::string message;
        std::string component;
        uint32_t id;
    };
    Error Take(QELErrorHandle e) {
        auto message = host().Get<contract::QELErrorInterface::GetErrorMessage>();
        auto component = host().Get<contract::QELErrorInterface::GetComponent>();
        auto id = host().Get<contract::QELErrorInterface::GetID>();
        auto text = host().Get<contract::QELStringInterface::GetCString>();
        auto release = host().Get<contract::QELErrorInterface::Release>();
        if (e == nullptr) return {"", "", 0};
        Error out{text(message(e)), text(component(e)), id(e)};
        release(e);
        return out;
    }
    // An atom passed out, released.
    std::string TakeAtom(QELStringAtom atom) {
        auto text = host().Get<contract::QELStringInterface::GetCString>();
        auto drop = host().Get<contract::QELStringInterface::DeleteStringAtom>();
        std::string s = text(atom);
        drop(atom);
        return s;
    }

    std::filesystem::path private_;
    std::string tempText_;  // the temporary directory as the system gives it
    Ref dir_;
    QELUtilsDirGetTempDir getTempDir_ = nullptr;
    QELUtilsDirGetCurrent getCurrent_ = nullptr;
    QELUtilsDirNewQELUtilsDir newDir_ = nullptr;
    QELUtilsDirFileExists fileExists_ = nullptr;
    QELUtilsDirDelete delete_ = nullptr;
    QELUtilsDirRename rename_ = nullptr;
    QELUtilsDirGetFilePathSpec pathSpec_ = nullptr;
    QELUtilsDirCreateUniqueFilename unique_ = nullptr;
};

}  // namespace qeltest
