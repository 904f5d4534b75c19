#pragma once

#include "DatagramLog.h"
#include "base/FileReplacement.h"

#include <filesystem>
#include <span>
#include <string_view>

namespace talvane {

// Writes the datagrams of the records at indices, in that order, as a pcapng file at path: the
// header naming the interface (unless its name is empty), then each record's packet block as the
// log holds it. A record whose datagram is missing is left out. The file is replaced whole, as
// FileReplacement does, or not at all.
FileReplacement::Outcome ExportPcapng(const std::filesystem::path& path,
                                      std::string_view interfaceName, const DatagramLog& datagrams,
                                      std::span<const int> indices);

} // namespace talvane
