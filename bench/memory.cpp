#include "memory.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace qelbench {

namespace {

int64_t StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::strtoll(line.c_str() + n + 1, nullptr, 10);
    return -1;
}

// Resets VmHWM to the current resident set (Linux 4.0 and later).
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.close();
    return bool(clear);
}

int64_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<int64_t>(m.uordblks + m.hblkhd);
}

}  // namespace

FootprintMeter::FootprintMeter(const qelhost::Host* host) : host_(host) {
    malloc_trim(0);
    peakReset_ = ResetPeak();
    heap0_ = HeapInUse();
    rss0_ = StatusKb("VmRSS") * 1024;
    if (host_ != nullptr) {
        books0_ = host_->books();
        host0_ = host_->Memory();
    }
}

Footprint FootprintMeter::Finish() const {
    Footprint f;
    const int64_t peak = StatusKb("VmHWM") * 1024;
    // What the build left free is not held by the document.
    malloc_trim(0);
    f.heapBytes = HeapInUse() - heap0_;
    f.rssBytes = StatusKb("VmRSS") * 1024 - rss0_;
    f.peakRssBytes = peakReset_ ? peak - rss0_ : -1;
    if (host_ != nullptr) {
        const qelhost::Books b = host_->books();
        f.books.containers = b.containers - books0_.containers;
        f.books.atomRefs = b.atomRefs - books0_.atomRefs;
        f.books.memoryBlocks = b.memoryBlocks - books0_.memoryBlocks;
        const qelhost::HostMemory m = host_->Memory();
        f.host.containerBytes = m.containerBytes - host0_.containerBytes;
        f.host.blockBytes = m.blockBytes - host0_.blockBytes;
        f.host.atoms = m.atoms - host0_.atoms;
        f.host.atomBytes = m.atomBytes - host0_.atomBytes;
        f.host.atomTableBytes = m.atomTableBytes - host0_.atomTableBytes;
        f.host.arenaBytes = m.arenaBytes - host0_.arenaBytes;
        // The reference host's arena is memory the C heap's figures miss.
        f.heapBytes += f.host.arenaBytes;
    }
    return f;
}

std::string FormatFootprint(const Footprint& f) {
    std::ostringstream line;
    line << "footprint heap=" << f.heapBytes << " rss=" << f.rssBytes << " peak=" << f.peakRssBytes
         << " containers=" << f.books.containers << " atomrefs=" << f.books.atomRefs
         << " blocks=" << f.books.memoryBlocks << " hostcontainers=" << f.host.containerBytes
         << " hostblocks=" << f.host.blockBytes << " atombytes=" << f.host.atomBytes
         << " atomtable=" << f.host.atomTableBytes << " arena=" << f.host.arenaBytes;
    return line.str();
}

bool ParseFootprint(const std::string& line, Footprint& f) {
    long long heap, rss, peak, containers, atoms, blocks, hostContainers, hostBlocks, atomBytes, atomTable, arena;
    if (std::sscanf(line.c_str(),
                    "footprint heap=%lld rss=%lld peak=%lld containers=%lld atomrefs=%lld blocks=%lld "
                    "hostcontainers=%lld hostblocks=%lld atombytes=%lld atomtable=%lld arena=%lld",
                    &heap, &rss, &peak, &containers, &atoms, &blocks, &hostContainers, &hostBlocks, &atomBytes,
                    &atomTable, &arena) != 11)
        return false;
    f.heapBytes = heap;
    f.rssBytes = rss;
    f.peakRssBytes = peak;
    f.books.containers = containers;
    f.books.atomRefs = atoms;
    f.books.memoryBlocks = blocks;
    f.host.containerBytes = hostContainers;
    f.host.blockBytes = hostBlocks;
    f.host.atomBytes = atomBytes;
    f.host.atomTableBytes = atomTable;
    f.host.arenaBytes = arena;
    return true;
}

bool FootprintOfChild(const std::string& arguments, Footprint& f, std::string& error) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        error = "cannot find this program (/proc/self/exe)";
        return false;
    }
    self[n] = '\0';
    const std::string command = std::string("'") + self + "' " + arguments + " 2>&1";
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr) {
        error = "cannot start " + command;
        return false;
    }
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, child) != nullptr) output += buffer;
    const int status = pclose(child);
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("footprint ", 0) == 0 && status == 0 && ParseFootprint(line, f)) return true;
    error = "the measuring process failed: " + output.substr(0, 300);
    return false;
}

}  // namespace qelbench
