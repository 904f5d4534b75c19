#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace talvane {

// Runs the event loop until done() holds or timeoutMs have passed, and returns done(). Unlike a
// test wait, which naps between turns, the loop wakes for every event at once, as the program's
// own loop does.
template <typename Condition> bool RunLoopUntil(Condition done, int timeoutMs) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

} // namespace talvane
