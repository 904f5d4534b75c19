#pragma once

#include <QTextBrowser>
#include <filesystem>

namespace talvane {

// The help file in a top-level window of its own that the main window owns: a modal main window
// blocks every window but its own, so help stays usable beside it. The main window makes it on
// the first Help and shows the same one again later.
class HelpWindow : public QTextBrowser {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* owner);

    // Shows the file from its start, or a one-line note where the file is missing.
    void ShowFile(const std::filesystem::path& file);
};

} // namespace talvane
