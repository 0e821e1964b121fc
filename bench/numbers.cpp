// qelbench-numbers: the library's number conversions beside the C runtime's
// and the standard library's, on the catalogue's kinds of number and on
// doubles of every magnitude. Linked with the library's internals: these
// conversions are not reachable one by one through the host.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "objects/decimal_parse.h"
#include "random.h"
#include "serializer/number_format.h"

namespace {

using NPOSStreamerImpl::NTypeAImpl::FormatG32;
using NPOSStreamerImpl::NTypeAImpl::kG32Size;

using qelbench::Random;

constexpr size_t kCount = 4096;

// As bench/catalog.cpp makes them: ids and counts, prices, tenths of a
// millimetre, inches converted to centimetres.
std::vector<double> CatalogueNumbers() {
    Random r(42);
    std::vector<double> v;
    for (size_t i = 0; i < kCount; ++i) switch (i % 4) {
            case 0: v.push_back(static_cast<double>(r.Below(100000))); break;
            case 1: v.push_back(static_cast<double>(99 + r.Below(999901)) / 100.0); break;
            case 2: v.push_back(static_cast<double>(5 + r.Below(2496)) / 10.0); break;
            default:
                v.push_back((static_cast<double>(1 + r.Below(4000)) / 16.0 + static_cast<double>(r.Below(1000)) / 7919.0) *
                            2.54);
        }
    return v;
}

// Finite doubles of every magnitude (most written with an exponent).
std::vector<double> AnyDoubles() {
    Random r(7);
    std::vector<double> v;
    while (v.size() < kCount) {
        const double d = std::bit_cast<double>(r.Next());
        if (d - d == 0) v.push_back(d);
    }
    return v;
}

const std::vector<double>& Numbers(int set) {
    static const std::vector<double> catalogue = CatalogueNumbers(), any = AnyDoubles();
    return set == 0 ? catalogue : any;
}

const char* SetName(int set) { return set == 0 ? "catalogue" : "any"; }

using Formatter = size_t (*)(double, char (&)[kG32Size]);

void Format(benchmark::State& state, Formatter format) {
    const std::vector<double>& numbers = Numbers(static_cast<int>(state.range(0)));
    char text[kG32Size];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(format(numbers[i++ % kCount], text));
        benchmark::ClobberMemory();
    }
    state.SetLabel(SetName(static_cast<int>(state.range(0))));
    state.SetItemsProcessed(state.iterations());
}

size_t WithSnprintf(double v, char (&text)[kG32Size]) {
    return static_cast<size_t>(std::snprintf(text, kG32Size, "%.32g", v));
}
size_t WithToChars(double v, char (&text)[kG32Size]) {
    return static_cast<size_t>(std::to_chars(text, text + kG32Size, v, std::chars_format::general, 32).ptr - text);
}

void BM_Format_Snprintf(benchmark::State& state) { Format(state, &WithSnprintf); }
void BM_Format_ToChars(benchmark::State& state) { Format(state, &WithToChars); }
void BM_Format_Library(benchmark::State& state) { Format(state, &FormatG32); }

// The texts the writer makes of the same numbers, read back.
void Parse(benchmark::State& state, double (*parse)(const std::string&)) {
    std::vector<std::string> texts;
    char text[64];
    for (double v : Numbers(static_cast<int>(state.range(0)))) {
        std::snprintf(text, sizeof text, "%.32g", v);
        texts.emplace_back(text);
    }
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(parse(texts[i++ % kCount]));
    state.SetLabel(SetName(static_cast<int>(state.range(0))));
    state.SetItemsProcessed(state.iterations());
}

double WithStrtod(const std::string& t) { return std::strtod(t.c_str(), nullptr); }
double WithParseDecimal(const std::string& t) { return NPOSObjectImpl::ParseDecimal(t.data(), t.data() + t.size()); }

void BM_Parse_Strtod(benchmark::State& state) { Parse(state, &WithStrtod); }
void BM_Parse_Library(benchmark::State& state) { Parse(state, &WithParseDecimal); }

BENCHMARK(BM_Format_Snprintf)->Arg(0)->Arg(1);
BENCHMARK(BM_Format_ToChars)->Arg(0)->Arg(1);
BENCHMARK(BM_Format_Library)->Arg(0)->Arg(1);
BENCHMARK(BM_Parse_Strtod)->Arg(0)->Arg(1);
BENCHMARK(BM_Parse_Library)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
