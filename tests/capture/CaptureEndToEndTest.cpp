#include "capture/HostAddressList.h"
#include "filtering/FilterDialog.h"
#include "filtering/FilterFile.h"
#include "res/CommandIds.h"
#include "support/TestNetwork.h"
#include "support/WindowEnvironment.h"
#include "ui/StatusBar.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

using namespace talvane;

namespace {

// Datagrams reach the window within about 10 ms and the status bar redraws at display rate;
// these waits only bound how long a broken build hangs.
constexpr int GenerousWaitMs = 10000;
constexpr std::uint16_t PeerPort = 40000;
constexpr std::uint16_t MonitoredPort = 50000;
constexpr int TestRate = 10000;

QString StreamText(int datagramTotal) {
    return QStringLiteral("监控流 %1").arg(datagramTotal);
}

QString Dotted(const Ipv4Address& address) {
    return QString::fromStdString(address.Dotted());
}

QByteArray Bytes(std::span<const std::uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

std::uint16_t BigEndian16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

// Empty when the datagram is the one the peer sent over the link as number `sequence`, IP
// header first; otherwise the first difference.
QString Mismatch(std::span<const std::uint8_t> datagram, const TestNetwork::Link& link,
                 std::uint32_t sequence, std::size_t payloadSize) {
    using namespace TestPackets;
    const std::size_t headers = Ipv4HeaderSize + UdpHeaderSize;
    if (datagram.size() < headers)
        return QStringLiteral("only %1 bytes").arg(datagram.size());
    if (datagram[0] != 0x45)
        return QStringLiteral("first byte %1, not version 4 with a 20-byte header")
            .arg(int{datagram[0]}, 2, 16);
    if (BigEndian16(datagram, 2) != datagram.size())
        return QStringLiteral("total length %1 in a buffer of %2 bytes")
            .arg(BigEndian16(datagram, 2))
            .arg(datagram.size());
    if (datagram[9] != 17)
        return QStringLiteral("protocol %1").arg(int{datagram[9]});
    if (InternetChecksum(datagram.first(Ipv4HeaderSize)) != 0)
        return QStringLiteral("IP header checksum is wrong");
    const QByteArray addresses = Bytes(datagram.subspan(12, 8));
    const QByteArray expectedAddresses = Bytes(link.addressB.octets) + Bytes(link.addressA.octets);
    if (addresses != expectedAddresses)
        return QStringLiteral("addresses %1").arg(QString::fromLatin1(addresses.toHex('.')));
    if (BigEndian16(datagram, 20) != PeerPort || BigEndian16(datagram, 22) != MonitoredPort)
        return QStringLiteral("ports %1 -> %2")
            .arg(BigEndian16(datagram, 20))
            .arg(BigEndian16(datagram, 22));
    if (BigEndian16(datagram, 24) != datagram.size() - Ipv4HeaderSize)
        return QStringLiteral("UDP length %1").arg(BigEndian16(datagram, 24));
    const QByteArray payload = Bytes(datagram.subspan(headers));
    if (payload != Bytes(PeerSender::Payload(sequence, payloadSize)))
        return QStringLiteral("payload of %1 bytes is not datagram %2's")
            .arg(payload.size())
            .arg(sequence);
    return {};
}

// Copies every datagram the window is handed.
class HandedOver {
public:
    explicit HandedOver(MainWindow& window) {
        QObject::connect(&window, &MainWindow::DatagramArrived, &context,
                         [this](std::span<const std::uint8_t> datagram, CaptureTime time) {
                             datagrams.emplace_back(datagram.begin(), datagram.end());
                             captured.push_back(time);
                         });
    }

    int Count() const { return static_cast<int>(datagrams.size()); }

    // The peer's sequence numbers, in the order handed over.
    std::vector<std::uint32_t> Sequences() const {
        std::vector<std::uint32_t> sequences;
        for (const std::vector<std::uint8_t>& datagram : datagrams)
            sequences.push_back(PeerSender::SequenceOf(std::span(datagram).subspan(
                TestPackets::Ipv4HeaderSize + TestPackets::UdpHeaderSize)));
        return sequences;
    }

    std::vector<std::vector<std::uint8_t>> datagrams;
    std::vector<CaptureTime> captured;

private:
    QObject context;
};

CaptureTime Now() {
    return std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
}

// Sends and waits until the port's holder has them: the capture, which sees a datagram before
// any socket does, then holds them with their time stamps whether or not anything reads it.
bool SendAndTakeIn(UdpPortHolder& holder, const std::string& peerNamespace,
                   const UdpStream& stream) {
    const int sent = PeerSender::Stream(peerNamespace, stream).Wait();
    int taken = 0;
    return QTest::qWaitFor([&] { return (taken += holder.TakeWaiting()) >= sent; }, GenerousWaitMs);
}

} // namespace

class CaptureEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void everyDatagramIsHandedOverAndCounted();
    void datagramsArriveAsSent_data();
    void datagramsArriveAsSent();
    void paddedFrameIsCutToItsDatagram();
    void pauseHandsOverTheNextDatagramBeforeEnding();
    void onlyDatagramsCapturedAfterBeginAreHandedOver();
    void datagramsCapturedDuringAPauseAreNotHandedOverAfterBegin();
    void stopWithoutTrafficEndsTheWorkerAtOnce();
    void addressChangeWhileMonitoringCapturesOnTheNewAddress();
    void closeWhileMonitoringEndsAndRemovesRecordFiles();
    void filterFromTheLastFileDecidesEachDatagram();

private:
    UdpStream StreamOver(int linkIndex, int count, std::size_t payloadSize = 64,
                         std::uint32_t firstSequence = 0) const;
    int Send(int linkIndex, int count, std::size_t payloadSize = 64,
             std::uint32_t firstSequence = 0) const;
    const TestNetwork::Link& Link(int index) const { return network->Links().at(index); }

    std::unique_ptr<TestNetwork> network;
    std::vector<std::unique_ptr<UdpPortHolder>> portHolders;
    std::unique_ptr<WindowEnvironment> environment;
};

void CaptureEndToEndTest::initTestCase() {
    if (!TestNetwork::HaveRoot())
        QSKIP("Capturing real traffic needs root: the test builds its own network namespaces "
              "and veth pairs. Run it as root to include it.");
    try {
        network = std::make_unique<TestNetwork>(2);
        // The window, its address list and its captures all live in namespace A.
        TestNetwork::EnterNamespace(network->NamespaceA());
        for (const TestNetwork::Link& link : network->Links())
            portHolders.push_back(std::make_unique<UdpPortHolder>(network->NamespaceA(),
                                                                  link.addressA, MonitoredPort));
    } catch (const std::exception& failure) {
        QFAIL(failure.what());
    }
    const std::vector<Ipv4Address> addresses =
        HostAddressList::Order(HostAddressList::ReadInterfaces());
    QCOMPARE(addresses.size(), std::size_t{3});
    QCOMPARE(Dotted(addresses[0]), Dotted(Link(0).addressA));
    QCOMPARE(Dotted(addresses[1]), Dotted(Link(1).addressA));
}

void CaptureEndToEndTest::cleanupTestCase() {
    portHolders.clear();
    network.reset();
}

void CaptureEndToEndTest::init() {
    environment = std::make_unique<WindowEnvironment>();
    QVERIFY(environment->IsValid());
}

void CaptureEndToEndTest::cleanup() {
    QVERIFY2(environment->messages.isEmpty(),
             qPrintable(environment->messages.join(QStringLiteral(" | "))));
}

UdpStream CaptureEndToEndTest::StreamOver(int linkIndex, int count, std::size_t payloadSize,
                                          std::uint32_t firstSequence) const {
    UdpStream stream;
    stream.source = Link(linkIndex).addressB;
    stream.destination = Link(linkIndex).addressA;
    stream.sourcePort = PeerPort;
    stream.destinationPort = MonitoredPort;
    stream.count = count;
    stream.firstSequence = firstSequence;
    stream.payloadSize = payloadSize;
    stream.datagramsPerSecond = TestRate;
    return stream;
}

// The capture keeps what arrives while the window's thread waits here.
int CaptureEndToEndTest::Send(int linkIndex, int count, std::size_t payloadSize,
                              std::uint32_t firstSequence) const {
    return PeerSender::Stream(network->NamespaceB(),
                              StreamOver(linkIndex, count, payloadSize, firstSequence))
        .Wait();
}

void CaptureEndToEndTest::everyDatagramIsHandedOverAndCounted() {
    constexpr int Count = 500;
    const auto [window, probe] = environment->Open();
    HandedOver handed(*window);
    probe.RunCommand(CommandId::BeginMonitor);

    QCOMPARE(Send(0, Count), Count);

    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane), StreamText(Count),
                              GenerousWaitMs);
    QCOMPARE(probe.Session().DatagramTotal(), Count);
    QCOMPARE(handed.Count(), Count);
    for (int index = 0; index < Count; ++index) {
        const QString mismatch = Mismatch(handed.datagrams[index], Link(0), index, 64);
        QVERIFY2(mismatch.isEmpty(),
                 qPrintable(QStringLiteral("datagram %1: %2").arg(index).arg(mismatch)));
    }
}

void CaptureEndToEndTest::datagramsArriveAsSent_data() {
    QTest::addColumn<int>("payloadSize");
    QTest::newRow("sequence number only") << 4;
    // 14 + 20 + 8 + 18 = 60: a minimum frame without padding, which must not be cut.
    QTest::newRow("exactly a minimum frame") << 18;
    QTest::newRow("medium") << 700;
    QTest::newRow("largest unfragmented on the link") << 1472;
}

void CaptureEndToEndTest::datagramsArriveAsSent() {
    QFETCH(int, payloadSize);
    constexpr int Count = 20;
    const auto [window, probe] = environment->Open();
    HandedOver handed(*window);
    probe.RunCommand(CommandId::BeginMonitor);

    QCOMPARE(Send(0, Count, payloadSize), Count);

    QTRY_COMPARE_WITH_TIMEOUT(handed.Count(), Count, GenerousWaitMs);
    for (int index = 0; index < Count; ++index) {
        const QString mismatch = Mismatch(handed.datagrams[index], Link(0), index, payloadSize);
        QVERIFY2(mismatch.isEmpty(),
                 qPrintable(QStringLiteral("datagram %1: %2").arg(index).arg(mismatch)));
    }
}

void CaptureEndToEndTest::paddedFrameIsCutToItsDatagram() {
    const auto [window, probe] = environment->Open();
    HandedOver handed(*window);
    probe.RunCommand(CommandId::BeginMonitor);
    // Long datagrams first: bytes left over from them would show behind the short one.
    QCOMPARE(Send(0, 3, 1000), 3);
    QTRY_COMPARE_WITH_TIMEOUT(handed.Count(), 3, GenerousWaitMs);

    const TestNetwork::Link& link = Link(0);
    const std::vector<std::uint8_t> datagram = TestPackets::UdpDatagram(
        link.addressB, link.addressA, PeerPort, MonitoredPort, PeerSender::Payload(3, 6));
    const std::vector<std::uint8_t> frame =
        TestPackets::EthernetFrame(link.hardwareA, link.hardwareB, datagram, 60, 0xAA);
    QCOMPARE(frame.size(), std::size_t{60});
    QVERIFY(frame.size() > TestPackets::EthernetHeaderSize + datagram.size());
    QCOMPARE(PeerSender::Frame(network->NamespaceB(), link.interfaceB, frame).Wait(), 1);

    QTRY_COMPARE_WITH_TIMEOUT(handed.Count(), 4, GenerousWaitMs);
    QCOMPARE(Bytes(handed.datagrams[3]), Bytes(datagram));
    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane), StreamText(4),
                              GenerousWaitMs);
}

void CaptureEndToEndTest::pauseHandsOverTheNextDatagramBeforeEnding() {
    const auto [window, probe] = environment->Open();
    HandedOver handed(*window);
    probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(Send(0, 1), 1);
    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane), StreamText(1),
                              GenerousWaitMs);

    probe.RunCommand(CommandId::PauseMonitor);
    QCOMPARE(probe.Status()->PaneText(StatusBar::StatePane), QStringLiteral("监控状态: 暂停"));
    // Ample time for a worker that wrongly ends on a pause to have done so.
    QTest::qWait(300);
    QVERIFY(environment->engine->WorkerRunning());
    QCOMPARE(handed.Count(), 1);

    QCOMPARE(Send(0, 1, 64, 1), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!environment->engine->WorkerRunning(), GenerousWaitMs);
    QCOMPARE(handed.Count(), 2);
    QCOMPARE(probe.Session().DatagramTotal(), 2);
    const QString mismatch = Mismatch(handed.datagrams[1], Link(0), 1, 64);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane), StreamText(2),
                              GenerousWaitMs);
}

void CaptureEndToEndTest::onlyDatagramsCapturedAfterBeginAreHandedOver() {
    constexpr int Early = 30;
    constexpr int Late = 5;
    const auto [window, probe] = environment->Open();
    HandedOver handed(*window);
    QVERIFY(SendAndTakeIn(*portHolders[0], network->NamespaceB(), StreamOver(0, Early)));

    probe.RunCommand(CommandId::BeginMonitor);
    const CaptureTime beforeSending = Now();
    QCOMPARE(Send(0, Late, 64, Early), Late);
    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane), StreamText(Late),
                              GenerousWaitMs);
    const CaptureTime afterHandOver = Now();

    QCOMPARE(handed.Sequences(), (std::vector<std::uint32_t>{30, 31, 32, 33, 34}));
    for (const CaptureTime captured : handed.captured)
        QVERIFY2(beforeSending <= captured && captured <= afterHandOver,
                 qPrintable(QStringLiteral("captured %1 us after sending began, %2 us after the "
                                           "hand-over")
                                .arg((captured - beforeSending).count())
                                .arg((captured - afterHandOver).count())));
}

void CaptureEndToEndTest::datagramsCapturedDuringAPauseAreNotHandedOverAfterBegin() {
    const auto [window, probe] = environment->Open();
    HandedOver handed(*window);
    probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(Send(0, 1), 1);
    QTRY_COMPARE_WITH_TIMEOUT(handed.Count(), 1, GenerousWaitMs);
    probe.RunCommand(CommandId::PauseMonitor);
    // The waiting worker hands this one over and ends; what follows is the pause proper.
    QCOMPARE(Send(0, 1, 64, 1), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!environment->engine->WorkerRunning(), GenerousWaitMs);
    QVERIFY(SendAndTakeIn(*portHolders[0], network->NamespaceB(), StreamOver(0, 3, 64, 2)));

    probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(Send(0, 2, 64, 5), 2);
    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane), StreamText(4),
                              GenerousWaitMs);
    QCOMPARE(handed.Sequences(), (std::vector<std::uint32_t>{0, 1, 5, 6}));
}

void CaptureEndToEndTest::stopWithoutTrafficEndsTheWorkerAtOnce() {
    const auto [window, probe] = environment->Open();
    HandedOver handed(*window);
    const QString title = window->windowTitle();
    QVERIFY(title.endsWith(Dotted(Link(0).addressA)));
    probe.RunCommand(CommandId::BeginMonitor);
    // A datagram handed over shows that the worker has reached its read.
    QCOMPARE(Send(0, 1), 1);
    QTRY_COMPARE_WITH_TIMEOUT(handed.Count(), 1, GenerousWaitMs);
    QVERIFY(environment->engine->WorkerRunning());

    window->setWindowTitle(QString());
    probe.RunCommand(CommandId::StopMonitor);
    QTRY_VERIFY_WITH_TIMEOUT(!environment->engine->WorkerRunning(), GenerousWaitMs);
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(probe.Status()->PaneText(StatusBar::StatePane), QStringLiteral("监控状态: 停止"));

    // The capture was opened again on the same address: a new begin goes on counting.
    probe.RunCommand(CommandId::BeginMonitor);
    QCOMPARE(Send(0, 1, 64, 1), 1);
    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane), StreamText(2),
                              GenerousWaitMs);
    QCOMPARE(handed.Count(), 2);
}

void CaptureEndToEndTest::addressChangeWhileMonitoringCapturesOnTheNewAddress() {
    constexpr int Count = 20;
    const auto [window, probe] = environment->Open();
    HandedOver handed(*window);
    probe.RunCommand(CommandId::BeginMonitor);

    probe.AddressCombo()->setCurrentIndex(1);
    QCOMPARE(probe.Status()->PaneText(StatusBar::StatePane), QStringLiteral("监控状态: 监控"));
    QVERIFY2(window->windowTitle().endsWith(Dotted(Link(1).addressA)),
             qPrintable(window->windowTitle()));
    QVERIFY(environment->engine->WorkerRunning());

    // What goes over the first pair is no longer captured, so every datagram handed over must be
    // one of the second pair's, in order.
    QCOMPARE(Send(0, Count), Count);
    QCOMPARE(Send(1, Count), Count);
    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane), StreamText(Count),
                              GenerousWaitMs);
    QCOMPARE(handed.Count(), Count);
    for (int index = 0; index < Count; ++index) {
        const QString mismatch = Mismatch(handed.datagrams[index], Link(1), index, 64);
        QVERIFY2(mismatch.isEmpty(),
                 qPrintable(QStringLiteral("datagram %1: %2").arg(index).arg(mismatch)));
    }
    QCOMPARE(probe.Session().State().CurrentPhase(), MonitorState::Phase::Monitoring);
}

void CaptureEndToEndTest::closeWhileMonitoringEndsAndRemovesRecordFiles() {
    const auto [window, probe] = environment->Open();
    HandedOver handed(*window);
    const std::filesystem::path records = window->Records().Path();
    std::ofstream(records / "record.tmp") << "captured payload";
    QVERIFY(std::filesystem::exists(records / "record.tmp"));
    probe.RunCommand(CommandId::BeginMonitor);

    // Datagrams keep coming while the window closes, so the worker may be mid hand-over.
    UdpStream stream = StreamOver(0, 2000);
    stream.datagramsPerSecond = 2000;
    PeerSender sender = PeerSender::Stream(network->NamespaceB(), stream);
    QTRY_VERIFY_WITH_TIMEOUT(handed.Count() >= 10, GenerousWaitMs);

    QVERIFY(window->close());
    QVERIFY(!std::filesystem::exists(records));
    QVERIFY(sender.Wait() > 0);
}

void CaptureEndToEndTest::filterFromTheLastFileDecidesEachDatagram() {
    constexpr std::uint16_t FilteredPort = MonitoredPort + 1;
    const TestNetwork::Link& link = Link(0);
    UdpPortHolder filteredPortHolder(network->NamespaceA(), link.addressA, FilteredPort);
    FilterSettings settings;
    settings.filterBroadcast = 1;
    settings.filterLocalPortText = std::to_string(FilteredPort);
    const std::filesystem::path lastFile =
        FilterDialog::LastFile(environment->settingsDirectory.path().toStdString());
    std::filesystem::create_directory(lastFile.parent_path());
    QVERIFY(FilterFile::Save(lastFile, settings));

    const auto [window, probe] = environment->Open();
    struct Seen {
        std::uint16_t destinationPort;
        std::uint8_t destinationLastOctet;
        PacketClass packet;
        QByteArray payload;
    };
    std::vector<Seen> seen;
    QObject context;
    QObject::connect(window.get(), &MainWindow::DatagramArrived, &context,
                     [&, &probe = probe](std::span<const std::uint8_t> datagram) {
                         const PacketClass& packet = probe.Session().LastPacket();
                         seen.push_back({BigEndian16(datagram, 22), datagram[19], packet,
                                         Bytes(packet.PayloadOf(datagram))});
                     });
    probe.RunCommand(CommandId::BeginMonitor);

    QCOMPARE(Send(0, 1), 1);
    UdpStream filtered = StreamOver(0, 1, 64, 1);
    filtered.destinationPort = FilteredPort;
    QCOMPARE(PeerSender::Stream(network->NamespaceB(), filtered).Wait(), 1);
    Ipv4Address broadcast = link.addressA;
    broadcast.octets[3] = 255;
    const std::vector<std::uint8_t> toEveryone = TestPackets::UdpDatagram(
        link.addressB, broadcast, PeerPort, MonitoredPort, PeerSender::Payload(2, 8));
    const HardwareAddress everyone{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    QCOMPARE(
        PeerSender::Frame(network->NamespaceB(), link.interfaceB,
                          TestPackets::EthernetFrame(everyone, link.hardwareB, toEveryone, 60, 0))
            .Wait(),
        1);
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), std::size_t{3}, GenerousWaitMs);

    QCOMPARE(seen[0].destinationPort, MonitoredPort);
    QCOMPARE(seen[0].packet.Verdict(), Classification::Accepted);
    QCOMPARE(seen[0].packet.protocol, IpProtocol::Udp);
    QCOMPARE(seen[0].packet.source, link.addressB);
    QCOMPARE(seen[0].packet.destination, link.addressA);
    QVERIFY(seen[0].packet.ports == (TransportPorts{PeerPort, MonitoredPort}));
    QCOMPARE(seen[0].payload, Bytes(PeerSender::Payload(0, 64)));

    QCOMPARE(seen[1].destinationPort, FilteredPort);
    QVERIFY(seen[1].packet.rejection == Rejection::Port);

    QCOMPARE(seen[2].destinationLastOctet, std::uint8_t{255});
    QVERIFY(seen[2].packet.rejection == Rejection::Broadcast);
}

QTEST_MAIN(CaptureEndToEndTest)
#include "CaptureEndToEndTest.moc"
