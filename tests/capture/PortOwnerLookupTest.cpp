#include "capture/PortOwnerLookup.h"

#include <QtTest>
#include <arpa/inet.h>
#include <climits>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Long enough that no second scan of the processes happens during a test.
constexpr auto NoRebuild = std::chrono::hours(1);

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

// Binds a loopback socket; port 0 picks a free one. Kept across exec when `inherit` is set.
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
        auto* inet6 = reinterpret_cast<sockaddr_in6*>(&address);
        inet6->sin6_family = AF_INET6;
        inet6->sin6_port = htons(port);
        inet6->sin6_addr = in6addr_loopback;
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
    void unownedPortLeavesNameUntouched_data();
    void unownedPortLeavesNameUntouched();
    void tcpOwnerWinsOverUdpOwner();
    void socketOpenedLaterIsFoundAndClosedOneIsNot();
    void rebuildsAreRateLimited();
    void movedSocketIsNotTrustedFromCache_data();
    void movedSocketIsNotTrustedFromCache();
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
    QTest::newRow("tcp6") << int(AF_INET6) << int(SOCK_STREAM);
    QTest::newRow("udp6") << int(AF_INET6) << int(SOCK_DGRAM);
}

void PortOwnerLookupTest::ownSocketsAreFound() {
    QFETCH(int, family);
    QFETCH(int, type);
    Socket socket;
    if (!Open(socket, family, type) && family == AF_INET6)
        QSKIP("no IPv6 loopback");
    QVERIFY(socket.port != 0);
    PortOwnerLookup lookup(0s);
    std::string name;
    QVERIFY(lookup.Lookup(socket.port, name));
    QCOMPARE(name, OwnName());
}

void PortOwnerLookupTest::unownedPortLeavesNameUntouched_data() {
    QTest::addColumn<bool>("closedPort");

    QTest::newRow("closed port") << true;
    QTest::newRow("empty port text") << false;
}

void PortOwnerLookupTest::unownedPortLeavesNameUntouched() {
    QFETCH(bool, closedPort);
    std::uint16_t port = 0;
    if (closedPort) {
        {
            Socket probe;
            QVERIFY(Open(probe, AF_INET, SOCK_STREAM));
            port = probe.port;
        }
        Socket udpCheck;
        QVERIFY2(Open(udpCheck, AF_INET, SOCK_DGRAM, port), "the closed port is held by UDP");
    }
    PortOwnerLookup lookup(0s);
    std::string name = "untouched";
    QVERIFY(!lookup.Lookup(port, name));
    QCOMPARE(name, std::string("untouched"));
}

void PortOwnerLookupTest::tcpOwnerWinsOverUdpOwner() {
    Child child;
    Socket udp;
    {
        Socket tcp;
        QVERIFY(Open(tcp, AF_INET, SOCK_STREAM, 0, true));
        QVERIFY(StartSleep(child));
        QVERIFY(Open(udp, AF_INET, SOCK_DGRAM, tcp.port));
    }
    QVERIFY(SleepName() != OwnName());
    PortOwnerLookup lookup(0s);
    std::string name;
    QVERIFY(lookup.Lookup(udp.port, name));
    QCOMPARE(name, SleepName());

    kill(child.pid, SIGKILL);
    waitpid(child.pid, nullptr, 0);
    child.pid = -1;
    QVERIFY(lookup.Lookup(udp.port, name));
    QCOMPARE(name, OwnName());
}

void PortOwnerLookupTest::socketOpenedLaterIsFoundAndClosedOneIsNot() {
    Socket first;
    QVERIFY(Open(first, AF_INET, SOCK_STREAM));
    PortOwnerLookup lookup(0s);
    std::string name;
    QVERIFY(lookup.Lookup(first.port, name));

    std::uint16_t laterPort = 0;
    {
        Socket later;
        QVERIFY(Open(later, AF_INET, SOCK_DGRAM));
        laterPort = later.port;
        name.clear();
        QVERIFY(lookup.Lookup(laterPort, name));
        QCOMPARE(name, OwnName());
    }
    name = "untouched";
    QVERIFY(!lookup.Lookup(laterPort, name));
    QCOMPARE(name, std::string("untouched"));
}

void PortOwnerLookupTest::rebuildsAreRateLimited() {
    Socket first;
    QVERIFY(Open(first, AF_INET, SOCK_STREAM));
    PortOwnerLookup lookup(NoRebuild);
    std::string name;
    QVERIFY(lookup.Lookup(first.port, name));
    Socket later;
    QVERIFY(Open(later, AF_INET, SOCK_STREAM));
    QVERIFY(!lookup.Lookup(later.port, name));
    QVERIFY(lookup.Lookup(first.port, name));
}

void PortOwnerLookupTest::movedSocketIsNotTrustedFromCache_data() {
    QTest::addColumn<bool>("rebuildAllowed");

    QTest::newRow("rebuild finds the new holder") << true;
    QTest::newRow("rebuild rate-limited") << false;
}

// The cached descriptor of a socket now holds a different socket, and the socket itself lives on
// in another process: the cache must not name this process.
void PortOwnerLookupTest::movedSocketIsNotTrustedFromCache() {
    QFETCH(bool, rebuildAllowed);
    Child child;
    Socket socket;
    QVERIFY(Open(socket, AF_INET, SOCK_STREAM, 0, true));
    PortOwnerLookup lookup(rebuildAllowed ? std::chrono::steady_clock::duration(0s) : NoRebuild);
    std::string name;
    QVERIFY(lookup.Lookup(socket.port, name));
    QCOMPARE(name, OwnName());

    QVERIFY(StartSleep(child));
    const int replacement = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    QVERIFY(replacement >= 0);
    QVERIFY(dup3(replacement, socket.fd, O_CLOEXEC) == socket.fd);
    close(replacement);

    name = "untouched";
    QCOMPARE(lookup.Lookup(socket.port, name), rebuildAllowed);
    QCOMPARE(name, rebuildAllowed ? SleepName() : std::string("untouched"));
}

void PortOwnerLookupTest::processNameOfSelf() {
    std::string name;
    QVERIFY(PortOwnerLookup::ProcessName(getpid(), name));
    QCOMPARE(name, OwnName());
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
    std::string name;
    QVERIFY(PortOwnerLookup::ProcessName(child.pid, name));
    QCOMPARE(name, std::string("zombie-child"));
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
    std::string name = "stale";
    QVERIFY(!PortOwnerLookup::ProcessName(pid, name));
    QCOMPARE(name, std::string());
}

QTEST_APPLESS_MAIN(PortOwnerLookupTest)
#include "PortOwnerLookupTest.moc"
