// A bash completion script made from the command table, so that it never
// lists an option the tool does not take.
#pragma once

#include <string>

namespace pos {
std::string BashCompletion();
}
