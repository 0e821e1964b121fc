// The serializer's front: streamer handles, format implementations chosen
// by version string, and the one-word header that names the version.
#pragma once

#include <memory>

#include "frame/client_base.h"
#include "frame/host_streams.h"
#include "frame/proc_table.h"
#include "objects/pos_client.h"

namespace NPOSStreamerImpl {

// The object behind a POSStreamer handle: it carries no settings.
class QELImpl final : public QEL_T_MT::CQELClientBase {
public:
    virtual ~QELImpl() = default;
};

// A format implementation; one lives for one Serialize or Deserialize call.
class StreamerBase : public QEL_T_MT::CQELClientBase {
public:
    virtual ~StreamerBase() = default;
    virtual const char* GetVersion() const = 0;
    // The body of one object, header excluded.
    virtual void Serialize(const QEL_T_MT::HostStreamRef& stream, const QEL_T_MT::CPOSObject& object) = 0;
    // The new object's container as the host made it (no reference held), or
    // null when no value was found.
    virtual QELContainerHandle Deserialize(const QEL_T_MT::HostStreamRef& stream) = 0;

    // A new streamer of exactly that version (owned by the caller), else
    // POSException "StreamerBase::LookupStreamer unrecognized version".
    static std::unique_ptr<StreamerBase> LookupStreamer(const char* version);
    // The version written when the caller names none: the newest format's.
    static const char* DefaultVersion();
};

// POSStreamerInterface with its procedures.
QEL_T_MT::Publication<qelutils::contract::POSStreamerInterface> StreamerTable() noexcept;

}  // namespace NPOSStreamerImpl
