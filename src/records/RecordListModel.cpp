#include "RecordListModel.h"

#include "RecordBook.h"
#include "RecordTexts.h"
#include "capture/UserNames.h"

#include <QColor>

namespace talvane {

namespace {

constexpr const char* ColumnTitles[RecordListModel::ColumnCount] = {
    "索引", "源IP", "源端口", "协议", "目的IP", "目的端口", "时间", "进程",
};

const QColor SentRow(184, 218, 241);
const QColor OtherRow(242, 216, 158);

QVariant ProcessTip(const std::optional<RecordOwner>& owner) {
    if (!owner || owner->process.pid == 0)
        return {};
    const ProcessIdentity& process = owner->process;
    QString tip = QString::fromUtf8("进程号 %1").arg(process.pid);
    if (process.uid)
        tip += QString::fromUtf8("，用户 %1").arg(QString::fromStdString(UserName(*process.uid)));
    return tip;
}

std::string CellText(const RecordEntry& entry, int column) {
    switch (column) {
    case RecordListModel::Index:
        return std::to_string(entry.index);
    case RecordListModel::SourceIp:
        return entry.source.Dotted();
    case RecordListModel::SourcePort:
        return PortText(entry.sourcePort);
    case RecordListModel::Protocol:
        return std::string(ProtocolText(entry.protocol));
    case RecordListModel::DestinationIp:
        return entry.destination.Dotted();
    case RecordListModel::DestinationPort:
        return PortText(entry.destinationPort);
    case RecordListModel::Time:
        return TimeOfDay(RecordTimeText(entry.captured));
    case RecordListModel::Process:
        return entry.owner ? entry.owner->name : std::string();
    }
    return {};
}

} // namespace

RecordListModel::RecordListModel(const RecordBook& book, QObject* parent)
    : QAbstractTableModel(parent), book(book) {}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : publishedRows;
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const RecordEntry& entry = book.Entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(CellText(entry, index.column()));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    case Qt::BackgroundRole:
        return entry.source == book.LocalAddress() ? SentRow : OtherRow;
    case Qt::ToolTipRole:
        return index.column() == Process ? ProcessTip(entry.owner) : QVariant();
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

bool RecordListModel::Publish() {
    const int stored = book.Count();
    if (stored == publishedRows)
        return false;
    beginInsertRows({}, publishedRows, stored - 1);
    publishedRows = stored;
    endInsertRows();
    return true;
}

void RecordListModel::Clear() {
    beginResetModel();
    publishedRows = 0;
    endResetModel();
}

} // namespace talvane
