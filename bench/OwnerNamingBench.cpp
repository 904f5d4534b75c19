// Runs short-lived clients against servers in a peer namespace while a monitoring window records
// their traffic, and prints for each kind of client how many of the records that carry a query or
// an answer name the program that sent or received it and the right direction: the benchmark's
// own threads with servers that answer after 20 ms and at once, curl fetching a page, a Python
// client of another user, and a UDP port that two programs take in turn.

#include "BenchSupport.h"
#include "records/RecordView.h"
#include "support/ClientRounds.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>

using namespace talvane;

namespace {

constexpr int Rounds = 40;
constexpr int Fetches = 30;
constexpr int PortTurnCount = 20;
constexpr std::uint16_t TurnPort = 47000;
constexpr int WaitLimitMs = 30000;
constexpr int ProgramLimitMs = 10000;
constexpr int FaultsShown = 6;
// Another user's, without a home or groups.
const QString OtherUser = QStringLiteral("65534");
const QString Python = QStringLiteral("/usr/bin/python3");

// The Python client: "rounds N" is one round of the benchmark's own clients, a UDP query and a
// TCP line from fresh sockets; "send" takes a local port and sends datagrams from it.
constexpr const char* PythonClient = R"(
import socket, sys
server, udp_port, tcp_port, mode = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
if mode == "rounds":
    round = sys.argv[5].encode()
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as udp:
        udp.settimeout(2)
        udp.sendto(b"udp query " + round, (server, udp_port))
        udp.recv(256)
    with socket.create_connection((server, tcp_port), timeout=2) as tcp:
        tcp.sendall(b"tcp line " + round)
        tcp.recv(256)
else:
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as udp:
        udp.bind((sys.argv[5], int(sys.argv[6])))
        for sent in range(int(sys.argv[7])):
            udp.sendto(b"python %d" % sent, (server, udp_port))
)";

// One page, answered whole in one write, and the connection closed.
std::string PageAnswer(const std::string&) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 12\r\n"
           "Connection: close\r\n\r\nhello, curl\n";
}

// What one program sent and received, as the servers saw it, and the name its records must give.
struct Sent {
    std::string program;
    std::vector<Exchange> exchanges;
};

// The executable's file name, as /proc/<pid>/exe names it: symbolic links followed.
std::string ExecutableName(const QString& path) {
    return std::filesystem::canonical(path.toStdString()).filename();
}

// Runs a program in the benchmark's namespace while the window goes on recording; throws when it
// cannot start or does not end well.
void RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    RunLoopUntil([&] { return process.state() == QProcess::NotRunning; }, ProgramLimitMs);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error(program.toStdString() + " failed: " +
                                 process.readAllStandardError().trimmed().toStdString());
}

QStringList PythonArguments(const ClientRounds& rounds, const QStringList& rest) {
    return QStringList{"-I", "-c", PythonClient} +
           QStringList{QString::fromStdString(rounds.server.Dotted()),
                       QString::number(rounds.udpPort), QString::number(rounds.tcpPort)} +
           rest;
}

// The clients of each kind, run against the servers of the rounds.
std::vector<Sent> OwnThreads(const ClientRounds& rounds) {
    std::future<std::vector<Exchange>> running = StartClientRounds(rounds);
    RunLoopUntil(
        [&] { return running.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        WaitLimitMs);
    return {{ExecutableName("/proc/self/exe"), running.get()}};
}

std::vector<Sent> CurlFetches(const ClientRounds& rounds) {
    const QString curl = QStandardPaths::findExecutable("curl");
    if (curl.isEmpty())
        throw std::runtime_error("curl is not installed (Debian package curl)");
    RoundServers servers(rounds, PageAnswer);
    const QString page = QString("http://%1:%2/page")
                             .arg(QString::fromStdString(rounds.server.Dotted()))
                             .arg(rounds.tcpPort);
    for (int fetch = 0; fetch < Fetches; ++fetch)
        RunProgram(
            curl, {"-q", "-s", "-S", "-o", "/dev/null", "--noproxy", "*", "--max-time", "5", page});
    return {{ExecutableName(curl), servers.Stop()}};
}

std::vector<Sent> OtherUsersPython(const ClientRounds& rounds) {
    RoundServers servers(rounds);
    for (int round = 0; round < Rounds; ++round)
        RunProgram("setpriv", QStringList{"--reuid=" + OtherUser, "--regid=" + OtherUser,
                                          "--clear-groups", Python} +
                                  PythonArguments(rounds, {"rounds", QString::number(round)}));
    return {{ExecutableName(Python), servers.Stop()}};
}

std::vector<Sent> PortTakenInTurn(const ClientRounds& rounds) {
    // The servers take the datagrams in without answering: the senders are gone at once.
    RoundServers servers(rounds, [](const std::string&) { return std::string(); });
    const QString client = QString::fromStdString(rounds.client.Dotted());
    RunProgram(Python, PythonArguments(rounds, {"send", client, QString::number(TurnPort),
                                                QString::number(PortTurnCount)}));
    RunProgram(TALVANE_SEND_FROM_PORT,
               {OtherUser, client, QString::number(TurnPort),
                QString::fromStdString(rounds.server.Dotted()), QString::number(rounds.udpPort),
                QString::number(PortTurnCount)});
    std::vector<Exchange> exchanges = servers.Stop();
    const auto second = std::ranges::stable_partition(
        exchanges, [](const Exchange& exchange) { return exchange.query.starts_with("python "); });
    return {{ExecutableName(Python), {exchanges.begin(), second.begin()}},
            {ExecutableName(TALVANE_SEND_FROM_PORT), {second.begin(), second.end()}}};
}

struct Scenario {
    const char* what;
    std::chrono::milliseconds serverDelay;
    std::function<std::vector<Sent>(const ClientRounds&)> clients;
};

const Scenario Scenarios[] = {
    {"own threads, servers answering after 20 ms", std::chrono::milliseconds(20), OwnThreads},
    {"own threads, servers answering at once", std::chrono::milliseconds(0), OwnThreads},
    {"curl, 30 fetches of a page", std::chrono::milliseconds(0), CurlFetches},
    {"python3 rounds as user 65534", std::chrono::milliseconds(0), OtherUsersPython},
    {"UDP port 47000 taken in turn", std::chrono::milliseconds(0), PortTakenInTurn},
};

void Measure(const WindowProbe& probe, const TestNetwork& network, const Scenario& scenario) {
    probe.RunCommand(CommandId::ClearRecords);
    ClientRounds rounds;
    rounds.serverNamespace = network.NamespaceB();
    rounds.client = network.Links().front().addressA;
    rounds.server = network.Links().front().addressB;
    rounds.rounds = Rounds;
    rounds.serverDelay = scenario.serverDelay;
    std::vector<Sent> sent;
    try {
        sent = scenario.clients(rounds);
    } catch (const std::exception& failure) {
        std::printf("%-44s the clients failed: %s\n", scenario.what, failure.what());
        return;
    }
    NamingVerdict verdict;
    int records = 0;
    std::string programs;
    RunLoopUntil(
        [&] {
            verdict = {};
            records = 0;
            programs.clear();
            const std::vector<Record> stored = StoredRecords(probe.RecordsView().Book());
            for (const auto& [program, exchanges] : sent) {
                const NamingVerdict own = JudgeNaming(rounds, exchanges, stored, program);
                verdict.right += own.right;
                verdict.faults.insert(verdict.faults.end(), own.faults.begin(), own.faults.end());
                for (const Exchange& exchange : exchanges)
                    records += exchange.answer.empty() ? 1 : 2;
                programs += (programs.empty() ? "" : ", then ") + program;
            }
            return verdict.Missing() == 0;
        },
        WaitLimitMs);
    std::printf("%-44s %3d of %3d records with a payload name %s and the right direction "
                "(%5.1f %%), %d missing\n",
                scenario.what, verdict.right, records, programs.c_str(),
                records == 0 ? 0.0 : 100.0 * verdict.right / records, verdict.Missing());
    for (std::size_t shown = 0; shown < std::min<std::size_t>(verdict.faults.size(), FaultsShown);
         ++shown)
        std::printf("    %s\n", verdict.faults[shown].c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (!TestNetwork::HaveRoot()) {
        std::printf("owner_naming_bench needs root: it builds network namespaces and a veth pair "
                    "for its clients and servers. Nothing was measured.\n");
        return 0;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The window and the clients live in namespace A, the servers in B.
    const std::optional<BenchNetwork> bench = EnterBenchNetwork(std::nullopt);
    if (!bench)
        return 1;
    const QTemporaryDir programDirectory;
    MainWindow window(BenchEnvironment(programDirectory));
    window.show();
    const WindowProbe probe(window);
    probe.RunCommand(CommandId::BeginMonitor);
    std::printf("%d rounds of a UDP query and a TCP line from fresh client sockets, each closed "
                "once its answer is in (a process of its own each round as another user); %d "
                "fetches by curl; %d datagrams from each of two programs taking one port in "
                "turn\n",
                Rounds, Fetches, PortTurnCount);
    for (const Scenario& scenario : Scenarios)
        Measure(probe, *bench->network, scenario);
    return 0;
}
