// Measures what monitoring costs the whole program: the window runs in a process of its own on
// an X display (a private Xvfb unless DISPLAY is set), monitoring an address in one network
// namespace while a sender in another sends UDP datagrams to a port this benchmark holds, so
// every datagram is accepted, recorded and owned. Prints the process's CPU time with no traffic,
// at ordinary rates and the loss at high rates, a burst's record rate, and the same CPU figures
// for tcpdump capturing the same link at the same time.

#include "WindowProcess.h"

#include <QTemporaryDir>
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

// A program's CPU time over a stretch: every thread of the process and of its descendants (the
// window's capture helper, Wireshark's capture child), user and system, to the nanosecond: the
// kernel's run time of each thread, summed. (The processes' own figures count whole clock ticks,
// 0.05 % of a core over the idle stretch.) A thread that ends between two samples takes its last
// moments with it, so samples are taken often.
class ProgramCpu {
public:
    explicit ProgramCpu(pid_t pid) : pid(pid) {}
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
    // Run times by process and thread id, of the process and all it started that still runs.
    std::map<std::string, std::uint64_t> RunTimes() const {
        std::map<std::string, std::uint64_t> times;
        std::vector<std::string> processes{std::to_string(pid)};
        std::error_code ignored;
        while (!processes.empty()) {
            const std::string process = processes.back();
            processes.pop_back();
            const std::filesystem::path tasks = "/proc/" + process + "/task";
            for (const auto& task : std::filesystem::directory_iterator(tasks, ignored)) {
                std::uint64_t runTime = 0;
                if (std::ifstream(task.path() / "schedstat") >> runTime)
                    times[process + "/" + task.path().filename().string()] = runTime;
                std::ifstream children(task.path() / "children");
                for (std::string child; children >> child;)
                    processes.push_back(child);
            }
        }
        return times;
    }

    pid_t pid;
    std::map<std::string, std::uint64_t> last;
    std::uint64_t total = 0;
};

// A program measured beside the window, capturing the same link.
struct Peer {
    const char* name;
    pid_t pid;
};

// Each program's share of one core over a stretch of time, the window's first.
class CpuShare {
public:
    CpuShare(pid_t monitor, const std::vector<Peer>& peers)
        : sampler([this](std::stop_token stop) {
              while (!stop.stop_requested()) {
                  std::this_thread::sleep_for(SamplePeriod);
                  std::lock_guard lock(mutex);
                  SampleAll();
              }
          }) {
        std::lock_guard lock(mutex);
        programs.emplace_back("", ProgramCpu(monitor));
        for (const Peer& peer : peers)
            programs.emplace_back(peer.name, ProgramCpu(peer.pid));
        RestartAll();
    }
    void Restart() {
        std::lock_guard lock(mutex);
        RestartAll();
    }
    std::string Text() {
        std::lock_guard lock(mutex);
        SampleAll();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::string text;
        for (const auto& [name, cpu] : programs) {
            char figure[64];
            std::snprintf(figure, sizeof figure, "%s%s%6.2f %%", name.c_str(),
                          name.empty() ? "" : " ", 100 * cpu.Seconds() / seconds);
            text += (text.empty() ? "" : "   ") + std::string(figure);
        }
        return text;
    }

private:
    static constexpr auto SamplePeriod = 200ms;
    void SampleAll() {
        for (auto& [name, cpu] : programs)
            cpu.Sample();
    }
    void RestartAll() {
        start = Clock::now();
        for (auto& [name, cpu] : programs)
            cpu.Restart();
    }

    std::mutex mutex;
    std::vector<std::pair<std::string, ProgramCpu>> programs;
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
    std::vector<Peer> peers;
    CpuShare share;

    // The loss and the burst are the window's own capacity: on two cores a program capturing
    // beside it at the same rate would take half of it.
    void StopPeers() {
        if (peers.empty())
            return;
        for (const Peer& peer : peers)
            StopProgram(peer.pid);
        peers.clear();
        std::printf("the programs beside it stopped: the loss and the burst are the window's "
                    "alone\n");
    }

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
        StopPeers();
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
        StopPeers();
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

// The capture programs measured beside the window, each started in namespace A (where the
// bench's thread now is) on the same link; those that are not installed are left out.
std::vector<Peer> StartPeers(const std::string& interface, const std::string& display,
                             const std::string& home) {
    const std::pair<const char*, std::vector<std::string>> programs[] = {
        {"tcpdump", {"tcpdump", "-i", interface, "-n", "-w", "/dev/null", "udp"}},
        // Wireshark's live capture as its users see it: the packet list updated while capturing
        // and scrolled to the newest packet (its defaults, stated here), its own profile and
        // temporary capture file in a folder of the run.
        {"Wireshark",
         {"env", "DISPLAY=" + display, "HOME=" + home, "TMPDIR=" + home, "wireshark", "-i",
          interface, "-k", "-f", "udp", "-o", "capture.real_time_update:TRUE", "-o",
          "capture.auto_scroll:TRUE"}},
    };
    std::vector<Peer> started;
    for (const auto& [name, arguments] : programs)
        started.push_back({name, StartProgram(arguments)});
    // Wireshark reads its plug-ins and opens its window before it captures.
    std::this_thread::sleep_for(5s);
    std::vector<Peer> running;
    for (const Peer& peer : started) {
        if (Exited(peer.pid))
            std::printf("%s is not installed or did not start (Debian packages tcpdump, "
                        "wireshark-qt): no figures for it\n",
                        peer.name);
        else
            running.push_back(peer);
    }
    return running;
}

int RunBench(const std::vector<Part>& parts) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    WindowBench bench("monitor_cpu_bench", 90);
    if (!bench.Ready())
        return bench.ExitCode();
    const TestNetwork& network = bench.Network();
    const QTemporaryDir peerHome;
    std::vector<Peer> peers = StartPeers(network.Links().front().interfaceA, bench.display->Name(),
                                         peerHome.path().toStdString());
    std::printf("window on display %s, runtime directory %s; cpu of Talvane (window and "
                "capture helper) first, then of each program capturing the same link\n",
                bench.display->Name().c_str(), bench.runtime.path.c_str());
    Measurement measurement{bench.Window(), network, peers, CpuShare(bench.Window().Pid(), peers)};
    for (const Part part : parts)
        (measurement.*part)();
    measurement.StopPeers();
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
