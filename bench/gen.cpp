// qelbench-gen: writes the benchmark catalogue in its three forms, holding
// the same data: catalog.pos (text notation), catalog.json, and
// catalog.typea (the notation read by the library and serialized by it).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "catalog.h"
#include "library.h"

namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

int Usage() {
    std::cerr << "usage: qelbench-gen [--seed N] [--records N] --out DIR\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t seed = 42;
    size_t records = 12500;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return Usage();
        if (a == "--seed")
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--records")
            records = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--out")
            dir = argv[++i];
        else
            return Usage();
    }
    if (dir.empty()) return Usage();
    try {
        const qelbench::Catalog catalog = qelbench::Generate(seed, records);
        const std::string notation = qelbench::WriteNotation(catalog);
        const std::string json = qelbench::WriteJson(catalog);
        qelbench::Library lib;
        const qelhost::pos::Ref value = lib.Parse(notation);
        const std::string typea = lib.Serialize(value);
        WriteFile(dir + "/catalog.pos", notation);
        WriteFile(dir + "/catalog.json", json);
        WriteFile(dir + "/catalog.typea", typea);
        std::printf("seed %llu, %zu records, %llu values: catalog.pos %zu bytes, catalog.json %zu bytes, "
                    "catalog.typea %zu bytes\n",
                    static_cast<unsigned long long>(seed), records,
                    static_cast<unsigned long long>(qelbench::CountValues(catalog)), notation.size(), json.size(),
                    typea.size());
    } catch (const std::exception& e) {
        std::cerr << "qelbench-gen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
