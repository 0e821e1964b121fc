// pos: property objects on the command line, through QELUtils loaded by
// the reference host, calling only the library's published interfaces.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

#include "commands.h"
#include "completion.h"
#include "document.h"
#include "files.h"
#include "report.h"

#ifndef POS_VERSION
#error "POS_VERSION comes from the build system"
#endif

namespace {

using namespace pos;

struct Globals final {
    bool quiet = false;
    bool verbose = false;
    std::string colour = "auto";
};

void AddGlobals(CLI::App& app, Globals& g) {
    app.add_flag("-q,--quiet", g.quiet, "Print nothing but errors");
    app.add_flag("-v,--verbose", g.verbose, "Print every explanation line, nothing folded");
    app.add_option("--color", g.colour, "Colour on standard error: auto (a terminal without NO_COLOR), always, never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->type_name("WHEN");
}

std::string GlobalUsage() {
    std::string text =
        "Usage: pos [-q] [-v] [--color WHEN] COMMAND [ARGS]\n"
        "  or:  pos help [COMMAND]\n"
        "  or:  pos --version\n"
        "\n"
        "Property objects on the command line: check, format, convert (text notation, TypeA, JSON),\n"
        "query, change and validate documents.\n"
        "\n"
        "Commands:\n";
    for (const Command& c : Commands()) {
        std::string name = c.name;
        name.resize(14, ' ');
        text += "  " + name + c.summary + "\n";
    }
    text +=
        "\n"
        "Options of every command:\n"
        "  -q, --quiet     print nothing but errors\n"
        "  -v, --verbose   print every explanation line\n"
        "  --color WHEN    auto (a terminal, unless NO_COLOR is set), always or never\n"
        "  -h, --help      the command's help\n"
        "\n"
        "FILE may be - for standard input. Options take --opt=value; -- ends them.\n"
        "Exit codes: 0 success, 1 a negative answer (invalid, no value, --strict warnings),\n"
        "2 an error (usage, a file that cannot be read, parsed or written).\n"
        "Documents: docs/pos.md, docs/notation.md, docs/schema.md, docs/json.md.\n";
    return text;
}

std::string OptionLines(const CLI::App& app) {
    std::string text;
    for (const CLI::Option* opt : app.get_options()) {
        std::string names = opt->get_name(false, true);
        for (size_t at = names.find(','); at != std::string::npos; at = names.find(',', at + 2))
            names.replace(at, 1, ", ");
        if (opt->get_positional()) continue;
        if (opt->get_type_size() != 0) {
            const std::string type = opt->get_type_name();  // CLI11 appends the choices after a colon
            names += " " + type.substr(0, type.find(':'));
        }
        if (names.size() < 22) names.resize(22, ' ');
        else names += "  ";
        text += "  " + names + opt->get_description() + "\n";
    }
    return text;
}

std::string CommandHelp(const Command& command) {
    Options options;
    Globals globals;
    CLI::App app;
    command.define(app, options);
    AddGlobals(app, globals);
    return std::string("usage: ") + command.usage + "\n\n" + command.help + "\n\nOptions:\n" + OptionLines(app);
}

int UsageError(const Command* command, const std::string& message) {
    Error((command != nullptr ? std::string(command->name) + ": " : std::string()) + message);
    if (command != nullptr)
        std::cerr << "usage: " << command->usage << "\n(pos help " << command->name << " for more)\n";
    else
        std::cerr << "usage: pos [-q] [-v] [--color WHEN] COMMAND [ARGS]\n(pos help lists the commands)\n";
    return kError;
}

void PrintVersion() {
    std::string text = "pos " POS_VERSION;
    qelhost::Host host;
    std::string error;
    if (host.Load(&error)) text += " (QELUtils interface version " + std::to_string(host.LibraryVersion()) + ")";
    Print(text + "\n");
}

int Help(const std::vector<std::string>& args) {
    if (args.empty()) {
        Print(GlobalUsage());
        return kOk;
    }
    const Command* command = FindCommand(args[0]);
    if (command == nullptr || args.size() > 1) return UsageError(nullptr, "help takes one command name: " + args[0]);
    Print(CommandHelp(*command));
    return kOk;
}

int RunCommand(const Command& command, std::vector<std::string> args, Globals globals) {
    Options options;
    CLI::App app;
    app.set_help_flag("-h,--help");
    // A path such as /tmp/a.pos names a file on every system (Wine passes
    // such paths to Windows programs): never a Windows-style option.
    app.allow_windows_style_options(false);
    command.define(app, options);
    AddGlobals(app, globals);
    try {
        std::reverse(args.begin(), args.end());  // CLI11 takes them last first
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        Print(CommandHelp(command));
        return kOk;
    } catch (const CLI::ParseError& e) {
        return UsageError(&command, e.what());
    }
    CurrentUi().quiet = globals.quiet;
    CurrentUi().verbose = globals.verbose;
    ChooseColour(globals.colour == "always" ? ColourChoice::Always
                 : globals.colour == "never" ? ColourChoice::Never
                                             : ColourChoice::Auto);
    Session session;
    if (!session.Open()) return kError;
    const int status = command.run(session, options);
    std::string books;
    if (!session.Close(&books) && std::getenv("POS_CHECK_BOOKS") != nullptr) {
        Error("internal: the host's books are not back at zero: " + books);
        return 3;
    }
    return status;
}

int Main(std::vector<std::string> args) {
    Globals globals;
    // Options before the command are the global ones.
    size_t at = 0;
    for (; at < args.size() && args[at].size() > 1 && args[at][0] == '-'; ++at) {
        const std::string& a = args[at];
        if (a == "--version") {
            PrintVersion();
            return kOk;
        }
        if (a == "-h" || a == "--help") return Help({});
        if (a == "--bash-completion") {
            Print(BashCompletion());
            return kOk;
        }
        if (a == "-q" || a == "--quiet") {
            globals.quiet = true;
        } else if (a == "-v" || a == "--verbose") {
            globals.verbose = true;
        } else if (a.rfind("--color=", 0) == 0) {
            globals.colour = a.substr(8);
        } else if (a == "--color" && at + 1 < args.size()) {
            globals.colour = args[++at];
        } else {
            return UsageError(nullptr, "unknown option " + a);
        }
    }
    if (globals.colour != "auto" && globals.colour != "always" && globals.colour != "never")
        return UsageError(nullptr, "--color takes auto, always or never");
    if (at == args.size()) return UsageError(nullptr, "no command");
    const std::string name = args[at];
    std::vector<std::string> rest(args.begin() + static_cast<long>(at) + 1, args.end());
    if (name == "help") return Help(rest);
    const Command* command = FindCommand(name);
    if (command == nullptr) return UsageError(nullptr, "unknown command " + name);
    return RunCommand(*command, std::move(rest), globals);
}

}  // namespace

int main(int argc, char** argv) {
    int status;
    try {
        status = Main(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        pos::Error(std::string("internal error: ") + e.what());
        status = pos::kError;
    }
    std::string why;
    if (!pos::WriteStdout("", &why)) {
        if (!pos::StdoutFailureTold()) pos::Error("cannot write to standard output: " + why);
        return pos::kError;
    }
    return status;
}
