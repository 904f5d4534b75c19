#include "ClientRounds.h"

#include "TestNetwork.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <thread>

namespace talvane {

namespace {

constexpr timeval SocketWait{2, 0};
constexpr int ServerPollMs = 100;

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

int BoundedSocket(int type) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0)
        Fail("socket");
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &SocketWait, sizeof SocketWait);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &SocketWait, sizeof SocketWait);
    return fd;
}

std::uint16_t LocalPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

std::string Receive(int fd) {
    char buffer[256];
    const ssize_t count = recv(fd, buffer, sizeof buffer, 0);
    if (count <= 0)
        Fail("receive");
    return std::string(buffer, std::size_t(count));
}

std::string AnswerTo(const std::string& query) {
    return "answer to " + query;
}

std::uint16_t PeerPort(const sockaddr_in& peer) {
    return ntohs(peer.sin_port);
}

// Answers every UDP query and every TCP line after the delay until told to stop, then reads what
// is still waiting; what it saw.
std::vector<Exchange> Serve(const ClientRounds& rounds, const RoundServers::Answer& answerTo,
                            const std::atomic<bool>& stop, std::promise<void>& ready) {
    std::unique_ptr<FileDescriptor> udp;
    std::unique_ptr<FileDescriptor> tcp;
    try {
        TestNetwork::EnterNamespace(rounds.serverNamespace);
        udp = std::make_unique<FileDescriptor>(BoundedSocket(SOCK_DGRAM));
        tcp = std::make_unique<FileDescriptor>(BoundedSocket(SOCK_STREAM));
        const int reuse = 1;
        setsockopt(tcp->Get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        const sockaddr_in udpAddress = SocketAddress(rounds.server, rounds.udpPort);
        const sockaddr_in tcpAddress = SocketAddress(rounds.server, rounds.tcpPort);
        if (bind(udp->Get(), reinterpret_cast<const sockaddr*>(&udpAddress), sizeof udpAddress) !=
                0 ||
            bind(tcp->Get(), reinterpret_cast<const sockaddr*>(&tcpAddress), sizeof tcpAddress) !=
                0 ||
            listen(tcp->Get(), 4) != 0)
            Fail("server bind");
    } catch (...) {
        ready.set_exception(std::current_exception());
        return {};
    }
    ready.set_value();
    std::vector<Exchange> seen;
    for (;;) {
        const bool stopping = stop.load();
        pollfd waiting[] = {{udp->Get(), POLLIN, 0}, {tcp->Get(), POLLIN, 0}};
        if (poll(waiting, 2, stopping ? 0 : ServerPollMs) <= 0) {
            if (stopping)
                break;
            continue;
        }
        if (waiting[0].revents & POLLIN) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            char buffer[256];
            const ssize_t count = recvfrom(udp->Get(), buffer, sizeof buffer, 0,
                                           reinterpret_cast<sockaddr*>(&from), &length);
            if (count <= 0)
                continue;
            std::this_thread::sleep_for(rounds.serverDelay);
            const std::string query(buffer, std::size_t(count));
            const std::string answer = answerTo(query);
            if (!answer.empty())
                sendto(udp->Get(), answer.data(), answer.size(), 0,
                       reinterpret_cast<sockaddr*>(&from), length);
            seen.push_back({Transport::Udp, PeerPort(from), rounds.udpPort, query, answer});
        }
        if (waiting[1].revents & POLLIN) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const FileDescriptor connection(
                accept4(tcp->Get(), reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC));
            if (connection.Get() < 0)
                continue;
            setsockopt(connection.Get(), SOL_SOCKET, SO_RCVTIMEO, &SocketWait, sizeof SocketWait);
            char buffer[256];
            const ssize_t count = recv(connection.Get(), buffer, sizeof buffer, 0);
            if (count <= 0)
                continue;
            std::this_thread::sleep_for(rounds.serverDelay);
            const std::string query(buffer, std::size_t(count));
            const std::string answer = answerTo(query);
            send(connection.Get(), answer.data(), answer.size(), MSG_NOSIGNAL);
            seen.push_back({Transport::Tcp, PeerPort(from), rounds.tcpPort, query, answer});
        }
    }
    return seen;
}

Exchange UdpRound(const ClientRounds& rounds, int round) {
    Exchange exchange{Transport::Udp, 0, rounds.udpPort, "udp query " + std::to_string(round), {}};
    const FileDescriptor fd(BoundedSocket(SOCK_DGRAM));
    const sockaddr_in server = SocketAddress(rounds.server, rounds.udpPort);
    if (sendto(fd.Get(), exchange.query.data(), exchange.query.size(), 0,
               reinterpret_cast<const sockaddr*>(&server), sizeof server) < 0)
        Fail("udp send");
    exchange.clientPort = LocalPort(fd.Get());
    exchange.answer = Receive(fd.Get());
    return exchange;
}

Exchange TcpRound(const ClientRounds& rounds, int round) {
    Exchange exchange{Transport::Tcp, 0, rounds.tcpPort, "tcp line " + std::to_string(round), {}};
    const FileDescriptor fd(BoundedSocket(SOCK_STREAM));
    const sockaddr_in server = SocketAddress(rounds.server, rounds.tcpPort);
    if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
        Fail("tcp connect");
    exchange.clientPort = LocalPort(fd.Get());
    if (send(fd.Get(), exchange.query.data(), exchange.query.size(), MSG_NOSIGNAL) < 0)
        Fail("tcp send");
    exchange.answer = Receive(fd.Get());
    return exchange;
}

} // namespace

RoundServers::RoundServers(const ClientRounds& rounds, Answer answer) {
    if (!answer)
        answer = AnswerTo;
    std::future<void> listening = ready.get_future();
    serving = std::async(std::launch::async,
                         [this, rounds, answer] { return Serve(rounds, answer, stop, ready); });
    listening.get();
}

RoundServers::~RoundServers() {
    stop.store(true);
    if (serving.valid())
        serving.wait();
}

std::vector<Exchange> RoundServers::Stop() {
    stop.store(true);
    return serving.get();
}

std::future<std::vector<Exchange>> StartClientRounds(const ClientRounds& rounds) {
    return std::async(std::launch::async, [rounds] {
        const RoundServers servers(rounds);
        std::vector<Exchange> exchanges;
        for (int round = 0; round < rounds.rounds; ++round) {
            exchanges.push_back(UdpRound(rounds, round));
            exchanges.push_back(TcpRound(rounds, round));
        }
        return exchanges;
    });
}

namespace {

constexpr std::string_view MissingFault = "missing: ";

std::string RecordKey(const std::string& protocol, const std::string& source,
                      const std::string& destination, const std::string& payload) {
    return protocol + " " + source + " " + destination + " " + payload;
}

} // namespace

int NamingVerdict::Missing() const {
    return static_cast<int>(std::ranges::count_if(
        faults, [](const std::string& fault) { return fault.starts_with(MissingFault); }));
}

NamingVerdict JudgeNaming(const ClientRounds& rounds, const std::vector<Exchange>& exchanges,
                          const std::vector<Record>& records, const std::string& program) {
    std::map<std::string, const RecordHeader*> byEndsAndPayload;
    for (const Record& record : records) {
        const RecordHeader& header = record.header;
        byEndsAndPayload[RecordKey(header.protocolName, header.sourceIp + ":" + header.sourcePort,
                                   header.destinationIp + ":" + header.destinationPort,
                                   std::string(record.payload.begin(), record.payload.end()))] =
            &header;
    }
    NamingVerdict verdict;
    for (const Exchange& exchange : exchanges) {
        const std::string protocol = exchange.transport == Transport::Tcp ? "TCP" : "UDP";
        const std::string client =
            rounds.client.Dotted() + ":" + std::to_string(exchange.clientPort);
        const std::string server =
            rounds.server.Dotted() + ":" + std::to_string(exchange.serverPort);
        const std::pair<std::string, std::string> expected[] = {
            {RecordKey(protocol, client, server, exchange.query), "send"},
            {RecordKey(protocol, server, client, exchange.answer), "receive"}};
        for (const auto& [key, direction] :
             std::span(expected).first(exchange.answer.empty() ? 1 : 2)) {
            const auto found = byEndsAndPayload.find(key);
            if (found == byEndsAndPayload.end())
                verdict.faults.push_back(std::string(MissingFault) + key);
            else if (found->second->processName != program || found->second->direction != direction)
                verdict.faults.push_back(key + " names '" + found->second->processName + " " +
                                         found->second->direction + "'");
            else
                ++verdict.right;
        }
    }
    return verdict;
}

std::vector<Record> StoredRecords(const RecordBook& store) {
    std::vector<Record> records;
    for (int index = 0; index < store.Count(); ++index) {
        if (std::optional<Record> record = store.Read(index))
            records.push_back(std::move(*record));
    }
    return records;
}

} // namespace talvane
