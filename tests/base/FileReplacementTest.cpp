#include "base/FileReplacement.h"
#include "support/TinyDisk.h"

#include <QtTest>
#include <fstream>
#include <optional>
#include <sys/stat.h>

using namespace talvane;

namespace fs = std::filesystem;
using Fault = FileReplacement::Outcome::Fault;

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class FileReplacementTest : public QObject {
    Q_OBJECT

private slots:
    void replacesOnlyARegularFileWhole_data();
    void replacesOnlyARegularFileWhole();
};

void FileReplacementTest::replacesOnlyARegularFileWhole_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<Fault>("fault");
    QTest::newRow("nothing") << "nothing" << Fault::None;
    QTest::newRow("a file others may read") << "a file" << Fault::None;
    QTest::newRow("a link to a file") << "a link" << Fault::NotARegularFile;
    QTest::newRow("a FIFO without a reader") << "a FIFO" << Fault::NotARegularFile;
    QTest::newRow("a directory") << "a directory" << Fault::NotARegularFile;
    QTest::newRow("a file on a full disk") << "a full disk" << Fault::Unwritable;
}

// Unless the new content took its place whole and private, what is there stays as it was; no
// unfinished file is left either way.
void FileReplacementTest::replacesOnlyARegularFileWhole() {
    QFETCH(QString, target);
    QFETCH(Fault, fault);
    std::optional<TinyDisk> disk;
    if (target == "a full disk" && !disk.emplace(64 * 1024).Mounted())
        QSKIP("A full disk needs root and a mount namespace of the test's own.");
    QTemporaryDir scratch, elsewhere;
    const fs::path folder = disk ? disk->Path() : fs::path(scratch.path().toStdString());
    const fs::path path = folder / "export", linked = elsewhere.filePath("f").toStdString();
    std::ofstream(linked) << "old";
    if (target == "a file" || disk)
        fs::copy_file(linked, path);
    if (target == "a link")
        fs::create_symlink(linked, path);
    if (target == "a FIFO")
        QCOMPARE(mkfifo(path.c_str(), 0644), 0);
    if (target == "a directory")
        fs::create_directory(path);
    if (disk)
        disk->Fill("filler");

    const std::string content(200000, 'n');
    QCOMPARE(FileReplacement::Replace(path, content).fault, fault);
    QCOMPARE(std::distance(fs::directory_iterator(folder), {}), disk ? 2 : 1);
    struct stat status {};
    QCOMPARE(lstat(path.c_str(), &status), 0);
    if (fault == Fault::None)
        QCOMPARE(status.st_mode & 07777, mode_t{0600});
    if (S_ISREG(status.st_mode))
        QCOMPARE(ReadBytes(path), fault == Fault::None ? content : "old");
    QCOMPARE(ReadBytes(linked), "old");
    QCOMPARE(S_ISLNK(status.st_mode), target == "a link");
    QCOMPARE(S_ISFIFO(status.st_mode), target == "a FIFO");
}

QTEST_APPLESS_MAIN(FileReplacementTest)
#include "FileReplacementTest.moc"
