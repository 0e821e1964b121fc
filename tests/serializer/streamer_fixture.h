// Serializer tests: a streamer, memory streams, and what the library reports.
#pragma once

#include <string>
#include <vector>

#include "../objects/pos_fixture.h"

namespace qeltest {

class StreamerTest : public POSTest {
protected:
    using Ref = qelhost::pos::Ref;

    void SetUp() override {
        POSTest::SetUp();
        if (HasFatalFailure()) return;
        serialize_ = host().Get<contract::POSStreamerInterface::Serialize>();
        deserialize_ = host().Get<contract::POSStreamerInterface::Deserialize>();
        auto make = host().Get<contract::POSStreamerInterface::NewPOSStreamer>();
        ASSERT_TRUE(serialize_ && deserialize_ && make);
        streamer_ = Ref::Take(make());
        ASSERT_TRUE(streamer_);
    }
    void TearDown() override {
        streamer_.reset();
        POSTest::TearDown();
    }

    Ref MemoryStream(const std::string& bytes = {}) { return Ref::Take(host().NewMemoryStream(bytes)); }

    // The bytes written for value, or the reports when it fails.
    struct Written {
        bool ok;
        std::string bytes;
        std::vector<std::string> reports;
    };
    Written Write(const Ref& value, const char* version = nullptr) {
        const Ref stream = MemoryStream();
        Written w;
        w.ok = serialize_(streamer_.get(), stream.get(), value.get(), version) == 1;
        w.bytes = host().MemoryStreamContents(stream.get());
        w.reports = TakeReports();
        return w;
    }

    struct Read {
        Ref value;
        uint64_t position;  // where the stream stands after the call
        std::vector<std::string> reports;
    };
    Read ReadBack(const std::string& bytes) {
        const Ref stream = MemoryStream(bytes);
        Read r;
        r.value = Ref::Take(deserialize_(streamer_.get(), stream.get()));
        r.position = host().MemoryStreamPosition(stream.get());
        r.reports = TakeReports();
        return r;
    }

    static constexpr const char kHeader[] = "POSStreamerTypeA_Version1.0 ";

    POSStreamerSerializeProc serialize_ = nullptr;
    POSStreamerDeserializeProc deserialize_ = nullptr;
    Ref streamer_;
};

}  // namespace qeltest
