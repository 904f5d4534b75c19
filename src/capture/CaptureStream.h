#pragma once

#include "CaptureSource.h"
#include "CapturedDatagram.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

namespace talvane {

// What the capture helper tells the window, one message after another on a byte stream: first
// the capture's link type (or why it could not open), then its frames and, from time to time,
// the kernel's counts; a failure, if one comes, is the last message. Right after the link type it
// says whether the kernel names each frame's owners. Each message is its kind and
// its body's length (32 bits each, little-endian), then the body.
namespace CaptureStream {

// The largest frame a stream carries: the largest datagram behind any link header the window
// strips. The helper captures no more of a frame than this.
inline constexpr std::size_t MaximumFrame = MaximumDatagram + 64;
// A failure's reason is one line for the user, not a document.
inline constexpr std::size_t MaximumFailure = 1024;
// A program's name is a file name.
inline constexpr std::size_t MaximumName = 255;
// The longest message: a frame of the largest size with two named owners of the longest names,
// behind its kind, length and time stamp.
inline constexpr std::size_t MaximumMessage = 8 + 8 + 2 * (10 + MaximumName) + MaximumFrame;

// The libpcap link-layer type of the frames that follow.
struct Link {
    std::int32_t type = 0;
};
// Whether the kernel names the owners of the frames that follow; when it cannot, why not.
struct Owners {
    std::string_view unavailable;
};
struct Frame {
    CaptureTime captured{};
    std::span<const std::uint8_t> bytes;
    DatagramOwners owners{};
};
// The kernel's counts since the capture opened.
using Statistics = CaptureSource::Statistics;
// The capture could not open, or failed; nothing follows.
struct Failure {
    std::string_view reason;
};
using Message = std::variant<Link, Owners, Frame, Statistics, Failure>;

// Appends the message to bytes; a frame, name or reason longer than the stream carries is cut.
void Write(const Message& message, std::vector<std::uint8_t>& bytes);

struct Parsed {
    enum class Status {
        Complete,
        // The bytes end before the message does: more are needed.
        Incomplete,
        // No writer of this stream makes these bytes.
        Garbled,
    };
    Status status = Status::Incomplete;
    // For a complete message: it, viewing into the bytes, and how many bytes it took.
    Message message;
    std::size_t length = 0;
};

// The message at the start of bytes. Every length is checked before it is used: nothing outside
// bytes is read.
Parsed Read(std::span<const std::uint8_t> bytes);

} // namespace CaptureStream

} // namespace talvane
