// Directory tests run in a private directory, never the user's real one;
// TMPDIR points there too, and it must be empty again at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "host_fixture.h"
#include "qelhost/pos.h"
#include "qelutils/pos_procs.h"

namespace qeltest {

// An environment variable set for a test and given back its old value (or
// none) afterwards, so that the tests of one process do not see each other's.
class ScopedEnvironment final {
public:
    void Set(const char* name, const std::string& value) {
        const char* old = std::getenv(name);
        saved_.push_back({name, old != nullptr, old != nullptr ? old : ""});
        Put(name, value.c_str());
    }
    ~ScopedEnvironment() { Restore(); }
    void Restore() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->existed)
                Put(it->name.c_str(), it->value.c_str());
            else
                Remove(it->name.c_str());
        }
        saved_.clear();
    }

private:
    struct Saved final {
        std::string name;
        bool existed;
        std::string value;
    };
#if defined(_WIN32)
    static void Put(const char* name, const char* value) { _putenv_s(name, value); }
    static void Remove(const char* name) { _putenv_s(name, ""); }
#else
    static void Put(const char* name, const char* value) { setenv(name, value, 1); }
    static void Remove(const char* name) { unsetenv(name); }
#endif
    std::vector<Saved> saved_;
};

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
        environment_.Set("TMP", tempText_);
        environment_.Set("TEMP", tempText_);
#else
        tempText_ = private_.string() + "/";
        environment_.Set("TMPDIR", tempText_);
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
        environment_.Restore();
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
    ScopedEnvironment environment_;
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
