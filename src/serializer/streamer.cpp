// POSStreamerInterface: streamer handles, the version header, and the choice
// of format implementation.
#include "serializer/streamer.h"

#include <cstring>

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/host_services.h"
#include "serializer/typea.h"

namespace NPOSStreamerImpl {

using QEL_T_MT::CPOSObject;
using QEL_T_MT::HostStreamRef;
using QEL_T_MT::POSException;

namespace {

// The formats, oldest first: writing without a named version uses the last.
using Factory = StreamerBase* (*)();
StreamerBase* NewVersion10() { return new NTypeAImpl::Version10; }
constexpr Factory kFactories[] = {&NewVersion10};

constexpr unsigned kMaxHeaderToken = 63;

// The header is read a byte at a time straight from the stream, so that the
// body's reader starts exactly after it.
char GetNextChar(const HostStreamRef& stream) {
    char c;
    if (stream.Read(&c, 1) != 1) throw POSException("getNextChar unexpected EOF");
    return c;
}

void DestroyStreamer(void* object) { delete static_cast<QELImpl*>(object); }

QELImpl& StreamerOf(QELContainerHandle handle) {
    void* object = QEL_T_MT::FindOwnInstance(handle, QEL_T_MT::OwnKind::POSStreamer);
    if (object == nullptr) QEL_T_MT::ThrowQELError("invalid container", "", 0);
    return *static_cast<QELImpl*>(object);
}

QELContainerHandle NewPOSStreamer() {
    return QEL_T_MT::Reporting<QELContainerHandle>(nullptr, [] {
        auto* impl = new QELImpl;
        try {
            return QEL_T_MT::NewOwnContainer(impl, QEL_T_MT::OwnKind::POSStreamer, &DestroyStreamer);
        } catch (...) {
            delete impl;
            throw;
        }
    });
}

int32_t Serialize(QELContainerHandle streamer, QELContainerHandle stream, QELContainerHandle object,
                  const char* version) {
    return QEL_T_MT::Reporting<int32_t>(0, [&] {
        const CPOSObject value(object);
        const HostStreamRef out(stream);
        StreamerOf(streamer);
        const char* name = version != nullptr ? version : StreamerBase::DefaultVersion();
        const std::unique_ptr<StreamerBase> format = StreamerBase::LookupStreamer(name);
        out.Write(name, std::strlen(name));
        out.Write(" ", 1);
        format->Serialize(out, value);
        return 1;
    });
}

QELContainerHandle Deserialize(QELContainerHandle streamer, QELContainerHandle stream) {
    return QEL_T_MT::Reporting<QELContainerHandle>(nullptr, [&] {
        const HostStreamRef in(stream);
        StreamerOf(streamer);
        char token[kMaxHeaderToken + 1];
        unsigned n = 0;
        char c;
        do c = GetNextChar(in);
        while (c == ' ');
        for (;;) {
            token[n++] = c;
            if (n == kMaxHeaderToken) break;
            c = GetNextChar(in);
            if (c == ' ') break;
        }
        token[n] = '\0';
        const std::unique_ptr<StreamerBase> format = StreamerBase::LookupStreamer(token);
        // Handed out as the host made it: the working reference that would be
        // taken and dropped again (DecrementWithoutDelete) is not taken.
        const QELContainerHandle out = format->Deserialize(in);
        if (out == nullptr) throw POSException("POSObjectStreamerImpl::Deserialize failure");
        return out;
    });
}

}  // namespace

std::unique_ptr<StreamerBase> StreamerBase::LookupStreamer(const char* version) {
    for (Factory make : kFactories) {
        std::unique_ptr<StreamerBase> candidate(make());
        if (std::strcmp(candidate->GetVersion(), version) == 0) return candidate;
    }
    throw POSException("StreamerBase::LookupStreamer unrecognized version");
}

const char* StreamerBase::DefaultVersion() {
    // Versions are static texts of their classes: they outlive the streamer.
    const std::unique_ptr<StreamerBase> newest(kFactories[std::size(kFactories) - 1]());
    return newest->GetVersion();
}

QEL_T_MT::Publication<qelutils::contract::POSStreamerInterface> StreamerTable() noexcept {
    using Streamer = qelutils::contract::POSStreamerInterface;
    using QEL_T_MT::Publish;
    return QEL_T_MT::Publication(Publish<Streamer::NewPOSStreamer>(&NewPOSStreamer),
                                 Publish<Streamer::Serialize>(&Serialize),
                                 Publish<Streamer::Deserialize>(&Deserialize));
}

}  // namespace NPOSStreamerImpl
