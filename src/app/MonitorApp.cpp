#include "MonitorApp.h"

#include "TerminationSignals.h"
#include "chrome/FlatSkin.h"
#include "ui/MainWindow.h"

#include <csignal>
#include <cstdlib>

namespace talvane {

namespace {

// The records of the window that runs, for the one end that passes by its close: when the display
// goes away, Qt ends the process with exit() from inside the event loop.
const RecordDirectory* runningRecords = nullptr;

void RemoveRunningRecords() {
    if (runningRecords)
        runningRecords->Remove();
}

} // namespace

MonitorApp::MonitorApp(int& argc, char** argv) : QApplication(argc, argv) {
    // Names the per-user settings folder, ~/.config/talvane, and the desktop entry.
    setApplicationName(QStringLiteral("talvane"));
    setDesktopFileName(QStringLiteral("talvane"));
    setStyle(new FlatSkin);
}

int MonitorApp::InitInstance() {
    // A helper or display gone is a failed write, which the program handles, not an end.
    std::signal(SIGPIPE, SIG_IGN);
    const TerminationSignals terminationSignals;
    MainWindow window(MainWindow::Environment::OfThisProcess());
    runningRecords = &window.Records();
    std::atexit(RemoveRunningRecords);
    window.exec();
    runningRecords = nullptr;
    return 0;
}

} // namespace talvane
