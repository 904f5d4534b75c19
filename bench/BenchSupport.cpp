#include "BenchSupport.h"

#include "capture/CaptureEngine.h"

#include <cstdio>

namespace talvane {

MainWindow::Environment BenchEnvironment(const QTemporaryDir& filesDirectory) {
    MainWindow::Environment environment = MainWindow::Environment::OfThisProcess();
    environment.dataDirectory = filesDirectory.path().toStdString();
    environment.settingsDirectory = environment.dataDirectory;
    environment.makeCapture = [](Handover& handover) -> std::unique_ptr<CaptureSource> {
        return std::make_unique<CaptureEngine>(
            handover, CaptureEngine::HelperCaptures(TALVANE_CAPTURE_HELPER));
    };
    environment.showMessage = [](const QString& text) {
        std::fprintf(stderr, "window says: %s\n", qPrintable(text));
    };
    return environment;
}

std::optional<BenchNetwork> EnterBenchNetwork(std::optional<std::uint16_t> heldPort,
                                              int linkCount) {
    BenchNetwork bench;
    try {
        bench.network = std::make_unique<TestNetwork>(linkCount);
        TestNetwork::EnterNamespace(bench.network->NamespaceA());
        if (heldPort)
            bench.portHolder = std::make_unique<UdpPortHolder>(
                bench.network->NamespaceA(), bench.network->Links().front().addressA, *heldPort);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "cannot build the test network: %s\n", failure.what());
        return std::nullopt;
    }
    return bench;
}

UdpStream BenchStream(const TestNetwork& network, int count, int rate,
                      std::chrono::milliseconds timeLimit, int link) {
    const TestNetwork::Link& pair = network.Links()[std::size_t(link)];
    UdpStream stream;
    stream.source = pair.addressB;
    stream.destination = pair.addressA;
    stream.sourcePort = PeerPort;
    stream.destinationPort = MonitoredPort;
    stream.count = count;
    stream.payloadSize = PayloadSize;
    stream.datagramsPerSecond = rate;
    stream.timeLimit = timeLimit;
    return stream;
}

} // namespace talvane
