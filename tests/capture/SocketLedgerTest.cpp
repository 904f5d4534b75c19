#include "capture/SocketLedger.h"
#include "capture/SocketEvents.h"

#include <QtTest>

#include <cstring>

using namespace talvane;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = SocketLedger::Clock;

const Clock::time_point Start{};

void Put16(Bytes& bytes, std::size_t at, unsigned value) {
    bytes[at] = std::uint8_t(value >> 8);
    bytes[at + 1] = std::uint8_t(value);
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    Put16(bytes, at, value >> 16);
    Put16(bytes, at + 2, value & 0xffff);
}

// An IPv4 datagram from 10.0.0.1 to 10.0.0.2 with its transport bytes.
Bytes Ipv4(std::uint8_t protocol, unsigned id, unsigned fragment, const Bytes& transport) {
    Bytes datagram(20 + transport.size(), 0);
    std::copy(transport.begin(), transport.end(), datagram.begin() + 20);
    datagram[0] = 0x45;
    Put16(datagram, 2, unsigned(20 + transport.size()));
    Put16(datagram, 4, id);
    Put16(datagram, 6, fragment);
    datagram[9] = protocol;
    Put32(datagram, 12, 0x0a000001);
    Put32(datagram, 16, 0x0a000002);
    return datagram;
}

// Sent with DF set, as most are, unless id is given: then fragments may be made of it.
Bytes Udp(std::size_t payload, unsigned id = 0) {
    Bytes udp(8 + payload, 0xaa);
    Put16(udp, 0, 5000);
    Put16(udp, 2, 53);
    Put16(udp, 4, unsigned(udp.size()));
    return Ipv4(17, id, id == 0 ? 0x4000 : 0, udp);
}

Bytes Tcp(std::uint32_t sequence, std::size_t payload, unsigned port = 8080) {
    Bytes tcp(20 + payload, 0xbb);
    Put16(tcp, 0, 40000);
    Put16(tcp, 2, port);
    Put32(tcp, 4, sequence);
    Put32(tcp, 8, 77);
    tcp[12] = 5 << 4;
    return Ipv4(6, 0, 0x4000, tcp);
}

// The pieces of a datagram's transport bytes from byte `from` to `to`, as IP fragments carry them.
Bytes Fragment(const Bytes& whole, std::size_t from, std::size_t to, bool last) {
    Bytes piece(whole.begin() + 20 + long(from), whole.begin() + 20 + long(to));
    return Ipv4(whole[9], 0x4d, unsigned(from / 8) | (last ? 0 : 0x2000), piece);
}

template <typename Event> Bytes RecordOf(const Event& event) {
    Bytes record(sizeof event);
    std::memcpy(record.data(), &event, sizeof event);
    return record;
}

Bytes Made(std::uint64_t cookie, const char* name, std::uint32_t pid = 100) {
    talvane_socket_event event{TALVANE_SOCKET_MADE, pid, 1000, 0, 0, 0, cookie, {}};
    std::strncpy(event.name, name, sizeof event.name - 1);
    return RecordOf(event);
}

Bytes SocketEvent(std::uint32_t kind, std::uint64_t cookie, std::uint16_t port = 0) {
    return RecordOf(talvane_socket_event{kind, 0, 0, port, 6, 0, cookie, {}});
}

// What the kernel programs tell of a datagram passing a socket.
Bytes Passage(std::uint8_t direction, std::uint64_t cookie, const Bytes& datagram,
              bool rawSocket = false) {
    talvane_packet_event event{};
    event.raw_socket = rawSocket;
    event.kind = TALVANE_PACKET;
    event.direction = direction;
    event.protocol = datagram[9];
    std::memcpy(&event.fragment, &datagram[6], 2);
    event.cookie = cookie;
    std::memcpy(&event.source, &datagram[12], 4);
    std::memcpy(&event.destination, &datagram[16], 4);
    std::memcpy(&event.id, &datagram[4], 2);
    event.length = std::uint32_t(datagram.size() - 20);
    std::memcpy(event.transport, &datagram[20],
                std::min(sizeof event.transport, datagram.size() - 20));
    return RecordOf(event);
}

// "" for nobody, "?" for a look-up.
QString Text(const KernelOwner& owner) {
    switch (owner.source) {
    case KernelOwner::Source::Named:
        return QString::fromStdString(std::string(owner.name));
    case KernelOwner::Source::Nobody:
        return "";
    case KernelOwner::Source::LookUp:
        break;
    }
    return "?";
}

struct Script {
    std::vector<Bytes> records;
    std::vector<Bytes> datagrams;
};

SocketLedger Ledger() {
    // Every process has ended by the time the helper names it, but pid 7.
    return SocketLedger([](std::int32_t pid) {
        return pid == 7 ? std::optional<std::string>("python3.11") : std::nullopt;
    });
}

} // namespace

Q_DECLARE_METATYPE(Script)

class SocketLedgerTest : public QObject {
    Q_OBJECT

private slots:
    void namesTheSocketThatSentEachDatagram_data();
    void namesTheSocketThatSentEachDatagram();
    void acceptedConnectionIsTheListenersProgram();
    void forgetsPassagesAndOwnersInTime();
};

void SocketLedgerTest::namesTheSocketThatSentEachDatagram_data() {
    QTest::addColumn<Script>("script");
    QTest::addColumn<QStringList>("senders");
    const Bytes query = Udp(30);
    const Bytes bulk = Tcp(1000, 3000);
    const Bytes large = Udp(3000, 0x4d);
    QTest::newRow("socket gone before its datagram is read")
        << Script{{Made(1, "dig"), Passage(TALVANE_SENT, 1, query), SocketEvent(4, 1)}, {query}}
        << QStringList{"dig"};
    QTest::newRow("named by the helper where the kernel does not")
        << Script{{Made(1, "", 7), Passage(TALVANE_SENT, 1, query), Made(2, ""),
                   Passage(TALVANE_SENT, 2, Udp(31))},
                  {query, Udp(31)}}
        << QStringList{"python3.11", "?"};
    QTest::newRow("port taken by two programs in turn")
        << Script{{Made(1, "first"), Passage(TALVANE_SENT, 1, query), Made(2, "second"),
                   Passage(TALVANE_SENT, 2, query)},
                  {query, query}}
        << QStringList{"first", "second"};
    QTest::newRow("received, not sent")
        << Script{{Made(1, "dig"), Passage(TALVANE_RECEIVED, 1, query)}, {query}}
        << QStringList{""};
    QTest::newRow("socket older than the programs")
        << Script{{Passage(TALVANE_SENT, 9, query)}, {query}} << QStringList{"?"};
    QTest::newRow("no socket carried it") << Script{{}, {query}} << QStringList{""};
    QTest::newRow("the kernel's own reset")
        << Script{{Passage(TALVANE_SENT, 9, bulk, true)}, {bulk}} << QStringList{""};
    Bytes longerThanCaptured = query;
    longerThanCaptured[3] += 8;
    QTest::newRow("longer than captured")
        << Script{{Made(1, "dig"), Passage(TALVANE_SENT, 1, query)}, {longerThanCaptured, query}}
        << QStringList{"", "dig"};
    QTest::newRow("another datagram of the flow")
        << Script{{Made(1, "dig"), Passage(TALVANE_SENT, 1, query)}, {Udp(31)}} << QStringList{""};
    QTest::newRow("segmented on its way out, then a copy of its start")
        << Script{{Made(1, "wget"), Passage(TALVANE_SENT, 1, bulk)},
                  {Tcp(1000, 1448), Tcp(2448, 1448), Tcp(3896, 104), Tcp(1000, 1448)}}
        << QStringList{"wget", "wget", "wget", ""};
    QTest::newRow("fragmented on its way out")
        << Script{{Made(1, "dns"), Passage(TALVANE_SENT, 1, large)},
                  {Fragment(large, 0, 1480, false), Fragment(large, 1480, 2960, false),
                   Fragment(large, 2960, 3008, true)}}
        << QStringList{"dns", "dns", "dns"};
    QTest::newRow("piece of a datagram not yet told of")
        << Script{{}, {Fragment(large, 0, 1480, false)}} << QStringList{"?"};
}

void SocketLedgerTest::namesTheSocketThatSentEachDatagram() {
    QFETCH(Script, script);
    QFETCH(QStringList, senders);
    SocketLedger ledger = Ledger();
    for (const Bytes& record : script.records)
        ledger.Take(record, Start);
    QStringList named;
    for (const Bytes& datagram : script.datagrams)
        named << Text(ledger.OwnersOf(datagram, Start).sender);
    QCOMPARE(named, senders);
}

void SocketLedgerTest::acceptedConnectionIsTheListenersProgram() {
    SocketLedger ledger = Ledger();
    const Bytes request = Tcp(5, 300);
    for (const Bytes& record :
         {Made(1, "httpd"), SocketEvent(TALVANE_SOCKET_BOUND, 1, 8080),
          SocketEvent(TALVANE_SOCKET_ACCEPTED, 2, 8080), Passage(TALVANE_RECEIVED, 2, request)})
        ledger.Take(record, Start);
    const DatagramOwners owners = ledger.OwnersOf(request, Start);
    QCOMPARE(Text(owners.receiver), "httpd");
    QCOMPARE(Text(owners.sender), "");
}

void SocketLedgerTest::forgetsPassagesAndOwnersInTime() {
    SocketLedger ledger = Ledger();
    const Bytes query = Udp(30);
    ledger.Take(Made(1, "dig"), Start);
    ledger.Take(Passage(TALVANE_SENT, 1, query), Start);
    ledger.Take(SocketEvent(TALVANE_SOCKET_RELEASED, 1), Start);
    ledger.Take(Passage(TALVANE_SENT, 1, query), Start + SocketLedger::PassageKept);
    // The first passage was never matched and is dropped; the second outlives it, but its owner
    // is forgotten by the time it is matched.
    QCOMPARE(Text(ledger.OwnersOf(query, Start + SocketLedger::OwnerKept).sender), "?");
    QCOMPARE(Text(ledger.OwnersOf(query, Start + SocketLedger::OwnerKept).sender), "");
}

QTEST_APPLESS_MAIN(SocketLedgerTest)
#include "SocketLedgerTest.moc"
