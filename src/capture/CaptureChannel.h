#pragma once

#include "CaptureSource.h"
#include "CapturedDatagram.h"
#include "HelperProcess.h"
#include "base/UniqueFd.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace talvane {

// The window's end of a capture's stream: reads the helper's messages and gives their datagrams,
// taking the stream as untrusted input. One thread reads; any thread may break its read and ask
// for the counts.
class CaptureChannel {
public:
    enum class ReadResult {
        Datagram,
        // A frame without an IPv4 datagram, or the kernel's counts.
        Nothing,
        // BreakLoop was called.
        Broken,
        // The stream ended: the helper failed or went, or its stream broke off or was garbled.
        // EndReason says which; every later read ends so.
        Ended,
        // What was read is taken; the next needs the stream, which a read told not to wait
        // leaves alone.
        Waiting,
    };

    struct Opened {
        // Null when the capture did not open.
        std::unique_ptr<CaptureChannel> channel;
        std::string error;
    };

    // Reads the stream's opening, its link type and whether the kernel names owners, waiting as
    // long as opening a capture may take; when the stream says why the capture could not open, or
    // says nothing sensible, the capture is not opened and the helper is ended.
    static Opened Open(UniqueFd stream, std::unique_ptr<HelperProcess> helper = {});

    // Closes the stream, which ends the helper, and waits for it.
    ~CaptureChannel();

    CaptureChannel(const CaptureChannel&) = delete;
    CaptureChannel& operator=(const CaptureChannel&) = delete;

    // Blocks until the stream brings something, unless told not to wait. A datagram views into
    // the channel and stays valid until a read that waits.
    ReadResult Read(CapturedDatagram& datagram, bool wait);
    // Ends a blocked Read, and every later one, with Broken; safe from any thread.
    void BreakLoop();

    // The helper's latest counts.
    CaptureSource::Statistics Statistics() const;
    // Why the kernel does not name the datagrams' owners; empty when it does.
    const std::string& OwnersUnavailable() const { return ownersUnavailable; }
    // Why the stream ended, once Read said so.
    const std::string& EndReason() const { return endReason; }

private:
    enum class Fill { More, Closed, Failed, TimedOut };

    CaptureChannel(UniqueFd stream, std::unique_ptr<HelperProcess> helper);

    // Reads what the stream has into the buffer, waiting at most timeoutMs when it is not -1. A
    // failure leaves its reason in errno.
    Fill FillBuffer(int timeoutMs);
    ReadResult End(std::string reason);

    std::unique_ptr<HelperProcess> helper;
    UniqueFd stream;
    std::int32_t linkType = 0;
    std::string ownersUnavailable;
    // Bytes read and not yet taken: [begin, end) of buffer.
    std::vector<std::uint8_t> buffer;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::atomic<bool> broken{false};
    bool ended = false;
    std::string endReason;
    std::atomic<std::uint32_t> received{0};
    std::atomic<std::uint32_t> dropped{0};
};

} // namespace talvane
