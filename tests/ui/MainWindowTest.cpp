#include "chrome/ImageToolBar.h"
#include "filtering/FilterDialog.h"
#include "filtering/FilterFile.h"
#include "records/PcapngFormat.h"
#include "records/RecordView.h"
#include "res/CommandIds.h"
#include "res/ControlIds.h"
#include "res/FilterDialogTemplate.h"
#include "res/MessageTexts.h"
#include "support/CaptureFileReader.h"
#include "support/NextModal.h"
#include "support/StreamFeed.h"
#include "support/TestNetwork.h"
#include "support/WindowEnvironment.h"
#include "ui/StatusBar.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <array>
#include <fstream>
#include <map>
#include <unistd.h>

using namespace talvane;

namespace {

// Documentation addresses: no interface holds them, so no capture opens and nothing needs root.
const std::vector<Ipv4Address> TestAddresses = {{{192, 0, 2, 1}}, {{198, 51, 100, 7}}};

const QString CreateSocketFail = "create socket fail ";

std::vector<std::uint8_t> UdpFrom(const Ipv4Address& source, std::size_t payloadSize) {
    const std::vector<std::uint8_t> payload(payloadSize, 0x5A);
    return TestPackets::UdpDatagram(source, TestAddresses[0], 4000, 53, payload);
}

CaptureTime Now() {
    return std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
}

std::filesystem::path OwnRecordFolder(const QTemporaryDir& runtimeDirectory) {
    return std::filesystem::path(runtimeDirectory.path().toStdString()) / "talvane" /
           std::to_string(getpid());
}

struct WindowUnderTest : WindowEnvironment {
    std::unique_ptr<MainWindow> window;
    WindowProbe probe;

    explicit WindowUnderTest(std::vector<Ipv4Address> addresses = TestAddresses,
                             const std::filesystem::path& runtime = {})
        : WindowEnvironment(std::move(addresses)),
          window(std::make_unique<MainWindow>(Make(runtime, Beat::ByHand))), probe(*window) {}

    QString Pane(StatusBar::Pane pane) const { return probe.Status()->PaneText(pane); }

    bool ShowActive() {
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
    }

    // Records of datagrams with these payload sizes, drawn.
    void Record(std::initializer_list<std::size_t> payloadSizes) {
        for (const std::size_t size : payloadSizes)
            probe.HandleDatagram(UdpFrom({{10, 0, 0, 9}}, size), Now());
        probe.RecordsView().Refresh();
    }
};

enum class Trigger { ToolButton, MenuItem, Shortcut };

struct MonitorCommand {
    char letter;
    int toolId;
    int menuId;
};

const MonitorCommand MonitorCommands[] = {
    {'b', CommandId::BeginMonitorTool, CommandId::BeginMonitor},
    {'p', CommandId::PauseMonitorTool, CommandId::PauseMonitor},
    {'s', CommandId::StopMonitorTool, CommandId::StopMonitor},
};

const MonitorCommand& CommandFor(char letter) {
    for (const MonitorCommand& command : MonitorCommands) {
        if (command.letter == letter)
            return command;
    }
    qFatal("no such command");
}

struct StateRow {
    const char* name;
    const char* path;
    const char* pane;
    const char* enabled; // begin, pause, stop
};

const StateRow States[] = {
    {"ready", "", "监控状态: 就绪", "100"},
    {"monitoring", "b", "监控状态: 监控", "011"},
    {"paused", "bp", "监控状态: 暂停", "101"},
    {"stopped", "bs", "监控状态: 停止", "100"},
};

const StateRow& StateAfter(const StateRow& from, char letter) {
    const int command = letter == 'b' ? 0 : letter == 'p' ? 1 : 2;
    if (from.enabled[command] == '0')
        return from;
    const char* target = letter == 'b' ? "monitoring" : letter == 'p' ? "paused" : "stopped";
    for (const StateRow& state : States) {
        if (qstrcmp(state.name, target) == 0)
            return state;
    }
    qFatal("no such state");
}

QString EnabledFlags(const WindowProbe& probe, bool toolBar) {
    QString flags;
    for (const MonitorCommand& command : MonitorCommands) {
        const QAction* action = probe.Action(toolBar ? command.toolId : command.menuId);
        flags += action->isEnabled() ? '1' : '0';
    }
    return flags;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void everyMonitorCommandInEveryState_data();
    void everyMonitorCommandInEveryState();
    void plainLetterRunsItsCommandAndReachesTheAddressField();
    void exitLetterClosesTheWindow();
    void enterKeepsTheWindowEscapeClosesIt();
    void titleNamesTheMonitoredAddress();
    void captureThatCannotOpenIsReportedAtStartAndAtStop();
    void garbledCaptureStreamEndsMonitoringWithAMessage();
    void beatTicksWhileTheStartMessageIsRead();
    void noAddressAtAll();
    void menuBarTexts();
    void promptsBelongToTheAskingWindowAndShowPlainText_data();
    void promptsBelongToTheAskingWindowAndShowPlainText();
    void toolBarButtonsAndTips();
    void controlsAtStart();
    void elapsedTimeAdvancesOnlyWhileMonitoring();
    void oneBeatDrawsWhatTheDatagramsChanged();
    void recordDirectoryIsPrivateAndEmptiedAtClose();
    void unsafeRecordDirectoryKeepsNoFiles();
    void failingRecordWritesAreToldOncePerSpell();
    void streamPaneTipTellsKernelDropsWhenDrawn();
    void activeFilterFollowsTheLastFileAndTheCheckBox();
    void damagedLastFileIsReportedAndFiltersNothing();
    void filterDialogOkAppliesTheSettings();
    void fullListIsClearedBeforeTheNextDatagram_data();
    void fullListIsClearedBeforeTheNextDatagram();
    void everyClearCommandEmptiesTheList_data();
    void everyClearCommandEmptiesTheList();
    void pcapngExportsRunFromMenuAndKeys_data();
    void pcapngExportsRunFromMenuAndKeys();
    void windowCombinationsDoNotReachTheList_data();
    void windowCombinationsDoNotReachTheList();
    void growingEndsWhereOneStepDoesAndGoesBackExactly_data();
    void growingEndsWhereOneStepDoesAndGoesBackExactly();
    void maximisingWidensTheDumpAndRestoringNarrowsIt();
    void minimisingAndRestoringMovesNothing();
    void copyMenuFollowsTheKeyboardFocus_data();
    void copyMenuFollowsTheKeyboardFocus();
    void dumpLinesNeverWrap_data();
    void dumpLinesNeverWrap();
};

void MainWindowTest::everyMonitorCommandInEveryState_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("enabledBefore");
    QTest::addColumn<int>("trigger");
    QTest::addColumn<char>("command");
    QTest::addColumn<QString>("paneAfter");
    QTest::addColumn<QString>("enabledAfter");

    const std::pair<Trigger, const char*> triggers[] = {
        {Trigger::ToolButton, "tool button"},
        {Trigger::MenuItem, "menu item"},
        {Trigger::Shortcut, "shortcut"},
    };
    for (const StateRow& state : States) {
        for (const auto& [trigger, triggerName] : triggers) {
            for (const MonitorCommand& command : MonitorCommands) {
                const StateRow& after = StateAfter(state, command.letter);
                QTest::addRow("%s, %s %c", state.name, triggerName, command.letter)
                    << QString(state.path) << QString(state.enabled) << int(trigger)
                    << command.letter << QString::fromUtf8(after.pane) << QString(after.enabled);
            }
        }
    }
}

void MainWindowTest::everyMonitorCommandInEveryState() {
    QFETCH(QString, path);
    QFETCH(QString, enabledBefore);
    QFETCH(int, trigger);
    QFETCH(char, command);
    QFETCH(QString, paneAfter);
    QFETCH(QString, enabledAfter);

    WindowUnderTest test;
    QVERIFY(test.ShowActive());
    for (const QChar letter : path)
        test.probe.RunCommand(CommandFor(letter.toLatin1()).menuId);
    QCOMPARE(EnabledFlags(test.probe, true), enabledBefore);
    QCOMPARE(EnabledFlags(test.probe, false), enabledBefore);

    const MonitorCommand& chosen = CommandFor(command);
    switch (Trigger(trigger)) {
    case Trigger::ToolButton:
        QTest::mouseClick(test.probe.ToolBar()->widgetForAction(test.probe.Action(chosen.toolId)),
                          Qt::LeftButton);
        break;
    case Trigger::MenuItem:
        test.probe.Action(chosen.menuId)->trigger();
        break;
    case Trigger::Shortcut:
        QTest::keyClick(QApplication::focusWidget(), chosen.letter);
        break;
    }

    QCOMPARE(test.Pane(StatusBar::StatePane), paneAfter);
    QCOMPARE(EnabledFlags(test.probe, true), enabledAfter);
    QCOMPARE(EnabledFlags(test.probe, false), enabledAfter);
    QCOMPARE(test.engine->WorkerRunning() || !test.probe.Session().State().CanPause(), true);
}

void MainWindowTest::plainLetterRunsItsCommandAndReachesTheAddressField() {
    WindowUnderTest test;
    QVERIFY(test.ShowActive());
    QComboBox* combo = test.probe.AddressCombo();
    combo->setFocus();
    combo->lineEdit()->clear();

    QTest::keyClicks(QApplication::focusWidget(), "b");
    QCOMPARE(test.probe.Session().State().CurrentPhase(), MonitorState::Phase::Monitoring);
    QTest::keyClicks(QApplication::focusWidget(), "p");
    QCOMPARE(test.probe.Session().State().CurrentPhase(), MonitorState::Phase::Paused);
    QTest::keyClicks(QApplication::focusWidget(), "S");
    QCOMPARE(test.probe.Session().State().CurrentPhase(), MonitorState::Phase::Stopped);
    // A letter with Shift or Alt is no shortcut, and Ctrl+B is none either.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(test.probe.Session().State().CurrentPhase(), MonitorState::Phase::Stopped);

    QCOMPARE(combo->lineEdit()->text(), "bpS");
    QCOMPARE(combo->count(), 2);
}

void MainWindowTest::exitLetterClosesTheWindow() {
    WindowUnderTest test;
    QVERIFY(test.ShowActive());
    test.probe.AddressCombo()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_X);
    QVERIFY(!test.window->isVisible());
    QCOMPARE(test.window->result(), int(QDialog::Rejected));
}

void MainWindowTest::enterKeepsTheWindowEscapeClosesIt() {
    WindowUnderTest test;
    QVERIFY(test.ShowActive());
    for (QWidget* focus :
         {static_cast<QWidget*>(test.probe.AddressCombo()),
          test.probe.Control(ControlId::SaveSelected), test.probe.Control(ControlId::RecordList)}) {
        focus->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QVERIFY2(test.window->isVisible(), qPrintable(focus->metaObject()->className()));
    }
    QCOMPARE(test.probe.AddressCombo()->count(), 2);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!test.window->isVisible());
}

void MainWindowTest::titleNamesTheMonitoredAddress() {
    WindowUnderTest test;
    const QByteArray prefix = "Talvane -- \xe4\xbb\xa5\xe5\xa4\xaa\xe7\xbd\x91\xe7\x89\x88"
                              "      \xe7\x9b\x91\xe6\x8e\xa7IP:";
    QCOMPARE(test.window->windowTitle().toUtf8(), prefix + "192.0.2.1");

    test.probe.AddressCombo()->setCurrentIndex(1);
    QCOMPARE(test.window->windowTitle().toUtf8(), prefix + "198.51.100.7");
    QCOMPARE(test.probe.Session().SelectedAddress(), TestAddresses[1]);
    QCOMPARE(test.probe.Session().State().CurrentPhase(), MonitorState::Phase::Ready);
}

void MainWindowTest::captureThatCannotOpenIsReportedAtStartAndAtStop() {
    WindowUnderTest test;
    QCOMPARE(test.messages, QStringList{CreateSocketFail});

    test.probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(test.messages.size(), 1);
    QVERIFY(test.engine->WorkerRunning());

    test.probe.RunCommand(CommandId::StopMonitor);
    QCOMPARE(test.messages, (QStringList{CreateSocketFail, CreateSocketFail}));
    // A worker without capture waits for one; stop ends it.
    QTRY_VERIFY_WITH_TIMEOUT(!test.engine->WorkerRunning(), 10000);
}

// A message box runs the event loop while the user reads it, and the display's beat ticks on.
void MainWindowTest::beatTicksWhileTheStartMessageIsRead() {
    WindowEnvironment environment(TestAddresses);
    MainWindow::Environment made = environment.Make();
    made.showMessage = [record = made.showMessage](const QString& text) {
        record(text);
        QTest::qWait(300);
    };
    MainWindow window(std::move(made));
    QCOMPARE(environment.messages, QStringList{CreateSocketFail});
}

// The datagram crosses from the worker to the window; the garbage after it ends monitoring, and a
// fresh capture waits for the next begin, as after a stop.
void MainWindowTest::garbledCaptureStreamEndsMonitoringWithAMessage() {
    StreamFeed feed;
    WindowEnvironment environment(TestAddresses);
    environment.openCapture = feed.Opener(StreamFeed::Opening(228, "no cgroup2"));
    const auto [window, probe] = environment.Open();
    QVERIFY(probe.Status()->toolTip().endsWith(": no cgroup2"));
    probe.RunCommand(CommandId::BeginMonitor);
    const std::vector<std::uint8_t> datagram = {0x45, 0, 0,   20, 0,   0, 0,   0, 64, 17,
                                                0,    0, 198, 51, 100, 9, 192, 0, 2,  1};
    feed.Send(CaptureStream::Frame{Now(), datagram});
    QTRY_COMPARE(probe.Status()->PaneText(StatusBar::StreamPane), QStringLiteral("监控流 1"));

    feed.SendBytes(std::vector<std::uint8_t>(8, 0xee));
    QTRY_COMPARE(feed.Opened(), 2);
    QCOMPARE(probe.Session().State().CurrentPhase(), MonitorState::Phase::Stopped);
    QCOMPARE(environment.messages, QStringList{QString::fromUtf8(MessageTexts::CaptureEnded) +
                                               "the capture helper's stream is garbled"});
    QTRY_VERIFY(!environment.engine->WorkerRunning());
}

void MainWindowTest::noAddressAtAll() {
    WindowUnderTest test(std::vector<Ipv4Address>{});
    QCOMPARE(test.probe.AddressCombo()->count(), 0);
    QCOMPARE(test.messages, QStringList{CreateSocketFail});
    QCOMPARE(test.window->windowTitle(), QString::fromUtf8("Talvane -- 以太网版      监控IP:"));

    test.probe.RunCommand(CommandId::BeginMonitor);
    test.probe.RunCommand(CommandId::PauseMonitor);
    test.probe.RunCommand(CommandId::BeginMonitor);
    test.probe.RunCommand(CommandId::StopMonitor);
    QCOMPARE(test.Pane(StatusBar::StatePane), QString::fromUtf8("监控状态: 停止"));
    QTRY_VERIFY_WITH_TIMEOUT(!test.engine->WorkerRunning(), 10000);
}

void MainWindowTest::promptsBelongToTheAskingWindowAndShowPlainText_data() {
    QTest::addColumn<bool>("message");
    QTest::newRow("message box") << true;
    QTest::newRow("file dialog") << false;
}

void MainWindowTest::promptsBelongToTheAskingWindowAndShowPlainText() {
    QFETCH(bool, message);
    QDialog asking;
    asking.setWindowModality(Qt::ApplicationModal);
    asking.show();
    QVERIFY(QTest::qWaitForWindowExposed(&asking));

    QPointer<QWidget> owner;
    std::optional<Qt::TextFormat> format;
    const NextModal<QDialog> answer(
        [&](QDialog& prompt) {
            owner = prompt.parentWidget();
            if (auto* box = qobject_cast<QMessageBox*>(&prompt))
                format = box->textFormat();
            prompt.reject();
        },
        &asking);
    const QString text = "<b>/tmp/filters/last.ft</b>";
    if (message)
        UserPrompts::MessageBox(text);
    else
        UserPrompts::FileDialog({UserPrompts::FileChoice::Mode::Open, text, {}, "ft"});

    QCOMPARE(owner.data(), &asking);
    if (message)
        QCOMPARE(format, std::optional(Qt::PlainText));
}

void MainWindowTest::menuBarTexts() {
    WindowUnderTest test;
    QStringList texts;
    for (QAction* popup : test.window->findChild<QMenuBar*>()->actions()) {
        texts << popup->text();
        for (QAction* item : popup->menu()->actions())
            texts << "  " + item->text();
    }
    const QStringList expected = {
        "文件(&F)",
        "  保存选中记录(&S)\tCtrl+S",
        "  保存所有记录(&A)\tCtrl+A",
        "  导出所有记录为 pcapng(&P)...\tCtrl+Shift+A",
        "  导出选中记录为 pcapng...\tCtrl+Shift+S",
        "  退出软件(&X)",
        "监控(&M)",
        "  开始监控(&B)\tB",
        "  暂停监控(&P)\tP",
        "  停止监控(&S)\tS",
        "  清空记录(&C)\tC",
        "设置(&S)",
        "  编辑监控条件(&E)\tCtrl+E",
        "  加载接口库(&D)\tCtrl+D",
        "关于(&A)",
        "  关于(&A)\tA",
        "帮助(&F1)",
        "  帮助(&F1)\tF1",
    };
    QCOMPARE(texts, expected);
}

void MainWindowTest::toolBarButtonsAndTips() {
    WindowUnderTest test;
    QStringList tips;
    for (QAction* action : test.probe.ToolBar()->actions())
        tips << action->toolTip();
    QCOMPARE(tips, (QStringList{"begin monitor", "pause monitor", "stop monitor", "clear", "about",
                                "help"}));
    for (int id : {CommandId::ClearRecordsTool, CommandId::AboutTool, CommandId::HelpTool})
        QVERIFY(test.probe.Action(id)->isEnabled());

    QCOMPARE(test.probe.Control(ControlId::SaveSelected)->toolTip(), "保存当前选中的记录");
    QCOMPARE(test.probe.Control(ControlId::SaveAll)->toolTip(), "保存所有监控记录");
    QCOMPARE(test.probe.Control(ControlId::UseFilter)->toolTip(),
             "选中后会执行过滤设置,在设置菜单中编辑");
    QVERIFY(test.probe.Control(ControlId::RecordList)->toolTip().isEmpty());
}

void MainWindowTest::controlsAtStart() {
    WindowUnderTest test;
    QVERIFY(test.probe.Control<QCheckBox>(ControlId::UseFilter)->isChecked());
    QVERIFY(!test.probe.Control<QCheckBox>(ControlId::WideDump)->isChecked());
    QCOMPARE(test.probe.Control<QPushButton>(ControlId::SaveAll)->text(), "保存所有");
    QCOMPARE(test.probe.AddressCombo()->currentText(), "192.0.2.1");
    QCOMPARE(test.probe.AddressCombo()->itemText(1), "198.51.100.7");
    QCOMPARE(test.Pane(StatusBar::StreamPane), "监控流: 0");
    QCOMPARE(test.Pane(StatusBar::StatePane), "监控状态: 就绪");
    QCOMPARE(test.Pane(StatusBar::TimePane), "监控时间 00:00:00");
    QCOMPARE(test.Pane(StatusBar::FilteredPane), "过滤数据包:0");
    // The byte texts name processes, whatever their names look like.
    for (int id : {ControlId::TotalReceived, ControlId::CurrentReceived})
        QCOMPARE(test.probe.Control<QLabel>(id)->textFormat(), Qt::PlainText);

    // The record list starts below the tool bar; the status bar spans the bottom.
    const QRect list = test.probe.Control(ControlId::RecordList)->geometry();
    QVERIFY(list.top() >= test.probe.ToolBar()->geometry().bottom());
    QCOMPARE(test.probe.Status()->geometry().bottom(), test.probe.ClientArea()->height() - 1);
    QCOMPARE(test.probe.Status()->width(), test.probe.ClientArea()->width());
    // Every control lies inside the client area, left to right in template order.
    const QRect area(QPoint(0, 0), test.probe.ClientArea()->size());
    for (int id : {ControlId::RecordList, ControlId::DataView, ControlId::Banner,
                   ControlId::WideDump, ControlId::SaveAll})
        QVERIFY2(area.contains(test.probe.Control(id)->geometry()),
                 qPrintable(QString::number(id)));
    QVERIFY(test.probe.Control(ControlId::SaveSelected)->x() <
            test.probe.Control(ControlId::SaveAll)->x());
    // Rows a line of text high: the list shows as many as its height holds.
    test.Record({1});
    const auto* rows = test.probe.Control<QTableView>(ControlId::RecordList);
    const int lineHeight = rows->fontMetrics().height();
    QVERIFY2(rows->rowHeight(0) >= lineHeight && rows->rowHeight(0) <= lineHeight + 6,
             qPrintable(QStringLiteral("%1 for %2").arg(rows->rowHeight(0)).arg(lineHeight)));
}

void MainWindowTest::elapsedTimeAdvancesOnlyWhileMonitoring() {
    // Ticks count only while monitoring, and the count is never reset.
    WindowUnderTest test;
    auto paneAfter = [&test](int ticks) {
        test.Tick(ticks);
        return test.Pane(StatusBar::TimePane);
    };
    QCOMPARE(paneAfter(5), "监控时间 00:00:00");
    test.probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(paneAfter(12), "监控时间 0:0:1:200");
    test.probe.RunCommand(CommandId::PauseMonitor);
    QCOMPARE(paneAfter(7), "监控时间 0:0:1:200");
    test.probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(paneAfter(3), "监控时间 0:0:1:500");
    test.probe.RunCommand(CommandId::StopMonitor);
    QCOMPARE(paneAfter(4), "监控时间 0:0:1:500");
    test.probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(paneAfter(1), "监控时间 0:0:1:600");

    // Outside tests the ticks come from a timer, a tenth of a second apart.
    QElapsedTimer sinceStart;
    sinceStart.start();
    int ticks = 0;
    qint64 thirdTickAt = 0;
    const std::unique_ptr<QObject> timer = MainWindow::Environment().startBeat([&] {
        if (++ticks == 3)
            thirdTickAt = sinceStart.elapsed();
    });
    QTRY_VERIFY(thirdTickAt > 0);
    QVERIFY(thirdTickAt >= 250);
}

void MainWindowTest::recordDirectoryIsPrivateAndEmptiedAtClose() {
    WindowUnderTest test;
    const std::filesystem::path records = test.window->Records().Path();
    QCOMPARE(records, OwnRecordFolder(test.runtimeDirectory));
    for (const std::filesystem::path& folder : {records.parent_path(), records})
        QCOMPARE(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
                 std::filesystem::perms::owner_all);
    std::ofstream(records / "0") << "record";
    std::ofstream(records / "17") << "left from before a clear";

    test.window->show();
    test.probe.RunCommand(CommandId::BeginMonitor);
    test.window->close();

    QVERIFY(!std::filesystem::exists(records));
    QVERIFY(std::filesystem::is_directory(records.parent_path()));
}

void MainWindowTest::activeFilterFollowsTheLastFileAndTheCheckBox() {
    WindowUnderTest test;
    test.window->show();
    test.probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(test.probe.Session().Filter(), ActiveFilter{});
    test.probe.RunCommand(CommandId::PauseMonitor);

    FilterSettings stored;
    stored.filterBroadcast = 5;
    stored.filterRemotePortText = "0080|8@8@";
    stored.monitorIpText = "010.0.0.1";
    const std::filesystem::path lastFile =
        FilterDialog::LastFile(test.settingsDirectory.path().toStdString());
    std::filesystem::create_directory(lastFile.parent_path());
    QVERIFY(FilterFile::Save(lastFile, stored));

    // Nothing is read until a begin or a click on the check box.
    QCOMPARE(test.probe.Session().Filter(), ActiveFilter{});
    test.probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(test.probe.Session().Filter(), ActiveFilter::From(stored));
    QCOMPARE(test.probe.Session().Filter().filterRemotePorts.Entries(),
             (std::vector<std::string>{"80", "8@8@"}));

    QWidget* useFilter = test.probe.Control(ControlId::UseFilter);
    QTest::mouseClick(useFilter, Qt::LeftButton, {}, QPoint(5, useFilter->height() / 2));
    QCOMPARE(test.probe.Session().Filter(), ActiveFilter{});
    QTest::mouseClick(useFilter, Qt::LeftButton, {}, QPoint(5, useFilter->height() / 2));
    QCOMPARE(test.probe.Session().Filter(), ActiveFilter::From(stored));

    std::filesystem::remove(lastFile);
    QTest::mouseClick(useFilter, Qt::LeftButton, {}, QPoint(5, useFilter->height() / 2));
    QTest::mouseClick(useFilter, Qt::LeftButton, {}, QPoint(5, useFilter->height() / 2));
    QCOMPARE(test.probe.Session().Filter(), ActiveFilter{});
    QCOMPARE(test.messages, QStringList{CreateSocketFail});
}

void MainWindowTest::damagedLastFileIsReportedAndFiltersNothing() {
    WindowUnderTest test;
    const std::filesystem::path lastFile =
        FilterDialog::LastFile(test.settingsDirectory.path().toStdString());
    std::filesystem::create_directory(lastFile.parent_path());
    std::ofstream(lastFile, std::ios::binary) << std::string(20, '\1');

    test.probe.RunCommand(CommandId::BeginMonitor);

    QCOMPARE(test.probe.Session().Filter(), ActiveFilter{});
    QCOMPARE(test.messages.size(), 2);
    QVERIFY(test.messages.last().startsWith("过滤设置文件已损坏: "));
    QVERIFY(test.messages.last().endsWith("filters/last.ft"));
}

void MainWindowTest::filterDialogOkAppliesTheSettings() {
    WindowUnderTest test;
    QVERIFY(test.ShowActive());
    const NextModal<FilterDialog> answer([](FilterDialog& dialog) {
        dialog.Control<QLineEdit>(FilterControlId::FilterLocalPort)->setText("53");
        QTest::mouseClick(dialog.Control(FilterControlId::Ok), Qt::LeftButton);
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::ControlModifier);

    QVERIFY(answer.Seen());
    QCOMPARE(test.probe.Session().Filter().filterLocalPorts.Entries(),
             std::vector<std::string>{"53"});
}

namespace {

// IPv6-in-IPv4 is never shown, whatever the filter.
std::vector<std::uint8_t> Rejected() {
    std::vector<std::uint8_t> datagram = UdpFrom({{10, 0, 0, 9}}, 4);
    datagram[9] = 41;
    return datagram;
}

} // namespace

void MainWindowTest::unsafeRecordDirectoryKeepsNoFiles() {
    namespace fs = std::filesystem;
    // Followed, the link would lead the records into a folder made ready for them.
    QTemporaryDir runtime;
    QTemporaryDir elsewhere;
    fs::create_directories(OwnRecordFolder(elsewhere));
    fs::create_directory_symlink(OwnRecordFolder(elsewhere).parent_path(),
                                 OwnRecordFolder(runtime).parent_path());
    WindowUnderTest test(TestAddresses, runtime.path().toStdString());
    QCOMPARE(
        test.messages,
        (QStringList{CreateSocketFail,
                     QString::fromUtf8(MessageTexts::RecordFolderNotAFolder) +
                         QString::fromStdString(OwnRecordFolder(runtime).parent_path().string())}));

    test.probe.HandleDatagram(UdpFrom({{10, 0, 0, 9}}, 5), Now());
    QCOMPARE(test.probe.RecordsView().Book().Count(), 1);
    QVERIFY(!test.probe.RecordsView().Book().Read(0));
    test.window->close();
    QVERIFY(fs::is_directory(OwnRecordFolder(elsewhere)) &&
            fs::is_empty(OwnRecordFolder(elsewhere)));
}

// The clock's beat draws new rows and the dump in its own redraw, before their own refresh comes
// due. A beat that replaced every row in sight leaves the next beat's drawing to the one after.
void MainWindowTest::oneBeatDrawsWhatTheDatagramsChanged() {
    WindowUnderTest test;
    const int datagramsBefore[] = {3, 1, 200, 1, 0};
    const int rowsAfter[] = {3, 4, 204, 204, 205};
    for (int beat = 0; beat < 5; ++beat) {
        for (int datagram = 0; datagram < datagramsBefore[beat]; ++datagram)
            test.probe.HandleDatagram(UdpFrom({{10, 0, 0, 9}}, 5), Now());
        test.Tick(1);
        QCOMPARE(test.probe.RecordsView().Model().rowCount(), rowsAfter[beat]);
    }
    QVERIFY(!test.probe.Control<QPlainTextEdit>(ControlId::DataView)->toPlainText().isEmpty());
}

// Writes that keep failing, as on a full disk, are told once, not once a datagram, and again only
// after writes worked in between. Folders in the place of record files fail them even for root.
// A folder lost under the running program fails every write from then on, even once a folder of
// that name is back: the program never follows a new folder in the place of its own.
void MainWindowTest::failingRecordWritesAreToldOncePerSpell() {
    namespace fs = std::filesystem;
    WindowUnderTest test;
    const fs::path folder = test.window->Records().Path();
    const QString failure = QString::fromUtf8(MessageTexts::RecordWriteFailed) +
                            QString::fromStdString(folder.string());
    // The records are written, and failures told, at the display's beat.
    const auto datagrams = [&test](int count) {
        for (int datagram = 0; datagram < count; ++datagram)
            test.probe.HandleDatagram(UdpFrom({{10, 0, 0, 9}}, 5), Now());
        test.Tick(1);
        QCoreApplication::processEvents();
    };
    const auto blocked = [&folder](std::initializer_list<const char*> names) {
        for (const char* name : names)
            fs::create_directory(folder / name);
    };

    datagrams(2);
    blocked({"2", "3", "4"});
    datagrams(3);
    QCOMPARE(test.messages, (QStringList{CreateSocketFail, failure}));
    datagrams(2);
    blocked({"7", "8", "9"});
    datagrams(3);
    QCOMPARE(test.messages, (QStringList{CreateSocketFail, failure, failure}));

    const RecordBook& records = test.probe.RecordsView().Book();
    QCOMPARE(records.Count(), 10);
    QVERIFY(records.Read(6));
    QVERIFY(!records.Read(9));
    datagrams(1);
    QVERIFY(records.Read(10));
    fs::remove_all(folder);
    fs::create_directory(folder);
    datagrams(1);
    QCOMPARE(test.messages, (QStringList{CreateSocketFail, failure, failure, failure}));
    QVERIFY(!records.Read(11));
    QVERIFY(fs::is_empty(folder));
}

void MainWindowTest::streamPaneTipTellsKernelDropsWhenDrawn() {
    DisplayBeat beat;
    StatusBar bar(nullptr, beat);
    QCOMPARE(bar.PaneToolTip(StatusBar::StreamPane), "内核丢弃: 0");
    int asked = 0;
    bar.SetKernelDrops([&asked] { return std::uint64_t(4294967296) + std::uint64_t(++asked); });
    for (std::int32_t datagram = 1; datagram <= 1000; ++datagram)
        bar.SetCounters(datagram, 0);
    QCOMPARE(asked, 0);
    // The display's beat draws them at once, and a beat with nothing new draws nothing.
    beat.Tick();
    beat.Tick();
    QCOMPARE(bar.PaneText(StatusBar::StreamPane), "监控流 1000");
    // Asked once for the one drawing of a thousand datagrams.
    QCOMPARE(bar.PaneToolTip(StatusBar::StreamPane), "内核丢弃: 4294967297");
}

void MainWindowTest::fullListIsClearedBeforeTheNextDatagram_data() {
    QTest::addColumn<bool>("nextAccepted");
    QTest::newRow("accepted datagram becomes record 0") << true;
    QTest::newRow("rejected datagram leaves the list empty") << false;
}

void MainWindowTest::fullListIsClearedBeforeTheNextDatagram() {
    QFETCH(bool, nextAccepted);
    WindowUnderTest test;
    const std::vector<std::uint8_t> accepted = UdpFrom({{10, 0, 0, 9}}, 3);
    for (int index = 0; index < RecordBook::Capacity; ++index)
        test.probe.HandleDatagram(accepted, Now());
    test.probe.RecordsView().Refresh();
    QCOMPARE(test.probe.RecordsView().Book().Count(), 9999);
    QCOMPARE(test.probe.RecordsView().Model().rowCount(), 9999);

    const std::vector<std::uint8_t> next = nextAccepted ? UdpFrom({{10, 0, 0, 8}}, 7) : Rejected();
    test.probe.HandleDatagram(next, Now());
    test.probe.RecordsView().Refresh();

    const int expected = nextAccepted ? 1 : 0;
    QCOMPARE(test.probe.RecordsView().Book().Count(), expected);
    QCOMPARE(test.probe.RecordsView().Model().rowCount(), expected);
    QCOMPARE(test.probe.Session().DatagramBalance(), -RecordBook::Capacity);
    if (nextAccepted) {
        QCOMPARE(test.probe.RecordsView().Model().index(0, 1).data().toString(), "10.0.0.8");
        QCOMPARE(test.probe.Control<QLabel>(ControlId::TotalReceived)->text(),
                 "total capture:7 bytes");
    } else {
        QCOMPARE(test.probe.Control<QLabel>(ControlId::TotalReceived)->text(), "总共接收:");
    }
}

void MainWindowTest::everyClearCommandEmptiesTheList_data() {
    QTest::addColumn<int>("trigger");
    QTest::newRow("tool bar button") << int(Trigger::ToolButton);
    QTest::newRow("menu item") << int(Trigger::MenuItem);
    QTest::newRow("C key") << int(Trigger::Shortcut);
}

void MainWindowTest::everyClearCommandEmptiesTheList() {
    QFETCH(int, trigger);
    WindowUnderTest test;
    QVERIFY(test.ShowActive());
    test.Record({5, 5, 5});
    QCOMPARE(test.probe.RecordsView().Model().rowCount(), 3);

    switch (Trigger(trigger)) {
    case Trigger::ToolButton:
        test.probe.Action(CommandId::ClearRecordsTool)->trigger();
        break;
    case Trigger::MenuItem:
        test.probe.Action(CommandId::ClearRecords)->trigger();
        break;
    case Trigger::Shortcut:
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C);
        break;
    }

    QCOMPARE(test.probe.RecordsView().Model().rowCount(), 0);
    QCOMPARE(test.probe.RecordsView().Book().Count(), 0);
    // The three records become part of the filtered figure's balance.
    QCOMPARE(test.probe.Session().DatagramBalance(), -3);
    QVERIFY(test.probe.Control<QPlainTextEdit>(ControlId::DataView)->toPlainText().isEmpty());
}

void MainWindowTest::pcapngExportsRunFromMenuAndKeys_data() {
    QTest::addColumn<int>("trigger");
    QTest::addColumn<bool>("all");
    QTest::newRow("export all, menu item") << int(Trigger::MenuItem) << true;
    QTest::newRow("export all, Ctrl+Shift+A") << int(Trigger::Shortcut) << true;
    QTest::newRow("export selected, menu item") << int(Trigger::MenuItem) << false;
    QTest::newRow("export selected, Ctrl+Shift+S") << int(Trigger::Shortcut) << false;
}

// Each asks for one pcapng file, and Ctrl+Shift runs neither the plain nor the Ctrl command of
// its letter.
void MainWindowTest::pcapngExportsRunFromMenuAndKeys() {
    QFETCH(int, trigger);
    QFETCH(bool, all);
    WindowUnderTest test(std::vector<Ipv4Address>{{{127, 0, 0, 1}}});
    QVERIFY(test.ShowActive());
    test.Record({1, 2, 3});
    // Not by the view's own selectRow, which heeds the modifiers the last key left held.
    const QTableView* list = test.probe.Control<QTableView>(ControlId::RecordList);
    list->selectionModel()->select(list->model()->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    test.probe.AddressCombo()->setFocus();
    test.chosenFile = test.settingsDirectory.filePath("out.pcapng");

    if (Trigger(trigger) == Trigger::MenuItem)
        test.probe.Action(all ? CommandId::ExportAllPcapng : CommandId::ExportSelectedPcapng)
            ->trigger();
    else
        QTest::keyClick(QApplication::focusWidget(), all ? Qt::Key_A : Qt::Key_S,
                        Qt::ControlModifier | Qt::ShiftModifier);

    QCOMPARE(test.fileChoices.size(), 1);
    QCOMPARE(test.fileChoices.front().nameFilter, "pcapng 文件(*.pcapng)");
    QCOMPARE(test.probe.Session().State().CurrentPhase(), MonitorState::Phase::Ready);
    const CaptureFileReader file = CaptureFileReader::Read(test.chosenFile.toStdString());
    // The monitored address's interface, named as the address was bound.
    QFile exported(test.chosenFile);
    const std::vector<std::uint8_t> header = Pcapng::FileHeader({"lo"});
    QVERIFY(exported.open(QIODevice::ReadOnly) &&
            exported.read(qint64(header.size())) ==
                QByteArray(reinterpret_cast<const char*>(header.data()), qsizetype(header.size())));
    QCOMPARE(file.packets.size(), std::size_t(all ? 3 : 1));
    QVERIFY(file.packets.front().bytes == UdpFrom({{10, 0, 0, 9}}, all ? 1 : 2));
}

void MainWindowTest::windowCombinationsDoNotReachTheList_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Ctrl+A, save all") << int(Qt::Key_A);
    QTest::newRow("Ctrl+C, copy the dump") << int(Qt::Key_C);
}

// The window runs them; the list takes neither as select-all nor as a copy of its cell.
void MainWindowTest::windowCombinationsDoNotReachTheList() {
    QFETCH(int, key);
    WindowUnderTest test;
    QVERIFY(test.ShowActive());
    test.Record({1, 2, 3});
    auto* list = test.probe.Control<QTableView>(ControlId::RecordList);
    list->selectionModel()->setCurrentIndex(
        list->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->setFocus();
    QApplication::clipboard()->setText("kept");
    // A folder: the export is refused, and the window says so.
    test.chosenFile = test.settingsDirectory.path();
    const qsizetype messagesBefore = test.messages.size();

    QTest::keyClick(list, Qt::Key(key), Qt::ControlModifier);

    QCOMPARE(test.fileChoices.size(), qsizetype(key == Qt::Key_A));
    QCOMPARE(test.messages.size() - messagesBefore, qsizetype(key == Qt::Key_A));
    QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(QApplication::clipboard()->text(), "kept");
}

namespace {

// Every control the layout rules name, with how far it moves and grows per 100 pixels of
// height (first four) and of width (last four): left, top, width, height.
struct LayoutExpectation {
    int controlId;
    std::array<int, 4> perHeight;
    std::array<int, 4> perWidth;
};

const LayoutExpectation LayoutExpectations[] = {
    {ControlId::SaveSelected, {0, 100, 0, 0}, {0, 0, 0, 0}},
    {ControlId::SaveAll, {0, 100, 0, 0}, {0, 0, 0, 0}},
    {ControlId::Banner, {0, 100, 0, 0}, {100, 0, 0, 0}},
    {ControlId::StatusBar, {0, 98, 0, 0}, {0, 0, 100, 0}},
    {ControlId::DataView, {0, 50, 0, 50}, {0, 0, 100, 0}},
    {ControlId::TotalReceived, {0, 50, 0, 0}, {0, 0, 0, 0}},
    {ControlId::CurrentReceived, {0, 50, 0, 0}, {0, 0, 0, 0}},
    {ControlId::RecordList, {0, 0, 0, 50}, {0, 0, 100, 0}},
    {ControlId::WideDump, {0, 50, 0, 0}, {0, 0, 0, 0}},
    {ControlId::AddressCombo, {0, 0, 0, 0}, {0, 0, 0, 0}},
    {ControlId::UseFilter, {0, 0, 0, 0}, {0, 0, 0, 0}},
    {ControlId::ToolBar, {0, 0, 0, 0}, {0, 0, 0, 0}},
};

std::map<int, QRect> Geometries(const WindowProbe& probe) {
    std::map<int, QRect> geometries;
    for (const LayoutExpectation& expectation : LayoutExpectations)
        geometries[expectation.controlId] = probe.Control(expectation.controlId)->geometry();
    return geometries;
}

} // namespace

// Each control moves and stretches by the rules, in one step or dragged in many.
void MainWindowTest::growingEndsWhereOneStepDoesAndGoesBackExactly_data() {
    QTest::addColumn<QSize>("grown");
    QTest::addColumn<int>("step");
    QTest::newRow("100 pixels taller") << QSize(0, 100) << 100;
    QTest::newRow("100 pixels wider") << QSize(100, 0) << 100;
    QTest::newRow("one step") << QSize(120, 120) << 120;
    QTest::newRow("3-pixel steps") << QSize(120, 120) << 3;
    QTest::newRow("7-pixel steps") << QSize(120, 120) << 7;
}

void MainWindowTest::growingEndsWhereOneStepDoesAndGoesBackExactly() {
    QFETCH(QSize, grown);
    QFETCH(int, step);
    WindowUnderTest test;
    MainWindow& window = *test.window;
    QVERIFY(test.ShowActive());
    const QSize first = window.size();
    const QSize firstClient = test.probe.ClientArea()->size();
    const std::map<int, QRect> before = Geometries(test.probe);
    auto dragTo = [&](QSize target) {
        QSize size = window.size();
        while (size != target) {
            const auto towards = [step](int from, int to) {
                return from < to ? std::min(from + step, to) : std::max(from - step, to);
            };
            size = QSize(towards(size.width(), target.width()),
                         towards(size.height(), target.height()));
            window.resize(size);
            QCoreApplication::processEvents();
        }
    };

    dragTo(first + grown);
    QCOMPARE(test.probe.ClientArea()->size(), firstClient + grown);
    QVERIFY(!test.probe.Control<QCheckBox>(ControlId::WideDump)->isChecked());
    const std::map<int, QRect> after = Geometries(test.probe);
    for (const LayoutExpectation& expectation : LayoutExpectations) {
        std::array<int, 4> change{};
        for (std::size_t side = 0; side < change.size(); ++side)
            change[side] = expectation.perHeight[side] * grown.height() / 100 +
                           expectation.perWidth[side] * grown.width() / 100;
        const QRect& old = before.at(expectation.controlId);
        const QRect expected(old.x() + change[0], old.y() + change[1], old.width() + change[2],
                             old.height() + change[3]);
        QVERIFY2(after.at(expectation.controlId) == expected,
                 qPrintable(QString("control %1").arg(expectation.controlId)));
    }

    dragTo(first);
    QCOMPARE(Geometries(test.probe), before);
    // The template's size is the least the client area takes.
    dragTo(first - QSize(30, 30));
    QCOMPARE(test.probe.ClientArea()->size(), firstClient);
    QCOMPARE(Geometries(test.probe), before);
}

void MainWindowTest::maximisingWidensTheDumpAndRestoringNarrowsIt() {
    WindowUnderTest test;
    MainWindow& window = *test.window;
    QVERIFY(test.ShowActive());
    test.Record({20});
    auto* wide = test.probe.Control<QCheckBox>(ControlId::WideDump);
    auto* dataView = test.probe.Control<QPlainTextEdit>(ControlId::DataView);
    QCOMPARE(dataView->document()->blockCount(), 2);

    window.showMaximized();
    QTRY_VERIFY(wide->isChecked());
    QCOMPARE(dataView->document()->blockCount(), 1);
    window.showNormal();
    QTRY_VERIFY(!wide->isChecked());
    QCOMPARE(dataView->document()->blockCount(), 2);

    // Restored from the task bar a minimised maximised window is maximised again at the same
    // size.
    window.showMaximized();
    QTRY_VERIFY(wide->isChecked());
    window.showMinimized();
    QTRY_VERIFY(!wide->isChecked());
    window.showMaximized();
    QTRY_VERIFY(wide->isChecked());
    QCOMPARE(dataView->document()->blockCount(), 1);
}

void MainWindowTest::minimisingAndRestoringMovesNothing() {
    WindowUnderTest test;
    MainWindow& window = *test.window;
    QVERIFY(test.ShowActive());
    auto* wide = test.probe.Control<QCheckBox>(ControlId::WideDump);
    wide->setChecked(true);
    const std::map<int, QRect> before = Geometries(test.probe);
    window.showMinimized();
    QTRY_VERIFY(!wide->isChecked());
    window.showNormal();
    QTest::qWait(50);
    QCOMPARE(Geometries(test.probe), before);
}

void MainWindowTest::copyMenuFollowsTheKeyboardFocus_data() {
    QTest::addColumn<int>("pressOver");
    QTest::addColumn<int>("focusOn");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<int>("menus");

    const int dataView = ControlId::DataView;
    QTest::newRow("over the list") << ControlId::RecordList << dataView << true << 1;
    QTest::newRow("over a button") << ControlId::SaveAll << dataView << true << 1;
    QTest::newRow("over the data view") << dataView << dataView << true << 1;
    QTest::newRow("focus on the list") << dataView << ControlId::RecordList << true << 0;
    QTest::newRow("nothing selected") << ControlId::RecordList << dataView << false << 0;
}

void MainWindowTest::copyMenuFollowsTheKeyboardFocus() {
    QFETCH(int, pressOver);
    QFETCH(int, focusOn);
    QFETCH(bool, selected);
    QFETCH(int, menus);

    WindowUnderTest test;
    QVERIFY(test.ShowActive());
    MainWindow& window = *test.window;
    test.Record({40});
    auto* dataView = test.probe.Control<QPlainTextEdit>(ControlId::DataView);
    if (selected)
        dataView->selectAll();
    test.probe.Control(focusOn)->setFocus();
    QCOMPARE(QApplication::focusWidget(), test.probe.Control(focusOn));

    // Through the window system, as a real press comes.
    const QWidget* target = test.probe.Control(pressOver);
    const QPoint at = target->mapTo(&window, target->rect().center());
    QTest::mousePress(window.windowHandle(), Qt::RightButton, {}, at);
    QStringList shown;
    for (const QMenu* menu : window.findChildren<QMenu*>()) {
        if (menu->isVisible())
            shown << menu->actions().constFirst()->text();
    }
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    QTest::mouseRelease(window.windowHandle(), Qt::RightButton, {}, at);

    QCOMPARE(shown, QStringList(menus, QString::fromUtf8("复制(&C)")));
}

void MainWindowTest::dumpLinesNeverWrap_data() {
    QTest::addColumn<bool>("wide");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("16 bytes a line fit") << false << false;
    QTest::newRow("32 bytes a line scroll sideways") << true << true;
}

void MainWindowTest::dumpLinesNeverWrap() {
    QFETCH(bool, wide);
    QFETCH(bool, scrolls);
    WindowUnderTest test;
    QVERIFY(test.ShowActive());
    test.Record({100});
    auto* wideDump = test.probe.Control<QCheckBox>(ControlId::WideDump);
    if (wide)
        QTest::mouseClick(wideDump, Qt::LeftButton, {}, QPoint(5, wideDump->height() / 2));
    QCOMPARE(wideDump->isChecked(), wide);

    auto* dataView = test.probe.Control<QPlainTextEdit>(ControlId::DataView);
    QCoreApplication::processEvents();
    const int lines = (100 + (wide ? 31 : 15)) / (wide ? 32 : 16);
    QCOMPARE(dataView->document()->blockCount(), lines);
    for (QTextBlock block = dataView->document()->begin(); block.isValid(); block = block.next())
        QCOMPARE(block.layout()->lineCount(), 1);
    QCOMPARE(dataView->horizontalScrollBar()->maximum() > 0, scrolls);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
