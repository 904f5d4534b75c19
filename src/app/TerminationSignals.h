#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;
class QTimer;

namespace talvane {

// Ends the program as its close box does when the session or a user asks it to end (SIGTERM,
// SIGINT, SIGHUP): every open dialog is closed, innermost first, then the main window, which stops
// the capture, joins the worker and removes the record files. Only one may exist at a time.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    TerminationSignals();
    ~TerminationSignals() override;

private:
    QSocketNotifier* notifier = nullptr;
    QTimer* closer = nullptr;
    struct sigaction previous[3] = {};
};

} // namespace talvane
