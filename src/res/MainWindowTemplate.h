#pragma once

#include "DialogTemplate.h"

namespace talvane {

// Template 102: the main window.
extern const DialogTemplate MainWindowTemplate;

} // namespace talvane
