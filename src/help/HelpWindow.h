#pragma once

#include <QTextBrowser>
#include <filesystem>

namespace talvane {

// The help file in a window of its own. No window owns it, so it can stay open beside the main
// window; the main window makes it on the first Help and shows the same one again later.
class HelpWindow : public QTextBrowser {
    Q_OBJECT

public:
    HelpWindow();

    // Shows the file from its start, or a one-line note where the file is missing.
    void ShowFile(const std::filesystem::path& file);
};

} // namespace talvane
