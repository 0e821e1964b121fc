// Hostile schemas and values: the input is a schema text, a NUL byte, and
// a value text; the value is validated against each of the schema's types,
// and the schema itself against the meta-schema.
#include <cstdint>
#include <string>

#include "fuzz_host.h"

namespace {
void IgnoreLine(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using qelhost::pos::Atom;
    using qelhost::pos::Ref;
    qelfuzz::FuzzHost& f = qelfuzz::Shared();
    static const auto newValidator = f.Get<qelutils::contract::POSStructValidatorInterface::NewPOSStructValidator>();
    static const auto validateSchema = f.Get<qelutils::contract::POSStructValidatorInterface::ValidateSchema>();
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
            if (!validator) std::abort();
            if (value && f.pos().IsDict(schema)) {
                for (const std::string& type : f.pos().Keys(schema)) {
                    const Atom name(type);
                    const int32_t result = validate(validator.get(), value.get(), name.get(), &IgnoreLine);
                    if (result != 0 && result != 1) std::abort();
                }
            }
        }
    }
    f.CheckBooks();
    return 0;
}
