// One driver for every fault sweep: a call is run again and again with the
// host failing its 1st, 2nd, 3rd ... call of one kind, until a run no longer
// reaches the fault. At every step the call must fail the way its procedure
// fails (or succeed when it absorbed the fault), say so exactly once, and
// leave the host's books where they were.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "qelhost/host.h"

namespace qeltest {

// Which kind of host call is made to fail.
enum class Fault : uint8_t {
    Allocation,       // Alloc, Realloc, NewStringAtom, NewBuffer, NewFullContainer, new streams
    StreamCall,       // a method of one of the host's own streams
    ContainerLookup,  // GetMethod or NGetInstance
};
const char* FaultName(Fault fault) noexcept;

// Where the library stands when the call is made.
enum class Start : uint8_t {
    Warm,   // after one call like it: tables imported, lookups cached
    Stale,  // the host's interfaces changed since: the call imports every table again
};
const char* StartName(Start start) noexcept;

// How the procedure under test tells its caller that it failed.
enum class Failure : uint8_t {
    Reported,  // its failure value, and one QELReportError call
    Returned,  // one error handle returned, nothing reported
    Silent,    // its failure value and nothing else (DeepGet, a stream's destruction)
};

// What one call gave.
struct Outcome final {
    bool failed = false;  // the failure value, or an error handle, came back
    uint32_t errors = 0;  // error handles returned (the call releases them)
    // The failure was explained to the caller's own report procedure
    // instead (a check procedure that caught it): that stands for the report.
    bool explained = false;

    static Outcome Value(bool ok) { return Outcome{!ok, 0}; }
    static Outcome Done() { return Outcome{}; }
    // Releases the error through the current host and counts it.
    static Outcome Error(QELErrorHandle error);
};

// One run of a call: the inputs live in what its functions capture and
// are given back when the trial goes.
struct Trial final {
    std::function<Outcome()> call;      // run with the fault armed
    std::function<void()> verify = {};  // run with no fault armed, after a success
    std::function<void()> intact = {};  // run with no fault armed, after a failure
    // After a failure, the call is made again with no fault and must succeed;
    // off for calls whose failure consumed their input (a stream read on).
    bool retry = true;
};

struct SweepPlan final {
    Fault fault;
    Start start;
    Failure failure;
};

// Sweeps one call over every host call of one kind that it makes. arrange
// makes fresh inputs for each run, outside the fault window. Returns the
// number of runs in which the fault struck.
uint64_t Sweep(qelhost::Host& host, const SweepPlan& plan, const std::function<Trial()>& arrange);

// A row of a sweep table: one published procedure, as a fixture calls it.
template <class Fixture>
struct SweepRow final {
    const char* name;  // also the test name: letters and digits only
    Failure failure;
    Trial (*arrange)(Fixture&);
};

// Every row against every kind of fault from both starts, one test each.
template <class Fixture>
struct SweepCase final {
    SweepRow<Fixture> row;
    Fault fault;
    Start start;

    SweepPlan plan() const { return {fault, start, row.failure}; }
};

template <class Fixture>
std::ostream& operator<<(std::ostream& out, const SweepCase<Fixture>& c) {
    return out << c.row.name << " / " << FaultName(c.fault) << " / " << StartName(c.start);
}

template <class Fixture>
std::string SweepCaseName(const ::testing::TestParamInfo<SweepCase<Fixture>>& info) {
    return std::string(info.param.row.name) + "_" + FaultName(info.param.fault) + "_" + StartName(info.param.start);
}

template <class Fixture, size_t N>
std::vector<SweepCase<Fixture>> SweepCases(const SweepRow<Fixture> (&rows)[N],
                                           std::initializer_list<Fault> faults = {Fault::Allocation, Fault::StreamCall,
                                                                                  Fault::ContainerLookup}) {
    std::vector<SweepCase<Fixture>> cases;
    for (const SweepRow<Fixture>& row : rows)
        for (Fault fault : faults)
            for (Start start : {Start::Warm, Start::Stale})
                // Lookups are cached: only a stale table makes a call look up.
                if (fault != Fault::ContainerLookup || start == Start::Stale) cases.push_back({row, fault, start});
    return cases;
}

// Runs the case a parameterised sweep test was given, on its fixture, and
// records how many runs the fault struck; that number.
template <class Fixture>
uint64_t RunSweepCase(std::type_identity_t<Fixture>& fixture, const SweepCase<Fixture>& sweepCase) {
    const uint64_t struck =
        Sweep(fixture.host(), sweepCase.plan(), [&] { return sweepCase.row.arrange(fixture); });
    ::testing::Test::RecordProperty("faults", std::to_string(struck));
    return struck;
}

}  // namespace qeltest
