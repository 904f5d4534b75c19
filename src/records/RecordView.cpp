#include "RecordView.h"

#include "HexDump.h"
#include "PcapngExport.h"
#include "RecordExport.h"
#include "RecordRowDelegate.h"
#include "RecordTexts.h"
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
#include <algorithm>
#include <numeric>

namespace talvane {

namespace {

// What a row adds to its text's line height, above and below together.
constexpr int RowPadding = 4;

const QString ExportFilter = QString::fromUtf8("文本文件(*.txt);;任何文件(*.*)");
const QString PcapngFilter = QString::fromUtf8("pcapng 文件(*.pcapng)");

QString Text(const std::string& bytes) {
    return QString::fromStdString(bytes);
}

} // namespace

RecordView::RecordView(Widgets widgetsIn, RecordBook& book, UserPrompts::ChooseFile chooseFile,
                       QObject* parent)
    : QObject(parent), widgets(widgetsIn), book(book), chooseFile(std::move(chooseFile)),
      model(book), clearedTotalText(widgets.totalText->text()),
      clearedCurrentText(widgets.currentText->text()) {
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
    // Rows are redrawn at every beat that brings records: text that needs no shaping, as in
    // nearly every script, is not shaped.
    QFont rowFont = list->font();
    rowFont.setStyleStrategy(QFont::PreferNoShaping);
    list->setFont(rowFont);
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
            &RecordView::ShowSelectedRecord);
    connect(widgets.wideDump, &QCheckBox::clicked, this, &RecordView::ShowSelectedRecord);

    widgets.dataView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(widgets.dataView, &QWidget::customContextMenuRequested, this,
            &RecordView::ShowContextMenu);
}

int RecordView::Clear() {
    const int removed = book.Count();
    model.Clear();
    book.Clear();
    widgets.dataView->clear();
    widgets.totalText->setText(clearedTotalText);
    widgets.currentText->setText(clearedCurrentText);
    return removed;
}

int RecordView::DumpWidth() const {
    return widgets.wideDump->isChecked() ? 32 : 16;
}

int RecordView::ChosenRow() const {
    int row = book.Count() - 1;
    for (const QModelIndex& index : widgets.list->selectionModel()->selectedRows())
        row = std::min(row, index.row());
    return row;
}

void RecordView::ShowSelectedRecord() {
    // What the datagrams so far changed is drawn first, so the list shown is the list read.
    Refresh();
    widgets.dataView->clear();
    if (book.Count() == 0)
        return;
    const int row = ChosenRow();
    const std::optional<Record> record = book.Read(row);
    if (!record)
        return;
    widgets.currentText->setText(
        Text(RecordLineText(book.Entry(row), static_cast<int>(record->payload.size()))));
    widgets.dataView->setPlainText(Text(HexDump(record->payload, DumpWidth())));
}

void RecordView::CopySelection() const {
    // The edit's own copy, which Ctrl+C in the edit also reaches: both give the same text, with
    // the platform's line ends.
    widgets.dataView->copy();
}

void RecordView::ShowContextMenu(const QPoint& position) {
    if (!widgets.dataView->textCursor().hasSelection())
        return;
    auto* menu = new QMenu(widgets.dataView);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const MenuTemplate::Item& item : DataViewMenu.popups.front().items) {
        QAction* action = menu->addAction(QString::fromUtf8(item.text));
        connect(action, &QAction::triggered, this, &RecordView::CopySelection);
    }
    menu->popup(widgets.dataView->viewport()->mapToGlobal(position));
}

void RecordView::SaveSelected() {
    Export(
        {UserPrompts::FileChoice::Mode::Save, ExportFilter, QStringLiteral("record"),
         QStringLiteral("txt")},
        [this](const std::filesystem::path& path) {
            // A record whose file is gone writes nothing, and nothing is told.
            return ExportRecordText(path, book, ChosenRow()).value_or(FileReplacement::Outcome{});
        });
}

void RecordView::SaveAll() {
    // Rows stored while the dialog is open are not exported.
    const int rowCount = book.Count();
    Export({UserPrompts::FileChoice::Mode::Save, ExportFilter, QStringLiteral("allrecords"),
            QStringLiteral("txt")},
           [this, rowCount](const std::filesystem::path& path) {
               return ExportRecordTexts(path, book, rowCount);
           });
}

void RecordView::ExportAllPcapng() {
    std::vector<int> rows(static_cast<std::size_t>(book.Count()));
    std::iota(rows.begin(), rows.end(), 0);
    ExportRowsAsPcapng(rows);
}

void RecordView::ExportSelectedPcapng() {
    std::vector<int> rows;
    for (const QModelIndex& index : widgets.list->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::ranges::sort(rows);
    if (rows.empty())
        rows.push_back(book.Count() - 1);
    ExportRowsAsPcapng(rows);
}

// The rows are taken before the dialog opens: rows stored while it is open are not exported.
void RecordView::ExportRowsAsPcapng(const std::vector<int>& rows) {
    Export({UserPrompts::FileChoice::Mode::Save, PcapngFilter, QStringLiteral("records.pcapng"),
            QStringLiteral("pcapng")},
           [this, &rows](const std::filesystem::path& path) {
               return ExportPcapng(path, book, rows);
           });
}

void RecordView::Export(
    const UserPrompts::FileChoice& choice,
    const std::function<FileReplacement::Outcome(const std::filesystem::path&)>& write) {
    if (book.Count() == 0)
        return;
    const QString path = chooseFile(choice);
    if (path.isEmpty())
        return;
    // What waits is written first, so that the export finds every record's file.
    WriteRecords();
    const std::string failure =
        MessageTexts::ExportFailure(write(path.toStdString()), path.toStdString());
    if (!failure.empty())
        emit ExportFailed(QString::fromStdString(failure));
}

void RecordView::WriteRecords() {
    if (book.Flush())
        emit RecordWritesFailed();
}

bool RecordView::Refresh() {
    // A row is shown once its file is written.
    WriteRecords();
    // The new rows widen the range, then the list goes to its end: the bar is judged where it
    // ends, and at the end of a long list it looks the same.
    rowsBar->Hold();
    const int shownBefore = model.rowCount();
    const bool added = model.Publish();
    if (added)
        widgets.list->scrollToBottom();
    rowsBar->Release();
    if (!added)
        return false;
    const std::span<const std::uint8_t> newest = book.NewestPayload();
    widgets.totalText->setText(Text(TotalCaptureText(book.TotalBytes())));
    widgets.currentText->setText(
        Text(CurrentCaptureText(static_cast<int>(newest.size()), book.Entry(book.Count() - 1))));
    widgets.dataView->setPlainText(Text(HexDump(newest, DumpWidth())));
    const int rowHeight = widgets.list->verticalHeader()->defaultSectionSize();
    return model.rowCount() - shownBefore > widgets.list->viewport()->height() / rowHeight;
}

} // namespace talvane
