// qelbench: QELUtils through the reference host, exactly as a host drives it,
// beside RapidJSON, nlohmann::json and valijson on the JSON form of the same
// catalogue. Counters: bytes_per_second (the form read or written) and
// items_per_second (values, lookups or operations).
//
// Own flags, before Google Benchmark's: --data=DIR (read catalog.pos,
// catalog.json and catalog.typea from DIR), else --seed=N --records=N
// (generate in memory); --schemas=DIR (catalog.schema, catalog.schema.json);
// --iterations=N (every timed row exactly N iterations, for profiles);
// --measure-memory=WHAT (with --data: build one document in this fresh
// process and print what holding it costs; the memory rows run this).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/pointer.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/schema.h>
#include <rapidjson/stringbuffer.h>
#include <sstream>
#include <string>
#include <valijson/adapters/rapidjson_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validator.hpp>
#include <vector>

#include "catalog.h"
#include "library.h"
#include "memory.h"

#ifndef QELBENCH_SOURCE_DIR
#define QELBENCH_SOURCE_DIR "."
#endif

namespace {

namespace contract = qelutils::contract;

using qelhost::pos::Ref;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Report procedures are plain C procedures: lines land here.
std::vector<std::string>* gReportLines = nullptr;
void CollectLine(const char* line) {
    if (gReportLines != nullptr) gReportLines->emplace_back(line != nullptr ? line : "");
}
uint64_t gReportCount = 0;
void CountLine(const char*) { ++gReportCount; }

// ------------------------------------------------------------------ the world

struct Options final {
    std::string dataDir;
    std::string schemaDir = QELBENCH_SOURCE_DIR;
    uint64_t seed = 42;
    size_t records = 12500;
};

// Everything the benchmarks share, made once before they run.
struct World final {
    explicit World(const Options& options);

    qelbench::Library lib;
    const qelhost::pos::Client& c = lib.pos();
    std::string notation, json, typea;
    uint64_t values = 0;

    Ref doc, docCopy, items;
    // The validator, or why there is none.
    POSValidatorValidateProc validate = nullptr;
    Ref validator;
    std::unique_ptr<qelhost::pos::Atom> catalogType;
    std::string noValidator;

    rapidjson::Document rj, rjCopy;
    nlohmann::json nj, njCopy;
    rapidjson::Document rjSchemaSource;
    std::unique_ptr<rapidjson::SchemaDocument> rjSchema;
    valijson::Schema vjSchema;

    std::vector<std::string> addresses;  // DeepGet addresses
    std::vector<std::string> pointers;   // the same as JSON pointers
};

World* gWorld = nullptr;

uint64_t Compare(const qelhost::pos::Client& c, const Ref& ours, const rapidjson::Value& theirs,
                 const std::string& path) {
    auto differ = [&](const std::string& why) { throw std::runtime_error("the forms differ at " + path + ": " + why); };
    if (c.IsDict(ours)) {
        if (!theirs.IsObject()) differ("dictionary against non-object");
        const std::vector<std::string> keys = c.Keys(ours);
        if (keys.size() != theirs.MemberCount()) differ("member counts");
        uint64_t n = 1;
        for (const std::string& key : keys) {
            const auto member = theirs.FindMember(key.c_str());
            if (member == theirs.MemberEnd()) differ("no member " + key);
            n += Compare(c, c.Get(ours, key.c_str()), member->value, path + "." + key);
        }
        return n;
    }
    if (c.IsArray(ours)) {
        if (!theirs.IsArray() || c.Count(ours) != theirs.Size()) differ("arrays");
        uint64_t n = 1;
        for (uint32_t i = 0; i < c.Count(ours); ++i)
            n += Compare(c, c.GetAt(ours, i), theirs[i], path + "[" + std::to_string(i) + "]");
        return n;
    }
    if (c.IsString(ours)) {
        if (!theirs.IsString() || c.GetString(ours) != std::string(theirs.GetString(), theirs.GetStringLength()))
            differ("strings");
        return 1;
    }
    if (c.IsNumber(ours)) {
        if (!theirs.IsNumber() || c.GetNumber(ours) != theirs.GetDouble()) differ("numbers");
        return 1;
    }
    differ("a value of another kind");
    return 0;
}

World::World(const Options& options) {
    if (!options.dataDir.empty()) {
        notation = ReadFile(options.dataDir + "/catalog.pos");
        json = ReadFile(options.dataDir + "/catalog.json");
        typea = ReadFile(options.dataDir + "/catalog.typea");
    } else {
        const qelbench::Catalog catalog = qelbench::Generate(options.seed, options.records);
        notation = qelbench::WriteNotation(catalog);
        json = qelbench::WriteJson(catalog);
    }
    doc = lib.Parse(notation);
    if (typea.empty()) typea = lib.Serialize(doc);
    docCopy = c.Clone(doc);
    items = c.Get(doc, "items");
    if (!items || !c.IsArray(items)) throw std::runtime_error("the document has no items array");

    rj.Parse<rapidjson::kParseFullPrecisionFlag>(json.c_str(), json.size());
    if (rj.HasParseError())
        throw std::runtime_error(std::string("RapidJSON: ") + rapidjson::GetParseError_En(rj.GetParseError()));
    rjCopy.CopyFrom(rj, rjCopy.GetAllocator());
    nj = nlohmann::json::parse(json);
    njCopy = nj;

    // The three forms hold the same data, value for value.
    values = Compare(c, doc, rj, "");
    {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        rj.Accept(writer);
        if (nj != nlohmann::json::parse(buffer.GetString()))
            throw std::runtime_error("nlohmann::json reads another document than RapidJSON");
    }
    if (!c.IsEqual(lib.Deserialize(typea), doc)) throw std::runtime_error("the TypeA form holds other data");
    if (!c.IsEqual(doc, docCopy)) throw std::runtime_error("a clone is not equal to its original");

    // Addresses: the top, the first, middle and last records, and the last
    // record with parts.
    const uint32_t n = c.Count(items);
    uint32_t withParts = n - 1;
    while (withParts > 0 && !c.DeepGet(doc, ("items[" + std::to_string(withParts) + "].parts[0]").c_str()))
        --withParts;
    addresses = {"title", "items[0].name", "items[" + std::to_string(n / 2) + "].dims.w",
                 "items[" + std::to_string(n - 1) + "].price",
                 "items[" + std::to_string(withParts) + "].parts[0].sku"};
    pointers = {"/title", "/items/0/name", "/items/" + std::to_string(n / 2) + "/dims/w",
                "/items/" + std::to_string(n - 1) + "/price", "/items/" + std::to_string(withParts) + "/parts/0/sku"};
    for (size_t i = 0; i < addresses.size(); ++i) {
        if (!c.DeepGet(doc, addresses[i].c_str())) throw std::runtime_error("DeepGet finds nothing at " + addresses[i]);
        if (rapidjson::Pointer(pointers[i].c_str()).Get(rj) == nullptr)
            throw std::runtime_error("no JSON value at " + pointers[i]);
    }

    // Schemas.
    const std::string schemaText = ReadFile(options.schemaDir + "/catalog.schema");
    const std::string jsonSchemaText = ReadFile(options.schemaDir + "/catalog.schema.json");
    rjSchemaSource.Parse(jsonSchemaText.c_str());
    if (rjSchemaSource.HasParseError()) throw std::runtime_error("catalog.schema.json does not parse");
    rjSchema = std::make_unique<rapidjson::SchemaDocument>(rjSchemaSource);
    {
        rapidjson::SchemaValidator check(*rjSchema);
        if (!rj.Accept(check)) throw std::runtime_error("RapidJSON finds the catalogue invalid");
    }
    valijson::SchemaParser parser(valijson::SchemaParser::kDraft4);
    valijson::adapters::RapidJsonAdapter schemaAdapter(rjSchemaSource);
    parser.populateSchema(schemaAdapter, vjSchema);
    {
        valijson::Validator check;
        valijson::adapters::RapidJsonAdapter target(rj);
        if (!check.validate(vjSchema, target, nullptr)) throw std::runtime_error("valijson finds the catalogue invalid");
    }

    // The library's validator may not be published yet: its rows then skip.
    auto newValidator = lib.Find<contract::POSStructValidatorInterface::NewPOSStructValidator>();
    auto validateProc =
        lib.Find<contract::POSValidatorInterface::Validate>();
    if (newValidator == nullptr || validateProc == nullptr) {
        noValidator = "the library does not publish POSStructValidatorInterface.NewPOSStructValidator and "
                      "POSValidatorInterface.Validate yet";
        return;
    }
    const Ref schema = lib.Parse(schemaText);
    validator = Ref::Take(newValidator(schema.get()));
    if (!validator) {
        noValidator = "NewPOSStructValidator refused catalog.schema: " + lib.Reports();
        return;
    }
    catalogType = std::make_unique<qelhost::pos::Atom>("Catalog");
    std::vector<std::string> lines;
    gReportLines = &lines;
    const int32_t valid = validateProc(validator.get(), doc.get(), catalogType->get(), &CollectLine);
    gReportLines = nullptr;
    if (valid != 1) {
        noValidator = "Validate finds the catalogue invalid: " + (lines.empty() ? lib.Reports() : lines.front());
        return;
    }
    validate = validateProc;
}

// Bytes of the form read or written (none for operations on objects alone),
// and values.
void Rates(benchmark::State& state, uint64_t bytes, uint64_t items) {
    if (bytes != 0) state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
    state.SetItemsProcessed(static_cast<int64_t>(items * state.iterations()));
}

// Operations on objects held in memory, several to an iteration where the
// loop does several (five DeepGet addresses; a Put and a Remove): the table
// gives the time of one operation.
void Ops(benchmark::State& state, uint64_t perIteration) {
    state.SetItemsProcessed(static_cast<int64_t>(perIteration * state.iterations()));
    state.counters["ops_per_iteration"] = static_cast<double>(perIteration);
}

// ------------------------------------------------------------------ whole document: read

void BM_Qel_CreateFromText(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state) {
        Ref value = Ref::Take(w.c.Proc<contract::POSObjectStatics::CreateFromText>()(w.notation.c_str(), nullptr));
        if (!value) state.SkipWithError("CreateFromText failed");
        benchmark::DoNotOptimize(value.get());
    }
    Rates(state, w.notation.size(), w.values);
}

void BM_Qel_Deserialize(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state) {
        // The stream's bytes are copied in, and given back, outside the
        // timing; the document is released inside it, as the peers' are.
        state.PauseTiming();
        Ref stream = Ref::Take(w.lib.host().NewMemoryStream(w.typea));
        state.ResumeTiming();
        Ref value = Ref::Take(w.lib.deserialize(w.lib.streamer(), stream.get()));
        if (!value) state.SkipWithError("Deserialize failed");
        benchmark::DoNotOptimize(value.get());
        value.reset();
        state.PauseTiming();
        stream.reset();
        state.ResumeTiming();
    }
    Rates(state, w.typea.size(), w.values);
}

void BM_RapidJSON_Parse(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse<rapidjson::kParseFullPrecisionFlag>(w.json.c_str(), w.json.size());
        if (d.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(d.IsObject());
    }
    Rates(state, w.json.size(), w.values);
}

void BM_Nlohmann_Parse(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state) {
        nlohmann::json d = nlohmann::json::parse(w.json);
        benchmark::DoNotOptimize(d.is_object());
    }
    Rates(state, w.json.size(), w.values);
}

// ------------------------------------------------------------------ whole document: write

void BM_Qel_Serialize(benchmark::State& state) {
    World& w = *gWorld;
    uint64_t bytes = 0;
    for (auto _ : state) {
        const Ref stream = Ref::Take(w.lib.host().NewMemoryStream());
        if (w.lib.serialize(w.lib.streamer(), stream.get(), w.doc.get(), nullptr) != 1)
            state.SkipWithError("Serialize failed");
        state.PauseTiming();  // reading the size back is no part of serializing
        bytes = w.lib.host().MemoryStreamPosition(stream.get());
        state.ResumeTiming();
    }
    Rates(state, bytes, w.values);
}

void BM_RapidJSON_PrettyWriter(benchmark::State& state) {
    World& w = *gWorld;
    uint64_t bytes = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
        writer.SetIndent('\t', 1);
        w.rj.Accept(writer);
        bytes = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    Rates(state, bytes, w.values);
}

void BM_Nlohmann_Dump(benchmark::State& state) {
    World& w = *gWorld;
    uint64_t bytes = 0;
    for (auto _ : state) {
        const std::string text = w.nj.dump(1, '\t');
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    Rates(state, bytes, w.values);
}

// ------------------------------------------------------------------ validation

void BM_Qel_Validate(benchmark::State& state) {
    World& w = *gWorld;
    if (w.validate == nullptr) {
        state.SkipWithError(w.noValidator.c_str());
        return;
    }
    for (auto _ : state) {
        gReportCount = 0;
        if (w.validate(w.validator.get(), w.doc.get(), w.catalogType->get(), &CountLine) != 1)
            state.SkipWithError("Validate failed");
    }
    Rates(state, 0, w.values);  // a walk over a document held in memory: no bytes read
}

void BM_RapidJSON_SchemaValidator(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state) {
        rapidjson::SchemaValidator validator(*w.rjSchema);
        if (!w.rj.Accept(validator)) state.SkipWithError("invalid");
    }
    Rates(state, 0, w.values);
}

void BM_Valijson_Validate(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state) {
        valijson::Validator validator;
        valijson::adapters::RapidJsonAdapter target(w.rj);
        if (!validator.validate(w.vjSchema, target, nullptr)) state.SkipWithError("invalid");
    }
    Rates(state, 0, w.values);
}

// ------------------------------------------------------------------ lookups

void BM_Qel_DeepGet(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state)
        for (const std::string& address : w.addresses) {
            const Ref found = w.c.DeepGet(w.doc, address.c_str());
            benchmark::DoNotOptimize(found.get());
        }
    Ops(state, w.addresses.size());
}

void BM_RapidJSON_Pointer(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state)
        for (const std::string& pointer : w.pointers) {
            const rapidjson::Value* found = rapidjson::Pointer(pointer.c_str()).Get(w.rj);
            benchmark::DoNotOptimize(found);
        }
    Ops(state, w.pointers.size());
}

void BM_Nlohmann_JsonPointer(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state)
        for (const std::string& pointer : w.pointers) {
            const nlohmann::json& found = w.nj.at(nlohmann::json::json_pointer(pointer));
            benchmark::DoNotOptimize(&found);
        }
    Ops(state, w.pointers.size());
}

// ------------------------------------------------------------------ dictionary micro-operations
// On a copy of the first record (8 to 12 keys).

const char* const kRecordKeys[] = {"id", "name", "price", "tags", "dims", "active", "notes", "parts"};
constexpr size_t kRecordKeyCount = sizeof kRecordKeys / sizeof kRecordKeys[0];
const char* const kExtraKeys[] = {"extra0", "extra1", "extra2", "extra3", "extra4", "extra5", "extra6", "extra7"};
constexpr size_t kExtraKeyCount = sizeof kExtraKeys / sizeof kExtraKeys[0];

// A returned member carries no reference (a caller that keeps it takes one,
// as Ref does), so these rows, like the peers' finds, read the handle and keep
// nothing; the procedures are resolved once, as a C host holds them.
void BM_Qel_DictGet(benchmark::State& state) {
    World& w = *gWorld;
    const Ref record = w.c.Clone(w.c.GetAt(w.items, 0));
    const auto get = w.c.Proc<contract::POSDictInterface::Get>();
    const auto newAtom = w.lib.Find<contract::QELStringInterface::NewStringAtom>();
    const auto deleteAtom = w.lib.Find<contract::QELStringInterface::DeleteStringAtom>();
    size_t i = 0;
    for (auto _ : state) {
        const QELStringAtom key = newAtom(kRecordKeys[i++ % kRecordKeyCount]);
        benchmark::DoNotOptimize(get(record.get(), key));
        deleteAtom(key);
    }
    Ops(state, 1);
}

// The same lookups with key atoms the caller made once and holds, as a host
// that looks the same keys up again and again would.
void BM_Qel_DictGetHeldKeys(benchmark::State& state) {
    World& w = *gWorld;
    const Ref record = w.c.Clone(w.c.GetAt(w.items, 0));
    std::vector<std::unique_ptr<qelhost::pos::Atom>> keys;
    for (const char* key : kRecordKeys) keys.push_back(std::make_unique<qelhost::pos::Atom>(key));
    const auto get = w.c.Proc<contract::POSDictInterface::Get>();
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(get(record.get(), keys[i++ % kRecordKeyCount]->get()));
    Ops(state, 1);
}

void BM_Qel_DictPutRemove(benchmark::State& state) {
    World& w = *gWorld;
    const Ref record = w.c.Clone(w.c.GetAt(w.items, 0));
    const Ref value = w.c.Number(1);
    size_t i = 0;
    for (auto _ : state) {
        const char* key = kExtraKeys[i++ % kExtraKeyCount];
        w.c.Put(record, key, value);
        w.c.Remove(record, key);
    }
    Ops(state, 2);
}

void BM_RapidJSON_DictGet(benchmark::State& state) {
    World& w = *gWorld;
    rapidjson::Document record;
    record.CopyFrom(w.rj["items"][0], record.GetAllocator());
    size_t i = 0;
    for (auto _ : state) {
        const auto found = record.FindMember(kRecordKeys[i++ % kRecordKeyCount]);
        benchmark::DoNotOptimize(found);
    }
    Ops(state, 1);
}

void BM_RapidJSON_DictPutRemove(benchmark::State& state) {
    World& w = *gWorld;
    rapidjson::Document record;
    record.CopyFrom(w.rj["items"][0], record.GetAllocator());
    size_t i = 0;
    for (auto _ : state) {
        const char* key = kExtraKeys[i++ % kExtraKeyCount];
        record.AddMember(rapidjson::StringRef(key), rapidjson::Value(1), record.GetAllocator());
        record.RemoveMember(key);
    }
    Ops(state, 2);
}

void BM_Nlohmann_DictGet(benchmark::State& state) {
    World& w = *gWorld;
    const nlohmann::json record = w.nj["items"][0];
    size_t i = 0;
    for (auto _ : state) {
        const auto found = record.find(kRecordKeys[i++ % kRecordKeyCount]);
        benchmark::DoNotOptimize(found);
    }
    Ops(state, 1);
}

void BM_Nlohmann_DictPutRemove(benchmark::State& state) {
    World& w = *gWorld;
    nlohmann::json record = w.nj["items"][0];
    size_t i = 0;
    for (auto _ : state) {
        const char* key = kExtraKeys[i++ % kExtraKeyCount];
        record[key] = 1;
        record.erase(key);
    }
    Ops(state, 2);
}

// ------------------------------------------------------------------ array micro-operations

constexpr size_t kAppendsPerArray = 4096;  // then a fresh array, outside the timing

void BM_Qel_ArrayAppend(benchmark::State& state) {
    World& w = *gWorld;
    const Ref value = w.c.Number(1);
    Ref array = w.c.Array();
    size_t n = 0;
    for (auto _ : state) {
        w.c.Append(array, value);
        if (++n == kAppendsPerArray) {
            state.PauseTiming();
            array = w.c.Array();
            n = 0;
            state.ResumeTiming();
        }
    }
    Ops(state, 1);
}

void BM_RapidJSON_ArrayAppend(benchmark::State& state) {
    rapidjson::Document array(rapidjson::kArrayType);
    size_t n = 0;
    for (auto _ : state) {
        array.PushBack(rapidjson::Value(1), array.GetAllocator());
        if (++n == kAppendsPerArray) {
            state.PauseTiming();
            // The pool never reuses what it handed out: without Clear every
            // round would take fresh pages (page faults in the timing, and
            // memory growing with the iteration count).
            array.SetArray();
            array.GetAllocator().Clear();
            n = 0;
            state.ResumeTiming();
        }
    }
    Ops(state, 1);
}

void BM_Nlohmann_ArrayAppend(benchmark::State& state) {
    nlohmann::json array = nlohmann::json::array();
    size_t n = 0;
    for (auto _ : state) {
        array.push_back(1);
        if (++n == kAppendsPerArray) {
            state.PauseTiming();
            array = nlohmann::json::array();
            n = 0;
            state.ResumeTiming();
        }
    }
    Ops(state, 1);
}

// A stride through the items, so that the lookups are not all one cache line.
constexpr uint32_t kStride = 7919;

// The member's handle is what the library reads from the slot, as the peers
// read their element in place; nothing is kept, so no reference is taken.
void BM_Qel_ArrayGetAt(benchmark::State& state) {
    World& w = *gWorld;
    const uint32_t n = w.c.Count(w.items);
    const auto getAt = w.c.Proc<contract::POSArrayInterface::GetAt>();
    uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(getAt(w.items.get(), i));
        i = (i + kStride) % n;
    }
    Ops(state, 1);
}

void BM_RapidJSON_ArrayGetAt(benchmark::State& state) {
    World& w = *gWorld;
    const rapidjson::Value& items = w.rj["items"];
    const uint32_t n = items.Size();
    uint32_t i = 0;
    for (auto _ : state) {
        // The element itself is read, as the library's hand-out touches it.
        benchmark::DoNotOptimize(items[i].GetType());
        i = (i + kStride) % n;
    }
    Ops(state, 1);
}

void BM_Nlohmann_ArrayGetAt(benchmark::State& state) {
    World& w = *gWorld;
    const nlohmann::json& items = w.nj["items"];
    const uint32_t n = static_cast<uint32_t>(items.size());
    uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(items[i].type());
        i = (i + kStride) % n;
    }
    Ops(state, 1);
}

// ------------------------------------------------------------------ whole document: copy, compare

void BM_Qel_Clone(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state) {
        const Ref copy = w.c.Clone(w.doc);
        benchmark::DoNotOptimize(copy.get());
    }
    Rates(state, 0, w.values);
}

void BM_RapidJSON_Clone(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state) {
        rapidjson::Document copy;
        copy.CopyFrom(w.rj, copy.GetAllocator());
        benchmark::DoNotOptimize(copy.IsObject());
    }
    Rates(state, 0, w.values);
}

void BM_Nlohmann_Clone(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state) {
        const nlohmann::json copy = w.nj;
        benchmark::DoNotOptimize(copy.is_object());
    }
    Rates(state, 0, w.values);
}

void BM_Qel_IsEqual(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state)
        if (!w.c.IsEqual(w.doc, w.docCopy)) state.SkipWithError("not equal");
    Rates(state, 0, w.values);
}

void BM_RapidJSON_IsEqual(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state)
        if (!(w.rj == w.rjCopy)) state.SkipWithError("not equal");
    Rates(state, 0, w.values);
}

void BM_Nlohmann_IsEqual(benchmark::State& state) {
    World& w = *gWorld;
    for (auto _ : state)
        if (!(w.nj == w.njCopy)) state.SkipWithError("not equal");
    Rates(state, 0, w.values);
}

// ------------------------------------------------------------------ memory per value
// Each document is built once in a fresh run of this program (--measure-memory),
// so that the atoms of its keys and strings are made for it and counted, as
// they are not in this process, where the World already holds the catalogue.

std::string gDataArguments;  // how a fresh run finds the same catalogue

void MemoryRow(benchmark::State& state, const char* what) {
    World& w = *gWorld;
    for (auto _ : state) {
        qelbench::Footprint f;
        std::string error;
        if (!qelbench::FootprintOfChild(std::string("--measure-memory=") + what + " " + gDataArguments, f, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        const double values = static_cast<double>(w.values);
        state.counters["held_rss_B_per_value"] = static_cast<double>(f.rssBytes) / values;
        state.counters["held_heap_B_per_value"] = static_cast<double>(f.heapBytes) / values;
        state.counters["peak_rss_B_per_value"] =
            f.peakRssBytes >= 0 ? static_cast<double>(f.peakRssBytes) / values : -1.0;
        state.counters["containers_per_value"] = static_cast<double>(f.books.containers) / values;
        state.counters["atom_refs_per_value"] = static_cast<double>(f.books.atomRefs) / values;
        state.counters["host_blocks_per_value"] = static_cast<double>(f.books.memoryBlocks) / values;
        // What the reference host holds for the document, and of that the
        // atoms (records and table slots): made for it in the fresh run.
        state.counters["host_B_per_value"] = static_cast<double>(f.host.Total()) / values;
        state.counters["host_atom_B_per_value"] =
            static_cast<double>(f.host.atomBytes + f.host.atomTableBytes) / values;
        state.counters["host_container_B_per_value"] = static_cast<double>(f.host.containerBytes) / values;
    }
}

void BM_Qel_Memory_CreateFromText(benchmark::State& state) { MemoryRow(state, "CreateFromText"); }
void BM_Qel_Memory_Deserialize(benchmark::State& state) { MemoryRow(state, "Deserialize"); }
void BM_RapidJSON_Memory_Parse(benchmark::State& state) { MemoryRow(state, "RapidJSON"); }
void BM_Nlohmann_Memory_Parse(benchmark::State& state) { MemoryRow(state, "Nlohmann"); }

// The fresh run's side: the inputs are read and the library initialised
// before the baseline; the document is built and kept while it is measured.
int MeasureMemory(const std::string& what, const Options& options) {
    if (options.dataDir.empty()) {
        std::cerr << "qelbench: --measure-memory needs --data\n";
        return 2;
    }
    qelbench::Footprint f;
    if (what == "CreateFromText" || what == "Deserialize") {
        qelbench::Library lib;
        const bool text = what == "CreateFromText";
        const std::string bytes = ReadFile(options.dataDir + (text ? "/catalog.pos" : "/catalog.typea"));
        const Ref stream = text ? Ref() : Ref::Take(lib.host().NewMemoryStream(bytes));
        const auto create = lib.pos().Proc<contract::POSObjectStatics::CreateFromText>();
        const qelbench::FootprintMeter meter(&lib.host());
        const Ref doc = text ? Ref::Take(create(bytes.c_str(), nullptr))
                             : Ref::Take(lib.deserialize(lib.streamer(), stream.get()));
        if (!doc) throw std::runtime_error(what + " failed: " + lib.Reports());
        f = meter.Finish();
    } else if (what == "RapidJSON") {
        const std::string json = ReadFile(options.dataDir + "/catalog.json");
        const qelbench::FootprintMeter meter;
        auto d = std::make_unique<rapidjson::Document>();
        d->Parse<rapidjson::kParseFullPrecisionFlag>(json.c_str(), json.size());
        if (d->HasParseError()) throw std::runtime_error("RapidJSON cannot parse catalog.json");
        f = meter.Finish();
    } else if (what == "Nlohmann") {
        const std::string json = ReadFile(options.dataDir + "/catalog.json");
        const qelbench::FootprintMeter meter;
        const nlohmann::json d = nlohmann::json::parse(json);
        f = meter.Finish();
        benchmark::DoNotOptimize(d.is_object());
    } else {
        std::cerr << "qelbench: nothing to measure called " << what << "\n";
        return 2;
    }
    std::printf("%s\n", qelbench::FormatFootprint(f).c_str());
    return 0;
}

// Whole-document rows report milliseconds, micro-operations nanoseconds;
// memory rows run once.
enum class Kind { Document, Micro, Memory };
struct Entry final {
    const char* name;
    void (*run)(benchmark::State&);
    Kind kind;
};
const Entry kBenchmarks[] = {
    {"BM_Qel_CreateFromText", &BM_Qel_CreateFromText, Kind::Document},
    {"BM_Qel_Deserialize", &BM_Qel_Deserialize, Kind::Document},
    {"BM_RapidJSON_Parse", &BM_RapidJSON_Parse, Kind::Document},
    {"BM_Nlohmann_Parse", &BM_Nlohmann_Parse, Kind::Document},
    {"BM_Qel_Serialize", &BM_Qel_Serialize, Kind::Document},
    {"BM_RapidJSON_PrettyWriter", &BM_RapidJSON_PrettyWriter, Kind::Document},
    {"BM_Nlohmann_Dump", &BM_Nlohmann_Dump, Kind::Document},
    {"BM_Qel_Validate", &BM_Qel_Validate, Kind::Document},
    {"BM_RapidJSON_SchemaValidator", &BM_RapidJSON_SchemaValidator, Kind::Document},
    {"BM_Valijson_Validate", &BM_Valijson_Validate, Kind::Document},
    {"BM_Qel_Clone", &BM_Qel_Clone, Kind::Document},
    {"BM_RapidJSON_Clone", &BM_RapidJSON_Clone, Kind::Document},
    {"BM_Nlohmann_Clone", &BM_Nlohmann_Clone, Kind::Document},
    {"BM_Qel_IsEqual", &BM_Qel_IsEqual, Kind::Document},
    {"BM_RapidJSON_IsEqual", &BM_RapidJSON_IsEqual, Kind::Document},
    {"BM_Nlohmann_IsEqual", &BM_Nlohmann_IsEqual, Kind::Document},
    {"BM_Qel_DeepGet", &BM_Qel_DeepGet, Kind::Micro},
    {"BM_RapidJSON_Pointer", &BM_RapidJSON_Pointer, Kind::Micro},
    {"BM_Nlohmann_JsonPointer", &BM_Nlohmann_JsonPointer, Kind::Micro},
    {"BM_Qel_DictGet", &BM_Qel_DictGet, Kind::Micro},
    {"BM_Qel_DictGetHeldKeys", &BM_Qel_DictGetHeldKeys, Kind::Micro},
    {"BM_RapidJSON_DictGet", &BM_RapidJSON_DictGet, Kind::Micro},
    {"BM_Nlohmann_DictGet", &BM_Nlohmann_DictGet, Kind::Micro},
    {"BM_Qel_DictPutRemove", &BM_Qel_DictPutRemove, Kind::Micro},
    {"BM_RapidJSON_DictPutRemove", &BM_RapidJSON_DictPutRemove, Kind::Micro},
    {"BM_Nlohmann_DictPutRemove", &BM_Nlohmann_DictPutRemove, Kind::Micro},
    {"BM_Qel_ArrayAppend", &BM_Qel_ArrayAppend, Kind::Micro},
    {"BM_RapidJSON_ArrayAppend", &BM_RapidJSON_ArrayAppend, Kind::Micro},
    {"BM_Nlohmann_ArrayAppend", &BM_Nlohmann_ArrayAppend, Kind::Micro},
    {"BM_Qel_ArrayGetAt", &BM_Qel_ArrayGetAt, Kind::Micro},
    {"BM_RapidJSON_ArrayGetAt", &BM_RapidJSON_ArrayGetAt, Kind::Micro},
    {"BM_Nlohmann_ArrayGetAt", &BM_Nlohmann_ArrayGetAt, Kind::Micro},
    {"BM_Qel_Memory_CreateFromText", &BM_Qel_Memory_CreateFromText, Kind::Memory},
    {"BM_Qel_Memory_Deserialize", &BM_Qel_Memory_Deserialize, Kind::Memory},
    {"BM_RapidJSON_Memory_Parse", &BM_RapidJSON_Memory_Parse, Kind::Memory},
    {"BM_Nlohmann_Memory_Parse", &BM_Nlohmann_Memory_Parse, Kind::Memory},
};

// With iterations (for a profile run), every timed row runs exactly that often.
void Register(uint64_t iterations) {
    for (const Entry& e : kBenchmarks) {
        benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(e.name, e.run);
        b->Unit(e.kind == Kind::Micro ? benchmark::kNanosecond : benchmark::kMillisecond);
        if (e.kind == Kind::Memory)
            b->Iterations(1)->Repetitions(1);
        else if (iterations != 0)
            b->Iterations(static_cast<benchmark::IterationCount>(iterations));
    }
}

// Takes --NAME=VALUE out of argv.
bool TakeFlag(int& argc, char** argv, const char* name, std::string& value) {
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) {
            value = argv[i] + prefix.size();
            for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
            --argc;
            return true;
        }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string value;
    if (TakeFlag(argc, argv, "data", value)) options.dataDir = value;
    if (TakeFlag(argc, argv, "schemas", value)) options.schemaDir = value;
    if (TakeFlag(argc, argv, "seed", value)) options.seed = std::strtoull(value.c_str(), nullptr, 10);
    if (TakeFlag(argc, argv, "records", value)) options.records = std::strtoull(value.c_str(), nullptr, 10);
    if (TakeFlag(argc, argv, "measure-memory", value)) {
        try {
            return MeasureMemory(value, options);
        } catch (const std::exception& e) {
            std::cerr << "qelbench: " << e.what() << "\n";
            return 1;
        }
    }
    gDataArguments = options.dataDir.empty() ? "" : "--data='" + options.dataDir + "'";
    uint64_t iterations = 0;
    if (TakeFlag(argc, argv, "iterations", value)) iterations = std::strtoull(value.c_str(), nullptr, 10);
    Register(iterations);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    try {
        World world(options);
        gWorld = &world;
        std::fprintf(stderr, "catalogue: %llu values; notation %zu bytes, JSON %zu bytes, TypeA %zu bytes%s%s\n",
                     static_cast<unsigned long long>(world.values), world.notation.size(), world.json.size(),
                     world.typea.size(), world.noValidator.empty() ? "" : "; Validate skips: ",
                     world.noValidator.c_str());
        benchmark::AddCustomContext("values", std::to_string(world.values));
        benchmark::AddCustomContext("notation_bytes", std::to_string(world.notation.size()));
        benchmark::AddCustomContext("json_bytes", std::to_string(world.json.size()));
        benchmark::AddCustomContext("typea_bytes", std::to_string(world.typea.size()));
        benchmark::AddCustomContext("host_variant", world.lib.host().config().variant ==
                                                            qelhost::HostConfig::Variant::Alternate
                                                        ? "alternate"
                                                        : "reference");
        benchmark::RunSpecifiedBenchmarks();
        gWorld = nullptr;
    } catch (const std::exception& e) {
        std::cerr << "qelbench: " << e.what() << "\n";
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
