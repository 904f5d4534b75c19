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
    void ownerTexts_data();
    void ownerTexts();
    void totalText();
    void timeTexts();
};

void RecordTextsTest::ownerTexts_data() {
    QTest::addColumn<QString>("processName");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("line");

    QTest::newRow("no owner") << "" << true << 1460 << "current capture:1460 bytes"
                              << "current data length:1460 bytes";
    QTest::newRow("sent") << "browser.exe" << true << 5 << "browser.exe send:5 bytes"
                          << "browser.exe send data:5 bytes";
    QTest::newRow("received") << "mail" << false << 0 << "mail receive:0 bytes"
                              << "mail receive data:0 bytes";
}

// The label of the newest record and the line above a record read back.
void RecordTextsTest::ownerTexts() {
    QFETCH(QString, processName);
    QFETCH(bool, sent);
    QFETCH(int, length);
    QFETCH(QString, current);
    QFETCH(QString, line);

    RecordEntry entry;
    entry.direction = sent ? RecordDirection::Send : RecordDirection::Receive;
    if (!processName.isEmpty())
        entry.owner = RecordOwner{processName.toStdString(), {}};
    QCOMPARE(Text(CurrentCaptureText(length, entry)), current);
    QCOMPARE(Text(RecordLineText(entry, length)), line);
}

void RecordTextsTest::totalText() {
    QCOMPARE(Text(TotalCaptureText(0)), "total capture:0 bytes");
    QCOMPARE(Text(TotalCaptureText(4294967295u)), "total capture:4294967295 bytes");
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
