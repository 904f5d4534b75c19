#include "records/HexDump.h"

#include <QtTest>

using namespace talvane;

namespace {

// The bytes 0, 1, 2, ...; at most 32 of them are all controls or space, each shown as ".".
QByteArray Counting(int count) {
    QByteArray bytes;
    for (int index = 0; index < count; ++index)
        bytes.append(char(index));
    return bytes;
}

QByteArray CountingHex(int count) {
    QByteArray hex;
    for (int index = 0; index < count; ++index)
        hex += QByteArray::number(index, 16).toUpper().rightJustified(2, '0') + ' ';
    return hex;
}

QByteArray Spaces(int count) {
    return QByteArray(count, ' ');
}

} // namespace

class HexDumpTest : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
};

void HexDumpTest::layout_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("dump");

    for (int width : {16, 32}) {
        QTest::addRow("no bytes, width %d", width) << QByteArray() << width << QByteArray();

        QTest::addRow("one full line, width %d", width)
            << Counting(width) << width
            << CountingHex(width) + Spaces(8) + QByteArray(width, '.') + "\r\n";

        QTest::addRow("one line and one byte, width %d", width)
            << Counting(width) + 'A' << width
            << CountingHex(width) + Spaces(8) + QByteArray(width, '.') + "\r\n" + "41 " +
                   Spaces(3 * (width - 1)) + Spaces(8) + "A";

        QTest::addRow("two full lines, width %d", width)
            << Counting(width) + Counting(width) << width
            << (CountingHex(width) + Spaces(8) + QByteArray(width, '.') + "\r\n").repeated(2);

        QTest::addRow("five bytes, width %d", width)
            << QByteArray("\x48\x69\x21\x0a\xff") << width
            << "48 69 21 0A FF " + Spaces(3 * (width - 5)) + Spaces(8) + "Hi!..";

        QTest::addRow("text edges, width %d", width)
            << QByteArray("\x20\x21\x7e\x7f\x80\xff") << width
            << "20 21 7E 7F 80 FF " + Spaces(3 * (width - 6)) + Spaces(8) + ".!~\x7f..";
    }
    QTest::newRow("five bytes, width 16, literally")
        << QByteArray("\x48\x69\x21\x0a\xff") << 16
        << QByteArray("48 69 21 0A FF                                          Hi!..");
    QTest::newRow("no width") << QByteArray("abc") << 0 << QByteArray();
}

void HexDumpTest::layout() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, width);
    QFETCH(QByteArray, dump);

    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const std::string text = HexDump({data, std::size_t(bytes.size())}, width);
    QCOMPARE(QByteArray::fromStdString(text), dump);
}

QTEST_APPLESS_MAIN(HexDumpTest)
#include "HexDumpTest.moc"
