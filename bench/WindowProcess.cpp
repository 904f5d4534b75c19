#include "WindowProcess.h"

#include "BenchSupport.h"
#include "app/MonitorApp.h"
#include "records/RecordView.h"
#include "ui/StatusBar.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace talvane {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* ChildFlag = "--window";
// The child's ends of the two pipes.
constexpr int RequestFd = 3;
constexpr int ReplyFd = 4;
constexpr auto SettleQuiet = 500ms;
constexpr int AnswerTimeoutMs = 10000;

// The number at the end of a status pane's text, as the user reads it.
long TrailingNumber(const QString& text) {
    return text.section(u' ', -1).toLong();
}

std::string CountsLine(const WindowProbe& probe) {
    const auto statistics = probe.Session().Capture().CurrentStatistics();
    const int records = probe.RecordsView().Book().Count();
    std::ostringstream line;
    line << probe.Session().DatagramTotal() << ' ' << probe.Session().DatagramBalance() - records
         << ' ' << (statistics ? statistics->dropped : 0) << ' '
         << TrailingNumber(probe.Status()->PaneText(StatusBar::StreamPane)) << ' ' << records
         << '\n';
    return line.str();
}

} // namespace

WindowProcess::WindowProcess(const std::string& display, const std::string& runtimeDirectory) {
    int requests[2];
    int replies[2];
    if (pipe2(requests, O_CLOEXEC) != 0 || pipe2(replies, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    pid = fork();
    if (pid == 0) {
        dup2(requests[0], RequestFd);
        dup2(replies[1], ReplyFd);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtimeDirectory.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        execl(self.c_str(), self.c_str(), ChildFlag, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(requests[0]);
    close(replies[1]);
    request = requests[1];
    reply = replies[0];
}

WindowProcess::~WindowProcess() {
    close(request);
    waitpid(pid, nullptr, 0);
    close(reply);
}

bool WindowProcess::IsChild(int argc, char** argv) {
    return argc >= 2 && std::string(argv[1]) == ChildFlag;
}

int WindowProcess::Serve(int argc, char** argv) {
    // The program's own application object, with its settings and skin.
    MonitorApp application(argc, argv);
    const QTemporaryDir programDirectory;
    MainWindow window(BenchEnvironment(programDirectory));
    // Right of where the programs measured beside it open their windows, so that neither draws
    // under the other.
    window.move(800, 0);
    window.show();
    const WindowProbe probe(window);
    probe.RunCommand(CommandId::BeginMonitor);
    QSocketNotifier asked(RequestFd, QSocketNotifier::Read);
    QObject::connect(&asked, &QSocketNotifier::activated, &window, [&] {
        char byte = 0;
        if (read(RequestFd, &byte, 1) != 1) {
            window.close();
            application.quit();
            return;
        }
        const std::string line = CountsLine(probe);
        (void)!write(ReplyFd, line.data(), line.size());
    });
    return application.exec();
}

std::optional<WindowCounts> WindowProcess::Ask() {
    if (write(request, "?", 1) != 1)
        return std::nullopt;
    std::string line;
    for (char byte = 0; byte != '\n';) {
        pollfd ready{reply, POLLIN, 0};
        if (poll(&ready, 1, AnswerTimeoutMs) != 1 || read(reply, &byte, 1) != 1)
            return std::nullopt;
        line += byte;
    }
    WindowCounts counts;
    std::istringstream(line) >> counts.handed >> counts.filtered >> counts.kernelDrops >>
        counts.shown >> counts.records;
    return counts;
}

WindowCounts WindowProcess::Settled() {
    WindowCounts last = Ask().value_or(WindowCounts{});
    auto quietSince = Clock::now();
    while (Clock::now() - quietSince < SettleQuiet) {
        std::this_thread::sleep_for(50ms);
        const WindowCounts now = Ask().value_or(last);
        if (now.handed != last.handed)
            quietSince = Clock::now();
        last = now;
    }
    return last;
}

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

BenchDisplay::BenchDisplay(int firstNumber) {
    if (const char* given = getenv("DISPLAY"); given != nullptr && *given != '\0') {
        name = given;
        return;
    }
    std::string free = ":" + std::to_string(firstNumber);
    for (int number = firstNumber; number < firstNumber + 100; ++number) {
        if (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) != 0) {
            free = ":" + std::to_string(number);
            break;
        }
    }
    xvfb = StartProgram({"Xvfb", free, "-screen", "0", "1680x900x24", "-nolisten", "tcp"});
    std::this_thread::sleep_for(1s);
    if (Exited(xvfb))
        xvfb = -1;
    else
        name = free;
}

BenchDisplay::~BenchDisplay() {
    StopProgram(xvfb);
}

RuntimeDirectory::RuntimeDirectory() {
    if (const char* given = getenv("XDG_RUNTIME_DIR"); given != nullptr && *given != '\0') {
        path = given;
        return;
    }
    char made[] = "/dev/shm/talvane-bench-XXXXXX";
    if (mkdtemp(made) != nullptr)
        path = made;
    owned = !path.empty();
}

RuntimeDirectory::~RuntimeDirectory() {
    std::error_code ignored;
    if (owned)
        std::filesystem::remove_all(path, ignored);
}

WindowBench::WindowBench(const char* benchName, int firstDisplay) {
    if (!TestNetwork::HaveRoot()) {
        std::printf("%s needs root: it builds network namespaces and a veth pair to send its "
                    "traffic through. Nothing was measured.\n",
                    benchName);
        return;
    }
    display = std::make_unique<BenchDisplay>(firstDisplay);
    if (display->Name().empty()) {
        std::printf("no DISPLAY and Xvfb cannot start (Debian package xvfb). Nothing was "
                    "measured.\n");
        return;
    }
    // The window and the port's owner live in namespace A; fork keeps the thread's.
    network = EnterBenchNetwork(MonitoredPort);
    if (!network)
        return;
    auto started = std::make_unique<WindowProcess>(display->Name(), runtime.path);
    if (!started->Ask()) {
        std::printf("the monitoring window did not answer. Nothing was measured.\n");
        return;
    }
    window = std::move(started);
}

} // namespace talvane
