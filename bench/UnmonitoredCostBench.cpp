// Measures what the capture helper's kernel programs cost traffic the window does not monitor:
// attached to the root of the cgroup2 hierarchy, they run for every datagram the machine sends or
// receives. The same UDP stream crosses links the window does not monitor, at fixed rates, in turns
// beside nothing, beside the capture helper alone and beside the window with its helper, both
// capturing another link. Prints the CPU time of the stream's sender and receiver (threads of this
// benchmark), the run time the kernel counts for its programs, and the machine's user, system and
// softirq time from /proc/stat, each a datagram, and the medians of three turns
// (`unmonitored_cost_bench 5` takes five). /proc/stat's times are samples at the clock tick, which
// an idle core skips and a paced stream's bursts meet every time or never, and softirq work done
// for a thread counts as the thread's unless the kernel accounts interrupt time apart.

#include "WindowProcess.h"

#include <fcntl.h>
#include <linux/bpf.h>
#include <net/if.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace talvane;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int Rates[] = {20000, 100000};
constexpr auto RunLength = 10s;
constexpr auto IdleLength = 5s;
// Turns of the three, so that a drift of the machine shows as one.
constexpr int DefaultTurns = 3;
constexpr timeval ReceiveWait{0, 100000};

// The fields of /proc/stat's first line in clock ticks: user, nice, system, idle, iowait, irq,
// softirq, steal.
using MachineTicks = std::array<long long, 8>;

MachineTicks ReadMachine() {
    std::ifstream stat("/proc/stat");
    std::string cpu;
    MachineTicks ticks{};
    stat >> cpu;
    for (long long& field : ticks)
        stat >> field;
    return ticks;
}

double ProcessSeconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// What the machine and this process spent between two moments.
struct Spent {
    Clock::time_point when = Clock::now();
    MachineTicks machine = ReadMachine();
    rusage process = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage;
    }();
};

struct Cost {
    double seconds = 0;
    // This process: the stream's sender and receiver. (The kernel splits it into user and system
    // time by clock-tick samples, so only the sum is told.)
    double process = 0;
    // The machine, all cores, in seconds.
    double machineUser = 0;
    double machineSystem = 0;
    double softirq = 0;
    double Busy() const { return machineUser + machineSystem + softirq; }
};

Cost Between(const Spent& before, const Spent& after) {
    const double tick = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    const auto ticks = [&](std::size_t field) {
        return static_cast<double>(after.machine[field] - before.machine[field]) * tick;
    };
    return {std::chrono::duration<double>(after.when - before.when).count(),
            ProcessSeconds(after.process.ru_utime) + ProcessSeconds(after.process.ru_stime) -
                ProcessSeconds(before.process.ru_utime) - ProcessSeconds(before.process.ru_stime),
            ticks(0) + ticks(1), ticks(2) + ticks(5), ticks(6)};
}

long Bpf(int command, bpf_attr& attributes) {
    return syscall(SYS_bpf, command, &attributes, sizeof attributes);
}

// What the kernel counts of a program while its statistics are on.
struct ProgramRuns {
    std::string name;
    std::uint64_t runs = 0;
    std::uint64_t nanoseconds = 0;
};

// The programs attached to the root of the cgroup2 hierarchy for datagrams in and out, by id;
// nullopt when the kernel cannot be asked.
std::optional<std::map<__u32, ProgramRuns>> AttachedPrograms() {
    std::ifstream mounts("/proc/self/mounts");
    std::string root;
    for (std::string line; root.empty() && std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string device, path, type;
        if (fields >> device >> path >> type && type == "cgroup2")
            root = path;
    }
    const FileDescriptor group(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::map<__u32, ProgramRuns> programs;
    for (const bpf_attach_type type : {BPF_CGROUP_INET_INGRESS, BPF_CGROUP_INET_EGRESS}) {
        std::array<__u32, 64> ids{};
        bpf_attr query{};
        query.query.target_fd = static_cast<__u32>(group.Get());
        query.query.attach_type = type;
        query.query.prog_ids = reinterpret_cast<__u64>(ids.data());
        query.query.prog_cnt = ids.size();
        if (group.Get() < 0 || Bpf(BPF_PROG_QUERY, query) != 0)
            return std::nullopt;
        for (const __u32 id : std::span(ids).first(query.query.prog_cnt)) {
            bpf_attr byId{};
            byId.prog_id = id;
            const FileDescriptor program(static_cast<int>(Bpf(BPF_PROG_GET_FD_BY_ID, byId)));
            bpf_prog_info info{};
            bpf_attr infoOf{};
            infoOf.info.bpf_fd = static_cast<__u32>(program.Get());
            infoOf.info.info_len = sizeof info;
            infoOf.info.info = reinterpret_cast<__u64>(&info);
            if (program.Get() >= 0 && Bpf(BPF_OBJ_GET_INFO_BY_FD, infoOf) == 0)
                programs[id] = {info.name, info.run_cnt, info.run_time_ns};
        }
    }
    return programs;
}

// Takes in the stream at the first address of a link, on a thread in the link's namespace A.
class Receiver {
public:
    Receiver(const TestNetwork& network, int link)
        : thread([this, &network, link](std::stop_token stop) {
              TestNetwork::EnterNamespace(network.NamespaceA());
              const FileDescriptor udp(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
              const sockaddr_in address =
                  SocketAddress(network.Links()[std::size_t(link)].addressA, MonitoredPort);
              setsockopt(udp.Get(), SOL_SOCKET, SO_RCVTIMEO, &ReceiveWait, sizeof ReceiveWait);
              bound.set_value(bind(udp.Get(), reinterpret_cast<const sockaddr*>(&address),
                                   sizeof address) == 0);
              char datagram[2048];
              while (!stop.stop_requested())
                  if (recv(udp.Get(), datagram, sizeof datagram, 0) >= 0)
                      received.fetch_add(1, std::memory_order_relaxed);
          }),
          taken(bound.get_future().get()) {}
    bool Bound() const { return taken; }
    long Received() const { return received.load(); }

private:
    std::promise<bool> bound;
    std::atomic<long> received{0};
    std::jthread thread;
    bool taken;
};

// Traffic the window does not monitor.
struct Traffic {
    std::string what;
    const TestNetwork& network;
    int link;
    std::unique_ptr<Receiver> receiver;
};

// The figures of one stream's runs, a datagram, by phase for the summary.
struct Figures {
    std::vector<double> process;
    std::vector<double> programs;
    std::vector<double> softirq;
};

// The median, which one run disturbed by the machine's other work does not move far.
double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::ranges::sort(values);
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string Listed(const std::map<__u32, ProgramRuns>& programs) {
    std::string list;
    for (const auto& [id, program] : programs)
        list += (list.empty() ? "" : ", ") + program.name + " " + std::to_string(id);
    return list.empty() ? "none" : list;
}

// The capture helper on its own, started as the window starts it: its capture goes to a socket
// whose other end this keeps and empties, as the window would (it ends when that end closes).
class LoneHelper {
public:
    explicit LoneHelper(const std::string& interface) {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return;
        const char* program = TALVANE_CAPTURE_HELPER;
        pid = fork();
        if (pid == 0) {
            dup2(ends[1], STDOUT_FILENO);
            execl(program, program, interface.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ends[1]);
        reader = std::jthread([stream = ends[0]] {
            char buffer[65536];
            while (read(stream, buffer, sizeof buffer) > 0) {
            }
            close(stream);
        });
    }
    ~LoneHelper() { StopProgram(pid); }
    LoneHelper(const LoneHelper&) = delete;
    LoneHelper& operator=(const LoneHelper&) = delete;

private:
    pid_t pid = -1;
    std::jthread reader;
};

// What runs beside the traffic: nothing, the capture helper alone (started as the window starts
// it, its kernel programs attached, nothing captured), or the window with its helper.
enum class Beside { Nothing, Helper, Window };
constexpr const char* BesideNames[] = {"nothing", "helper", "window"};

class Bench {
public:
    Bench(std::vector<Traffic>& traffic, const std::string& monitored, BenchDisplay& display,
          RuntimeDirectory& runtime)
        : traffic(traffic), monitored(monitored), display(display), runtime(runtime) {}

    void Phase(Beside beside) {
        const std::size_t others = Attached().size();
        std::unique_ptr<WindowProcess> window;
        std::unique_ptr<LoneHelper> helper;
        if (beside == Beside::Window) {
            window = std::make_unique<WindowProcess>(display.Name(), runtime.path);
            if (!window->Ask())
                std::printf("the window did not answer\n");
        } else if (beside == Beside::Helper) {
            helper = std::make_unique<LoneHelper>(monitored);
        }
        // The helper attaches its programs once its capture is open; they go with it.
        const auto settled = Clock::now() + 10s;
        while (Clock::now() < settled && beside != Beside::Nothing && Attached().size() == others)
            std::this_thread::sleep_for(100ms);
        const long handedBefore = window ? window->Settled().handed : 0;
        const Spent idleStart;
        std::this_thread::sleep_for(IdleLength);
        const Cost idle = Between(idleStart, Spent());
        const std::map<__u32, ProgramRuns> attached = Attached();
        std::printf("beside the traffic %s: kernel programs at the cgroup2 root for datagrams in "
                    "and out: %s%s; no traffic: machine %5.2f %% of a core\n",
                    BesideNames[int(beside)], Listed(attached).c_str(),
                    beside == Beside::Nothing && !attached.empty()
                        ? " (another capture helper's: not free of kernel programs)"
                        : "",
                    100 * idle.Busy() / idle.seconds);
        for (Traffic& stream : traffic) {
            for (const int rate : Rates)
                Run(stream, rate, beside);
        }
        if (window)
            std::printf("  the window handed over %ld of these datagrams\n",
                        window->Settled().handed - handedBefore);
    }

    void Summary(int turns) {
        std::printf("medians of %d turns, a datagram, beside nothing / the helper alone / the "
                    "window:\n",
                    turns);
        for (const Traffic& stream : traffic) {
            for (const int rate : Rates) {
                const auto medians = [&](std::vector<double> Figures::*field) {
                    std::string text;
                    for (const Beside beside : {Beside::Nothing, Beside::Helper, Beside::Window}) {
                        const Figures& figures = summary[{stream.what, rate, beside}];
                        char median[16];
                        std::snprintf(median, sizeof median, "%5.2f", Median(figures.*field));
                        text += (text.empty() ? "" : " / ") + std::string(median);
                    }
                    return text + " us";
                };
                std::printf("  %-40s %6d/s: sender and receiver %s; kernel programs %s; "
                            "softirq %s\n",
                            stream.what.c_str(), rate, medians(&Figures::process).c_str(),
                            medians(&Figures::programs).c_str(),
                            medians(&Figures::softirq).c_str());
            }
        }
    }

private:
    std::map<__u32, ProgramRuns> Attached() { return AttachedPrograms().value_or(none); }

    void Run(Traffic& stream, int rate, Beside beside) {
        const long receivedBefore = stream.receiver->Received();
        const std::map<__u32, ProgramRuns> programsBefore = Attached();
        const Spent start;
        const int sent =
            PeerSender::Stream(stream.network.NamespaceB(),
                               BenchStream(stream.network, rate * int(RunLength.count()), rate,
                                           RunLength + 5s, stream.link))
                .Wait();
        std::this_thread::sleep_for(100ms);
        const Cost cost = Between(start, Spent());
        double programRuns = 0;
        double programSeconds = 0;
        for (const auto& [id, after] : Attached()) {
            const auto before = programsBefore.find(id);
            const ProgramRuns from = before != programsBefore.end() ? before->second : after;
            programRuns += static_cast<double>(after.runs - from.runs);
            programSeconds += static_cast<double>(after.nanoseconds - from.nanoseconds) / 1e9;
        }
        const double perDatagram = 1e6 / std::max(sent, 1);
        std::printf("  %-7s %-40s %6d/s: sent %7d, received %7ld; sender and receiver %5.2f "
                    "us a datagram; kernel programs %4.2f runs, "
                    "%4.2f us a datagram; machine user %5.1f %%, system %5.1f %%, softirq "
                    "%5.1f %% of a core, softirq %4.2f us a datagram\n",
                    BesideNames[int(beside)], stream.what.c_str(), rate, sent,
                    stream.receiver->Received() - receivedBefore, cost.process * perDatagram,
                    programRuns / std::max(sent, 1), programSeconds * perDatagram,
                    100 * cost.machineUser / cost.seconds, 100 * cost.machineSystem / cost.seconds,
                    100 * cost.softirq / cost.seconds, cost.softirq * perDatagram);
        Figures& figures = summary[{stream.what, rate, beside}];
        figures.process.push_back(cost.process * perDatagram);
        figures.programs.push_back(programSeconds * perDatagram);
        figures.softirq.push_back(cost.softirq * perDatagram);
    }

    const std::map<__u32, ProgramRuns> none;
    std::vector<Traffic>& traffic;
    const std::string& monitored;
    BenchDisplay& display;
    RuntimeDirectory& runtime;
    std::map<std::tuple<std::string, int, Beside>, Figures> summary;
};

// The index of an interface inside a namespace.
unsigned IndexIn(const std::string& namespaceName, const std::string& interfaceName) {
    unsigned index = 0;
    std::thread([&] {
        TestNetwork::EnterNamespace(namespaceName);
        index = if_nametoindex(interfaceName.c_str());
    }).join();
    return index;
}

} // namespace

int main(int argc, char** argv) {
    if (WindowProcess::IsChild(argc, argv))
        return WindowProcess::Serve(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int turns = argc > 1 ? std::max(1, std::atoi(argv[1])) : DefaultTurns;
    if (!TestNetwork::HaveRoot()) {
        std::printf("unmonitored_cost_bench needs root: it builds network namespaces and veth "
                    "pairs and asks the kernel which programs are attached. Nothing was "
                    "measured.\n");
        return 0;
    }
    BenchDisplay display(93);
    if (display.Name().empty()) {
        std::printf("no DISPLAY and Xvfb cannot start (Debian package xvfb). Nothing was "
                    "measured.\n");
        return 1;
    }
    RuntimeDirectory runtime;
    // Two other namespaces, whose link's interface has the same index as the monitored one.
    std::unique_ptr<TestNetwork> elsewhere;
    try {
        elsewhere = std::make_unique<TestNetwork>(1);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "cannot build the test network: %s\n", failure.what());
        return 1;
    }
    // The window monitors the first link of these; the second is another interface beside it.
    const std::optional<BenchNetwork> bench = EnterBenchNetwork(std::nullopt, 2);
    if (!bench)
        return 1;
    const TestNetwork& monitored = *bench->network;
    const auto where = [](const TestNetwork& network, int link) {
        const TestNetwork::Link& chosen = network.Links()[std::size_t(link)];
        return chosen.interfaceA + " (index " +
               std::to_string(IndexIn(network.NamespaceA(), chosen.interfaceA)) + ")";
    };
    std::vector<Traffic> traffic;
    traffic.push_back({"another link beside the monitored one", monitored, 1, nullptr});
    traffic.push_back({"a link of two other namespaces", *elsewhere, 0, nullptr});
    for (Traffic& stream : traffic) {
        stream.receiver = std::make_unique<Receiver>(stream.network, stream.link);
        if (!stream.receiver->Bound()) {
            std::printf("cannot take the receiving port. Nothing was measured.\n");
            return 1;
        }
    }
    std::printf("the window monitors %s; the traffic crosses %s beside it and %s of two other "
                "namespaces; %zu-byte UDP datagrams for %lld s at each rate; %ld clock ticks a "
                "second\n",
                where(monitored, 0).c_str(), where(monitored, 1).c_str(),
                where(*elsewhere, 0).c_str(), PayloadSize,
                static_cast<long long>(RunLength.count()), sysconf(_SC_CLK_TCK));
    // The kernel counts its programs' runs and run time only while asked to, for all of them.
    bpf_attr statistics{};
    statistics.enable_stats.type = BPF_STATS_RUN_TIME;
    const FileDescriptor counting(static_cast<int>(Bpf(BPF_ENABLE_STATS, statistics)));
    if (counting.Get() < 0)
        std::printf("the kernel does not count its programs' run time: their figures are 0\n");
    Bench measuring(traffic, monitored.Links().front().interfaceA, display, runtime);
    for (int turn = 0; turn < turns; ++turn) {
        for (const Beside beside : {Beside::Nothing, Beside::Helper, Beside::Window})
            measuring.Phase(beside);
    }
    measuring.Summary(turns);
    return 0;
}
