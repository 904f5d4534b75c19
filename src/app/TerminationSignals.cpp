#include "TerminationSignals.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace talvane {

namespace {

constexpr int Handled[] = {SIGTERM, SIGINT, SIGHUP};

// A signal handler may only write to a pipe; the window's thread reads it.
int pipeEnds[2] = {-1, -1};

void NoteSignal(int) {
    const int savedErrno = errno;
    const char byte = 0;
    (void)!write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals() {
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    // Each dialog runs its own loop inside the one below it, and a message may still come up
    // while the window starts: the closer keeps closing whatever is modal until the program ends.
    closer = new QTimer(this);
    closer->setInterval(10);
    connect(closer, &QTimer::timeout, this, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (read(pipeEnds[0], bytes, sizeof bytes) > 0) {
        }
        closer->start();
    });
    struct sigaction action = {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t index = 0; index < std::size(Handled); ++index)
        sigaction(Handled[index], &action, &previous[index]);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier)
        return;
    for (std::size_t index = 0; index < std::size(Handled); ++index)
        sigaction(Handled[index], &previous[index], nullptr);
    delete notifier;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

} // namespace talvane
