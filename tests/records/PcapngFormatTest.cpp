#include "records/PcapngFormat.h"

#include <QtTest>

using namespace talvane;

namespace {

QByteArray Bytes(std::span<const std::uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

std::span<const std::uint8_t> Span(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}

CaptureTime Micros(std::int64_t count) {
    return CaptureTime(std::chrono::microseconds(count));
}

// Received by curl on 2023-11-14 at 22:13:20.123456 UTC: five datagram bytes.
const QByteArray ReceivedBlock =
    QByteArray::fromHex("06000000 44000000 00000000"         // type, length, interface 0
                        "240a0600 40222018"                  // time, high word first
                        "05000000 05000000"                  // captured, original
                        "45000005 ab000000"                  // datagram, padded
                        "0100 0c00 6375726c2072656365697665" // comment
                        "0200 0400 01000000"                 // flags: inbound
                        "0000 0000"                          // end of options
                        "44000000");

} // namespace

class PcapngFormatTest : public QObject {
    Q_OBJECT

private slots:
    void packetBlockWrittenAndReadOnTheSameBytes_data();
    void packetBlockWrittenAndReadOnTheSameBytes();
    void fileHeaderLayout();
    void readerTakesOnlyWholeBlocksOfItsInterface_data();
    void readerTakesOnlyWholeBlocksOfItsInterface();
};

void PcapngFormatTest::packetBlockWrittenAndReadOnTheSameBytes_data() {
    QTest::addColumn<qint64>("time");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<int>("pid");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QByteArray>("block");

    QTest::newRow("received by a process")
        << qint64(1700000000123456) << int(Pcapng::Direction::Inbound) << QByteArray("curl receive")
        << 0 << QByteArray::fromHex("45000005ab") << ReceivedBlock;
    QTest::newRow("sent by a process with its id, comments padded")
        << qint64(1) << int(Pcapng::Direction::Outbound) << QByteArray("nc send") << 4242
        << QByteArray::fromHex("45000004")
        << QByteArray::fromHex("06000000 48000000 00000000 00000000 01000000 04000000 04000000"
                               "45000004"
                               "0100 0700 6e632073656e6400"
                               "0100 0800 7069642034323432"
                               "0200 0400 02000000"
                               "0000 0000"
                               "48000000");
    QTest::newRow("no owner, no datagram")
        << qint64(0x123456789a) << int(Pcapng::Direction::Unknown) << QByteArray() << 0
        << QByteArray()
        << QByteArray::fromHex("06000000 2c000000 00000000 12000000 9a785634 00000000 00000000"
                               "0200 0400 00000000"
                               "0000 0000"
                               "2c000000");
}

void PcapngFormatTest::packetBlockWrittenAndReadOnTheSameBytes() {
    QFETCH(qint64, time);
    QFETCH(int, direction);
    QFETCH(QByteArray, comment);
    QFETCH(int, pid);
    QFETCH(QByteArray, datagram);
    QFETCH(QByteArray, block);

    std::vector<std::uint8_t> written{0xEE};
    const std::string commentText = comment.toStdString();
    Pcapng::WritePacketBlock(
        {Micros(time), Pcapng::Direction(direction), commentText, Span(datagram), pid}, written);
    QCOMPARE(Bytes(written).toHex(' '), block.toHex(' '));

    const std::optional<Pcapng::PacketBlock> read = Pcapng::ReadPacketBlock(Span(block));
    QVERIFY(read);
    QCOMPARE(read->captured, Micros(time));
    QCOMPARE(int(read->direction), direction);
    QCOMPARE(QByteArray::fromStdString(std::string(read->comment)), comment);
    QCOMPARE(read->pid, pid);
    QCOMPARE(Bytes(read->datagram), datagram);
}

void PcapngFormatTest::fileHeaderLayout() {
    const QByteArray section = QByteArray::fromHex("0a0d0d0a 1c000000 4d3c2b1a" // magic
                                                   "0100 0000"                  // version 1.0
                                                   "ffffffff ffffffff"          // length unknown
                                                   "1c000000");
    // A named interface, then one without a name.
    QCOMPARE(Bytes(Pcapng::FileHeader({"eth0", ""})).toHex(' '),
             (section + QByteArray::fromHex("01000000 20000000 e400 0000" // raw IPv4
                                            "ffff0000"                    // snap length
                                            "0200 0400 65746830"          // name
                                            "0000 0000 20000000"
                                            "01000000 14000000 e4000000 ffff0000 14000000"))
                 .toHex(' '));
}

void PcapngFormatTest::readerTakesOnlyWholeBlocksOfItsInterface_data() {
    QTest::addColumn<int>("offset"); // of the byte changed; -1 cuts the last word off
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("comment");

    QTest::newRow("cut short") << -1 << 0 << false << QByteArray();
    QTest::newRow("another block type") << 0 << 5 << false << QByteArray();
    QTest::newRow("length disagrees with the bytes") << 4 << 0x48 << false << QByteArray();
    QTest::newRow("trailing length disagrees") << 64 << 0x40 << false << QByteArray();
    QTest::newRow("another interface") << 8 << 1 << false << QByteArray();
    QTest::newRow("datagram past the options") << 20 << 0x30 << false << QByteArray();
    QTest::newRow("datagram beyond IPv4's largest") << 22 << 1 << false << QByteArray();
    QTest::newRow("original shorter than captured") << 24 << 4 << false << QByteArray();
    QTest::newRow("option past the block") << 38 << 0x40 << false << QByteArray();
    QTest::newRow("flags of two bytes") << 54 << 2 << false << QByteArray();
    QTest::newRow("both direction bits") << 56 << 3 << false << QByteArray();
    QTest::newRow("unknown option passed over") << 36 << 9 << true << QByteArray();
    QTest::newRow("other flag bits kept out") << 57 << 0xff << true << QByteArray("curl receive");
}

void PcapngFormatTest::readerTakesOnlyWholeBlocksOfItsInterface() {
    QFETCH(int, offset);
    QFETCH(int, value);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, comment);

    QByteArray block = ReceivedBlock;
    if (offset < 0)
        block.chop(4);
    else
        block[offset] = char(value);
    // An exact copy, so that a read past the block's end would be seen by a sanitizer.
    const std::vector<std::uint8_t> bytes(block.begin(), block.end());
    const std::optional<Pcapng::PacketBlock> read = Pcapng::ReadPacketBlock(bytes);
    QCOMPARE(read.has_value(), accepted);
    if (read) {
        QCOMPARE(QByteArray::fromStdString(std::string(read->comment)), comment);
        QCOMPARE(read->direction, Pcapng::Direction::Inbound);
        QCOMPARE(Bytes(read->datagram), QByteArray::fromHex("45000005ab"));
    }
}

QTEST_APPLESS_MAIN(PcapngFormatTest)
#include "PcapngFormatTest.moc"
