// A C locale whose decimal separator is a comma, in force for LC_NUMERIC
// while the object lives, as a host may switch the C library to one.
#pragma once

#include <string>

namespace qeltest::numbers {

class CommaLocale final {
public:
    // Tries the installed locales; on a system that has none with a comma
    // but has the locale compiler and its sources, compiles one into a
    // temporary directory.
    CommaLocale();
    // Puts the previous LC_NUMERIC back and removes what it compiled.
    ~CommaLocale();
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool active() const { return active_; }
    // Why there is none, when there is none.
    const std::string& why() const { return why_; }

private:
    bool TryNamed();
    bool TryCompiled();

    std::string previous_;
    std::string compiledDir_;
    bool active_ = false;
    std::string why_;
};

}  // namespace qeltest::numbers
