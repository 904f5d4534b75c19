// Any bytes as the six pattern fields, one per line: parsing and validating stay inside the text,
// normalising twice changes nothing, the validator answers with one of its own messages, and a
// list's index answers as its entries do one by one.

#include "filtering/PatternList.h"
#include "filtering/PatternValidation.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

using namespace talvane;

namespace {

void CheckParse(std::string_view field, PatternList::Kind kind) {
    const PatternList list = PatternList::ParsePatternField(field, kind);
    if (list.Entries().size() != PatternList::SplitField(field).size())
        std::abort();
    for (const std::string& entry : list.Entries()) {
        // An empty alternative ("|80") is no field of its own to parse again.
        if (entry.empty())
            continue;
        const PatternList again = PatternList::ParsePatternField(entry, kind);
        if (again.Entries().size() != 1 || again.Entries().front() != entry ||
            !PatternMatches(entry, entry))
            std::abort();
    }
}

// A value the entry matches, or one near it: "@" and any other character made digits.
std::string ValueNear(std::string_view entry, char digit) {
    std::string value(entry.substr(0, PatternList::MaximumValueLength));
    for (char& c : value) {
        if (c != '.' && (c < '0' || c > '9'))
            c = digit;
    }
    return value;
}

void CheckAnswers(const PatternList& list, const std::string& first, const std::string& second) {
    const std::vector<std::string>& entries = list.Entries();
    const auto matches = [](std::string_view value) {
        return [value](const std::string& entry) {
            return !entry.empty() && PatternMatches(entry, value);
        };
    };
    const auto any = [&](std::string_view value) {
        return std::ranges::any_of(entries, matches(value));
    };
    const auto every = [&](std::string_view value) {
        return std::ranges::all_of(entries, [&](const std::string& entry) {
            return entry.empty() || matches(value)(entry);
        });
    };
    const bool either = std::ranges::all_of(entries, [&](const std::string& entry) {
        return entry.empty() || matches(first)(entry) || matches(second)(entry);
    });
    if (list.AnyMatches(first) != any(first) || list.EveryMatches(first) != every(first) ||
        list.EveryMatchesEither(first, second) != either)
        std::abort();
    if (first.empty() || first.size() > 5 || first.find('.') != std::string::npos)
        return;
    const unsigned long port = std::stoul(first);
    const std::string text = std::to_string(port);
    if (port <= 0xFFFF && (list.AnyMatchesPort(std::uint16_t(port)) != any(text) ||
                           list.EveryMatchesPort(std::uint16_t(port)) != every(text)))
        std::abort();
}

bool IsKnownMessage(std::string_view message) {
    using namespace PatternValidation;
    return message.empty() || message == PortRangeMessage || message == AddressDataMessage ||
           message == AddressFormatMessage || message == AddressRangeMessage ||
           message.ends_with("端口号非法");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exactly sized copy, so that a read past the text is caught.
    const auto bytes = std::make_unique<char[]>(size);
    std::copy(data, data + size, bytes.get());
    std::string_view text(bytes.get(), size);

    PatternValidation::Fields fields;
    for (std::string_view& field : fields) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        field = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const PatternList::Kind kind =
            index < 4 ? PatternList::Kind::Port : PatternList::Kind::Address;
        CheckParse(fields[index], kind);
        const PatternList list = PatternList::ParsePatternField(fields[index], kind);
        const std::vector<std::string>& entries = list.Entries();
        for (std::size_t entry = 0; entry < std::min<std::size_t>(entries.size(), 4); ++entry) {
            const std::string& other = entries[(entry + 1) % entries.size()];
            CheckAnswers(list, ValueNear(entries[entry], '1'), ValueNear(other, char('0' + entry)));
        }
    }
    if (!IsKnownMessage(PatternValidation::ValidatePatternFields(fields)))
        std::abort();
    return 0;
}
