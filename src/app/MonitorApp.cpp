#include "MonitorApp.h"

#include "TerminationSignals.h"
#include "chrome/FlatSkin.h"
#include "ui/MainWindow.h"

namespace talvane {

void MonitorApp::PrepareToolkit() {
    // The window redraws small parts of itself ten times a second. Drawn through shared memory,
    // each redraw first waits for the X server to be done with the last one, a round trip that
    // wakes the program twice more; sent through the connection, it needs no answer.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}

MonitorApp::MonitorApp(int& argc, char** argv) : QApplication(argc, argv) {
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
