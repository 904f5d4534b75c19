// Sends UDP datagrams at fixed rates through a veth pair to a monitoring main window and prints,
// per rate, how many were handed over to the window and what each cost the window's thread.

#include "BenchSupport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>

using namespace talvane;

namespace {

constexpr int PollIntervalMs = 50;
// The backlog counts as drained once the total has not risen for this long.
constexpr int SettleMs = 500;
// Room for the sender's last slot before it gives up on what it has not sent.
constexpr std::chrono::milliseconds SendSlack{250};

struct Options {
    std::vector<int> rates{5000, 10000, 20000, 40000, 80000};
    double seconds = 3.0;
};

std::optional<Options> ParseOptions(const QApplication& application) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures how many datagrams a monitoring window takes at fixed rates."));
    parser.addHelpOption();
    const QCommandLineOption ratesOption(
        QStringLiteral("rates"), QStringLiteral("Comma-separated datagrams per second."),
        QStringLiteral("list"), QStringLiteral("5000,10000,20000,40000,80000"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("How long each rate is sent."),
                                           QStringLiteral("seconds"), QStringLiteral("3"));
    parser.addOption(ratesOption);
    parser.addOption(secondsOption);
    parser.process(application);

    Options options;
    bool valid = false;
    options.seconds = parser.value(secondsOption).toDouble(&valid);
    if (!valid || options.seconds <= 0)
        return std::nullopt;
    options.rates.clear();
    for (const QString& text : parser.value(ratesOption).split(u',', Qt::SkipEmptyParts)) {
        const int rate = text.trimmed().toInt(&valid);
        if (!valid || rate <= 0)
            return std::nullopt;
        options.rates.push_back(rate);
    }
    if (options.rates.empty())
        return std::nullopt;
    return options;
}

double ThreadCpuMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

std::uint32_t DroppedSoFar(const WindowProbe& probe) {
    const auto statistics = probe.Session().Capture().CurrentStatistics();
    return statistics ? statistics->dropped : 0;
}

// Runs the rates one after another from the window's own event loop, so that the CPU time
// measured on this thread is what the window spends on the datagrams.
class RateSeries {
public:
    RateSeries(MainWindow& window, const TestNetwork& network, Options options)
        : probe(window), network(network), options(std::move(options)) {
        poll.setInterval(PollIntervalMs);
        QObject::connect(&poll, &QTimer::timeout, &poll, [this] { Poll(); });
    }

    void Start() {
        std::printf("One line per rate. rate/s: datagrams per second asked of the sender; sent: "
                    "datagrams it got out in %.1f s; handed: datagrams handed over to the window; "
                    "pcap-drop: datagrams the capture's kernel buffer dropped; lost: sent but not "
                    "handed over once the backlog drained; cpu-us: the window thread's CPU time "
                    "per datagram handed over, in microseconds.\n",
                    options.seconds);
        std::printf("%8s %9s %9s %10s %9s %8s\n", "rate/s", "sent", "handed", "pcap-drop", "lost",
                    "cpu-us");
        std::fflush(stdout);
        BeginRate();
        poll.start();
    }

    int ExitCode() const { return exitCode; }

private:
    void BeginRate() {
        const int rate = options.rates[rateIndex];
        const UdpStream stream = BenchStream(
            network, static_cast<int>(rate * options.seconds), rate,
            std::chrono::milliseconds(static_cast<int>(options.seconds * 1000)) + SendSlack);

        totalAtStart = probe.Session().DatagramTotal();
        lastTotal = totalAtStart;
        droppedAtStart = DroppedSoFar(probe);
        cpuAtStart = ThreadCpuMicroseconds();
        cpuAtLastRise = cpuAtStart;
        quietMs = 0;
        sent.reset();
        sender.emplace(PeerSender::Stream(network.NamespaceB(), stream));
    }

    void Poll() {
        const std::int32_t total = probe.Session().DatagramTotal();
        if (total != lastTotal) {
            lastTotal = total;
            cpuAtLastRise = ThreadCpuMicroseconds();
            quietMs = 0;
        } else {
            quietMs += PollIntervalMs;
        }
        if (!sent) {
            if (!sender->Finished())
                return;
            try {
                sent = sender->Wait();
            } catch (const std::exception& failure) {
                std::fprintf(stderr, "sender failed: %s\n", failure.what());
                Finish(1);
                return;
            }
            quietMs = 0;
        }
        if (quietMs < SettleMs)
            return;
        Report();
        if (++rateIndex == options.rates.size()) {
            Finish(0);
            return;
        }
        BeginRate();
    }

    void Report() {
        const int handed = lastTotal - totalAtStart;
        const std::uint32_t dropped = DroppedSoFar(probe) - droppedAtStart;
        const int lost = *sent - handed;
        if (handed > 0)
            std::printf("%8d %9d %9d %10u %9d %8.2f\n", options.rates[rateIndex], *sent, handed,
                        dropped, lost, (cpuAtLastRise - cpuAtStart) / handed);
        else
            std::printf("%8d %9d %9d %10u %9d %8s\n", options.rates[rateIndex], *sent, handed,
                        dropped, lost, "-");
        std::fflush(stdout);
    }

    void Finish(int code) {
        exitCode = code;
        poll.stop();
        QCoreApplication::exit(code);
    }

    const WindowProbe probe;
    const TestNetwork& network;
    const Options options;
    QTimer poll;
    std::size_t rateIndex = 0;
    std::optional<PeerSender> sender;
    std::optional<int> sent;
    std::int32_t totalAtStart = 0;
    std::int32_t lastTotal = 0;
    std::uint32_t droppedAtStart = 0;
    double cpuAtStart = 0;
    double cpuAtLastRise = 0;
    int quietMs = 0;
    int exitCode = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::optional<Options> options = ParseOptions(application);
    if (!options) {
        std::fprintf(stderr, "--rates takes positive whole numbers, --seconds a positive number\n");
        return 2;
    }
    if (!TestNetwork::HaveRoot()) {
        std::printf("capture_bench needs root: it builds network namespaces and a veth pair to "
                    "send its traffic through. Nothing was measured.\n");
        return 0;
    }

    const std::optional<BenchNetwork> bench = EnterBenchNetwork(MonitoredPort);
    if (!bench)
        return 1;
    const QTemporaryDir programDirectory;
    MainWindow window(BenchEnvironment(programDirectory));
    window.show();
    WindowProbe(window).RunCommand(CommandId::BeginMonitor);

    RateSeries series(window, *bench->network, *options);
    QTimer::singleShot(0, &window, [&series] { series.Start(); });
    application.exec();
    return series.ExitCode();
}
