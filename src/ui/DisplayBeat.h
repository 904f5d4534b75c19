#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace talvane {

// The display's one beat. Every redraw costs a round trip to the display however little it
// draws: what the datagrams changed is drawn together with the clock, one redraw a beat, instead
// of on timers of its own. Panels register what they draw; each beat draws it all.
class DisplayBeat {
public:
    // Calls the function every 100 ms until the returned object is destroyed.
    using TickSource = std::function<std::unique_ptr<QObject>(std::function<void()> tick)>;
    static std::unique_ptr<QObject> TimerTicks(std::function<void()> tick);

    // Drawn at every beat, in the order registered.
    void Register(std::function<void()> draw);
    void Start(const TickSource& source);
    void Stop();
    // One beat, now.
    void Tick();
    // The next beat draws nothing: what it would draw waits for the one after.
    void Rest();

private:
    std::vector<std::function<void()>> draws;
    bool resting = false;
    std::unique_ptr<QObject> ticks;
};

} // namespace talvane
