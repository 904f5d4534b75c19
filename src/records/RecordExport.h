#pragma once

#include "RecordBook.h"
#include "base/FileReplacement.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace talvane {

// The text a record contributes to the saved export: its non-empty address, port, protocol and
// time texts as "label=text,", then who moved how many bytes, then the payload as "XX " hex.
// It holds no line break, so each record stays one line.
std::string RecordExportText(const RecordHeader& texts, std::span<const std::uint8_t> payload);

// Follows every record of a whole export, also one whose file could not be read.
inline constexpr std::string_view RecordSeparator = "\r\n\r\n";

// Writes the text of the record at index alone at path; nullopt, with nothing written, when its
// file cannot be read.
std::optional<FileReplacement::Outcome> ExportRecordText(const std::filesystem::path& path,
                                                         const RecordBook& book, int index);
// Writes the texts of the first count records, in order, each followed by RecordSeparator.
FileReplacement::Outcome ExportRecordTexts(const std::filesystem::path& path,
                                           const RecordBook& book, int count);

} // namespace talvane
