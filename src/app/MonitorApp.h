#pragma once

#include <QApplication>

namespace talvane {

// The application: lives exactly as long as its main window runs.
class MonitorApp : public QApplication {
    Q_OBJECT

public:
    // Qt reads these settings when the application object is made: call this before.
    static void PrepareToolkit();

    MonitorApp(int& argc, char** argv);

    // Runs the main window modally; returns the process exit code once it has closed.
    int InitInstance();
};

} // namespace talvane
