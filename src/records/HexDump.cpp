#include "HexDump.h"

#include <algorithm>

namespace talvane {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
constexpr std::size_t TextGap = 8;

char Printable(std::uint8_t byte) {
    return byte <= 0x20 || byte >= 0x80 ? '.' : static_cast<char>(byte);
}

} // namespace

void AppendHexGroup(std::string& text, std::uint8_t byte) {
    text.push_back(HexDigits[byte >> 4]);
    text.push_back(HexDigits[byte & 0x0F]);
    text.push_back(' ');
}

std::string HexDump(std::span<const std::uint8_t> bytes, int width) {
    if (width < 1 || bytes.empty())
        return {};
    const auto lineBytes = static_cast<std::size_t>(width);
    const std::size_t lines = (bytes.size() + lineBytes - 1) / lineBytes;

    // Dumps run to 65 KB, so the text is sized once and filled without formatting calls.
    std::string dump;
    dump.reserve(lines * (4 * lineBytes + TextGap + 2));
    for (std::size_t start = 0; start < bytes.size(); start += lineBytes) {
        const std::span<const std::uint8_t> line =
            bytes.subspan(start, std::min(lineBytes, bytes.size() - start));
        for (std::uint8_t byte : line)
            AppendHexGroup(dump, byte);
        dump.append(3 * (lineBytes - line.size()) + TextGap, ' ');
        for (std::uint8_t byte : line)
            dump.push_back(Printable(byte));
        if (line.size() == lineBytes)
            dump.append("\r\n");
    }
    return dump;
}

} // namespace talvane
