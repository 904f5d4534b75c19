#pragma once

#include "RecordBook.h"
#include "RecordListModel.h"
#include "base/FileReplacement.h"
#include "dialogkit/UserPrompts.h"

#include <QObject>
#include <QPoint>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTableView;

namespace talvane {

class SteadyScrollBar;

// The record half of the main window, showing a record book: the record list, the dump of the
// newest or the selected record with its two byte texts, copy and the exports' questions. Per
// datagram only the book changes; the widgets follow when the window's beat refreshes them.
class RecordView : public QObject {
    Q_OBJECT

public:
    struct Widgets {
        QTableView* list;
        QPlainTextEdit* dataView;
        QLabel* totalText;
        QLabel* currentText;
        QCheckBox* wideDump;
    };
    RecordView(Widgets widgets, RecordBook& book, UserPrompts::ChooseFile chooseFile,
               QObject* parent);

    // Empties the book, the list and both figures; returns how many records it removed.
    int Clear();

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

    // Writes the records that wait and draws what the records since the last refresh changed;
    // true when they replaced every row in sight.
    bool Refresh();

    const RecordBook& Book() const { return book; }
    const RecordListModel& Model() const { return model; }

signals:
    // A record's file or datagram could not be written while the record before it was kept: the
    // user is told once for a spell of failures, such as a full disk.
    void RecordWritesFailed();
    // An export could not be written, and the file chosen stays as it was: message tells the user
    // why.
    void ExportFailed(const QString& message);

private:
    void ShowContextMenu(const QPoint& position);
    int DumpWidth() const;
    // The first selected row, or the newest when none is selected.
    int ChosenRow() const;
    // Writes the records that wait; every reader of a record file or the log does so first.
    void WriteRecords();
    void ExportRowsAsPcapng(const std::vector<int>& rows);
    // Without records nothing; else asks where to write, writes there and tells a failure.
    void Export(const UserPrompts::FileChoice& choice,
                const std::function<FileReplacement::Outcome(const std::filesystem::path&)>& write);

    Widgets widgets;
    // The list's vertical bar, which the list owns.
    SteadyScrollBar* rowsBar = nullptr;
    RecordBook& book;
    UserPrompts::ChooseFile chooseFile;
    RecordListModel model;
    // What the two byte texts say before the first record, and again after a clear.
    const QString clearedTotalText;
    const QString clearedCurrentText;
};

} // namespace talvane
