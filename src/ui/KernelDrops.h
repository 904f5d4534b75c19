#pragma once

#include <cstdint>
#include <optional>

namespace talvane {

// The datagrams the kernel dropped while monitoring ran, over every capture of the run. The
// kernel counts a capture's drops from its opening on, also while nobody reads it (before the
// first begin, in a pause, after a stop) and its buffer fills with what is never shown; only
// what it drops while monitoring runs is lost to the user. A count is nullopt where there is no
// capture to ask.
class KernelDrops {
public:
    // Monitoring begins, or goes on with a new capture, whose count is now dropped.
    void Begin(std::optional<std::uint32_t> dropped);
    // Monitoring pauses or stops, or its capture is about to close, with the count now dropped:
    // the drops since Begin are kept.
    void End(std::optional<std::uint32_t> dropped);
    // The drops so far, the running capture's count being dropped now.
    std::uint64_t Total(std::optional<std::uint32_t> dropped) const;

private:
    std::uint64_t ended = 0;
    // The running capture's count at Begin; nullopt while monitoring does not run.
    std::optional<std::uint32_t> atBegin;
};

} // namespace talvane
