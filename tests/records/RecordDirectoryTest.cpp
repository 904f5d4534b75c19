#include "records/RecordDirectory.h"

#include <QtTest>
#include <csignal>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace talvane;

namespace fs = std::filesystem;

class RecordDirectoryTest : public QObject {
    Q_OBJECT

private slots:
    void foldersArePrivateWhateverTheUmask_data();
    void foldersArePrivateWhateverTheUmask();
    void unsafeFoldersAreRefusedAndLeftAlone_data();
    void unsafeFoldersAreRefusedAndLeftAlone();
    void endedProgramsFoldersGoAtStartOwnFolderAtExit();
};

namespace {

constexpr pid_t OwnPid = 4242;

void WriteFile(const fs::path& path) {
    std::ofstream(path) << "captured payload";
}

fs::perms Permissions(const fs::path& path) {
    return fs::symlink_status(path).permissions() & fs::perms::all;
}

// Every entry below folder, links not followed.
QStringList Tree(const fs::path& folder) {
    QStringList entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        entries.append(QString::fromStdString(entry.path().lexically_relative(folder).string()));
    entries.sort();
    return entries;
}

// A process that runs until it is ended.
struct ChildProcess {
    pid_t pid = fork();
    ChildProcess() {
        if (pid == 0) {
            pause();
            _exit(0);
        }
    }
    ~ChildProcess() { End(); }
    void End() {
        if (pid > 0 && kill(pid, SIGKILL) == 0)
            waitpid(pid, nullptr, 0);
        pid = -1;
    }
};

} // namespace

void RecordDirectoryTest::foldersArePrivateWhateverTheUmask_data() {
    QTest::addColumn<int>("mask");
    QTest::newRow("usual") << 022;
    QTest::newRow("open") << 0;
    QTest::newRow("everything masked") << 0777;
}

void RecordDirectoryTest::foldersArePrivateWhateverTheUmask() {
    QFETCH(int, mask);
    QTemporaryDir runtime;
    RecordDirectory records(runtime.path().toStdString(), OwnPid);
    const mode_t oldMask = umask(static_cast<mode_t>(mask));
    const bool prepared = records.Prepare().Ready();
    umask(oldMask);

    QVERIFY(prepared);
    QCOMPARE(records.Path(), fs::path(runtime.path().toStdString()) / "talvane" / "4242");
    QCOMPARE(Permissions(records.Path().parent_path()), fs::perms::owner_all);
    QCOMPARE(Permissions(records.Path()), fs::perms::owner_all);
}

void RecordDirectoryTest::unsafeFoldersAreRefusedAndLeftAlone_data() {
    QTest::addColumn<bool>("shared"); // talvane itself, or this program's <pid> in it
    QTest::addColumn<QString>("kind");
    QTest::addColumn<RecordDirectory::Outcome>("outcome");
    using Outcome = RecordDirectory::Outcome;
    for (const bool shared : {true, false}) {
        for (const auto& [kind, outcome] :
             {std::pair{"a link", Outcome::NotAFolder}, std::pair{"a file", Outcome::NotAFolder},
              std::pair{"another user's folder", Outcome::OtherUsers}})
            QTest::addRow("%s is %s", shared ? "talvane" : "<pid>", kind)
                << shared << kind << outcome;
    }
}

void RecordDirectoryTest::unsafeFoldersAreRefusedAndLeftAlone() {
    QFETCH(bool, shared);
    QFETCH(QString, kind);
    QFETCH(RecordDirectory::Outcome, outcome);
    if (kind.startsWith("another") && geteuid() != 0)
        QSKIP("Only root can give a folder to another user.");
    QTemporaryDir runtime;
    QTemporaryDir elsewhere;
    RecordDirectory records(runtime.path().toStdString(), OwnPid);
    const fs::path entry = shared ? records.Path().parent_path() : records.Path();
    fs::create_directories(entry.parent_path());
    // What a followed link would have Prepare use and Remove delete.
    const fs::path target = elsewhere.path().toStdString();
    fs::create_directory(target / "4242");
    WriteFile(target / "4242" / "0");
    fs::permissions(target, fs::perms::all);
    if (kind == "a link") {
        fs::create_directory_symlink(target, entry);
    } else if (kind == "a file") {
        WriteFile(entry);
    } else {
        fs::create_directory(entry);
        QCOMPARE(chown(entry.c_str(), 65534, 65534), 0);
    }
    const QStringList before = Tree(runtime.path().toStdString());

    const RecordDirectory::Preparation preparation = records.Prepare();
    QCOMPARE(preparation.outcome, outcome);
    QCOMPARE(preparation.folder, entry);
    records.Remove();

    QCOMPARE(Tree(runtime.path().toStdString()), before);
    QCOMPARE(Tree(target), QStringList({"4242", "4242/0"}));
    QCOMPARE(Permissions(target), fs::perms::all);
}

void RecordDirectoryTest::endedProgramsFoldersGoAtStartOwnFolderAtExit() {
    QTemporaryDir runtime;
    QTemporaryDir elsewhere;
    const fs::path shared = fs::path(runtime.path().toStdString()) / "talvane";
    ChildProcess running;
    ChildProcess ended;
    QVERIFY(running.pid > 0 && ended.pid > 0);
    const QString runningName = QString::number(running.pid);
    fs::create_directories(shared / std::to_string(ended.pid) / "nested");
    ended.End();
    fs::create_directories(shared / std::to_string(running.pid) / "nested");
    WriteFile(fs::path(elsewhere.path().toStdString()) / "kept");

    const auto openDescriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), {});
    };
    const std::ptrdiff_t descriptorsBefore = openDescriptors();
    RecordDirectory records(runtime.path().toStdString(), OwnPid);
    QVERIFY(records.Prepare().Ready());
    for (const char* name : {"0", "9998"})
        WriteFile(records.Path() / name);
    // Removed itself, never what it leads to.
    fs::create_directory_symlink(elsewhere.path().toStdString(), records.Path() / "link");
    const QStringList kept{runningName, runningName + "/nested"};
    QStringList all = kept + QStringList{"4242", "4242/0", "4242/9998", "4242/link"};
    all.sort();
    QCOMPARE(Tree(shared), all);

    records.Remove();
    QCOMPARE(Tree(shared), kept);
    QCOMPARE(Tree(elsewhere.path().toStdString()), QStringList({"kept"}));
    QCOMPARE(openDescriptors(), descriptorsBefore);
}

QTEST_APPLESS_MAIN(RecordDirectoryTest)
#include "RecordDirectoryTest.moc"
