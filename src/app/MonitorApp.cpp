#include "MonitorApp.h"

#include "TerminationSignals.h"
#include "chrome/FlatSkin.h"
#include "ui/MainWindow.h"

namespace talvane {

namespace {

// Qt reads these settings when the application object is made. The window redraws a pane ten
// times a second: drawn through shared memory, each redraw first waits for the X server to be
// done with the last, a round trip that wakes the program twice more and cost about a third of
// its time with no traffic; sent through the connection, it needs no answer. The user's own
// setting stays.
int& PrepareToolkit(int& argc) {
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    return argc;
}

} // namespace

MonitorApp::MonitorApp(int& argc, char** argv) : QApplication(PrepareToolkit(argc), argv) {
    // Names the per-user settings folder, ~/.config/talvane, and the desktop entry.
    setApplicationName(QStringLiteral("talvane"));
    setDesktopFileName(QStringLiteral("talvane"));
    setStyle(new FlatSkin);
}

int MonitorApp::InitInstance() {
    const TerminationSignals terminationSignals;
    MainWindow window(MainWindow::Environment::OfThisProcess());
    window.exec();
    return 0;
}

} // namespace talvane
