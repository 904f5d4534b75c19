#include "MonitorState.h"

namespace talvane {

bool MonitorState::Begin() {
    if (!CanBegin())
        return false;
    phase = Phase::Monitoring;
    return true;
}

bool MonitorState::Pause() {
    if (!CanPause())
        return false;
    phase = Phase::Paused;
    return true;
}

bool MonitorState::Stop() {
    if (!CanStop())
        return false;
    phase = Phase::Stopped;
    return true;
}

std::string_view MonitorState::PaneText() const {
    switch (phase) {
    case Phase::Ready:
        return "监控状态: 就绪";
    case Phase::Monitoring:
        return "监控状态: 监控";
    case Phase::Paused:
        return "监控状态: 暂停";
    case Phase::Stopped:
        return "监控状态: 停止";
    }
    return {};
}

} // namespace talvane
