// Drives the main window's packet path (limit, classification, record store and file, row, dump,
// owner lookup) with synthetic datagrams on the offscreen platform, without capture, and prints
// what one datagram costs the window's thread, for accepted and for rejected datagrams; then what
// classification alone costs with an empty filter and with a settings file near its size limit.

#include "BenchSupport.h"
#include "capture/PortOwnerLookup.h"
#include "filtering/FilterDialog.h"
#include "filtering/FilterFile.h"
#include "filtering/PatternValidation.h"
#include "records/RecordView.h"
#include "support/TestNetwork.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

using namespace talvane;

namespace {

// A documentation address: no interface holds it, so the window opens no capture.
const Ipv4Address Local{{192, 0, 2, 1}};
const Ipv4Address Peer{{10, 1, 2, 3}};
constexpr std::uint16_t FilteredPort = 9;
// The local port of the datagram classified against a settings file near its size limit, from
// PeerPort: no process holds it.
constexpr std::uint16_t UnownedPort = 5000;
constexpr int Datagrams = 30000;
// The window's loop runs between datagrams as it does between hand-overs.
constexpr int DatagramsPerLoopTurn = 16;

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// A UDP port of this process on every address, so that accepted datagrams have an owner to look
// up.
std::uint16_t HoldUdpPort(int& socketFd) {
    socketFd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof address;
    bind(socketFd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

void Run(const char* name, const WindowProbe& probe, const std::vector<std::uint8_t>& datagram) {
    const int recordsBefore = probe.RecordsView().Book().Count();
    const double cpuBefore = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const CaptureTime captured =
        std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
    for (int index = 0; index < Datagrams; ++index) {
        probe.HandleDatagram(datagram, captured);
        if (index % DatagramsPerLoopTurn == 0)
            QCoreApplication::processEvents();
    }
    probe.RecordsView().Refresh();
    QCoreApplication::processEvents();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = ThreadCpuSeconds() - cpuBefore;
    std::printf("%-34s %9.0f datagrams/s  %7.2f us/datagram (window thread cpu %7.2f us)  "
                "records %d -> %d\n",
                name, Datagrams / seconds, seconds * 1e6 / Datagrams, cpu * 1e6 / Datagrams,
                recordsBefore, probe.RecordsView().Book().Count());
}

void MeasureOwnerLookup(std::uint16_t port) {
    PortOwnerLookup lookup;
    const SocketQuery query{Transport::Udp, Local, port, Peer, 40000};
    std::string name = lookup.Owner(query).name;
    constexpr int Lookups = 20000;
    const auto start = std::chrono::steady_clock::now();
    int found = 0;
    for (int index = 0; index < Lookups; ++index)
        found += lookup.Owner(query).status == OwnerAnswer::Status::Named ? 1 : 0;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-34s %9.2f us/lookup (%d of %d found, owner %s)\n",
                "owner lookup, owned UDP port", seconds * 1e6 / Lookups, found, Lookups,
                name.c_str());
}

// Every alternative as wide as the widest dotted address, so that six fields of 65536 fill a
// settings file to its size limit.
constexpr std::size_t AlternativeWidth = 15;
constexpr std::size_t AlternativesPerField = 65536;

std::string WithLeadingZeros(std::string_view text, std::size_t width) {
    return std::string(width - std::min(width, text.size()), '0') + std::string(text);
}

// A dotted pattern with every octet written in three characters.
std::string WideAddress(std::string_view dotted) {
    std::string wide;
    std::size_t start = 0;
    for (int octet = 0; octet < 4; ++octet) {
        const std::size_t dot = octet < 3 ? dotted.find('.', start) : dotted.size();
        wide += WithLeadingZeros(dotted.substr(start, dot - start), 3);
        if (octet < 3)
            wide += '.';
        start = dot + 1;
    }
    return wide;
}

// The text with every choice of its digits replaced by "@": the patterns that match it.
std::vector<std::string> PatternsMatching(const std::string& text) {
    std::vector<std::size_t> digits;
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] != '.')
            digits.push_back(index);
    }
    std::vector<std::string> patterns;
    for (std::size_t mask = 0; mask < (std::size_t(1) << digits.size()); ++mask) {
        std::string pattern = text;
        for (std::size_t bit = 0; bit < digits.size(); ++bit) {
            if (mask >> bit & 1)
                pattern[digits[bit]] = '@';
        }
        patterns.push_back(pattern);
    }
    return patterns;
}

std::string Field(const std::function<std::string(std::size_t)>& alternative) {
    std::string field;
    for (std::size_t index = 0; index < AlternativesPerField; ++index) {
        if (index > 0)
            field += '|';
        field += alternative(index);
    }
    return field;
}

// A filter that passes validation and lets the datagram from Peer:PeerPort to Local:UnownedPort
// through every one of its lists: every other port filtered, a block of 65536 addresses beside the
// peer's filtered,
// and the monitored ports and addresses written again and again in every form that admits it.
FilterSettings NearLimitSettings() {
    const auto port = [](std::size_t index, std::uint16_t spared) {
        const std::size_t value = index == spared ? index + 1 : index;
        return WithLeadingZeros(std::to_string(value), AlternativeWidth);
    };
    const std::vector<std::string> localPorts = PatternsMatching(std::to_string(UnownedPort));
    const std::vector<std::string> remotePorts = PatternsMatching(std::to_string(PeerPort));
    std::vector<std::string> ends = PatternsMatching(Peer.Dotted());
    for (const std::string& pattern : PatternsMatching(Local.Dotted()))
        ends.push_back(pattern);

    FilterSettings settings;
    settings.filterLocalPortText =
        Field([&](std::size_t index) { return port(index, UnownedPort); });
    // Tens of ports at once where they do not reach the peer's.
    settings.filterRemotePortText = Field([&](std::size_t index) {
        std::string text = port(index, PeerPort);
        if (index % 10 == 0 && index / 10 != PeerPort / 10)
            text.back() = '@';
        return text;
    });
    settings.filterIpText = Field([](std::size_t index) {
        std::string text =
            WideAddress("10.2." + std::to_string(index / 256) + "." + std::to_string(index % 256));
        if (index % 4 == 0 && index % 256 >= 100)
            text.back() = '@';
        return text;
    });
    settings.monitorLocalPortText = Field([&](std::size_t index) {
        return WithLeadingZeros(localPorts[index % localPorts.size()], AlternativeWidth);
    });
    settings.monitorRemotePortText = Field([&](std::size_t index) {
        return WithLeadingZeros(remotePorts[index % remotePorts.size()], AlternativeWidth);
    });
    settings.monitorIpText =
        Field([&](std::size_t index) { return WideAddress(ends[index % ends.size()]); });
    return settings;
}

// Classification alone, the datagram already in memory, in turns of 64 for at least a second:
// nanoseconds a datagram.
double ClassificationCost(const std::vector<std::uint8_t>& datagram, const ActiveFilter& filter,
                          Classification expected) {
    constexpr int Turn = 64;
    long classified = 0;
    long otherwise = 0;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::duration<double> elapsed{};
    while (elapsed < std::chrono::seconds(1)) {
        for (int index = 0; index < Turn; ++index)
            otherwise += ClassifyPacket(datagram, Local, filter).Verdict() == expected ? 0 : 1;
        classified += Turn;
        elapsed = std::chrono::steady_clock::now() - start;
    }
    if (otherwise > 0)
        std::printf("  (%ld of %ld classified otherwise than expected)\n", otherwise, classified);
    return elapsed.count() * 1e9 / double(classified);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir programDirectory;
    int socketFd = -1;
    const std::uint16_t ownedPort = HoldUdpPort(socketFd);

    MainWindow::Environment environment = BenchEnvironment(programDirectory);
    environment.hostAddresses = [] { return std::vector<Ipv4Address>{Local}; };
    MainWindow window(environment);
    const WindowProbe probe(window);
    window.show();
    QCoreApplication::processEvents();

    FilterSettings settings;
    settings.filterLocalPortText = std::to_string(FilteredPort);
    const std::filesystem::path lastFile = FilterDialog::LastFile(environment.settingsDirectory);
    std::filesystem::create_directories(lastFile.parent_path());
    FilterFile::Save(lastFile, settings);
    probe.Session().ReloadFilter(true);

    const std::vector<std::uint8_t> payload(120, 0x61);
    std::printf("packet path of the main window, %d datagrams each, UDP with 120 payload bytes\n",
                Datagrams);
    const std::vector<std::uint8_t> otherHosts =
        TestPackets::UdpDatagram(Peer, Ipv4Address{{10, 1, 2, 4}}, 40000, 53, payload);
    // The first 9999 records create their files; after the list has filled, they are rewritten.
    Run("accepted, files created", probe, otherHosts);
    Run("accepted, files rewritten", probe, otherHosts);
    Run("accepted, owner looked up", probe,
        TestPackets::UdpDatagram(Peer, Local, 40000, ownedPort, payload));
    Run("rejected by the local port filter", probe,
        TestPackets::UdpDatagram(Peer, Local, 40000, FilteredPort, payload));
    MeasureOwnerLookup(ownedPort);

    const std::vector<std::uint8_t> toUnowned =
        TestPackets::UdpDatagram(Peer, Local, PeerPort, UnownedPort, payload);
    Run("accepted, to a port nobody holds", probe, toUnowned);
    const FilterSettings nearLimit = NearLimitSettings();
    const std::string_view invalid = PatternValidation::ValidatePatternFields(
        {nearLimit.filterLocalPortText, nearLimit.filterRemotePortText,
         nearLimit.monitorLocalPortText, nearLimit.monitorRemotePortText, nearLimit.filterIpText,
         nearLimit.monitorIpText});
    const std::size_t fileSize = FilterFile::Encode(nearLimit).size();
    std::printf("settings file near its size limit: %zu bytes of at most %zu, %zu alternatives, "
                "%s\n",
                fileSize, FilterFile::MaximumFileSize, 6 * AlternativesPerField,
                invalid.empty() ? "valid" : "INVALID");
    FilterFile::Save(lastFile, nearLimit);
    const auto reloadStart = std::chrono::steady_clock::now();
    probe.Session().ReloadFilter(true);
    std::printf(
        "%-34s %9.1f ms\n", "reading and applying it",
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - reloadStart)
            .count());
    Run("the same, settings near the limit", probe, toUnowned);
    const double empty = ClassificationCost(toUnowned, ActiveFilter{}, Classification::Accepted);
    const double full =
        ClassificationCost(toUnowned, probe.Session().Filter(), Classification::Accepted);
    std::printf("%-34s %9.1f ns/datagram\n", "classification, empty filter", empty);
    std::printf("%-34s %9.1f ns/datagram, %.2f times the empty filter's\n",
                "classification, near the limit", full, full / empty);
    close(socketFd);
    return 0;
}
