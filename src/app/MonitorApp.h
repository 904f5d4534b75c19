#pragma once

#include <QApplication>

namespace talvane {

// The application: lives exactly as long as its main window runs.
class MonitorApp : public QApplication {
    Q_OBJECT

public:
    MonitorApp(int& argc, char** argv);

    // Runs the main window modally; returns the process exit code once it has closed.
    int InitInstance();
};

} // namespace talvane
