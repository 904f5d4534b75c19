#include "PatternList.h"

namespace talvane {

namespace {

// Removes leading zeros but keeps the last character, so "00" becomes "0" and "0@" becomes "@".
std::string_view WithoutLeadingZeros(std::string_view text) {
    while (text.size() > 1 && text.front() == '0')
        text.remove_prefix(1);
    return text;
}

// Each dot-separated octet pattern loses its leading zeros. Only the first three dots separate
// octets, so a text with too few or too many (possible only in a file edited by hand) keeps the
// rest as it is.
std::string NormaliseAddress(std::string_view text) {
    std::string normal;
    for (int octet = 0; octet < 4; ++octet) {
        const std::size_t dot = octet < 3 ? text.find('.') : std::string_view::npos;
        normal += WithoutLeadingZeros(text.substr(0, dot));
        if (dot == std::string_view::npos)
            return normal;
        normal += '.';
        text.remove_prefix(dot + 1);
    }
    return normal;
}

} // namespace

std::vector<std::string_view> PatternList::SplitField(std::string_view text) {
    std::vector<std::string_view> alternatives;
    while (!text.empty()) {
        const std::size_t bar = text.find('|');
        alternatives.push_back(text.substr(0, bar));
        if (bar == std::string_view::npos)
            break;
        text.remove_prefix(bar + 1);
    }
    return alternatives;
}

PatternList PatternList::ParsePatternField(std::string_view text, Kind kind) {
    std::vector<std::string> entries;
    for (std::string_view alternative : SplitField(text)) {
        entries.push_back(kind == Kind::Port ? std::string(WithoutLeadingZeros(alternative))
                                             : NormaliseAddress(alternative));
    }
    return PatternList(std::move(entries));
}

bool PatternMatches(std::string_view pattern, std::string_view value) {
    if (pattern.size() != value.size())
        return false;
    for (std::size_t index = 0; index < pattern.size(); ++index) {
        if (pattern[index] != value[index] && pattern[index] != '@' && value[index] != '@')
            return false;
    }
    return true;
}

} // namespace talvane
