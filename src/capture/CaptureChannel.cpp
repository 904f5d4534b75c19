#include "CaptureChannel.h"

#include "CaptureStream.h"
#include "LinkFraming.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <variant>

namespace talvane {

namespace {

using Clock = std::chrono::steady_clock;

// Opening a capture asks the kernel for its buffer: a few milliseconds, far less than this.
constexpr auto OpeningWait = std::chrono::seconds(10);
// A message this long always fits behind what is unread.
constexpr std::size_t MaximumMessage = CaptureStream::MaximumMessage;
// Many messages a read: a burst's frames come in a few system calls.
constexpr std::size_t BufferBytes = 4 * MaximumMessage;

const char* const Garbled = "the capture helper's stream is garbled";

} // namespace

CaptureChannel::CaptureChannel(UniqueFd stream, std::unique_ptr<HelperProcess> helper)
    : helper(std::move(helper)), stream(std::move(stream)), buffer(BufferBytes) {}

CaptureChannel::~CaptureChannel() {
    // The helper stops when its stream closes; only then is it waited for.
    stream.Close();
    helper.reset();
}

CaptureChannel::Opened CaptureChannel::Open(UniqueFd stream,
                                            std::unique_ptr<HelperProcess> helper) {
    std::unique_ptr<CaptureChannel> channel(
        new CaptureChannel(std::move(stream), std::move(helper)));
    const Clock::time_point deadline = Clock::now() + OpeningWait;
    bool linked = false;
    for (;;) {
        const CaptureStream::Parsed parsed = CaptureStream::Read(
            std::span(channel->buffer).subspan(channel->begin, channel->end - channel->begin));
        if (parsed.status == CaptureStream::Parsed::Status::Garbled)
            return {nullptr, Garbled};
        if (parsed.status == CaptureStream::Parsed::Status::Complete) {
            channel->begin += parsed.length;
            if (const auto* link = std::get_if<CaptureStream::Link>(&parsed.message);
                link && !linked) {
                channel->linkType = link->type;
                linked = true;
                continue;
            }
            if (const auto* owners = std::get_if<CaptureStream::Owners>(&parsed.message);
                owners && linked) {
                channel->ownersUnavailable = owners->unavailable;
                return {std::move(channel), {}};
            }
            if (const auto* failure = std::get_if<CaptureStream::Failure>(&parsed.message))
                return {nullptr, std::string(failure->reason)};
            return {nullptr, "the capture helper's stream does not begin with its link type and "
                             "owners"};
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        switch (channel->FillBuffer(static_cast<int>(std::max<long>(left.count(), 0)))) {
        case Fill::More:
            continue;
        case Fill::TimedOut:
            return {nullptr, "the capture helper did not answer within 10 s"};
        case Fill::Closed:
            return {nullptr, "the capture helper ended without saying why"};
        case Fill::Failed:
            return {nullptr,
                    std::string("reading the capture helper's stream: ") + std::strerror(errno)};
        }
    }
}

CaptureChannel::ReadResult CaptureChannel::Read(CapturedDatagram& datagram, bool wait) {
    for (;;) {
        if (broken.load())
            return ReadResult::Broken;
        if (ended)
            return ReadResult::Ended;
        const CaptureStream::Parsed parsed =
            CaptureStream::Read(std::span(buffer).subspan(begin, end - begin));
        if (parsed.status == CaptureStream::Parsed::Status::Garbled)
            return End(Garbled);
        if (parsed.status == CaptureStream::Parsed::Status::Complete) {
            begin += parsed.length;
            if (const auto* frame = std::get_if<CaptureStream::Frame>(&parsed.message)) {
                const std::span<const std::uint8_t> bytes =
                    LinkFraming::Ipv4Datagram(linkType, frame->bytes);
                if (bytes.empty())
                    return ReadResult::Nothing;
                // A segmentation offload frame may carry more than one datagram can hold.
                datagram = {bytes.first(std::min(bytes.size(), MaximumDatagram)), frame->captured,
                            frame->owners};
                return ReadResult::Datagram;
            }
            if (const auto* counts = std::get_if<CaptureStream::Statistics>(&parsed.message)) {
                received.store(counts->received);
                dropped.store(counts->dropped);
                return ReadResult::Nothing;
            }
            if (const auto* failure = std::get_if<CaptureStream::Failure>(&parsed.message))
                return End(std::string(failure->reason));
            return End(Garbled);
        }
        if (!wait)
            return ReadResult::Waiting;
        const Fill filled = FillBuffer(-1);
        if (filled == Fill::More)
            continue;
        if (broken.load())
            return ReadResult::Broken;
        if (filled == Fill::Failed)
            return End(std::string("reading the capture helper's stream: ") + std::strerror(errno));
        return End(begin == end ? "the capture helper ended"
                                : "the capture helper's stream broke off within a message");
    }
}

void CaptureChannel::BreakLoop() {
    broken.store(true);
    // Ends a blocked read on the other thread; the helper sees its stream end and stops.
    shutdown(stream.Get(), SHUT_RDWR);
}

CaptureSource::Statistics CaptureChannel::Statistics() const {
    return {received.load(), dropped.load()};
}

CaptureChannel::Fill CaptureChannel::FillBuffer(int timeoutMs) {
    // The unread part of a message is moved to the front where the rest would not fit behind it.
    if (buffer.size() - begin < MaximumMessage) {
        std::memmove(buffer.data(), buffer.data() + begin, end - begin);
        end -= begin;
        begin = 0;
    }
    if (timeoutMs >= 0) {
        pollfd ready{stream.Get(), POLLIN, 0};
        const int polled = poll(&ready, 1, timeoutMs);
        if (polled == 0)
            return Fill::TimedOut;
        if (polled < 0)
            return errno == EINTR ? Fill::More : Fill::Failed;
    }
    const ssize_t count = read(stream.Get(), buffer.data() + end, buffer.size() - end);
    if (count > 0) {
        end += static_cast<std::size_t>(count);
        return Fill::More;
    }
    if (count < 0)
        return errno == EINTR ? Fill::More : Fill::Failed;
    return Fill::Closed;
}

CaptureChannel::ReadResult CaptureChannel::End(std::string reason) {
    ended = true;
    endReason = std::move(reason);
    return ReadResult::Ended;
}

} // namespace talvane
