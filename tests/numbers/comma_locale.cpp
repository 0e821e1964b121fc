#include "comma_locale.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qeltest::numbers {

namespace {

bool SeparatorIsComma() { return std::strcmp(std::localeconv()->decimal_point, ",") == 0; }

}  // namespace

CommaLocale::CommaLocale() {
    const char* current = std::setlocale(LC_NUMERIC, nullptr);
    previous_ = current != nullptr ? current : "C";
    active_ = TryNamed() || TryCompiled();
    if (!active_) std::setlocale(LC_NUMERIC, previous_.c_str());
}

CommaLocale::~CommaLocale() {
    std::setlocale(LC_NUMERIC, previous_.c_str());
    if (!compiledDir_.empty()) {
#ifndef _WIN32
        unsetenv("LOCPATH");
#endif
        std::error_code ignored;
        std::filesystem::remove_all(compiledDir_, ignored);
    }
}

bool CommaLocale::TryNamed() {
#ifdef _WIN32
    const char* const names[] = {"German", "French", "de-DE", "fr-FR"};
#else
    const char* const names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "fr_FR"};
#endif
    for (const char* name : names)
        if (std::setlocale(LC_NUMERIC, name) != nullptr && SeparatorIsComma()) return true;
    why_ = "no locale with a decimal comma is installed";
    return false;
}

bool CommaLocale::TryCompiled() {
#ifdef _WIN32
    return false;
#else
    namespace fs = std::filesystem;
    if (!fs::exists("/usr/share/i18n/locales/de_DE")) {
        why_ += ", and no locale sources to compile one (the locales package)";
        return false;
    }
    std::string dir = (fs::temp_directory_path() / "qelnumbers-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        why_ += ", and no temporary directory to compile one into";
        return false;
    }
    compiledDir_ = dir;
    // A one-byte character set compiles in a fraction of a second.
    const std::string command = "localedef -i de_DE -f ISO-8859-1 '" + dir + "/de_DE.ISO-8859-1' >/dev/null 2>&1";
    [[maybe_unused]] const int status = std::system(command.c_str());
    setenv("LOCPATH", dir.c_str(), 1);
    if (std::setlocale(LC_NUMERIC, "de_DE.ISO-8859-1") != nullptr && SeparatorIsComma()) return true;
    why_ += ", and localedef could not compile de_DE";
    return false;
#endif
}

}  // namespace qeltest::numbers
