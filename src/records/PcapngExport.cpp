#include "PcapngExport.h"

#include <fstream>

namespace talvane {

namespace {

void Write(std::ofstream& file, const std::vector<std::uint8_t>& bytes) {
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

} // namespace

bool ExportPcapng(const std::filesystem::path& path, std::string_view interfaceName,
                  const DatagramLog& datagrams, std::span<const int> indices) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    Write(file, Pcapng::FileHeader(interfaceName));
    for (const int index : indices) {
        if (const std::optional<std::vector<std::uint8_t>> block = datagrams.Block(index))
            Write(file, *block);
    }
    file.close();
    return !file.fail();
}

} // namespace talvane
