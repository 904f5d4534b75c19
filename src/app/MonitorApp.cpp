#include "MonitorApp.h"

#include "TerminationSignals.h"
#include "chrome/FlatSkin.h"
#include "ui/MainWindow.h"

namespace talvane {

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
