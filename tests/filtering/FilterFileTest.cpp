#include "filtering/FilterFile.h"
#include "support/TinyDisk.h"

#include <QtTest>
#include <fstream>
#include <sys/stat.h>

using namespace talvane;

namespace {

std::string Zeros(std::size_t count) {
    return std::string(count, '\0');
}

FilterSettings Sample() {
    FilterSettings settings;
    settings.filterBroadcast = 1;
    settings.filterLan = 0;
    settings.monitorUdp = 1;
    settings.monitorTcp = 0;
    settings.monitorLan = 1;
    settings.filterLocalPortText = "80|8080";
    settings.filterRemotePortText = "|";
    settings.filterIpText = "10.0.0.@";
    settings.monitorLocalPortText = "";
    settings.monitorRemotePortText = "8@8@";
    settings.monitorIpText = "192.168.0.25@|192.168.0.240";
    return settings;
}

QByteArray Bytes(const std::string& bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

class FilterFileTest : public QObject {
    Q_OBJECT

private slots:
    void emptySettingsTake26Bytes();
    void sampleLayout();
    void lengthPrefixForms_data();
    void lengthPrefixForms();
    void switchesKeepAnyValue();
    void everyTruncationIsAFailure();
    void trailingBytesAreIgnored();
    void lengthPrefixPastTheEndIsAFailure_data();
    void lengthPrefixPastTheEndIsAFailure();
    void acceptsLongFormsForShortTexts();
    void savesAndLoadsFiles();
    void filesThatAreNoSettingsFileFailAtOnce_data();
    void filesThatAreNoSettingsFileFailAtOnce();
    void fullDiskKeepsTheOldSettings();
};

void FilterFileTest::emptySettingsTake26Bytes() {
    const std::string bytes = FilterFile::Encode(FilterSettings{});
    QCOMPARE(Bytes(bytes), Bytes(Zeros(26)));
    QCOMPARE(FilterFile::Decode(bytes), std::optional<FilterSettings>(FilterSettings{}));
}

void FilterFileTest::sampleLayout() {
    const std::string expected = std::string("\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\x01\0\0\0", 20) +
                                 "\x07"
                                 "80|8080"
                                 "\x01|"
                                 "\x08"
                                 "10.0.0.@" +
                                 std::string(1, '\0') +
                                 "\x04"
                                 "8@8@"
                                 "\x1b"
                                 "192.168.0.25@|192.168.0.240";
    QCOMPARE(Bytes(FilterFile::Encode(Sample())), Bytes(expected));
    QCOMPARE(FilterFile::Decode(expected), std::optional<FilterSettings>(Sample()));
}

void FilterFileTest::lengthPrefixForms_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("prefix");

    QTest::newRow("254") << 254 << QByteArray("\xfe", 1);
    QTest::newRow("255") << 255 << QByteArray("\xff\xff\x00", 3);
    QTest::newRow("300") << 300 << QByteArray("\xff\x2c\x01", 3);
    QTest::newRow("65533") << 65533 << QByteArray("\xff\xfd\xff", 3);
    QTest::newRow("65534") << 65534 << QByteArray("\xff\xff\xff\xfe\xff\x00\x00", 7);
    QTest::newRow("70000") << 70000 << QByteArray("\xff\xff\xff\x70\x11\x01\x00", 7);
}

void FilterFileTest::lengthPrefixForms() {
    QFETCH(int, length);
    QFETCH(QByteArray, prefix);

    FilterSettings settings;
    settings.filterRemotePortText = std::string(std::size_t(length), '7');
    settings.monitorIpText = "1.2.3.4";
    const std::string bytes = FilterFile::Encode(settings);

    const QByteArray expected = QByteArray(21, '\0') + prefix + QByteArray(length, '7') +
                                QByteArray(3, '\0') +
                                QByteArray("\x07"
                                           "1.2.3.4");
    QCOMPARE(Bytes(bytes), expected);
    QCOMPARE(FilterFile::Decode(bytes), std::optional<FilterSettings>(settings));
}

void FilterFileTest::switchesKeepAnyValue() {
    std::string bytes = Zeros(26);
    bytes[0] = '\x02';
    bytes[7] = '\x80';
    bytes[16] = '\xff';
    bytes[17] = '\xff';
    bytes[18] = '\xff';
    bytes[19] = '\xff';
    const std::optional<FilterSettings> settings = FilterFile::Decode(bytes);
    QVERIFY(settings);
    QCOMPARE(settings->filterBroadcast, 2);
    QCOMPARE(settings->filterLan, std::int32_t(0x80000000));
    QCOMPARE(settings->monitorLan, -1);
    QCOMPARE(FilterFile::Encode(*settings), bytes);
}

void FilterFileTest::everyTruncationIsAFailure() {
    FilterSettings settings = Sample();
    settings.filterIpText = std::string(300, '1');
    const std::string bytes = FilterFile::Encode(settings);
    for (std::size_t size = 0; size < bytes.size(); ++size)
        QVERIFY2(!FilterFile::Decode(bytes.substr(0, size)), qPrintable(QString::number(size)));
    QVERIFY(FilterFile::Decode(bytes));
}

void FilterFileTest::trailingBytesAreIgnored() {
    const std::string bytes = FilterFile::Encode(Sample()) + "garbage";
    QCOMPARE(FilterFile::Decode(bytes), std::optional<FilterSettings>(Sample()));
}

void FilterFileTest::lengthPrefixPastTheEndIsAFailure_data() {
    QTest::addColumn<QByteArray>("texts");

    QTest::newRow("short form") << QByteArray("\x00\x00\x00\x00\x00\x05"
                                              "abc",
                                              9);
    QTest::newRow("16-bit form") << QByteArray("\x00\x00\x00\x00\x00\xff\x00\x01"
                                               "x",
                                               9);
    QTest::newRow("32-bit form") << QByteArray("\x00\x00\x00\x00\x00\xff\xff\xff\xff\xff\xff\xff"
                                               "x",
                                               13);
    QTest::newRow("prefix itself cut") << QByteArray("\x00\x00\x00\x00\x00\xff\xff", 7);
}

void FilterFileTest::lengthPrefixPastTheEndIsAFailure() {
    QFETCH(QByteArray, texts);
    const std::string bytes = Zeros(20) + texts.toStdString();
    QVERIFY(!FilterFile::Decode(bytes));
}

void FilterFileTest::acceptsLongFormsForShortTexts() {
    const std::string bytes = Zeros(20) +
                              std::string("\xff\x02\x00"
                                          "80"
                                          "\xff\xff\xff\x01\x00\x00\x00"
                                          "|",
                                          13) +
                              Zeros(4);
    const std::optional<FilterSettings> settings = FilterFile::Decode(bytes);
    QVERIFY(settings);
    QCOMPARE(settings->filterLocalPortText, "80");
    QCOMPARE(settings->filterRemotePortText, "|");
}

void FilterFileTest::savesAndLoadsFiles() {
    QTemporaryDir directory;
    const std::filesystem::path path = directory.filePath("last.ft").toStdString();

    FilterSettings loaded = Sample();
    QCOMPARE(FilterFile::Load(path, loaded), FilterFile::ReadResult::Missing);
    QCOMPARE(loaded, Sample());

    QVERIFY(FilterFile::Save(path, FilterSettings{}));
    QCOMPARE(std::filesystem::file_size(path), std::uintmax_t(26));
    QCOMPARE(FilterFile::Load(path, loaded), FilterFile::ReadResult::Loaded);
    QCOMPARE(loaded, FilterSettings{});

    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(25, '\0');
    loaded = Sample();
    QCOMPARE(FilterFile::Load(path, loaded), FilterFile::ReadResult::Damaged);
    QCOMPARE(loaded, Sample());
    const FilterFile::LoadReport damaged = FilterFile::LoadAndReport(path, loaded);
    QVERIFY(!damaged.loaded);
    QCOMPARE(damaged.message, std::string("过滤设置文件已损坏: ") + path.string());
    QCOMPARE(loaded, Sample());

    QVERIFY(
        !FilterFile::Save(directory.filePath("no such folder/last.ft").toStdString(), Sample()));
}

void FilterFileTest::filesThatAreNoSettingsFileFailAtOnce_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"a FIFO", "a device", "a directory", "an oversized file"})
        QTest::newRow(kind) << kind;
}

// Each would hang the window or be read without end if it were opened as a plain file: a FIFO
// without a writer blocks the read, a device never ends.
void FilterFileTest::filesThatAreNoSettingsFileFailAtOnce() {
    QFETCH(QString, kind);
    QTemporaryDir directory;
    std::filesystem::path path = directory.filePath("last.ft").toStdString();
    if (kind == "a FIFO") {
        QCOMPARE(mkfifo(path.c_str(), 0600), 0);
    } else if (kind == "a device") {
        path = "/dev/zero";
    } else if (kind == "a directory") {
        std::filesystem::create_directory(path);
    } else {
        // Settings that decode, in a file one byte larger than any settings file.
        std::ofstream(path, std::ios::binary) << FilterFile::Encode(Sample());
        std::filesystem::resize_file(path, FilterFile::MaximumFileSize + 1);
    }

    FilterSettings loaded;
    QCOMPARE(FilterFile::Load(path, loaded), FilterFile::ReadResult::Damaged);
    QCOMPARE(loaded, FilterSettings{});
    // Saving over it neither waits nor writes into anything but a regular file.
    if (kind != "an oversized file")
        QVERIFY(!FilterFile::Save(path, Sample()));
}

// The settings go in whole or not at all: a failed save never leaves the file empty, which would
// have the next begin monitor unfiltered.
void FilterFileTest::fullDiskKeepsTheOldSettings() {
    const TinyDisk disk(64 * 1024);
    if (!disk.Mounted())
        QSKIP("A full disk needs root and a mount namespace of the test's own.");
    const std::filesystem::path path = disk.Path() / "last.ft";
    QVERIFY(FilterFile::Save(path, Sample()));
    disk.Fill("filler");
    FilterSettings large = Sample();
    large.filterIpText.assign(8192, '1');
    QVERIFY(!FilterFile::Save(path, large));
    FilterSettings loaded;
    QCOMPARE(FilterFile::Load(path, loaded), FilterFile::ReadResult::Loaded);
    QCOMPARE(loaded, Sample());
}

QTEST_APPLESS_MAIN(FilterFileTest)
#include "FilterFileTest.moc"
