#pragma once

namespace talvane {

// Who makes Talvane and where to find them: the banner, the About box and the help links all
// point here.
namespace Branding {

inline constexpr const char* MakerWebAddress = "https://talvane.example.org/";
inline constexpr const char* MakerHostName = "talvane.example.org";
inline constexpr const char* AuthorName = "The Talvane Team";
inline constexpr const char* AuthorEmail = "talvane@example.org";

} // namespace Branding

} // namespace talvane
