#include "records/PcapngExport.h"
#include "capture/PortOwnerLookup.h"
#include "records/RecordBook.h"
#include "support/CaptureFileReader.h"
#include "support/TinyDisk.h"

#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <sys/stat.h>

using namespace talvane;

namespace fs = std::filesystem;

namespace {

const Ipv4Address Local{{192, 168, 0, 25}};
const Ipv4Address Peer{{10, 1, 2, 3}};

// What one accepted datagram brings to the book, and what its block must say of it.
struct Arrival {
    const char* processName;
    std::optional<RecordDirection> direction;
    std::size_t datagramSize;
    std::string_view comment;
    Pcapng::Direction flags;
};

const Arrival Arrivals[] = {
    {"curl", RecordDirection::Receive, 20, "curl receive", Pcapng::Direction::Inbound},
    {"firefox-esr", RecordDirection::Send, 1501, "firefox-esr send", Pcapng::Direction::Outbound},
    {"", {}, 65535, "", Pcapng::Direction::Unknown},
    {"sshd", RecordDirection::Send, 22, "sshd send", Pcapng::Direction::Outbound},
};

std::vector<std::uint8_t> DatagramOf(std::size_t index, std::size_t size) {
    std::vector<std::uint8_t> datagram(size);
    for (std::size_t at = 0; at < size; ++at)
        datagram[at] = static_cast<std::uint8_t>(at * 7 + index);
    return datagram;
}

std::int64_t TimeOf(std::size_t index) {
    return 1700000000000000 + std::int64_t(index) * 1000001;
}

struct BookUnderTest {
    QTemporaryDir scratch;
    fs::path folder;
    RecordBook store;

    // The records in folder, or in a folder of the test's own.
    explicit BookUnderTest(const fs::path& folderIn = {})
        : folder(folderIn.empty() ? Scratch() : folderIn),
          store(folder, std::make_unique<PortOwnerLookup>()) {
        store.Bind(Local, "lo");
    }

    fs::path Scratch() const { return scratch.path().toStdString(); }
    fs::path Log() const { return folder / "datagrams"; }

    // Adds the record, its owner named by the kernel; whether a failure began when it was written.
    bool Queue(std::size_t index, const Arrival& arrival,
               std::optional<Ipv4Address> capturedOn = std::nullopt) {
        PacketClass packet;
        packet.protocol = IpProtocol::Udp;
        packet.source = arrival.direction == RecordDirection::Send ? Local : Peer;
        packet.destination = arrival.direction == RecordDirection::Receive ? Local : Peer;
        packet.ports = TransportPorts{5000, 53};
        const KernelOwner owner{KernelOwner::Source::Named, 0, 0, arrival.processName};
        const std::vector<std::uint8_t> datagram = DatagramOf(index, arrival.datagramSize);
        return store.Add({packet, std::span(datagram).subspan(20),
                          CaptureTime(std::chrono::microseconds(TimeOf(index))), datagram,
                          DatagramOwners{owner, owner}, capturedOn});
    }
    // Adds the record and writes it at once.
    bool Store(std::size_t index, const Arrival& arrival,
               std::optional<Ipv4Address> capturedOn = std::nullopt) {
        const bool failureBegan = Queue(index, arrival, capturedOn);
        return store.Flush() || failureBegan;
    }
    CaptureFileReader Export(std::vector<int> indices) const {
        const fs::path file = Scratch() / "export.pcapng";
        if (!ExportPcapng(file, store, indices))
            return {"not written", -1, {}};
        return CaptureFileReader::Read(file);
    }
};

} // namespace

class PcapngExportTest : public QObject {
    Q_OBJECT

private slots:
    void libpcapReadsEveryChosenDatagram();
    void datagramOfAnEarlierCaptureKeepsItsAddressAndInterface();
    void clearEmptiesTheLog();
    void unsafeOrFullLogKeepsNoPartOfADatagram_data();
    void unsafeOrFullLogKeepsNoPartOfADatagram();
    void recordsWrittenTogetherKeepWhatFitsAFullDisk();
};

// In the order given, each block of the interface its record was captured on, as the address
// bound then named it.
void PcapngExportTest::libpcapReadsEveryChosenDatagram() {
    BookUnderTest test;
    for (std::size_t index = 0; index < std::size(Arrivals); ++index) {
        if (index == 2)
            test.store.Bind(Local, "eth9");
        QVERIFY(!test.Store(index, Arrivals[index]));
    }

    const CaptureFileReader file = test.Export({3, 0, 1, 2});
    QCOMPARE(QString::fromStdString(file.error), QString());
    QCOMPARE(file.linkType, int(Pcapng::LinkTypeIpv4));
    QFile exported(test.scratch.filePath("export.pcapng"));
    const QByteArray bytes = exported.open(QIODevice::ReadOnly) ? exported.readAll() : QByteArray();
    const std::vector<std::uint8_t> header = Pcapng::FileHeader({"eth9", "lo"});
    std::size_t offset = header.size();
    QVERIFY(bytes.startsWith(
        QByteArray(reinterpret_cast<const char*>(header.data()), qsizetype(offset))));
    const std::size_t expected[] = {3, 0, 1, 2};
    QCOMPARE(file.packets.size(), std::size(expected));
    for (std::size_t at = 0; at < std::size(expected); ++at) {
        const std::size_t index = expected[at];
        const Arrival& arrival = Arrivals[index];
        QCOMPARE(int(bytes[qsizetype(offset) + 8]), index < 2 ? 1 : 0);
        offset += test.store.Datagrams().Block(int(index))->size();
        QCOMPARE(file.packets[at].time, TimeOf(index));
        QCOMPARE(file.packets[at].originalLength, arrival.datagramSize);
        QVERIFY(file.packets[at].bytes == DatagramOf(index, arrival.datagramSize));

        // What libpcap does not tell: the process and the direction.
        const auto bytes = test.store.Datagrams().Block(int(index));
        const std::optional<Pcapng::PacketBlock> block = Pcapng::ReadPacketBlock(*bytes);
        QCOMPARE(block->comment, arrival.comment);
        QCOMPARE(block->direction, arrival.flags);
    }
}

// Taken by the capture before the address changed, handed over after: seen from the address it
// was captured on, in that capture's interface.
void PcapngExportTest::datagramOfAnEarlierCaptureKeepsItsAddressAndInterface() {
    BookUnderTest test;
    test.store.Bind(Peer, "eth9");
    QVERIFY(!test.Store(0, Arrivals[0], Local));
    const RecordEntry& entry = test.store.Entry(0);
    QCOMPARE(test.store.InterfaceName(entry.interface), "lo");
    QCOMPARE(entry.direction, std::optional(Arrivals[0].direction));
}

void PcapngExportTest::clearEmptiesTheLog() {
    BookUnderTest test;
    for (std::size_t index = 0; index < 3; ++index)
        test.Store(index, Arrivals[index]);
    test.store.Clear();
    QCOMPARE(fs::file_size(test.Log()), std::uintmax_t{0});
    test.Store(7, Arrivals[3]);

    struct stat status {};
    QCOMPARE(lstat(test.Log().c_str(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t{0600});
    QCOMPARE(std::size_t(status.st_size), test.store.Datagrams().Block(0)->size());
    QVERIFY(!test.store.Datagrams().Block(1));
    const CaptureFileReader file = test.Export({0});
    QCOMPARE(file.packets.size(), std::size_t{1});
    QCOMPARE(file.packets[0].time, TimeOf(7));
}

void PcapngExportTest::unsafeOrFullLogKeepsNoPartOfADatagram_data() {
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("symbolic link at the log's name") << false;
    QTest::newRow("disk full half way into a datagram") << true;
}

// The record is counted and the failure told, but neither a link's target nor the log holds any
// of its datagram, and the blocks before it still export whole.
void PcapngExportTest::unsafeOrFullLogKeepsNoPartOfADatagram() {
    QFETCH(bool, fullDisk);
    std::optional<TinyDisk> disk;
    if (fullDisk) {
        disk.emplace(64 * 1024);
        if (!disk->Mounted())
            QSKIP("A full disk needs root and a mount namespace of the test's own.");
    }
    BookUnderTest test(disk ? disk->Path() : fs::path());
    const fs::path linked = test.Scratch() / "elsewhere";
    if (!disk) {
        std::ofstream(linked) << "kept";
        fs::create_symlink(linked, test.Log());
    }

    // The link fails the first datagram, the full disk the second; each is told once.
    QCOMPARE(test.Store(0, Arrivals[0]), !fullDisk);
    if (disk)
        disk->Fill("filler");
    QCOMPARE(test.Store(1, Arrival{"curl", RecordDirection::Receive, 60000, "", {}}), fullDisk);
    QCOMPARE(test.store.Count(), 2);
    QVERIFY(!test.store.Datagrams().Block(1));

    if (!disk) {
        QCOMPARE(fs::file_size(linked), std::uintmax_t{4});
        QVERIFY(fs::is_symlink(test.Log()));
        return;
    }
    QCOMPARE(fs::file_size(test.Log()), test.store.Datagrams().Block(0)->size());
    const CaptureFileReader file = test.Export({0, 1});
    QCOMPARE(file.packets.size(), std::size_t{1});
    QVERIFY(file.packets[0].bytes == DatagramOf(0, Arrivals[0].datagramSize));
}

// The records of a beat are written together; where the disk holds only some of them, those are
// kept whole, the one that does not fit leaves nothing, and the failure is told once.
void PcapngExportTest::recordsWrittenTogetherKeepWhatFitsAFullDisk() {
    TinyDisk disk(64 * 1024);
    if (!disk.Mounted())
        QSKIP("A full disk needs root and a mount namespace of the test's own.");
    BookUnderTest test(disk.Path());
    QVERIFY(!test.Queue(0, Arrivals[0]));
    QVERIFY(!test.Queue(1, Arrivals[2]));
    QVERIFY(!test.Queue(2, Arrivals[3]));
    QVERIFY(!fs::exists(disk.Path() / "0"));
    QVERIFY(test.store.Flush());

    QVERIFY(test.store.Read(0) && test.store.Read(2));
    QVERIFY(!test.store.Read(1) && !fs::exists(disk.Path() / "1"));
    const CaptureFileReader file = test.Export({0, 1, 2});
    QCOMPARE(file.packets.size(), std::size_t{2});
    QVERIFY(file.packets[0].bytes == DatagramOf(0, Arrivals[0].datagramSize));
    QVERIFY(file.packets[1].bytes == DatagramOf(2, Arrivals[3].datagramSize));
    QCOMPARE(fs::file_size(test.Log()),
             test.store.Datagrams().Block(0)->size() + test.store.Datagrams().Block(2)->size());
}

QTEST_APPLESS_MAIN(PcapngExportTest)
#include "PcapngExportTest.moc"
