#include "app/MonitorApp.h"
#include "filtering/FilterDialog.h"
#include "help/HelpWindow.h"
#include "res/CommandIds.h"
#include "res/FilterDialogTemplate.h"
#include "res/Version.h"
#include "support/NextModal.h"
#include "support/WindowProbe.h"

#include <QImage>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace talvane;

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void SetWritable(const fs::path& root, bool writable) {
    const auto change = [writable](const fs::path& path) {
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write,
                        writable ? fs::perm_options::add : fs::perm_options::remove);
    };
    change(root);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_symlink())
            change(entry.path());
}

// A user's own folders: settings and, private as a desktop session makes it, the runtime folder.
struct UserFolders {
    QTemporaryDir home;
    fs::path Config() const { return fs::path(home.path().toStdString()) / "config"; }
    fs::path Runtime() const { return fs::path(home.path().toStdString()) / "runtime"; }
    UserFolders() {
        fs::create_directory(Runtime());
        fs::permissions(Runtime(), fs::perms::owner_all);
    }
};

} // namespace

// The program installed into a prefix of its own and then made read-only, as a system folder is
// to its users (as root, by a read-only mount in this process's own mount namespace).
class InstalledCopyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void installsExactlyItsFiles();
    void commandLine_data();
    void commandLine();
    void startsAndEndsFromTheReadOnlyPrefix_data();
    void startsAndEndsFromTheReadOnlyPrefix();
    void windowReadsTheInstalledDataAndKeepsSettingsPerUser();

private:
    fs::path Prefix() const { return prefix.path().toStdString(); }
    fs::path Program() const { return Prefix() / "bin" / "talvane"; }

    QTemporaryDir prefix;
    bool mountedReadOnly = false;
};

void InstalledCopyTest::initTestCase() {
    QVERIFY(prefix.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::ForwardedChannels);
    install.start(TALVANE_CMAKE_COMMAND,
                  {"--install", TALVANE_BUILD_DIR, "--prefix", prefix.path()});
    QVERIFY(install.waitForFinished(120000));
    QCOMPARE(install.exitCode(), 0);
    SetWritable(Prefix(), false);
    if (geteuid() == 0) {
        const std::string path = Prefix().string();
        QVERIFY(mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0);
        mountedReadOnly = true;
        QVERIFY(mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) ==
                0);
    }
    QVERIFY(access(Prefix().c_str(), W_OK) != 0);
}

void InstalledCopyTest::cleanupTestCase() {
    if (mountedReadOnly)
        umount2(Prefix().c_str(), MNT_DETACH);
    SetWritable(Prefix(), true);
}

void InstalledCopyTest::installsExactlyItsFiles() {
    QStringList installed;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Prefix()))
        if (!entry.is_directory())
            installed << QString::fromStdString(fs::relative(entry.path(), Prefix()).string());
    installed.sort();
    const QStringList expected = {
        "bin/talvane",
        "libexec/talvane/talvane-capture",
        "share/applications/talvane.desktop",
        "share/icons/hicolor/16x16/apps/talvane.png",
        "share/icons/hicolor/32x32/apps/talvane.png",
        "share/man/man1/talvane.1",
        "share/metainfo/org.example.talvane.metainfo.xml",
        "share/talvane/filters/default.ft",
        "share/talvane/help.html",
    };
    QCOMPARE(installed, expected);
    for (int size : {16, 32}) {
        const fs::path icon = Prefix() / "share/icons/hicolor" /
                              (std::to_string(size) + "x" + std::to_string(size)) / "apps" /
                              "talvane.png";
        QCOMPARE(QImage(QString::fromStdString(icon.string())).size(), QSize(size, size));
    }
}

void InstalledCopyTest::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    // The start of what is printed on standard output.
    QTest::addColumn<QString>("standardOutput");
    QTest::addColumn<QString>("standardError");

    const QString version = QStringLiteral("talvane %1\n").arg(TalvaneVersion);
    const QString usage = QStringLiteral("Usage: talvane [--help | --version]");
    const QString tryHelp = QStringLiteral("\nTry 'talvane --help' for more information.\n");
    QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << QString();
    QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << QString();
    QTest::newRow("--version") << QStringList{"--version"} << 0 << version << QString();
    QTest::newRow("unknown option") << QStringList{"--capture"} << 2 << QString()
                                    << "talvane: unrecognized option '--capture'" + tryHelp;
    QTest::newRow("Qt's own option") << QStringList{"-platform", "offscreen"} << 2 << QString()
                                     << "talvane: unrecognized option '-platform'" + tryHelp;
    QTest::newRow("a file") << QStringList{"capture.ft"} << 2 << QString()
                            << "talvane: unexpected argument 'capture.ft'" + tryHelp;
    QTest::newRow("more after --version") << QStringList{"--version", "--help"} << 2 << QString()
                                          << "talvane: unexpected argument '--help'" + tryHelp;
}

// Answered without a display: the platform plugin is never loaded.
void InstalledCopyTest::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, standardOutput);
    QFETCH(QString, standardError);

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(environment);
    program.start(QString::fromStdString(Program().string()), arguments);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QString output = QString::fromUtf8(program.readAllStandardOutput());
    QVERIFY2(output.startsWith(standardOutput), qPrintable(output));
    QCOMPARE(output.isEmpty(), standardOutput.isEmpty());
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()), standardError);
}

void InstalledCopyTest::startsAndEndsFromTheReadOnlyPrefix_data() {
    QTest::addColumn<bool>("displayGoes");
    QTest::newRow("asked to end") << false;
    QTest::newRow("its display goes away") << true;
}

// The installed program itself: it makes its record folder where the user's runtime folder is,
// writes nothing else at start, outlives SIGPIPE, and removes its records when it ends, on SIGTERM
// as its close box does or when its X display goes away.
void InstalledCopyTest::startsAndEndsFromTheReadOnlyPrefix() {
    QFETCH(bool, displayGoes);
    const UserFolders user;
    QProcess display;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", displayGoes ? "xcb" : "offscreen");
    if (displayGoes) {
        // The server prints the number of a free display once it takes clients.
        display.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
        if (!display.waitForStarted())
            QSKIP("Losing a display needs Xvfb.");
        QVERIFY(display.waitForReadyRead(30000));
        environment.insert("DISPLAY", ":" + QString(display.readAllStandardOutput()).trimmed());
    }
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(user.Config().string()));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(user.Runtime().string()));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(user.home.path());
    program.start(QString::fromStdString(Program().string()), {});
    QVERIFY(program.waitForStarted());

    const fs::path records = user.Runtime() / "talvane" / std::to_string(program.processId());
    QTRY_VERIFY_WITH_TIMEOUT(fs::is_directory(records), 30000);
    QCOMPARE(fs::status(records).permissions() & fs::perms::all, fs::perms::owner_all);
    QCOMPARE(program.state(), QProcess::Running);

    QCOMPARE(kill(pid_t(program.processId()), SIGPIPE), 0);
    if (displayGoes)
        display.kill();
    else
        QCOMPARE(kill(pid_t(program.processId()), SIGTERM), 0);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    // Qt ends a program whose display went away with exit code 1.
    QCOMPARE(program.exitCode(), displayGoes ? 1 : 0);
    QVERIFY(!fs::exists(records));
    QVERIFY(!fs::exists(user.Config() / "talvane"));
}

// The window as the installed program makes it, from the installed executable's folder: help and
// the factory settings come from share/talvane, the settings saved go to the user's own folder.
void InstalledCopyTest::windowReadsTheInstalledDataAndKeepsSettingsPerUser() {
    const UserFolders user;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(user.Config().string()));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(user.Runtime().string()));
    MainWindow::Environment environment =
        MainWindow::Environment::OfProgramIn(Program().parent_path());
    environment.hostAddresses = [] { return std::vector<Ipv4Address>{}; };
    QStringList messages;
    environment.showMessage = [&messages](const QString& text) { messages << text; };
    MainWindow window(std::move(environment));
    const WindowProbe probe(window);
    window.show();
    QCOMPARE(window.Records().Path(),
             user.Runtime() / "talvane" / std::to_string(QCoreApplication::applicationPid()));

    probe.RunCommand(CommandId::Help);
    QCOMPARE(probe.Help()->source(), QUrl::fromLocalFile(QString::fromStdString(
                                         (Prefix() / "share/talvane/help.html").string())));
    probe.Help()->close();

    const NextModal<FilterDialog> answer([](FilterDialog& dialog) {
        QTest::mouseClick(dialog.Control(FilterControlId::RestoreDefaults), Qt::LeftButton);
        QTest::mouseClick(dialog.Control(FilterControlId::Ok), Qt::LeftButton);
    });
    probe.RunCommand(CommandId::EditFilter);

    QVERIFY(answer.Seen());
    const std::string factory = ReadBytes(Prefix() / "share/talvane/filters/default.ft");
    QVERIFY(!factory.empty());
    QCOMPARE(ReadBytes(user.Config() / "talvane/filters/last.ft"), factory);
    QCOMPARE(messages, QStringList{"create socket fail "});
}

int main(int argc, char** argv) {
    // The read-only mount stays in a mount namespace of the test's own; only a process that runs
    // no other thread yet may enter one.
    if (geteuid() == 0 &&
        (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr)))
        return 1;
    MonitorApp app(argc, argv);
    InstalledCopyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "InstalledCopyTest.moc"
