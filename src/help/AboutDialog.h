#pragma once

#include "dialogkit/TemplateDialog.h"

namespace talvane {

// The About box: the version, the author, and links to the maker's web site and the author's
// mail address. Made anew for every showing.
class AboutDialog : public TemplateDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace talvane
