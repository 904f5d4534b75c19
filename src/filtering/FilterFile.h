#pragma once

#include "FilterSettings.h"
#include "base/FileReplacement.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace talvane {

// The ".ft" settings file: five little-endian 32-bit switches, then the six texts, each behind a
// length prefix (one byte below 255; 0xFF and 16 bits below 65534; 0xFF, 0xFFFF and 32 bits
// beyond).
class FilterFile {
public:
    enum class ReadResult { Loaded, Missing, Damaged };
    // What loading a file means to the user: whether the settings were replaced, and the text the
    // caller must show (empty when there is nothing to say).
    struct LoadReport {
        bool loaded = false;
        std::string message;
    };

    // No settings file the program writes is larger: six fields of at most 65536 alternatives
    // (every port once), each no longer than a dotted address and its separator, behind the
    // switches and the longest length prefixes. Anything larger is not a settings file.
    static constexpr std::size_t MaximumFileSize = 5 * 4 + 6 * (7 + 65536 * 16);

    static std::string Encode(const FilterSettings& settings);
    // Fails for bytes that end before the last text or whose length prefix runs past the end.
    // Bytes after the last text are ignored.
    static std::optional<FilterSettings> Decode(std::string_view bytes);

    // Replaces the file whole, as FileReplacement does: the old settings stay until the new ones
    // are on disk, and a link or anything but a regular file at path is refused.
    static FileReplacement::Outcome Save(const std::filesystem::path& path,
                                         const FilterSettings& settings);
    // Leaves settings untouched unless the whole file was read. A FIFO, a device, a directory or
    // a file larger than MaximumFileSize is damaged, and found so without waiting or reading it.
    static ReadResult Load(const std::filesystem::path& path, FilterSettings& settings);
    // Loads as Load does; a damaged file is reported with its path, a missing one silently.
    static LoadReport LoadAndReport(const std::filesystem::path& path, FilterSettings& settings);
};

} // namespace talvane
