// Runs short-lived clients against servers in a peer namespace while a monitoring window records
// their traffic, and prints how many of the records that carry a query or an answer name the
// client's process and the right direction: with servers that answer after 20 ms, and at once.

#include "BenchSupport.h"
#include "records/RecordPanel.h"
#include "support/ClientRounds.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <memory>

using namespace talvane;

namespace {

constexpr int Rounds = 40;
constexpr int WaitLimitMs = 30000;

void Measure(MainWindow& window, const TestNetwork& network, std::chrono::milliseconds delay) {
    window.ClearRecords();
    ClientRounds rounds;
    rounds.serverNamespace = network.NamespaceB();
    rounds.client = network.Links().front().addressA;
    rounds.server = network.Links().front().addressB;
    rounds.rounds = Rounds;
    rounds.serverDelay = delay;
    std::future<std::vector<Exchange>> running = StartClientRounds(rounds);
    RunLoopUntil(
        [&] { return running.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        WaitLimitMs);
    std::vector<Exchange> exchanges;
    try {
        exchanges = running.get();
    } catch (const std::exception& failure) {
        std::printf("server answering after %lld ms: the clients failed: %s\n",
                    static_cast<long long>(delay.count()), failure.what());
        return;
    }
    const std::string program = std::filesystem::read_symlink("/proc/self/exe").filename();
    NamingVerdict verdict;
    RunLoopUntil(
        [&] {
            verdict = JudgeNaming(rounds, exchanges, StoredRecords(window.RecordsPanel().Records()),
                                  program);
            return verdict.Missing() == 0;
        },
        WaitLimitMs);
    const int records = 2 * static_cast<int>(exchanges.size());
    std::printf("server answering after %3lld ms: %3d of %3d records with a payload name their "
                "owner and direction (%5.1f %%), %d missing\n",
                static_cast<long long>(delay.count()), verdict.right, records,
                100.0 * verdict.right / records, verdict.Missing());
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
    // The window and the clients live in namespace A, the servers in B.
    const std::optional<BenchNetwork> bench = EnterBenchNetwork(std::nullopt);
    if (!bench)
        return 1;
    const QTemporaryDir programDirectory;
    MainWindow window(BenchEnvironment(programDirectory));
    window.show();
    window.BeginMonitor();
    std::printf("%d rounds of a UDP query and a TCP line from fresh client sockets, each closed "
                "once its answer is in\n",
                Rounds);
    Measure(window, *bench->network, std::chrono::milliseconds(20));
    Measure(window, *bench->network, std::chrono::milliseconds(0));
    return 0;
}
