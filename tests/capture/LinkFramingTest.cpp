#include "capture/LinkFraming.h"
#include "capture/HostAddressList.h"

#include <QtTest>
#include <vector>

using namespace talvane;

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

// A 30-byte IPv4 UDP datagram: 20-byte header, 8-byte UDP header, two payload bytes.
Bytes ShortDatagram() {
    return {0x45, 0x00, 0x00, 0x1e, 0x12, 0x34, 0x00, 0x00, 0x40, 0x11, 0x00, 0x00, 10,   199, 0,
            2,    10,   199,  0,    1,    0x30, 0x39, 0x04, 0xd2, 0x00, 0x0a, 0x00, 0x00, 'h', 'i'};
}

// A datagram exactly filling a minimum frame: 46 bytes, total length 46.
Bytes FullMinimumDatagram() {
    Bytes datagram = ShortDatagram();
    datagram.resize(46, 0x5a);
    datagram[3] = 46;
    return datagram;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes EthernetHeader(std::initializer_list<std::uint16_t> types) {
    Bytes header(12, 0x02);
    for (std::uint16_t type : types) {
        header.push_back(static_cast<std::uint8_t>(type >> 8));
        header.push_back(static_cast<std::uint8_t>(type));
        if (type == 0x8100 || type == 0x88a8) {
            header.push_back(0x00);
            header.push_back(0x05);
        }
    }
    return header;
}

Bytes Padding(std::size_t count) {
    return Bytes(count, 0xaa);
}

} // namespace

class LinkFramingTest : public QObject {
    Q_OBJECT

private slots:
    void extractsTheDatagram_data();
    void extractsTheDatagram();
    void hostAddressesListNonLoopbackFirst();
};

void LinkFramingTest::extractsTheDatagram_data() {
    QTest::addColumn<int>("linkType");
    QTest::addColumn<Bytes>("frame");
    QTest::addColumn<Bytes>("expected");

    const Bytes datagram = ShortDatagram();
    const Bytes full = FullMinimumDatagram();
    using namespace LinkFraming;

    QTest::newRow("ethernet, unpadded")
        << int(Ethernet) << Concat({EthernetHeader({0x0800}), datagram}) << datagram;
    QTest::newRow("ethernet, padded to 60 bytes")
        << int(Ethernet) << Concat({EthernetHeader({0x0800}), datagram, Padding(16)}) << datagram;
    QTest::newRow("ethernet, minimum frame filled by the datagram")
        << int(Ethernet) << Concat({EthernetHeader({0x0800}), full}) << full;
    QTest::newRow("ethernet, check sequence behind a larger frame")
        << int(Ethernet) << Concat({EthernetHeader({0x0800}), full, Padding(4)}) << full;
    QTest::newRow("802.1Q tag, trailer")
        << int(Ethernet) << Concat({EthernetHeader({0x8100, 0x0800}), full, Padding(17)}) << full;
    QTest::newRow("raw ip, trailer") << int(RawIp) << Concat({datagram, Padding(5)}) << datagram;
    Bytes longerThanCaptured = datagram;
    longerThanCaptured[3] = 31;
    QTest::newRow("total length past the capture: whole")
        << int(RawIp) << longerThanCaptured << longerThanCaptured;
    Bytes belowItsHeader = Concat({datagram, Padding(4)});
    belowItsHeader[0] = 0x46;
    belowItsHeader[3] = 23;
    QTest::newRow("total length within the header: whole")
        << int(RawIp) << belowItsHeader << belowItsHeader;
    QTest::newRow("802.1Q tag, padded")
        << int(Ethernet) << Concat({EthernetHeader({0x8100, 0x0800}), datagram, Padding(16)})
        << datagram;
    QTest::newRow("802.1ad and 802.1Q tags")
        << int(Ethernet) << Concat({EthernetHeader({0x88a8, 0x8100, 0x0800}), datagram})
        << datagram;
    QTest::newRow("ethernet, ARP is no datagram")
        << int(Ethernet) << Concat({EthernetHeader({0x0806}), datagram}) << Bytes{};
    QTest::newRow("ethernet, IPv6 ethertype")
        << int(Ethernet) << Concat({EthernetHeader({0x86dd}), datagram}) << Bytes{};
    QTest::newRow("ethernet, header cut short") << int(Ethernet) << Bytes(13, 0) << Bytes{};
    QTest::newRow("ethernet, tag cut short")
        << int(Ethernet) << Concat({Bytes(12, 0), Bytes{0x81, 0x00, 0x00}}) << Bytes{};
    QTest::newRow("linux cooked") << int(LinuxCooked)
                                  << Concat({Bytes(14, 0), Bytes{0x08, 0x00}, datagram})
                                  << datagram;
    QTest::newRow("linux cooked v2")
        << int(LinuxCooked2) << Concat({Bytes{0x08, 0x00}, Bytes(18, 0), datagram}) << datagram;
    QTest::newRow("bsd loopback, host order")
        << int(BsdLoopback) << Concat({Bytes{2, 0, 0, 0}, datagram}) << datagram;
    QTest::newRow("bsd loopback, other family")
        << int(BsdLoopback) << Concat({Bytes{24, 0, 0, 0}, datagram}) << Bytes{};
    QTest::newRow("loop, network order")
        << int(OpenBsdLoop) << Concat({Bytes{0, 0, 0, 2}, datagram}) << datagram;
    QTest::newRow("raw ip") << int(RawIp) << datagram << datagram;
    QTest::newRow("raw ip, version 6") << int(RawIpv4) << Bytes{0x60, 0, 0, 0} << Bytes{};
    QTest::newRow("unknown link type") << 147 << datagram << Bytes{};
}

void LinkFramingTest::extractsTheDatagram() {
    QFETCH(int, linkType);
    QFETCH(Bytes, frame);
    QFETCH(Bytes, expected);

    const auto datagram = LinkFraming::Ipv4Datagram(linkType, frame);
    QCOMPARE(Bytes(datagram.begin(), datagram.end()), expected);
}

void LinkFramingTest::hostAddressesListNonLoopbackFirst() {
    using Entry = HostAddressList::InterfaceAddress;
    const std::vector<Entry> interfaces = {
        {"lo", {{127, 0, 0, 1}}, true, true},    {"eth0", {{192, 168, 0, 25}}, true, false},
        {"eth1", {{10, 0, 0, 2}}, false, false}, {"wlan0", {{172, 20, 0, 1}}, true, false},
        {"lo", {{127, 0, 0, 2}}, true, true},
    };
    const std::vector<Ipv4Address> expected = {
        {{192, 168, 0, 25}}, {{172, 20, 0, 1}}, {{127, 0, 0, 1}}, {{127, 0, 0, 2}}};
    QVERIFY(HostAddressList::Order(interfaces) == expected);
    QVERIFY(HostAddressList::Order({}).empty());
    QCOMPARE(QString::fromStdString(Ipv4Address{{192, 168, 0, 25}}.Dotted()), "192.168.0.25");
    QCOMPARE(QString::fromStdString(Ipv4Address{{0, 0, 0, 0}}.Dotted()), "0.0.0.0");
}

QTEST_APPLESS_MAIN(LinkFramingTest)
#include "LinkFramingTest.moc"
