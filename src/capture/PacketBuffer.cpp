#include "PacketBuffer.h"

#include <algorithm>
#include <cstring>

namespace talvane {

void PacketBuffer::Clear() {
    if (length > 0)
        std::memset(data.data(), 0, static_cast<std::size_t>(length));
    length = 0;
}

void PacketBuffer::Assign(std::span<const std::uint8_t> datagram) {
    const std::size_t size = std::min(datagram.size(), Capacity);
    Clear();
    std::memcpy(data.data(), datagram.data(), size);
    length = static_cast<std::int32_t>(size);
}

} // namespace talvane
