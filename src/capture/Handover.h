#pragma once

#include "CapturedDatagram.h"

#include <span>
#include <string>

namespace talvane {

// How the capture worker gives the window what it has read. A capture block brings its datagrams
// together, so the worker hands over all it holds at once: each arrives at the window's sink and
// is counted, in turn, and HandOver returns only once the last is handled, so their bytes need no
// lock.
class Handover {
public:
    virtual ~Handover() = default;
    virtual void HandOver(std::span<const CapturedDatagram> datagrams) = 0;
    // The capture ended by itself; nothing more comes from it.
    virtual void CaptureEnded(const std::string& reason) = 0;
};

} // namespace talvane
