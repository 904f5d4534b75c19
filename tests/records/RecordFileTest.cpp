#include "records/RecordFile.h"
#include "support/TinyDisk.h"

#include <QtTest>
#include <cstring>
#include <fstream>
#include <memory>
#include <sys/stat.h>

using namespace talvane;

namespace fs = std::filesystem;

Q_DECLARE_METATYPE(RecordHeader)

namespace {

std::vector<std::uint8_t> ToBytes(const QByteArray& bytes) {
    return {bytes.begin(), bytes.end()};
}

QByteArray ToQByteArray(const std::string& bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

QByteArray ToQByteArray(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

QByteArrayList EntryTexts(const RecordHeader& header) {
    QByteArrayList texts;
    for (const std::string* text :
         {&header.processName, &header.direction, &header.sourceIp, &header.sourcePort,
          &header.protocolName, &header.destinationIp, &header.destinationPort, &header.timeText})
        texts << ToQByteArray(*text);
    return texts;
}

RecordHeader BrowserHeader() {
    return {"browser.exe", "send",     "192.168.0.25", "1030",
            "TCP",         "10.1.2.3", "80",           "20090315 14:07:09"};
}

QByteArray BrowserHeaderBytes() {
    return QByteArray("\x46"
                      "\x0c"
                      "browser.exe"
                      "\x05"
                      "send"
                      "\x0d"
                      "192.168.0.25"
                      "\x05"
                      "1030"
                      "\x04"
                      "TCP"
                      "\x09"
                      "10.1.2.3"
                      "\x03"
                      "80"
                      "\x12"
                      "20090315 14:07:09");
}

QByteArray FileBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return QByteArray::fromStdString(
        std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
}

fs::perms Permissions(const fs::path& path) {
    return fs::status(path).permissions() & fs::perms::all;
}

} // namespace

class RecordFileTest : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void textsReadBack_data();
    void textsReadBack();
    void damagedInput_data();
    void damagedInput();
    void writeCreatesAPrivateFile();
    void writeTruncatesAndPrivatisesAnOldFile();
    void missingFilesFail();
    void linksAreNotFollowed();
    void readStopsAtTheLargestFile();
    void writeThatRunsOutOfSpaceLeavesNoFile_data();
    void writeThatRunsOutOfSpaceLeavesNoFile();
};

void RecordFileTest::layout_data() {
    QTest::addColumn<RecordHeader>("header");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("file");

    const QByteArray payload("\x48\x69\x21\x0a\xff", 5);
    QTest::newRow("TCP sent by a process")
        << BrowserHeader() << payload << BrowserHeaderBytes() + payload;
    QTest::newRow("ICMP has no ports and no payload")
        << RecordHeader{"",     "receive",      "10.1.2.3", "",
                        "ICMP", "192.168.0.25", "",         "20090315 14:07:09"}
        << QByteArray()
        << QByteArray("\x39"
                      "\x01"
                      "\x08"
                      "receive"
                      "\x09"
                      "10.1.2.3"
                      "\x01"
                      "\x05"
                      "ICMP"
                      "\x0d"
                      "192.168.0.25"
                      "\x01"
                      "\x12"
                      "20090315 14:07:09");
    QTest::newRow("between two other hosts")
        << RecordHeader{"", "", "10.0.0.1", "53", "UDP", "10.0.0.2", "1024", "20090315 14:07:09"}
        << QByteArray("x")
        << QByteArray("\x33"
                      "\x01"
                      "\x01"
                      "\x09"
                      "10.0.0.1"
                      "\x03"
                      "53"
                      "\x04"
                      "UDP"
                      "\x09"
                      "10.0.0.2"
                      "\x05"
                      "1024"
                      "\x12"
                      "20090315 14:07:09"
                      "x");
}

void RecordFileTest::layout() {
    QFETCH(RecordHeader, header);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, file);

    const std::string headerBytes = RecordFile::Encode(header);
    QCOMPARE(ToQByteArray(headerBytes) + payload, file);
    QCOMPARE(std::uint8_t(headerBytes[0]), headerBytes.size());

    const Record decoded = RecordFile::Decode(ToBytes(file));
    QCOMPARE(decoded.header, header);
    QCOMPARE(ToQByteArray(decoded.payload), payload);

    QTemporaryDir directory;
    const fs::path path = fs::path(directory.path().toStdString()) / "1";
    QVERIFY(RecordFile::Write(path, header, ToBytes(payload)));
    QCOMPARE(FileBytes(path), file);
    const std::optional<Record> read = RecordFile::Read(path);
    QVERIFY(read);
    QCOMPARE(*read, decoded);
}

void RecordFileTest::textsReadBack_data() {
    QTest::addColumn<RecordHeader>("header");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<RecordHeader>("stored");

    // Texts that fit are read back as they were.
    const auto whole = [](const char* name, const RecordHeader& texts, const QByteArray& payload) {
        QTest::newRow(name) << texts << payload << texts;
    };
    whole("empty header, no payload", {}, {});
    whole("empty header, payload", {}, QByteArray("\x01\x00\xff", 3));
    whole("TCP", BrowserHeader(), QByteArray(1460, '\x7f'));
    whole("largest payload", BrowserHeader(), QByteArray(65535, '\x00'));
    whole("UDP receive",
          {"svc-host", "receive", "255.255.255.255", "65535", "UDP", "255.255.255.255", "65535",
           "20991231 23:59:59"},
          QByteArray("\x46\x01\x01", 3));
    whole("63-byte name in UTF-8",
          {std::string(21, 'a') + std::string(14, '\0') + "\xe4\xb8\xad\xe6\x96\x87" +
               std::string(22, 'b'),
           "send", "1.2.3.4", "1", "IGMP", "5.6.7.8", "", "20090315 14:07:09"},
          "IGMP");

    RecordHeader header = BrowserHeader();
    RecordHeader stored = header;
    header.processName = std::string(70, 'p');
    stored.processName = std::string(63, 'p');
    QTest::newRow("process name of 70 bytes") << header << QByteArray() << stored;

    header.processName = stored.processName = std::string(63, 'p');
    QTest::newRow("process name of 63 bytes is whole") << header << QByteArray() << stored;

    // "é" is two bytes, "€" three, "😀" four; each would straddle byte 63.
    for (const char* character : {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"}) {
        header.processName = std::string(62, 'p') + character + "tail";
        stored.processName = std::string(62, 'p');
        QTest::addRow("%d-byte character at the cut", int(std::strlen(character)))
            << header << QByteArray() << stored;
    }

    header.processName = std::string(61, 'p') + "\xc3\xa9" + "x";
    stored.processName = std::string(61, 'p') + "\xc3\xa9";
    QTest::newRow("character ending at the cut is kept") << header << QByteArray() << stored;

    header = stored = BrowserHeader();
    header.timeText = std::string(30, 't');
    stored.timeText = std::string(23, 't');
    QTest::newRow("other entries keep 23 bytes") << header << QByteArray() << stored;

    const std::string longText(300, 'x');
    header = {longText, longText, longText, longText, longText, longText, longText, longText};
    const std::string entry(23, 'x');
    stored = {std::string(63, 'x'), entry, entry, entry, entry, entry, entry, entry};
    QTest::newRow("every entry too long") << header << QByteArray() << stored;
}

// Each text is cut to what its entry holds, the header length fits its byte, and the payload
// follows the header whole.
void RecordFileTest::textsReadBack() {
    QFETCH(RecordHeader, header);
    QFETCH(QByteArray, payload);
    QFETCH(RecordHeader, stored);

    const std::string bytes = RecordFile::Encode(header);
    QCOMPARE(std::uint8_t(bytes[0]), bytes.size());
    QVERIFY(bytes.size() <= 233);
    const Record record = RecordFile::Decode(ToBytes(ToQByteArray(bytes) + payload));
    QCOMPARE(record.header, stored);
    QCOMPARE(ToQByteArray(record.payload), payload);
}

void RecordFileTest::damagedInput_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArrayList>("entries");
    QTest::addColumn<QByteArray>("payload");

    const QByteArrayList none(8);
    QTest::newRow("empty file") << QByteArray() << none << QByteArray();
    QTest::newRow("H = 0") << QByteArray("\x00\x03"
                                         "ab",
                                         4)
                           << none
                           << QByteArray("\x03"
                                         "ab");
    QTest::newRow("H = 1: header of the length byte alone") << QByteArray("\x01\x03"
                                                                          "ab")
                                                            << none
                                                            << QByteArray("\x03"
                                                                          "ab");
    QTest::newRow("H past the end")
        << QByteArray("\xff\x03"
                      "ab\x02x")
        << QByteArrayList{"ab", "x", "", "", "", "", "", ""} << QByteArray();
    QTest::newRow("L running past H")
        << QByteArray("\x06\x03"
                      "ab\x09xyz"
                      "payload")
        << QByteArrayList{"ab", "x", "", "", "", "", "", ""} << QByteArray("yzpayload");
    QTest::newRow("length byte at the end of the header")
        << QByteArray("\x05\x03"
                      "ab\x09xyz")
        << QByteArrayList{"ab", "", "", "", "", "", "", ""} << QByteArray("xyz");
    QTest::newRow("L = 0 is an empty entry")
        << QByteArray("\x06\x00\x02x\x00\x01"
                      "P",
                      7)
        << QByteArrayList{"", "x", "", "", "", "", "", ""} << QByteArray("P");
    QTest::newRow("truncated mid-entry")
        << QByteArray("\x46\x0c"
                      "brow")
        << QByteArrayList{"brow", "", "", "", "", "", "", ""} << QByteArray();
    QTest::newRow("truncated after a length byte")
        << QByteArray("\x46\x0c"
                      "browser.exe"
                      "\x05")
        << QByteArrayList{"browser.exe", "", "", "", "", "", "", ""} << QByteArray();
    QTest::newRow("more than eight entries in the header")
        << QByteArray("\x0d\x02"
                      "0\x02"
                      "1\x01\x01\x01\x01\x01\x02"
                      "7\x01"
                      "P")
        << QByteArrayList{"0", "1", "", "", "", "", "", "7"} << QByteArray("P");
}

void RecordFileTest::damagedInput() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArrayList, entries);
    QFETCH(QByteArray, payload);

    // A buffer of exactly the file's size, so a read past the end is caught by the memory checker.
    const std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[std::size_t(file.size())]);
    std::memcpy(bytes.get(), file.constData(), std::size_t(file.size()));
    const Record record = RecordFile::Decode({bytes.get(), std::size_t(file.size())});
    QCOMPARE(EntryTexts(record.header), entries);
    QCOMPARE(ToQByteArray(record.payload), payload);
}

void RecordFileTest::writeCreatesAPrivateFile() {
    QTemporaryDir directory;
    const fs::path path = fs::path(directory.path().toStdString()) / "12";
    const mode_t oldMask = umask(0);
    const bool written = RecordFile::Write(path, BrowserHeader(), {});
    umask(oldMask);
    QVERIFY(written);
    QCOMPARE(Permissions(path), fs::perms::owner_read | fs::perms::owner_write);
    QCOMPARE(FileBytes(path), BrowserHeaderBytes());
}

void RecordFileTest::writeTruncatesAndPrivatisesAnOldFile() {
    QTemporaryDir directory;
    const fs::path path = fs::path(directory.path().toStdString()) / "3";
    std::ofstream(path) << std::string(500, 'o');
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);

    const std::vector<std::uint8_t> payload{1, 2, 3};
    QVERIFY(RecordFile::Write(path, BrowserHeader(), payload));
    QCOMPARE(Permissions(path), fs::perms::owner_read | fs::perms::owner_write);
    QCOMPARE(FileBytes(path), BrowserHeaderBytes() + QByteArray("\x01\x02\x03"));
}

void RecordFileTest::missingFilesFail() {
    QTemporaryDir directory;
    const fs::path path = fs::path(directory.path().toStdString());
    QVERIFY(!RecordFile::Write(path / "missing" / "1", BrowserHeader(), {}));
    QVERIFY(!RecordFile::Read(path / "missing"));
    QVERIFY(!RecordFile::Read(path));
}

void RecordFileTest::linksAreNotFollowed() {
    QTemporaryDir directory;
    const fs::path folder = directory.path().toStdString();
    std::ofstream(folder / "elsewhere") << "kept";
    fs::create_symlink(folder / "elsewhere", folder / "4");
    QVERIFY(RecordFile::Write(folder / "5", BrowserHeader(), {}));
    fs::create_symlink(folder / "5", folder / "6");

    QVERIFY(!RecordFile::Write(folder / "4", BrowserHeader(), {}));
    QCOMPARE(FileBytes(folder / "elsewhere"), QByteArray("kept"));
    QVERIFY(!RecordFile::Read(folder / "6"));
}

void RecordFileTest::readStopsAtTheLargestFile() {
    QTemporaryDir directory;
    const fs::path path = fs::path(directory.path().toStdString()) / "9";
    const std::vector<std::uint8_t> payload(RecordFile::MaximumFileSize + 100, 0xab);
    QVERIFY(RecordFile::Write(path, BrowserHeader(), payload));

    const std::optional<Record> record = RecordFile::Read(path);
    QVERIFY(record);
    QCOMPARE(record->header, BrowserHeader());
    QCOMPARE(record->payload.size(), RecordFile::MaximumFileSize - 70);
}

void RecordFileTest::writeThatRunsOutOfSpaceLeavesNoFile_data() {
    QTest::addColumn<int>("oldSize"); // of the record the index held before; 0 for none
    QTest::newRow("new index") << 0;
    QTest::newRow("over a longer record") << 20000;
    QTest::newRow("over a shorter record") << 300;
}

void RecordFileTest::writeThatRunsOutOfSpaceLeavesNoFile() {
    QFETCH(int, oldSize);
    const TinyDisk disk(64 * 1024);
    if (!disk.Mounted())
        QSKIP("A full disk needs root and a mount namespace of the test's own.");
    const fs::path path = disk.Path() / "7";
    if (oldSize > 0)
        QVERIFY(RecordFile::Write(path, BrowserHeader(),
                                  std::vector<std::uint8_t>(std::size_t(oldSize), 0x11)));
    disk.Fill("filler");

    // Larger than the old record by more than the disk holds, so the disk fills part way in.
    QVERIFY(!RecordFile::Write(path, BrowserHeader(), std::vector<std::uint8_t>(65000, 0x22)));
    QVERIFY(!fs::exists(fs::symlink_status(path)));
    QVERIFY(!RecordFile::Read(path));
}

QTEST_APPLESS_MAIN(RecordFileTest)
#include "RecordFileTest.moc"
