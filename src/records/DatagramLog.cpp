#include "DatagramLog.h"

#include "base/AllBytes.h"

#include <cerrno>
#include <fcntl.h>
#include <tuple>
#include <unistd.h>

namespace talvane {

namespace {} // namespace

bool DatagramLog::Open() {
    if (!file && !path.empty()) {
        // Whatever a file of that name held is no block of this log.
        file = PrivateFile::Open(path, O_RDWR | O_TRUNC);
        end = 0;
    }
    return file.has_value();
}

bool DatagramLog::WriteAtEnd(std::span<const std::uint8_t> bytes) {
    if (Open() && AllBytes::WriteAt(file->fd.Get(), bytes, end))
        return true;
    // What a full disk cut short is taken off again; should that fail, the next write goes over
    // what is left of it.
    if (file)
        std::ignore = ftruncate(file->fd.Get(), end);
    return false;
}

void DatagramLog::Queue(const Pcapng::PacketBlock& block) {
    if (queuedLengths.empty())
        firstQueued = blocks.size();
    Pcapng::WritePacketBlock(block, encoded);
    queued.insert(queued.end(), encoded.begin(), encoded.end());
    queuedLengths.push_back(static_cast<std::uint32_t>(encoded.size()));
    blocks.push_back({0, 0});
}

void DatagramLog::WriteQueued() {
    if (queuedLengths.empty())
        return;
    const bool together = WriteAtEnd(queued);
    std::span<const std::uint8_t> rest(queued);
    for (std::size_t index = 0; index < queuedLengths.size(); ++index) {
        const std::span<const std::uint8_t> bytes = rest.first(queuedLengths[index]);
        rest = rest.subspan(bytes.size());
        // Where the blocks do not fit together, each that fits is written on its own.
        if (together || WriteAtEnd(bytes)) {
            blocks[firstQueued + index] = {end, static_cast<std::uint32_t>(bytes.size())};
            end += static_cast<off_t>(bytes.size());
        }
    }
    queued.clear();
    queuedLengths.clear();
}

bool DatagramLog::Holds(int index) const {
    return index >= 0 && index < Count() && blocks[static_cast<std::size_t>(index)].length > 0;
}

void DatagramLog::Clear() {
    blocks.clear();
    queued.clear();
    queuedLengths.clear();
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
    if (!AllBytes::ReadAt(file->fd.Get(), bytes, place.offset))
        return std::nullopt;
    if (!Pcapng::ReadPacketBlock(bytes))
        return std::nullopt;
    return bytes;
}

} // namespace talvane
