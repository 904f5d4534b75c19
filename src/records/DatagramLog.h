#pragma once

#include "PcapngFormat.h"
#include "PrivateFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace talvane {

// The whole datagram of every record, one pcapng packet block after another in one file beside
// the record files, so that an export copies the blocks as they are. The file stays open: a
// datagram costs one write, and where each block lies is kept in memory.
class DatagramLog {
public:
    // An empty path keeps nothing, and every block reads back as missing.
    explicit DatagramLog(std::filesystem::path path) : path(std::move(path)) {}

    int Count() const { return static_cast<int>(blocks.size()); }

    // Appends the block of the next record. False when it could not be written: that record then
    // has no block, and the file holds no part of it.
    bool Append(const Pcapng::PacketBlock& block);

    // Forgets every block and empties the file: the next block is block 0.
    void Clear();

    // The bytes of block index as they were written; nullopt when it is missing or the file no
    // longer holds it whole.
    std::optional<std::vector<std::uint8_t>> Block(int index) const;

private:
    struct Place {
        off_t offset;
        // 0 for a block that was never written.
        std::uint32_t length;
    };

    bool Open();

    std::filesystem::path path;
    std::optional<PrivateFile> file;
    off_t end = 0;
    std::vector<Place> blocks;
    // Kept between datagrams, so that encoding one allocates nothing.
    std::vector<std::uint8_t> encoded;
};

} // namespace talvane
