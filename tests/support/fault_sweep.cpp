#include "fault_sweep.h"

#include <string>
#include <vector>

#include "qelutils/qelutils.h"

namespace qeltest {

namespace {

// Far more host calls than any one procedure makes: a sweep that gets here
// is not ending.
constexpr uint64_t kMaxSteps = 20000;

bool SameBooks(const qelhost::Books& a, const qelhost::Books& b) {
    return a.containers == b.containers && a.atomRefs == b.atomRefs && a.errorRefs == b.errorRefs &&
           a.buffers == b.buffers && a.memoryBlocks == b.memoryBlocks && a.streamData == b.streamData &&
           a.openFiles == b.openFiles;
}

// Arms the nth call of one kind; tells afterwards whether it struck.
class Armed final {
public:
    Armed(qelhost::Host& host, Fault fault, uint64_t nth) : host_(host), fault_(fault), nth_(nth) {
        switch (fault_) {
            case Fault::Allocation:
                before_ = host_.AllocationCalls();
                host_.FailAllocation(nth_);
                break;
            case Fault::StreamCall:
                before_ = host_.StreamFaultsInjected();
                host_.FailStreamCall(nth_);
                break;
            case Fault::ContainerLookup:
                before_ = host_.ContainerLookups();
                host_.FailContainerLookup(nth_);
                break;
        }
    }
    // Disarms; true when the armed call was made (and so failed).
    bool Disarm() {
        bool struck = false;
        switch (fault_) {
            case Fault::Allocation: struck = host_.AllocationCalls() - before_ >= nth_; break;
            case Fault::StreamCall: struck = host_.StreamFaultsInjected() != before_; break;
            case Fault::ContainerLookup: struck = host_.ContainerLookups() - before_ >= nth_; break;
        }
        DisarmAll();
        return struck;
    }
    ~Armed() { DisarmAll(); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;

private:
    void DisarmAll() {
        host_.FailAllocation(0);
        host_.FailStreamCall(0);
        host_.FailContainerLookup(0);
    }

    qelhost::Host& host_;
    Fault fault_;
    uint64_t nth_;
    uint64_t before_ = 0;
};

std::string Lines(const std::vector<std::string>& reports) {
    std::string text;
    for (const std::string& r : reports) text += "\n  report: " + r;
    return text;
}

}  // namespace

const char* FaultName(Fault fault) noexcept {
    switch (fault) {
        case Fault::Allocation: return "Allocation";
        case Fault::StreamCall: return "StreamCall";
        case Fault::ContainerLookup: return "ContainerLookup";
    }
    return "?";
}

const char* StartName(Start start) noexcept { return start == Start::Warm ? "Warm" : "Stale"; }

Outcome Outcome::Error(QELErrorHandle error) {
    if (error == nullptr) return Outcome{};
    auto release =
        qelhost::Host::Current().Get<qelutils::contract::QELErrorInterface::Release>();
    release(error);
    return Outcome{true, 1};
}

uint64_t Sweep(qelhost::Host& host, const SweepPlan& plan, const std::function<Trial()>& arrange) {
    const bool stale = plan.start == Start::Stale;
    // A first run with no fault fills what the library makes once and keeps
    // (imported tables, cached method lookups), and proves the call works.
    {
        Trial trial = arrange();
        const Outcome o = trial.call();
        EXPECT_FALSE(o.failed) << "the call fails with no fault injected" << Lines(host.Reports());
        if (trial.verify) trial.verify();
    }
    EXPECT_TRUE(host.Reports().empty()) << Lines(host.Reports());
    host.ClearReports();
    if (::testing::Test::HasFailure()) return 0;
    const qelhost::Books baseline = host.books();

    uint64_t struckRuns = 0;
    for (uint64_t nth = 1;; ++nth) {
        SCOPED_TRACE(std::string(FaultName(plan.fault)) + " fault at call " + std::to_string(nth) +
                     (stale ? ", every table stale" : ""));
        bool struck = false;
        {
            Trial trial = arrange();
            // As after a withdrawal anywhere in the host: every table the
            // call uses is imported again, under the fault.
            if (stale) host.BumpUnregisterCounter();
            Outcome o;
            {
                Armed armed(host, plan.fault, nth);
                o = trial.call();
                struck = armed.Disarm();
            }
            const std::vector<std::string> reports = host.Reports();
            host.ClearReports();
            if (!struck) {
                EXPECT_FALSE(o.failed) << "failed with no fault" << Lines(reports);
            }
            if (o.failed) {
                const size_t wantReports = plan.failure == Failure::Reported ? 1 : 0;
                const uint32_t wantErrors = plan.failure == Failure::Returned ? 1 : 0;
                EXPECT_EQ(reports.size() + (o.explained ? 1 : 0), wantReports)
                    << "reports of one failed call" << Lines(reports);
                EXPECT_EQ(o.errors, wantErrors) << "errors returned by one failed call";
                if (trial.intact) trial.intact();
                if (trial.retry) {
                    // A fault that has passed leaves nothing broken: the
                    // same call, made again, succeeds.
                    const Outcome again = trial.call();
                    EXPECT_FALSE(again.failed) << "the call fails again with no fault" << Lines(host.Reports());
                    if (!again.failed && trial.verify) trial.verify();
                }
            } else {
                EXPECT_TRUE(reports.empty()) << "a call that succeeded reported" << Lines(reports);
                EXPECT_EQ(o.errors, 0u);
                if (trial.verify) trial.verify();
            }
            const std::vector<std::string> late = host.Reports();
            host.ClearReports();
            EXPECT_TRUE(late.empty()) << "checking the outcome reported" << Lines(late);
        }
        const qelhost::Books after = host.books();
        const std::vector<std::string> onRelease = host.Reports();
        host.ClearReports();
        EXPECT_TRUE(onRelease.empty()) << "releasing the inputs reported" << Lines(onRelease);
        // One lost reference makes every later step fail the same way: stop.
        if (!SameBooks(after, baseline)) {
            ADD_FAILURE() << "books were " << baseline.ToString() << ", now " << after.ToString();
            break;
        }
        if (!struck) break;
        ++struckRuns;
        if (nth >= kMaxSteps) {
            ADD_FAILURE() << "no end after " << kMaxSteps << " faults";
            break;
        }
    }
    return struckRuns;
}

}  // namespace qeltest
