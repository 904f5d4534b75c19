#include "TestNetwork.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace talvane {

FileDescriptor::~FileDescriptor() {
    if (fd >= 0)
        close(fd);
}

namespace {

namespace fs = std::filesystem;

const std::string NamespacePrefix = "tvtest-";
const fs::path NamespaceDirectory = "/run/netns";

std::atomic<int> networkSerial{0};

std::system_error SystemError(const std::string& what) {
    return std::system_error(errno, std::generic_category(), what);
}

std::string Joined(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments)
        line += (line.empty() ? "" : " ") + argument;
    return line;
}

// Runs a command without a shell; its output is dropped, its complaints go to our stderr.
bool Succeeds(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawnError = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0)
        return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Run(const std::vector<std::string>& arguments) {
    if (!Succeeds(arguments))
        throw std::runtime_error("command failed: " + Joined(arguments));
}

std::string HardwareText(const HardwareAddress& address) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", address[0], address[1],
                  address[2], address[3], address[4], address[5]);
    return text;
}

// The command run in the named namespace's network. nsenter rather than "ip -n" or "ip netns
// exec": those also remount / and /sys, which fails where / is not a mount point (a chroot).
std::vector<std::string> Inside(const std::string& namespaceName,
                                std::vector<std::string> command) {
    command.insert(command.begin(), {"nsenter", "--net=/run/netns/" + namespaceName});
    return command;
}

// Without it the interfaces would send router solicitations and neighbour discovery of their own.
void DisableIpv6(const std::string& namespaceName, const std::string& interfaceName) {
    if (!fs::exists("/proc/sys/net/ipv6"))
        return;
    Run(Inside(namespaceName,
               {"sysctl", "-q", "-w", "net.ipv6.conf." + interfaceName + ".disable_ipv6=1"}));
}

bool OwnerIsGone(const std::string& namespaceName) {
    const std::string_view rest = std::string_view(namespaceName).substr(NamespacePrefix.size());
    pid_t owner = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), owner);
    if (error != std::errc() || end == rest.data() || *end != '-' || owner <= 0)
        return false;
    return kill(owner, 0) != 0 && errno == ESRCH;
}

void RemoveStaleNamespaces() {
    std::error_code error;
    for (fs::directory_iterator entry(NamespaceDirectory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.starts_with(NamespacePrefix) && OwnerIsGone(name))
            Succeeds({"ip", "netns", "del", name});
    }
}

// Runs the action on a short-lived thread inside the namespace, for sockets that must belong to
// it while the calling thread stays where it is.
template <typename Action> auto InNamespace(const std::string& namespaceName, Action action) {
    std::packaged_task<decltype(action())()> task([&] {
        TestNetwork::EnterNamespace(namespaceName);
        return action();
    });
    auto result = task.get_future();
    std::thread(std::move(task)).join();
    return result.get();
}

void FillPayload(std::uint32_t sequence, std::span<std::uint8_t> payload) {
    for (std::size_t index = 0; index < payload.size(); ++index) {
        payload[index] = index < 4 ? static_cast<std::uint8_t>(sequence >> (24 - 8 * index))
                                   : static_cast<std::uint8_t>(sequence * 7 + index);
    }
}

int SendStream(const UdpStream& stream) {
    using Clock = std::chrono::steady_clock;
    const FileDescriptor udp(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (udp.Get() < 0)
        throw SystemError("udp socket");
    const sockaddr_in source = SocketAddress(stream.source, stream.sourcePort);
    if (bind(udp.Get(), reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0)
        throw SystemError("bind " + stream.source.Dotted());
    const sockaddr_in destination = SocketAddress(stream.destination, stream.destinationPort);
    if (connect(udp.Get(), reinterpret_cast<const sockaddr*>(&destination), sizeof destination) !=
        0)
        throw SystemError("connect " + stream.destination.Dotted());

    std::vector<std::uint8_t> payload(std::max<std::size_t>(stream.payloadSize, 4));
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + stream.timeLimit;
    Clock::time_point slot = start;
    int sent = 0;
    while (sent < stream.count) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            break;
        int due = stream.count;
        if (stream.datagramsPerSecond > 0) {
            const double elapsed = std::chrono::duration<double>(now - start).count();
            // The first slot sends at once, so a run of one datagram does not wait a slot.
            due = std::min(stream.count, static_cast<int>(elapsed * stream.datagramsPerSecond) + 1);
        }
        for (; sent < due; ++sent) {
            FillPayload(stream.firstSequence + static_cast<std::uint32_t>(sent), payload);
            if (send(udp.Get(), payload.data(), payload.size(), 0) < 0)
                throw SystemError("send to " + stream.destination.Dotted());
        }
        if (stream.datagramsPerSecond > 0 && sent < stream.count) {
            slot += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(slot);
        }
    }
    return sent;
}

int SendFrame(const std::string& interfaceName, const std::vector<std::uint8_t>& frame) {
    // Protocol 0: the socket only sends, it never queues what it sees.
    const FileDescriptor packet(socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0));
    if (packet.Get() < 0)
        throw SystemError("packet socket");
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_ifindex = static_cast<int>(if_nametoindex(interfaceName.c_str()));
    if (link.sll_ifindex == 0)
        throw SystemError("interface " + interfaceName);
    link.sll_halen = 6;
    std::copy_n(frame.begin(), std::min<std::size_t>(6, frame.size()), link.sll_addr);
    if (sendto(packet.Get(), frame.data(), frame.size(), 0,
               reinterpret_cast<const sockaddr*>(&link),
               sizeof link) != static_cast<ssize_t>(frame.size()))
        throw SystemError("send frame on " + interfaceName);
    return 1;
}

void PutBigEndian16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value >> 8);
    bytes[offset + 1] = static_cast<std::uint8_t>(value);
}

} // namespace

sockaddr_in SocketAddress(const Ipv4Address& address, std::uint16_t port) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(port);
    std::memcpy(&socketAddress.sin_addr, address.octets.data(), 4);
    return socketAddress;
}

bool TestNetwork::HaveRoot() {
    if (geteuid() != 0)
        return false;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with("CapEff:"))
            continue;
        const std::uint64_t effective = std::stoull(line.substr(7), nullptr, 16);
        const std::uint64_t needed =
            1ull << CAP_SYS_ADMIN | 1ull << CAP_NET_ADMIN | 1ull << CAP_NET_RAW;
        return (effective & needed) == needed;
    }
    return false;
}

TestNetwork::TestNetwork(int linkCount) {
    if (linkCount < 1 || linkCount > MaximumLinks)
        throw std::invalid_argument("a test network has 1 or 2 links");
    homeNamespace = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (homeNamespace < 0)
        throw SystemError("own network namespace");
    const std::string stem = NamespacePrefix + std::to_string(getpid()) + "-" +
                             std::to_string(networkSerial.fetch_add(1)) + "-";
    namespaceA = stem + "a";
    namespaceB = stem + "b";
    RemoveStaleNamespaces();
    try {
        Build(linkCount);
    } catch (...) {
        RemoveNamespaces();
        close(homeNamespace);
        throw;
    }
}

TestNetwork::~TestNetwork() {
    LeaveNamespace();
    RemoveNamespaces();
    close(homeNamespace);
}

void TestNetwork::Build(int linkCount) {
    // A process that died with our pid left these behind; ours are built afresh.
    RemoveNamespaces();
    Run({"ip", "netns", "add", namespaceA});
    Run({"ip", "netns", "add", namespaceB});
    for (const std::string& name : {namespaceA, namespaceB})
        Run(Inside(name, {"ip", "link", "set", "lo", "up"}));
    for (int index = 0; index < linkCount; ++index) {
        const auto subnet = static_cast<std::uint8_t>(index);
        Link link;
        link.interfaceA = "tva" + std::to_string(index);
        link.interfaceB = "tvb" + std::to_string(index);
        // Locally administered, so they can never be some real card's.
        link.hardwareA = {0x02, 0x74, 0x76, subnet, 0x00, 0x01};
        link.hardwareB = {0x02, 0x74, 0x76, subnet, 0x00, 0x02};
        link.addressA = {{10, 199, subnet, 1}};
        link.addressB = {{10, 199, subnet, 2}};
        Run(Inside(namespaceA,
                   {"ip", "link", "add", link.interfaceA, "address", HardwareText(link.hardwareA),
                    "type", "veth", "peer", "name", link.interfaceB, "address",
                    HardwareText(link.hardwareB), "netns", namespaceB}));
        DisableIpv6(namespaceA, link.interfaceA);
        DisableIpv6(namespaceB, link.interfaceB);
        const struct {
            const std::string& name;
            const std::string& interfaceName;
            const Ipv4Address& own;
            const Ipv4Address& peer;
            const HardwareAddress& peerHardware;
        } sides[] = {
            {namespaceA, link.interfaceA, link.addressA, link.addressB, link.hardwareB},
            {namespaceB, link.interfaceB, link.addressB, link.addressA, link.hardwareA},
        };
        for (const auto& side : sides) {
            Run(Inside(side.name, {"ip", "address", "add", side.own.Dotted() + "/24", "dev",
                                   side.interfaceName}));
            // A fixed neighbour: no ARP delay, and no datagrams queued and dropped behind one.
            Run(Inside(side.name, {"ip", "neighbour", "replace", side.peer.Dotted(), "lladdr",
                                   HardwareText(side.peerHardware), "dev", side.interfaceName,
                                   "nud", "permanent"}));
            Run(Inside(side.name, {"ip", "link", "set", side.interfaceName, "up"}));
        }
        links.push_back(link);
    }
}

bool TestNetwork::SetMtu(int mtu) const {
    bool set = true;
    for (const Link& link : links) {
        for (const auto& [name, interfaceName] :
             {std::pair{namespaceA, link.interfaceA}, std::pair{namespaceB, link.interfaceB}})
            set = Succeeds(Inside(
                      name, {"ip", "link", "set", interfaceName, "mtu", std::to_string(mtu)})) &&
                  set;
    }
    return set;
}

void TestNetwork::RemoveNamespaces() noexcept {
    // The veth pairs go with the namespaces.
    for (const std::string& name : {namespaceA, namespaceB}) {
        std::error_code error;
        if (fs::exists(NamespaceDirectory / name, error))
            Succeeds({"ip", "netns", "del", name});
    }
}

void TestNetwork::EnterNamespace(const std::string& name) {
    const FileDescriptor target(open((NamespaceDirectory / name).c_str(), O_RDONLY | O_CLOEXEC));
    if (target.Get() < 0)
        throw SystemError("open namespace " + name);
    if (setns(target.Get(), CLONE_NEWNET) != 0)
        throw SystemError("enter namespace " + name);
}

void TestNetwork::LeaveNamespace() const {
    setns(homeNamespace, CLONE_NEWNET);
}

UdpPortHolder::UdpPortHolder(const std::string& namespaceName, const Ipv4Address& address,
                             std::uint16_t port) {
    socketFd = InNamespace(namespaceName, [&] {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            throw SystemError("udp socket");
        const sockaddr_in local = SocketAddress(address, port);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            const std::system_error failure = SystemError("bind " + address.Dotted());
            close(fd);
            throw failure;
        }
        return fd;
    });
}

UdpPortHolder::~UdpPortHolder() {
    close(socketFd);
}

int UdpPortHolder::TakeWaiting() {
    int taken = 0;
    std::uint8_t datagram[65536];
    while (recv(socketFd, datagram, sizeof datagram, MSG_DONTWAIT) >= 0)
        ++taken;
    return taken;
}

PeerSender::PeerSender(std::string namespaceName, std::function<int()> job) {
    std::packaged_task<int()> task([name = std::move(namespaceName), job = std::move(job)] {
        TestNetwork::EnterNamespace(name);
        return job();
    });
    result = task.get_future();
    thread = std::thread(std::move(task));
}

PeerSender PeerSender::Stream(std::string namespaceName, UdpStream stream) {
    return PeerSender(std::move(namespaceName), [stream] { return SendStream(stream); });
}

PeerSender PeerSender::Frame(std::string namespaceName, std::string interfaceName,
                             std::vector<std::uint8_t> frame) {
    return PeerSender(std::move(namespaceName),
                      [interfaceName = std::move(interfaceName), frame = std::move(frame)] {
                          return SendFrame(interfaceName, frame);
                      });
}

PeerSender::~PeerSender() {
    if (thread.joinable())
        thread.join();
}

bool PeerSender::Finished() const {
    return result.valid() && result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

int PeerSender::Wait() {
    if (thread.joinable())
        thread.join();
    return result.get();
}

std::vector<std::uint8_t> PeerSender::Payload(std::uint32_t sequence, std::size_t size) {
    std::vector<std::uint8_t> payload(size);
    FillPayload(sequence, payload);
    return payload;
}

std::uint32_t PeerSender::SequenceOf(std::span<const std::uint8_t> payload) {
    std::uint32_t sequence = 0;
    for (std::size_t index = 0; index < std::min<std::size_t>(4, payload.size()); ++index)
        sequence = sequence << 8 | payload[index];
    return sequence;
}

namespace TestPackets {

std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::size_t index = 0; index < bytes.size(); index += 2) {
        const std::uint32_t high = bytes[index];
        const std::uint32_t low = index + 1 < bytes.size() ? bytes[index + 1] : 0;
        sum += high << 8 | low;
    }
    while (sum > 0xffff)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

namespace {

// A datagram of the given size whose IPv4 header is complete, checksum included; the transport
// part after it is zero.
std::vector<std::uint8_t> Ipv4Datagram(const Ipv4Address& source, const Ipv4Address& destination,
                                       std::uint8_t protocol, std::size_t transportSize) {
    std::vector<std::uint8_t> datagram(Ipv4HeaderSize + transportSize);
    datagram[0] = 0x45;
    PutBigEndian16(datagram, 2, static_cast<std::uint16_t>(datagram.size()));
    PutBigEndian16(datagram, 4, 0x7476);
    PutBigEndian16(datagram, 6, 0x4000); // don't fragment
    datagram[8] = 64;
    datagram[9] = protocol;
    std::copy(source.octets.begin(), source.octets.end(), datagram.begin() + 12);
    std::copy(destination.octets.begin(), destination.octets.end(), datagram.begin() + 16);
    PutBigEndian16(datagram, 10, InternetChecksum(std::span(datagram).first(Ipv4HeaderSize)));
    return datagram;
}

} // namespace

std::vector<std::uint8_t> UdpDatagram(const Ipv4Address& source, const Ipv4Address& destination,
                                      std::uint16_t sourcePort, std::uint16_t destinationPort,
                                      std::span<const std::uint8_t> payload) {
    constexpr std::uint8_t Udp = 17;
    const std::size_t udpLength = UdpHeaderSize + payload.size();
    std::vector<std::uint8_t> datagram = Ipv4Datagram(source, destination, Udp, udpLength);
    PutBigEndian16(datagram, Ipv4HeaderSize, sourcePort);
    PutBigEndian16(datagram, Ipv4HeaderSize + 2, destinationPort);
    PutBigEndian16(datagram, Ipv4HeaderSize + 4, static_cast<std::uint16_t>(udpLength));
    std::copy(payload.begin(), payload.end(), datagram.begin() + Ipv4HeaderSize + UdpHeaderSize);

    // The UDP checksum also covers a pseudo header: both addresses, protocol and UDP length.
    std::vector<std::uint8_t> covered(12);
    std::copy(datagram.begin() + 12, datagram.begin() + 20, covered.begin());
    covered[9] = Udp;
    PutBigEndian16(covered, 10, static_cast<std::uint16_t>(udpLength));
    covered.insert(covered.end(), datagram.begin() + Ipv4HeaderSize, datagram.end());
    const std::uint16_t checksum = InternetChecksum(covered);
    // 0 would mean "no checksum".
    PutBigEndian16(datagram, Ipv4HeaderSize + 6, checksum == 0 ? 0xffff : checksum);
    return datagram;
}

std::vector<std::uint8_t> EchoRequest(const Ipv4Address& source, const Ipv4Address& destination) {
    constexpr std::uint8_t Icmp = 1;
    constexpr std::size_t IcmpSize = 16;
    std::vector<std::uint8_t> datagram = Ipv4Datagram(source, destination, Icmp, IcmpSize);
    datagram[Ipv4HeaderSize] = 8;                         // echo request, code 0
    PutBigEndian16(datagram, Ipv4HeaderSize + 4, 0x7476); // identifier
    PutBigEndian16(datagram, Ipv4HeaderSize + 6, 1);      // sequence
    for (std::size_t offset = Ipv4HeaderSize + 8; offset < datagram.size(); ++offset)
        datagram[offset] = static_cast<std::uint8_t>(offset);
    PutBigEndian16(datagram, Ipv4HeaderSize + 2,
                   InternetChecksum(std::span(datagram).subspan(Ipv4HeaderSize)));
    return datagram;
}

std::vector<std::uint8_t> EthernetFrame(const HardwareAddress& destination,
                                        const HardwareAddress& source,
                                        std::span<const std::uint8_t> datagram,
                                        std::size_t minimumSize, std::uint8_t padding) {
    std::vector<std::uint8_t> frame(destination.begin(), destination.end());
    frame.insert(frame.end(), source.begin(), source.end());
    frame.push_back(0x08); // IPv4
    frame.push_back(0x00);
    frame.insert(frame.end(), datagram.begin(), datagram.end());
    if (frame.size() < minimumSize)
        frame.resize(minimumSize, padding);
    return frame;
}

} // namespace TestPackets

} // namespace talvane
