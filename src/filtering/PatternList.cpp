#include "PatternList.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <unordered_set>

namespace talvane {

namespace {

// A text of digits, dots and "@", at most MaximumValueLength long, as a number: four bits a
// character and its length on top, so that a value with "@" written where a pattern holds it is
// looked up as one number.
using Key = std::uint64_t;
constexpr Key AtCode = 11;

std::optional<Key> KeyOf(std::string_view text) {
    if (text.size() > PatternList::MaximumValueLength)
        return std::nullopt;
    Key key = Key(text.size()) << 60;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char c = text[index];
        const Key code = c >= '0' && c <= '9' ? Key(c - '0')
                         : c == '.'           ? 10
                         : c == '@'           ? AtCode
                                              : 16;
        if (code > AtCode)
            return std::nullopt;
        key |= code << (4 * index);
    }
    return key;
}

// The characters of a key where a pattern holds "@".
Key ShapeOf(std::string_view pattern) {
    Key shape = 0;
    for (std::size_t index = 0; index < pattern.size(); ++index) {
        if (pattern[index] == '@')
            shape |= Key(0xF) << (4 * index);
    }
    return shape;
}

Key Masked(Key value, Key shape) {
    constexpr Key EveryCharacterAt = 0x0BBBBBBBBBBBBBBB;
    return (value & ~shape) | (EveryCharacterAt & shape);
}

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

// Calls found with every port whose text the pattern matches: the digits it holds in their
// places, any digit where it holds "@", and no leading zero but in "0" itself.
template <typename Found> void ForEachPortMatching(std::string_view pattern, Found found) {
    constexpr std::size_t LongestPort = 5;
    if (pattern.empty() || pattern.size() > LongestPort ||
        !std::ranges::all_of(pattern, [](char c) { return c == '@' || (c >= '0' && c <= '9'); }))
        return;
    const auto fill = [&](auto& self, std::size_t position, std::uint32_t value) -> void {
        if (position == pattern.size()) {
            if (value <= 0xFFFF)
                found(static_cast<std::uint16_t>(value));
            return;
        }
        const char first = position == 0 && pattern.size() > 1 ? '1' : '0';
        for (char digit = first; digit <= '9'; ++digit) {
            if (pattern[position] != '@' && pattern[position] != digit)
                continue;
            self(self, position + 1, value * 10 + std::uint32_t(digit - '0'));
        }
    };
    fill(fill, 0, 0);
}

} // namespace

// A pattern matches a value exactly when the value, with "@" written where the pattern holds it,
// is the pattern: so each shape present among the patterns of a value's length asks one question
// of a set. Every pattern of one length matches a value when their common demands do.
struct PatternList::Index {
    struct SameLength {
        std::size_t count = 0;
        std::vector<Key> shapes;
        // At each position the character every pattern of this length holds where not "@", or
        // "@" where none demands one; empty when two demand different characters.
        std::optional<std::string> demanded;

        // Every pattern of this length matches value, which has this length.
        bool EveryMatches(std::string_view value) const {
            return count == 0 || (demanded && PatternMatches(*demanded, value));
        }
    };

    // Distinct patterns; those longer than any value match none, but count among those that
    // every value must match.
    std::size_t distinct = 0;
    // The patterns a value can match.
    std::unordered_set<Key> keys;
    std::array<SameLength, MaximumValueLength + 1> byLength;
    // By port number: some pattern matches its text; every pattern does.
    std::bitset<0x10000> anyPort;
    std::bitset<0x10000> everyPort;

    const SameLength& OfLength(std::size_t length) const {
        static const SameLength none;
        return length < byLength.size() ? byLength[length] : none;
    }

    std::size_t CountMatching(std::string_view value) const {
        const std::optional<Key> key = KeyOf(value);
        if (!key)
            return 0;
        std::size_t count = 0;
        for (Key shape : OfLength(value.size()).shapes)
            count += keys.contains(Masked(*key, shape)) ? 1 : 0;
        return count;
    }

    // The patterns matching both values, which have one length.
    std::size_t CountMatchingBoth(std::string_view first, std::string_view second) const {
        const std::optional<Key> firstKey = KeyOf(first);
        const std::optional<Key> secondKey = KeyOf(second);
        if (!firstKey || !secondKey)
            return 0;
        std::size_t count = 0;
        for (Key shape : OfLength(first.size()).shapes) {
            const Key masked = Masked(*firstKey, shape);
            count += masked == Masked(*secondKey, shape) && keys.contains(masked) ? 1 : 0;
        }
        return count;
    }
};

PatternList::PatternList(std::vector<std::string> entriesIn) : entries(std::move(entriesIn)) {
    auto made = std::make_shared<Index>();
    std::unordered_set<std::string_view> seen;
    for (const std::string& entry : entries) {
        if (entry.empty() || !seen.insert(entry).second)
            continue;
        ++made->distinct;
        if (entry.size() >= made->byLength.size())
            continue;
        Index::SameLength& group = made->byLength[entry.size()];
        if (const std::optional<Key> key = KeyOf(entry)) {
            made->keys.insert(*key);
            group.shapes.push_back(ShapeOf(entry));
        }
        if (group.count++ == 0) {
            group.demanded = entry;
            continue;
        }
        for (std::size_t index = 0; index < entry.size() && group.demanded; ++index) {
            char& demanded = (*group.demanded)[index];
            if (demanded == '@')
                demanded = entry[index];
            else if (entry[index] != '@' && entry[index] != demanded)
                group.demanded.reset();
        }
    }
    if (made->distinct == 0)
        return;
    for (Index::SameLength& group : made->byLength) {
        std::sort(group.shapes.begin(), group.shapes.end());
        group.shapes.erase(std::unique(group.shapes.begin(), group.shapes.end()),
                           group.shapes.end());
    }
    for (std::string_view pattern : seen)
        ForEachPortMatching(pattern, [&](std::uint16_t port) { made->anyPort.set(port); });
    // Every pattern matches a port only where all have its text's length and their common
    // demands match it.
    for (const Index::SameLength& group : made->byLength) {
        if (group.count == made->distinct && group.demanded)
            ForEachPortMatching(*group.demanded,
                                [&](std::uint16_t port) { made->everyPort.set(port); });
    }
    index = std::move(made);
}

bool PatternList::AnyMatches(std::string_view value) const {
    const std::optional<Key> key = KeyOf(value);
    if (!index || !key)
        return false;
    for (Key shape : index->OfLength(value.size()).shapes) {
        if (index->keys.contains(Masked(*key, shape)))
            return true;
    }
    return false;
}

bool PatternList::EveryMatches(std::string_view value) const {
    if (!index)
        return true;
    const Index::SameLength& group = index->OfLength(value.size());
    return group.count == index->distinct && group.EveryMatches(value);
}

bool PatternList::AnyMatchesPort(std::uint16_t port) const {
    return index && index->anyPort.test(port);
}

bool PatternList::EveryMatchesPort(std::uint16_t port) const {
    return !index || index->everyPort.test(port);
}

bool PatternList::EveryMatchesEither(std::string_view first, std::string_view second) const {
    if (!index)
        return true;
    const Index::SameLength& firstGroup = index->OfLength(first.size());
    const Index::SameLength& secondGroup = index->OfLength(second.size());
    if (first.size() != second.size())
        return firstGroup.count + secondGroup.count == index->distinct &&
               firstGroup.EveryMatches(first) && secondGroup.EveryMatches(second);
    if (firstGroup.count != index->distinct)
        return false;
    if (firstGroup.EveryMatches(first) || firstGroup.EveryMatches(second))
        return true;
    // Some match only one value and some only the other: each pattern counts once per value.
    return index->CountMatching(first) + index->CountMatching(second) -
               index->CountMatchingBoth(first, second) ==
           index->distinct;
}

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
