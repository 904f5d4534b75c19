#include "RecordStore.h"

#include <charconv>
#include <fcntl.h>
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
      folder(directory.empty()
                 ? -1
                 : open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
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
        !directory.empty() &&
        !(RecordFile::Write(folder.Get(), NameOf(index).text, header, payload) && logged);
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

RecordStore::FileName RecordStore::NameOf(int index) {
    FileName name{};
    std::to_chars(name.text, name.text + sizeof name.text - 1, index);
    return name;
}

std::filesystem::path RecordStore::FileOf(int index) const {
    return directory / NameOf(index).text;
}

std::optional<Record> RecordStore::Read(int index) const {
    if (directory.empty())
        return std::nullopt;
    return RecordFile::Read(folder.Get(), NameOf(index).text);
}

} // namespace talvane
