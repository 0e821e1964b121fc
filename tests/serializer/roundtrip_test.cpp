// Round trips through memory and file streams, and every stream fault.
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "streamer_fixture.h"

namespace {

using qeltest::StreamerTest;

// A seeded document far larger than the 512-byte buffers, with values that
// straddle them and escapes that a refill splits.
class Generator final {
public:
    Generator(const qelhost::pos::Client& pos, uint32_t seed) : pos_(pos), random_(seed) {}

    qelhost::pos::Ref Value(int depth) {
        switch (depth > 3 ? random_() % 5 : random_() % 7) {
            case 0: return pos_.Number(Real());
            case 1: return pos_.String(Text().c_str());
            case 2: {
                std::u16string units;
                for (unsigned n = random_() % 40; n > 0; --n) units += static_cast<char16_t>(1 + random_() % 0xFFFE);
                return pos_.UnicodeString(units);
            }
            case 3: {
                std::string bytes;
                for (unsigned n = random_() % 300; n > 0; --n) bytes += static_cast<char>(random_());
                return pos_.BinData(Text().c_str(), bytes);
            }
            case 4: return pos_.Number(static_cast<double>(static_cast<int32_t>(random_())));
            case 5: {
                const qelhost::pos::Ref a = pos_.Array();
                for (unsigned n = random_() % 12; n > 0; --n) pos_.Append(a, Value(depth + 1));
                return a;
            }
            default: {
                const qelhost::pos::Ref d = pos_.Dict();
                for (unsigned n = random_() % 12; n > 0; --n) pos_.Put(d, Text().c_str(), Value(depth + 1));
                return d;
            }
        }
    }

private:
    double Real() {
        std::uniform_real_distribution<double> d(-1e6, 1e6);
        return random_() % 4 == 0 ? d(random_) * 1e-200 : d(random_);
    }
    std::string Text() {
        std::string s;
        for (unsigned n = random_() % 120; n > 0; --n) {
            char c = static_cast<char>(1 + random_() % 255);  // every byte but NUL
            if (random_() % 3 == 0) c = "\\\"\t\n\r ]>}`#"[random_() % 11];
            s += c;
        }
        return s;
    }

    const qelhost::pos::Client& pos_;
    std::mt19937 random_;
};

TEST_F(StreamerTest, RandomDocumentsRoundTripThroughMemory) {
    for (uint32_t seed = 1; seed <= 25; ++seed) {
        SCOPED_TRACE(seed);
        const Ref doc = Generator(pos(), seed).Value(0);
        const Written w = Write(doc);
        ASSERT_TRUE(w.ok) << (w.reports.empty() ? "" : w.reports[0]);
        const Read r = ReadBack(w.bytes);
        ASSERT_TRUE(r.value) << (r.reports.empty() ? "" : r.reports[0]);
        EXPECT_TRUE(pos().IsEqual(r.value, doc));
        EXPECT_EQ(r.position, w.bytes.size());
    }
}

TEST_F(StreamerTest, ShortReadsChangeNothing) {
    const Ref doc = Generator(pos(), 99).Value(0);
    const Written w = Write(doc);
    ASSERT_TRUE(w.ok);
    for (uint64_t limit : {1, 7, 511, 513}) {
        SCOPED_TRACE(limit);
        host().LimitStreamReads(limit);
        const Read r = ReadBack(w.bytes);
        ASSERT_TRUE(r.value);
        EXPECT_TRUE(pos().IsEqual(r.value, doc));
    }
    host().LimitStreamReads(0);
}

TEST_F(StreamerTest, RoundTripThroughAFile) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("qelutils-serializer-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "doc.typea").string();
    const Ref doc = Generator(pos(), 7).Value(0);
    {
        std::string error;
        const Ref out = Ref::Take(host().NewFileStream(path, "wb", &error));
        ASSERT_TRUE(out) << error;
        ASSERT_EQ(serialize_(streamer_.get(), out.get(), doc.get(), nullptr), 1);
        ASSERT_EQ(serialize_(streamer_.get(), out.get(), doc.get(), nullptr), 1);
    }
    {
        const Ref in = Ref::Take(host().NewFileStream(path, "rb"));
        ASSERT_TRUE(in);
        for (int i = 0; i < 2; ++i) {
            const Ref back = Ref::Take(deserialize_(streamer_.get(), in.get()));
            ASSERT_TRUE(back) << TakeReports().front();
            EXPECT_TRUE(pos().IsEqual(back, doc));
        }
    }
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(StreamerTest, EveryStreamFaultFailsCleanly) {
    const Ref doc = Generator(pos(), 3).Value(0);
    const Written good = Write(doc);
    ASSERT_TRUE(good.ok);
    for (bool writing : {true, false}) {
        for (uint64_t nth = 1;; ++nth) {
            SCOPED_TRACE((writing ? "Serialize, call " : "Deserialize, call ") + std::to_string(nth));
            const Ref stream = MemoryStream(writing ? "" : good.bytes);
            const uint64_t faults = host().StreamFaultsInjected();
            host().FailStreamCall(nth);
            bool ok;
            if (writing) {
                ok = serialize_(streamer_.get(), stream.get(), doc.get(), nullptr) == 1;
            } else {
                const Ref back = Ref::Take(deserialize_(streamer_.get(), stream.get()));
                ok = bool(back);
                if (ok) {
                    EXPECT_TRUE(pos().IsEqual(back, doc));
                }
            }
            host().FailStreamCall(0);
            const bool struck = host().StreamFaultsInjected() != faults;
            const std::vector<std::string> reports = TakeReports();
            EXPECT_EQ(ok, !struck);
            EXPECT_EQ(reports.size(), struck ? 1u : 0u);
            if (!struck) break;
            ASSERT_LT(nth, 10000u);
        }
    }
}

TEST_F(StreamerTest, EveryAllocationFailureFailsCleanly) {
    const Ref doc = Parse("<a [1 (two) `0041`] b <c 3.5>>");
    const Written good = Write(doc);
    for (bool writing : {true, false}) {
        for (uint64_t nth = 1;; ++nth) {
            SCOPED_TRACE((writing ? "Serialize, allocation " : "Deserialize, allocation ") + std::to_string(nth));
            const Ref stream = MemoryStream(writing ? "" : good.bytes);
            const uint64_t before = host().AllocationCalls();
            host().FailAllocation(nth);
            bool ok;
            if (writing) {
                ok = serialize_(streamer_.get(), stream.get(), doc.get(), nullptr) == 1;
            } else {
                ok = bool(Ref::Take(deserialize_(streamer_.get(), stream.get())));
            }
            const bool struck = host().AllocationCalls() - before >= nth;
            host().FailAllocation(0);
            const std::vector<std::string> reports = TakeReports();
            EXPECT_EQ(ok, !struck) << (reports.empty() ? "no report" : reports[0]);
            EXPECT_EQ(reports.size(), struck ? 1u : 0u);
            if (!struck) break;
            ASSERT_LT(nth, 10000u);
        }
    }
}

}  // namespace
