#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talvane {

// The alternatives of one pattern field ("80|800@", "192.168.0.25@|10.0.0.@"), cleaned of leading
// zeros. Patterns are never expanded: each is compared with a value's text character by
// character, "@" standing for any one character.
class PatternList {
public:
    enum class Kind { Port, Address };

    PatternList() = default;
    explicit PatternList(std::vector<std::string> entries) : entries(std::move(entries)) {}

    // Splits and normalises a field as typed or as read from a settings file; never fails.
    static PatternList ParsePatternField(std::string_view text, Kind kind);

    // The field's alternatives in order: "80|" gives one, "|80" two (the first empty), "" none.
    static std::vector<std::string_view> SplitField(std::string_view text);

    const std::vector<std::string>& Entries() const { return entries; }
    bool IsEmpty() const { return entries.empty(); }

    friend bool operator==(const PatternList&, const PatternList&) = default;

private:
    std::vector<std::string> entries;
};

// Equal lengths, and at every position equal characters or an "@" on either side.
bool PatternMatches(std::string_view pattern, std::string_view value);

} // namespace talvane
