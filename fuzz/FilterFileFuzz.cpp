// Any bytes read as a ".ft" settings file: either a defined failure, or settings that encode back
// to the same settings and validate without crashing.

#include "filtering/FilterFile.h"
#include "filtering/PatternValidation.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace talvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<FilterSettings> settings = FilterFile::Decode(bytes);
    if (!settings)
        return 0;
    if (FilterFile::Decode(FilterFile::Encode(*settings)) != settings)
        std::abort();
    PatternValidation::ValidatePatternFields(
        {settings->filterLocalPortText, settings->filterRemotePortText,
         settings->monitorLocalPortText, settings->monitorRemotePortText, settings->filterIpText,
         settings->monitorIpText});
    ActiveFilter::From(*settings);
    return 0;
}
