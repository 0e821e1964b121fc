// QELUtils loaded through the reference host, as a host program drives it:
// every call goes through procedures resolved from the broker.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "qelhost/host.h"
#include "qelhost/pos.h"

namespace qelbench {

class Library final {
public:
    Library() {
        std::string error;
        if (!host_.Load(&error)) throw std::runtime_error("cannot load QELUtils: " + error);
        if (host_.InitializeLibrary() != 1) throw std::runtime_error("QELUtils failed to initialise");
        client_.emplace(host_);
        newStreamer_ = Require<qelutils::contract::POSStreamerInterface::NewPOSStreamer>();
        serialize = Require<qelutils::contract::POSStreamerInterface::Serialize>();
        deserialize =
            Require<qelutils::contract::POSStreamerInterface::Deserialize>();
        streamer_ = qelhost::pos::Ref::Take(newStreamer_());
        if (!streamer_) throw std::runtime_error("NewPOSStreamer failed: " + Reports());
    }
    ~Library() {
        // Every reference goes back before the library stops.
        streamer_.reset();
        client_.reset();
        host_.TerminateLibrary();
        host_.Unload();
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    qelhost::Host& host() { return host_; }
    const qelhost::pos::Client& pos() const { return *client_; }
    QELContainerHandle streamer() const { return streamer_.get(); }

    // What the library reported since the last call, on one line.
    std::string Reports() {
        std::string all;
        for (const std::string& r : host_.Reports()) all += (all.empty() ? "" : "; ") + r;
        host_.ClearReports();
        return all.empty() ? "no report" : all;
    }

    qelhost::pos::Ref Parse(const std::string& text) {
        long offset = -1;
        qelhost::pos::Ref value = client_->FromText(text.c_str(), &offset);
        if (!value)
            throw std::runtime_error("CreateFromText failed at offset " + std::to_string(offset) + ": " + Reports());
        return value;
    }

    std::string Serialize(const qelhost::pos::Ref& value) {
        const qelhost::pos::Ref stream = qelhost::pos::Ref::Take(host_.NewMemoryStream());
        if (serialize(streamer_.get(), stream.get(), value.get(), nullptr) != 1)
            throw std::runtime_error("Serialize failed: " + Reports());
        return host_.MemoryStreamContents(stream.get());
    }

    qelhost::pos::Ref Deserialize(const std::string& bytes) {
        const qelhost::pos::Ref stream = qelhost::pos::Ref::Take(host_.NewMemoryStream(bytes));
        qelhost::pos::Ref value = qelhost::pos::Ref::Take(deserialize(streamer_.get(), stream.get()));
        if (!value) throw std::runtime_error("Deserialize failed: " + Reports());
        return value;
    }

    template <auto Row>
    qelutils::contract::ProcType<Row> Find() const {
        return host_.Get<Row>();
    }

    POSStreamerSerializeProc serialize = nullptr;
    POSStreamerDeserializeProc deserialize = nullptr;

private:
    template <auto Row>
    qelutils::contract::ProcType<Row> Require() const {
        using Table = qelutils::contract::TableOf<Row>;
        const auto proc = Find<Row>();
        if (proc == nullptr)
            throw std::runtime_error(std::string("the library does not publish ") + Table::kName + "." +
                                     Table::kRows[Row].methodName);
        return proc;
    }

    qelhost::Host host_;
    std::optional<qelhost::pos::Client> client_;
    POSStreamerNewPOSStreamerProc newStreamer_ = nullptr;
    qelhost::pos::Ref streamer_;
};

}  // namespace qelbench
