#pragma once

#include "DialogTemplate.h"

namespace talvane {

// Control ids of the interface-library dialog.
namespace InterfaceLibraryControlId {

inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Notice = 1014;

} // namespace InterfaceLibraryControlId

// Template 144: the interface-library dialog, a notice of what a later version brings.
extern const DialogTemplate InterfaceLibraryTemplate;

} // namespace talvane
