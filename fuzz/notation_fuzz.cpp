// The text notation from hostile bytes: parsed, and every value that parses
// survives a trip through TypeA unchanged.
#include <cstdint>
#include <string>

#include "fuzz_host.h"

namespace {

struct Procs final {
    POSStreamerNewPOSStreamerProc newStreamer;
    POSStreamerSerializeProc serialize;
    POSStreamerDeserializeProc deserialize;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using qelhost::pos::Ref;
    qelfuzz::FuzzHost& f = qelfuzz::Shared();
    static const Procs procs = {
        f.Get<qelutils::contract::POSStreamerInterface::NewPOSStreamer>(),
        f.Get<qelutils::contract::POSStreamerInterface::Serialize>(),
        f.Get<qelutils::contract::POSStreamerInterface::Deserialize>(),
    };
    {
        const std::string text(reinterpret_cast<const char*>(data), size);  // NUL-terminated
        const Ref value = f.pos().FromText(text.c_str());
        // NaN is unequal to itself: such a value cannot be compared after the trip.
        if (value && f.pos().IsEqual(value, value)) {
            const Ref streamer = Ref::Take(procs.newStreamer());
            const Ref stream = Ref::Take(f.host().NewMemoryStream());
            if (procs.serialize(streamer.get(), stream.get(), value.get(), nullptr) != 1) std::abort();
            const Ref reader = Ref::Take(f.host().NewMemoryStream(f.host().MemoryStreamContents(stream.get())));
            const Ref back = Ref::Take(procs.deserialize(streamer.get(), reader.get()));
            if (!back || !f.pos().IsEqual(value, back)) std::abort();
        }
    }
    f.CheckBooks();
    return 0;
}
