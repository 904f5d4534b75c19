#include "PatternValidation.h"

#include "PatternList.h"

#include <algorithm>

namespace talvane {

namespace PatternValidation {
namespace {

constexpr std::string_view PortMessages[] = {
    "过滤本地端口号非法",
    "过滤远程端口号非法",
    "监控本地端口号非法",
    "监控远程端口号非法",
};

bool IsDigit(char character) {
    return character >= '0' && character <= '9';
}

// Compares a pattern of the limit's length with the limit from the left: "@" or a smaller digit
// decides for the pattern, a greater digit against it.
bool WithinLimit(std::string_view pattern, std::string_view limit) {
    for (std::size_t index = 0; index < limit.size(); ++index) {
        if (pattern[index] == '@' || pattern[index] < limit[index])
            return true;
        if (pattern[index] > limit[index])
            return false;
    }
    return true;
}

} // namespace

std::string_view ValidatePortAlternative(std::string_view alternative,
                                         std::string_view fieldMessage) {
    if (!std::ranges::all_of(alternative, [](char c) { return IsDigit(c) || c == '@'; }))
        return fieldMessage;
    // Only five-character patterns can exceed the range; longer ones are leading zeros.
    if (alternative.size() == 5 && !WithinLimit(alternative, "65535"))
        return PortRangeMessage;
    return {};
}

std::string_view ValidateAddressAlternative(std::string_view alternative) {
    if (alternative.empty())
        return {};
    if (!std::ranges::all_of(alternative,
                             [](char c) { return IsDigit(c) || c == '@' || c == '.'; }))
        return AddressDataMessage;
    if (std::ranges::count(alternative, '.') != 3)
        return AddressFormatMessage;
    for (int octet = 0; octet < 4; ++octet) {
        const std::size_t dot = alternative.find('.');
        const std::string_view pattern = alternative.substr(0, dot);
        if (pattern.empty() || pattern.size() > 3)
            return AddressFormatMessage;
        if (pattern.size() == 3 && !WithinLimit(pattern, "255"))
            return AddressRangeMessage;
        alternative.remove_prefix(dot == std::string_view::npos ? alternative.size() : dot + 1);
    }
    return {};
}

std::string_view ValidatePatternFields(const Fields& fields) {
    for (std::size_t field = 0; field < fields.size(); ++field) {
        for (std::string_view alternative : PatternList::SplitField(fields[field])) {
            const std::string_view message =
                field < 4 ? ValidatePortAlternative(alternative, PortMessages[field])
                          : ValidateAddressAlternative(alternative);
            if (!message.empty())
                return message;
        }
    }
    return {};
}

} // namespace PatternValidation

} // namespace talvane
