// pos: property objects on the command line, through QELUtils loaded by
// the reference host, calling only the library's published interfaces.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "diagnose.h"
#include "qelhost/host.h"
#include "qelhost/notation.h"
#include "qelhost/pos.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using qelhost::pos::Ref;

// Exit codes: 0 success, 1 a negative answer (invalid, no value), 2 an
// error (usage, input that cannot be read or parsed).
constexpr int kOk = 0;
constexpr int kNo = 1;
constexpr int kError = 2;

constexpr const char kVersion[] = "1.1.1";
constexpr const char kTypeAHeader[] = "POSStreamerTypeA_Version";

const char kUsage[] =
    "usage: pos COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  check FILE...                              parse text-notation files\n"
    "  validate --schema SCHEMA --type NAME FILE...  validate against a schema type\n"
    "  schema-check SCHEMA...                     check schemas against the meta-schema\n"
    "  convert --to typea|text [-o OUT] FILE      convert between the notation and TypeA\n"
    "  get ADDRESS FILE                           print the value at a deep address\n"
    "  fmt [-w] FILE                              canonical, indented notation\n"
    "\n"
    "FILE may be - for standard input; every command takes --help; pos --version.\n";

const char* const kCommandHelp[][2] = {
    {"check",
     "usage: pos check FILE...\n"
     "Parses each file as text notation. A syntax error prints FILE:LINE:COLUMN: message,\n"
     "the offending line and a caret under the error position. Exit 2 on any error.\n"},
    {"validate",
     "usage: pos validate --schema SCHEMA --type NAME FILE...\n"
     "Validates each file against the type NAME of SCHEMA and prints every explanation\n"
     "line under the file's name. Exit 1 when a file does not satisfy the type, 2 on errors.\n"},
    {"schema-check",
     "usage: pos schema-check SCHEMA...\n"
     "Checks each schema against the library's meta-schema, with the explanation lines.\n"
     "Exit 1 when a schema is not valid, 2 on errors.\n"},
    {"convert",
     "usage: pos convert --to typea|text [-o OUT] FILE\n"
     "Converts text notation to the TypeA serialized form and back; the input format is\n"
     "detected from its header. Writes to OUT, or to standard output.\n"},
    {"get",
     "usage: pos get ADDRESS FILE\n"
     "Prints the value at ADDRESS (such as a.b[2].k) in text notation. Exit 1 when there is none.\n"},
    {"fmt",
     "usage: pos fmt [-w] FILE\n"
     "Prints canonical, indented text notation (keys in dictionary order); -w rewrites FILE.\n"},
};

void Fail(const std::string& message) { std::cerr << "pos: " << message << "\n"; }

// ------------------------------------------------------------------ files

std::string DisplayName(const std::string& path) { return path == "-" ? "<stdin>" : path; }

bool ReadAll(const std::string& path, std::string& bytes) {
    std::FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        Fail(path + ": cannot open: " + std::strerror(errno));
        return false;
    }
#if defined(_WIN32)
    if (in == stdin) _setmode(_fileno(stdin), _O_BINARY);
#endif
    char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, in)) > 0) bytes.append(block, n);
    const bool failed = std::ferror(in) != 0;
    const int error = errno;
    if (in != stdin) std::fclose(in);
    if (failed) {
        Fail(DisplayName(path) + ": cannot read: " + std::strerror(error));
        return false;
    }
    return true;
}

bool WriteAll(const std::string& path, const std::string& bytes) {
    if (path == "-") {
#if defined(_WIN32)
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        return bool(std::cout);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        Fail(path + ": cannot write");
        return false;
    }
    return true;
}

// ------------------------------------------------------------------ the library

class Library final {
public:
    bool Open() {
        std::string error;
        if (!host_.Load(&error)) {
            Fail("cannot load QELUtils: " + error);
            return false;
        }
        if (host_.InitializeLibrary() != 1) {
            Fail("QELUtils failed to initialise");
            return false;
        }
        client_.emplace(host_);
        return true;
    }
    ~Library() {
        client_.reset();
        if (host_.Loaded()) {
            host_.TerminateLibrary();
            host_.Unload();
        }
    }

    qelhost::Host& host() { return host_; }
    const qelhost::pos::Client& pos() const { return *client_; }

    // What the library reported since the last call.
    std::vector<std::string> TakeReports() {
        std::vector<std::string> reports = host_.Reports();
        host_.ClearReports();
        return reports;
    }

    template <class Proc>
    Proc Require(const char* interfaceName, const char* method, const char* procType) {
        auto proc = host_.Get<Proc>(interfaceName, method, procType);
        if (proc == nullptr) Fail(std::string("the library does not publish ") + interfaceName + "." + method);
        return proc;
    }

private:
    qelhost::Host host_;
    std::optional<qelhost::pos::Client> client_;
};

bool IsTypeA(const std::string& bytes) {
    const size_t start = bytes.find_first_not_of(' ');
    return start != std::string::npos && bytes.compare(start, sizeof kTypeAHeader - 1, kTypeAHeader) == 0;
}

// The value a file holds, in either format; null after printing why not.
Ref Load(Library& lib, const std::string& path, const std::string& bytes) {
    const std::string name = DisplayName(path);
    if (IsTypeA(bytes)) {
        auto newStreamer = lib.Require<POSStreamerNewPOSStreamerProc>("POSStreamerInterface", "NewPOSStreamer",
                                                                     "POSStreamerNewPOSStreamerProc");
        auto deserialize = lib.Require<POSStreamerDeserializeProc>("POSStreamerInterface", "Deserialize",
                                                                  "POSStreamerDeserializeProc");
        if (newStreamer == nullptr || deserialize == nullptr) return {};
        const Ref streamer = Ref::Take(newStreamer());
        const Ref stream = Ref::Take(lib.host().NewMemoryStream(bytes));
        Ref value = Ref::Take(deserialize(streamer.get(), stream.get()));
        const std::vector<std::string> reports = lib.TakeReports();
        if (!value) Fail(name + ": cannot read serialized data: " + (reports.empty() ? "unknown error" : reports.front()));
        return value;
    }
    const bool binary = std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F;
    });
    if (binary) {
        Fail(name + ": binary data, neither text notation nor serialized TypeA");
        return {};
    }
    long offset = -1;
    Ref value = lib.pos().FromText(bytes.c_str(), &offset);
    if (value) return value;
    const std::vector<std::string> reports = lib.TakeReports();
    if (offset < 0) {
        Fail(name + ": " + (reports.empty() ? "cannot build the value" : reports.front()));
        return {};
    }
    // The library says where; the notation's rules say why.
    const pos::SyntaxError why = pos::Diagnose(bytes);
    const std::string message =
        !why.message.empty() && why.offset == static_cast<size_t>(offset) ? why.message : "syntax error";
    const pos::Place place = pos::Locate(bytes, static_cast<size_t>(offset));
    // A window of the line around the error, so that a huge line stays readable.
    constexpr size_t kWindow = 100;
    size_t from = place.column > kWindow / 2 ? place.column - 1 - kWindow / 2 : 0;
    if (from > place.lineText.size()) from = place.lineText.size();
    std::string shown(place.lineText.substr(from, kWindow));
    std::string caret(from > 0 ? 3 : 0, ' ');
    if (from > 0) shown = "..." + shown;
    if (from + kWindow < place.lineText.size()) shown += "...";
    for (size_t i = from; i + 1 < place.column && i < place.lineText.size(); ++i)
        caret += place.lineText[i] == '\t' ? '\t' : ' ';
    std::cerr << name << ":" << place.line << ":" << place.column << ": " << message << "\n"
              << shown << "\n"
              << caret << "^\n";
    return {};
}

Ref LoadFile(Library& lib, const std::string& path) {
    std::string bytes;
    if (!ReadAll(path, bytes)) return {};
    return Load(lib, path, bytes);
}

std::string Notation(Library& lib, const Ref& value, bool pretty, const std::string& name, bool& ok) {
    try {
        ok = true;
        return qelhost::notation::Write(lib.pos(), value, {pretty}) + "\n";
    } catch (const qelhost::notation::Inexpressible& e) {
        Fail(name + ": cannot write text notation: " + e.what());
        ok = false;
        return {};
    }
}

// Report procedures are plain C procedures: the lines of one call gather here.
std::vector<std::string>* gLines = nullptr;
void CollectLine(const char* line) {
    if (gLines != nullptr) gLines->emplace_back(line != nullptr ? line : "");
}

// ------------------------------------------------------------------ commands

int Check(Library& lib, const std::vector<std::string>& files) {
    int status = kOk;
    for (const std::string& file : files)
        if (!LoadFile(lib, file)) status = kError;
    return status;
}

// Prints the outcome of one validation; a host report stops it as an error.
int Outcome(Library& lib, const std::string& name, int32_t result, const std::vector<std::string>& lines) {
    const std::vector<std::string> reports = lib.TakeReports();
    if (!reports.empty()) {
        for (const std::string& r : reports) Fail(name + ": error: " + r);
        return kError;
    }
    std::cout << name << ": " << (result != 0 ? "valid" : "invalid") << "\n";
    for (const std::string& line : lines) std::cout << "  " << line << "\n";
    return result != 0 ? kOk : kNo;
}

int Validate(Library& lib, const std::string& schemaPath, const std::string& type,
             const std::vector<std::string>& files) {
    auto newValidator = lib.Require<POSStructValidatorNewStructValidatorProc>(
        "POSStructValidatorInterface", "NewPOSStructValidator", "POSStructValidatorNewStructValidatorProc");
    auto validate = lib.Require<POSValidatorValidateProc>("POSValidatorInterface", "Validate",
                                                          "POSValidatorValidateProc");
    if (newValidator == nullptr || validate == nullptr) return kError;
    const Ref schema = LoadFile(lib, schemaPath);
    if (!schema) return kError;
    const Ref validator = Ref::Take(newValidator(schema.get()));
    if (!validator) {
        const std::vector<std::string> reports = lib.TakeReports();
        Fail(DisplayName(schemaPath) + ": not a schema" + (reports.empty() ? "" : ": " + reports.front()));
        return kError;
    }
    const qelhost::pos::Atom typeName(type);
    int status = kOk;
    for (const std::string& file : files) {
        const Ref value = LoadFile(lib, file);
        if (!value) {
            status = kError;
            continue;
        }
        std::vector<std::string> lines;
        gLines = &lines;
        const int32_t result = validate(validator.get(), value.get(), typeName.get(), &CollectLine);
        gLines = nullptr;
        const int outcome = Outcome(lib, DisplayName(file), result, lines);
        if (outcome > status) status = outcome;
    }
    return status;
}

int SchemaCheck(Library& lib, const std::vector<std::string>& files) {
    auto validateSchema = lib.Require<POSStructValidatorValidateSchemaProc>(
        "POSStructValidatorInterface", "ValidateSchema", "POSStructValidatorValidateSchemaProc");
    if (validateSchema == nullptr) return kError;
    int status = kOk;
    for (const std::string& file : files) {
        const Ref schema = LoadFile(lib, file);
        if (!schema) {
            status = kError;
            continue;
        }
        std::vector<std::string> lines;
        gLines = &lines;
        const int32_t result = validateSchema(schema.get(), &CollectLine);
        gLines = nullptr;
        const int outcome = Outcome(lib, DisplayName(file), result, lines);
        if (outcome > status) status = outcome;
    }
    return status;
}

int Convert(Library& lib, const std::string& to, const std::string& out, const std::string& file) {
    const Ref value = LoadFile(lib, file);
    if (!value) return kError;
    std::string bytes;
    if (to == "text") {
        bool ok;
        bytes = Notation(lib, value, true, DisplayName(file), ok);
        if (!ok) return kError;
    } else {
        auto newStreamer = lib.Require<POSStreamerNewPOSStreamerProc>("POSStreamerInterface", "NewPOSStreamer",
                                                                     "POSStreamerNewPOSStreamerProc");
        auto serialize = lib.Require<POSStreamerSerializeProc>("POSStreamerInterface", "Serialize",
                                                              "POSStreamerSerializeProc");
        if (newStreamer == nullptr || serialize == nullptr) return kError;
        const Ref streamer = Ref::Take(newStreamer());
        const Ref stream = Ref::Take(lib.host().NewMemoryStream());
        if (serialize(streamer.get(), stream.get(), value.get(), nullptr) != 1) {
            const std::vector<std::string> reports = lib.TakeReports();
            Fail(DisplayName(file) + ": cannot serialize: " + (reports.empty() ? "unknown error" : reports.front()));
            return kError;
        }
        bytes = lib.host().MemoryStreamContents(stream.get()) + "\n";
    }
    return WriteAll(out, bytes) ? kOk : kError;
}

int Get(Library& lib, const std::string& address, const std::string& file) {
    const Ref value = LoadFile(lib, file);
    if (!value) return kError;
    if (!lib.pos().IsDict(value)) {
        Fail(DisplayName(file) + ": the value is not a dictionary");
        return kNo;
    }
    const Ref found = lib.pos().DeepGet(value, address.c_str());
    lib.TakeReports();
    if (!found) {
        Fail(DisplayName(file) + ": no value at " + address);
        return kNo;
    }
    bool ok;
    const std::string text = Notation(lib, found, true, DisplayName(file) + ": " + address, ok);
    return ok && WriteAll("-", text) ? kOk : kError;
}

int Fmt(Library& lib, bool inPlace, const std::string& file) {
    const Ref value = LoadFile(lib, file);
    if (!value) return kError;
    bool ok;
    const std::string text = Notation(lib, value, true, DisplayName(file), ok);
    if (!ok) return kError;
    return WriteAll(inPlace ? file : "-", text) ? kOk : kError;
}

// ------------------------------------------------------------------ arguments

int Usage(const std::string& message) {
    Fail(message);
    std::cerr << kUsage;
    return kError;
}

bool WantsHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

int Run(const std::string& command, std::vector<std::string> args) {
    if (WantsHelp(args)) {
        for (const auto& [name, help] : kCommandHelp)
            if (command == name) {
                std::cout << help;
                return kOk;
            }
    }
    // Options first; the rest are operands ("-" among them).
    std::string schema, type, to, out;
    bool inPlace = false;
    std::vector<std::string> operands;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == "--schema" && command == "validate") {
            if (!value(schema)) return Usage("--schema needs a file");
        } else if (a == "--type" && command == "validate") {
            if (!value(type)) return Usage("--type needs a type name");
        } else if (a == "--to" && command == "convert") {
            if (!value(to)) return Usage("--to needs typea or text");
        } else if (a == "-o" && command == "convert") {
            if (!value(out)) return Usage("-o needs a file");
        } else if (a == "-w" && command == "fmt") {
            inPlace = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unknown option " + a + " for " + command);
        } else {
            operands.push_back(a);
        }
    }

    Library lib;
    auto open = [&] { return lib.Open(); };
    if (command == "check") {
        if (operands.empty()) return Usage("check needs at least one file");
        return open() ? Check(lib, operands) : kError;
    }
    if (command == "validate") {
        if (schema.empty() || type.empty() || operands.empty())
            return Usage("validate needs --schema, --type and at least one file");
        return open() ? Validate(lib, schema, type, operands) : kError;
    }
    if (command == "schema-check") {
        if (operands.empty()) return Usage("schema-check needs at least one schema");
        return open() ? SchemaCheck(lib, operands) : kError;
    }
    if (command == "convert") {
        if (to != "typea" && to != "text") return Usage("convert needs --to typea or --to text");
        if (operands.size() != 1) return Usage("convert takes one file");
        return open() ? Convert(lib, to, out.empty() ? "-" : out, operands[0]) : kError;
    }
    if (command == "get") {
        if (operands.size() != 2) return Usage("get takes an address and a file");
        return open() ? Get(lib, operands[0], operands[1]) : kError;
    }
    if (command == "fmt") {
        if (operands.size() != 1) return Usage("fmt takes one file");
        if (inPlace && operands[0] == "-") return Usage("fmt -w needs a file, not standard input");
        return open() ? Fmt(lib, inPlace, operands[0]) : kError;
    }
    return Usage("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("no command");
    if (args[0] == "--version") {
        qelhost::Host host;
        std::string error;
        std::cout << "pos " << kVersion;
        if (host.Load(&error)) std::cout << " (QELUtils interface version " << host.LibraryVersion() << ")";
        std::cout << "\n";
        return kOk;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return kOk;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    try {
        return Run(command, std::move(args));
    } catch (const std::exception& e) {
        Fail(std::string("internal error: ") + e.what());
        return kError;
    }
}
