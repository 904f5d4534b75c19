#include "RecordStore.h"

#include <charconv>
#include <fcntl.h>
#include <string>

namespace talvane {

namespace {

// Beside the record files, whose names are numbers.
constexpr const char* DatagramLogName = "datagrams";

} // namespace

RecordStore::RecordStore(std::filesystem::path directoryIn)
    : directory(std::move(directoryIn)),
      folder(directory.empty()
                 ? -1
                 : open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
      datagrams(directory.empty() ? std::filesystem::path() : directory / DatagramLogName) {}

RecordStore::Stored RecordStore::Store(const RecordHeader& header, Pcapng::Direction direction,
                                       std::span<const std::uint8_t> payload,
                                       std::span<const std::uint8_t> datagram, CaptureTime captured,
                                       std::int32_t pid) {
    const int index = count++;
    totalBytes += static_cast<std::uint32_t>(payload.size());
    if (directory.empty())
        return {index, false};
    comment.clear();
    if (!header.processName.empty())
        comment.append(header.processName).append(" ").append(header.direction);
    datagrams.Queue({captured, direction, comment, datagram, pid});
    waiting.push_back({index, RecordFile::Encode(header), {payload.begin(), payload.end()}});
    waitingBytes += waiting.back().header.size() + payload.size() + datagram.size();
    return {index, waitingBytes >= QueueLimit && Flush()};
}

bool RecordStore::Flush() {
    datagrams.WriteQueued();
    bool failureBegan = false;
    for (const Waiting& record : waiting) {
        const bool failed = !(RecordFile::Write(folder.Get(), NameOf(record.index).text,
                                                record.header, record.payload) &&
                              datagrams.Holds(record.index));
        failureBegan = failureBegan || (failed && !failing);
        failing = failed;
    }
    waiting.clear();
    waitingBytes = 0;
    return failureBegan;
}

void RecordStore::Clear() {
    waiting.clear();
    waitingBytes = 0;
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
