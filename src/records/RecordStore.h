#pragma once

#include "DatagramLog.h"
#include "RecordFile.h"
#include "capture/PacketBuffer.h"
#include "capture/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace talvane {

// Numbers the accepted datagrams and keeps each one as a file in the record folder: once the next
// datagram has arrived, the file is the only place that still holds a record. Beside the files,
// the datagram log keeps every record's whole datagram for export.
class RecordStore {
public:
    // The list never holds more: the next datagram clears it first.
    static constexpr int Capacity = 9999;

    // An empty directory keeps no files: the record folder could not be made safely. The records
    // are counted all the same and read back as missing.
    explicit RecordStore(std::filesystem::path directory);

    int Count() const { return count; }
    std::uint32_t TotalBytes() const { return totalBytes; }
    bool Full() const { return count == Capacity; }

    struct Stored {
        int index;
        // The record's file or datagram could not be written, and the record before it was
        // kept whole (or there was none): a full disk or a lost folder is told once, and again
        // only after a write worked.
        bool failureBegan;
    };
    // Writes the file of the next index and logs its datagram, with the owner and direction of
    // the header. A record whose file or datagram fails is counted all the same, and reading
    // back what failed finds nothing.
    Stored Store(const RecordHeader& header, std::span<const std::uint8_t> payload,
                 std::span<const std::uint8_t> datagram, CaptureTime captured);

    // Starts again at index 0 and empties the datagram log. The files stay; later records
    // overwrite them one by one.
    void Clear();

    std::filesystem::path FileOf(int index) const;
    std::optional<Record> Read(int index) const;
    const DatagramLog& Datagrams() const { return datagrams; }

private:
    // A record's file name, its index.
    struct FileName {
        char text[12];
    };
    static FileName NameOf(int index);

    std::filesystem::path directory;
    // The files are made and read in the folder opened once: a name is found without walking
    // the whole path for every record, and the folder cannot be swapped under the program.
    UniqueFd folder;
    DatagramLog datagrams;
    // Kept between datagrams, so that the comment of an owned one seldom allocates.
    std::string comment;
    int count = 0;
    bool failing = false;
    // Wraps like the figure the window shows.
    std::uint32_t totalBytes = 0;
};

} // namespace talvane
