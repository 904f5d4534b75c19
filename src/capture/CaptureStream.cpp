#include "CaptureStream.h"

#include "base/LittleEndian.h"

#include <algorithm>
#include <optional>

namespace talvane {

namespace CaptureStream {

namespace {

using namespace LittleEndian;

enum Kind : std::uint32_t {
    LinkKind = 1,
    FrameKind = 2,
    StatisticsKind = 3,
    FailureKind = 4,
    OwnersKind = 5,
};

constexpr std::size_t HeaderLength = 8;
constexpr std::size_t TimeLength = 8;
// An owner is its source, and when named its pid, uid, name length and name.
constexpr std::size_t NamedOwnerLength = 1 + 4 + 4 + 1;
constexpr std::size_t MaximumOwners = 2 * (NamedOwnerLength + MaximumName);
static_assert(MaximumMessage == HeaderLength + TimeLength + MaximumOwners + MaximumFrame);

struct Body {
    Kind kind;
    std::span<const std::uint8_t> bytes;
};

void PutHeader(std::vector<std::uint8_t>& bytes, Kind kind, std::size_t bodyLength) {
    Put32(bytes, kind);
    Put32(bytes, static_cast<std::uint32_t>(bodyLength));
}

void PutBytes(std::vector<std::uint8_t>& bytes, std::span<const std::uint8_t> tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
}

std::span<const std::uint8_t> Cut(std::span<const std::uint8_t> bytes, std::size_t limit) {
    return bytes.first(std::min(bytes.size(), limit));
}

std::string_view TextOf(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::span<const std::uint8_t> BytesOf(std::string_view text, std::size_t limit) {
    return Cut({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, limit);
}

void PutOwner(std::vector<std::uint8_t>& bytes, const KernelOwner& owner) {
    bytes.push_back(static_cast<std::uint8_t>(owner.source));
    if (owner.source != KernelOwner::Source::Named)
        return;
    Put32(bytes, static_cast<std::uint32_t>(owner.pid));
    Put32(bytes, owner.uid);
    const std::span<const std::uint8_t> name = BytesOf(owner.name, MaximumName);
    bytes.push_back(static_cast<std::uint8_t>(name.size()));
    PutBytes(bytes, name);
}

std::size_t OwnerLength(const KernelOwner& owner) {
    return owner.source == KernelOwner::Source::Named
               ? NamedOwnerLength + std::min(owner.name.size(), MaximumName)
               : 1;
}

// The owner at offset, moving offset past it; nullopt when no writer makes these bytes.
std::optional<KernelOwner> TakeOwner(std::span<const std::uint8_t> bytes, std::size_t& offset) {
    if (offset >= bytes.size() || bytes[offset] > std::uint8_t(KernelOwner::Source::Named))
        return std::nullopt;
    KernelOwner owner;
    owner.source = static_cast<KernelOwner::Source>(bytes[offset++]);
    if (owner.source != KernelOwner::Source::Named)
        return owner;
    if (bytes.size() - offset < NamedOwnerLength - 1)
        return std::nullopt;
    owner.pid = static_cast<std::int32_t>(Get32(bytes, offset));
    owner.uid = Get32(bytes, offset + 4);
    const std::size_t nameLength = bytes[offset + 8];
    offset += NamedOwnerLength - 1;
    if (bytes.size() - offset < nameLength)
        return std::nullopt;
    owner.name = TextOf(bytes.subspan(offset, nameLength));
    offset += nameLength;
    return owner;
}

// The body's length is within what its kind allows: exact for the fixed ones.
bool Fits(Kind kind, std::uint32_t length) {
    switch (kind) {
    case LinkKind:
        return length == 4;
    case FrameKind:
        return length >= TimeLength + 2 && length - TimeLength <= MaximumOwners + MaximumFrame;
    case StatisticsKind:
        return length == 8;
    case FailureKind:
        return length <= MaximumFailure;
    case OwnersKind:
        return length <= MaximumFailure;
    }
    return false;
}

std::optional<Message> Decode(const Body& body) {
    switch (body.kind) {
    case LinkKind:
        return Link{static_cast<std::int32_t>(Get32(body.bytes, 0))};
    case FrameKind: {
        std::size_t offset = TimeLength;
        const std::optional<KernelOwner> sender = TakeOwner(body.bytes, offset);
        const std::optional<KernelOwner> receiver =
            sender ? TakeOwner(body.bytes, offset) : std::nullopt;
        if (!receiver || body.bytes.size() - offset > MaximumFrame)
            return std::nullopt;
        return Frame{
            CaptureTime(std::chrono::microseconds(static_cast<std::int64_t>(Get64(body.bytes, 0)))),
            body.bytes.subspan(offset), DatagramOwners{*sender, *receiver}};
    }
    case StatisticsKind:
        return Statistics{Get32(body.bytes, 0), Get32(body.bytes, 4)};
    case OwnersKind:
        return Owners{TextOf(body.bytes)};
    case FailureKind:
        break;
    }
    return Failure{TextOf(body.bytes)};
}

} // namespace

void Write(const Message& message, std::vector<std::uint8_t>& bytes) {
    if (const auto* link = std::get_if<Link>(&message)) {
        PutHeader(bytes, LinkKind, 4);
        Put32(bytes, static_cast<std::uint32_t>(link->type));
    } else if (const auto* frame = std::get_if<Frame>(&message)) {
        const std::span<const std::uint8_t> kept = Cut(frame->bytes, MaximumFrame);
        PutHeader(bytes, FrameKind,
                  TimeLength + OwnerLength(frame->owners.sender) +
                      OwnerLength(frame->owners.receiver) + kept.size());
        Put64(bytes, static_cast<std::uint64_t>(frame->captured.time_since_epoch().count()));
        PutOwner(bytes, frame->owners.sender);
        PutOwner(bytes, frame->owners.receiver);
        PutBytes(bytes, kept);
    } else if (const auto* owners = std::get_if<Owners>(&message)) {
        const std::span<const std::uint8_t> kept = BytesOf(owners->unavailable, MaximumFailure);
        PutHeader(bytes, OwnersKind, kept.size());
        PutBytes(bytes, kept);
    } else if (const auto* statistics = std::get_if<Statistics>(&message)) {
        PutHeader(bytes, StatisticsKind, 8);
        Put32(bytes, statistics->received);
        Put32(bytes, statistics->dropped);
    } else {
        const std::span<const std::uint8_t> kept =
            BytesOf(std::get<Failure>(message).reason, MaximumFailure);
        PutHeader(bytes, FailureKind, kept.size());
        PutBytes(bytes, kept);
    }
}

Parsed Read(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < HeaderLength)
        return {};
    const std::uint32_t kind = Get32(bytes, 0);
    const std::uint32_t length = Get32(bytes, 4);
    if (kind < LinkKind || kind > OwnersKind || !Fits(static_cast<Kind>(kind), length))
        return {Parsed::Status::Garbled, {}, 0};
    if (bytes.size() - HeaderLength < length)
        return {};
    std::optional<Message> message =
        Decode({static_cast<Kind>(kind), bytes.subspan(HeaderLength, length)});
    if (!message)
        return {Parsed::Status::Garbled, {}, 0};
    return {Parsed::Status::Complete, *message, HeaderLength + length};
}

} // namespace CaptureStream

} // namespace talvane
