#include "PcapngExport.h"

#include <algorithm>

namespace talvane {

FileReplacement::Outcome ExportPcapng(const std::filesystem::path& path, const RecordBook& book,
                                      std::span<const int> indices) {
    // The book's interface numbers of the file's interfaces, in file order.
    std::vector<std::size_t> interfaces;
    std::vector<std::string> names;
    for (const int index : indices) {
        const std::size_t interface = book.Entry(index).interface;
        if (std::ranges::find(interfaces, interface) == interfaces.end()) {
            interfaces.push_back(interface);
            names.push_back(book.InterfaceName(interface));
        }
    }
    FileReplacement file(path);
    file.Write(Pcapng::FileHeader(names));
    for (const int index : indices) {
        std::optional<std::vector<std::uint8_t>> block = book.Datagrams().Block(index);
        if (!block)
            continue;
        const auto inFile = std::ranges::find(interfaces, book.Entry(index).interface);
        Pcapng::SetPacketInterface(*block, static_cast<std::uint32_t>(inFile - interfaces.begin()));
        file.Write(*block);
    }
    return file.Finish();
}

} // namespace talvane
