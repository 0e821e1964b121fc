// A seeded generator of one product catalogue, written as text notation and
// as JSON holding the same data (the TypeA form comes from the library).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qelbench {

struct Part final {
    std::string sku;
    int qty = 0;
};

// Numbers are kept as the text both forms write, so that both read back to
// the same doubles.
struct Record final {
    int64_t id = 0;
    std::string name;
    std::string price;
    std::vector<std::string> tags;
    std::string w, h, d;
    int active = 0;
    std::string notes;
    std::vector<Part> parts;
    std::optional<int> rating;
    std::optional<std::string> category;
    std::optional<int> stock;
    std::optional<std::string> discount;
};

struct Catalog final {
    std::string title;
    std::vector<Record> items;
};

// The same seed and count give the same catalogue on every platform: the
// generator uses its own random numbers, not the standard distributions.
Catalog Generate(uint64_t seed, size_t records);

// Every value of the document (dictionaries, arrays and scalars; keys are
// not values).
uint64_t CountValues(const Catalog& catalog);

// One entry a line, indented with tabs, in both forms.
std::string WriteNotation(const Catalog& catalog);
std::string WriteJson(const Catalog& catalog);

}  // namespace qelbench
