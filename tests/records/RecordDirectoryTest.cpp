#include "records/RecordDirectory.h"

#include <QtTest>
#include <fstream>

namespace fs = std::filesystem;

class RecordDirectoryTest : public QObject {
    Q_OBJECT

private slots:
    void prepareCreatesAPrivateDirectory();
    void prepareMakesAnExistingDirectoryPrivate();
    void removeDeletesEveryFileAndKeepsTheDirectory();
    void removeWithoutDirectoryDoesNothing();
};

namespace {

void WriteFile(const fs::path& path) {
    std::ofstream(path) << "payload";
}

} // namespace

void RecordDirectoryTest::prepareCreatesAPrivateDirectory() {
    QTemporaryDir program;
    const RecordDirectory records(program.path().toStdString());
    records.Prepare();
    QVERIFY(fs::is_directory(records.Path()));
    QCOMPARE(records.Path(), fs::path(program.path().toStdString()) / "tempfiles");
    QCOMPARE(fs::status(records.Path()).permissions() & fs::perms::all, fs::perms::owner_all);
}

void RecordDirectoryTest::prepareMakesAnExistingDirectoryPrivate() {
    QTemporaryDir program;
    const RecordDirectory records(program.path().toStdString());
    fs::create_directory(records.Path());
    fs::permissions(records.Path(), fs::perms::all);
    WriteFile(records.Path() / "7");
    records.Prepare();
    QCOMPARE(fs::status(records.Path()).permissions() & fs::perms::all, fs::perms::owner_all);
    QVERIFY(fs::exists(records.Path() / "7"));
}

void RecordDirectoryTest::removeDeletesEveryFileAndKeepsTheDirectory() {
    QTemporaryDir program;
    const RecordDirectory records(program.path().toStdString());
    records.Prepare();
    for (const char* name : {"0", "1", "9998", "left from an earlier run"})
        WriteFile(records.Path() / name);
    fs::create_directory(records.Path() / "folder");

    records.RemoveRecordFiles();

    QVERIFY(fs::is_directory(records.Path()));
    std::vector<std::string> remaining;
    for (const auto& entry : fs::directory_iterator(records.Path()))
        remaining.push_back(entry.path().filename().string());
    QCOMPARE(remaining, std::vector<std::string>{"folder"});
}

void RecordDirectoryTest::removeWithoutDirectoryDoesNothing() {
    QTemporaryDir program;
    const RecordDirectory records(program.path().toStdString());
    records.RemoveRecordFiles();
    QVERIFY(!fs::exists(records.Path()));
}

QTEST_APPLESS_MAIN(RecordDirectoryTest)
#include "RecordDirectoryTest.moc"
