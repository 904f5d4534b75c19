// Measures the hand-over of datagrams from a worker thread to the window's thread alone, without
// capture: how many datagrams per second it carries and what it costs the window's thread.

#include "ui/WindowHandover.h"

#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <time.h>
#include <vector>

using namespace talvane;

namespace {

struct CountingWindow : DatagramSink {
    long arrived = 0;
    long counted = 0;
    void Arrived(const CapturedDatagram&) override { ++arrived; }
    void Counted() override { ++counted; }
    void CaptureEnded(const std::string&) override {}
};

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void PinCurrentThread(const cpu_set_t& cpus) {
    pthread_setaffinity_np(pthread_self(), sizeof cpus, &cpus);
}

// Hands the datagrams over `together` at a time, as many as a capture block brings.
void Run(QApplication& app, const char* name, long datagrams, long together,
         const cpu_set_t& cpus) {
    CountingWindow window;
    WindowHandover handover(window, nullptr);
    PinCurrentThread(cpus);
    std::atomic<bool> finished{false};
    const double cpuBefore = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        PinCurrentThread(cpus);
        const std::vector<CapturedDatagram> block(static_cast<std::size_t>(together));
        for (long index = 0; index < datagrams; index += together)
            handover.HandOver(block);
        finished = true;
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (finished)
            app.quit();
    });
    poll.start(5);
    app.exec();
    worker.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double windowCpu = ThreadCpuSeconds() - cpuBefore;
    std::printf("%-30s %10ld %14.0f %16.3f\n", name, window.counted, double(datagrams) / seconds,
                windowCpu / double(datagrams) * 1e6);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long datagrams = argc > 1 ? std::atol(argv[1]) : 200000;

    cpu_set_t all;
    sched_getaffinity(0, sizeof all, &all);
    cpu_set_t firstCpu;
    CPU_ZERO(&firstCpu);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &firstCpu);
            break;
        }
    }

    std::printf("%-30s %10s %14s %16s\n", "threads", "datagrams", "datagrams/s", "window us/dgram");
    Run(app, "on any cores, one at a time", datagrams, 1, all);
    Run(app, "one core, one at a time", datagrams / 4, 1, firstCpu);
    Run(app, "one core, ten at a time", datagrams, 10, firstCpu);
    return 0;
}
