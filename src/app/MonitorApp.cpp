#include "MonitorApp.h"

#include "../ui/MainWindow.h"

MonitorApp::MonitorApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Talvane"));
}

int MonitorApp::InitInstance() {
    MainWindow window(MainWindow::Environment::OfThisProcess());
    window.exec();
    return 0;
}
