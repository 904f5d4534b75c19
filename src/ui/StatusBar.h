#pragma once

#include <QStatusBar>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

namespace talvane {

class DisplayBeat;
class StatusPane;

// The main window's status bar: datagram count, monitor state, monitoring time and filtered
// count. The counters change once per datagram but are drawn at the display's beat.
class StatusBar : public QStatusBar {
    Q_OBJECT

public:
    enum Pane { StreamPane = 0, StatePane = 1, TimePane = 2, FilteredPane = 3 };

    StatusBar(QWidget* parent, DisplayBeat& beat);

    void SetPaneText(Pane pane, const QString& text);
    QString PaneText(Pane pane) const;
    QString PaneToolTip(Pane pane) const;

    // Cheap enough for every datagram: the texts follow at the next beat.
    void SetCounters(std::int32_t datagramTotal, std::int32_t filteredCount);
    // Asked for the kernel's drops whenever the counters are drawn, never more often: pane 0's
    // tool tip says how many.
    void SetKernelDrops(std::function<std::uint64_t()> count);

private:
    // Draws counters still waiting for the beat, with whatever else the beat draws.
    void ShowPendingCounters();

    std::array<StatusPane*, 4> panes{};
    std::int32_t datagramTotal = 0;
    std::int32_t filteredCount = 0;
    std::function<std::uint64_t()> kernelDrops;
    bool countersPending = false;
};

} // namespace talvane
