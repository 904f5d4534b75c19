#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Names the local process that owns a local TCP or UDP port, from the kernel's socket tables in
// /proc/net and the open files of each process. Used on the window's thread for every monitored
// packet, so both are cached and every cached owner is verified before it is named.
class PortOwnerLookup {
public:
    // A flood of packets to a port nobody visible owns would otherwise re-read the socket tables
    // and rescan every process for each packet; 200 ms keeps that to five times a second.
    static constexpr std::chrono::milliseconds DefaultRebuildInterval{200};

    // Reading the TCP tables walks the kernel's whole connection hash, about a millisecond on a
    // machine with much memory, so a snapshot serves lookups; this bounds how long a socket that
    // outranks a cached one on the same port can go unseen.
    static constexpr std::chrono::seconds TableMaxAge{1};

    explicit PortOwnerLookup(
        std::chrono::steady_clock::duration minRebuildInterval = DefaultRebuildInterval);

    // port: the local port in host byte order. name is written only when an owner is found.
    // Returns true when a process with a non-empty name owns the port.
    bool Lookup(std::uint16_t port, std::string& name);

    // The executable file name of process `pid`: name is set to "" first. Returns !name.empty().
    static bool ProcessName(int pid, std::string& name);

    // Takes a new snapshot of the TCP, TCP6, UDP and UDP6 tables.
    void ReadTables();
    // Rescans the open files of every process for sockets.
    void ScanOwners();

    std::size_t TableRowCount() const { return tableRows.size(); }
    std::size_t OwnedSocketCount() const { return owners.size(); }

private:
    using Clock = std::chrono::steady_clock;

    struct Row {
        std::uint16_t port = 0;
        ino_t inode = 0;
    };

    struct Owner {
        int pid = 0;
        int fd = 0;
    };

    bool NameFirstOwner(std::uint16_t port, std::string& name);
    bool NameOwner(ino_t inode, std::string& name);
    bool Allowed(const std::optional<Clock::time_point>& last, Clock::time_point now) const;
    void ReadTable(const char* path);
    bool ReadFile(const char* path);

    // Sorted by port; rows of one port keep the order of the tables.
    std::vector<Row> tableRows;
    std::unordered_map<ino_t, Owner> owners;
    Clock::duration rebuildInterval;
    std::optional<Clock::time_point> tablesRead;
    std::optional<Clock::time_point> ownersScanned;
    std::vector<char> buffer;
    std::size_t bufferLength = 0;
    std::string candidate;
};
