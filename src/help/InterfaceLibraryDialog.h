#pragma once

#include "dialogkit/TemplateDialog.h"

namespace talvane {

// Tells that a data-processing interface for monitored data comes in a later version; the notice
// links to the maker's web site. The main window keeps one and shows it again on every request.
class InterfaceLibraryDialog : public TemplateDialog {
    Q_OBJECT

public:
    explicit InterfaceLibraryDialog(QWidget* parent = nullptr);
};

} // namespace talvane
