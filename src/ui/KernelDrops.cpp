#include "KernelDrops.h"

namespace talvane {

namespace {

// The kernel's count is 32 bits wide and wraps.
std::uint32_t Since(std::optional<std::uint32_t> atBegin, std::optional<std::uint32_t> dropped) {
    return atBegin && dropped ? *dropped - *atBegin : 0;
}

} // namespace

void KernelDrops::Begin(std::optional<std::uint32_t> dropped) {
    atBegin = dropped;
}

void KernelDrops::End(std::optional<std::uint32_t> dropped) {
    ended += Since(atBegin, dropped);
    atBegin.reset();
}

std::uint64_t KernelDrops::Total(std::optional<std::uint32_t> dropped) const {
    return ended + Since(atBegin, dropped);
}

} // namespace talvane
