#include "PcapngExport.h"

namespace talvane {

FileReplacement::Outcome ExportPcapng(const std::filesystem::path& path,
                                      std::string_view interfaceName, const DatagramLog& datagrams,
                                      std::span<const int> indices) {
    FileReplacement file(path);
    file.Write(Pcapng::FileHeader(interfaceName));
    for (const int index : indices) {
        if (const std::optional<std::vector<std::uint8_t>> block = datagrams.Block(index))
            file.Write(*block);
    }
    return file.Finish();
}

} // namespace talvane
