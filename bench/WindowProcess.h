#pragma once

#include "BenchSupport.h"

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace talvane {

// What the monitoring window says of itself when asked.
struct WindowCounts {
    // Datagrams handed over to the window.
    long handed = 0;
    // Handed over but not recorded: turned away by the filter.
    long filtered = 0;
    long kernelDrops = 0;
    // The total the status bar shows.
    long shown = 0;
    // Records in the list.
    long records = 0;
};

// The program's window in a process of its own, as a user runs it: on an X display, its records
// in the given runtime directory, monitoring the first address from the start. The benchmark's
// own executable is started again as that process; its main hands over to Serve when IsChild.
class WindowProcess {
public:
    WindowProcess(const std::string& display, const std::string& runtimeDirectory);
    // Closes the window and waits for the process to end.
    ~WindowProcess();

    WindowProcess(const WindowProcess&) = delete;
    WindowProcess& operator=(const WindowProcess&) = delete;

    static bool IsChild(int argc, char** argv);
    // The child's side: answers each question with its counts, and closes the window when the
    // benchmark goes.
    static int Serve(int argc, char** argv);

    // nullopt when the window does not answer within 10 s.
    std::optional<WindowCounts> Ask();
    // Waits until the window has taken in everything that was sent: its count stops rising.
    WindowCounts Settled();
    pid_t Pid() const { return pid; }

private:
    pid_t pid = -1;
    int request = -1;
    int reply = -1;
};

// Starts a program with its output thrown away.
pid_t StartProgram(const std::vector<std::string>& arguments);
// Ends a program started so, if it was.
void StopProgram(pid_t pid);
bool Exited(pid_t pid);

// The X display the window uses: DISPLAY when it is set, otherwise a private Xvfb on the first
// free display from firstNumber, which goes with this object.
class BenchDisplay {
public:
    explicit BenchDisplay(int firstNumber);
    ~BenchDisplay();

    BenchDisplay(const BenchDisplay&) = delete;
    BenchDisplay& operator=(const BenchDisplay&) = delete;

    // Empty when there is no DISPLAY and Xvfb cannot start.
    const std::string& Name() const { return name; }

private:
    std::string name;
    pid_t xvfb = -1;
};

// A desktop session keeps its runtime directory in memory; without one, the benchmark makes one
// there for the run, so that the record files are created as in a fresh session.
class RuntimeDirectory {
public:
    RuntimeDirectory();
    ~RuntimeDirectory();

    RuntimeDirectory(const RuntimeDirectory&) = delete;
    RuntimeDirectory& operator=(const RuntimeDirectory&) = delete;

    std::string path;

private:
    bool owned = false;
};

// What a benchmark of the window's process stands on: root, a display, a runtime directory, the
// two namespaces with the monitored port held in A (the calling thread's from now on) and the
// window, answering. When one of them cannot be had, Ready is false and stdout says why.
class WindowBench {
public:
    WindowBench(const char* benchName, int firstDisplay);

    bool Ready() const { return window != nullptr; }
    // What the benchmark ends with when not ready: without root nothing is measured, which is
    // not a failure.
    int ExitCode() const { return Ready() || !TestNetwork::HaveRoot() ? 0 : 1; }
    const TestNetwork& Network() const { return *network->network; }
    WindowProcess& Window() { return *window; }

    RuntimeDirectory runtime;
    std::unique_ptr<BenchDisplay> display;

private:
    std::optional<BenchNetwork> network;
    std::unique_ptr<WindowProcess> window;
};

} // namespace talvane
