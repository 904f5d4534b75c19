#include "records/RecordTexts.h"

#include <QtTest>
#include <cstdlib>

using namespace talvane;

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

class RecordTextsTest : public QObject {
    Q_OBJECT

private slots:
    void captureTexts();
    void recordLine_data();
    void recordLine();
    void timeTexts();
};

void RecordTextsTest::captureTexts() {
    QCOMPARE(Text(TotalCaptureText(0)), "total capture:0 bytes");
    QCOMPARE(Text(TotalCaptureText(4294967295u)), "total capture:4294967295 bytes");
    QCOMPARE(Text(CurrentCaptureText(1460, "", "")), "current capture:1460 bytes");
    QCOMPARE(Text(CurrentCaptureText(1460, "", "send")), "current capture:1460 bytes");
    QCOMPARE(Text(CurrentCaptureText(5, "browser.exe", "send")), "browser.exe send:5 bytes");
    QCOMPARE(Text(CurrentCaptureText(0, "browser.exe", "receive")), "browser.exe receive:0 bytes");
}

void RecordTextsTest::recordLine_data() {
    QTest::addColumn<QString>("processName");
    QTest::addColumn<QString>("direction");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("line");

    QTest::newRow("no owner") << ""
                              << "send" << 64 << "current data length:64 bytes";
    QTest::newRow("sent") << "browser.exe"
                          << "send" << 5 << "browser.exe send data:5 bytes";
    QTest::newRow("received") << "mail"
                              << "receive" << 0 << "mail receive data:0 bytes";
    QTest::newRow("no direction") << "mail"
                                  << "" << 7 << "mail  data:7 bytes";
}

void RecordTextsTest::recordLine() {
    QFETCH(QString, processName);
    QFETCH(QString, direction);
    QFETCH(int, length);
    QFETCH(QString, line);

    RecordHeader header;
    header.processName = processName.toStdString();
    header.direction = direction.toStdString();
    header.sourceIp = "10.1.2.3";
    QCOMPARE(Text(RecordLineText(header, length)), line);
}

void RecordTextsTest::timeTexts() {
    qputenv("TZ", "UTC");
    tzset();
    QCOMPARE(Text(RecordTimeText(1237126029)), "20090315 14:07:09");
    QCOMPARE(Text(RecordTimeText(0)), "19700101 00:00:00");
    qputenv("TZ", "JST-9");
    tzset();
    QCOMPARE(Text(RecordTimeText(1237126029)), "20090315 23:07:09");

    QCOMPARE(Text(TimeOfDay("20090315 14:07:09")), "14:07:09");
    QCOMPARE(Text(TimeOfDay("4:07:09")), "4:07:09");
    QCOMPARE(Text(TimeOfDay("")), "");
}

QTEST_APPLESS_MAIN(RecordTextsTest)
#include "RecordTextsTest.moc"
