#pragma once

#include <QAbstractTableModel>

namespace talvane {

class RecordBook;

// The rows of the record list, one per entry of the book: index, source IP, source port, protocol,
// destination IP, destination port, time of day and the owning process, whose texts are made only
// when a row is drawn. Entries arrive once per datagram but reach the view in batches, so a burst
// costs one insertion instead of one per row.
class RecordListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        Index,
        SourceIp,
        SourcePort,
        Protocol,
        DestinationIp,
        DestinationPort,
        Time,
        Process
    };
    static constexpr int ColumnCount = 8;

    // Rows are coloured against the address the book is bound to when they are painted, so
    // binding another address re-colours them.
    explicit RecordListModel(const RecordBook& book, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Shows every entry of the book; true when there were new ones.
    bool Publish();
    // Shows no rows; before the book is cleared.
    void Clear();

    static constexpr int ColumnWidths[ColumnCount] = {50, 110, 80, 60, 110, 80, 88, 120};

private:
    const RecordBook& book;
    int publishedRows = 0;
};

} // namespace talvane
