#include "capture/ClassifyPacket.h"

#include <QtTest>
#include <map>

using namespace talvane;

using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(FilterSettings)

namespace {

Ipv4Address Address(const QString& dotted) {
    Ipv4Address address;
    const QStringList octets = dotted.split('.');
    for (int index = 0; index < 4; ++index)
        address.octets[std::size_t(index)] = std::uint8_t(octets[index].toInt());
    return address;
}

struct TestDatagram {
    std::uint8_t protocol = 17;
    QString source = "192.168.0.25";
    QString target = "10.1.2.3";
    std::uint16_t sourcePort = 1030;
    std::uint16_t targetPort = 80;
    int payload = 0;
    int headerWords = 5;
    int tcpWords = 5;
    int totalLengthError = 0;
    // Flags and fragment offset, as on the wire.
    std::uint16_t fragment = 0;

    Bytes Build() const {
        const int header = headerWords * 4;
        const int transport = protocol == 6 ? tcpWords * 4 : protocol == 17 ? 8 : 0;
        Bytes bytes(std::size_t(std::max(header, 20) + transport + payload), 0);
        bytes[0] = std::uint8_t(0x40 | headerWords);
        const int total = int(bytes.size()) + totalLengthError;
        bytes[2] = std::uint8_t(total >> 8);
        bytes[3] = std::uint8_t(total);
        bytes[6] = std::uint8_t(fragment >> 8);
        bytes[7] = std::uint8_t(fragment);
        bytes[8] = 64;
        bytes[9] = protocol;
        const Ipv4Address from = Address(source);
        const Ipv4Address to = Address(target);
        std::copy(from.octets.begin(), from.octets.end(), bytes.begin() + 12);
        std::copy(to.octets.begin(), to.octets.end(), bytes.begin() + 16);
        if (transport > 0) {
            bytes[std::size_t(header)] = std::uint8_t(sourcePort >> 8);
            bytes[std::size_t(header) + 1] = std::uint8_t(sourcePort);
            bytes[std::size_t(header) + 2] = std::uint8_t(targetPort >> 8);
            bytes[std::size_t(header) + 3] = std::uint8_t(targetPort);
        }
        if (protocol == 6 && transport >= 13)
            bytes[std::size_t(header) + 12] = std::uint8_t(tcpWords << 4);
        for (int index = 0; index < payload; ++index)
            bytes[bytes.size() - std::size_t(payload) + std::size_t(index)] =
                std::uint8_t(index + 1);
        return bytes;
    }

    TestDatagram Tcp() const {
        TestDatagram copy = *this;
        copy.protocol = 6;
        return copy;
    }
    TestDatagram From(const QString& address, std::uint16_t port) const {
        TestDatagram copy = *this;
        copy.source = address;
        copy.sourcePort = port;
        return copy;
    }
    TestDatagram To(const QString& address, std::uint16_t port) const {
        TestDatagram copy = *this;
        copy.target = address;
        copy.targetPort = port;
        return copy;
    }
    TestDatagram Carrying(int bytes) const {
        TestDatagram copy = *this;
        copy.payload = bytes;
        return copy;
    }
    TestDatagram Protocol(std::uint8_t number) const {
        TestDatagram copy = *this;
        copy.protocol = number;
        return copy;
    }
    TestDatagram Fragment(std::uint16_t field) const {
        TestDatagram copy = *this;
        copy.fragment = field;
        return copy;
    }
};

FilterSettings Settings(std::initializer_list<std::pair<const char*, const char*>> values) {
    FilterSettings settings;
    for (const auto& [field, value] : values) {
        const QString name = field;
        const std::int32_t on = QByteArray(value).toInt();
        if (name == "filterBroadcast")
            settings.filterBroadcast = on;
        else if (name == "filterLan")
            settings.filterLan = on;
        else if (name == "monitorUdp")
            settings.monitorUdp = on;
        else if (name == "monitorTcp")
            settings.monitorTcp = on;
        else if (name == "monitorLan")
            settings.monitorLan = on;
        else if (name == "filterLocalPorts")
            settings.filterLocalPortText = value;
        else if (name == "filterRemotePorts")
            settings.filterRemotePortText = value;
        else if (name == "filterIps")
            settings.filterIpText = value;
        else if (name == "monitorLocalPorts")
            settings.monitorLocalPortText = value;
        else if (name == "monitorRemotePorts")
            settings.monitorRemotePortText = value;
        else if (name == "monitorIps")
            settings.monitorIpText = value;
        else
            qFatal("unknown filter field %s", field);
    }
    return settings;
}

// The result as one line: "rejected: <step>", or the ends, the protocol and the payload length.
QString Describe(const PacketClass& packet, const Bytes& datagram) {
    if (packet.Verdict() == Classification::Rejected) {
        static const char* const steps[] = {"malformed", "protocol",        "broadcast",
                                            "address",   "private network", "port"};
        return QStringLiteral("rejected: %1").arg(steps[int(*packet.rejection)]);
    }
    static const std::map<IpProtocol, QString> names = {{IpProtocol::Icmp, "ICMP"},
                                                        {IpProtocol::Igmp, "IGMP"},
                                                        {IpProtocol::Tcp, "TCP"},
                                                        {IpProtocol::Udp, "UDP"}};
    QString source = QString::fromStdString(packet.source.Dotted());
    QString destination = QString::fromStdString(packet.destination.Dotted());
    if (packet.ports) {
        source += QStringLiteral(":%1").arg(packet.ports->source);
        destination += QStringLiteral(":%1").arg(packet.ports->destination);
    }
    return QStringLiteral("%1 %2 %3, %4 bytes")
        .arg(source, names.at(packet.protocol), destination)
        .arg(packet.PayloadOf(datagram).size());
}

} // namespace

class ClassifyPacketTest : public QObject {
    Q_OBJECT

private slots:
    void classifies_data();
    void classifies();
};

void ClassifyPacketTest::classifies_data() {
    QTest::addColumn<QString>("local");
    QTest::addColumn<FilterSettings>("settings");
    QTest::addColumn<Bytes>("datagram");
    QTest::addColumn<QString>("expected");

    const QString local = "192.168.0.25";
    const FilterSettings none;
    const TestDatagram udp;
    const TestDatagram tcp = udp.Tcp();
    const TestDatagram icmp = udp.Protocol(1);

    const FilterSettings example =
        Settings({{"filterBroadcast", "1"}, {"monitorTcp", "1"}, {"filterRemotePorts", "8080"}});
    const TestDatagram exampleTcp = tcp.Carrying(20);
    QTest::newRow("worked example")
        << local << example << exampleTcp.Build() << "192.168.0.25:1030 TCP 10.1.2.3:80, 20 bytes";
    FilterSettings example80 = example;
    example80.filterRemotePortText = "80";
    QTest::newRow("worked example, remote 80")
        << local << example80 << exampleTcp.Build() << "rejected: port";
    example80.filterRemotePortText = "@@";
    QTest::newRow("worked example, remote @@")
        << local << example80 << exampleTcp.Build() << "rejected: port";

    TestDatagram tooLong = udp.Carrying(4);
    tooLong.totalLengthError = 1;
    QTest::newRow("total length one more")
        << local << none << tooLong.Build() << "rejected: malformed";
    tooLong.totalLengthError = -1;
    QTest::newRow("total length one less")
        << local << none << tooLong.Build() << "rejected: malformed";
    TestDatagram shortHeader = udp;
    shortHeader.headerWords = 4;
    Bytes longHeader = udp.Build();
    longHeader[0] = 0x4f;
    Bytes tcpOffsetPastEnd = tcp.Carrying(4).Build();
    tcpOffsetPastEnd[32] = 0xf0;
    Bytes tcpWithoutHeader = udp.Protocol(6).Build();
    tcpWithoutHeader.resize(30);
    tcpWithoutHeader[3] = 30;
    Bytes udpWithoutHeader = udp.Build();
    udpWithoutHeader.resize(24);
    udpWithoutHeader[3] = 24;
    QTest::newRow("empty") << local << none << Bytes{} << "rejected: malformed";
    QTest::newRow("three bytes") << local << none << Bytes{0x45, 0, 0} << "rejected: malformed";
    QTest::newRow("header length 16")
        << local << none << shortHeader.Build() << "rejected: malformed";
    QTest::newRow("header length past the end")
        << local << none << longHeader << "rejected: malformed";
    QTest::newRow("tcp data offset past the end")
        << local << none << tcpOffsetPastEnd << "rejected: malformed";
    TestDatagram tcpOffsetBelowFive = tcp.Carrying(8);
    tcpOffsetBelowFive.tcpWords = 4;
    QTest::newRow("tcp data offset below 5")
        << local << none << tcpOffsetBelowFive.Build() << "rejected: malformed";
    QTest::newRow("tcp header cut short")
        << local << none << tcpWithoutHeader << "rejected: malformed";
    QTest::newRow("udp header cut short")
        << local << none << udpWithoutHeader << "rejected: malformed";
    QTest::newRow("protocol 58") << local << none << udp.Protocol(58).Build()
                                 << "rejected: protocol";
    QTest::newRow("protocol 50") << local << none << udp.Protocol(50).Build()
                                 << "rejected: protocol";

    const FilterSettings udpAndTcp = Settings({{"monitorUdp", "1"}, {"monitorTcp", "1"}});
    QTest::newRow("ping with udp and tcp on")
        << local << udpAndTcp << icmp.Build() << "rejected: protocol";
    QTest::newRow("tcp with udp and tcp on")
        << local << udpAndTcp << tcp.Build() << "192.168.0.25:1030 TCP 10.1.2.3:80, 0 bytes";
    QTest::newRow("udp with tcp only")
        << local << Settings({{"monitorTcp", "1"}}) << udp.Build() << "rejected: protocol";
    QTest::newRow("tcp with udp only")
        << local << Settings({{"monitorUdp", "1"}}) << tcp.Build() << "rejected: protocol";
    const FilterSettings allPortLists = Settings({{"filterLocalPorts", "@|@@|@@@|@@@@|@@@@@"},
                                                  {"filterRemotePorts", "0"},
                                                  {"monitorLocalPorts", "1"},
                                                  {"monitorRemotePorts", "2"}});
    QTest::newRow("ping despite every port list")
        << local << allPortLists << icmp.Carrying(32).Build()
        << "192.168.0.25 ICMP 10.1.2.3, 0 bytes";
    QTest::newRow("igmp") << local << none << udp.Protocol(2).To("224.0.0.22", 0).Build()
                          << "192.168.0.25 IGMP 224.0.0.22, 0 bytes";

    const FilterSettings broadcast = Settings({{"filterBroadcast", "1"}});
    QTest::newRow("to 192.168.0.255")
        << local << broadcast << udp.To("192.168.0.255", 138).Build() << "rejected: broadcast";
    QTest::newRow("to 10.1.2.255")
        << local << broadcast << udp.To("10.1.2.255", 138).Build() << "rejected: broadcast";
    QTest::newRow("from 192.168.0.255")
        << local << broadcast << udp.From("192.168.0.255", 138).To(local, 138).Build()
        << "192.168.0.255:138 UDP 192.168.0.25:138, 0 bytes";
    QTest::newRow("any non-zero switch is on")
        << local << Settings({{"filterBroadcast", "-7"}}) << udp.To("10.1.2.255", 1).Build()
        << "rejected: broadcast";

    const FilterSettings filterIps = Settings({{"filterIps", "10.0.0.@"}});
    QTest::newRow("filter IP, to 10.0.0.0")
        << local << filterIps << udp.To("10.0.0.0", 1).Build() << "rejected: address";
    QTest::newRow("filter IP, from 10.0.0.9")
        << local << filterIps << udp.From("10.0.0.9", 1).To(local, 2).Build()
        << "rejected: address";
    QTest::newRow("filter IP, to 10.0.0.10") << local << filterIps << udp.To("10.0.0.10", 1).Build()
                                             << "192.168.0.25:1030 UDP 10.0.0.10:1, 0 bytes";

    const FilterSettings monitorIps = Settings({{"monitorIps", "192.168.0.25@|192.168.0.240"}});
    QTest::newRow("monitor IPs, both ends match")
        << local << monitorIps
        << udp.From("192.168.0.250", 5).To("192.168.0.240", 6).Carrying(3).Build()
        << "192.168.0.250:5 UDP 192.168.0.240:6, 3 bytes";
    QTest::newRow("monitor IPs, third host")
        << local << monitorIps << udp.From("192.168.0.250", 5).To("192.168.0.7", 6).Build()
        << "rejected: address";
    QTest::newRow("monitor IP empty entry never rejects")
        << local << Settings({{"monitorIps", "|"}}) << udp.Build()
        << "192.168.0.25:1030 UDP 10.1.2.3:80, 0 bytes";

    const FilterSettings twoLocal = Settings({{"monitorLocalPorts", "80|8080"}});
    QTest::newRow("monitor local 80|8080, local 80")
        << local << twoLocal << udp.From("10.1.2.3", 9).To(local, 80).Build() << "rejected: port";
    QTest::newRow("monitor local 80|8080, local 8080")
        << local << twoLocal << tcp.From(local, 8080).Build() << "rejected: port";
    const FilterSettings wildLocal = Settings({{"monitorLocalPorts", "8@8@"}});
    QTest::newRow("monitor local 8@8@, 8080") << local << wildLocal << tcp.From(local, 8080).Build()
                                              << "192.168.0.25:8080 TCP 10.1.2.3:80, 0 bytes";
    QTest::newRow("monitor local 8@8@, 8888")
        << local << wildLocal << udp.From("10.1.2.3", 53).To(local, 8888).Build()
        << "10.1.2.3:53 UDP 192.168.0.25:8888, 0 bytes";
    QTest::newRow("monitor local 8@8@, 8000")
        << local << wildLocal << tcp.From(local, 8000).Build() << "rejected: port";
    QTest::newRow("monitor remote, remote matches")
        << local << Settings({{"monitorRemotePorts", "80"}}) << tcp.Build()
        << "192.168.0.25:1030 TCP 10.1.2.3:80, 0 bytes";
    QTest::newRow("filter local, local matches")
        << local << Settings({{"filterLocalPorts", "0103@"}}) << tcp.Build() << "rejected: port";
    QTest::newRow("to itself the local port is the destination")
        << local << Settings({{"filterLocalPorts", "1030"}}) << udp.To(local, 2000).Build()
        << "192.168.0.25:1030 UDP 192.168.0.25:2000, 0 bytes";
    QTest::newRow("to itself, destination port filtered")
        << local << Settings({{"filterLocalPorts", "2000"}}) << udp.To(local, 2000).Build()
        << "rejected: port";

    const QString lan = "192.168.1.5";
    const FilterSettings filterLan = Settings({{"filterLan", "1"}});
    QTest::newRow("192.168 lan, same subnet")
        << lan << filterLan << udp.From("192.168.1.7", 1).To("192.168.1.9", 2).Build()
        << "rejected: private network";
    QTest::newRow("192.168 lan, other shared subnet")
        << lan << filterLan << udp.From("192.168.7.1", 1).To("192.168.7.2", 2).Build()
        << "rejected: private network";
    QTest::newRow("192.168 lan, across subnets")
        << lan << filterLan << udp.From(lan, 1).To("192.168.2.1", 2).Build()
        << "192.168.1.5:1 UDP 192.168.2.1:2, 0 bytes";
    QTest::newRow("172 lan, same second octet")
        << "172.20.0.1" << filterLan << udp.From("172.20.1.1", 1).To("172.20.9.9", 2).Build()
        << "rejected: private network";
    QTest::newRow("172 lan, other second octet")
        << "172.20.0.1" << filterLan << udp.From("172.20.1.1", 1).To("172.21.1.1", 2).Build()
        << "172.20.1.1:1 UDP 172.21.1.1:2, 0 bytes";
    QTest::newRow("172.5 is no private range")
        << "172.5.0.1" << Settings({{"filterLan", "1"}, {"monitorLan", "1"}})
        << udp.From("172.5.1.1", 1).To("172.5.9.9", 2).Build()
        << "172.5.1.1:1 UDP 172.5.9.9:2, 0 bytes";
    const FilterSettings bothLan = Settings({{"filterLan", "1"}, {"monitorLan", "1"}});
    QTest::newRow("public local address ignores both lan switches")
        << "8.8.4.4" << bothLan << udp.From("8.8.4.4", 1).To("10.0.0.1", 2).Build()
        << "8.8.4.4:1 UDP 10.0.0.1:2, 0 bytes";
    QTest::newRow("both lan switches, inside")
        << "10.0.0.2" << bothLan << udp.From("10.0.0.2", 1).To("10.9.9.9", 2).Build()
        << "rejected: private network";
    QTest::newRow("both lan switches, outside")
        << "10.0.0.2" << bothLan << udp.From("10.0.0.2", 1).To("11.0.0.1", 2).Build()
        << "rejected: private network";
    QTest::newRow("monitor lan, inside") << "10.0.0.2" << Settings({{"monitorLan", "1"}})
                                         << udp.From("10.0.0.2", 1).To("10.9.9.9", 2).Build()
                                         << "10.0.0.2:1 UDP 10.9.9.9:2, 0 bytes";

    QTest::newRow("tcp of 40 bytes")
        << local << none << tcp.Build() << "192.168.0.25:1030 TCP 10.1.2.3:80, 0 bytes";
    QTest::newRow("udp of 28 bytes")
        << local << none << udp.Build() << "192.168.0.25:1030 UDP 10.1.2.3:80, 0 bytes";

    const FilterSettings netbios = Settings({{"filterLocalPorts", "137"}});
    const TestDatagram nameQuery = udp.From("192.168.1.9", 137).To("192.168.1.255", 138);
    QTest::newRow("broadcast takes the destination port as local")
        << lan << netbios << nameQuery.Build() << "192.168.1.9:137 UDP 192.168.1.255:138, 0 bytes";
    QTest::newRow("broadcast, local port 138 filtered")
        << lan << Settings({{"filterLocalPorts", "138"}}) << nameQuery.Build() << "rejected: port";
    const TestDatagram multicast = udp.From("192.168.1.9", 1234).To("224.0.0.251", 5353);
    QTest::newRow("multicast takes the source port as local")
        << lan << Settings({{"filterLocalPorts", "1234"}}) << multicast.Build() << "rejected: port";
    QTest::newRow("multicast, remote port filtered")
        << lan << Settings({{"filterRemotePorts", "5353"}}) << multicast.Build()
        << "rejected: port";
    QTest::newRow("multicast, destination port is remote")
        << lan << Settings({{"filterLocalPorts", "5353"}}) << multicast.Build()
        << "192.168.1.9:1234 UDP 224.0.0.251:5353, 0 bytes";
    QTest::newRow("foreign traffic, any monitor port entry rejects")
        << lan << Settings({{"monitorRemotePorts", "|"}}) << multicast.Build() << "rejected: port";
    QTest::newRow("foreign traffic, no port of this network")
        << lan << Settings({{"filterLocalPorts", "1234"}, {"filterRemotePorts", "5353"}})
        << udp.From("8.8.8.8", 1234).To("9.9.9.9", 5353).Build()
        << "8.8.8.8:1234 UDP 9.9.9.9:5353, 0 bytes";

    TestDatagram options = udp.Carrying(5);
    options.headerWords = 6;
    QTest::newRow("ip options are skipped")
        << local << none << options.Build() << "192.168.0.25:1030 UDP 10.1.2.3:80, 5 bytes";
    TestDatagram tcpOptions = tcp.Carrying(7);
    tcpOptions.tcpWords = 8;
    QTest::newRow("tcp options are skipped")
        << local << none << tcpOptions.Build() << "192.168.0.25:1030 TCP 10.1.2.3:80, 7 bytes";
    tcpOptions = tcp.Carrying(300);
    tcpOptions.tcpWords = 6;
    QTest::newRow("payload is the datagram's tail")
        << local << none << tcpOptions.Build() << "192.168.0.25:1030 TCP 10.1.2.3:80, 300 bytes";

    // A later fragment's first bytes would read as ports 1030 and 80 and, for TCP, as a data
    // offset past its end.
    constexpr std::uint16_t moreFragments = 0x2000;
    const TestDatagram laterFragment = udp.Carrying(5).Fragment(185);
    Bytes shortTcpFragment = tcp.Fragment(moreFragments | 3).Build();
    shortTcpFragment.resize(28);
    shortTcpFragment[3] = 28;
    QTest::newRow("first fragment has ports")
        << local << none << udp.Carrying(5).Fragment(moreFragments).Build()
        << "192.168.0.25:1030 UDP 10.1.2.3:80, 5 bytes";
    QTest::newRow("later fragment has no ports")
        << local << none << laterFragment.Build() << "192.168.0.25 UDP 10.1.2.3, 13 bytes";
    QTest::newRow("later tcp fragment shorter than a tcp header")
        << local << none << shortTcpFragment << "192.168.0.25 TCP 10.1.2.3, 8 bytes";
    QTest::newRow("later fragment, filter port list lets it pass")
        << local << Settings({{"filterLocalPorts", "1030"}, {"filterRemotePorts", "80"}})
        << laterFragment.Build() << "192.168.0.25 UDP 10.1.2.3, 13 bytes";
    QTest::newRow("later fragment, monitor port list rejects")
        << local << Settings({{"monitorLocalPorts", "1030"}}) << laterFragment.Build()
        << "rejected: port";
    QTest::newRow("later icmp fragment is kept as icmp")
        << local << allPortLists << icmp.Carrying(16).Fragment(2).Build()
        << "192.168.0.25 ICMP 10.1.2.3, 0 bytes";
}

void ClassifyPacketTest::classifies() {
    QFETCH(QString, local);
    QFETCH(FilterSettings, settings);
    QFETCH(Bytes, datagram);
    QFETCH(QString, expected);

    const PacketClass packet =
        ClassifyPacket(datagram, Address(local), ActiveFilter::From(settings));

    QCOMPARE(Describe(packet, datagram), expected);
}

QTEST_APPLESS_MAIN(ClassifyPacketTest)
#include "ClassifyPacketTest.moc"
