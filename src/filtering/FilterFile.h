#pragma once

#include "FilterSettings.h"

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

    static std::string Encode(const FilterSettings& settings);
    // Fails for bytes that end before the last text or whose length prefix runs past the end.
    // Bytes after the last text are ignored.
    static std::optional<FilterSettings> Decode(std::string_view bytes);

    // Creates or truncates the file; false when it cannot be written.
    static bool Save(const std::filesystem::path& path, const FilterSettings& settings);
    // Leaves settings untouched unless the whole file was read.
    static ReadResult Load(const std::filesystem::path& path, FilterSettings& settings);
    // Loads as Load does; a damaged file is reported with its path, a missing one silently.
    static LoadReport LoadAndReport(const std::filesystem::path& path, FilterSettings& settings);
};

} // namespace talvane
