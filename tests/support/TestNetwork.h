#pragma once

#include "capture/Ipv4Address.h"

#include <netinet/in.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace talvane {

using HardwareAddress = std::array<std::uint8_t, 6>;

// The IPv4 socket address of an address and port.
sockaddr_in SocketAddress(const Ipv4Address& address, std::uint16_t port);

// Closes its descriptor however the test leaves the scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd; }

private:
    int fd;
};

// Two network namespaces, A and B, joined by veth pairs, so that capture tests see real traffic
// without touching the machine's own interfaces. Pair k gives A 10.199.k.1/24 and B 10.199.k.2/24;
// IPv6 is off on the pairs and the neighbours are fixed, so nothing but what a test sends crosses
// them. Building it needs root.
class TestNetwork {
public:
    struct Link {
        std::string interfaceA;
        std::string interfaceB;
        HardwareAddress hardwareA{};
        HardwareAddress hardwareB{};
        Ipv4Address addressA;
        Ipv4Address addressB;
    };

    static constexpr int MaximumLinks = 2;

    // Root in the sense that matters here: may create namespaces, interfaces and packet sockets.
    static bool HaveRoot();

    // Also removes namespaces that earlier test processes, now gone, left behind. Throws
    // std::runtime_error naming the command that failed, after removing what it had built.
    explicit TestNetwork(int linkCount = 1);
    // Removes both namespaces and takes the destroying thread back to the namespace the network
    // was built from.
    ~TestNetwork();

    TestNetwork(const TestNetwork&) = delete;
    TestNetwork& operator=(const TestNetwork&) = delete;

    const std::string& NamespaceA() const { return namespaceA; }
    const std::string& NamespaceB() const { return namespaceB; }
    const std::vector<Link>& Links() const { return links; }

    // Sets the MTU of both ends of every link; a veth pair takes up to 65535, so that the largest
    // IPv4 datagram crosses it whole. False when a command failed.
    bool SetMtu(int mtu) const;

    // Moves the calling thread into the named namespace; threads it starts afterwards are born
    // there. Throws std::runtime_error on failure.
    static void EnterNamespace(const std::string& name);
    // Takes the calling thread back to the namespace the network was built from.
    void LeaveNamespace() const;

private:
    void Build(int linkCount);
    void RemoveNamespaces() noexcept;

    std::string namespaceA;
    std::string namespaceB;
    std::vector<Link> links;
    int homeNamespace = -1;
};

// Keeps a UDP port bound in a namespace, so that datagrams sent to it are taken in silently
// instead of being answered with ICMP port unreachable, which would be traffic of its own.
class UdpPortHolder {
public:
    UdpPortHolder(const std::string& namespaceName, const Ipv4Address& address, std::uint16_t port);
    ~UdpPortHolder();

    UdpPortHolder(const UdpPortHolder&) = delete;
    UdpPortHolder& operator=(const UdpPortHolder&) = delete;

    // Reads the datagrams that have reached the port since the last call, without waiting; how
    // many.
    int TakeWaiting();

private:
    int socketFd = -1;
};

// A run of UDP datagrams whose payloads start with their sequence number (see PeerSender::Payload).
struct UdpStream {
    Ipv4Address source;
    Ipv4Address destination;
    std::uint16_t sourcePort = 40000;
    std::uint16_t destinationPort = 50000;
    int count = 1;
    std::uint32_t firstSequence = 0;
    std::size_t payloadSize = 64;
    // 0 sends as fast as the socket takes them; otherwise paced in 1 ms slots.
    int datagramsPerSecond = 0;
    // The run ends here even if not every datagram has gone out.
    std::chrono::milliseconds timeLimit{10000};
};

// Sends from inside a namespace on a thread of its own, which enters the namespace before it
// makes its socket.
class PeerSender {
public:
    static PeerSender Stream(std::string namespaceName, UdpStream stream);
    // Sends one complete Ethernet frame, exactly as given, out of the interface through a packet
    // socket: no header is added and no padding is changed.
    static PeerSender Frame(std::string namespaceName, std::string interfaceName,
                            std::vector<std::uint8_t> frame);

    PeerSender(PeerSender&&) = default;
    PeerSender& operator=(PeerSender&&) = delete;
    ~PeerSender();

    bool Finished() const;
    // Waits for the thread and returns how many datagrams or frames it sent; rethrows what
    // stopped it.
    int Wait();

    // The payload of datagram `sequence`: the sequence number, most significant byte first, then
    // bytes that depend on both the sequence and their position.
    static std::vector<std::uint8_t> Payload(std::uint32_t sequence, std::size_t size);
    // Reads the sequence number back from a payload made by Payload.
    static std::uint32_t SequenceOf(std::span<const std::uint8_t> payload);

private:
    PeerSender(std::string namespaceName, std::function<int()> job);

    std::future<int> result;
    std::thread thread;
};

// Builds packets by hand, for frames the kernel itself would never send.
namespace TestPackets {

inline constexpr std::size_t Ipv4HeaderSize = 20;
inline constexpr std::size_t UdpHeaderSize = 8;
inline constexpr std::size_t EthernetHeaderSize = 14;

// An IPv4 header of 20 bytes with a valid checksum, then a UDP header with a valid checksum,
// then the payload.
std::vector<std::uint8_t> UdpDatagram(const Ipv4Address& source, const Ipv4Address& destination,
                                      std::uint16_t sourcePort, std::uint16_t destinationPort,
                                      std::span<const std::uint8_t> payload);

// An IPv4 datagram with an ICMP echo request of eight data bytes, both checksums valid.
std::vector<std::uint8_t> EchoRequest(const Ipv4Address& source, const Ipv4Address& destination);

// An Ethernet II frame carrying an IPv4 datagram, padded with `padding` bytes up to
// minimumSize.
std::vector<std::uint8_t> EthernetFrame(const HardwareAddress& destination,
                                        const HardwareAddress& source,
                                        std::span<const std::uint8_t> datagram,
                                        std::size_t minimumSize, std::uint8_t padding);

// The ones' complement sum of RFC 1071 over the bytes; 0 over a header whose checksum is right.
std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes);

} // namespace TestPackets

} // namespace talvane
