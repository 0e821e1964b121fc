// What holding one document costs: measured in a process that has built
// nothing before, so that every atom, host container, host block and heap
// byte the document needs is new and counted, whoever allocates it
// (the C heap, an arena of the host's, the atoms' own storage).
#pragma once

#include <malloc.h>

#include <cstdint>
#include <string>

#include "qelhost/host.h"

namespace qelbench {

// One measurement: bytes of the process before and after.
struct Footprint final {
    int64_t heapBytes = 0;      // C heap in use (mallinfo2)
    int64_t rssBytes = 0;       // resident set, after returning the heap's free pages
    int64_t peakRssBytes = -1;  // resident set at its highest while building; -1: not measurable here
    qelhost::Books books;       // the reference host's books; zero for the peers
    qelhost::HostMemory host;   // what the reference host holds for it; zero for the peers
};

// Brackets a build: the constructor returns free heap pages to the system
// and takes the baseline (resetting the peak), Finish takes the difference.
class FootprintMeter final {
public:
    explicit FootprintMeter(const qelhost::Host* host = nullptr);
    Footprint Finish() const;

private:
    const qelhost::Host* host_;
    bool peakReset_;
    int64_t heap0_, rss0_;
    qelhost::Books books0_;
    qelhost::HostMemory host0_;
};

// One line that ParseFootprint reads back.
std::string FormatFootprint(const Footprint& f);
bool ParseFootprint(const std::string& line, Footprint& f);

// Runs this program again with ARGUMENTS (a fresh process: nothing of this
// one's state) and reads the footprint line it prints; false with a reason
// when it fails.
bool FootprintOfChild(const std::string& arguments, Footprint& f, std::string& error);

}  // namespace qelbench
