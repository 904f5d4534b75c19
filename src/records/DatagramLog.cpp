#include "DatagramLog.h"

#include <cerrno>
#include <fcntl.h>
#include <tuple>
#include <unistd.h>

namespace talvane {

namespace {

bool WriteAllAt(int fd, std::span<const std::uint8_t> bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t written = pwrite(fd, bytes.data(), bytes.size(), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
        offset += written;
    }
    return true;
}

} // namespace

bool DatagramLog::Open() {
    if (!file && !path.empty()) {
        // Whatever a file of that name held is no block of this log.
        file = PrivateFile::Open(path, O_RDWR | O_TRUNC);
        end = 0;
    }
    return file.has_value();
}

bool DatagramLog::Append(const Pcapng::PacketBlock& block) {
    Pcapng::WritePacketBlock(block, encoded);
    if (!Open() || !WriteAllAt(file->fd.Get(), encoded, end)) {
        // A block cut short by a full disk is taken off again; should that fail, the next block
        // is written over what is left of it.
        if (file)
            std::ignore = ftruncate(file->fd.Get(), end);
        blocks.push_back({end, 0});
        return false;
    }
    blocks.push_back({end, static_cast<std::uint32_t>(encoded.size())});
    end += static_cast<off_t>(encoded.size());
    return true;
}

void DatagramLog::Clear() {
    blocks.clear();
    end = 0;
    if (file && ftruncate(file->fd.Get(), 0) != 0)
        // Opened again, and so emptied, by the next block.
        file.reset();
}

std::optional<std::vector<std::uint8_t>> DatagramLog::Block(int index) const {
    if (!file || index < 0 || index >= Count())
        return std::nullopt;
    const Place& place = blocks[static_cast<std::size_t>(index)];
    if (place.length == 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(place.length);
    std::size_t size = 0;
    while (size < bytes.size()) {
        const ssize_t count = pread(file->fd.Get(), bytes.data() + size, bytes.size() - size,
                                    place.offset + static_cast<off_t>(size));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return std::nullopt;
        size += static_cast<std::size_t>(count);
    }
    if (!Pcapng::ReadPacketBlock(bytes))
        return std::nullopt;
    return bytes;
}

} // namespace talvane
