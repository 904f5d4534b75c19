#include "RecordStore.h"

#include <string>

namespace talvane {

RecordStore::Stored RecordStore::Store(const RecordHeader& header,
                                       std::span<const std::uint8_t> payload) {
    const int index = count;
    const bool failed = !directory.empty() && !RecordFile::Write(FileOf(index), header, payload);
    const bool failureBegan = failed && !failing;
    failing = failed;
    ++count;
    totalBytes += static_cast<std::uint32_t>(payload.size());
    return {index, failureBegan};
}

void RecordStore::Clear() {
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
