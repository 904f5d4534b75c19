#include "records/RecordDirectory.h"
#include "base/UniqueFd.h"

#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
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
    void foldersNobodyHoldsGoAtStartOwnFolderAtExit();
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

// Each copy holds the lock of its own folder while it runs, whatever PID namespace it runs in: a
// folder nobody holds goes at start even when a process of its number runs, a held one stays even
// when no process of its number runs here, and a copy of the same number takes the next name.
void RecordDirectoryTest::foldersNobodyHoldsGoAtStartOwnFolderAtExit() {
    QTemporaryDir runtime;
    QTemporaryDir elsewhere;
    const fs::path shared = fs::path(runtime.path().toStdString()) / "talvane";
    ChildProcess ended;
    QVERIFY(ended.pid > 0);
    const std::string endedName = std::to_string(ended.pid);
    ended.End();
    const std::string runningName = std::to_string(getpid());
    for (const std::string& name : {endedName, runningName, std::string("4242")})
        fs::create_directories(shared / name / "nested");
    // The lock lasts as long as the descriptor it was taken on.
    const auto lock = [&shared](const std::string& name) {
        UniqueFd folder(open((shared / name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return folder && flock(folder.Get(), LOCK_EX | LOCK_NB) == 0 ? std::move(folder)
                                                                     : UniqueFd();
    };
    // Another copy in a PID namespace of its own, and one with this copy's own number.
    const UniqueFd otherCopy = lock(endedName);
    const UniqueFd sameNumber = lock("4242");
    QVERIFY(otherCopy && sameNumber);
    WriteFile(fs::path(elsewhere.path().toStdString()) / "kept");

    const auto openDescriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), {});
    };
    const std::ptrdiff_t descriptorsBefore = openDescriptors();
    {
        RecordDirectory records(runtime.path().toStdString(), OwnPid);
        QVERIFY(records.Prepare().Ready());
        QCOMPARE(records.Path(), shared / "4242-1");
        QVERIFY(!lock("4242-1"));
        for (const char* name : {"0", "9998"})
            WriteFile(records.Path() / name);
        // Removed itself, never what it leads to.
        fs::create_directory_symlink(elsewhere.path().toStdString(), records.Path() / "link");
        const QStringList held{QString::fromStdString(endedName),
                               QString::fromStdString(endedName + "/nested"), "4242",
                               "4242/nested"};
        QStringList all = held + QStringList{"4242-1", "4242-1/0", "4242-1/9998", "4242-1/link"};
        all.sort();
        QCOMPARE(Tree(shared), all);

        records.Remove();
        QStringList left = held;
        left.sort();
        QCOMPARE(Tree(shared), left);
        QCOMPARE(Tree(elsewhere.path().toStdString()), QStringList({"kept"}));
    }
    QCOMPARE(openDescriptors(), descriptorsBefore);
}

QTEST_APPLESS_MAIN(RecordDirectoryTest)
#include "RecordDirectoryTest.moc"
