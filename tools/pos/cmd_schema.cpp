// validate and schema-check: schemas and the explanation of their verdicts.
#include <nlohmann/json.hpp>

#include "commands.h"
#include "document.h"
#include "explain.h"
#include "files.h"
#include "report.h"

namespace pos {

using qelhost::pos::Ref;

namespace {

const char* const kBuiltIn[] = {"any",     "bool",   "int",       "real",         "string",        "unicodestring",
                                "bindata", "rawptr", "qelobjref", "zubaseobjref", "qelerrorobjref"};

// Report procedures are plain C procedures: the lines of one call gather here.
std::vector<std::string>* gLines = nullptr;
void CollectLine(const char* line) {
    if (gLines != nullptr) gLines->emplace_back(line != nullptr ? line : "");
}

struct Verdict final {
    enum class Result { Valid, Invalid, Error } result;
    std::vector<std::string> lines;
    std::string error;  // Error: what the library reported
};

int StatusOf(const Verdict& v) {
    return v.result == Verdict::Result::Valid ? kOk : v.result == Verdict::Result::Invalid ? kNo : kError;
}

// Runs a validation procedure with a line collector; the host's reports
// make it an error rather than a verdict.
template <class Call>
Verdict Judge(Session& session, Call call) {
    Verdict v;
    gLines = &v.lines;
    const int32_t result = call(&CollectLine);
    gLines = nullptr;
    const std::vector<std::string> reports = session.TakeReports();
    if (!reports.empty()) {
        v.result = Verdict::Result::Error;
        v.error = reports.front();
        v.lines.clear();
    } else {
        v.result = result != 0 ? Verdict::Result::Valid : Verdict::Result::Invalid;
    }
    return v;
}

// The category a schema entry names, for folding the schema check's lines.
std::function<std::string(const std::string&)> CategoryLookup(Session& session, const Ref& schema) {
    return [&session, schema](const std::string& entry) -> std::string {
        const auto& pos = session.pos();
        if (!pos.IsDict(schema)) return {};
        const Ref definition = pos.Get(schema, entry.c_str());
        if (!definition || !pos.IsDict(definition)) return {};
        const Ref category = pos.Get(definition, "category");
        return category && pos.IsString(category) ? pos.GetString(category) : std::string();
    };
}

void PrintVerdict(const std::string& name, const Verdict& v, const Options& options,
                  const std::function<std::string(const std::string&)>& fold) {
    if (options.report == "json") {
        nlohmann::ordered_json record;
        record["file"] = name;
        record["result"] = v.result == Verdict::Result::Valid     ? "valid"
                           : v.result == Verdict::Result::Invalid ? "invalid"
                                                                  : "error";
        if (v.result == Verdict::Result::Error) record["error"] = v.error;
        record["lines"] = v.lines;
        if (fold && v.result == Verdict::Result::Invalid) {
            const Folded folded = FoldAlternatives(v.lines, fold);
            record["decisive"] = folded.decisive;
            record["notes"] = folded.notes;
        }
        Print(record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
        return;
    }
    if (v.result == Verdict::Result::Error) {
        Error(name + ": error: " + v.error);
        return;
    }
    if (CurrentUi().quiet) return;
    std::string out = name + (v.result == Verdict::Result::Valid ? ": valid\n" : ": invalid\n");
    if (!fold || CurrentUi().verbose) {
        for (const std::string& line : v.lines) out += "  " + line + "\n";
    } else {
        const Folded folded = FoldAlternatives(v.lines, fold);
        for (const std::string& line : folded.decisive) out += "  " + line + "\n";
        for (const std::string& note : folded.notes) out += "  " + note + "\n";
        if (folded.folded > 0)
            out += "  (" + std::to_string(folded.folded) + " more line" + (folded.folded == 1 ? "" : "s") +
                   " about alternatives that do not apply; -v shows them)\n";
    }
    Print(out);
}

struct Procs final {
    POSStructValidatorNewStructValidatorProc newValidator = nullptr;
    POSStructValidatorValidateSchemaProc validateSchema = nullptr;
    POSValidatorValidateProc validate = nullptr;
    bool Resolve(Session& s) {
        using qelutils::contract::POSStructValidatorInterface;
        newValidator = s.Require<POSStructValidatorInterface::NewPOSStructValidator>();
        validateSchema = s.Require<POSStructValidatorInterface::ValidateSchema>();
        validate = s.Require<qelutils::contract::POSValidatorInterface::Validate>();
        return newValidator != nullptr && validateSchema != nullptr && validate != nullptr;
    }
};

Verdict CheckSchema(Session& session, const Procs& procs, const Ref& schema) {
    return Judge(session, [&](QELReportProc report) { return procs.validateSchema(schema.get(), report); });
}

}  // namespace

int SchemaCheck(Session& session, const Options& options) {
    Procs procs;
    if (!procs.Resolve(session)) return kError;
    int status = kOk;
    for (const std::string& file : options.files) {
        const std::optional<Document> schema = session.Load(file, Reading(options, false));
        Verdict v;
        if (!schema) {
            v = {Verdict::Result::Error, {}, "cannot be read"};
            if (options.report == "json") PrintVerdict(DisplayName(file), v, options, CategoryLookup(session, {}));
        } else {
            v = CheckSchema(session, procs, schema->value);
            PrintVerdict(DisplayName(file), v, options, CategoryLookup(session, schema->value));
        }
        status = std::max(status, StatusOf(v));
    }
    return status;
}

int Validate(Session& session, const Options& options) {
    Procs procs;
    if (!procs.Resolve(session)) return kError;
    const std::string schemaName = DisplayName(options.schema);
    const std::optional<Document> schema = session.Load(options.schema, Reading(options, false));
    if (!schema) return kError;
    const auto& pos = session.pos();
    if (!pos.IsDict(schema->value)) {
        Error(schemaName + ": a schema is a dictionary of type definitions, not " +
              std::string(pos.IsArray(schema->value) ? "an array" : "a single value"));
        return kError;
    }
    if (!options.skipSchemaCheck) {
        const Verdict check = CheckSchema(session, procs, schema->value);
        if (check.result != Verdict::Result::Valid) {
            const Folded folded = FoldAlternatives(check.lines, CategoryLookup(session, schema->value));
            std::string reason = check.result == Verdict::Result::Error ? check.error
                                 : !folded.decisive.empty()             ? folded.decisive.front()
                                 : !folded.notes.empty()                ? folded.notes.front()
                                                                        : "";
            Error(schemaName + ": not a valid schema" + (reason.empty() ? "" : ": " + reason) +
                  " (pos schema-check " + options.schema + " explains; --no-schema-check skips the check)");
            return kError;
        }
    }
    const std::vector<std::string> types = pos.Keys(schema->value);
    const bool builtIn = std::find(std::begin(kBuiltIn), std::end(kBuiltIn), options.type) != std::end(kBuiltIn);
    if (!builtIn && std::find(types.begin(), types.end(), options.type) == types.end()) {
        std::string list;
        for (const std::string& t : types) list += (list.empty() ? "" : ", ") + t;
        Error("unknown type " + options.type + ": " + schemaName + " defines " + (list.empty() ? "none" : list) +
              ", and any, bool, int, real, string, unicodestring, bindata are built in");
        return kError;
    }
    const Ref validator = Ref::Take(procs.newValidator(schema->value.get()));
    if (!validator) {
        const std::vector<std::string> reports = session.TakeReports();
        Error(schemaName + ": cannot make a validator" + (reports.empty() ? "" : ": " + reports.front()));
        return kError;
    }
    const qelhost::pos::Atom typeName(options.type);
    int status = kOk;
    for (const std::string& file : options.files) {
        const std::optional<Document> doc = session.Load(file, Reading(options, false));
        Verdict v;
        if (!doc) {
            v = {Verdict::Result::Error, {}, "cannot be read"};
            if (options.report == "json") PrintVerdict(DisplayName(file), v, options, {});
        } else {
            v = Judge(session, [&](QELReportProc report) {
                return procs.validate(validator.get(), doc->value.get(), typeName.get(), report);
            });
            PrintVerdict(DisplayName(file), v, options, {});
        }
        status = std::max(status, StatusOf(v));
    }
    return status;
}

}  // namespace pos
