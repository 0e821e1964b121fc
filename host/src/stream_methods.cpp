// The seven methods of every host stream, as GetMethod finds them; and the
// faults the host injects into its own (memory and file) streams.
#include <array>
#include <cstring>

#include "host_streams.h"

namespace qelhost {

namespace {

namespace contract = qelutils::contract;
using SimpleTable = contract::QELSimpleStream;
using RewindableTable = contract::QELRewindableStream;
using PositionableTable = contract::QELPositionableStream;

// Every host stream answers the rows of its three tables; a method's fault
// flag (StreamMethod) is the bit of its place among them.
constexpr uint32_t kMethodCount = SimpleTable::kCount + RewindableTable::kCount + PositionableTable::kCount;
constexpr uint32_t Bit(StreamMethod method) noexcept { return static_cast<uint32_t>(method); }
static_assert(Bit(StreamMethod::All) == (1u << kMethodCount) - 1);
static_assert(Bit(StreamMethod::Write) == 1u << SimpleTable::Write);
static_assert(Bit(StreamMethod::Rewind) == 1u << (SimpleTable::kCount + RewindableTable::Rewind));
static_assert(Bit(StreamMethod::Seek) ==
              1u << (SimpleTable::kCount + RewindableTable::kCount + PositionableTable::Seek));

const contract::Registration* Methods();

const char* NameOf(StreamMethod method) noexcept {
    for (uint32_t i = 0; i < kMethodCount; ++i)
        if (Bit(method) == 1u << i) return Methods()[i].methodName;
    return "?";
}

// Counts a call of the host's own streams, and fails it when a fault is
// armed for it.
QELErrorHandle Intercept(const StreamKind& kind, StreamMethod method) {
    if (!kind.hostData) return nullptr;
    Host::State& s = S();
    Count(Tally::StreamCalls, 1);
    const uint64_t at = s.failStreamCallAt.load(std::memory_order_relaxed);
    if (at == 0 || (s.streamFaultMethods.load(std::memory_order_relaxed) & Bit(method)) == 0) return nullptr;
    const uint64_t n = s.streamFaultCalls.fetch_add(1, std::memory_order_relaxed) + 1;
    if (n != at && !(n > at && s.streamFaultPersistent.load(std::memory_order_relaxed))) return nullptr;
    s.streamFaultsInjected.fetch_add(1, std::memory_order_relaxed);
    return Fail(std::string("injected stream fault in ") + NameOf(method), kInjectedFault, n);
}

template <StreamMethod M, class F>
QELErrorHandle Dispatch(QELContainerHandle handle, F&& call) noexcept {
    return Guarded([&]() -> QELErrorHandle {
        const StreamKind* kind = nullptr;
        HostStream* stream = StreamOf(handle, &kind);
        if (stream == nullptr) return Fail("not a stream of this host", kNotAStream);
        if (QELErrorHandle e = Intercept(*kind, M)) return e;
        return call(*stream);
    });
}

QELErrorHandle StreamRead(QELContainerHandle handle, uint64_t* count, void* buffer, uint64_t size) {
    if (count != nullptr) *count = 0;
    if (count == nullptr || (buffer == nullptr && size != 0)) return Fail("Read: null argument", kBadArgument);
    return Dispatch<StreamMethod::Read>(handle, [&](HostStream& s) { return s.Read(count, buffer, size); });
}

QELErrorHandle StreamWrite(QELContainerHandle handle, const void* data, uint64_t size) {
    if (data == nullptr && size != 0) return Fail("Write: null data", kBadArgument);
    return Dispatch<StreamMethod::Write>(handle, [&](HostStream& s) { return s.Write(data, size); });
}

template <StreamMethod M>
QELErrorHandle StreamCopy(QELContainerHandle handle, QELContainerHandle* out) {
    if (out == nullptr) return Fail("CreateIndependently...Stream: null out argument", kBadArgument);
    *out = nullptr;
    return Dispatch<M>(handle, [&](HostStream& s) { return s.Copy(M, out); });
}

QELErrorHandle StreamRewind(QELContainerHandle handle) {
    return Dispatch<StreamMethod::Rewind>(handle, [](HostStream& s) { return s.Rewind(); });
}

QELErrorHandle StreamMark(QELContainerHandle handle, int64_t* position) {
    if (position == nullptr) return Fail("Mark: null out argument", kBadArgument);
    *position = 0;
    return Dispatch<StreamMethod::Mark>(handle, [&](HostStream& s) { return s.Mark(position); });
}

QELErrorHandle StreamSeek(QELContainerHandle handle, int64_t position, int64_t origin) {
    return Dispatch<StreamMethod::Seek>(handle, [&](HostStream& s) { return s.Seek(position, origin); });
}

const contract::Registration* Methods() {
    using contract::Publication;
    using contract::Publish;
    static const auto methods = [] {
        std::array<contract::Registration, kMethodCount> all{};
        size_t n = 0;
        auto add = [&](const auto& table) {
            for (const contract::Registration& row : table) all[n++] = row;
        };
        add(Publication(Publish<SimpleTable::Read>(&StreamRead), Publish<SimpleTable::Write>(&StreamWrite)));
        add(Publication(Publish<RewindableTable::CreateIndependentlyRewindableStream>(
                            &StreamCopy<StreamMethod::CreateIndependentlyRewindableStream>),
                        Publish<RewindableTable::Rewind>(&StreamRewind)));
        add(Publication(Publish<PositionableTable::CreateIndependentlyPositionableStream>(
                            &StreamCopy<StreamMethod::CreateIndependentlyPositionableStream>),
                        Publish<PositionableTable::Mark>(&StreamMark), Publish<PositionableTable::Seek>(&StreamSeek)));
        return all;
    }();
    return methods.data();
}

}  // namespace

void* HostKindMethod(void* hostKind, const char* methodName, const char* procTypeName) {
    if (KindOf(hostKind) == nullptr) return nullptr;
    for (uint32_t i = 0; i < kMethodCount; ++i) {
        const contract::Registration& row = Methods()[i];
        if (std::strcmp(row.methodName, methodName) != 0) continue;
        if (std::strcmp(row.procTypeName, procTypeName) != 0) return nullptr;
        if ((S().hiddenStreamMethods.load(std::memory_order_relaxed) & (1u << i)) != 0) return nullptr;
        return row.proc;
    }
    return nullptr;
}

void Host::FailStreamCall(uint64_t nth, StreamMethod methods, bool persistent) {
    state_->failStreamCallAt.store(0);
    state_->streamFaultCalls.store(0);
    state_->streamFaultMethods.store(Bit(methods));
    state_->streamFaultPersistent.store(persistent);
    state_->failStreamCallAt.store(nth);
}

uint64_t Host::StreamCalls() const noexcept { return static_cast<uint64_t>(state_->Tallied(Tally::StreamCalls)); }
uint64_t Host::StreamFaultsInjected() const noexcept { return state_->streamFaultsInjected.load(); }
void Host::LimitStreamReads(uint64_t maxBytes) { state_->streamReadLimit.store(maxBytes); }

void Host::HideStreamMethods(StreamMethod methods) { state_->hiddenStreamMethods.fetch_or(Bit(methods)); }

}  // namespace qelhost
