// Runs the program's window as a user does, in a process of its own on an X display, while a
// peer sends it a million datagrams at a steady rate, every one accepted, recorded and owned.
// Prints the process's resident memory every 100,000 datagrams, whether it grows after the list
// was first cleared, whether the status bar's total equals what was sent, and what was lost.

#include "WindowProcess.h"

#include "records/RecordBook.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace talvane;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int DefaultCount = 1'000'000;
constexpr int DefaultRate = 20'000;
constexpr int SampleEvery = 100'000;
constexpr long AllowedGrowthKiB = 2 * 1024;
constexpr auto PollInterval = 5ms;
// The sender may fall behind its pace for a while; after this much extra time it gives up.
constexpr auto SendSlack = 30s;
// Once the sender is done, the window has taken in all it will when its count stands this long.
constexpr auto QuietEnd = 1s;

// A field of /proc/<pid>/status in KiB, such as VmRSS; 0 when the process is gone.
long StatusKiB(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field + ":"))
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return 0;
}

struct Sample {
    long handed;
    long records;
    long residentKiB;
};

// Where memory is sampled: just after the rule's first clear, then every SampleEvery.
std::vector<long> SamplePoints(int count) {
    std::vector<long> points{RecordBook::Capacity + 1};
    for (long point = SampleEvery; point <= count; point += SampleEvery)
        points.push_back(point);
    return points;
}

double MiB(long kib) {
    return static_cast<double>(kib) / 1024;
}

const char* YesNo(bool holds) {
    return holds ? "yes" : "NO";
}

int RunSoak(int count, int rate) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    WindowBench bench("soak_bench", 91);
    if (!bench.Ready())
        return bench.ExitCode();
    WindowProcess& window = bench.Window();
    const TestNetwork& network = bench.Network();
    std::printf("window on display %s, runtime directory %s; %d datagrams at %d/s\n",
                bench.display->Name().c_str(), bench.runtime.path.c_str(), count, rate);
    std::printf("%12s %8s %16s\n", "handed over", "records", "resident memory");
    const auto print = [](const Sample& sample) {
        std::printf("%12ld %8ld %12.1f MiB\n", sample.handed, sample.records,
                    MiB(sample.residentKiB));
    };
    const WindowCounts start = window.Settled();
    print({start.handed, start.records, StatusKiB(window.Pid(), "VmRSS")});

    const auto sendTime = std::chrono::milliseconds(1000LL * count / rate) + SendSlack;
    PeerSender sender =
        PeerSender::Stream(network.NamespaceB(), BenchStream(network, count, rate, sendTime));
    const std::vector<long> points = SamplePoints(count);
    std::vector<Sample> samples;
    long lastHanded = 0;
    auto quietSince = Clock::now();
    while (samples.size() < points.size()) {
        std::this_thread::sleep_for(PollInterval);
        const auto now = window.Ask();
        if (!now)
            break;
        const long handedSoFar = now->handed - start.handed;
        if (handedSoFar != lastHanded) {
            lastHanded = handedSoFar;
            quietSince = Clock::now();
        } else if (sender.Finished() && Clock::now() - quietSince > QuietEnd) {
            break;
        }
        if (handedSoFar >= points[samples.size()]) {
            samples.push_back({handedSoFar, now->records, StatusKiB(window.Pid(), "VmRSS")});
            print(samples.back());
        }
    }
    const int sent = sender.Wait();
    const WindowCounts end = window.Settled();
    const long handed = end.handed - start.handed;
    if (samples.size() < points.size() || samples.back().handed != handed) {
        samples.push_back({handed, end.records, StatusKiB(window.Pid(), "VmRSS")});
        print(samples.back());
    }

    const long afterFirstClear = samples.front().residentKiB;
    const long largest =
        std::ranges::max(samples, {}, &Sample::residentKiB).residentKiB - afterFirstClear;
    const long growth = samples.back().residentKiB - afterFirstClear;
    std::printf("growth after the first clear: %+.1f MiB at the end, %+.1f MiB at most; within "
                "%.0f MiB: %s (peak resident %.1f MiB)\n",
                MiB(growth), MiB(largest), MiB(AllowedGrowthKiB),
                YesNo(largest <= AllowedGrowthKiB), MiB(StatusKiB(window.Pid(), "VmHWM")));
    std::printf("status bar shows %ld, sent %d: equal: %s\n", end.shown, sent,
                YesNo(end.shown == start.shown + sent));
    const long expectedRecords = handed > 0 ? (handed - 1) % RecordBook::Capacity + 1 : 0;
    std::printf("lost: %d not sent, %ld kernel drops, %ld not handed over, %ld handed over but "
                "not recorded; the list holds %ld records, the rule leaves %ld: nothing lost: "
                "%s\n",
                count - sent, end.kernelDrops - start.kernelDrops, sent - handed,
                end.filtered - start.filtered, end.records, expectedRecords,
                YesNo(sent == count && end.kernelDrops == start.kernelDrops && handed == sent &&
                      end.filtered == start.filtered && end.records == expectedRecords));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (WindowProcess::IsChild(argc, argv))
        return WindowProcess::Serve(argc, argv);
    const int count = argc >= 2 ? std::atoi(argv[1]) : DefaultCount;
    const int rate = argc >= 3 ? std::atoi(argv[2]) : DefaultRate;
    if (argc > 3 || count <= RecordBook::Capacity || rate <= 0) {
        std::fprintf(stderr, "usage: soak_bench [datagrams, more than %d] [datagrams a second]\n",
                     RecordBook::Capacity);
        return 2;
    }
    return RunSoak(count, rate);
}
