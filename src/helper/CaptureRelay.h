#pragma once

#include "CaptureHandle.h"
#include "capture/CaptureStream.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace talvane {

// Writes a capture to the window's stream: its link type, then every frame and the kernel's
// counts as they change, until the window is done with it or the capture fails. The window says
// nothing on the stream but its end: any byte, or the end itself, stops the relay.
class CaptureRelay {
public:
    explicit CaptureRelay(int stream) : stream(stream) {}

    // The exit status: 0 when the window ended the stream, 1 when the capture failed.
    int Run(CaptureHandle& capture);
    // Tells the window why there is no capture (or no more of it), and standard error too.
    void Fail(std::string_view reason);

private:
    // Writes what waits, whole; false when the window is gone.
    bool Send();
    // Adds the kernel's counts to what waits, where they changed.
    void SendCounts(const CaptureHandle& capture);

    int stream;
    std::vector<std::uint8_t> pending;
    CaptureStream::Statistics sent;
};

} // namespace talvane
