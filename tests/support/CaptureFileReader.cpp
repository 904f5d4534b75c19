#include "CaptureFileReader.h"

#include <pcap/pcap.h>

namespace talvane {

CaptureFileReader CaptureFileReader::Read(const std::filesystem::path& path) {
    CaptureFileReader file;
    char error[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_open_offline(path.c_str(), error);
    if (handle == nullptr) {
        file.error = error;
        return file;
    }
    file.linkType = pcap_datalink(handle);
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    int result = 0;
    while ((result = pcap_next_ex(handle, &header, &data)) == 1)
        file.packets.push_back({std::int64_t{header->ts.tv_sec} * 1000000 + header->ts.tv_usec,
                                header->len,
                                std::vector<std::uint8_t>(data, data + header->caplen)});
    if (result != PCAP_ERROR_BREAK)
        file.error = pcap_geterr(handle);
    pcap_close(handle);
    return file;
}

} // namespace talvane
