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
        auto get = [&](auto& proc, const char* method, const char* type) {
            proc = host().Get<std::remove_reference_t<decltype(proc)>>("QELUtilsDirInterface", method, type);
            ASSERT_NE(proc, nullptr) << method;
        };
        get(getTempDir_, "GetTempDir", "QELUtilsDirGetTempDir");
        get(getCurrent_, "GetCurrent", "QELUtilsDirGetCurrent");
        get(newDir_, "NewQELUtilsDir", "QELUtilsDirNewQELUtilsDir");
        get(fileExists_, "FileExists", "QELUtilsDirFileExists");
        get(delete_, "Delete", "QELUtilsDirDelete");
        get(rename_, "Rename", "QELUtilsDirRename");
        get(pathSpec_, "GetFilePathSpec", "QELUtilsDirGetFilePathSpec");
        get(unique_, "CreateUniqueFilename", "QELUtilsDirCreateUniqueFilename");
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
        auto message = host().Get<QELErrorGetMessageProc>("QELErrorInterface", "GetErrorMessage",
                                                          "QELErrorGetMessageProc");
        auto component = host().Get<QELErrorGetComponentProc>("QELErrorInterface", "GetComponent",
                                                              "QELErrorGetComponentProc");
        auto id = host().Get<QELErrorGetIDProc>("QELErrorInterface", "GetID", "QELErrorGetIDProc");
        auto text = host().Get<QELGetCStringProc>("QELStringInterface", "GetCString", "QELGetCStringProc");
        auto release = host().Get<QELErrorReleaseProc>("QELErrorInterface", "Release", "QELErrorReleaseProc");
        if (e == nullptr) return {"", "", 0};
        Error out{text(message(e)), text(component(e)), id(e)};
        release(e);
        return out;
    }
    // An atom passed out, released.
    std::string TakeAtom(QELStringAtom atom) {
        auto text = host().Get<QELGetCStringProc>("QELStringInterface", "GetCString", "QELGetCStringProc");
        auto drop = host().Get<QELDeleteStringAtomProc>("QELStringInterface", "DeleteStringAtom",
                                                         "QELDeleteStringAtomProc");
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
