#include "RecordExport.h"

#include "HexDump.h"

#include <array>
#include <utility>

namespace talvane {

namespace {

void AppendLengthPart(std::string& text, const RecordHeader& texts, std::size_t payloadLength) {
    if (texts.processName.empty()) {
        text += "capture ";
    } else {
        text += texts.processName;
        text += ' ';
        text += texts.direction;
        text += ' ';
    }
    text += std::to_string(payloadLength);
    text += "bytes datas:";
}

// The export text of the record at index, its texts made of its entry; nullopt when its file
// cannot be read.
std::optional<std::string> TextOf(const RecordBook& book, int index) {
    const std::optional<Record> record = book.Read(index);
    if (!record)
        return std::nullopt;
    return RecordExportText(RecordFile::Texts(book.Entry(index)), record->payload);
}

} // namespace

std::string RecordExportText(const RecordHeader& texts, std::span<const std::uint8_t> payload) {
    const std::array<std::pair<std::string_view, const std::string*>, 6> fields{{
        {"source ip=", &texts.sourceIp},
        {"source port=", &texts.sourcePort},
        {"protocol=", &texts.protocolName},
        {"destination ip=", &texts.destinationIp},
        {"destination port=", &texts.destinationPort},
        {"DataTime=", &texts.timeText},
    }};

    std::string text;
    text.reserve(160 + texts.processName.size() + 3 * payload.size());
    for (const auto& [label, value] : fields) {
        if (value->empty())
            continue;
        text += label;
        text += *value;
        text += ',';
    }
    AppendLengthPart(text, texts, payload.size());
    for (std::uint8_t byte : payload)
        AppendHexGroup(text, byte);
    return text;
}

std::optional<FileReplacement::Outcome> ExportRecordText(const std::filesystem::path& path,
                                                         const RecordBook& book, int index) {
    const std::optional<std::string> text = TextOf(book, index);
    if (!text)
        return std::nullopt;
    FileReplacement file(path);
    file.Write(*text);
    return file.Finish();
}

FileReplacement::Outcome ExportRecordTexts(const std::filesystem::path& path,
                                           const RecordBook& book, int count) {
    FileReplacement file(path);
    for (int index = 0; index < count; ++index) {
        if (const std::optional<std::string> text = TextOf(book, index))
            file.Write(*text);
        file.Write(RecordSeparator);
    }
    return file.Finish();
}

} // namespace talvane
