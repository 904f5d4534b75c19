#pragma once

#include "DatagramLog.h"
#include "RecordEntry.h"
#include "RecordFile.h"
#include "base/UniqueFd.h"
#include "capture/Ipv4Address.h"
#include "capture/SocketOwner.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talvane {

// The records of the accepted datagrams: numbers each one, keeps its entry in memory and its
// bytes as a file in the record folder. Beside the files, the datagram log keeps every record's
// whole datagram for export. The files and the log are written at the display's beat, all the
// records since the last one together: each write then finds the system's paths warm from the one
// before, where a write at every hand-over found them cold after each pause of the capture. Until
// then a record's bytes are in memory; readers flush first.
class RecordBook {
public:
    // The list never holds more: the next datagram clears it first.
    static constexpr int Capacity = 9999;

    // An empty directory keeps no files: the record folder could not be made safely. The records
    // are counted all the same and their bytes read back as missing. owners names the process
    // behind a local socket where the kernel did not.
    RecordBook(std::filesystem::path directory, std::unique_ptr<OwnerSource> owners);

    // The address the capture is now on, and the name of the interface that holds it ("" for
    // none): the records from now on are seen from that address and were captured on that
    // interface, which an export names, whatever the address is by then.
    void Bind(const Ipv4Address& localAddress, const std::string& interfaceName);
    const Ipv4Address& LocalAddress() const { return localAddress; }
    // The interface an entry's interface number stands for.
    const std::string& InterfaceName(std::size_t interface) const { return interfaces[interface]; }

    int Count() const { return static_cast<int>(entries.size()); }
    std::uint32_t TotalBytes() const { return totalBytes; }
    bool Full() const { return Count() == Capacity; }

    // At most this much waits to be written: past it, Add writes what waits.
    static constexpr std::size_t QueueLimit = 1 << 20;

    // Makes the entry of the next index, seen from the address of the capture that took it and
    // kept with that capture's interface, and queues its file and its logged datagram. A record
    // whose file or datagram fails is counted all the same, and reading back what failed finds
    // nothing. True when Add wrote what waited and a failure began; see Flush.
    bool Add(const AcceptedPacket& packet);
    // Writes what waits. True when a record's file or datagram could not be written and the
    // record before it was kept whole (or there was none): a full disk or a lost folder is told
    // once, and again only after a write worked.
    bool Flush();

    // Starts again at index 0 and empties the datagram log; what waits is dropped with the
    // records. The files stay; later records overwrite them one by one.
    void Clear();

    const RecordEntry& Entry(int index) const { return entries[static_cast<std::size_t>(index)]; }
    // The newest record's payload, kept in memory whatever became of its file.
    std::span<const std::uint8_t> NewestPayload() const { return newestPayload; }
    std::filesystem::path FileOf(int index) const { return directory / NameOf(index).text; }
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
    std::unique_ptr<OwnerSource> owners;
    Ipv4Address localAddress;
    // Every interface bound so far, once each, and the one bound now.
    std::vector<std::string> interfaces{std::string()};
    std::size_t boundInterface = 0;
    // The interface each address was last bound with: a datagram that an earlier capture took
    // may come after the next bind.
    struct Binding {
        Ipv4Address address;
        std::size_t interface;
    };
    std::vector<Binding> bindings;

    std::vector<RecordEntry> entries;
    std::vector<std::uint8_t> newestPayload;
    struct Waiting {
        int index;
        std::string header;
        std::vector<std::uint8_t> payload;
    };
    std::vector<Waiting> waiting;
    std::size_t waitingBytes = 0;
    // Kept between datagrams, so that the comment of an owned one seldom allocates.
    std::string comment;
    bool failing = false;
    // Wraps like the figure the window shows.
    std::uint32_t totalBytes = 0;
};

} // namespace talvane
