#pragma once

#include "RecordBook.h"
#include "base/FileReplacement.h"

#include <filesystem>
#include <span>

namespace talvane {

// Writes the datagrams of the records at indices, in that order, as a pcapng file at path: the
// header naming each interface they were captured on, in the order the records first name them,
// then each record's packet block as the log holds it, of its own interface. A record whose
// datagram is missing is left out. The file is replaced whole, as FileReplacement does, or not at
// all.
FileReplacement::Outcome ExportPcapng(const std::filesystem::path& path, const RecordBook& book,
                                      std::span<const int> indices);

} // namespace talvane
