#include "RecordListModel.h"

#include "RecordStore.h"
#include "capture/UserNames.h"

#include <QColor>

namespace talvane {

namespace {

constexpr const char* ColumnTitles[RecordListModel::ColumnCount] = {
    "索引", "源IP", "源端口", "协议", "目的IP", "目的端口", "时间", "进程",
};

const QColor SentRow(184, 218, 241);
const QColor OtherRow(242, 216, 158);

QVariant ProcessTip(const ProcessIdentity& process) {
    if (process.pid == 0)
        return {};
    QString tip = QString::fromUtf8("进程号 %1").arg(process.pid);
    if (process.uid)
        tip += QString::fromUtf8("，用户 %1").arg(QString::fromStdString(UserName(*process.uid)));
    return tip;
}

} // namespace

RecordListModel::RecordListModel(std::function<std::string()> localAddressText, QObject* parent)
    : QAbstractTableModel(parent), localAddressText(std::move(localAddressText)) {
    // Room for a full list at once: growing it would move every row to memory the system must
    // first map in, page by page, again at each step.
    rows.reserve(RecordStore::Capacity);
    processes.reserve(RecordStore::Capacity);
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : publishedRows;
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row& row = RowAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(row[static_cast<std::size_t>(index.column())]);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    case Qt::BackgroundRole:
        return row[SourceIp] == localAddressText() ? SentRow : OtherRow;
    case Qt::ToolTipRole:
        return index.column() == Process ? ProcessTip(processes[std::size_t(index.row())])
                                         : QVariant();
    default:
        return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromUtf8(ColumnTitles[section]);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

void RecordListModel::Append(Row row, ProcessIdentity process) {
    rows.push_back(std::move(row));
    processes.push_back(process);
}

bool RecordListModel::Publish() {
    const int stored = StoredRows();
    if (stored == publishedRows)
        return false;
    beginInsertRows({}, publishedRows, stored - 1);
    publishedRows = stored;
    endInsertRows();
    return true;
}

void RecordListModel::Clear() {
    beginResetModel();
    rows.clear();
    processes.clear();
    publishedRows = 0;
    endResetModel();
}

} // namespace talvane
