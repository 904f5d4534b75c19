#include "capture/MonitorSpans.h"

#include <QtTest>

using namespace talvane;

class MonitorSpansTest : public QObject {
    Q_OBJECT

private slots:
    void admitsWhatWasCapturedWhileMonitoring_data();
    void admitsWhatWasCapturedWhileMonitoring();
};

void MonitorSpansTest::admitsWhatWasCapturedWhileMonitoring_data() {
    // Commands b(egin), p(ause) and s(top); the k-th is given at microsecond 1000 * k.
    QTest::addColumn<QString>("commands");
    // Capture times of datagrams judged after the commands, before the one under test.
    QTest::addColumn<QList<int>>("judgedBefore");
    QTest::addColumn<int>("captured");
    QTest::addColumn<bool>("admitted");

    QTest::newRow("nothing begun") << "" << QList<int>{} << 500 << false;
    QTest::newRow("before the first begin") << "b" << QList<int>{} << 999 << false;
    QTest::newRow("at the begin microsecond") << "b" << QList<int>{} << 1000 << true;
    QTest::newRow("while monitoring") << "b" << QList<int>{} << 1500 << true;
    QTest::newRow("captured before the pause") << "bp" << QList<int>{} << 1999 << true;
    QTest::newRow("the one after the pause") << "bp" << QList<int>{} << 2500 << true;
    QTest::newRow("the one at the pause microsecond") << "bp" << QList<int>{} << 2000 << true;
    QTest::newRow("a second one after the pause") << "bp" << QList<int>{2100} << 2500 << false;
    QTest::newRow("one still due after a monitored one")
        << "bp" << QList<int>{1999} << 2500 << true;
    QTest::newRow("one still due after a dropped one") << "bp" << QList<int>{999} << 2500 << true;
    QTest::newRow("during the pause, read after the resume")
        << "bpb" << QList<int>{} << 2500 << false;
    QTest::newRow("before the pause, read after the resume")
        << "bpb" << QList<int>{} << 1500 << true;
    QTest::newRow("before the first begin, read after the resume")
        << "bpb" << QList<int>{} << 999 << false;
    QTest::newRow("after the resume") << "bpb" << QList<int>{2500} << 3000 << true;
    QTest::newRow("at the stop microsecond") << "bs" << QList<int>{} << 2000 << false;
    QTest::newRow("after a stop") << "bpbs" << QList<int>{} << 4500 << false;
    QTest::newRow("before a stop, read after it") << "bpbs" << QList<int>{} << 3999 << true;
    QTest::newRow("a stop while paused owes none") << "bps" << QList<int>{} << 3500 << false;
}

void MonitorSpansTest::admitsWhatWasCapturedWhileMonitoring() {
    QFETCH(QString, commands);
    QFETCH(QList<int>, judgedBefore);
    QFETCH(int, captured);
    QFETCH(bool, admitted);

    const auto at = [](int microsecond) {
        return CaptureTime{std::chrono::microseconds{microsecond}};
    };
    MonitorSpans spans;
    for (qsizetype index = 0; index < commands.size(); ++index) {
        const CaptureTime when = at(1000 * static_cast<int>(index + 1));
        switch (commands[index].toLatin1()) {
        case 'b':
            spans.Begin(when);
            break;
        case 'p':
            spans.Pause(when);
            break;
        default:
            spans.Stop(when);
        }
    }
    for (int earlier : judgedBefore)
        spans.Admit(at(earlier));
    QCOMPARE(spans.Admit(at(captured)), admitted);
}

QTEST_APPLESS_MAIN(MonitorSpansTest)
#include "MonitorSpansTest.moc"
