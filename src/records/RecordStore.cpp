#include "RecordStore.h"

#include <string>

namespace talvane {

namespace {

// Beside the record files, whose names are numbers.
constexpr const char* DatagramLogName = "datagrams";

Pcapng::Direction DirectionOf(const RecordHeader& header) {
    if (header.direction == "receive")
        return Pcapng::Direction::Inbound;
    if (header.direction == "send")
        return Pcapng::Direction::Outbound;
    return Pcapng::Direction::Unknown;
}

} // namespace

RecordStore::RecordStore(std::filesystem::path directoryIn)
    : directory(std::move(directoryIn)),
      datagrams(directory.empty() ? std::filesystem::path() : directory / DatagramLogName) {}

RecordStore::Stored RecordStore::Store(const RecordHeader& header,
                                       std::span<const std::uint8_t> payload,
                                       std::span<const std::uint8_t> datagram,
                                       CaptureTime captured) {
    const int index = count;
    comment.clear();
    if (!header.processName.empty())
        comment.append(header.processName).append(" ").append(header.direction);
    const bool logged = datagrams.Append({captured, DirectionOf(header), comment, datagram});
    const bool failed =
        !directory.empty() && !(RecordFile::Write(FileOf(index), header, payload) && logged);
    const bool failureBegan = failed && !failing;
    failing = failed;
    ++count;
    totalBytes += static_cast<std::uint32_t>(payload.size());
    return {index, failureBegan};
}

void RecordStore::Clear() {
    datagrams.Clear();
    count = 0;
    totalBytes = 0;
}

std::filesystem::path RecordStore::FileOf(int index) const {
    return directory / std::to_string(index);
}

std::optional<Record> RecordStore::Read(int index) const {
    if (directory.empty())
        return std::nullopt;
    return RecordFile::Read(FileOf(index));
}

} // namespace talvane
