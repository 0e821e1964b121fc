// The pos commands: one table gives each its name, usage, help, options
// and handler; main, the help and the completion script read it.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace pos {

class Session;

// Exit codes: 0 success, 1 a negative answer (invalid, no value, warnings
// under --strict), 2 an error (usage, input that cannot be read or parsed).
inline constexpr int kOk = 0;
inline constexpr int kNo = 1;
inline constexpr int kError = 2;

// Every option of every command; each command defines the ones it takes.
struct Options final {
    std::vector<std::string> files;
    std::string address;
    std::string value;
    std::string schema;
    std::string type;
    std::string from = "auto";
    std::string to;
    std::string output = "-";
    std::string bools = "refuse";
    std::string nulls = "refuse";
    std::string report = "text";  // validate, schema-check: text or json
    bool inPlace = false;
    bool strict = false;
    bool raw = false;
    bool literal = false;  // set: VALUE is a string as it stands
    bool skipSchemaCheck = false;
};

struct Command final {
    const char* name;
    const char* usage;    // after "usage: "
    const char* summary;  // one line, for the command list
    const char* help;     // what it does, its exit codes, an example
    void (*define)(CLI::App& app, Options& options);
    int (*run)(Session& session, const Options& options);
};

std::span<const Command> Commands();
const Command* FindCommand(const std::string& name);

// Handlers, one file per group.
int Check(Session& session, const Options& options);
int Fmt(Session& session, const Options& options);
int Convert(Session& session, const Options& options);
int Get(Session& session, const Options& options);
int Keys(Session& session, const Options& options);
int Len(Session& session, const Options& options);
int Set(Session& session, const Options& options);
int Del(Session& session, const Options& options);
int Validate(Session& session, const Options& options);
int SchemaCheck(Session& session, const Options& options);

}  // namespace pos

#include <optional>

namespace pos {
struct LoadOptions;
// How a command reads its documents, from its options.
LoadOptions Reading(const Options& options, bool lint);
// Writes a command's result to a file (safely) or standard output; false
// after saying why.
bool WriteResult(const std::string& path, const std::string& bytes);
}  // namespace pos
