#pragma once

#include <string>

namespace talvane {

// Monitoring time counted in 100 ms timer ticks rather than read from a clock, so ticks the
// system delays or merges are not made up. Never reset: pause and stop only halt it.
class ElapsedClock {
public:
    void Tick();

    int Hours() const { return hours; }
    int Minutes() const { return minutes; }
    int Seconds() const { return seconds; }
    int Milliseconds() const { return tenths * 100; }

    // Status pane 2 after the first tick.
    std::string PaneText() const;
    // Status pane 2 before any tick.
    static std::string InitialPaneText() { return "监控时间 00:00:00"; }

private:
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int tenths = 0;
};

} // namespace talvane
