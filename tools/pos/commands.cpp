#include "commands.h"

#include <CLI/CLI.hpp>
#include <array>

#include "document.h"
#include "files.h"
#include "report.h"

namespace pos {

namespace {

const std::vector<std::string> kFormats = {"text", "typea", "json"};
const std::vector<std::string> kInputFormats = {"auto", "text", "typea", "json"};

void Reads(CLI::App& app, Options& o) {
    app.add_option("--from", o.from, "Read input as this format (default: by its content, .json by name)")
        ->check(CLI::IsMember(kInputFormats))
        ->type_name("FORMAT");
    app.add_option("--bool", o.bools, "JSON true/false: refuse (default), number (1/0) or string")
        ->check(CLI::IsMember({"refuse", "number", "string"}))
        ->type_name("HOW");
    app.add_option("--null", o.nulls, "JSON null: refuse (default) or drop the member")
        ->check(CLI::IsMember({"refuse", "drop"}))
        ->type_name("HOW");
}

void Files(CLI::App& app, Options& o, const char* name) {
    app.add_option("FILE", o.files, name)->required()->type_name(name);
}
void OneFile(CLI::App& app, Options& o) { app.add_option("FILE", o.files, "The document (- for standard input)")->required()->expected(1); }
void Address(CLI::App& app, Options& o) {
    app.add_option("ADDRESS", o.address, "Where in the document (. for all of it; a.b[2].k; [\"a.b\"])")->required();
}
void InPlace(CLI::App& app, Options& o) {
    app.add_flag("-w,--write", o.inPlace, "Replace FILE (safely: a new file renamed over it)");
}
void ReportFormat(CLI::App& app, Options& o) {
    app.add_option("--format", o.report, "Print results as text (default) or as JSON lines")
        ->check(CLI::IsMember({"text", "json"}))
        ->type_name("text|json");
}

void DefineCheck(CLI::App& app, Options& o) {
    app.add_flag("--strict", o.strict, "Warn about what reads otherwise than it looks; exit 1 on warnings");
    Reads(app, o);
    Files(app, o, "FILE");
}
void DefineFmt(CLI::App& app, Options& o) {
    InPlace(app, o);
    app.add_option("--to", o.to, "Write this format (default: the input's; TypeA input needs it with -w)")
        ->check(CLI::IsMember(kFormats))
        ->type_name("FORMAT");
    Reads(app, o);
    OneFile(app, o);
}
void DefineConvert(CLI::App& app, Options& o) {
    app.add_option("--to", o.to, "The format to write")->check(CLI::IsMember(kFormats))->required()->type_name("FORMAT");
    app.add_option("-o,--output", o.output, "Write here (safely) instead of standard output")->type_name("OUT");
    Reads(app, o);
    OneFile(app, o);
}
void DefineGet(CLI::App& app, Options& o) {
    app.add_flag("-r,--raw", o.raw, "Strings as their bytes, numbers as shortest digits, no notation");
    app.add_option("--to", o.to, "Write the value as text (default) or json")
        ->check(CLI::IsMember({"text", "json"}))
        ->type_name("FORMAT");
    Reads(app, o);
    Address(app, o);
    OneFile(app, o);
}
void DefineKeysOrLen(CLI::App& app, Options& o) {
    Reads(app, o);
    Address(app, o);
    OneFile(app, o);
}
void DefineSet(CLI::App& app, Options& o) {
    InPlace(app, o);
    app.add_flag("-s,--string", o.literal, "VALUE is a string as it stands, not notation");
    Reads(app, o);
    Address(app, o);
    app.add_option("VALUE", o.value, "The new value, in text notation")->required();
    OneFile(app, o);
}
void DefineDel(CLI::App& app, Options& o) {
    InPlace(app, o);
    Reads(app, o);
    Address(app, o);
    OneFile(app, o);
}
void DefineValidate(CLI::App& app, Options& o) {
    app.add_option("--schema", o.schema, "The schema")->required()->type_name("SCHEMA");
    app.add_option("--type", o.type, "The type of the schema the files must satisfy")->required()->type_name("NAME");
    app.add_flag("--no-schema-check", o.skipSchemaCheck, "Use the schema without checking it first");
    ReportFormat(app, o);
    Reads(app, o);
    Files(app, o, "FILE");
}
void DefineSchemaCheck(CLI::App& app, Options& o) {
    ReportFormat(app, o);
    Reads(app, o);
    Files(app, o, "SCHEMA");
}

const std::array kTable = {
    Command{"check", "pos check [--strict] FILE...", "parse documents; --strict also warns",
            "Reads each file (text notation, TypeA or JSON) and prints FILE: ok. A syntax error prints\n"
            "FILE:LINE:COLUMN: message, the line and a caret. --strict also warns about what the notation\n"
            "reads otherwise than it looks: repeated keys, numbers that stop early (1.2.3, 1e5, a lone -),\n"
            "integers a double cannot hold, words split by - or +, a byte-order mark.\n"
            "Exit 0 when all are read, 1 when --strict found warnings, 2 on errors.\n"
            "Example: pos check --strict settings.pos",
            DefineCheck, Check},
    Command{"fmt", "pos fmt [-w] [--to FORMAT] FILE", "canonical, indented form of a document",
            "Prints the document in canonical form (keys in dictionary order, one entry a line), in its\n"
            "own format (text notation or JSON) or the one --to names, and warns as check --strict does.\n"
            "-w replaces FILE safely; a TypeA file is rewritten as text only with --to text.\n"
            "Example: pos fmt -w settings.pos",
            DefineFmt, Fmt},
    Command{"convert", "pos convert --to text|typea|json [-o OUT] FILE", "between text notation, TypeA and JSON",
            "Converts a document between the text notation, TypeA and JSON (the mapping is in\n"
            "docs/json.md). JSON true, false and null have no counterpart: they are refused with their\n"
            "place unless --bool or --null says how to map them. Writes to OUT safely, or to standard output.\n"
            "Example: pos convert --to json catalog.pos",
            DefineConvert, Convert},
    Command{"get", "pos get [-r] [--to text|json] ADDRESS FILE", "the value at an address",
            "Prints the value at ADDRESS: . is the whole document, a.b[2].k a path, [-1] the last\n"
            "member, [\"a.b\"] or a\\.b a key holding . or [. -r prints strings as their bytes\n"
            "(Unicode strings as UTF-8) and numbers as their shortest digits. Exit 1 when there is none.\n"
            "Example: pos get -r 'items[0].name' catalog.pos",
            DefineGet, Get},
    Command{"keys", "pos keys ADDRESS FILE", "the keys of a dictionary, one a line",
            "Prints the keys of the dictionary at ADDRESS in dictionary order, one a line, as their bytes.\n"
            "Exit 1 when there is no value there or it is not a dictionary.\n"
            "Example: pos keys . catalog.pos",
            DefineKeysOrLen, Keys},
    Command{"len", "pos len ADDRESS FILE", "members of an array or dictionary, length of a string",
            "Prints the number of members of an array or dictionary, the bytes of a string or binary data,\n"
            "or the code units of a Unicode string. Exit 1 when there is no value or it is a number.\n"
            "Example: pos len items catalog.pos",
            DefineKeysOrLen, Len},
    Command{"set", "pos set [-w] [-s] ADDRESS VALUE FILE", "put a value at an address",
            "Puts VALUE (text notation; with -s a string as it stands) at ADDRESS: a key is added or\n"
            "replaced, an array member replaced, and a subscript equal to the count appends. Prints the\n"
            "document, or with -w replaces FILE safely. Exit 1 when the place cannot be reached.\n"
            "Example: pos set -w 'items[0].price' 12.5 catalog.pos",
            DefineSet, Set},
    Command{"del", "pos del [-w] ADDRESS FILE", "remove the value at an address",
            "Removes the key or array member at ADDRESS. Prints the document, or with -w replaces FILE\n"
            "safely. Exit 1 when there is no value there.\n"
            "Example: pos del -w 'items[1]' catalog.pos",
            DefineDel, Del},
    Command{"validate", "pos validate --schema SCHEMA --type NAME FILE...", "validate documents against a schema type",
            "Checks the schema first (exit 2 when it is not a valid schema, when NAME is not one of its\n"
            "types or built in, or when it cannot be read), then validates each file against NAME and\n"
            "prints FILE: valid or FILE: invalid with the explanation lines. --format json prints one JSON\n"
            "object a file. Exit 0 when all are valid, 1 when one is not, 2 on errors.\n"
            "Example: pos validate --schema catalog.schema --type Catalog catalog.pos",
            DefineValidate, Validate},
    Command{"schema-check", "pos schema-check SCHEMA...", "check schemas against the schema language",
            "Checks each schema against the library's meta-schema. The explanation shows the decisive\n"
            "lines and folds the alternatives that do not apply; -v shows every line. --format json prints\n"
            "one JSON object a schema. Exit 0 when all are valid, 1 when one is not, 2 on errors.\n"
            "Example: pos schema-check catalog.schema",
            DefineSchemaCheck, SchemaCheck},
};

}  // namespace

std::span<const Command> Commands() { return kTable; }

const Command* FindCommand(const std::string& name) {
    for (const Command& c : kTable)
        if (name == c.name) return &c;
    return nullptr;
}

LoadOptions Reading(const Options& options, bool lint) {
    LoadOptions load;
    load.from = FormatNamed(options.from).value_or(Format::Auto);
    load.lint = lint;
    load.json.bools = options.bools == "number"   ? JsonOptions::Bools::Numbers
                      : options.bools == "string" ? JsonOptions::Bools::Strings
                                                  : JsonOptions::Bools::Refuse;
    load.json.nulls = options.nulls == "drop" ? JsonOptions::Nulls::Drop : JsonOptions::Nulls::Refuse;
    return load;
}

bool WriteResult(const std::string& path, const std::string& bytes) {
    std::string why;
    if (WriteOutput(path, bytes, &why)) return true;
    if (IsStdio(path)) {
        Error("cannot write to standard output: " + why);
        MarkStdoutFailureTold();
    } else {
        Error("cannot write " + path + ": " + why + " (" + path + " is unchanged)");
    }
    return false;
}

}  // namespace pos
