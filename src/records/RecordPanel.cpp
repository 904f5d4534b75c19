#include "RecordPanel.h"

#include "HexDump.h"
#include "PcapngExport.h"
#include "RecordExport.h"
#include "RecordRowDelegate.h"
#include "RecordTexts.h"
#include "capture/HostAddressList.h"
#include "chrome/SteadyScrollBar.h"
#include "res/CommandIds.h"
#include "res/MenuTemplate.h"
#include "res/MessageTexts.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTimerEvent>
#include <algorithm>
#include <numeric>

namespace talvane {

namespace {

// Ten refreshes a second: a burst of datagrams shows as it goes, and drawing under X, a few
// milliseconds each time, stays a small share of a core.
constexpr int RefreshIntervalMs = 100;
// What a row adds to its text's line height, above and below together.
constexpr int RowPadding = 4;

const QString ExportFilter = QString::fromUtf8("文本文件(*.txt);;任何文件(*.*)");
const QString PcapngFilter = QString::fromUtf8("pcapng 文件(*.pcapng)");

QString Text(const std::string& bytes) {
    return QString::fromStdString(bytes);
}

} // namespace

RecordPanel::RecordPanel(Widgets widgetsIn, const std::filesystem::path& recordDirectory,
                         const Ipv4Address& localAddress, UserPrompts::ChooseFile chooseFile,
                         QObject* parent)
    : QObject(parent), widgets(widgetsIn), localAddress(localAddress),
      chooseFile(std::move(chooseFile)), store(recordDirectory),
      model([&localAddress] { return localAddress.Dotted(); }),
      clearedTotalText(widgets.totalText->text()), clearedCurrentText(widgets.currentText->text()) {
    QTableView* list = widgets.list;
    list->setModel(&model);
    list->setItemDelegate(
        new RecordRowDelegate(list, {RecordListModel::Index}, {RecordListModel::Time}));
    rowsBar = new SteadyScrollBar(Qt::Vertical, list);
    list->setVerticalScrollBar(rowsBar);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    // A row is a line of the list's font and a little air, as a report list draws it; the style's
    // own default is more than twice that.
    QHeaderView* rows = list->verticalHeader();
    const int rowHeight = list->fontMetrics().height() + RowPadding;
    rows->setMinimumSectionSize(rowHeight);
    rows->setDefaultSectionSize(rowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    list->horizontalHeader()->setSectionsMovable(true);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    for (int column = 0; column < RecordListModel::ColumnCount; ++column)
        list->setColumnWidth(column, RecordListModel::ColumnWidths[column]);
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RecordPanel::ShowSelectedRecord);
    connect(widgets.wideDump, &QCheckBox::clicked, this, &RecordPanel::ShowSelectedRecord);

    widgets.dataView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(widgets.dataView, &QWidget::customContextMenuRequested, this,
            &RecordPanel::ShowContextMenu);
}

void RecordPanel::Store(const AcceptedPacket& packet) {
    ProcessIdentity process;
    const RecordHeader header = MakeRecordHeader(packet, localAddress, ownerLookup, &process);
    model.Append({std::to_string(store.Count()), header.sourceIp, header.sourcePort,
                  header.protocolName, header.destinationIp, header.destinationPort,
                  TimeOfDay(header.timeText), header.processName},
                 process);
    if (store
            .Store(header, DirectionOf(packet.packetClass), packet.payload, packet.datagram,
                   packet.captured, process.pid)
            .failureBegan)
        emit RecordWritesFailed();

    newest.payload.assign(packet.payload.begin(), packet.payload.end());
    newest.processName = header.processName;
    newest.direction = header.direction;
    newestPending = true;
    ScheduleRefresh();
}

int RecordPanel::Clear() {
    const int removed = store.Count();
    CancelRefresh();
    store.Clear();
    model.Clear();
    widgets.dataView->clear();
    widgets.totalText->setText(clearedTotalText);
    widgets.currentText->setText(clearedCurrentText);
    return removed;
}

int RecordPanel::DumpWidth() const {
    return widgets.wideDump->isChecked() ? 32 : 16;
}

int RecordPanel::ChosenRow() const {
    int row = store.Count() - 1;
    for (const QModelIndex& index : widgets.list->selectionModel()->selectedRows())
        row = std::min(row, index.row());
    return row;
}

void RecordPanel::ShowSelectedRecord() {
    // What the datagrams so far changed is drawn first, so the list shown is the list read.
    Refresh();
    widgets.dataView->clear();
    if (store.Count() == 0)
        return;
    const std::optional<Record> record = store.Read(ChosenRow());
    if (!record)
        return;
    widgets.currentText->setText(
        Text(RecordLineText(record->header, static_cast<int>(record->payload.size()))));
    widgets.dataView->setPlainText(Text(HexDump(record->payload, DumpWidth())));
}

void RecordPanel::CopySelection() const {
    // The edit's own copy, which Ctrl+C in the edit also reaches: both give the same text, with
    // the platform's line ends.
    widgets.dataView->copy();
}

// Whether the datagram left or reached the monitored address, known whoever its owner is.
Pcapng::Direction RecordPanel::DirectionOf(const PacketClass& packet) const {
    if (packet.source == localAddress)
        return Pcapng::Direction::Outbound;
    if (packet.destination == localAddress)
        return Pcapng::Direction::Inbound;
    return Pcapng::Direction::Unknown;
}

void RecordPanel::ShowContextMenu(const QPoint& position) {
    if (!widgets.dataView->textCursor().hasSelection())
        return;
    auto* menu = new QMenu(widgets.dataView);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const MenuTemplate::Item& item : DataViewMenu.popups.front().items) {
        QAction* action = menu->addAction(QString::fromUtf8(item.text));
        connect(action, &QAction::triggered, this, &RecordPanel::CopySelection);
    }
    menu->popup(widgets.dataView->viewport()->mapToGlobal(position));
}

void RecordPanel::SaveSelected() {
    if (store.Count() == 0)
        return;
    const QString path = chooseFile({UserPrompts::FileChoice::Mode::Save, ExportFilter,
                                     QStringLiteral("record"), QStringLiteral("txt")});
    if (path.isEmpty())
        return;
    WriteRecords();
    const std::optional<Record> record = store.Read(ChosenRow());
    if (!record)
        return;
    FileReplacement file(path.toStdString());
    file.Write(RecordExportText(*record));
    TellExportFailure(file.Finish(), path);
}

void RecordPanel::SaveAll() {
    // Rows stored while the dialog is open are not exported.
    const int rowCount = store.Count();
    if (rowCount == 0)
        return;
    const QString path = chooseFile({UserPrompts::FileChoice::Mode::Save, ExportFilter,
                                     QStringLiteral("allrecords"), QStringLiteral("txt")});
    if (path.isEmpty())
        return;
    FileReplacement file(path.toStdString());
    WriteRecords();
    for (int row = 0; row < rowCount; ++row) {
        if (const std::optional<Record> record = store.Read(row))
            file.Write(RecordExportText(*record));
        file.Write(RecordSeparator);
    }
    TellExportFailure(file.Finish(), path);
}

void RecordPanel::ExportAllPcapng() {
    std::vector<int> rows(static_cast<std::size_t>(store.Count()));
    std::iota(rows.begin(), rows.end(), 0);
    ExportRowsAsPcapng(rows);
}

void RecordPanel::ExportSelectedPcapng() {
    std::vector<int> rows;
    for (const QModelIndex& index : widgets.list->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::ranges::sort(rows);
    if (rows.empty())
        rows.push_back(store.Count() - 1);
    ExportRowsAsPcapng(rows);
}

// The rows are taken before the dialog opens: rows stored while it is open are not exported.
void RecordPanel::ExportRowsAsPcapng(const std::vector<int>& rows) {
    if (store.Count() == 0)
        return;
    const QString path = chooseFile({UserPrompts::FileChoice::Mode::Save, PcapngFilter,
                                     QStringLiteral("records.pcapng"), QStringLiteral("pcapng")});
    if (path.isEmpty())
        return;
    const std::string interfaceName =
        HostAddressList::InterfaceHolding(localAddress).value_or(std::string());
    WriteRecords();
    TellExportFailure(ExportPcapng(path.toStdString(), interfaceName, store.Datagrams(), rows),
                      path);
}

void RecordPanel::TellExportFailure(FileReplacement::Outcome outcome, const QString& path) {
    const std::string failure = MessageTexts::ExportFailure(outcome, path.toStdString());
    if (!failure.empty())
        emit ExportFailed(QString::fromStdString(failure));
}

void RecordPanel::ScheduleRefresh() {
    if (!refresh.isActive())
        refresh.start(RefreshIntervalMs, this);
}

void RecordPanel::CancelRefresh() {
    refresh.stop();
    newestPending = false;
}

void RecordPanel::WriteRecords() {
    if (store.Flush())
        emit RecordWritesFailed();
}

void RecordPanel::Refresh() {
    refresh.stop();
    // A row is shown once its file is written.
    WriteRecords();
    // The new rows widen the range, then the list goes to its end: the bar is judged where it
    // ends, and at the end of a long list it looks the same.
    rowsBar->Hold();
    if (model.Publish())
        widgets.list->scrollToBottom();
    rowsBar->Release();
    if (!std::exchange(newestPending, false))
        return;
    widgets.totalText->setText(Text(TotalCaptureText(store.TotalBytes())));
    widgets.currentText->setText(Text(CurrentCaptureText(static_cast<int>(newest.payload.size()),
                                                         newest.processName, newest.direction)));
    widgets.dataView->setPlainText(Text(HexDump(newest.payload, DumpWidth())));
}

void RecordPanel::timerEvent(QTimerEvent* event) {
    if (event->timerId() == refresh.timerId())
        Refresh();
    else
        QObject::timerEvent(event);
}

} // namespace talvane
