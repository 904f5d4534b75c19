#include "PcapngFormat.h"

#include "base/LittleEndian.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace talvane {

namespace Pcapng {

namespace {

using namespace LittleEndian;

constexpr std::uint32_t SectionHeaderType = 0x0A0D0D0A;
constexpr std::uint32_t InterfaceType = 1;
constexpr std::uint32_t EnhancedPacketType = 6;
constexpr std::uint32_t ByteOrderMagic = 0x1A2B3C4D;
// Type, length, interface, time (two words), captured and original length.
constexpr std::size_t PacketFixedPart = 28;
constexpr std::size_t InterfaceOffset = 8;
constexpr std::size_t TrailerLength = 4;

constexpr std::uint16_t EndOfOptions = 0;
constexpr std::uint16_t CommentOption = 1;
constexpr std::uint16_t InterfaceNameOption = 2;
constexpr std::uint16_t FlagsOption = 2;
constexpr std::size_t OptionValueLimit = 0xFFFF;
constexpr const char* PidPrefix = "pid ";

// Reads a process id's comment into pid; false, leaving pid alone, for any other comment.
bool PidOf(std::string_view comment, std::int32_t& pid) {
    if (!comment.starts_with(PidPrefix))
        return false;
    comment.remove_prefix(std::strlen(PidPrefix));
    std::int32_t read = 0;
    const auto [end, error] =
        std::from_chars(comment.data(), comment.data() + comment.size(), read);
    if (error != std::errc() || end != comment.data() + comment.size() || read <= 0)
        return false;
    pid = read;
    return true;
}
constexpr std::uint32_t DirectionBits = 3;

std::size_t Padded(std::size_t length) {
    return (length + 3) & ~std::size_t{3};
}

void PutPadded(std::vector<std::uint8_t>& bytes, std::span<const std::uint8_t> value) {
    bytes.insert(bytes.end(), value.begin(), value.end());
    bytes.resize(Padded(bytes.size()), 0);
}

void PutOption(std::vector<std::uint8_t>& bytes, std::uint16_t code,
               std::span<const std::uint8_t> value) {
    value = value.first(std::min(value.size(), OptionValueLimit));
    Put16(bytes, code);
    Put16(bytes, static_cast<std::uint16_t>(value.size()));
    PutPadded(bytes, value);
}

std::span<const std::uint8_t> BytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Opens a block whose length is written by CloseBlock once its body is in.
std::size_t OpenBlock(std::vector<std::uint8_t>& bytes, std::uint32_t type) {
    const std::size_t start = bytes.size();
    Put32(bytes, type);
    Put32(bytes, 0);
    return start;
}

void Set32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes[offset + static_cast<std::size_t>(shift / 8)] =
            static_cast<std::uint8_t>(value >> shift);
}

void CloseBlock(std::vector<std::uint8_t>& bytes, std::size_t start) {
    const auto length = static_cast<std::uint32_t>(bytes.size() + TrailerLength - start);
    Set32(bytes, start + 4, length);
    Put32(bytes, length);
}

} // namespace

std::vector<std::uint8_t> FileHeader(const std::vector<std::string>& interfaceNames) {
    std::vector<std::uint8_t> bytes;
    const std::size_t section = OpenBlock(bytes, SectionHeaderType);
    Put32(bytes, ByteOrderMagic);
    Put16(bytes, 1);
    Put16(bytes, 0);
    // The section's length is not known in advance.
    Put32(bytes, 0xFFFFFFFF);
    Put32(bytes, 0xFFFFFFFF);
    CloseBlock(bytes, section);

    for (const std::string& name : interfaceNames) {
        const std::size_t interface = OpenBlock(bytes, InterfaceType);
        Put16(bytes, LinkTypeIpv4);
        Put16(bytes, 0);
        // The snap length: the largest datagram a block carries.
        Put32(bytes, static_cast<std::uint32_t>(MaximumDatagram));
        if (!name.empty()) {
            PutOption(bytes, InterfaceNameOption, BytesOf(name));
            PutOption(bytes, EndOfOptions, {});
        }
        CloseBlock(bytes, interface);
    }
    return bytes;
}

void SetPacketInterface(std::span<std::uint8_t> block, std::uint32_t interface) {
    Set32(block, InterfaceOffset, interface);
}

void WritePacketBlock(const PacketBlock& block, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    const std::span<const std::uint8_t> datagram =
        block.datagram.first(std::min<std::size_t>(block.datagram.size(), MaximumDatagram));
    const auto time = static_cast<std::uint64_t>(block.captured.time_since_epoch().count());
    const std::size_t start = OpenBlock(bytes, EnhancedPacketType);
    Put32(bytes, 0);
    Put32(bytes, static_cast<std::uint32_t>(time >> 32));
    Put32(bytes, static_cast<std::uint32_t>(time));
    Put32(bytes, static_cast<std::uint32_t>(datagram.size()));
    Put32(bytes, static_cast<std::uint32_t>(datagram.size()));
    PutPadded(bytes, datagram);
    if (!block.comment.empty())
        PutOption(bytes, CommentOption, BytesOf(block.comment));
    if (block.pid > 0) {
        // Written for every datagram: no formatting call.
        char pidText[16];
        const std::size_t prefix = std::string_view(PidPrefix).copy(pidText, sizeof pidText);
        const char* end = std::to_chars(pidText + prefix, std::end(pidText), block.pid).ptr;
        PutOption(bytes, CommentOption, BytesOf({pidText, std::size_t(end - pidText)}));
    }
    const auto flags = static_cast<std::uint32_t>(block.direction);
    const std::uint8_t flagBytes[] = {static_cast<std::uint8_t>(flags), 0, 0, 0};
    PutOption(bytes, FlagsOption, flagBytes);
    PutOption(bytes, EndOfOptions, {});
    CloseBlock(bytes, start);
}

std::optional<PacketBlock> ReadPacketBlock(std::span<const std::uint8_t> bytes) {
    const std::size_t size = bytes.size();
    if (size < PacketFixedPart + TrailerLength || size % 4 != 0 ||
        Get32(bytes, 0) != EnhancedPacketType || Get32(bytes, 4) != size ||
        Get32(bytes, size - TrailerLength) != size || Get32(bytes, InterfaceOffset) != 0)
        return std::nullopt;
    const std::uint32_t captured = Get32(bytes, 20);
    const std::uint32_t original = Get32(bytes, 24);
    const std::size_t optionsEnd = size - TrailerLength;
    if (captured > MaximumDatagram || original < captured ||
        Padded(captured) > optionsEnd - PacketFixedPart)
        return std::nullopt;

    PacketBlock block;
    const std::uint64_t time = std::uint64_t{Get32(bytes, 12)} << 32 | Get32(bytes, 16);
    block.captured = CaptureTime(std::chrono::microseconds(static_cast<std::int64_t>(time)));
    block.datagram = bytes.subspan(PacketFixedPart, captured);
    std::size_t offset = PacketFixedPart + Padded(captured);
    while (offset < optionsEnd) {
        if (optionsEnd - offset < 4)
            return std::nullopt;
        const std::uint16_t code = Get16(bytes, offset);
        const std::uint16_t length = Get16(bytes, offset + 2);
        offset += 4;
        if (code == EndOfOptions)
            break;
        if (Padded(length) > optionsEnd - offset)
            return std::nullopt;
        if (code == CommentOption) {
            const std::string_view comment(reinterpret_cast<const char*>(bytes.data() + offset),
                                           length);
            // The process id's comment is told by its form wherever it stands.
            if (!PidOf(comment, block.pid))
                block.comment = comment;
        } else if (code == FlagsOption) {
            // Both direction bits set is no direction at all.
            if (length != 4 || (Get32(bytes, offset) & DirectionBits) == DirectionBits)
                return std::nullopt;
            block.direction = static_cast<Direction>(Get32(bytes, offset) & DirectionBits);
        }
        offset += Padded(length);
    }
    return block;
}

} // namespace Pcapng

} // namespace talvane
