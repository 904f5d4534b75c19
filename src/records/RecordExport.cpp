#include "RecordExport.h"

#include "HexDump.h"

#include <array>
#include <utility>

namespace talvane {

namespace {

void AppendLengthPart(std::string& text, const Record& record) {
    const RecordHeader& header = record.header;
    if (header.processName.empty()) {
        text += "capture ";
    } else {
        text += header.processName;
        text += ' ';
        text += header.direction;
        text += ' ';
    }
    text += std::to_string(record.payload.size());
    text += "bytes datas:";
}

} // namespace

std::string RecordExportText(const Record& record) {
    const RecordHeader& header = record.header;
    const std::array<std::pair<std::string_view, const std::string*>, 6> fields{{
        {"source ip=", &header.sourceIp},
        {"source port=", &header.sourcePort},
        {"protocol=", &header.protocolName},
        {"destination ip=", &header.destinationIp},
        {"destination port=", &header.destinationPort},
        {"DataTime=", &header.timeText},
    }};

    std::string text;
    text.reserve(160 + header.processName.size() + 3 * record.payload.size());
    for (const auto& [label, value] : fields) {
        if (value->empty())
            continue;
        text += label;
        text += *value;
        text += ',';
    }
    AppendLengthPart(text, record);
    for (std::uint8_t byte : record.payload)
        AppendHexGroup(text, byte);
    return text;
}

} // namespace talvane
