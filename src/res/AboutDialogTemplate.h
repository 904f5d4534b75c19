#pragma once

#include "DialogTemplate.h"

namespace talvane {

// Control ids of the About box.
namespace AboutControlId {

inline constexpr int Ok = 1;
inline constexpr int WebLink = 1036;
inline constexpr int MailLink = 1037;

} // namespace AboutControlId

// Template 100: the About box.
extern const DialogTemplate AboutDialogTemplate;

} // namespace talvane
