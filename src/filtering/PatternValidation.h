#pragma once

#include <array>
#include <string>
#include <string_view>

namespace talvane {

// Checks the six pattern fields before they are saved or exported. Each check answers with the
// message to show, or an empty view when the input is valid; the caller shows the message.
namespace PatternValidation {

// The six fields in the order they are validated: filter local port, filter remote port,
// monitor local port, monitor remote port, filter IP, monitor IP.
using Fields = std::array<std::string_view, 6>;

inline constexpr std::string_view PortRangeMessage = "端口号范围为0--65535";
inline constexpr std::string_view AddressDataMessage = "IP数据非法";
inline constexpr std::string_view AddressFormatMessage = "IP数据格式非法";
inline constexpr std::string_view AddressRangeMessage = "IP范围为0.0.0.0--255.255.255.255";

// The message of the first invalid alternative of the first field that holds one.
std::string_view ValidatePatternFields(const Fields& fields);

// fieldMessage is the port field's own message for an invalid character.
std::string_view ValidatePortAlternative(std::string_view alternative,
                                         std::string_view fieldMessage);
std::string_view ValidateAddressAlternative(std::string_view alternative);

} // namespace PatternValidation

} // namespace talvane
