// Measures what monitoring costs the whole program: the window runs in a process of its own on
// an X display (a private Xvfb unless DISPLAY is set), monitoring an address in one network
// namespace while a sender in another sends UDP datagrams to a port this benchmark holds, so
// every datagram is accepted, recorded and owned. Prints the process's CPU time with no traffic,
// at ordinary rates and the loss at high rates, a burst's record rate, and the same CPU figures
// for tcpdump capturing the same link at the same time.

#include "BenchSupport.h"
#include "records/RecordPanel.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
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
constexpr int LossRates[] = {10000, 20000, 40000, 60000, 80000};
constexpr int BurstSize = 12000;
constexpr auto SettleQuiet = 500ms;

// What the monitoring window says of itself when asked.
struct Counts {
    long handed = 0;
    long filtered = 0;
    long dropped = 0;
};

// The monitor's side: the program's window, which answers each byte on `request` with its
// counts on `reply` and closes when `request` closes.
int RunMonitor(int argc, char** argv, int request, int reply) {
    QApplication application(argc, argv);
    const QTemporaryDir programDirectory;
    MainWindow window(BenchEnvironment(programDirectory));
    window.show();
    window.BeginMonitor();
    QSocketNotifier asked(request, QSocketNotifier::Read);
    QObject::connect(&asked, &QSocketNotifier::activated, &window, [&] {
        char byte = 0;
        if (read(request, &byte, 1) != 1) {
            window.close();
            application.quit();
            return;
        }
        const auto statistics = window.Engine().Statistics();
        const std::string line = std::to_string(window.Engine().DatagramTotal()) + " " +
                                 std::to_string(window.Engine().DatagramBalance() -
                                                window.RecordsPanel().Records().Count()) +
                                 " " + std::to_string(statistics ? statistics->dropped : 0) + "\n";
        (void)!write(reply, line.data(), line.size());
    });
    return application.exec();
}

class Monitor {
public:
    Monitor(const std::string& self, const std::string& display,
            const std::string& runtimeDirectory) {
        int requests[2];
        int replies[2];
        if (pipe2(requests, O_CLOEXEC) != 0 || pipe2(replies, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        pid = fork();
        if (pid == 0) {
            dup2(requests[0], 3);
            dup2(replies[1], 4);
            setenv("DISPLAY", display.c_str(), 1);
            setenv("XDG_RUNTIME_DIR", runtimeDirectory.c_str(), 1);
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            execl(self.c_str(), self.c_str(), "--monitor", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(requests[0]);
        close(replies[1]);
        request = requests[1];
        reply = replies[0];
    }
    ~Monitor() {
        close(request);
        waitpid(pid, nullptr, 0);
        close(reply);
    }

    std::optional<Counts> Ask() {
        if (write(request, "?", 1) != 1)
            return std::nullopt;
        std::string line;
        for (char byte = 0; byte != '\n';) {
            pollfd ready{reply, POLLIN, 0};
            if (poll(&ready, 1, 10000) != 1 || read(reply, &byte, 1) != 1)
                return std::nullopt;
            line += byte;
        }
        Counts counts;
        std::istringstream(line) >> counts.handed >> counts.filtered >> counts.dropped;
        return counts;
    }

    pid_t Pid() const { return pid; }

private:
    pid_t pid = -1;
    int request = -1;
    int reply = -1;
};

// A process's CPU time so far, all its threads, user and system.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index >= 14)
            ticks += std::stod(field);
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Both processes' share of one core over a stretch of time.
class CpuShare {
public:
    CpuShare(pid_t monitor, pid_t tcpdump) : monitor(monitor), tcpdump(tcpdump) { Restart(); }
    void Restart() {
        start = Clock::now();
        monitorStart = CpuSeconds(monitor);
        tcpdumpStart = tcpdump > 0 ? CpuSeconds(tcpdump) : 0;
    }
    std::string Text() const {
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        char text[96];
        const double ours = 100 * (CpuSeconds(monitor) - monitorStart) / seconds;
        if (tcpdump > 0)
            std::snprintf(text, sizeof text, "%6.2f %%   tcpdump %6.2f %%", ours,
                          100 * (CpuSeconds(tcpdump) - tcpdumpStart) / seconds);
        else
            std::snprintf(text, sizeof text, "%6.2f %%   tcpdump -", ours);
        return text;
    }

private:
    pid_t monitor;
    pid_t tcpdump;
    Clock::time_point start;
    double monitorStart = 0;
    double tcpdumpStart = 0;
};

pid_t StartProgram(const std::vector<std::string>& arguments) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void StopProgram(pid_t pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

bool Exited(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == pid;
}

// Waits until the window has taken in everything that was sent: its count stops rising.
Counts Settled(Monitor& monitor) {
    Counts last = monitor.Ask().value_or(Counts{});
    auto quietSince = Clock::now();
    while (Clock::now() - quietSince < SettleQuiet) {
        std::this_thread::sleep_for(50ms);
        const Counts now = monitor.Ask().value_or(last);
        if (now.handed != last.handed)
            quietSince = Clock::now();
        last = now;
    }
    return last;
}

UdpStream StreamOf(const TestNetwork& network, int count, int rate, Clock::duration length) {
    return BenchStream(network, count, rate,
                       std::chrono::duration_cast<std::chrono::milliseconds>(length) + 2s);
}

std::string FreeDisplay() {
    for (int number = 90; number < 200; ++number) {
        if (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) != 0)
            return ":" + std::to_string(number);
    }
    return ":90";
}

// A desktop session keeps its runtime directory in memory; without one, the benchmark makes one
// there for the run, so that the record files are created as in a fresh session.
class RuntimeDirectory {
public:
    RuntimeDirectory() {
        if (const char* given = getenv("XDG_RUNTIME_DIR"); given != nullptr && *given != '\0') {
            path = given;
            return;
        }
        char made[] = "/dev/shm/talvane-bench-XXXXXX";
        if (mkdtemp(made) != nullptr)
            path = made;
        owned = !path.empty();
    }
    ~RuntimeDirectory() {
        std::error_code ignored;
        if (owned)
            std::filesystem::remove_all(path, ignored);
    }
    RuntimeDirectory(const RuntimeDirectory&) = delete;
    RuntimeDirectory& operator=(const RuntimeDirectory&) = delete;

    std::string path;

private:
    bool owned = false;
};

// The parts of the run, each printing its figures.
struct Measurement {
    Monitor& monitor;
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
            const Counts before = Settled(monitor);
            const int count = rate * static_cast<int>(OrdinaryLength.count());
            share.Restart();
            const int sent = PeerSender::Stream(network.NamespaceB(),
                                                StreamOf(network, count, rate, OrdinaryLength))
                                 .Wait();
            const std::string cpu = share.Text();
            const Counts after = Settled(monitor);
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
            const Counts before = Settled(monitor);
            const int count = rate * static_cast<int>(LossLength.count());
            const int sent =
                PeerSender::Stream(network.NamespaceB(), StreamOf(network, count, rate, LossLength))
                    .Wait();
            const Counts after = Settled(monitor);
            const long handed = after.handed - before.handed;
            std::printf("%6d datagrams/s for %lld s: sent %6d, handed over %6ld, kernel "
                        "drops %ld, lost %ld\n",
                        rate, static_cast<long long>(LossLength.count()), sent, handed,
                        after.dropped - before.dropped, sent - handed);
            noLossYet = noLossYet && sent == count && handed == sent;
            if (noLossYet)
                lossless = rate;
        }
        std::printf("highest lossless rate tried: %d datagrams/s\n", lossless);
    }

    void Burst() {
        const Counts before = Settled(monitor);
        const auto start = Clock::now();
        PeerSender burst =
            PeerSender::Stream(network.NamespaceB(), StreamOf(network, BurstSize, 0, 5s));
        Counts now = before;
        while (now.handed - before.handed < BurstSize && Clock::now() - start < 20s) {
            std::this_thread::sleep_for(2ms);
            now = monitor.Ask().value_or(now);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const int sent = burst.Wait();
        const Counts after = Settled(monitor);
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
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const RuntimeDirectory runtime;
    const std::string& runtimeDirectory = runtime.path;
    if (!TestNetwork::HaveRoot()) {
        std::printf("monitor_cpu_bench needs root: it builds network namespaces and a veth pair "
                    "to send its traffic through. Nothing was measured.\n");
        return 0;
    }
    pid_t xvfb = -1;
    std::string display = getenv("DISPLAY") != nullptr ? getenv("DISPLAY") : "";
    if (display.empty()) {
        display = FreeDisplay();
        xvfb = StartProgram({"Xvfb", display, "-screen", "0", "1280x900x24", "-nolisten", "tcp"});
        std::this_thread::sleep_for(1s);
        if (Exited(xvfb)) {
            std::printf("no DISPLAY and Xvfb cannot start (Debian package xvfb). Nothing was "
                        "measured.\n");
            return 1;
        }
    }
    // The window, the port's owner and tcpdump live in namespace A; fork keeps the thread's.
    const std::optional<BenchNetwork> bench = EnterBenchNetwork(MonitoredPort);
    if (!bench) {
        StopProgram(xvfb);
        return 1;
    }
    const TestNetwork* network = bench->network.get();
    int result = 0;
    {
        Monitor monitor(self, display, runtimeDirectory);
        const pid_t tcpdump = StartProgram(
            {"tcpdump", "-i", network->Links().front().interfaceA, "-n", "-w", "/dev/null", "udp"});
        std::this_thread::sleep_for(2s);
        const bool haveTcpdump = !Exited(tcpdump);
        if (!monitor.Ask()) {
            std::printf("the monitoring window did not answer. Nothing was measured.\n");
            result = 1;
        } else {
            std::printf("window on display %s, runtime directory %s; tcpdump %s\n", display.c_str(),
                        runtimeDirectory.c_str(),
                        haveTcpdump ? "capturing the same link"
                                    : "not installed (Debian package "
                                      "tcpdump): no figures for it");
            Measurement measurement{monitor, *network,
                                    CpuShare(monitor.Pid(), haveTcpdump ? tcpdump : -1)};
            for (const Part part : parts)
                (measurement.*part)();
        }
        StopProgram(haveTcpdump ? tcpdump : -1);
    }
    StopProgram(xvfb);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--monitor")
        return RunMonitor(argc, argv, 3, 4);
    const std::optional<std::vector<Part>> parts = PartsOf(argc, argv);
    if (!parts) {
        std::fprintf(stderr, "usage: monitor_cpu_bench [idle] [ordinary] [loss] [burst]\n");
        return 2;
    }
    return RunBench(*parts);
}
