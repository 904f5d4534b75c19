// Any bytes as the six pattern fields, one per line: parsing and validating stay inside the text,
// normalising twice changes nothing, and the validator answers with one of its own messages.

#include "filtering/PatternList.h"
#include "filtering/PatternValidation.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
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
    for (std::size_t index = 0; index < fields.size(); ++index)
        CheckParse(fields[index], index < 4 ? PatternList::Kind::Port : PatternList::Kind::Address);
    if (!IsKnownMessage(PatternValidation::ValidatePatternFields(fields)))
        std::abort();
    return 0;
}
