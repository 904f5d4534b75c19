#include "records/RecordExport.h"

#include <QtTest>

using namespace talvane;

Q_DECLARE_METATYPE(RecordHeader)

namespace {

RecordHeader BrowserHeader() {
    return {"browser.exe", "send",     "192.168.0.25", "1030",
            "TCP",         "10.1.2.3", "80",           "20090315 14:07:09"};
}

const std::vector<std::uint8_t> HiPayload{0x48, 0x69, 0x21, 0x0a, 0xff};

QByteArray Bytes(const std::string& text) {
    return QByteArray::fromStdString(text);
}

} // namespace

class RecordExportTest : public QObject {
    Q_OBJECT

private slots:
    void recordText_data();
    void recordText();
};

void RecordExportTest::recordText_data() {
    QTest::addColumn<RecordHeader>("header");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("text");

    const QByteArray hi("\x48\x69\x21\x0a\xff");
    const QByteArray fields = "source ip=192.168.0.25,source port=1030,protocol=TCP,"
                              "destination ip=10.1.2.3,destination port=80,"
                              "DataTime=20090315 14:07:09,";
    QTest::newRow("sent by a process")
        << BrowserHeader() << hi << fields + "browser.exe send 5bytes datas:48 69 21 0A FF ";

    RecordHeader header = BrowserHeader();
    header.processName = header.direction = "";
    QTest::newRow("no owner") << header << hi << fields + "capture 5bytes datas:48 69 21 0A FF ";

    header = BrowserHeader();
    header.direction = "";
    QTest::newRow("owner without direction")
        << header << hi << fields + "browser.exe  5bytes datas:48 69 21 0A FF ";

    QTest::newRow("ICMP without payload")
        << RecordHeader{"", "", "10.1.2.3", "", "ICMP", "192.168.0.25", "", "20090315 14:07:09"}
        << QByteArray()
        << QByteArray("source ip=10.1.2.3,protocol=ICMP,destination ip=192.168.0.25,"
                      "DataTime=20090315 14:07:09,capture 0bytes datas:");

    QTest::newRow("empty record") << RecordHeader{} << QByteArray()
                                  << QByteArray("capture 0bytes datas:");

    QTest::newRow("every byte value")
        << RecordHeader{} << QByteArray("\x00\x0f\x10\x7f\x80\xab\xfe", 7)
        << QByteArray("capture 7bytes datas:00 0F 10 7F 80 AB FE ");
}

void RecordExportTest::recordText() {
    QFETCH(RecordHeader, header);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, text);

    const std::vector<std::uint8_t> bytes(payload.begin(), payload.end());
    QCOMPARE(Bytes(RecordExportText(header, bytes)), text);
}

QTEST_APPLESS_MAIN(RecordExportTest)
#include "RecordExportTest.moc"
