// The TypeA reader from hostile bytes: whatever it reads back writes again
// and reads back equal.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using qelhost::pos::Ref;
    qelfuzz::FuzzHost& f = qelfuzz::Shared();
    static const auto newStreamer =
        f.Get<qelutils::contract::POSStreamerInterface::NewPOSStreamer>();
    static const auto serialize =
        f.Get<qelutils::contract::POSStreamerInterface::Serialize>();
    static const auto deserialize =
        f.Get<qelutils::contract::POSStreamerInterface::Deserialize>();
    {
        const Ref streamer = Ref::Take(newStreamer());
        const Ref stream =
            Ref::Take(f.host().NewMemoryStream(std::string_view(reinterpret_cast<const char*>(data), size)));
        const Ref value = Ref::Take(deserialize(streamer.get(), stream.get()));
        if (value && f.pos().IsEqual(value, value)) {
            const Ref out = Ref::Take(f.host().NewMemoryStream());
            if (serialize(streamer.get(), out.get(), value.get(), nullptr) != 1) std::abort();
            const std::string written = f.host().MemoryStreamContents(out.get());
            const Ref in = Ref::Take(f.host().NewMemoryStream(written));
            const Ref back = Ref::Take(deserialize(streamer.get(), in.get()));
            // A number beyond a double's range reads as infinite, and the
            // format writes that as "inf", which it does not read: such a
            // value is not expected to come back.
            const bool infinite = written.find("#inf") != std::string::npos ||
                                  written.find("#-inf") != std::string::npos;
            if (!infinite && (!back || !f.pos().IsEqual(value, back))) std::abort();
        }
    }
    f.CheckBooks();
    return 0;
}
