#pragma once

#include "capture/SocketOwner.h"

#include <QAbstractTableModel>
#include <array>
#include <functional>
#include <string>
#include <vector>

namespace talvane {

// The rows of the record list: index, source IP, source port, protocol, destination IP,
// destination port, time of day and the owning process. Rows arrive once per datagram but reach the
// view in batches, so a burst costs one insertion instead of one per row.
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
    using Row = std::array<std::string, ColumnCount>;

    // localAddressText gives the address selected now; rows are coloured against it when they
    // are painted, so choosing another address re-colours them.
    explicit RecordListModel(std::function<std::string()> localAddressText,
                             QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Keeps the row until the next Publish; the process named in its last column is told in that
    // cell's tool tip.
    void Append(Row row, ProcessIdentity process = {});
    // Shows every appended row; true when there were any.
    bool Publish();
    void Clear();

    // Every row, published or not.
    int StoredRows() const { return static_cast<int>(rows.size()); }
    const Row& RowAt(int row) const { return rows[static_cast<std::size_t>(row)]; }

    static constexpr int ColumnWidths[ColumnCount] = {50, 110, 80, 60, 110, 80, 88, 120};

private:
    std::function<std::string()> localAddressText;
    std::vector<Row> rows;
    std::vector<ProcessIdentity> processes;
    int publishedRows = 0;
};

} // namespace talvane
