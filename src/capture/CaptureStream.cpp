#include "CaptureStream.h"

#include "LittleEndian.h"

#include <algorithm>

namespace talvane {

namespace CaptureStream {

namespace {

using namespace LittleEndian;

enum Kind : std::uint32_t { LinkKind = 1, FrameKind = 2, StatisticsKind = 3, FailureKind = 4 };

constexpr std::size_t HeaderLength = 8;
constexpr std::size_t TimeLength = 8;

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

// The body's length is within what its kind allows: exact for the fixed ones.
bool Fits(Kind kind, std::uint32_t length) {
    switch (kind) {
    case LinkKind:
        return length == 4;
    case FrameKind:
        return length >= TimeLength && length - TimeLength <= MaximumFrame;
    case StatisticsKind:
        return length == 8;
    case FailureKind:
        return length <= MaximumFailure;
    }
    return false;
}

Message Decode(const Body& body) {
    switch (body.kind) {
    case LinkKind:
        return Link{static_cast<std::int32_t>(Get32(body.bytes, 0))};
    case FrameKind:
        return Frame{
            CaptureTime(std::chrono::microseconds(static_cast<std::int64_t>(Get64(body.bytes, 0)))),
            body.bytes.subspan(TimeLength)};
    case StatisticsKind:
        return Statistics{Get32(body.bytes, 0), Get32(body.bytes, 4)};
    case FailureKind:
        break;
    }
    return Failure{{reinterpret_cast<const char*>(body.bytes.data()), body.bytes.size()}};
}

} // namespace

void Write(const Message& message, std::vector<std::uint8_t>& bytes) {
    if (const auto* link = std::get_if<Link>(&message)) {
        PutHeader(bytes, LinkKind, 4);
        Put32(bytes, static_cast<std::uint32_t>(link->type));
    } else if (const auto* frame = std::get_if<Frame>(&message)) {
        const std::span<const std::uint8_t> kept = Cut(frame->bytes, MaximumFrame);
        PutHeader(bytes, FrameKind, TimeLength + kept.size());
        Put64(bytes, static_cast<std::uint64_t>(frame->captured.time_since_epoch().count()));
        PutBytes(bytes, kept);
    } else if (const auto* statistics = std::get_if<Statistics>(&message)) {
        PutHeader(bytes, StatisticsKind, 8);
        Put32(bytes, statistics->received);
        Put32(bytes, statistics->dropped);
    } else {
        const std::string_view reason = std::get<Failure>(message).reason;
        const std::span<const std::uint8_t> kept = Cut(
            {reinterpret_cast<const std::uint8_t*>(reason.data()), reason.size()}, MaximumFailure);
        PutHeader(bytes, FailureKind, kept.size());
        PutBytes(bytes, kept);
    }
}

Parsed Read(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < HeaderLength)
        return {};
    const std::uint32_t kind = Get32(bytes, 0);
    const std::uint32_t length = Get32(bytes, 4);
    if (kind < LinkKind || kind > FailureKind || !Fits(static_cast<Kind>(kind), length))
        return {Parsed::Status::Garbled, {}, 0};
    if (bytes.size() - HeaderLength < length)
        return {};
    return {Parsed::Status::Complete,
            Decode({static_cast<Kind>(kind), bytes.subspan(HeaderLength, length)}),
            HeaderLength + length};
}

} // namespace CaptureStream

} // namespace talvane
