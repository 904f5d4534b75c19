#include "capture/CaptureStream.h"

#include <QtTest>

using namespace talvane;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Hex(const char* hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    return Bytes(bytes.begin(), bytes.end());
}

Bytes Written(const CaptureStream::Message& message) {
    Bytes bytes;
    CaptureStream::Write(message, bytes);
    return bytes;
}

const Bytes Datagram = {0x45, 0x00, 0x00, 0x05, 0xab};

} // namespace

Q_DECLARE_METATYPE(CaptureStream::Message)

class CaptureStreamTest : public QObject {
    Q_OBJECT

private slots:
    void writtenAndReadOnTheSameBytes_data();
    void writtenAndReadOnTheSameBytes();
    void garbledHeadersAreRefused_data();
    void garbledHeadersAreRefused();
};

void CaptureStreamTest::writtenAndReadOnTheSameBytes_data() {
    QTest::addColumn<CaptureStream::Message>("message");
    QTest::addColumn<Bytes>("bytes");
    // Kind and body length, then the body, all little-endian.
    QTest::newRow("link") << CaptureStream::Message(CaptureStream::Link{228})
                          << Hex("01000000 04000000 e4000000");
    // The time stamp, the sender and the receiver (a source byte, and for a named one its pid,
    // uid and name), then the frame.
    QTest::newRow("frame") << CaptureStream::Message(CaptureStream::Frame{
                                  CaptureTime(std::chrono::microseconds(0x0123456789ab)),
                                  Datagram,
                                  {{KernelOwner::Source::Named, 4660, 1000, "curl"},
                                   {KernelOwner::Source::Nobody, 0, 0, {}}}})
                           << Hex("02000000 1c000000 ab89674523010000"
                                  "02 34120000 e8030000 04 6375726c 01 45000005ab");
    QTest::newRow("empty frame") << CaptureStream::Message(CaptureStream::Frame{CaptureTime{}, {}})
                                 << Hex("02000000 0a000000 0000000000000000 00 00");
    QTest::newRow("owners named") << CaptureStream::Message(CaptureStream::Owners{""})
                                  << Hex("05000000 00000000");
    QTest::newRow("owners looked up") << CaptureStream::Message(CaptureStream::Owners{"no cgroup2"})
                                      << Hex("05000000 0a000000 6e6f20636772 6f757032");
    QTest::newRow("statistics") << CaptureStream::Message(CaptureStream::Statistics{70000, 3})
                                << Hex("03000000 08000000 70110100 03000000");
    QTest::newRow("failure") << CaptureStream::Message(CaptureStream::Failure{"gone"})
                             << Hex("04000000 04000000 676f6e65");
}

void CaptureStreamTest::writtenAndReadOnTheSameBytes() {
    QFETCH(CaptureStream::Message, message);
    QFETCH(Bytes, bytes);

    QCOMPARE(Written(message), bytes);
    Bytes followed = bytes;
    followed.push_back(0x01);
    const CaptureStream::Parsed parsed = CaptureStream::Read(followed);
    QVERIFY(parsed.status == CaptureStream::Parsed::Status::Complete);
    QCOMPARE(parsed.length, bytes.size());
    // Read back, the message writes the same bytes again.
    QCOMPARE(Written(parsed.message), bytes);
    for (std::size_t length = 0; length < bytes.size(); ++length)
        QVERIFY(CaptureStream::Read(std::span(bytes).first(length)).status ==
                CaptureStream::Parsed::Status::Incomplete);
}

void CaptureStreamTest::garbledHeadersAreRefused_data() {
    QTest::addColumn<Bytes>("header");
    QTest::newRow("kind 0") << Hex("00000000 04000000");
    QTest::newRow("kind 6") << Hex("06000000 00000000");
    QTest::newRow("link of three bytes") << Hex("01000000 03000000");
    QTest::newRow("frame without its owners") << Hex("02000000 09000000");
    QTest::newRow("frame past the largest") << Hex("02000000 5a020100");
    QTest::newRow("failure past the longest") << Hex("04000000 01040000");
    QTest::newRow("owner of source 3") << Hex("02000000 0a000000 0000000000000000 03 00");
    QTest::newRow("name past the frame")
        << Hex("02000000 14000000 0000000000000000 02 01000000 01000000 05 6375");
}

// Refused from the header alone, before any body is waited for, or from an owner no writer makes.
void CaptureStreamTest::garbledHeadersAreRefused() {
    QFETCH(Bytes, header);
    QVERIFY(CaptureStream::Read(header).status == CaptureStream::Parsed::Status::Garbled);
}

QTEST_APPLESS_MAIN(CaptureStreamTest)
#include "CaptureStreamTest.moc"
