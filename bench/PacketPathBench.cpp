// Drives the main window's packet path (limit, classification, record store and file, row, dump,
// owner lookup) with synthetic datagrams on the offscreen platform, without capture, and prints
// what one datagram costs the window's thread, for accepted and for rejected datagrams.

#include "BenchSupport.h"
#include "capture/PortOwnerLookup.h"
#include "filtering/FilterDialog.h"
#include "filtering/FilterFile.h"
#include "records/RecordPanel.h"
#include "support/TestNetwork.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
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

void Run(const char* name, MainWindow& window, const std::vector<std::uint8_t>& datagram) {
    const int recordsBefore = window.RecordsPanel().Records().Count();
    const double cpuBefore = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const CaptureTime captured =
        std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
    for (int index = 0; index < Datagrams; ++index) {
        window.HandleDatagram(datagram, captured);
        if (index % DatagramsPerLoopTurn == 0)
            QCoreApplication::processEvents();
    }
    window.RecordsPanel().Refresh();
    QCoreApplication::processEvents();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = ThreadCpuSeconds() - cpuBefore;
    std::printf("%-34s %9.0f datagrams/s  %7.2f us/datagram (window thread cpu %7.2f us)  "
                "records %d -> %d\n",
                name, Datagrams / seconds, seconds * 1e6 / Datagrams, cpu * 1e6 / Datagrams,
                recordsBefore, window.RecordsPanel().Records().Count());
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
    window.show();
    QCoreApplication::processEvents();

    FilterSettings settings;
    settings.filterLocalPortText = std::to_string(FilteredPort);
    const std::filesystem::path lastFile = FilterDialog::LastFile(environment.settingsDirectory);
    std::filesystem::create_directories(lastFile.parent_path());
    FilterFile::Save(lastFile, settings);
    window.ReloadActiveFilter();

    const std::vector<std::uint8_t> payload(120, 0x61);
    std::printf("packet path of the main window, %d datagrams each, UDP with 120 payload bytes\n",
                Datagrams);
    const std::vector<std::uint8_t> otherHosts =
        TestPackets::UdpDatagram(Peer, Ipv4Address{{10, 1, 2, 4}}, 40000, 53, payload);
    // The first 9999 records create their files; after the list has filled, they are rewritten.
    Run("accepted, files created", window, otherHosts);
    Run("accepted, files rewritten", window, otherHosts);
    Run("accepted, owner looked up", window,
        TestPackets::UdpDatagram(Peer, Local, 40000, ownedPort, payload));
    Run("rejected by the local port filter", window,
        TestPackets::UdpDatagram(Peer, Local, 40000, FilteredPort, payload));
    MeasureOwnerLookup(ownedPort);
    close(socketFd);
    return 0;
}
