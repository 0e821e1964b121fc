#include "document.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "diagnose.h"
#include "files.h"
#include "lint.h"
#include "qelhost/notation.h"
#include "report.h"

namespace pos {

using qelhost::pos::Ref;
using Streamer = qelutils::contract::POSStreamerInterface;

namespace {

constexpr char kTypeAHeader[] = "POSStreamerTypeA_Version";
constexpr char kBom[] = "\xEF\xBB\xBF";

bool IsTypeA(const std::string& bytes, size_t from) {
    const size_t start = bytes.find_first_not_of(' ', from);
    return start != std::string::npos && bytes.compare(start, sizeof kTypeAHeader - 1, kTypeAHeader) == 0;
}

bool LooksBinary(const std::string& bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F;
    });
}

bool EndsWith(const std::string& s, const char* suffix) {
    const std::string_view tail(suffix);
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string First(const std::vector<std::string>& reports, const char* otherwise) {
    return reports.empty() ? otherwise : reports.front();
}

}  // namespace

std::optional<Format> FormatNamed(const std::string& name) {
    if (name == "auto") return Format::Auto;
    if (name == "text") return Format::Text;
    if (name == "typea") return Format::TypeA;
    if (name == "json") return Format::Json;
    return std::nullopt;
}

const char* FormatName(Format format) {
    switch (format) {
        case Format::Auto: return "auto";
        case Format::Text: return "text";
        case Format::TypeA: return "typea";
        case Format::Json: return "json";
    }
    return "?";
}

Session::~Session() {
    std::string ignored;
    Close(&ignored);
}

bool Session::Open() {
    std::string error;
    if (!host_.Load(&error)) {
        Error("cannot load QELUtils: " + error);
        return false;
    }
    if (host_.InitializeLibrary() != 1) {
        Error("QELUtils failed to initialise");
        return false;
    }
    client_.emplace(host_);
    return true;
}

bool Session::Close(std::string* books) {
    client_.reset();
    if (!host_.Loaded()) return true;
    host_.TerminateLibrary();
    host_.Unload();
    const qelhost::Books now = host_.books();
    *books = now.ToString();
    return now.AllZero();
}

std::vector<std::string> Session::TakeReports() {
    std::vector<std::string> reports = host_.Reports();
    host_.ClearReports();
    return reports;
}

void Session::Missing(const char* interfaceName, const char* method) {
    Error(std::string("the library does not publish ") + interfaceName + "." + method);
}

std::optional<Document> Session::Load(const std::string& path, const LoadOptions& options) {
    std::string bytes, error;
    if (!ReadWhole(path, bytes, &error)) {
        Error(DisplayName(path) + ": " + error);
        return std::nullopt;
    }
    const std::string name = DisplayName(path);
    LoadOptions chosen = options;
    if (chosen.from == Format::Auto && EndsWith(path, ".json")) chosen.from = Format::Json;
    return LoadBytes(name, bytes, chosen);
}

std::optional<Document> Session::LoadBytes(const std::string& name, const std::string& bytes,
                                           const LoadOptions& options) {
    // Editors on Windows start UTF-8 files with a byte-order mark; the
    // formats do not know it.
    const size_t skipped = bytes.compare(0, 3, kBom) == 0 ? 3 : 0;
    Format format = options.from;
    if (format == Format::Auto) {
        const size_t first = bytes.find_first_not_of(" \t\r\n", skipped);
        if (IsTypeA(bytes, skipped))
            format = Format::TypeA;
        else if (first != std::string::npos && (bytes[first] == '{' || bytes[first] == '"'))
            format = Format::Json;
        else
            format = Format::Text;
    }
    if (format != Format::TypeA && LooksBinary(bytes)) {
        Error(name + ": binary data, neither text notation, TypeA nor JSON");
        return std::nullopt;
    }
    std::optional<Document> doc;
    switch (format) {
        case Format::TypeA: doc = LoadTypeA(name, bytes.substr(skipped)); break;
        case Format::Json: doc = LoadJson(name, bytes, options); break;
        default: doc = LoadText(name, bytes, skipped, options); break;
    }
    if (doc && skipped > 0 && options.lint && format != Format::Json) {
        ReportAt(name, bytes, 0, Severity::Warning, "byte-order mark skipped: the notation does not know it");
        ++doc->warnings;
    }
    return doc;
}

std::optional<Document> Session::LoadText(const std::string& name, const std::string& bytes, size_t skipped,
                                          const LoadOptions& options) {
    const std::string text = bytes.substr(skipped);
    long offset = -1;
    Ref value = pos().FromText(text.c_str(), &offset);
    if (value) {
        Document doc{value, Format::Text, 0};
        if (options.lint) {
            for (const Finding& f : Lint(text)) {
                ReportAt(name, bytes, f.offset + skipped, Severity::Warning, f.message);
                ++doc.warnings;
            }
        }
        return doc;
    }
    const std::vector<std::string> reports = TakeReports();
    if (offset < 0) {
        Error(name + ": " + First(reports, "cannot build the value"));
        return std::nullopt;
    }
    // The library says where; the notation's rules say why.
    const SyntaxError why = Diagnose(text);
    std::string message =
        !why.message.empty() && why.offset == static_cast<size_t>(offset) ? why.message : "syntax error";
    if (nlohmann::json::accept(text)) message += " (the file reads as JSON: add --from json)";
    ReportAt(name, bytes, static_cast<size_t>(offset) + skipped, Severity::Error, message);
    return std::nullopt;
}

std::optional<Document> Session::LoadTypeA(const std::string& name, const std::string& bytes) {
    const auto newStreamer = Require<Streamer::NewPOSStreamer>();
    const auto deserialize = Require<Streamer::Deserialize>();
    if (newStreamer == nullptr || deserialize == nullptr) return std::nullopt;
    const Ref streamer = Ref::Take(newStreamer());
    const Ref stream = Ref::Take(host_.NewMemoryStream(bytes));
    Ref value = Ref::Take(deserialize(streamer.get(), stream.get()));
    const std::vector<std::string> reports = TakeReports();
    if (!value) {
        Error(name + ": cannot read serialized data: " + First(reports, "unknown error"));
        return std::nullopt;
    }
    return Document{value, Format::TypeA, 0};
}

std::optional<Document> Session::LoadJson(const std::string& name, const std::string& bytes,
                                          const LoadOptions& options) {
    std::vector<JsonNote> notes;
    JsonError error;
    Ref value = FromJson(pos(), bytes, options.json, notes, error);
    TakeReports();
    if (!value) {
        if (error.syntax)
            ReportAt(name, bytes, error.offset, Severity::Error, error.message);
        else
            Error(name + ": " + error.path + ": " + error.message);
        return std::nullopt;
    }
    Document doc{value, Format::Json, 0};
    for (const JsonNote& note : notes) {
        Warning(name + ": " + note.path + ": " + note.message);
        ++doc.warnings;
    }
    return doc;
}

std::optional<std::string> Session::Render(const Ref& value, Format format, const std::string& name) {
    switch (format) {
        case Format::Json:
            try {
                return ToJson(pos(), value);
            } catch (const Unmappable& e) {
                Error(name + ": cannot write JSON: " + e.what());
                return std::nullopt;
            }
        case Format::TypeA: {
            const auto newStreamer = Require<Streamer::NewPOSStreamer>();
            const auto serialize = Require<Streamer::Serialize>();
            if (newStreamer == nullptr || serialize == nullptr) return std::nullopt;
            const Ref streamer = Ref::Take(newStreamer());
            const Ref stream = Ref::Take(host_.NewMemoryStream());
            if (serialize(streamer.get(), stream.get(), value.get(), nullptr) != 1) {
                Error(name + ": cannot serialize: " + First(TakeReports(), "unknown error"));
                return std::nullopt;
            }
            return host_.MemoryStreamContents(stream.get()) + "\n";
        }
        default:
            try {
                return qelhost::notation::Write(pos(), value, {true}) + "\n";
            } catch (const qelhost::notation::Inexpressible& e) {
                Error(name + ": cannot write text notation: " + e.what());
                return std::nullopt;
            }
    }
}

}  // namespace pos
