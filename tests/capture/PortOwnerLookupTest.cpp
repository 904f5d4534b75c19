#include "capture/PortOwnerLookup.h"

#include <QtTest>
#include <arpa/inet.h>
#include <climits>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace talvane;

namespace {


using Status = OwnerAnswer::Status;

const Ipv4Address Loopback{{127, 0, 0, 1}};

// The query of a datagram between the port and a remote end on loopback.
SocketQuery QueryOf(int type, std::uint16_t port) {
    return {type == SOCK_STREAM ? Transport::Tcp : Transport::Udp, Loopback, port, Loopback, 9};
}

QString Text(const OwnerAnswer& answer) {
    return QStringLiteral("%1 %2").arg(int(answer.status)).arg(QString::fromStdString(answer.name));
}

QString Named(const std::string& name) {
    return Text({Status::Named, name, {}});
}

struct Socket {
    int fd = -1;
    std::uint16_t port = 0;

    Socket() = default;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (fd >= 0)
            close(fd);
    }
};

// Binds a socket, IPv4 to loopback and IPv6 to every address; port 0 picks a free one. Kept across
// exec when `inherit` is set.
bool Open(Socket& socket, int family, int type, std::uint16_t port = 0, bool inherit = false) {
    socket.fd = ::socket(family, type | (inherit ? 0 : SOCK_CLOEXEC), 0);
    if (socket.fd < 0)
        return false;
    sockaddr_storage address{};
    socklen_t length = 0;
    if (family == AF_INET) {
        auto* inet = reinterpret_cast<sockaddr_in*>(&address);
        inet->sin_family = AF_INET;
        inet->sin_port = htons(port);
        inet->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof(sockaddr_in);
    } else {
        // A dual-stack socket, which takes IPv4 datagrams too.
        const int v6only = 0;
        setsockopt(socket.fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof v6only);
        auto* inet6 = reinterpret_cast<sockaddr_in6*>(&address);
        inet6->sin6_family = AF_INET6;
        inet6->sin6_port = htons(port);
        inet6->sin6_addr = in6addr_any;
        length = sizeof(sockaddr_in6);
    }
    if (bind(socket.fd, reinterpret_cast<sockaddr*>(&address), length) != 0)
        return false;
    if (type == SOCK_STREAM && listen(socket.fd, 1) != 0)
        return false;
    length = sizeof address;
    getsockname(socket.fd, reinterpret_cast<sockaddr*>(&address), &length);
    socket.port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&address)->sin_port
                                          : reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    return true;
}

std::string FileName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::string OwnName() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 ? FileName(std::string(path, std::size_t(length))) : std::string();
}

// A child process, killed and reaped however the test ends.
struct Child {
    pid_t pid = -1;

    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Starts `sleep 30`, which inherits every descriptor not marked close-on-exec, and returns once
// the exec has happened, so the child no longer runs this executable.
bool StartSleep(Child& child) {
    int sync[2];
    if (pipe2(sync, O_CLOEXEC) != 0)
        return false;
    child.pid = fork();
    if (child.pid == 0) {
        execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        const char failed = 1;
        (void)!write(sync[1], &failed, 1);
        _exit(127);
    }
    close(sync[1]);
    char byte = 0;
    const ssize_t got = child.pid > 0 ? read(sync[0], &byte, 1) : -1;
    close(sync[0]);
    return got == 0;
}

std::ptrdiff_t OpenDescriptors() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

std::string SleepName() {
    char path[PATH_MAX];
    return realpath("/bin/sleep", path) != nullptr ? FileName(path) : std::string();
}

} // namespace

class PortOwnerLookupTest : public QObject {
    Q_OBJECT

private slots:
    void ownSocketsAreFound_data();
    void ownSocketsAreFound();
    void unownedPortIsNobodys_data();
    void unownedPortIsNobodys();
    void datagramNamesTheSocketOfItsOwnTransport();
    void closedSocketKeepsItsOwnerForAMoment();
    void movedSocketIsNotTrustedFromCache();
    void lookupLeavesNoDescriptorOpen();
    void otherUsersSocketIsNotPermittedWithoutTheRight();
    void processNameOfSelf();
    void processNameOfZombieUsesComm();
    void processNameOfMissingProcess_data();
    void processNameOfMissingProcess();
};

void PortOwnerLookupTest::ownSocketsAreFound_data() {
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("type");

    QTest::newRow("tcp") << int(AF_INET) << int(SOCK_STREAM);
    QTest::newRow("udp") << int(AF_INET) << int(SOCK_DGRAM);
    QTest::newRow("dual-stack tcp6") << int(AF_INET6) << int(SOCK_STREAM);
    QTest::newRow("dual-stack udp6") << int(AF_INET6) << int(SOCK_DGRAM);
}

void PortOwnerLookupTest::ownSocketsAreFound() {
    QFETCH(int, family);
    QFETCH(int, type);
    Socket socket;
    if (!Open(socket, family, type) && family == AF_INET6)
        QSKIP("no IPv6");
    QVERIFY(socket.port != 0);
    PortOwnerLookup lookup;
    QCOMPARE(Text(lookup.Owner(QueryOf(type, socket.port))), Named(OwnName()));
}

void PortOwnerLookupTest::unownedPortIsNobodys_data() {
    QTest::addColumn<bool>("closedPort");

    QTest::newRow("closed port") << true;
    QTest::newRow("empty port text") << false;
}

void PortOwnerLookupTest::unownedPortIsNobodys() {
    QFETCH(bool, closedPort);
    std::uint16_t port = 0;
    if (closedPort) {
        Socket probe;
        QVERIFY(Open(probe, AF_INET, SOCK_DGRAM));
        port = probe.port;
    }
    PortOwnerLookup lookup;
    QCOMPARE(Text(lookup.Owner(QueryOf(SOCK_DGRAM, port))), Text({Status::NoSocket, "", {}}));
}

// A TCP and a UDP socket of different processes share the port number: each datagram is its own
// transport's.
void PortOwnerLookupTest::datagramNamesTheSocketOfItsOwnTransport() {
    Child child;
    Socket udp;
    {
        Socket tcp;
        QVERIFY(Open(tcp, AF_INET, SOCK_STREAM, 0, true));
        QVERIFY(StartSleep(child));
        QVERIFY(Open(udp, AF_INET, SOCK_DGRAM, tcp.port));
    }
    QVERIFY(SleepName() != OwnName());
    PortOwnerLookup lookup;
    QCOMPARE(Text(lookup.Owner(QueryOf(SOCK_STREAM, udp.port))), Named(SleepName()));
    QCOMPARE(Text(lookup.Owner(QueryOf(SOCK_DGRAM, udp.port))), Named(OwnName()));
}

void PortOwnerLookupTest::closedSocketKeepsItsOwnerForAMoment() {
    PortOwnerLookup lookup;
    std::uint16_t port = 0;
    {
        Socket socket;
        QVERIFY(Open(socket, AF_INET, SOCK_DGRAM));
        port = socket.port;
        QCOMPARE(Text(lookup.Owner(QueryOf(SOCK_DGRAM, port))), Named(OwnName()));
    }
    QCOMPARE(Text(lookup.Owner(QueryOf(SOCK_DGRAM, port))), Named(OwnName()));
    // Only what was seen is remembered.
    QCOMPARE(Text(lookup.Owner(QueryOf(SOCK_STREAM, port))), Text({Status::NoSocket, "", {}}));
}

// The cached descriptor of a socket now holds a different socket, and the socket itself lives on
// in another process: the cache must not name this process.
void PortOwnerLookupTest::movedSocketIsNotTrustedFromCache() {
    Child child;
    Socket socket;
    QVERIFY(Open(socket, AF_INET, SOCK_STREAM, 0, true));
    PortOwnerLookup::Clock::time_point now = PortOwnerLookup::Clock::now();
    PortOwnerLookup lookup([&now] { return now; });
    QCOMPARE(Text(lookup.Owner(QueryOf(SOCK_STREAM, socket.port))), Named(OwnName()));

    QVERIFY(StartSleep(child));
    const int replacement = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    QVERIFY(replacement >= 0);
    QVERIFY(dup3(replacement, socket.fd, O_CLOEXEC) == socket.fd);
    close(replacement);

    // Within a capture block's moment the answer is given again unchecked; past it, the holder is
    // looked at again.
    now += PortOwnerLookup::HolderRecheck;
    QCOMPARE(Text(lookup.Owner(QueryOf(SOCK_STREAM, socket.port))), Named(SleepName()));
}

// A monitor running as an ordinary user sees another user's socket but may not read the process
// that holds it; its own sockets it still names.
void PortOwnerLookupTest::otherUsersSocketIsNotPermittedWithoutTheRight() {
    if (geteuid() != 0)
        QSKIP("Needs root, to hold a socket as one user and look it up as another.");
    constexpr uid_t Nobody = 65534;
    Socket rootsSocket;
    QVERIFY(Open(rootsSocket, AF_INET, SOCK_DGRAM));
    int answers[2];
    QVERIFY(pipe2(answers, O_CLOEXEC) == 0);
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        close(answers[0]);
        if (setgroups(0, nullptr) != 0 || setresgid(Nobody, Nobody, Nobody) != 0 ||
            setresuid(Nobody, Nobody, Nobody) != 0)
            _exit(1);
        Socket ownSocket;
        const bool opened = Open(ownSocket, AF_INET, SOCK_DGRAM);
        PortOwnerLookup lookup;
        const Status statuses[] = {lookup.Owner(QueryOf(SOCK_DGRAM, rootsSocket.port)).status,
                                   opened ? lookup.Owner(QueryOf(SOCK_DGRAM, ownSocket.port)).status
                                          : Status::NoSocket};
        (void)!write(answers[1], statuses, sizeof statuses);
        _exit(0);
    }
    close(answers[1]);
    Status statuses[2] = {};
    const ssize_t got = read(answers[0], statuses, sizeof statuses);
    close(answers[0]);
    QCOMPARE(got, ssize_t(sizeof statuses));
    QCOMPARE(int(statuses[0]), int(Status::NotPermitted));
    QCOMPARE(int(statuses[1]), int(Status::Named));
}

// The first lookup scans every process, the second only the recent ones; each opens folders and
// the kernel's socket on its way.
void PortOwnerLookupTest::lookupLeavesNoDescriptorOpen() {
    const std::ptrdiff_t before = OpenDescriptors();
    {
        PortOwnerLookup lookup;
        for (const int type : {SOCK_STREAM, SOCK_DGRAM}) {
            Socket socket;
            QVERIFY(Open(socket, AF_INET, type));
            QCOMPARE(Text(lookup.Owner(QueryOf(type, socket.port))), Named(OwnName()));
        }
        QCOMPARE(Text(lookup.Owner(QueryOf(SOCK_DGRAM, 9))), Text({Status::NoSocket, "", {}}));
    }
    QCOMPARE(OpenDescriptors(), before);
}

void PortOwnerLookupTest::processNameOfSelf() {
    QCOMPARE(PortOwnerLookup::ProcessName(getpid()).value_or("(none)"), OwnName());
}

void PortOwnerLookupTest::processNameOfZombieUsesComm() {
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        prctl(PR_SET_NAME, "zombie-child");
        _exit(0);
    }
    QVERIFY(child.pid > 0);
    siginfo_t info{};
    QVERIFY(waitid(P_PID, id_t(child.pid), &info, WEXITED | WNOWAIT) == 0);
    QCOMPARE(PortOwnerLookup::ProcessName(child.pid).value_or("(none)"), "zombie-child");
}

void PortOwnerLookupTest::processNameOfMissingProcess_data() {
    QTest::addColumn<int>("pid");

    const pid_t reaped = fork();
    if (reaped == 0)
        _exit(0);
    waitpid(reaped, nullptr, 0);
    QTest::newRow("reaped child") << int(reaped);
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -1;
    QTest::newRow("largest") << INT_MAX;
}

void PortOwnerLookupTest::processNameOfMissingProcess() {
    QFETCH(int, pid);
    QVERIFY(!PortOwnerLookup::ProcessName(pid));
}

QTEST_APPLESS_MAIN(PortOwnerLookupTest)
#include "PortOwnerLookupTest.moc"
