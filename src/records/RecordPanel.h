#pragma once

#include "RecordHeaderRule.h"
#include "RecordListModel.h"
#include "RecordStore.h"
#include "base/FileReplacement.h"
#include "capture/Ipv4Address.h"
#include "capture/PortOwnerLookup.h"
#include "dialogkit/UserPrompts.h"

#include <QBasicTimer>
#include <QObject>
#include <QPoint>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTableView;

namespace talvane {

class SteadyScrollBar;

// The record half of the main window: the store of accepted datagrams, the record list, the
// dump of the newest or the selected record with its two byte texts, copy and export. Per
// datagram only data changes; the widgets follow at display rate.
class RecordPanel : public QObject {
    Q_OBJECT

public:
    struct Widgets {
        QTableView* list;
        QPlainTextEdit* dataView;
        QLabel* totalText;
        QLabel* currentText;
        QCheckBox* wideDump;
    };
    RecordPanel(Widgets widgets, const std::filesystem::path& recordDirectory,
                const Ipv4Address& localAddress, UserPrompts::ChooseFile chooseFile,
                QObject* parent);

    // Numbers the packet, adds its row and makes it the newest dump; its file and logged datagram
    // are written at the next refresh, or before anything reads them.
    void Store(const AcceptedPacket& packet);
    // Empties the list and both figures; returns how many records it removed.
    int Clear();
    bool Full() const { return store.Full(); }

    // Shows the first selected record, or the newest when none is selected, read back from its
    // file.
    void ShowSelectedRecord();
    void CopySelection() const;
    void SaveSelected();
    void SaveAll();
    // Write the whole datagrams as pcapng: every record, or the selected ones in list order (the
    // newest when none is selected).
    void ExportAllPcapng();
    void ExportSelectedPcapng();

    // Draws what the datagrams since the last refresh changed; also runs by itself at display
    // rate.
    void Refresh();

    const RecordStore& Records() const { return store; }
    const RecordListModel& Model() const { return model; }

signals:
    // A record's file or datagram could not be written while the record before it was kept: the
    // user is told once for a spell of failures, such as a full disk.
    void RecordWritesFailed();
    // An export could not be written, and the file chosen stays as it was: message tells the user
    // why.
    void ExportFailed(const QString& message);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void ShowContextMenu(const QPoint& position);
    int DumpWidth() const;
    Pcapng::Direction DirectionOf(const PacketClass& packet) const;
    // The first selected row, or the newest when none is selected.
    int ChosenRow() const;
    void ScheduleRefresh();
    // Writes the records that wait; every reader of a record file or the log does so first.
    void WriteRecords();
    void CancelRefresh();
    void ExportRowsAsPcapng(const std::vector<int>& rows);
    void TellExportFailure(FileReplacement::Outcome outcome, const QString& path);

    Widgets widgets;
    // The list's vertical bar, which the list owns.
    SteadyScrollBar* rowsBar = nullptr;
    const Ipv4Address& localAddress;
    UserPrompts::ChooseFile chooseFile;
    RecordStore store;
    RecordListModel model;
    PortOwnerLookup ownerLookup;
    // What the two byte texts say before the first record, and again after a clear.
    const QString clearedTotalText;
    const QString clearedCurrentText;

    // The newest record, shown at the next refresh: its texts are made only when drawn.
    struct Newest {
        std::vector<std::uint8_t> payload;
        std::string processName;
        std::string direction;
    };
    Newest newest;
    bool newestPending = false;
    QBasicTimer refresh;
};

} // namespace talvane
