// Any bytes read back from the datagram log as a pcapng packet block: the reader stays inside
// them, and a block it accepts is written again to the same fields.

#include "records/PcapngFormat.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace talvane;

namespace {

bool Inside(std::span<const std::uint8_t> part, const std::uint8_t* begin, std::size_t size) {
    return part.empty() || (part.data() >= begin && part.data() + part.size() <= begin + size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exactly sized copy, so that a read past the block's bytes is caught.
    const auto bytes = std::make_unique<std::uint8_t[]>(size);
    std::copy(data, data + size, bytes.get());
    const std::optional<Pcapng::PacketBlock> block = Pcapng::ReadPacketBlock({bytes.get(), size});
    if (!block)
        return 0;
    const std::span<const std::uint8_t> comment(
        reinterpret_cast<const std::uint8_t*>(block->comment.data()), block->comment.size());
    if (!Inside(block->datagram, bytes.get(), size) || !Inside(comment, bytes.get(), size) ||
        block->datagram.size() > MaximumDatagram)
        std::abort();

    std::vector<std::uint8_t> written;
    Pcapng::WritePacketBlock(*block, written);
    const std::optional<Pcapng::PacketBlock> again = Pcapng::ReadPacketBlock(written);
    if (!again || again->captured != block->captured || again->direction != block->direction ||
        again->comment != block->comment || again->pid != block->pid ||
        !std::ranges::equal(again->datagram, block->datagram))
        std::abort();
    return 0;
}
