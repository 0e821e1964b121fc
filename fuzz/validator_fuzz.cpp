// Hostile schemas and values: the input is a schema text, a NUL byte, and
// a value text; the value is validated against each of the schema's types,
// and the schema itself against the meta-schema. Each validation is made
// twice: as it stands, and with a check procedure that accepts everything
// registered for every type, which changes no verdict but keeps the library
// to its published procedures; both must say exactly the same.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_host.h"

namespace {

void IgnoreLine(const char*) {}

std::vector<std::string> gLines;
void CollectLine(const char* line) { gLines.emplace_back(line); }

int32_t AcceptAll(QELContainerHandle, QELStringAtom, QELSharedBuffHandle, void*) { return 1; }

struct Outcome {
    int32_t result = 0;
    std::vector<std::string> lines;
    std::vector<std::string> reports;
    bool operator==(const Outcome&) const = default;
};

void Print(const char* title, const Outcome& o) {
    std::fprintf(stderr, "%s: result %d\n", title, o.result);
    for (const std::string& line : o.lines) std::fprintf(stderr, "  line: %s\n", line.c_str());
    for (const std::string& report : o.reports) std::fprintf(stderr, "  report: %s\n", report.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using qelhost::pos::Atom;
    using qelhost::pos::Ref;
    qelfuzz::FuzzHost& f = qelfuzz::Shared();
    static const auto newValidator = f.Get<qelutils::contract::POSStructValidatorInterface::NewPOSStructValidator>();
    static const auto validateSchema = f.Get<qelutils::contract::POSStructValidatorInterface::ValidateSchema>();
    static const auto registerCheck = f.Get<qelutils::contract::POSStructValidatorInterface::RegisterCallbackProc>();
    static const auto validate =
        f.Get<qelutils::contract::POSValidatorInterface::Validate>();
    {
        const std::string input(reinterpret_cast<const char*>(data), size);
        const size_t split = input.find('\0');
        const std::string schemaText = input.substr(0, split);
        const std::string valueText = split == std::string::npos ? "" : input.substr(split + 1);
        const Ref schema = f.pos().FromText(schemaText.c_str());
        const Ref value = f.pos().FromText(valueText.c_str());
        if (schema) {
            const int32_t valid = validateSchema(schema.get(), &IgnoreLine);
            if (valid != 0 && valid != 1) std::abort();
            const Ref validator = Ref::Take(newValidator(schema.get()));
            const Ref guarded = Ref::Take(newValidator(schema.get()));
            if (!validator || !guarded) std::abort();
            if (value && f.pos().IsDict(schema)) {
                const std::vector<std::string> types = f.pos().Keys(schema);
                for (const std::string& type : types) {
                    const Atom name(type);
                    registerCheck(guarded.get(), name.get(), &AcceptAll, nullptr);
                }
                f.host().ClearReports();
                const auto run = [&](const Ref& on, const Atom& name) {
                    Outcome o;
                    gLines.clear();
                    o.result = validate(on.get(), value.get(), name.get(), &CollectLine);
                    o.lines.swap(gLines);
                    o.reports = f.host().Reports();
                    f.host().ClearReports();
                    if (o.result != 0 && o.result != 1) std::abort();
                    return o;
                };
                for (const std::string& type : types) {
                    const Atom name(type);
                    const Outcome plain = run(validator, name);
                    const Outcome checked = run(guarded, name);
                    if (!(plain == checked)) {
                        std::fprintf(stderr, "type %s: the two validators disagree\n", type.c_str());
                        Print("as it stands", plain);
                        Print("with checks", checked);
                        std::abort();
                    }
                }
            }
        }
    }
    f.CheckBooks();
    return 0;
}
