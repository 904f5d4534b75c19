#pragma once

#include "capture/Ipv4Address.h"
#include "capture/SocketOwner.h"
#include "records/RecordBook.h"
#include "records/RecordFile.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <vector>

namespace talvane {

// Clients as resolvers and health probes are: each round opens a fresh UDP socket, sends a query
// and waits for the answer, then opens a short TCP connection, sends a line and reads the reply;
// every socket is closed the moment its answer is in. The servers answer from the peer's
// namespace after a set delay.
struct ClientRounds {
    std::string serverNamespace;
    // The clients' address, in the namespace of the thread that starts the rounds.
    Ipv4Address client;
    Ipv4Address server;
    std::uint16_t udpPort = 7001;
    std::uint16_t tcpPort = 7002;
    int rounds = 10;
    std::chrono::milliseconds serverDelay{20};
};

// One query and its answer, as the client saw them.
struct Exchange {
    Transport transport = Transport::Udp;
    std::uint16_t clientPort = 0;
    std::uint16_t serverPort = 0;
    std::string query;
    std::string answer;
};

// The rounds' servers alone, for clients that are other programs. Each UDP datagram and the first
// read of each TCP connection is answered, after the rounds' delay, with what `answer` makes of it
// ("answer to " and the query when none is given; nothing when it makes ""), and kept as the
// server saw it.
class RoundServers {
public:
    using Answer = std::function<std::string(const std::string& query)>;
    // Returns once the servers listen; throws what kept them from it.
    explicit RoundServers(const ClientRounds& rounds, Answer answer = {});
    ~RoundServers();
    RoundServers(const RoundServers&) = delete;
    RoundServers& operator=(const RoundServers&) = delete;

    // Stops the servers after they have read what is waiting; every exchange they saw, in turn.
    std::vector<Exchange> Stop();

private:
    std::atomic<bool> stop{false};
    std::promise<void> ready;
    std::future<std::vector<Exchange>> serving;
};

// Runs the rounds on threads of their own; the clients' thread is born in the calling thread's
// namespace. The result holds every exchange, or throws what went wrong. Every wait is bounded.
std::future<std::vector<Exchange>> StartClientRounds(const ClientRounds& rounds);

// How the records of the exchanges' queries and answers name their owner: each must be there
// once, named `program`, "send" for a query and "receive" for an answer (none for an exchange
// without one).
struct NamingVerdict {
    int right = 0;
    // One line per record that is missing or names anything else.
    std::vector<std::string> faults;
    int Missing() const;
};
NamingVerdict JudgeNaming(const ClientRounds& rounds, const std::vector<Exchange>& exchanges,
                          const std::vector<Record>& records, const std::string& program);

// Every record of the store, read back from its file.
std::vector<Record> StoredRecords(const RecordBook& store);

} // namespace talvane
