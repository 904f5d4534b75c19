#include "capture/HostAddressList.h"
#include "records/PcapngFormat.h"
#include "records/RecordExport.h"
#include "records/RecordFile.h"
#include "records/RecordListModel.h"
#include "records/RecordView.h"
#include "res/CommandIds.h"
#include "support/ClientRounds.h"
#include "support/EventLoop.h"
#include "support/TestNetwork.h"
#include "support/WindowEnvironment.h"
#include "ui/StatusBar.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>

using namespace talvane;

namespace fs = std::filesystem;

namespace {

// Datagrams reach the window within milliseconds; these waits only bound how long a broken build
// hangs.
constexpr int GenerousWaitMs = 10000;
constexpr timeval SocketWait{5, 0};
constexpr std::uint16_t PeerUdpPort = 40000;
constexpr std::uint16_t PeerTcpPort = 41000;
constexpr std::uint16_t MonitoredUdpPort = 50000;
constexpr std::uint16_t MonitoredTcpPort = 50001;

QString StreamText(int datagramTotal) {
    return QStringLiteral("监控流 %1").arg(datagramTotal);
}

QString FilteredText(int filteredCount) {
    return QStringLiteral("过滤数据包:%1").arg(filteredCount);
}

QByteArray Bytes(std::span<const std::uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

QByteArray FileBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    return QByteArray::fromStdString(bytes);
}

// The name the owner lookup gives this process: its executable's file name.
std::string ProgramName() {
    return fs::read_symlink("/proc/self/exe").filename().string();
}

QString Text(const RecordHeader& header) {
    const std::array entries{header.processName,     header.direction,    header.sourceIp,
                             header.sourcePort,      header.protocolName, header.destinationIp,
                             header.destinationPort, header.timeText};
    QStringList texts;
    for (const std::string& entry : entries)
        texts.append(QString::fromStdString(entry));
    return texts.join(QStringLiteral(" | "));
}

// The five list fields that tell the datagrams of one flow from everything else.
struct Ends {
    Ipv4Address source;
    std::string sourcePort;
    std::string protocolName;
    Ipv4Address destination;
    std::string destinationPort;

    bool Match(const RecordHeader& header) const {
        return header.sourceIp == source.Dotted() && header.sourcePort == sourcePort &&
               header.protocolName == protocolName &&
               header.destinationIp == destination.Dotted() &&
               header.destinationPort == destinationPort;
    }

    // The header a record of this flow must have; the time is taken as read, checked elsewhere.
    RecordHeader Header(std::string processName, std::string direction,
                        const std::string& timeText) const {
        return {std::move(processName), std::move(direction), source.Dotted(), sourcePort,
                protocolName,           destination.Dotted(), destinationPort, timeText};
    }
};

struct Stored {
    int index;
    Record record;
};

// The records of the flow, read back from their files, in index order.
std::vector<Stored> RecordsOf(const WindowProbe& probe, const Ends& ends) {
    const RecordBook& store = probe.RecordsView().Book();
    std::vector<Stored> found;
    for (int index = 0; index < store.Count(); ++index) {
        std::optional<Record> record = store.Read(index);
        if (record && ends.Match(record->header))
            found.push_back({index, std::move(*record)});
    }
    return found;
}

int CountOf(const WindowProbe& probe, const Ends& ends) {
    return static_cast<int>(RecordsOf(probe, ends).size());
}

// Empty when the list, once drawn, shows one row per stored record, each row names what the
// record's file holds, and the record's logged datagram ends in the file's payload and names its
// owner; otherwise the first difference.
QString ListMismatch(const WindowProbe& probe) {
    RecordView& view = probe.RecordsView();
    view.Refresh();
    const RecordBook& store = view.Book();
    const RecordListModel& model = view.Model();
    if (model.rowCount() != store.Count())
        return QStringLiteral("%1 rows for %2 records").arg(model.rowCount()).arg(store.Count());
    if (model.columnCount() != RecordListModel::ColumnCount)
        return QStringLiteral("%1 columns").arg(model.columnCount());
    static const QRegularExpression timeForm(QStringLiteral("^\\d{8} \\d\\d:\\d\\d:\\d\\d$"));
    for (int row = 0; row < store.Count(); ++row) {
        const std::optional<Record> record = store.Read(row);
        if (!record)
            return QStringLiteral("record %1 cannot be read back").arg(row);
        const RecordHeader& header = record->header;
        const QString timeText = QString::fromStdString(header.timeText);
        if (!timeForm.match(timeText).hasMatch())
            return QStringLiteral("record %1 has the time text '%2'").arg(row).arg(timeText);
        const std::optional<std::vector<std::uint8_t>> block = store.Datagrams().Block(row);
        const std::optional<Pcapng::PacketBlock> logged =
            block ? Pcapng::ReadPacketBlock(*block) : std::nullopt;
        const std::string owner =
            header.processName.empty() ? "" : header.processName + " " + header.direction;
        if (!logged || logged->datagram.size() < record->payload.size() ||
            !std::equal(record->payload.rbegin(), record->payload.rend(),
                        logged->datagram.rbegin()) ||
            logged->comment != owner)
            return QStringLiteral("record %1's logged datagram disagrees with its file").arg(row);
        const std::array<std::string, RecordListModel::ColumnCount> expected{
            std::to_string(row),       header.sourceIp,      header.sourcePort,
            header.protocolName,       header.destinationIp, header.destinationPort,
            header.timeText.substr(9), header.processName};
        for (int column = 0; column < RecordListModel::ColumnCount; ++column) {
            const QString shown = model.data(model.index(row, column)).toString();
            const QString wanted = QString::fromStdString(expected[std::size_t(column)]);
            if (shown != wanted)
                return QStringLiteral("row %1 column %2 shows '%3', its file gives '%4'")
                    .arg(row)
                    .arg(column)
                    .arg(shown, wanted);
        }
    }
    return {};
}

std::string Failure(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// A TCP socket bound to the address in the calling thread's namespace, with every wait on it
// bounded.
// The program's exit status; -1 when it did not start or end. Spawned rather than forked, as a
// fork of this many-threaded process may start no thread.
int ExitStatusOf(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    int status = 0;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

int BoundTcpSocket(const Ipv4Address& address, std::uint16_t port, std::string& error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = Failure("tcp socket");
        return -1;
    }
    const int reuse = 1;
    const sockaddr_in local = SocketAddress(address, port);
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &SocketWait, sizeof SocketWait) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &SocketWait, sizeof SocketWait) != 0 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = Failure("bind tcp " + address.Dotted());
        close(fd);
        return -1;
    }
    return fd;
}

// The peer's side of one connection, run on a thread of its own in the peer's namespace:
// connects, sends the message and closes. Returns what went wrong, or "".
std::string ConnectSendAndClose(const std::string& namespaceName, const Ipv4Address& source,
                                const Ipv4Address& destination, const QByteArray& message) {
    try {
        TestNetwork::EnterNamespace(namespaceName);
    } catch (const std::exception& failure) {
        return failure.what();
    }
    std::string error;
    const FileDescriptor tcp(BoundTcpSocket(source, PeerTcpPort, error));
    if (tcp.Get() < 0)
        return error;
    const sockaddr_in target = SocketAddress(destination, MonitoredTcpPort);
    if (connect(tcp.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
        return Failure("connect " + destination.Dotted());
    if (send(tcp.Get(), message.constData(), std::size_t(message.size()), MSG_NOSIGNAL) !=
        message.size())
        return Failure("send");
    return {};
}

// Everything the connection carries until the peer closes it, bounded by the receive timeout.
QByteArray ReceiveUntilClosed(int fd) {
    QByteArray received;
    char buffer[256];
    for (;;) {
        const ssize_t count = recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0)
            return received;
        received.append(buffer, count);
    }
}

void PutBigEndian16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value >> 8);
    bytes[offset + 1] = static_cast<std::uint8_t>(value);
}

// Sets the total-length field and makes the header checksum right again after a test changed the
// header, so that only the fault under test is wrong.
void Reseal(std::vector<std::uint8_t>& datagram, std::size_t totalLength) {
    PutBigEndian16(datagram, 2, static_cast<std::uint16_t>(totalLength));
    const std::size_t header = std::min<std::size_t>((datagram[0] & 0x0f) * 4u, datagram.size());
    PutBigEndian16(datagram, 10, 0);
    PutBigEndian16(datagram, 10, TestPackets::InternetChecksum(std::span(datagram).first(header)));
}

void Reseal(std::vector<std::uint8_t>& datagram) {
    Reseal(datagram, datagram.size());
}

// A datagram the peer puts on the wire and the record the window must make of it, the time
// aside; none when the window must turn it away.
struct WireCase {
    std::string what;
    std::vector<std::uint8_t> datagram;
    std::optional<Record> record;
};

} // namespace

class RecordsEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void receivedUdpDatagramsAreRecordsOfTheReceivingProcess();
    void tcpSegmentsBothWaysAreRecordsOfTheListeningProcess();
    void echoRequestAndReplyAreRecordsWithoutPortsOwnerOrPayload();
    void saveAllExportsEveryRecordAsReadBack();
    void clearKeepsTheCountersAndStartsAgainAtIndexZero();
    void shortLivedClientsAreNamedOnEveryRecord();
    void portTakenInTurnNamesEachSender();
    void hostileDatagramsLeaveTheWellFormedOnesRecordedExactly();

private:
    int SendUdp(int count, std::size_t payloadSize, std::uint32_t firstSequence = 0) const;
    int SendFrame(std::span<const std::uint8_t> datagram) const;
    const TestNetwork::Link& Link() const { return network->Links().front(); }
    Ends UdpFromPeer() const {
        return {Link().addressB, std::to_string(PeerUdpPort), "UDP", Link().addressA,
                std::to_string(MonitoredUdpPort)};
    }
    Ends EchoFrom(const Ipv4Address& source, const Ipv4Address& destination) const {
        return {source, "", "ICMP", destination, ""};
    }
    std::vector<WireCase> HostileCases() const;

    std::unique_ptr<TestNetwork> network;
    std::unique_ptr<UdpPortHolder> portHolder;
    std::unique_ptr<WindowEnvironment> environment;
};

void RecordsEndToEndTest::initTestCase() {
    if (!TestNetwork::HaveRoot())
        QSKIP("Recording real traffic needs root: the test builds its own network namespaces "
              "and veth pairs. Run it as root to include it.");
    try {
        network = std::make_unique<TestNetwork>(1);
        // The window, its address list, its captures and the sockets whose owner it names all
        // live in namespace A.
        TestNetwork::EnterNamespace(network->NamespaceA());
        portHolder = std::make_unique<UdpPortHolder>(network->NamespaceA(), Link().addressA,
                                                     MonitoredUdpPort);
    } catch (const std::exception& failure) {
        QFAIL(failure.what());
    }
    const std::vector<Ipv4Address> addresses =
        HostAddressList::Order(HostAddressList::ReadInterfaces());
    QVERIFY(!addresses.empty());
    QCOMPARE(addresses.front().Dotted(), Link().addressA.Dotted());
}

void RecordsEndToEndTest::cleanupTestCase() {
    portHolder.reset();
    network.reset();
}

void RecordsEndToEndTest::init() {
    environment = std::make_unique<WindowEnvironment>();
    QVERIFY(environment->IsValid());
}

void RecordsEndToEndTest::cleanup() {
    QVERIFY2(environment->messages.isEmpty(),
             qPrintable(environment->messages.join(QStringLiteral(" | "))));
}

// The capture keeps what arrives while the window's thread waits here.
int RecordsEndToEndTest::SendUdp(int count, std::size_t payloadSize,
                                 std::uint32_t firstSequence) const {
    UdpStream stream;
    stream.source = Link().addressB;
    stream.destination = Link().addressA;
    stream.sourcePort = PeerUdpPort;
    stream.destinationPort = MonitoredUdpPort;
    stream.count = count;
    stream.firstSequence = firstSequence;
    stream.payloadSize = payloadSize;
    return PeerSender::Stream(network->NamespaceB(), stream).Wait();
}

int RecordsEndToEndTest::SendFrame(std::span<const std::uint8_t> datagram) const {
    return PeerSender::Frame(
               network->NamespaceB(), Link().interfaceB,
               TestPackets::EthernetFrame(Link().hardwareA, Link().hardwareB, datagram, 60, 0))
        .Wait();
}

void RecordsEndToEndTest::receivedUdpDatagramsAreRecordsOfTheReceivingProcess() {
    constexpr int ShortCount = 3;
    constexpr std::size_t ShortSize = 100;
    // The largest datagram the link carries whole.
    constexpr std::size_t LongSize = 1472;
    const auto [window, probe] = environment->Open();
    probe.RunCommand(CommandId::BeginMonitor);

    QCOMPARE(SendUdp(ShortCount, ShortSize), ShortCount);
    QCOMPARE(SendUdp(1, LongSize, ShortCount), 1);

    const Ends ends = UdpFromPeer();
    QTRY_COMPARE_WITH_TIMEOUT(CountOf(probe, ends), ShortCount + 1, GenerousWaitMs);
    const std::vector<Stored> found = RecordsOf(probe, ends);
    for (int sequence = 0; sequence <= ShortCount; ++sequence) {
        const Record& record = found[std::size_t(sequence)].record;
        QCOMPARE(Text(record.header),
                 Text(ends.Header(ProgramName(), "receive", record.header.timeText)));
        const std::size_t size = sequence < ShortCount ? ShortSize : LongSize;
        QCOMPARE(Bytes(record.payload), Bytes(PeerSender::Payload(std::uint32_t(sequence), size)));
    }
    const RecordBook& store = probe.RecordsView().Book();
    const fs::path expectedFile = fs::path(environment->runtimeDirectory.path().toStdString()) /
                                  "talvane" / std::to_string(getpid()) /
                                  std::to_string(found.front().index);
    QCOMPARE(QString::fromStdString(store.FileOf(found.front().index).string()),
             QString::fromStdString(expectedFile.string()));
    QCOMPARE(store.TotalBytes(), std::uint32_t(ShortCount * ShortSize + LongSize));
    const QString mismatch = ListMismatch(probe);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void RecordsEndToEndTest::tcpSegmentsBothWaysAreRecordsOfTheListeningProcess() {
    const QByteArray message("records of a tcp connection");
    std::string error;
    const auto [window, probe] = environment->Open();
    probe.RunCommand(CommandId::BeginMonitor);
    // Made on this thread, so in namespace A, once the capture runs: the accepted connection is
    // the listener's program's as the kernel tells it.
    const FileDescriptor listener(BoundTcpSocket(Link().addressA, MonitoredTcpPort, error));
    QVERIFY2(listener.Get() >= 0, error.c_str());
    QVERIFY(listen(listener.Get(), 1) == 0);

    std::future<std::string> peer =
        std::async(std::launch::async, ConnectSendAndClose, network->NamespaceB(), Link().addressB,
                   Link().addressA, message);
    const FileDescriptor accepted(accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    QVERIFY2(accepted.Get() >= 0, Failure("accept").c_str());
    QVERIFY(setsockopt(accepted.Get(), SOL_SOCKET, SO_RCVTIMEO, &SocketWait, sizeof SocketWait) ==
            0);
    QCOMPARE(ReceiveUntilClosed(accepted.Get()), message);
    QCOMPARE(QString::fromStdString(peer.get()), QString());

    const Ends received{Link().addressB, std::to_string(PeerTcpPort), "TCP", Link().addressA,
                        std::to_string(MonitoredTcpPort)};
    const Ends sent{Link().addressA, std::to_string(MonitoredTcpPort), "TCP", Link().addressB,
                    std::to_string(PeerTcpPort)};
    const auto carriesMessage = [&, &probe = probe] {
        const std::vector<Stored> found = RecordsOf(probe, received);
        return std::ranges::any_of(
            found, [&](const Stored& stored) { return Bytes(stored.record.payload) == message; });
    };
    QTRY_VERIFY_WITH_TIMEOUT(carriesMessage() && CountOf(probe, sent) >= 1, GenerousWaitMs);

    const std::vector<Stored> fromPeer = RecordsOf(probe, received);
    // The SYN, the ACK of the SYN-ACK, the data and the FIN; the FIN may ride on the data.
    QVERIFY2(fromPeer.size() >= 3, qPrintable(QString::number(fromPeer.size())));
    QVERIFY(fromPeer.front().record.payload.empty());
    for (const Stored& stored : fromPeer) {
        const RecordHeader& header = stored.record.header;
        QCOMPARE(Text(header), Text(received.Header(ProgramName(), "receive", header.timeText)));
    }
    // The SYN-ACK comes first; the listening side never sends data here.
    const std::vector<Stored> fromWindowSide = RecordsOf(probe, sent);
    QVERIFY(fromWindowSide.front().index > fromPeer.front().index);
    for (const Stored& stored : fromWindowSide) {
        const RecordHeader& header = stored.record.header;
        QCOMPARE(Text(header), Text(sent.Header(ProgramName(), "send", header.timeText)));
        QVERIFY(stored.record.payload.empty());
    }
    const QString mismatch = ListMismatch(probe);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void RecordsEndToEndTest::echoRequestAndReplyAreRecordsWithoutPortsOwnerOrPayload() {
    const auto [window, probe] = environment->Open();
    probe.RunCommand(CommandId::BeginMonitor);

    // The payload of the datagram before must not stay with the ICMP records.
    QCOMPARE(SendUdp(1, 32), 1);
    QCOMPARE(SendFrame(TestPackets::EchoRequest(Link().addressB, Link().addressA)), 1);

    // A's kernel answers the request itself.
    const Ends request = EchoFrom(Link().addressB, Link().addressA);
    const Ends reply = EchoFrom(Link().addressA, Link().addressB);
    QTRY_VERIFY_WITH_TIMEOUT(CountOf(probe, request) == 1 && CountOf(probe, reply) == 1,
                             GenerousWaitMs);
    const RecordBook& store = probe.RecordsView().Book();
    for (const Ends& ends : {request, reply}) {
        const Stored stored = RecordsOf(probe, ends).front();
        const RecordHeader& header = stored.record.header;
        QCOMPARE(Text(header), Text(ends.Header("", "", header.timeText)));
        QVERIFY(stored.record.payload.empty());
        QCOMPARE(fs::file_size(store.FileOf(stored.index)), RecordFile::Encode(header).size());
    }
    QVERIFY(RecordsOf(probe, request).front().index < RecordsOf(probe, reply).front().index);
    QCOMPARE(store.TotalBytes(), std::uint32_t{32});
    const QString mismatch = ListMismatch(probe);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void RecordsEndToEndTest::saveAllExportsEveryRecordAsReadBack() {
    QTemporaryDir exportDirectory;
    QVERIFY(exportDirectory.isValid());
    environment->chosenFile = exportDirectory.filePath(QStringLiteral("all.txt"));
    const auto [window, probe] = environment->Open();
    probe.RunCommand(CommandId::BeginMonitor);

    // Records with an owner and records without one export differently.
    QCOMPARE(SendUdp(2, 24), 2);
    QCOMPARE(SendFrame(TestPackets::EchoRequest(Link().addressB, Link().addressA)), 1);
    const Ends reply = EchoFrom(Link().addressA, Link().addressB);
    QTRY_VERIFY_WITH_TIMEOUT(CountOf(probe, UdpFromPeer()) == 2 && CountOf(probe, reply) == 1,
                             GenerousWaitMs);

    probe.RunCommand(CommandId::SaveAll);

    QCOMPARE(environment->fileChoices.size(), 1);
    QCOMPARE(environment->fileChoices.front().mode, UserPrompts::FileChoice::Mode::Save);
    const RecordBook& store = probe.RecordsView().Book();
    QVERIFY(store.Count() >= 4);
    std::string expected;
    for (int index = 0; index < store.Count(); ++index) {
        const std::optional<Record> record = store.Read(index);
        QVERIFY(record.has_value());
        expected += RecordExportText(record->header, record->payload);
        expected += RecordSeparator;
    }
    const QByteArray saved = FileBytes(environment->chosenFile.toStdString());
    QCOMPARE(saved, QByteArray::fromStdString(expected));
    QVERIFY(saved.contains("protocol=UDP,"));
    QVERIFY(saved.contains(QByteArray::fromStdString(ProgramName() + " receive 24bytes datas:")));
    QVERIFY(saved.contains("protocol=ICMP,"));
}

void RecordsEndToEndTest::clearKeepsTheCountersAndStartsAgainAtIndexZero() {
    constexpr std::size_t PayloadSize = 64;
    const auto [window, probe] = environment->Open();
    probe.RunCommand(CommandId::BeginMonitor);

    QCOMPARE(SendUdp(3, PayloadSize), 3);
    // A header length below 20 bytes: captured and counted, then rejected; A's kernel drops it
    // without an answer.
    std::vector<std::uint8_t> undecodable =
        TestPackets::UdpDatagram(Link().addressB, Link().addressA, PeerUdpPort, MonitoredUdpPort,
                                 PeerSender::Payload(99, 32));
    undecodable[0] = 0x44;
    QCOMPARE(SendFrame(undecodable), 1);
    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane), StreamText(4),
                              GenerousWaitMs);
    QCOMPARE(probe.Status()->PaneText(StatusBar::FilteredPane), FilteredText(1));
    const RecordView& view = probe.RecordsView();
    QCOMPARE(view.Book().Count(), 3);

    probe.RunCommand(CommandId::ClearRecords);

    QCOMPARE(view.Book().Count(), 0);
    QCOMPARE(view.Model().rowCount(), 0);
    QCOMPARE(ListMismatch(probe), QString());

    // The counters drawn after the next datagram were taken after the clear.
    QCOMPARE(SendUdp(1, PayloadSize, 3), 1);
    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane), StreamText(5),
                              GenerousWaitMs);
    QCOMPARE(probe.Status()->PaneText(StatusBar::FilteredPane), FilteredText(1));
    QCOMPARE(view.Book().Count(), 1);
    // The counters may be drawn before the beat that writes the record; its row comes after.
    QTRY_COMPARE_WITH_TIMEOUT(view.Model().rowCount(), 1, GenerousWaitMs);
    const std::optional<Record> record = view.Book().Read(0);
    QVERIFY(record.has_value());
    QCOMPARE(Text(record->header),
             Text(UdpFromPeer().Header(ProgramName(), "receive", record->header.timeText)));
    QCOMPARE(Bytes(record->payload), Bytes(PeerSender::Payload(3, PayloadSize)));
    QCOMPARE(view.Book().TotalBytes(), std::uint32_t{PayloadSize});
    QCOMPARE(ListMismatch(probe), QString());
}

// Each client socket lives only until its answer is in; the window reaches the last datagrams
// after the socket has closed.
void RecordsEndToEndTest::shortLivedClientsAreNamedOnEveryRecord() {
    const auto [window, probe] = environment->Open();
    probe.RunCommand(CommandId::BeginMonitor);
    ClientRounds rounds;
    rounds.serverNamespace = network->NamespaceB();
    rounds.client = Link().addressA;
    rounds.server = Link().addressB;
    rounds.rounds = 10;
    rounds.serverDelay = std::chrono::milliseconds(0);
    std::future<std::vector<Exchange>> running = StartClientRounds(rounds);
    // A test wait that naps between turns would let the sockets close before the window looks.
    QVERIFY(RunLoopUntil(
        [&] { return running.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        GenerousWaitMs));
    std::vector<Exchange> exchanges;
    try {
        exchanges = running.get();
    } catch (const std::exception& failure) {
        QFAIL(failure.what());
    }
    QCOMPARE(int(exchanges.size()), 2 * rounds.rounds);

    const auto verdict = [&, &probe = probe] {
        return JudgeNaming(rounds, exchanges, StoredRecords(probe.RecordsView().Book()),
                           ProgramName());
    };
    QTRY_COMPARE_WITH_TIMEOUT(verdict().Missing(), 0, GenerousWaitMs);
    QStringList faults;
    for (const std::string& fault : verdict().faults)
        faults.append(QString::fromStdString(fault));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    const QString mismatch = ListMismatch(probe);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

// This program sends from a port, then another program of another user takes the same port and
// sends too: each datagram names its own sender, though both are gone before the window looks.
void RecordsEndToEndTest::portTakenInTurnNamesEachSender() {
    constexpr int Count = 20;
    constexpr std::uint16_t Port = 47000;
    const auto [window, probe] = environment->Open();
    probe.RunCommand(CommandId::BeginMonitor);
    {
        const FileDescriptor own(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        const sockaddr_in local = SocketAddress(Link().addressA, Port);
        const sockaddr_in peer = SocketAddress(Link().addressB, PeerUdpPort);
        QVERIFY(bind(own.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0);
        for (int sent = 0; sent < Count; ++sent)
            QCOMPARE(sendto(own.Get(), "own", 3, 0, reinterpret_cast<const sockaddr*>(&peer),
                            sizeof peer),
                     3);
    }
    QCOMPARE(ExitStatusOf({TALVANE_SEND_FROM_PORT, "65534", Link().addressA.Dotted(),
                           std::to_string(Port), Link().addressB.Dotted(),
                           std::to_string(PeerUdpPort), std::to_string(Count)}),
             0);

    const Ends ends{Link().addressA, std::to_string(Port), "UDP", Link().addressB,
                    std::to_string(PeerUdpPort)};
    QTRY_COMPARE_WITH_TIMEOUT(CountOf(probe, ends), 2 * Count, GenerousWaitMs);
    QStringList senders;
    for (const Stored& stored : RecordsOf(probe, ends))
        senders << QString::fromStdString(stored.record.header.processName + " " +
                                          stored.record.header.direction);
    QStringList expected;
    for (const QString& name : {QString::fromStdString(ProgramName()), QString("send_from_port")})
        for (int sent = 0; sent < Count; ++sent)
            expected << name + " send";
    QCOMPARE(senders, expected);
}

// Each datagram that breaks a rule is followed by a well-formed one, which must be recorded as
// if nothing had come before it.
std::vector<WireCase> RecordsEndToEndTest::HostileCases() const {
    constexpr std::size_t PayloadSize = 40;
    constexpr std::size_t UdpStart = TestPackets::Ipv4HeaderSize + TestPackets::UdpHeaderSize;
    constexpr std::uint8_t Tcp = 6;
    constexpr std::uint16_t MoreFragments = 0x2000;
    std::uint32_t sequence = 0;
    const auto udp = [&](std::size_t payloadSize) {
        return TestPackets::UdpDatagram(Link().addressB, Link().addressA, PeerUdpPort,
                                        MonitoredUdpPort,
                                        PeerSender::Payload(sequence++, payloadSize));
    };
    const auto payloadFrom = [](const std::vector<std::uint8_t>& datagram, std::size_t start) {
        return std::vector<std::uint8_t>(datagram.begin() + std::ptrdiff_t(start), datagram.end());
    };
    const auto received = [&](const std::vector<std::uint8_t>& datagram, std::size_t start) {
        return Record{UdpFromPeer().Header(ProgramName(), "receive", ""),
                      payloadFrom(datagram, start)};
    };
    // A fragment after the first: no ports and so no owner; its bytes are payload.
    const auto portless = [&](const std::vector<std::uint8_t>& datagram, std::string protocol) {
        const Ends ends{Link().addressB, "", std::move(protocol), Link().addressA, ""};
        return Record{ends.Header("", "", ""), payloadFrom(datagram, TestPackets::Ipv4HeaderSize)};
    };

    std::vector<WireCase> cases;
    const auto add = [&](std::string what, std::vector<std::uint8_t> datagram,
                         std::optional<Record> record) {
        cases.push_back({std::move(what), std::move(datagram), std::move(record)});
        const std::vector<std::uint8_t> wellFormed = udp(PayloadSize);
        cases.push_back(
            {"well-formed after " + cases.back().what, wellFormed, received(wellFormed, UdpStart)});
    };

    std::vector<std::uint8_t> datagram = udp(PayloadSize);
    Reseal(datagram, datagram.size() + 8);
    add("total length past the frame", datagram, std::nullopt);
    datagram = udp(PayloadSize);
    const std::vector<std::uint8_t> untrailed = datagram;
    datagram.insert(datagram.end(), 8, 0xee);
    add("trailer past the total length", datagram, received(untrailed, UdpStart));
    datagram = udp(PayloadSize);
    datagram[0] = 0x44;
    Reseal(datagram);
    add("header length 16", datagram, std::nullopt);
    // 44 bytes, padded to the shortest Ethernet frame on the wire.
    datagram = udp(16);
    datagram[0] = 0x4f;
    Reseal(datagram);
    add("header length past the end", datagram, std::nullopt);
    for (const auto& [what, words] :
         {std::pair{"tcp data offset past the end", 15}, std::pair{"tcp data offset below 5", 4}}) {
        datagram = udp(20);
        datagram[9] = Tcp;
        datagram[TestPackets::Ipv4HeaderSize + 12] = std::uint8_t(words << 4);
        Reseal(datagram);
        add(what, datagram, std::nullopt);
    }
    datagram = udp(0);
    datagram.resize(TestPackets::Ipv4HeaderSize + 4);
    Reseal(datagram);
    add("udp header cut short", datagram, std::nullopt);

    // Forty no-operation options fill the longest header there is.
    datagram = udp(PayloadSize);
    datagram.insert(datagram.begin() + TestPackets::Ipv4HeaderSize, 40, 0x01);
    datagram[0] = 0x4f;
    Reseal(datagram);
    add("options filling the header", datagram, received(datagram, UdpStart + 40));
    datagram = udp(0);
    add("no payload", datagram, received(datagram, UdpStart));
    datagram = udp(65535 - UdpStart);
    add("largest datagram", datagram, received(datagram, UdpStart));

    // A datagram in two fragments: the UDP header and 24 payload bytes, then the rest. A's
    // kernel puts them together and delivers them to the held port.
    const std::vector<std::uint8_t> whole = udp(56);
    constexpr std::size_t FirstPart = 32;
    std::vector<std::uint8_t> first(whole.begin(),
                                    whole.begin() + TestPackets::Ipv4HeaderSize + FirstPart);
    PutBigEndian16(first, 6, MoreFragments);
    Reseal(first);
    add("first fragment", first, received(first, UdpStart));
    std::vector<std::uint8_t> later = whole;
    later.erase(later.begin() + TestPackets::Ipv4HeaderSize,
                later.begin() + TestPackets::Ipv4HeaderSize + FirstPart);
    PutBigEndian16(later, 6, FirstPart / 8);
    Reseal(later);
    add("later fragment", later, portless(later, "UDP"));
    // Shorter than a TCP header; A's kernel waits for the rest in vain and drops it in silence.
    datagram = udp(0);
    datagram[9] = Tcp;
    PutBigEndian16(datagram, 6, 100);
    Reseal(datagram);
    add("later tcp fragment", datagram, portless(datagram, "TCP"));
    return cases;
}

void RecordsEndToEndTest::hostileDatagramsLeaveTheWellFormedOnesRecordedExactly() {
    constexpr int EthernetMtu = 1500;
    QVERIFY(network->SetMtu(65535));
    const auto restoreMtu = qScopeGuard([&] { network->SetMtu(EthernetMtu); });
    const std::vector<WireCase> cases = HostileCases();
    const auto [window, probe] = environment->Open();
    probe.RunCommand(CommandId::BeginMonitor);

    for (const WireCase& wireCase : cases)
        QVERIFY2(SendFrame(wireCase.datagram) == 1, wireCase.what.c_str());

    const int turnedAway = int(
        std::ranges::count_if(cases, [](const WireCase& wireCase) { return !wireCase.record; }));
    QTRY_COMPARE_WITH_TIMEOUT(probe.Status()->PaneText(StatusBar::StreamPane),
                              StreamText(int(cases.size())), GenerousWaitMs);
    QCOMPARE(probe.Status()->PaneText(StatusBar::FilteredPane), FilteredText(turnedAway));
    const RecordBook& store = probe.RecordsView().Book();
    QCOMPARE(store.Count(), int(cases.size()) - turnedAway);
    // The counters can be drawn before the beat writes the records; their rows never are.
    QTRY_COMPARE_WITH_TIMEOUT(probe.RecordsView().Model().rowCount(), store.Count(),
                              GenerousWaitMs);
    int index = 0;
    std::uint32_t totalBytes = 0;
    for (const WireCase& wireCase : cases) {
        if (!wireCase.record)
            continue;
        const std::optional<Record> stored = store.Read(index);
        QVERIFY2(stored.has_value(), wireCase.what.c_str());
        RecordHeader expected = wireCase.record->header;
        expected.timeText = stored->header.timeText;
        QCOMPARE(Text(stored->header), Text(expected));
        QVERIFY2(stored->payload == wireCase.record->payload, wireCase.what.c_str());
        const QByteArray fileBytes = QByteArray::fromStdString(RecordFile::Encode(expected)) +
                                     Bytes(wireCase.record->payload);
        QVERIFY2(FileBytes(store.FileOf(index)) == fileBytes, wireCase.what.c_str());
        totalBytes += std::uint32_t(wireCase.record->payload.size());
        ++index;
    }
    QCOMPARE(store.TotalBytes(), totalBytes);
    const QString mismatch = ListMismatch(probe);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

QTEST_MAIN(RecordsEndToEndTest)
#include "RecordsEndToEndTest.moc"
