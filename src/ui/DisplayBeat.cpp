#include "DisplayBeat.h"

#include <QTimer>
#include <utility>

namespace talvane {

std::unique_ptr<QObject> DisplayBeat::TimerTicks(std::function<void()> tick) {
    constexpr int TickMs = 100;
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), std::move(tick));
    timer->start(TickMs);
    return timer;
}

void DisplayBeat::Register(std::function<void()> draw) {
    draws.push_back(std::move(draw));
}

void DisplayBeat::Start(const TickSource& source) {
    ticks = source([this] { Tick(); });
}

void DisplayBeat::Stop() {
    ticks.reset();
}

void DisplayBeat::Tick() {
    if (std::exchange(resting, false))
        return;
    for (const std::function<void()>& draw : draws)
        draw();
}

void DisplayBeat::Rest() {
    resting = true;
}

} // namespace talvane
