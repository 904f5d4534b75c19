#include "ui/StatusTexts.h"
#include "capture/MonitorState.h"
#include "dialogkit/DialogUnits.h"
#include "ui/ElapsedClock.h"
#include "ui/KernelDrops.h"

#include <QtTest>

using namespace talvane;

class StatusTextsTest : public QObject {
    Q_OBJECT

private slots:
    void elapsedClockCountsTicks_data();
    void elapsedClockCountsTicks();
    void counterPanes();
    void kernelDropsCountOnlyWhileMonitoring_data();
    void kernelDropsCountOnlyWhileMonitoring();
    void monitorStateTransitions_data();
    void monitorStateTransitions();
    void dialogUnitsMapEdges_data();
    void dialogUnitsMapEdges();
};

void StatusTextsTest::elapsedClockCountsTicks_data() {
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("pane");

    QTest::newRow("one tick") << 1 << "监控时间 0:0:0:100";
    QTest::newRow("one second") << 10 << "监控时间 0:0:1:0";
    QTest::newRow("65.3 seconds") << 653 << "监控时间 0:1:5:300";
    QTest::newRow("one minute") << 600 << "监控时间 0:1:0:0";
    QTest::newRow("one hour") << 36000 << "监控时间 1:0:0:0";
    QTest::newRow("one hour less a tick") << 35999 << "监控时间 0:59:59:900";
}

void StatusTextsTest::elapsedClockCountsTicks() {
    QFETCH(int, ticks);
    QFETCH(QString, pane);

    ElapsedClock clock;
    for (int tick = 0; tick < ticks; ++tick)
        clock.Tick();
    QCOMPARE(QString::fromStdString(clock.PaneText()), pane);
}

void StatusTextsTest::counterPanes() {
    QCOMPARE(QString::fromStdString(ElapsedClock::InitialPaneText()), "监控时间 00:00:00");
    QCOMPARE(QString::fromUtf8(StatusTexts::InitialStream), "监控流: 0");
    QCOMPARE(QString::fromUtf8(StatusTexts::InitialFiltered), "过滤数据包:0");
    QCOMPARE(QString::fromStdString(StatusTexts::Stream(0)), "监控流 0");
    QCOMPARE(QString::fromStdString(StatusTexts::Stream(2147483647)), "监控流 2147483647");
    QCOMPARE(QString::fromStdString(StatusTexts::Filtered(-3)), "过滤数据包:-3");
    QCOMPARE(QString::fromStdString(StatusTexts::StreamTip(0)), "内核丢弃: 0");
    QCOMPARE(QString::fromStdString(StatusTexts::StreamTip(4294967296)), "内核丢弃: 4294967296");
}

void StatusTextsTest::kernelDropsCountOnlyWhileMonitoring_data() {
    // b (begin) and e (end) with the capture's count then, "-" without a capture; the last count
    // is the one the total is read with.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<qulonglong>("total");
    QTest::newRow("never begun") << "e10 500" << 0ULL;
    QTest::newRow("drops before begin do not count") << "b120 150" << 30ULL;
    QTest::newRow("drops in a pause do not count") << "b0 e10 400" << 10ULL;
    QTest::newRow("begin after a pause adds on") << "b0 e10 b400 405" << 15ULL;
    QTest::newRow("a new capture counts from nought") << "b50 e80 b0 7" << 37ULL;
    QTest::newRow("the kernel's count wraps") << "b4294967290 4" << 10ULL;
    QTest::newRow("capture opened while monitoring") << "b- e- b3 9" << 6ULL;
}

void StatusTextsTest::kernelDropsCountOnlyWhileMonitoring() {
    QFETCH(QString, steps);
    QFETCH(qulonglong, total);

    const auto count = [](const QString& text) -> std::optional<std::uint32_t> {
        return text == "-" ? std::nullopt : std::optional(text.toUInt());
    };
    KernelDrops drops;
    QStringList events = steps.split(' ');
    const QString now = events.takeLast();
    for (const QString& event : events) {
        if (event.front() == 'b')
            drops.Begin(count(event.mid(1)));
        else
            drops.End(count(event.mid(1)));
    }
    QCOMPARE(qulonglong(drops.Total(count(now))), total);
}

void StatusTextsTest::monitorStateTransitions_data() {
    QTest::addColumn<QString>("commands");
    QTest::addColumn<QString>("pane");
    QTest::addColumn<QString>("flags"); // CanBegin, CanPause, CanStop

    QTest::newRow("ready") << ""
                           << "监控状态: 就绪"
                           << "100";
    QTest::newRow("monitoring") << "b"
                                << "监控状态: 监控"
                                << "011";
    QTest::newRow("paused") << "bp"
                            << "监控状态: 暂停"
                            << "101";
    QTest::newRow("stopped from monitoring") << "bs"
                                             << "监控状态: 停止"
                                             << "100";
    QTest::newRow("stopped from paused") << "bps"
                                         << "监控状态: 停止"
                                         << "100";
    QTest::newRow("begin after pause") << "bpb"
                                       << "监控状态: 监控"
                                       << "011";
    QTest::newRow("begin after stop") << "bsb"
                                      << "监控状态: 监控"
                                      << "011";
    QTest::newRow("pause and stop refused when ready") << "ps"
                                                       << "监控状态: 就绪"
                                                       << "100";
    QTest::newRow("begin refused while monitoring") << "bb"
                                                    << "监控状态: 监控"
                                                    << "011";
    QTest::newRow("pause refused when paused") << "bpp"
                                               << "监控状态: 暂停"
                                               << "101";
    QTest::newRow("stop refused when stopped") << "bss"
                                               << "监控状态: 停止"
                                               << "100";
}

void StatusTextsTest::monitorStateTransitions() {
    QFETCH(QString, commands);
    QFETCH(QString, pane);
    QFETCH(QString, flags);

    MonitorState state;
    for (const QChar command : commands) {
        if (command == 'b')
            state.Begin();
        else if (command == 'p')
            state.Pause();
        else
            state.Stop();
    }
    QCOMPARE(QString::fromUtf8(state.PaneText()), pane);
    const QString actual = QString("%1%2%3")
                               .arg(int(state.CanBegin()))
                               .arg(int(state.CanPause()))
                               .arg(int(state.CanStop()));
    QCOMPARE(actual, flags);
    QCOMPARE(state.ClockRuns(), !state.CanBegin());
}

void StatusTextsTest::dialogUnitsMapEdges_data() {
    QTest::addColumn<int>("baseX");
    QTest::addColumn<int>("baseY");
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");

    QTest::newRow("exact") << 8 << 16 << QRect(4, 8, 40, 16) << QRect(8, 16, 80, 32);
    QTest::newRow("rounds each edge")
        << 6 << 13 << QRect(7, 20, 454, 127) << QRect(11, 33, 681, 206);
    QTest::newRow("half rounds up") << 6 << 12 << QRect(1, 1, 1, 1) << QRect(2, 2, 1, 1);
    QTest::newRow("zero") << 6 << 12 << QRect(0, 0, 0, 0) << QRect(0, 0, 0, 0);
}

void StatusTextsTest::dialogUnitsMapEdges() {
    QFETCH(int, baseX);
    QFETCH(int, baseY);
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);

    const DialogUnits dialogUnits(baseX, baseY);
    const DialogUnits::Rect mapped =
        dialogUnits.Map(units.x(), units.y(), units.width(), units.height());
    QCOMPARE(QRect(mapped.x, mapped.y, mapped.width, mapped.height), pixels);
}

QTEST_APPLESS_MAIN(StatusTextsTest)
#include "StatusTextsTest.moc"
