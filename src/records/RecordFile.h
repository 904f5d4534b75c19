#pragma once

#include "RecordEntry.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvane {

// The eight header entries, in file order: the texts of a record as its file holds them.
struct RecordHeader {
    std::string processName;     // entry 0: owner of the local port, "" when none found
    std::string direction;       // entry 1: "send", "receive" or ""
    std::string sourceIp;        // entry 2
    std::string sourcePort;      // entry 3, "" for protocols without ports
    std::string protocolName;    // entry 4: "TCP", "UDP", "ICMP", "IGMP"
    std::string destinationIp;   // entry 5
    std::string destinationPort; // entry 6
    std::string timeText;        // entry 7: "%Y%m%d %H:%M:%S", 17 chars
    bool operator==(const RecordHeader&) const = default;
};

struct Record {
    RecordHeader header;
    std::vector<std::uint8_t> payload;
    bool operator==(const Record&) const = default;
};

// A record file: byte 0 is the header length H, then the eight entries, each a length byte that
// counts itself followed by the text; the payload runs from offset H to the end of the file.
namespace RecordFile {

// The process name keeps at most this many bytes, every other entry at most OtherEntryLimit, so
// that H = 1 + (1 + 63) + 7 * (1 + 23) = 233 always fits its byte. The other entries are at most
// 17 bytes by construction; their cut only guards the byte.
inline constexpr std::size_t ProcessNameLimit = 63;
inline constexpr std::size_t OtherEntryLimit = 23;

// The largest file the writer makes: the IPv4 payload limit behind a full header.
inline constexpr std::size_t MaximumFileSize = 65535 + 255;

// The texts a record file holds of the entry.
RecordHeader Texts(const RecordEntry& entry);

// The header bytes only, texts cut as above at a UTF-8 character boundary.
std::string Encode(const RecordHeader& header);

// Never reads past the bytes given, whatever they hold: entries are read only inside the header
// region (up to H or the end), a text running past that region is clipped, a length byte of 0
// counts as an empty entry, and entries beyond the region are empty. The payload is every byte
// from H on; byte 0 belongs to the header even when it says H = 0.
Record Decode(std::span<const std::uint8_t> bytes);

// Creates or truncates the file, private to the user; false on any failure, a symbolic link at
// path included. Read does not follow one either. A failed write, a full disk included, leaves no
// file at path, neither part of this record nor what the file held before.
bool Write(const std::filesystem::path& path, const RecordHeader& header,
           std::span<const std::uint8_t> payload);
// The same for the file name in the folder open as descriptor folder, as openat looks it up, with
// the header as Encode gave it.
bool Write(int folder, const char* name, std::string_view encodedHeader,
           std::span<const std::uint8_t> payload);

// Reads at most MaximumFileSize bytes; nullopt when the file cannot be opened or read.
std::optional<Record> Read(const std::filesystem::path& path);
std::optional<Record> Read(int folder, const char* name);

} // namespace RecordFile

} // namespace talvane
