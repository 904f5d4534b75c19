#pragma once

#include "res/CommandIds.h"
#include "support/TestNetwork.h"
#include "support/WindowProbe.h"
#include "ui/MainWindow.h"

#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace talvane {

// The window's environment in a benchmark: the program's own, records where it keeps them (in
// the runtime directory, in memory), the build's capture helper, settings in a folder of the run,
// messages on stderr.
MainWindow::Environment BenchEnvironment(const QTemporaryDir& filesDirectory);

// The benchmark's two namespaces, joined by linkCount veth pairs, the calling thread in A (where
// the window lists and captures addresses, the first pair's first), and a UDP port held in A when
// one is given, so its datagrams are owned.
struct BenchNetwork {
    std::unique_ptr<TestNetwork> network;
    std::unique_ptr<UdpPortHolder> portHolder;
};
// nullopt, after saying why on stderr, when the network cannot be built.
std::optional<BenchNetwork> EnterBenchNetwork(std::optional<std::uint16_t> heldPort,
                                              int linkCount = 1);

// The benchmarks' traffic: 64-byte UDP datagrams from the peer's port in B to the held port in A.
constexpr std::uint16_t PeerPort = 40000;
constexpr std::uint16_t MonitoredPort = 50000;
constexpr std::size_t PayloadSize = 64;

// count datagrams at rate a second over a pair, the first unless told, given until timeLimit to
// be sent.
UdpStream BenchStream(const TestNetwork& network, int count, int rate,
                      std::chrono::milliseconds timeLimit, int link = 0);

} // namespace talvane
