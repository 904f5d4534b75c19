#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace talvane {

// A capture file as libpcap reads it, so that what the program writes is judged by the library
// other tools use.
struct CaptureFileReader {
    struct Packet {
        // Microseconds since the epoch.
        std::int64_t time;
        std::uint32_t originalLength;
        std::vector<std::uint8_t> bytes;
    };

    // Empty when libpcap read the whole file; its complaint otherwise.
    std::string error;
    int linkType = -1;
    std::vector<Packet> packets;

    static CaptureFileReader Read(const std::filesystem::path& path);
};

} // namespace talvane
