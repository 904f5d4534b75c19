#include "records/RecordEntry.h"
#include "records/RecordExport.h"

#include <QtTest>

using namespace talvane;

namespace {

const Ipv4Address Local{{192, 168, 0, 25}};

// Answers every question with one answer and keeps the questions.
class RecordingOwners : public OwnerSource {
public:
    explicit RecordingOwners(OwnerAnswer answer) : answer(std::move(answer)) {}
    OwnerAnswer Owner(const SocketQuery& query) override {
        queries.push_back(query);
        return answer;
    }

    OwnerAnswer answer;
    std::vector<SocketQuery> queries;
};

QString Text(const SocketQuery& query) {
    return QStringLiteral("%1 %2:%3 %4:%5")
        .arg(query.transport == Transport::Tcp ? "tcp" : "udp")
        .arg(QString::fromStdString(query.local.Dotted()))
        .arg(query.localPort)
        .arg(QString::fromStdString(query.remote.Dotted()))
        .arg(query.remotePort);
}

// The accepted datagram whose record texts should be fields: source IP, source port, protocol
// name, destination IP, destination port.
PacketClass Accepted(const QStringList& fields, int protocol) {
    PacketClass packet;
    packet.protocol = IpProtocol(protocol);
    packet.source = Ipv4Address::FromDotted(fields[0].toStdString()).value();
    packet.destination = Ipv4Address::FromDotted(fields[3].toStdString()).value();
    if (!fields[1].isEmpty())
        packet.ports = TransportPorts{fields[1].toUShort(), fields[4].toUShort()};
    return packet;
}

} // namespace

class RecordEntryTest : public QObject {
    Q_OBJECT

private slots:
    void ownerAndDirectionFollowTheLocalEnd_data();
    void ownerAndDirectionFollowTheLocalEnd();
    void kernelOwnerComesFirst_data();
    void kernelOwnerComesFirst();
    void timeIsTheCaptureTime();
    void namesAreShownAsWhatTheyAre_data();
    void namesAreShownAsWhatTheyAre();
    void nameForgesNoExportLine();
};

void RecordEntryTest::ownerAndDirectionFollowTheLocalEnd_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("processName");
    QTest::addColumn<QString>("direction");

    const int named = int(OwnerAnswer::Status::Named);
    const QStringList sentTcp{"192.168.0.25", "1030", "TCP", "10.1.2.3", "80"};
    const QStringList receivedUdp{"10.1.2.3", "53", "UDP", "192.168.0.25", "40001"};
    QTest::newRow("sent TCP") << sentTcp << 6 << named << "tcp 192.168.0.25:1030 10.1.2.3:80"
                              << "browser"
                              << "send";
    QTest::newRow("received UDP") << receivedUdp << 17 << named
                                  << "udp 192.168.0.25:40001 10.1.2.3:53"
                                  << "browser"
                                  << "receive";
    QTest::newRow("to itself: the source end is asked")
        << QStringList{"192.168.0.25", "5000", "UDP", "192.168.0.25", "6000"} << 17 << named
        << "udp 192.168.0.25:5000 192.168.0.25:6000"
        << "browser"
        << "send";
    QTest::newRow("not permitted") << receivedUdp << 17 << int(OwnerAnswer::Status::NotPermitted)
                                   << "udp 192.168.0.25:40001 10.1.2.3:53"
                                   << ""
                                   << "";
    QTest::newRow("nobody") << sentTcp << 6 << int(OwnerAnswer::Status::NoSocket)
                            << "tcp 192.168.0.25:1030 10.1.2.3:80"
                            << ""
                            << "";
    QTest::newRow("neither end local")
        << QStringList{"10.1.2.3", "53", "UDP", "10.1.2.4", "40001"} << 17 << named << ""
        << ""
        << "";
    QTest::newRow("ICMP asks nobody")
        << QStringList{"10.1.2.3", "", "ICMP", "192.168.0.25", ""} << 1 << named << ""
        << ""
        << "";
    QTest::newRow("UDP without ports asks nobody")
        << QStringList{"10.1.2.3", "", "UDP", "192.168.0.25", ""} << 17 << named << ""
        << ""
        << "";
    QTest::newRow("IGMP asks nobody")
        << QStringList{"192.168.0.25", "", "IGMP", "224.0.0.22", ""} << 2 << named << ""
        << ""
        << "";
}

void RecordEntryTest::ownerAndDirectionFollowTheLocalEnd() {
    QFETCH(QStringList, fields);
    QFETCH(int, protocol);
    QFETCH(int, status);
    QFETCH(QString, query);
    QFETCH(QString, processName);
    QFETCH(QString, direction);
    RecordingOwners owners({OwnerAnswer::Status(status),
                            status == int(OwnerAnswer::Status::Named) ? "browser" : "",
                            {}});
    const std::vector<std::uint8_t> payload{1, 2, 3};

    const RecordHeader header = RecordFile::Texts(
        MakeRecordEntry({Accepted(fields, protocol), payload, {}}, 0, Local, owners));

    QCOMPARE(owners.queries.size(), query.isEmpty() ? 0u : 1u);
    if (!query.isEmpty())
        QCOMPARE(Text(owners.queries.front()), query);
    QCOMPARE(QString::fromStdString(header.processName), processName);
    QCOMPARE(QString::fromStdString(header.direction), direction);
    const QStringList texts{
        QString::fromStdString(header.sourceIp), QString::fromStdString(header.sourcePort),
        QString::fromStdString(header.protocolName), QString::fromStdString(header.destinationIp),
        QString::fromStdString(header.destinationPort)};
    QCOMPARE(texts, fields);
}

void RecordEntryTest::kernelOwnerComesFirst_data() {
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("source"); // of the owner on the datagram's way, the other is named
    QTest::addColumn<QString>("processName");
    QTest::addColumn<int>("pid");
    QTest::newRow("sent, named") << true << int(KernelOwner::Source::Named) << "curl" << 41;
    QTest::newRow("received, named") << false << int(KernelOwner::Source::Named) << "curl" << 41;
    QTest::newRow("nobody's socket") << false << int(KernelOwner::Source::Nobody) << "" << 0;
    QTest::newRow("looked up") << true << int(KernelOwner::Source::LookUp) << "browser" << 9;
}

// The owner the kernel gives for the datagram's direction wins over the look-up, and a datagram
// no socket carried names nobody, whoever holds the port now.
void RecordEntryTest::kernelOwnerComesFirst() {
    QFETCH(bool, sent);
    QFETCH(int, source);
    QFETCH(QString, processName);
    QFETCH(int, pid);
    RecordingOwners owners({OwnerAnswer::Status::Named, "browser", {9, 1000}});
    const KernelOwner onItsWay{KernelOwner::Source(source), 41, 1001, "curl"};
    const KernelOwner other{KernelOwner::Source::Named, 77, 0, "server"};
    AcceptedPacket packet{
        Accepted(sent ? QStringList{"192.168.0.25", "5000", "UDP", "10.1.2.3", "53"}
                      : QStringList{"10.1.2.3", "53", "UDP", "192.168.0.25", "5000"},
                 17),
        {},
        {}};
    packet.owners = sent ? DatagramOwners{onItsWay, other} : DatagramOwners{other, onItsWay};
    const RecordEntry entry = MakeRecordEntry(packet, 0, Local, owners);

    QCOMPARE(QString::fromStdString(RecordFile::Texts(entry).processName), processName);
    QCOMPARE(entry.owner ? entry.owner->process.pid : 0, pid);
    QCOMPARE(owners.queries.size(), source == int(KernelOwner::Source::LookUp) ? 1u : 0u);
}

void RecordEntryTest::timeIsTheCaptureTime() {
    qputenv("TZ", "UTC");
    tzset();
    RecordingOwners owners({});
    // 14:07:09.999999 on 15 March 2009: the text keeps the second the datagram was seen in.
    const CaptureTime captured{std::chrono::microseconds(1237126029999999)};
    const RecordEntry entry =
        MakeRecordEntry({Accepted({"10.1.2.3", "", "ICMP", "192.168.0.25", ""}, 1), {}, captured},
                        0, Local, owners);
    QCOMPARE(QString::fromStdString(RecordFile::Texts(entry).timeText), "20090315 14:07:09");
}

void RecordEntryTest::namesAreShownAsWhatTheyAre_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("shown");
    const QByteArray replacement = "\xEF\xBF\xBD";
    QTest::newRow("plain") << QByteArray("curl") << QByteArray("curl");
    QTest::newRow("UTF-8 stays") << QByteArray("数据包-é") << QByteArray("数据包-é");
    QTest::newRow("CR LF, tab, NUL, DEL")
        << QByteArray("a\r\n\tb\0c\x7f", 8) << QByteArray("a\\x0d\\x0a\\x09b\\x00c\\x7f");
    QTest::newRow("C1 next line") << QByteArray("a\xC2\x85") << QByteArray("a\\x85");
    QTest::newRow("bidirectional controls")
        << QByteArray("\xE2\x80\xAEgpj.exe\xE2\x81\xA6\xE2\x80\x8F\xD8\x9C")
        << QByteArray("\\u202egpj.exe\\u2066\\u200f\\u061c");
    QTest::newRow("line separator") << QByteArray("a\xE2\x80\xA8"
                                                  "b")
                                    << QByteArray("a\\u2028b");
    QTest::newRow("a backslash cannot pass for an escape")
        << QByteArray("a\\x0a") << QByteArray("a\\\\x0a");
    QTest::newRow("stray bytes") << QByteArray("a\x80\xFF"
                                               "b")
                                 << QByteArray("a" + replacement + replacement + "b");
    QTest::newRow("character cut short")
        << QByteArray("a\xE6\x95") << QByteArray("a" + replacement);
    QTest::newRow("overlong, surrogate, past U+10FFFF")
        << QByteArray("\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80") << replacement.repeated(9);
    QTest::newRow("an escape is not cut") << QByteArray(62, 'a') + "\n" << QByteArray(62, 'a');
    QTest::newRow("a character is not cut") << QByteArray(61, 'a') + "数" << QByteArray(61, 'a');
}

// Whether the kernel named the owner or the look-up found it, the record keeps its shown form.
void RecordEntryTest::namesAreShownAsWhatTheyAre() {
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, shown);
    const std::string raw(name.constData(), std::size_t(name.size()));
    RecordingOwners owners({OwnerAnswer::Status::Named, raw, {9, 1000}});
    AcceptedPacket packet{Accepted({"192.168.0.25", "5000", "UDP", "10.1.2.3", "53"}, 17), {}, {}};

    const RecordEntry lookedUp = MakeRecordEntry(packet, 0, Local, owners);
    packet.owners.sender = {KernelOwner::Source::Named, 41, 1001, raw};
    const RecordEntry named = MakeRecordEntry(packet, 0, Local, owners);

    QCOMPARE(QByteArray::fromStdString(lookedUp.owner->name), shown);
    QCOMPARE(QByteArray::fromStdString(named.owner->name), shown);
}

// A program named to write a line of its own writes none into the text export.
void RecordEntryTest::nameForgesNoExportLine() {
    RecordingOwners owners({OwnerAnswer::Status::Named,
                            "x\r\nsource ip=6.6.6.6,source port=1,protocol=UDP,",
                            {9, 1000}});
    const RecordEntry entry =
        MakeRecordEntry({Accepted({"10.1.2.3", "53", "UDP", "192.168.0.25", "5000"}, 17), {}, {}},
                        0, Local, owners);
    const std::vector<std::uint8_t> payload{'A'};

    const QString text =
        QString::fromStdString(RecordExportText(RecordFile::Texts(entry), payload));
    QCOMPARE(text.split(QRegularExpression("[\\r\\n\\x{2028}\\x{2029}]")).size(), 1);
    QVERIFY(text.startsWith("source ip=10.1.2.3,"));
}

QTEST_APPLESS_MAIN(RecordEntryTest)
#include "RecordEntryTest.moc"
