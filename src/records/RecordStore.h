#pragma once

#include "DatagramLog.h"
#include "RecordFile.h"
#include "base/UniqueFd.h"
#include "capture/CapturedDatagram.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talvane {

// Numbers the accepted datagrams and keeps each one as a file in the record folder. Beside the
// files, the datagram log keeps every record's whole datagram for export. The files and the log
// are written at the display's beat, all the records since the last one together: each write
// then finds the system's paths warm from the one before, where a write at every hand-over found
// them cold after each pause of the capture. Until then a record is in memory; readers flush
// first.
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

    // At most this much waits to be written: past it, Store writes what waits.
    static constexpr std::size_t QueueLimit = 1 << 20;

    struct Stored {
        int index;
        // Store wrote what waited, and a write failed; see Flush.
        bool failureBegan;
    };
    // Queues the file of the next index and its logged datagram, with its direction, the owner
    // and direction of the header as its comment and the owner's process id (0 when unknown). A
    // record whose file or datagram fails is counted all the same, and reading back what failed
    // finds nothing.
    Stored Store(const RecordHeader& header, Pcapng::Direction direction,
                 std::span<const std::uint8_t> payload, std::span<const std::uint8_t> datagram,
                 CaptureTime captured, std::int32_t pid = 0);
    // Writes what waits. True when a record's file or datagram could not be written and the
    // record before it was kept whole (or there was none): a full disk or a lost folder is told
    // once, and again only after a write worked.
    bool Flush();

    // Starts again at index 0 and empties the datagram log; what waits is dropped with the
    // records. The files stay; later records overwrite them one by one.
    void Clear();

    std::filesystem::path FileOf(int index) const;
    // What the file of a written record holds.
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
    struct Waiting {
        int index;
        std::string header;
        std::vector<std::uint8_t> payload;
    };
    std::vector<Waiting> waiting;
    std::size_t waitingBytes = 0;
    // Kept between datagrams, so that the comment of an owned one seldom allocates.
    std::string comment;
    int count = 0;
    bool failing = false;
    // Wraps like the figure the window shows.
    std::uint32_t totalBytes = 0;
};

} // namespace talvane
