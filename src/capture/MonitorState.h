#pragma once

#include <string_view>

namespace talvane {

// The monitor's life: Ready -> Monitoring <-> Paused, and Monitoring or Paused -> Stopped.
// The three enable flags are derived from the phase, so they can never disagree with it.
class MonitorState {
public:
    enum class Phase { Ready, Monitoring, Paused, Stopped };

    Phase CurrentPhase() const { return phase; }
    bool CanBegin() const { return phase != Phase::Monitoring; }
    bool CanPause() const { return phase == Phase::Monitoring; }
    bool CanStop() const { return phase == Phase::Monitoring || phase == Phase::Paused; }

    // The elapsed-time clock advances only while begin is disabled.
    bool ClockRuns() const { return !CanBegin(); }

    // Each returns false, changing nothing, when its flag is 0.
    bool Begin();
    bool Pause();
    bool Stop();

    // Status pane 1.
    std::string_view PaneText() const;

private:
    Phase phase = Phase::Ready;
};

} // namespace talvane
