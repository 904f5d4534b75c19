#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace talvane {

// The alternatives of one pattern field ("80|800@", "192.168.0.25@|10.0.0.@"), cleaned of leading
// zeros. Patterns are never expanded: each is compared with a value's text character by
// character, "@" standing for any one character.
//
// A settings file may hold hundreds of thousands of alternatives, and every datagram is tested
// against them: the list answers its questions from an index of its distinct entries, at a cost
// that follows the number of distinct places where entries of a value's length hold "@", not the
// number of entries, and a port's from a table.
class PatternList {
public:
    enum class Kind { Port, Address };

    // The values patterns are compared with, port and address texts, are never longer.
    static constexpr std::size_t MaximumValueLength = 15;

    PatternList() = default;
    explicit PatternList(std::vector<std::string> entries);

    // Splits and normalises a field as typed or as read from a settings file; never fails.
    static PatternList ParsePatternField(std::string_view text, Kind kind);

    // The field's alternatives in order: "80|" gives one, "|80" two (the first empty), "" none.
    static std::vector<std::string_view> SplitField(std::string_view text);

    const std::vector<std::string>& Entries() const { return entries; }
    // True only without any entry: an empty one ("|80") counts.
    bool IsEmpty() const { return entries.empty(); }

    // Values are port and address texts: digits and dots, at most MaximumValueLength of them.
    // Whether a non-empty entry matches value.
    bool AnyMatches(std::string_view value) const;
    // Whether every non-empty entry matches value; true without one.
    bool EveryMatches(std::string_view value) const;
    // Whether every non-empty entry matches first or second; true without one.
    bool EveryMatchesEither(std::string_view first, std::string_view second) const;
    // The same for a port's text, answered from a table of every port.
    bool AnyMatchesPort(std::uint16_t port) const;
    bool EveryMatchesPort(std::uint16_t port) const;

    friend bool operator==(const PatternList& left, const PatternList& right) {
        return left.entries == right.entries;
    }

private:
    struct Index;

    std::vector<std::string> entries;
    // Made from entries, shared by the copies; null without a non-empty entry.
    std::shared_ptr<const Index> index;
};

// Equal lengths, and at every position equal characters or an "@" on either side.
bool PatternMatches(std::string_view pattern, std::string_view value);

} // namespace talvane
