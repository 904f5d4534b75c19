// Measures what monitoring costs the whole program: the window runs in a process of its own on
// an X display (a private Xvfb unless DISPLAY is set), monitoring an address in one network
// namespace while a sender in another sends UDP datagrams to a port this benchmark holds, so
// every datagram is accepted, recorded and owned. Prints the process's CPU time with no traffic,
// at ordinary rates and the loss at high rates, a burst's record rate, and the same CPU figures
// for tcpdump capturing the same link at the same time.

#include "WindowProcess.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

using namespace talvane;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto IdleLength = 20s;
constexpr auto OrdinaryLength = 10s;
constexpr int OrdinaryRates[] = {100, 1000, 5000};
constexpr auto LossLength = 3s;
constexpr int LossRates[] = {10000, 20000, 40000, 60000, 80000, 100000, 120000};
constexpr int BurstSize = 12000;

// A process's CPU time over a stretch, all its threads, user and system, to the nanosecond: the
// kernel's run time of each thread, summed. (The process's own figures count whole clock ticks,
// 0.05 % of a core over the idle stretch.) A thread that ends between two samples takes its last
// moments with it, so samples are taken often.
class ProcessCpu {
public:
    explicit ProcessCpu(pid_t pid) : pid(pid) {}
    void Restart() {
        total = 0;
        last = RunTimes();
    }
    void Sample() {
        const std::map<std::string, std::uint64_t> now = RunTimes();
        for (const auto& [thread, runTime] : now) {
            // A thread that began after the last sample counts from its start.
            const auto before = last.find(thread);
            total += runTime - (before != last.end() ? std::min(before->second, runTime) : 0);
        }
        last = now;
    }
    double Seconds() const { return static_cast<double>(total) / 1e9; }

private:
    std::map<std::string, std::uint64_t> RunTimes() const {
        std::map<std::string, std::uint64_t> times;
        std::error_code ignored;
        const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
        for (const auto& task : std::filesystem::directory_iterator(tasks, ignored)) {
            std::uint64_t runTime = 0;
            if (std::ifstream(task.path() / "schedstat") >> runTime)
                times[task.path().filename()] = runTime;
        }
        return times;
    }

    pid_t pid;
    std::map<std::string, std::uint64_t> last;
    std::uint64_t total = 0;
};

// Both processes' share of one core over a stretch of time.
class CpuShare {
public:
    CpuShare(pid_t monitor, pid_t tcpdump)
        : monitor(monitor),
          tcpdump(tcpdump > 0 ? std::optional<ProcessCpu>(tcpdump) : std::nullopt),
          sampler([this](std::stop_token stop) {
              while (!stop.stop_requested()) {
                  std::this_thread::sleep_for(SamplePeriod);
                  std::lock_guard lock(mutex);
                  SampleBoth();
              }
          }) {
        Restart();
    }
    void Restart() {
        std::lock_guard lock(mutex);
        start = Clock::now();
        monitor.Restart();
        if (tcpdump)
            tcpdump->Restart();
    }
    std::string Text() {
        std::lock_guard lock(mutex);
        SampleBoth();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        char text[96];
        const double ours = 100 * monitor.Seconds() / seconds;
        if (tcpdump)
            std::snprintf(text, sizeof text, "%6.2f %%   tcpdump %6.2f %%", ours,
                          100 * tcpdump->Seconds() / seconds);
        else
            std::snprintf(text, sizeof text, "%6.2f %%   tcpdump -", ours);
        return text;
    }

private:
    static constexpr auto SamplePeriod = 200ms;
    void SampleBoth() {
        monitor.Sample();
        if (tcpdump)
            tcpdump->Sample();
    }

    std::mutex mutex;
    ProcessCpu monitor;
    std::optional<ProcessCpu> tcpdump;
    Clock::time_point start;
    std::jthread sampler;
};

UdpStream StreamOf(const TestNetwork& network, int count, int rate, Clock::duration length) {
    return BenchStream(network, count, rate,
                       std::chrono::duration_cast<std::chrono::milliseconds>(length) + 2s);
}

// The parts of the run, each printing its figures.
struct Measurement {
    WindowProcess& monitor;
    const TestNetwork& network;
    CpuShare share;

    void Idle() {
        share.Restart();
        std::this_thread::sleep_for(IdleLength);
        std::printf("monitoring, no traffic, %lld s:          cpu %s\n",
                    static_cast<long long>(IdleLength.count()), share.Text().c_str());
    }

    void Ordinary() {
        for (const int rate : OrdinaryRates) {
            const WindowCounts before = monitor.Settled();
            const int count = rate * static_cast<int>(OrdinaryLength.count());
            share.Restart();
            const int sent = PeerSender::Stream(network.NamespaceB(),
                                                StreamOf(network, count, rate, OrdinaryLength))
                                 .Wait();
            const std::string cpu = share.Text();
            const WindowCounts after = monitor.Settled();
            std::printf("%6d datagrams/s for %lld s: sent %6d, recorded %6ld, cpu %s\n", rate,
                        static_cast<long long>(OrdinaryLength.count()), sent,
                        after.handed - before.handed - (after.filtered - before.filtered),
                        cpu.c_str());
        }
    }

    void Loss() {
        int lossless = 0;
        bool noLossYet = true;
        for (const int rate : LossRates) {
            const WindowCounts before = monitor.Settled();
            const int count = rate * static_cast<int>(LossLength.count());
            const int sent =
                PeerSender::Stream(network.NamespaceB(), StreamOf(network, count, rate, LossLength))
                    .Wait();
            const WindowCounts after = monitor.Settled();
            const long handed = after.handed - before.handed;
            std::printf("%6d datagrams/s for %lld s: sent %6d, handed over %6ld, kernel "
                        "drops %ld, lost %ld\n",
                        rate, static_cast<long long>(LossLength.count()), sent, handed,
                        after.kernelDrops - before.kernelDrops, sent - handed);
            noLossYet = noLossYet && sent == count && handed == sent;
            if (noLossYet)
                lossless = rate;
        }
        std::printf("highest lossless rate tried: %d datagrams/s\n", lossless);
    }

    void Burst() {
        const WindowCounts before = monitor.Settled();
        const auto start = Clock::now();
        PeerSender burst =
            PeerSender::Stream(network.NamespaceB(), StreamOf(network, BurstSize, 0, 5s));
        WindowCounts now = before;
        while (now.handed - before.handed < BurstSize && Clock::now() - start < 20s) {
            std::this_thread::sleep_for(2ms);
            now = monitor.Ask().value_or(now);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const int sent = burst.Wait();
        const WindowCounts after = monitor.Settled();
        std::printf("burst of %d: sent %d, recorded %ld, all recorded after %.0f ms: %.0f "
                    "records/s\n",
                    BurstSize, sent,
                    after.handed - before.handed - (after.filtered - before.filtered),
                    seconds * 1000, (now.handed - before.handed) / seconds);
    }
};
using Part = void (Measurement::*)();

// The parts named on the command line (idle, ordinary, loss, burst), all when none is.
std::optional<std::vector<Part>> PartsOf(int argc, char** argv) {
    const std::pair<std::string, Part> names[] = {{"idle", &Measurement::Idle},
                                                  {"ordinary", &Measurement::Ordinary},
                                                  {"loss", &Measurement::Loss},
                                                  {"burst", &Measurement::Burst}};
    std::vector<Part> parts;
    for (int index = 1; index < argc; ++index) {
        const auto found = std::ranges::find(names, std::string(argv[index]),
                                             &std::pair<std::string, Part>::first);
        if (found == std::end(names))
            return std::nullopt;
        parts.push_back(found->second);
    }
    if (parts.empty())
        for (const auto& [name, part] : names)
            parts.push_back(part);
    return parts;
}

int RunBench(const std::vector<Part>& parts) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    WindowBench bench("monitor_cpu_bench", 90);
    if (!bench.Ready())
        return bench.ExitCode();
    const TestNetwork& network = bench.Network();
    // In namespace A beside the window, where the bench's thread now is.
    const pid_t tcpdump = StartProgram(
        {"tcpdump", "-i", network.Links().front().interfaceA, "-n", "-w", "/dev/null", "udp"});
    std::this_thread::sleep_for(2s);
    const bool haveTcpdump = !Exited(tcpdump);
    std::printf("window on display %s, runtime directory %s; tcpdump %s\n",
                bench.display->Name().c_str(), bench.runtime.path.c_str(),
                haveTcpdump ? "capturing the same link"
                            : "not installed (Debian package tcpdump): no figures for it");
    Measurement measurement{bench.Window(), network,
                            CpuShare(bench.Window().Pid(), haveTcpdump ? tcpdump : -1)};
    for (const Part part : parts)
        (measurement.*part)();
    StopProgram(haveTcpdump ? tcpdump : -1);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (WindowProcess::IsChild(argc, argv))
        return WindowProcess::Serve(argc, argv);
    const std::optional<std::vector<Part>> parts = PartsOf(argc, argv);
    if (!parts) {
        std::fprintf(stderr, "usage: monitor_cpu_bench [idle] [ordinary] [loss] [burst]\n");
        return 2;
    }
    return RunBench(*parts);
}
