#include "capture/CaptureEngine.h"
#include "res/CommandIds.h"
#include "support/TestNetwork.h"
#include "support/WindowEnvironment.h"

#include <QProcess>
#include <QtTest>
#include <fstream>
#include <grp.h>
#include <linux/bpf.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace talvane;
namespace fs = std::filesystem;

namespace {

constexpr int WaitMs = 10000;
constexpr uid_t Nobody = 65534;

QByteArray ProcFile(pid_t pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "unreadable";
}

// Whether the process's capability sets are all empty; the bounding set too where asked.
bool HoldsNoCapability(pid_t pid, bool boundingToo) {
    const QByteArray status = ProcFile(pid, "status");
    for (const char* set : {"CapInh", "CapPrm", "CapEff", "CapAmb", "CapBnd"})
        if ((boundingToo || qstrcmp(set, "CapBnd") != 0) &&
            !status.contains(QByteArray(set) + ":\t0000000000000000"))
            return false;
    return true;
}

// What each open descriptor of the process is, by number.
std::map<int, std::string> Descriptors(pid_t pid) {
    std::map<int, std::string> open;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
        open[std::stoi(entry.path().filename())] = fs::read_symlink(entry.path());
    return open;
}

int PacketSocketsOf(pid_t pid) {
    QSet<QByteArray> packetSockets;
    for (const QByteArray& line : ProcFile(getpid(), "net/packet").split('\n').mid(1))
        if (!line.trimmed().isEmpty())
            packetSockets.insert("socket:[" + line.simplified().split(' ').last() + "]");
    return int(std::ranges::count_if(Descriptors(pid), [&](const auto& descriptor) {
        return packetSockets.contains(QByteArray::fromStdString(descriptor.second));
    }));
}

// The kernel programs that the process's links attach.
std::vector<std::uint32_t> AttachedPrograms(pid_t pid) {
    std::vector<std::uint32_t> programs;
    for (const auto& [fd, target] : Descriptors(pid)) {
        const QByteArray info = ProcFile(pid, ("fdinfo/" + std::to_string(fd)).c_str());
        const qsizetype at = info.indexOf("prog_id:\t");
        if (target == "anon_inode:bpf_link" && at >= 0)
            programs.push_back(info.mid(at + 9).split('\n')[0].toUInt());
    }
    return programs;
}

// The name of the kernel's program with that number; empty once the kernel holds none.
QString KernelProgramName(std::uint32_t id) {
    bpf_attr byId{};
    byId.prog_id = id;
    const FileDescriptor program(int(syscall(SYS_bpf, BPF_PROG_GET_FD_BY_ID, &byId, sizeof(byId))));
    bpf_prog_info info{};
    bpf_attr request{};
    request.info = {std::uint32_t(program.Get()), sizeof(info), std::uint64_t(&info)};
    if (program.Get() < 0 || syscall(SYS_bpf, BPF_OBJ_GET_INFO_BY_FD, &request, sizeof(request)))
        return {};
    return info.name;
}

std::vector<pid_t> ChildrenOf(pid_t pid) {
    std::vector<pid_t> children;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream listed(task.path() / "children");
        for (pid_t child = 0; listed >> child;)
            children.push_back(child);
    }
    return children;
}

// The descriptors above 2 open in a process started as the desktop's opener of links is:
// detached, through QProcess.
QString InheritedByAChild() {
    QTemporaryDir folder;
    QProcess lister;
    lister.setProgram("/bin/sh");
    lister.setArguments({"-c", "for n in $(seq 3 1023); do [ -e /proc/self/fd/$n ] && echo $n; "
                               "done; echo end"});
    lister.setStandardOutputFile(folder.filePath("listed"));
    QString listing;
    if (lister.startDetached())
        (void)QTest::qWaitFor(
            [&] {
                QFile file(folder.filePath("listed"));
                listing = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
                return listing.endsWith("end\n");
            },
            WaitMs);
    return listing;
}

struct CountingSink : Handover {
    std::atomic<int> arrived{0};
    void HandOver(std::span<const CapturedDatagram> datagrams) override {
        arrived += int(datagrams.size());
    }
    void CaptureEnded(const std::string&) override {}
};

} // namespace

class CaptureHelperTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void helperHoldsNothingOnceItCaptures();
    void ordinaryUserCapturesThroughHelperWithRawAccessAlone();
    void kernelProgramsGoWithTheHelper();

private:
    int Send(int count) const {
        UdpStream stream;
        stream.source = network->Links()[0].addressB;
        stream.destination = network->Links()[0].addressA;
        stream.count = count;
        return PeerSender::Stream(network->NamespaceB(), stream).Wait();
    }

    std::unique_ptr<TestNetwork> network;
    std::unique_ptr<UdpPortHolder> portHolder;
};

void CaptureHelperTest::initTestCase() {
    if (!TestNetwork::HaveRoot())
        QSKIP("The capture helper's privileges are tested as root, in namespaces of the test's "
              "own. Run it as root to include it.");
    network = std::make_unique<TestNetwork>(1);
    TestNetwork::EnterNamespace(network->NamespaceA());
    portHolder =
        std::make_unique<UdpPortHolder>(network->NamespaceA(), network->Links()[0].addressA, 50000);
}

// Started by a window run as root, the helper keeps not even its bounding set; besides its kernel
// programs' links, maps and their poll it holds its stream, standard input and error and the
// capture; the window holds no packet socket, and what it starts inherits nothing it opened.
void CaptureHelperTest::helperHoldsNothingOnceItCaptures() {
    const QString inheritedBefore = InheritedByAChild();
    WindowEnvironment environment({network->Links()[0].addressA});
    MainWindow window(environment.Make());
    const WindowProbe probe(window);
    probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(Send(3), 3);
    QTRY_COMPARE_WITH_TIMEOUT(probe.Session().DatagramTotal(), 3, WaitMs);

    const std::vector<pid_t> helpers = ChildrenOf(getpid());
    QCOMPARE(helpers.size(), std::size_t{1});
    QVERIFY(HoldsNoCapability(helpers[0], true));
    QVERIFY(ProcFile(helpers[0], "status").contains("NoNewPrivs:\t1"));
    QCOMPARE(ProcFile(helpers[0], "environ"), QByteArray());
    std::map<int, std::string> open = Descriptors(helpers[0]);
    QCOMPARE(AttachedPrograms(helpers[0]).size(), std::size_t{7});
    std::erase_if(
        open, [](const auto& descriptor) { return descriptor.second.starts_with("anon_inode:"); });
    QCOMPARE(open.size(), std::size_t{4});
    QCOMPARE(open.at(0), "/dev/null");
    QVERIFY(open.at(1).starts_with("socket:"));
    QCOMPARE(PacketSocketsOf(helpers[0]), 1);
    QCOMPARE(PacketSocketsOf(getpid()), 0);
    QCOMPARE(InheritedByAChild(), inheritedBefore);
}

// Another user's window, without any capability, captures through a copy of the helper that holds
// CAP_NET_RAW alone: it may not load its kernel programs, says so, and captures all the same.
void CaptureHelperTest::ordinaryUserCapturesThroughHelperWithRawAccessAlone() {
    QTemporaryDir folder;
    const fs::path helper = fs::path(folder.path().toStdString()) / "talvane-capture";
    fs::copy_file(TALVANE_CAPTURE_HELPER, helper);
    fs::permissions(folder.path().toStdString(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    struct statvfs mount {};
    if (statvfs(helper.c_str(), &mount) != 0 || (mount.f_flag & ST_NOSUID))
        QSKIP("The temporary folder is mounted nosuid, which ignores file capabilities.");
    QCOMPARE(QProcess::execute("setcap", {"cap_net_raw+ep", QString::fromStdString(helper)}), 0);

    int ready[2];
    QCOMPARE(pipe(ready), 0);
    const pid_t user = fork();
    if (user == 0) {
        if (setgroups(0, nullptr) != 0 || setresgid(Nobody, Nobody, Nobody) != 0 ||
            setresuid(Nobody, Nobody, Nobody) != 0 || !HoldsNoCapability(getpid(), false))
            _exit(10);
        CountingSink sink;
        CaptureEngine engine(sink, CaptureEngine::HelperCaptures(helper));
        const CaptureSource::Binding binding = engine.Bind(network->Links()[0].addressA);
        if (!binding.bound || binding.ownersUnavailable.empty() || !engine.Begin())
            _exit(11);
        (void)!write(ready[1], "r", 1);
        for (int waited = 0; sink.arrived < 3 && waited < WaitMs; waited += 10)
            usleep(10000);
        _exit(sink.arrived == 3 && PacketSocketsOf(getpid()) == 0 ? 0 : 12);
    }
    close(ready[1]);
    char byte = 0;
    QCOMPARE(read(ready[0], &byte, 1), ssize_t{1});
    close(ready[0]);
    const std::vector<pid_t> helpers = ChildrenOf(user);
    QCOMPARE(helpers.size(), std::size_t{1});
    QVERIFY(HoldsNoCapability(helpers[0], false));
    QVERIFY(AttachedPrograms(helpers[0]).empty());
    QCOMPARE(Send(3), 3);
    int status = 0;
    QCOMPARE(waitpid(user, &status, 0), user);
    QCOMPARE(WEXITSTATUS(status), 0);
}

// The kernel programs stay attached once the helper has given up its capabilities, and go with it
// however it ends.
void CaptureHelperTest::kernelProgramsGoWithTheHelper() {
    QProcess helper;
    helper.start(TALVANE_CAPTURE_HELPER, {"lo"});
    QVERIFY(helper.waitForReadyRead(WaitMs));
    const pid_t pid = pid_t(helper.processId());
    const std::vector<std::uint32_t> programs = AttachedPrograms(pid);
    QStringList names;
    for (const std::uint32_t id : programs)
        names << KernelProgramName(id);
    names.sort();
    QCOMPARE(names,
             QStringList({"talvane_accept", "talvane_bound4", "talvane_bound6", "talvane_egress",
                          "talvane_ingress", "talvane_made", "talvane_release"}));
    kill(pid, SIGKILL);
    QVERIFY(helper.waitForFinished(WaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(
        std::ranges::all_of(programs,
                            [](std::uint32_t id) { return KernelProgramName(id).isEmpty(); }),
        2000);
}

QTEST_MAIN(CaptureHelperTest)
#include "CaptureHelperTest.moc"
