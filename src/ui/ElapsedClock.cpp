#include "ElapsedClock.h"

#include <cstdio>

namespace talvane {

void ElapsedClock::Tick() {
    if (++tenths == 10) {
        tenths = 0;
        ++seconds;
    }
    if (seconds == 60) {
        seconds = 0;
        ++minutes;
    }
    if (minutes == 60) {
        minutes = 0;
        ++hours;
    }
}

std::string ElapsedClock::PaneText() const {
    char text[64];
    std::snprintf(text, sizeof text, "监控时间 %d:%d:%d:%d", hours, minutes, seconds,
                  Milliseconds());
    return text;
}

} // namespace talvane
