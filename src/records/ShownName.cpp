#include "ShownName.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace talvane {

namespace {

struct CharacterRange {
    char32_t first;
    char32_t last;
};

// C0 and DEL with C1, the Arabic letter mark, the left-to-right and right-to-left marks, the line
// and paragraph separators with the embeddings and overrides, and the isolates.
constexpr std::array<CharacterRange, 6> EscapedCharacters{{
    {0x00, 0x1F},
    {0x7F, 0x9F},
    {0x061C, 0x061C},
    {0x200E, 0x200F},
    {0x2028, 0x202E},
    {0x2066, 0x2069},
}};

constexpr std::string_view Replacement = "\xEF\xBF\xBD";

struct Decoded {
    // Empty for bytes that are no character; they take the place of one.
    std::optional<char32_t> character;
    std::size_t length;
};

// The character at the start of text, which is not empty. A broken sequence stands for one
// replacement as far as it was a valid beginning, a stray byte for one by itself.
Decoded DecodeFirst(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    char32_t character = 0;
    // The second byte's range excludes overlong forms, surrogates and what lies past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        character = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        character = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        character = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return {std::nullopt, 1};
    }
    for (std::size_t index = 1; index < length; ++index) {
        if (index == text.size())
            return {std::nullopt, index};
        const auto byte = static_cast<unsigned char>(text[index]);
        if (byte < low || byte > high)
            return {std::nullopt, index};
        character = character << 6 | (byte & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {character, length};
}

bool Escaped(char32_t character) {
    return std::ranges::any_of(EscapedCharacters, [character](const CharacterRange& range) {
        return character >= range.first && character <= range.last;
    });
}

std::string Escape(char32_t character) {
    char text[8];
    std::snprintf(text, sizeof text, character <= 0xFF ? "\\x%02x" : "\\u%04x",
                  static_cast<unsigned>(character));
    return text;
}

} // namespace

std::string ShownName(std::string_view name, std::size_t limit) {
    // Nearly every name is printable ASCII without a backslash, which stands for itself: taken
    // whole, as it comes with every datagram.
    if (std::ranges::all_of(name,
                            [](char byte) { return byte >= 0x20 && byte < 0x7F && byte != '\\'; }))
        return std::string(name.substr(0, limit));
    std::string shown;
    while (!name.empty()) {
        const Decoded decoded = DecodeFirst(name);
        std::string piece;
        if (!decoded.character)
            piece = Replacement;
        else if (*decoded.character == '\\')
            piece = "\\\\";
        else if (Escaped(*decoded.character))
            piece = Escape(*decoded.character);
        else
            piece = name.substr(0, decoded.length);
        if (shown.size() + piece.size() > limit)
            break;
        shown += piece;
        name.remove_prefix(decoded.length);
    }
    return shown;
}

} // namespace talvane
