// Measures what naming a datagram's owning process costs the window's thread per record: for a
// port this process owns, for a port nobody owns, for a socket no process holds (which is what
// other users' sockets look like to an unprivileged monitor), and for a client process that opens
// a new socket every millisecond and closes it a few milliseconds later.

#include "capture/PortOwnerLookup.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <thread>

using namespace talvane;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const Ipv4Address Loopback{{127, 0, 0, 1}};
constexpr auto StreamLength = 3s;
constexpr auto SocketInterval = 1ms;
// How long each client socket lives: about a reply's wait.
constexpr int SocketsAlive = 5;
// When the window reaches the reply's record, the client has closed its socket.
constexpr auto ReplyRecordAfter = 10ms;

// A loopback socket on a free port, with that port in host byte order.
std::uint16_t OpenLoopback(int type, int& fd) {
    fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        (type == SOCK_STREAM && listen(fd, 1) != 0) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("loopback socket");
        std::exit(1);
    }
    return ntohs(address.sin_port);
}

// Leaves a bound UDP socket alive only inside a message queued on a Unix socket pair, so the
// kernel lists it while no process has it among its descriptors.
std::uint16_t OpenOrphan(int pair[2]) {
    int fd = -1;
    const std::uint16_t port = OpenLoopback(SOCK_DGRAM, fd);
    if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair) != 0) {
        std::perror("socketpair");
        std::exit(1);
    }
    char byte = 0;
    iovec data{&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &fd, sizeof fd);
    if (sendmsg(pair[0], &message, 0) != 1) {
        std::perror("sendmsg");
        std::exit(1);
    }
    close(fd);
    return port;
}

std::uint16_t FreePort() {
    int fd = -1;
    const std::uint16_t port = OpenLoopback(SOCK_DGRAM, fd);
    close(fd);
    return port;
}

long CountProcesses() {
    DIR* proc = opendir("/proc");
    long count = 0;
    while (const dirent* entry = proc != nullptr ? readdir(proc) : nullptr)
        count += entry->d_name[0] >= '0' && entry->d_name[0] <= '9';
    if (proc != nullptr)
        closedir(proc);
    return count;
}

SocketQuery QueryOf(Transport transport, std::uint16_t port) {
    return {transport, Loopback, port, Loopback, 9};
}

// Lookups for three seconds, so the figure includes the lookup's own periodic searches.
void TimeLookups(const char* label, PortOwnerLookup& lookup, const SocketQuery& query) {
    long lookups = 0;
    long named = 0;
    OwnerAnswer answer;
    const auto start = Clock::now();
    auto now = start;
    for (; now - start < 3s; now = Clock::now(), ++lookups) {
        answer = lookup.Owner(query);
        named += answer.status == OwnerAnswer::Status::Named;
    }
    const double micros = std::chrono::duration<double, std::micro>(now - start).count();
    std::printf("%-44s %8.2f us/record  (%ld of %ld named%s%s)\n", label, micros / double(lookups),
                named, lookups, named > 0 ? ", " : "", named > 0 ? answer.name.c_str() : "");
}

// The client: a new UDP socket every millisecond, one query from it to the sink, closed a few
// sockets later.
[[noreturn]] void RunClient(std::uint16_t sinkPort) {
    sockaddr_in sink{};
    sink.sin_family = AF_INET;
    sink.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sink.sin_port = htons(sinkPort);
    std::deque<int> open;
    const auto start = Clock::now();
    for (auto slot = start; slot - start < StreamLength; slot += SocketInterval) {
        std::this_thread::sleep_until(slot);
        int fd = -1;
        OpenLoopback(SOCK_DGRAM, fd);
        const char query[] = "query";
        sendto(fd, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&sink), sizeof sink);
        open.push_back(fd);
        if (open.size() > SocketsAlive) {
            close(open.front());
            open.pop_front();
        }
    }
    for (const int fd : open)
        close(fd);
    _exit(0);
}

struct Tally {
    long records = 0;
    long named = 0;
    double micros = 0;

    void Add(PortOwnerLookup& lookup, const SocketQuery& query) {
        const auto start = Clock::now();
        const bool isNamed = lookup.Owner(query).status == OwnerAnswer::Status::Named;
        micros += std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        ++records;
        named += isNamed;
    }
    void Print(const char* label) const {
        std::printf("%-44s %8.2f us/record  (%ld of %ld named)\n", label,
                    records > 0 ? micros / double(records) : 0.0, named, records);
    }
};

void TimeShortLivedSockets() {
    int sink = -1;
    const std::uint16_t sinkPort = OpenLoopback(SOCK_DGRAM, sink);
    const pid_t client = fork();
    if (client == 0)
        RunClient(sinkPort);
    PortOwnerLookup lookup;
    Tally queries;
    Tally replies;
    struct Pending {
        std::uint16_t port;
        Clock::time_point due;
    };
    std::deque<Pending> pending;
    for (;;) {
        const int waitMs = pending.empty() ? 500 : 1;
        pollfd ready{sink, POLLIN, 0};
        const int polled = poll(&ready, 1, waitMs);
        while (!pending.empty() && pending.front().due <= Clock::now()) {
            replies.Add(lookup, QueryOf(Transport::Udp, pending.front().port));
            pending.pop_front();
        }
        if (polled == 0 && pending.empty())
            break;
        if (polled <= 0)
            continue;
        sockaddr_in from{};
        socklen_t length = sizeof from;
        char buffer[64];
        if (recvfrom(sink, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length) <
            0)
            continue;
        const std::uint16_t port = ntohs(from.sin_port);
        queries.Add(lookup, QueryOf(Transport::Udp, port));
        pending.push_back({port, Clock::now() + ReplyRecordAfter});
    }
    waitpid(client, nullptr, 0);
    close(sink);
    queries.Print("short-lived sockets: the query, socket open");
    replies.Print("short-lived sockets: the reply, socket closed");
    Tally all = queries;
    all.records += replies.records;
    all.named += replies.named;
    all.micros += replies.micros;
    all.Print("short-lived sockets: every record");
}

} // namespace

int main() {
    int tcp = -1;
    int udp = -1;
    int orphanPair[2] = {-1, -1};
    const std::uint16_t tcpPort = OpenLoopback(SOCK_STREAM, tcp);
    const std::uint16_t udpPort = OpenLoopback(SOCK_DGRAM, udp);
    const std::uint16_t orphanPort = OpenOrphan(orphanPair);
    const std::uint16_t freePort = FreePort();

    SocketHolders holders;
    constexpr int Scans = 200;
    std::size_t sockets = 0;
    const auto scanStart = Clock::now();
    for (int index = 0; index < Scans; ++index)
        sockets = holders.ScanAll();
    const double scanMicros =
        std::chrono::duration<double, std::micro>(Clock::now() - scanStart).count() / Scans;
    std::printf("%-44s %8.2f us each  (%ld processes, %zu sockets)\n",
                "scan of every process's sockets", scanMicros, CountProcesses(), sockets);

    PortOwnerLookup lookup;
    TimeLookups("TCP port owned by this process", lookup, QueryOf(Transport::Tcp, tcpPort));
    TimeLookups("UDP port owned by this process", lookup, QueryOf(Transport::Udp, udpPort));
    TimeLookups("port nobody owns", lookup, QueryOf(Transport::Udp, freePort));
    TimeLookups("port whose socket no process holds", lookup, QueryOf(Transport::Udp, orphanPort));
    TimeShortLivedSockets();

    close(tcp);
    close(udp);
    close(orphanPair[0]);
    close(orphanPair[1]);
    return 0;
}
