#include "StatusBar.h"

#include "DisplayBeat.h"
#include "ElapsedClock.h"
#include "StatusPane.h"
#include "StatusTexts.h"
#include "capture/MonitorState.h"

namespace talvane {

namespace {

struct PaneLayout {
    int width; // 0: takes the remaining width
    QString initialText;
};

} // namespace

StatusBar::StatusBar(QWidget* parent, DisplayBeat& beat) : QStatusBar(parent) {
    const PaneLayout layout[] = {
        {0, QString::fromUtf8(StatusTexts::InitialStream)},
        {100, QString::fromUtf8(MonitorState().PaneText())},
        {120, QString::fromStdString(ElapsedClock::InitialPaneText())},
        {120, QString::fromUtf8(StatusTexts::InitialFiltered)},
    };
    setSizeGripEnabled(false);
    for (std::size_t index = 0; index < panes.size(); ++index) {
        auto* label = new StatusPane(layout[index].initialText, this);
        if (layout[index].width == 0) {
            addWidget(label, 1);
        } else {
            label->setFixedWidth(layout[index].width);
            addPermanentWidget(label);
        }
        panes[index] = label;
    }
    panes[StreamPane]->setToolTip(QString::fromStdString(StatusTexts::StreamTip(0)));
    // Redrawn at most once a beat, however fast datagrams arrive.
    beat.Register([this] { ShowPendingCounters(); });
}

void StatusBar::SetPaneText(Pane pane, const QString& text) {
    panes[pane]->SetText(text);
}

QString StatusBar::PaneText(Pane pane) const {
    return panes[pane]->Text();
}

QString StatusBar::PaneToolTip(Pane pane) const {
    return panes[pane]->toolTip();
}

void StatusBar::SetKernelDrops(std::function<std::uint64_t()> count) {
    kernelDrops = std::move(count);
}

void StatusBar::SetCounters(std::int32_t total, std::int32_t filtered) {
    datagramTotal = total;
    filteredCount = filtered;
    countersPending = true;
}

void StatusBar::ShowPendingCounters() {
    if (!countersPending)
        return;
    countersPending = false;
    SetPaneText(FilteredPane, QString::fromStdString(StatusTexts::Filtered(filteredCount)));
    SetPaneText(StreamPane, QString::fromStdString(StatusTexts::Stream(datagramTotal)));
    if (kernelDrops)
        panes[StreamPane]->setToolTip(
            QString::fromStdString(StatusTexts::StreamTip(kernelDrops())));
}

} // namespace talvane
