#include "records/RecordView.h"
#include "capture/PortOwnerLookup.h"
#include "records/HexDump.h"
#include "records/PcapngFormat.h"
#include "records/RecordExport.h"
#include "records/RecordListModel.h"
#include "records/RecordRowDelegate.h"
#include "support/CaptureFileReader.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace talvane;

namespace fs = std::filesystem;

namespace {

const Ipv4Address Local{{192, 168, 0, 25}};
const Ipv4Address Peer{{10, 1, 2, 3}};
const Ipv4Address OtherPeer{{10, 3, 2, 1}};
const QBrush SentRow(QColor(184, 218, 241));
const QBrush OtherRow(QColor(242, 216, 158));

// The four exports, each of which asks for a file.
void (RecordView::*const ExportCommands[])() = {&RecordView::SaveSelected, &RecordView::SaveAll,
                                                &RecordView::ExportSelectedPcapng,
                                                &RecordView::ExportAllPcapng};

PacketClass Accepted(IpProtocol protocol, const Ipv4Address& source, const Ipv4Address& destination,
                     std::optional<TransportPorts> ports = {}) {
    PacketClass packet;
    packet.protocol = protocol;
    packet.source = source;
    packet.destination = destination;
    packet.ports = ports;
    return packet;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string ProgramName() {
    return fs::read_symlink("/proc/self/exe").filename().string();
}

// A UDP port held by this process on every address, so that its owner can be named.
struct HeldUdpPort {
    int socketFd = socket(AF_INET, SOCK_DGRAM, 0);
    std::uint16_t port = 0;

    HeldUdpPort() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t length = sizeof address;
        if (bind(socketFd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
    }
    ~HeldUdpPort() { close(socketFd); }
};

// The record half of a window, with its questions answered by the test.
struct ViewUnderTest {
    QTemporaryDir directory;
    QWidget window;
    QTableView* list = new QTableView(&window);
    QPlainTextEdit* dataView = new QPlainTextEdit(&window);
    QLabel* totalText = new QLabel(QString::fromUtf8("总共接收:"), &window);
    QLabel* currentText = new QLabel(QString::fromUtf8("当前接收:"), &window);
    QCheckBox* wideDump = new QCheckBox(&window);
    RecordBook book{Directory(), std::make_unique<PortOwnerLookup>()};
    QString chosenFile;
    int fileQuestions = 0;
    UserPrompts::FileChoice lastChoice;
    std::unique_ptr<RecordView> view;

    ViewUnderTest() {
        dataView->setReadOnly(true);
        book.Bind(Local, "lo");
        view = std::make_unique<RecordView>(
            RecordView::Widgets{list, dataView, totalText, currentText, wideDump}, book,
            [this](const UserPrompts::FileChoice& choice) {
                ++fileQuestions;
                lastChoice = choice;
                return chosenFile;
            },
            nullptr);
    }

    fs::path Directory() const { return directory.path().toStdString(); }

    void Store(const PacketClass& packet, const std::vector<std::uint8_t>& payload) {
        book.Add({packet, payload,
                  std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now())});
    }
    // A UDP datagram from the local address to a peer.
    void StoreSent(int payloadSize, std::uint16_t sourcePort = 1030) {
        Store(Accepted(IpProtocol::Udp, Local, Peer, TransportPorts{sourcePort, 53}),
              std::vector<std::uint8_t>(static_cast<std::size_t>(payloadSize), 0x41));
    }
    QString Dump() const { return dataView->toPlainText(); }
    std::optional<Record> File(int index) const {
        return RecordFile::Read(Directory() / std::to_string(index));
    }
    void SelectRows(const QList<int>& rows) {
        list->clearSelection();
        for (int row : rows)
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

// The text export of a record as its file holds it.
std::string ExportText(const Record& record) {
    return RecordExportText(record.header, record.payload);
}

QString DumpText(std::span<const std::uint8_t> bytes, int width) {
    // The edit keeps lines, not their CR LF.
    return QString::fromStdString(HexDump(bytes, width)).replace("\r\n", "\n");
}

} // namespace

class RecordViewTest : public QObject {
    Q_OBJECT

private slots:
    void modelPassesTheModelTester();
    void recordOfAnIcmpPacket();
    void ownerOfTheLocalPortNamesTheRecord_data();
    void ownerOfTheLocalPortNamesTheRecord();
    void burstIsDrawnOnceWithItsLastState();
    void clearKeepsFilesAndIndicesStartAgain();
    void selectedRecordIsReadBackFromItsFile();
    void missingRecordFileLeavesTheDumpEmpty();
    void rowsAreColouredByTheAddressSelectedNow();
    void saveSelectedWritesTheFirstSelectedRecord();
    void saveAllWritesEveryRecordInOrder();
    void pcapngExportTakesTheChosenRowsInListOrder_data();
    void pcapngExportTakesTheChosenRowsInListOrder();
    void exportsWithoutRowsOrWithCancelWriteNothing();
    void exportsReplaceOnlyARegularFileAndTellWhyNot_data();
    void exportsReplaceOnlyARegularFileAndTellWhyNot();
    void contextMenuOnlyOverASelectionAndCopyTakesIt();
    void cellsLookAsTheStyleDrawsThem_data();
    void cellsLookAsTheStyleDrawsThem();
};

void RecordViewTest::modelPassesTheModelTester() {
    ViewUnderTest test;
    QAbstractItemModelTester tester(test.list->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int index = 0; index < 5; ++index)
        test.StoreSent(index);
    test.view->Refresh();
    QCOMPARE(test.list->model()->rowCount(), 5);
    test.StoreSent(9);
    test.view->Clear();
    QCOMPARE(test.list->model()->rowCount(), 0);
    test.StoreSent(1);
    test.view->Refresh();
    QCOMPARE(test.list->model()->rowCount(), 1);

    const QStringList titles = {"索引",   "源IP",     "源端口", "协议",
                                "目的IP", "目的端口", "时间",   "进程"};
    const int widths[] = {50, 110, 80, 60, 110, 80, 88, 120};
    QCOMPARE(test.list->model()->columnCount(), titles.size());
    for (int column = 0; column < titles.size(); ++column) {
        QCOMPARE(test.list->model()->headerData(column, Qt::Horizontal).toString(), titles[column]);
        QCOMPARE(test.list->columnWidth(column), widths[column]);
        QCOMPARE(
            test.list->model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
            Qt::AlignCenter);
    }
}

void RecordViewTest::recordOfAnIcmpPacket() {
    ViewUnderTest test;
    test.Store(Accepted(IpProtocol::Icmp, Peer, Local), {});
    test.view->Refresh();

    const std::string file = ReadBytes(test.Directory() / "0");
    QCOMPARE(file.size(), std::size_t{1 + 1 + 1 + 9 + 1 + 5 + 13 + 1 + 18});
    QCOMPARE(file.substr(0, 3), std::string("\x32\x01\x01", 3));
    QCOMPARE(file.substr(12, 1), std::string("\x01"));
    QCOMPARE(file.substr(31, 1), std::string("\x01"));
    QCOMPARE(fs::status(test.Directory() / "0").permissions() & fs::perms::all,
             fs::perms::owner_read | fs::perms::owner_write);
    QCOMPARE(test.totalText->text(), "total capture:0 bytes");
    QCOMPARE(test.currentText->text(), "current capture:0 bytes");
    QCOMPARE(test.Dump(), QString());
    const QAbstractItemModel& model = *test.list->model();
    QCOMPARE(model.index(0, 0).data().toString(), "0");
    QCOMPARE(model.index(0, 3).data().toString(), "ICMP");
    QCOMPARE(model.index(0, 6).data().toString(),
             QString::fromStdString(test.File(0)->header.timeText.substr(9)));
}

void RecordViewTest::ownerOfTheLocalPortNamesTheRecord_data() {
    QTest::addColumn<bool>("sent");
    QTest::addColumn<bool>("owned");
    QTest::addColumn<QString>("direction");
    QTest::addColumn<Pcapng::Direction>("flags");
    using enum Pcapng::Direction;
    QTest::newRow("sent from an owned port") << true << true << "send" << Outbound;
    QTest::newRow("received on an owned port") << false << true << "receive" << Inbound;
    QTest::newRow("sent from a port nobody owns") << true << false << "" << Outbound;
    QTest::newRow("received on a port nobody owns") << false << false << "" << Inbound;
}

// The export's flags give the direction by the addresses, its comment the owner where known.
void RecordViewTest::ownerOfTheLocalPortNamesTheRecord() {
    QFETCH(bool, sent);
    QFETCH(bool, owned);
    QFETCH(QString, direction);
    QFETCH(Pcapng::Direction, flags);
    ViewUnderTest test;
    std::optional<HeldUdpPort> held(std::in_place);
    QVERIFY(held->port != 0);
    const std::uint16_t port = held->port;
    if (!owned)
        held.reset();
    if (sent)
        test.Store(Accepted(IpProtocol::Udp, Local, Peer, TransportPorts{port, 53}),
                   std::vector<std::uint8_t>{1, 2, 3});
    else
        test.Store(Accepted(IpProtocol::Udp, Peer, Local, TransportPorts{53, port}),
                   std::vector<std::uint8_t>{1, 2, 3});
    test.view->Refresh();

    const std::string name = owned ? ProgramName() : "";
    QCOMPARE(test.File(0)->header.processName, name);
    QCOMPARE(QString::fromStdString(test.File(0)->header.direction), direction);
    const QString expected = owned ? QString::fromStdString(name) + " " + direction + ":3 bytes"
                                   : QString("current capture:3 bytes");
    QCOMPARE(test.currentText->text(), expected);
    QCOMPARE(test.list->model()->index(0, RecordListModel::Process).data().toString(),
             QString::fromStdString(name));
    const auto block = test.book.Datagrams().Block(0);
    QCOMPARE(Pcapng::ReadPacketBlock(*block)->direction, flags);
    QCOMPARE(Pcapng::ReadPacketBlock(*block)->comment,
             owned ? name + " " + direction.toStdString() : "");
}

void RecordViewTest::burstIsDrawnOnceWithItsLastState() {
    ViewUnderTest test;
    QSignalSpy inserted(test.list->model(), &QAbstractItemModel::rowsInserted);
    for (int index = 0; index < 50; ++index)
        test.StoreSent(index + 1);
    const std::vector<std::uint8_t> last{0x48, 0x69, 0x21, 0x0A, 0xFF};
    test.Store(Accepted(IpProtocol::Udp, Ipv4Address{{10, 9, 9, 9}}, Peer, TransportPorts{7, 8}),
               last);
    QCOMPARE(test.list->model()->rowCount(), 0);
    QCOMPARE(test.Dump(), QString());

    test.view->Refresh();
    QCOMPARE(test.list->model()->rowCount(), 51);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(test.Dump(), DumpText(last, 16));
    QCOMPARE(test.totalText->text(), QString("total capture:%1 bytes").arg(50 * 51 / 2 + 5));
    QCOMPARE(test.currentText->text(), "current capture:5 bytes");
    QCOMPARE(test.book.Count(), 51);
}

void RecordViewTest::clearKeepsFilesAndIndicesStartAgain() {
    ViewUnderTest test;
    for (int index = 0; index < 3; ++index)
        test.StoreSent(10);
    test.view->Refresh();
    const std::string oldTwo = ReadBytes(test.Directory() / "2");

    QCOMPARE(test.view->Clear(), 3);
    QCOMPARE(test.list->model()->rowCount(), 0);
    QCOMPARE(test.totalText->text(), "总共接收:");
    QCOMPARE(test.currentText->text(), "当前接收:");
    QCOMPARE(test.Dump(), QString());
    QVERIFY(fs::exists(test.Directory() / "2"));

    test.StoreSent(4, 2000);
    test.view->Refresh();
    QCOMPARE(test.list->model()->index(0, 0).data().toString(), "0");
    QCOMPARE(test.File(0)->header.sourcePort, "2000");
    QCOMPARE(test.File(0)->payload.size(), std::size_t{4});
    QCOMPARE(ReadBytes(test.Directory() / "2"), oldTwo);
    QCOMPARE(test.totalText->text(), "total capture:4 bytes");
}

void RecordViewTest::selectedRecordIsReadBackFromItsFile() {
    ViewUnderTest test;
    std::vector<std::vector<std::uint8_t>> payloads;
    for (int index = 0; index < 4; ++index) {
        payloads.emplace_back(static_cast<std::size_t>(20 + index), 0x30 + index);
        test.Store(Accepted(IpProtocol::Tcp, Peer, OtherPeer, TransportPorts{80, 1030}),
                   payloads.back());
    }
    test.view->Refresh();

    test.SelectRows({2, 1});
    QCOMPARE(test.Dump(), DumpText(payloads[1], 16));
    QCOMPARE(test.currentText->text(), "current data length:21 bytes");

    test.list->clearSelection();
    QCOMPARE(test.Dump(), DumpText(payloads[3], 16));
    test.wideDump->click();
    QCOMPARE(test.Dump(), DumpText(payloads[3], 32));
    test.wideDump->click();
    QCOMPARE(test.Dump(), DumpText(payloads[3], 16));
}

void RecordViewTest::missingRecordFileLeavesTheDumpEmpty() {
    ViewUnderTest test;
    test.StoreSent(8);
    test.StoreSent(9);
    test.view->Refresh();
    fs::remove(test.Directory() / "0");
    const QString before = test.currentText->text();
    test.SelectRows({0});
    QCOMPARE(test.Dump(), QString());
    QCOMPARE(test.currentText->text(), before);
}

void RecordViewTest::rowsAreColouredByTheAddressSelectedNow() {
    ViewUnderTest test;
    test.StoreSent(1);
    test.Store(Accepted(IpProtocol::Udp, Peer, Local, TransportPorts{53, 1030}), {});
    test.view->Refresh();
    const QAbstractItemModel& model = *test.list->model();
    for (int column = 0; column < 7; ++column) {
        QCOMPARE(model.index(0, column).data(Qt::BackgroundRole).value<QBrush>(), SentRow);
        QCOMPARE(model.index(1, column).data(Qt::BackgroundRole).value<QBrush>(), OtherRow);
    }
    test.book.Bind(Ipv4Address{{10, 1, 2, 3}}, "lo");
    QCOMPARE(model.index(0, 0).data(Qt::BackgroundRole).value<QBrush>(), OtherRow);
    QCOMPARE(model.index(1, 0).data(Qt::BackgroundRole).value<QBrush>(), SentRow);
}

void RecordViewTest::saveSelectedWritesTheFirstSelectedRecord() {
    ViewUnderTest test;
    test.StoreSent(2, 1001);
    test.StoreSent(3, 1002);
    test.StoreSent(4, 1003);
    test.view->Refresh();
    const QString output = test.directory.filePath("record.txt");
    test.chosenFile = output;

    test.SelectRows({2, 1});
    test.view->SaveSelected();
    QCOMPARE(test.lastChoice.mode, UserPrompts::FileChoice::Mode::Save);
    QCOMPARE(test.lastChoice.defaultName, "record");
    QCOMPARE(test.lastChoice.defaultSuffix, "txt");
    QCOMPARE(test.lastChoice.nameFilter, "文本文件(*.txt);;任何文件(*.*)");
    QCOMPARE(ReadBytes(output.toStdString()), ExportText(*test.File(1)));

    test.list->clearSelection();
    test.view->SaveSelected();
    QCOMPARE(ReadBytes(output.toStdString()), ExportText(*test.File(2)));
    QVERIFY(ReadBytes(output.toStdString()).find("source port=1003,") != std::string::npos);
}

void RecordViewTest::saveAllWritesEveryRecordInOrder() {
    ViewUnderTest test;
    for (int index = 0; index < 3; ++index)
        test.StoreSent(index);
    test.view->Refresh();
    fs::remove(test.Directory() / "1");
    const QString output = test.directory.filePath("all.txt");
    test.chosenFile = output;

    test.view->SaveAll();
    QCOMPARE(test.lastChoice.defaultName, "allrecords");
    QCOMPARE(ReadBytes(output.toStdString()), ExportText(*test.File(0)) + "\r\n\r\n\r\n\r\n" +
                                                  ExportText(*test.File(2)) + "\r\n\r\n");
}

void RecordViewTest::pcapngExportTakesTheChosenRowsInListOrder_data() {
    QTest::addColumn<bool>("all");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QList<int>>("exported");
    QTest::newRow("all, whatever is selected") << true << QList<int>{2} << QList<int>{0, 1, 2, 3};
    QTest::newRow("selected, in list order") << false << QList<int>{3, 0, 2} << QList<int>{0, 2, 3};
    QTest::newRow("none selected: the newest") << false << QList<int>{} << QList<int>{3};
}

// The file holds each chosen datagram whole, at its capture time, as libpcap reads it.
void RecordViewTest::pcapngExportTakesTheChosenRowsInListOrder() {
    QFETCH(bool, all);
    QFETCH(QList<int>, selected);
    QFETCH(QList<int>, exported);
    ViewUnderTest test;
    const CaptureTime start =
        std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
    std::vector<std::vector<std::uint8_t>> datagrams;
    for (int index = 0; index < 4; ++index) {
        datagrams.emplace_back(std::size_t(28 + index), std::uint8_t(0x45 + index));
        test.book.Add({Accepted(IpProtocol::Udp, Peer, OtherPeer, TransportPorts{53, 1030}),
                       std::span(datagrams.back()).subspan(28),
                       start + std::chrono::microseconds(index * 250), datagrams.back()});
    }
    test.view->Refresh();
    test.SelectRows(selected);
    test.chosenFile = test.directory.filePath("chosen.pcapng");

    if (all)
        test.view->ExportAllPcapng();
    else
        test.view->ExportSelectedPcapng();
    QCOMPARE(test.lastChoice.mode, UserPrompts::FileChoice::Mode::Save);
    QCOMPARE(test.lastChoice.nameFilter, "pcapng 文件(*.pcapng)");
    QCOMPARE(test.lastChoice.defaultName, "records.pcapng");
    QCOMPARE(test.lastChoice.defaultSuffix, "pcapng");
    const CaptureFileReader read = CaptureFileReader::Read(test.chosenFile.toStdString());
    QCOMPARE(QString::fromStdString(read.error), QString());
    QCOMPARE(int(read.packets.size()), exported.size());
    for (int at = 0; at < exported.size(); ++at) {
        const int index = exported[at];
        QVERIFY(read.packets[std::size_t(at)].bytes == datagrams[std::size_t(index)]);
        QCOMPARE(read.packets[std::size_t(at)].time,
                 (start + std::chrono::microseconds(index * 250)).time_since_epoch().count());
    }
}

void RecordViewTest::exportsWithoutRowsOrWithCancelWriteNothing() {
    ViewUnderTest test;
    const auto exportEverything = [&test] {
        for (const auto command : ExportCommands)
            (test.view.get()->*command)();
    };
    test.chosenFile = test.directory.filePath("never.txt");
    exportEverything();
    QCOMPARE(test.fileQuestions, 0);

    test.StoreSent(1);
    test.chosenFile.clear();
    exportEverything();
    QCOMPARE(test.fileQuestions, 4);
    QVERIFY(!fs::exists(test.directory.filePath("never.txt").toStdString()));

    // Save selected whose record file is gone creates no output file.
    test.view->Refresh();
    fs::remove(test.Directory() / "0");
    test.chosenFile = test.directory.filePath("never.txt");
    test.view->SaveSelected();
    QVERIFY(!fs::exists(test.chosenFile.toStdString()));
}

void RecordViewTest::exportsReplaceOnlyARegularFileAndTellWhyNot_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("overFolder");
    const char* commands[] = {"save selected", "save all", "pcapng selected", "pcapng all"};
    for (int command = 0; command < 4; ++command) {
        QTest::addRow("%s over a file others may read", commands[command]) << command << false;
        QTest::addRow("%s over a folder", commands[command]) << command << true;
    }
}

// The file chosen is replaced whole and private; what cannot be stays, and the user is told why.
void RecordViewTest::exportsReplaceOnlyARegularFileAndTellWhyNot() {
    QFETCH(int, command);
    QFETCH(bool, overFolder);
    ViewUnderTest test;
    test.StoreSent(3);
    test.view->Refresh();
    test.chosenFile = test.directory.filePath("export");
    const fs::path path = test.chosenFile.toStdString();
    if (overFolder)
        fs::create_directory(path);
    else
        std::ofstream(path) << "old";
    QSignalSpy failures(test.view.get(), &RecordView::ExportFailed);

    std::invoke(ExportCommands[command], *test.view);
    const QString told = "导出目标是符号链接或不是普通文件，已拒绝写入: " + test.chosenFile;
    QCOMPARE(failures.size() == 1 && failures[0][0] == told, overFolder);
    if (overFolder)
        QVERIFY(fs::is_empty(path));
    else
        QVERIFY(ReadBytes(path) != "old" &&
                fs::status(path).permissions() == (fs::perms::owner_read | fs::perms::owner_write));
}

void RecordViewTest::contextMenuOnlyOverASelectionAndCopyTakesIt() {
    ViewUnderTest test;
    test.window.show();
    test.Store(Accepted(IpProtocol::Udp, Peer, OtherPeer, TransportPorts{53, 1030}),
               std::vector<std::uint8_t>(20, 0x41));
    test.view->Refresh();
    QApplication::clipboard()->setText("before");

    emit test.dataView->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(QApplication::activePopupWidget() == nullptr);
    test.view->CopySelection();
    QCOMPARE(QApplication::clipboard()->text(), "before");

    QTextCursor cursor = test.dataView->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    test.dataView->setTextCursor(cursor);
    emit test.dataView->customContextMenuRequested(QPoint(5, 5));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().front()->text(), "复制(&C)");
    menu->actions().front()->trigger();
    menu->close();
    QCOMPARE(QApplication::clipboard()->text(), "41 41");
}

QTEST_MAIN(RecordViewTest)
void RecordViewTest::cellsLookAsTheStyleDrawsThem_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("selected");
    QTest::newRow("address") << "192.168.0.25" << false;
    QTest::newRow("chinese") << QString::fromUtf8("进程") << false;
    QTest::newRow("too wide") << "a process name far too wide for its cell" << false;
    QTest::newRow("selected") << "192.168.0.25" << true;
}

// Cells copied from kept pictures, of a column drawn each time and of a column kept briefly, look
// exactly like cells the style draws, the first time and after, and a row that is selected later
// is not shown from its plain picture.
void RecordViewTest::cellsLookAsTheStyleDrawsThem() {
    QFETCH(QString, text);
    QFETCH(bool, selected);
    QStandardItemModel model(3, 3);
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int column = 0; column < model.columnCount(); ++column) {
            auto* item = new QStandardItem(text);
            item->setTextAlignment(Qt::AlignCenter);
            item->setBackground(row == 1 ? SentRow : OtherRow);
            model.setItem(row, column, item);
        }
    }
    const auto draw = [&](bool keptPictures) {
        QTableView view;
        view.setModel(&model);
        if (keptPictures)
            view.setItemDelegate(new RecordRowDelegate(&view, {1}, {2}));
        view.resize(380, 120);
        if (keptPictures)
            view.grab();
        if (selected)
            view.selectRow(1);
        return view.grab().toImage();
    };
    const QImage styled = draw(false);
    QCOMPARE(draw(true), styled);
    QCOMPARE(draw(true), styled);
}

#include "RecordViewTest.moc"
