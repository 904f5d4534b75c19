#pragma once

#include "capture/Ipv4Address.h"
#include "capture/SocketOwner.h"
#include "records/RecordFile.h"
#include "records/RecordStore.h"

#include <chrono>
#include <cstdint>
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

// Runs the rounds on threads of their own; the clients' thread is born in the calling thread's
// namespace. The result holds every exchange, or throws what went wrong. Every wait is bounded.
std::future<std::vector<Exchange>> StartClientRounds(const ClientRounds& rounds);

// How the records of the exchanges' queries and answers name their owner: each must be there
// once, named `program`, "send" for a query and "receive" for an answer.
struct NamingVerdict {
    int right = 0;
    // One line per record that is missing or names anything else.
    std::vector<std::string> faults;
    int Missing() const;
};
NamingVerdict JudgeNaming(const ClientRounds& rounds, const std::vector<Exchange>& exchanges,
                          const std::vector<Record>& records, const std::string& program);

// Every record of the store, read back from its file.
std::vector<Record> StoredRecords(const RecordStore& store);

} // namespace talvane
