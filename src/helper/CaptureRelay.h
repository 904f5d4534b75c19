#pragma once

#include "CaptureHandle.h"
#include "KernelOwners.h"
#include "capture/CaptureStream.h"
#include "capture/SocketLedger.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace talvane {

// Writes a capture to the window's stream: its link type and whether the kernel names owners,
// then every frame with who carried it and the kernel's counts as they change, until the window
// is done with it or the capture fails. The window says nothing on the stream but its end: any
// byte, or the end itself, stops the relay.
class CaptureRelay {
public:
    explicit CaptureRelay(int stream);

    // The exit status: 0 when the window ended the stream, 1 when the capture failed. Without
    // kernel programs, ownersUnavailable says why, and the window looks every owner up.
    int Run(CaptureHandle& capture, KernelOwners* owners, std::string_view ownersUnavailable);
    // Tells the window why there is no capture (or no more of it), and standard error too.
    void Fail(std::string_view reason);

private:
    // Writes what waits, whole; false when the window is gone.
    bool Send();
    // Adds the kernel's counts to what waits, where they changed.
    void SendCounts(const CaptureHandle& capture);
    // Gives the ledger what the kernel programs told since the last time.
    void ReadOwners(KernelOwners& owners);
    // Adds the frame, with who carried it, to what waits.
    void SendFrame(CaptureStream::Frame frame, int linkType, KernelOwners* owners,
                   SocketLedger::Clock::time_point now);

    int stream;
    std::vector<std::uint8_t> pending;
    CaptureStream::Statistics sent;
    SocketLedger ledger;
};

} // namespace talvane
