#pragma once

#include <cstdint>
#include <string>

namespace talvane {

// The login name of user uid, or the number itself where the system knows no name for it.
std::string UserName(std::uint32_t uid);

} // namespace talvane
