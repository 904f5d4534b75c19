#include "RecordFile.h"

#include "RecordTexts.h"
#include "base/AllBytes.h"
#include "base/PrivateFile.h"
#include "base/UniqueFd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace talvane {

namespace {

bool IsContinuationByte(char byte) {
    return (static_cast<std::uint8_t>(byte) & 0xC0) == 0x80;
}

// The length of the longest prefix of at most limit bytes that does not split a UTF-8 character.
// A character has at most three continuation bytes, so a cut through bytes that are not UTF-8
// backs up no further than that.
std::size_t CutLength(const std::string& text, std::size_t limit) {
    if (text.size() <= limit)
        return text.size();
    std::size_t length = limit;
    while (length > 0 && limit - length < 3 && IsContinuationByte(text[length]))
        --length;
    return IsContinuationByte(text[length]) ? limit : length;
}

// The entries in file order, for a const or a mutable header alike.
template <typename Header> auto Entries(Header& header) {
    return std::array{&header.processName,     &header.direction,    &header.sourceIp,
                      &header.sourcePort,      &header.protocolName, &header.destinationIp,
                      &header.destinationPort, &header.timeText};
}

// No O_TRUNC: a file truncated to nothing makes the file system write it out at close, a disk
// write per record. Cutting it to its new length afterwards does not.
bool WriteInPlace(int folder, const char* name, std::string_view headerBytes,
                  std::span<const std::uint8_t> payload) {
    std::optional<PrivateFile> file = PrivateFile::Open(folder, name, O_WRONLY);
    if (!file)
        return false;
    const int fd = file->fd.Get();
    bool written = AllBytes::WriteGathered(
        fd, std::array{iovec{const_cast<char*>(headerBytes.data()), headerBytes.size()},
                       iovec{const_cast<std::uint8_t*>(payload.data()), payload.size()}});
    const auto length = static_cast<off_t>(headerBytes.size() + payload.size());
    if (written && file->size > length)
        written = ftruncate(fd, length) == 0;
    // Should the file outlive the failure, it is empty rather than mixed.
    if (!written && ftruncate(fd, 0) != 0)
        return false;
    // A write the file system defers can fail only at close.
    return file->fd.Close() && written;
}

} // namespace

namespace RecordFile {

RecordHeader Texts(const RecordEntry& entry) {
    return {entry.owner ? entry.owner->name : std::string(),
            entry.owner ? std::string(DirectionText(entry.direction)) : std::string(),
            entry.source.Dotted(),
            PortText(entry.sourcePort),
            std::string(ProtocolText(entry.protocol)),
            entry.destination.Dotted(),
            PortText(entry.destinationPort),
            RecordTimeText(entry.captured)};
}

std::string Encode(const RecordHeader& header) {
    const auto entries = Entries(header);
    std::array<std::size_t, 8> lengths{};
    std::size_t headerLength = 1;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        lengths[index] =
            CutLength(*entries[index], index == 0 ? ProcessNameLimit : OtherEntryLimit);
        headerLength += 1 + lengths[index];
    }

    std::string bytes;
    bytes.reserve(headerLength);
    bytes.push_back(static_cast<char>(headerLength));
    for (std::size_t index = 0; index < entries.size(); ++index) {
        bytes.push_back(static_cast<char>(lengths[index] + 1));
        bytes.append(*entries[index], 0, lengths[index]);
    }
    return bytes;
}

Record Decode(std::span<const std::uint8_t> bytes) {
    Record record;
    if (bytes.empty())
        return record;
    // Byte 0 is the length byte itself, so no header is shorter than one byte.
    const std::size_t headerLength = std::max<std::size_t>(bytes[0], 1);
    const std::size_t headerEnd = std::min(headerLength, bytes.size());

    std::size_t offset = 1;
    for (std::string* entry : Entries(record.header)) {
        if (offset >= headerEnd)
            break;
        // A length byte of 0 cannot count itself; it still takes its one byte.
        const std::size_t next = offset + std::max<std::size_t>(bytes[offset], 1);
        const std::size_t textEnd = std::min(next, headerEnd);
        entry->assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset + 1),
                      bytes.begin() + static_cast<std::ptrdiff_t>(textEnd));
        offset = next;
    }

    if (headerLength < bytes.size())
        record.payload.assign(bytes.begin() + static_cast<std::ptrdiff_t>(headerLength),
                              bytes.end());
    return record;
}

bool Write(int folder, const char* name, std::string_view encodedHeader,
           std::span<const std::uint8_t> payload) {
    const bool written = WriteInPlace(folder, name, encodedHeader, payload);
    // A reader must never find an older record's bytes behind this one's, nor half of it: the
    // index then has no file at all, as when the record folder could not be made. A link that
    // was refused goes too, never what it points to.
    if (!written)
        unlinkat(folder, name, 0);
    return written;
}

bool Write(const std::filesystem::path& path, const RecordHeader& header,
           std::span<const std::uint8_t> payload) {
    return Write(AT_FDCWD, path.c_str(), Encode(header), payload);
}

std::optional<Record> Read(const std::filesystem::path& path) {
    return Read(AT_FDCWD, path.c_str());
}

std::optional<Record> Read(int folder, const char* name) {
    const UniqueFd file(openat(folder, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(MaximumFileSize);
    // Not a readable file, such as a directory of that name.
    const std::optional<std::size_t> size = AllBytes::ReadUpTo(file.Get(), bytes);
    if (!size)
        return std::nullopt;
    return Decode(std::span<const std::uint8_t>(bytes.data(), *size));
}

} // namespace RecordFile

} // namespace talvane
