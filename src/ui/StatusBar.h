#pragma once

#include <QBasicTimer>
#include <QStatusBar>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

namespace talvane {

class StatusPane;

// The main window's status bar: datagram count, monitor state, monitoring time and filtered
// count. The counters change once per datagram but are drawn at display rate.
class StatusBar : public QStatusBar {
    Q_OBJECT

public:
    enum Pane { StreamPane = 0, StatePane = 1, TimePane = 2, FilteredPane = 3 };

    explicit StatusBar(QWidget* parent);

    void SetPaneText(Pane pane, const QString& text);
    QString PaneText(Pane pane) const;
    QString PaneToolTip(Pane pane) const;

    // Cheap enough for every datagram: the texts follow at the next display refresh.
    void SetCounters(std::int32_t datagramTotal, std::int32_t filteredCount);
    // Asked for the kernel's drops whenever the counters are drawn, never more often: pane 0's
    // tool tip says how many.
    void SetKernelDrops(std::function<std::uint64_t()> count);
    // Draws counters still waiting for their refresh now, with whatever else is being drawn.
    void ShowPendingCounters();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void ShowCounters();

    std::array<StatusPane*, 4> panes{};
    std::int32_t datagramTotal = 0;
    std::int32_t filteredCount = 0;
    std::function<std::uint64_t()> kernelDrops;
    QBasicTimer refresh;
};

} // namespace talvane
