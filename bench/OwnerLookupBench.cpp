// Measures what naming a port's owning process costs the window's thread per packet: for a port
// this process owns, for a port nobody owns, and for a port whose socket no process holds, which
// is what sockets of other users look like to an unprivileged monitor.

#include "capture/PortOwnerLookup.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int Lookups = 20000;

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
    const std::uint16_t port = OpenLoopback(SOCK_STREAM, fd);
    close(fd);
    return port;
}

long CountRows(const char* path) {
    FILE* file = std::fopen(path, "re");
    if (file == nullptr)
        return 0;
    long lines = 0;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        lines += c == '\n';
    std::fclose(file);
    return lines > 0 ? lines - 1 : 0;
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

// Lookups for three seconds, so the figure includes the periodic snapshots of the tables.
void TimeLookupsOverSeconds(const char* label, PortOwnerLookup& lookup, std::uint16_t port) {
    std::string name;
    long lookups = 0;
    long found = 0;
    const auto start = Clock::now();
    auto now = start;
    for (; now - start < 3s; now = Clock::now(), ++lookups)
        found += lookup.Lookup(port, name);
    const double micros = std::chrono::duration<double, std::micro>(now - start).count();
    std::printf("%-52s %8.2f us/lookup  (%ld of %ld found)\n", label, micros / double(lookups),
                found, lookups);
}

template <typename Refresh> double AverageMicros(Refresh refresh) {
    constexpr int Refreshes = 200;
    const auto start = Clock::now();
    for (int index = 0; index < Refreshes; ++index)
        refresh();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / Refreshes;
}

void TimeLookups(const char* label, PortOwnerLookup& lookup, std::uint16_t port,
                 int lookups = Lookups) {
    std::string name;
    int found = 0;
    const auto start = Clock::now();
    for (int index = 0; index < lookups; ++index)
        found += lookup.Lookup(port, name);
    const double micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    std::printf("%-52s %8.2f us/lookup  (%d of %d found%s%s)\n", label, micros / lookups, found,
                lookups, found > 0 ? ", owner " : "", found > 0 ? name.c_str() : "");
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

    const long tcpRows = CountRows("/proc/net/tcp") + CountRows("/proc/net/tcp6");
    const long udpRows = CountRows("/proc/net/udp") + CountRows("/proc/net/udp6");
    std::printf("socket table rows: %ld TCP, %ld UDP; processes: %ld\n", tcpRows, udpRows,
                CountProcesses());

    PortOwnerLookup lookup;
    const double tablesMicros = AverageMicros([&] { lookup.ReadTables(); });
    std::printf("%-52s %8.2f us each  (%zu rows with an inode)\n", "snapshot of the socket tables",
                tablesMicros, lookup.TableRowCount());
    const double ownersMicros = AverageMicros([&] { lookup.ScanOwners(); });
    std::printf("%-52s %8.2f us each  (%zu sockets)\n", "scan of every process's sockets",
                ownersMicros, lookup.OwnedSocketCount());

    const long interval = std::chrono::duration_cast<std::chrono::milliseconds>(
                              PortOwnerLookup::DefaultRebuildInterval)
                              .count();
    std::printf("rebuild interval %ld ms, snapshot age at most %lld s (program defaults)\n",
                interval, static_cast<long long>(PortOwnerLookup::TableMaxAge.count()));
    TimeLookups("TCP port owned by this process", lookup, tcpPort);
    TimeLookups("UDP port owned by this process", lookup, udpPort);
    TimeLookupsOverSeconds("TCP port owned by this process, for 3 s", lookup, tcpPort);
    TimeLookups("port nobody owns", lookup, freePort);
    TimeLookups("port whose socket no process holds", lookup, orphanPort);

    // Without the rate limit every such packet pays for a refresh.
    PortOwnerLookup unlimited(0s);
    TimeLookups("port nobody owns, no rate limit", unlimited, freePort, Lookups / 100);
    TimeLookups("port whose socket no process holds, no rate limit", unlimited, orphanPort,
                Lookups / 100);

    close(tcp);
    close(udp);
    close(orphanPair[0]);
    close(orphanPair[1]);
    return 0;
}
