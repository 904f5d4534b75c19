#include "MonitorApp.h"

#include "chrome/FlatSkin.h"
#include "ui/MainWindow.h"

namespace talvane {

MonitorApp::MonitorApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Talvane"));
    setStyle(new FlatSkin);
}

int MonitorApp::InitInstance() {
    MainWindow window(MainWindow::Environment::OfThisProcess());
    window.exec();
    return 0;
}

} // namespace talvane
