// What every fuzz target shares: one reference host with the library loaded
// for the whole run, and the check after each input that the library gave
// back everything the input made it take.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "qelhost/host.h"
#include "qelhost/pos.h"

namespace qelfuzz {

class FuzzHost final {
public:
    FuzzHost() {
        std::string error;
        if (!host_.Load(&error) || host_.InitializeLibrary() == 0) {
            std::fprintf(stderr, "cannot start the library: %s\n", error.c_str());
            std::abort();
        }
        client_.emplace(host_);
        baseline_ = host_.books();
    }
    qelhost::Host& host() { return host_; }
    const qelhost::pos::Client& pos() const { return *client_; }

    // A procedure of the library by its row; a missing one ends the run.
    template <auto Row>
    qelutils::contract::ProcType<Row> Get() {
        const auto proc = host_.Get<Row>();
        if (proc == nullptr) {
            using Table = qelutils::contract::TableOf<Row>;
            std::fprintf(stderr, "no %s.%s\n", Table::kName, Table::kRows[Row].methodName);
            std::abort();
        }
        return proc;
    }

    // After each input: nothing the input made is still alive. The library
    // makes a few atoms and blocks once, on first use of a kind or table
    // (kept until Terminate); a leak per input soon passes that allowance.
    void CheckBooks() {
        host_.ClearReports();
        const qelhost::Books now = host_.books();
        const bool exact = now.containers == baseline_.containers && now.errorRefs == baseline_.errorRefs &&
                           now.buffers == baseline_.buffers && now.streamData == baseline_.streamData &&
                           now.openFiles == baseline_.openFiles;
        const bool cached = now.atomRefs - baseline_.atomRefs <= kFirstUseAllowance &&
                            now.memoryBlocks - baseline_.memoryBlocks <= kFirstUseAllowance;
        if (!exact || !cached) {
            std::fprintf(stderr, "leak: books were %s, now %s\n", baseline_.ToString().c_str(),
                         now.ToString().c_str());
            std::abort();
        }
    }

private:
    qelhost::Host host_;
    std::optional<qelhost::pos::Client> client_;
    static constexpr int64_t kFirstUseAllowance = 64;
    qelhost::Books baseline_;
};

// Made on the first input; at exit the library is terminated, so that what
// it keeps until then (imported method tables) is not taken for a leak.
inline FuzzHost*& SharedSlot() {
    static FuzzHost* shared = nullptr;
    return shared;
}
inline FuzzHost& Shared() {
    FuzzHost*& shared = SharedSlot();
    if (shared == nullptr) {
        shared = new FuzzHost;
        std::atexit([] {
            FuzzHost* done = SharedSlot();
            SharedSlot() = nullptr;
            done->host().TerminateLibrary();
            delete done;
        });
    }
    return *shared;
}

}  // namespace qelfuzz
