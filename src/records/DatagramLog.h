#pragma once

#include "PcapngFormat.h"
#include "base/PrivateFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace talvane {

// The whole datagram of every record, one pcapng packet block after another in one file beside
// the record files, so that an export copies the blocks as they are. The file stays open, the
// blocks queued since the last write go to it in one write, and where each block lies is kept in
// memory.
class DatagramLog {
public:
    // An empty path keeps nothing, and every block reads back as missing.
    explicit DatagramLog(std::filesystem::path path) : path(std::move(path)) {}

    int Count() const { return static_cast<int>(blocks.size()); }

    // Queues the block of the next record; it is missing until written.
    void Queue(const Pcapng::PacketBlock& block);
    // Writes the queued blocks. A block that cannot be written, as on a full disk, stays missing
    // and the file holds no part of it; the others are written all the same.
    void WriteQueued();
    // Whether block index was written whole.
    bool Holds(int index) const;

    // Forgets every block, written or queued, and empties the file: the next block is block 0.
    void Clear();

    // The bytes of block index as they were written; nullopt when it is missing or the file no
    // longer holds it whole.
    std::optional<std::vector<std::uint8_t>> Block(int index) const;

private:
    struct Place {
        off_t offset;
        // 0 for a block that is missing.
        std::uint32_t length;
    };

    bool Open();
    // Writes bytes at the end; on failure the file is cut back to where it ended.
    bool WriteAtEnd(std::span<const std::uint8_t> bytes);

    std::filesystem::path path;
    std::optional<PrivateFile> file;
    off_t end = 0;
    std::vector<Place> blocks;
    // The blocks from firstQueued on, one after another; kept between writes, so that queueing
    // seldom allocates.
    std::vector<std::uint8_t> queued;
    std::size_t firstQueued = 0;
    std::vector<std::uint32_t> queuedLengths;
    std::vector<std::uint8_t> encoded;
};

} // namespace talvane
