#pragma once

#include "DialogTemplate.h"

// Template 102: the main window.
extern const DialogTemplate MainWindowTemplate;
