#include "capture/RecentOwners.h"

#include <QtTest>

using namespace talvane;

namespace {

using namespace std::chrono_literals;
using Clock = RecentOwners::Clock;

constexpr std::uint16_t Port = 5353;
constexpr std::uint64_t RememberedInode = 1001;

} // namespace

class RecentOwnersTest : public QObject {
    Q_OBJECT

private slots:
    void recallFollowsPortAgeAndLiveSocket_data();
    void recallFollowsPortAgeAndLiveSocket();
    void newerOwnerOfThePortWins();
};

void RecentOwnersTest::recallFollowsPortAgeAndLiveSocket_data() {
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<int>("port");
    QTest::addColumn<qint64>("liveInode");
    QTest::addColumn<int>("ageMs");
    QTest::addColumn<QString>("recalled");

    const auto inode = qint64(RememberedInode);
    QTest::newRow("socket gone a moment ago")
        << false << int(Port) << qint64(0) << 10 << "resolver";
    QTest::newRow("socket gone two seconds ago")
        << false << int(Port) << qint64(0) << 2000 << "resolver";
    QTest::newRow("socket gone longer ago") << false << int(Port) << qint64(0) << 2001 << "";
    QTest::newRow("same socket, holder let go") << false << int(Port) << inode << 10 << "resolver";
    QTest::newRow("another socket owns the port now")
        << false << int(Port) << inode + 1 << 10 << "";
    QTest::newRow("same port, other transport") << true << int(Port) << qint64(0) << 10 << "";
    QTest::newRow("other port") << false << int(Port + 1) << qint64(0) << 10 << "";
}

void RecentOwnersTest::recallFollowsPortAgeAndLiveSocket() {
    QFETCH(bool, tcp);
    QFETCH(int, port);
    QFETCH(qint64, liveInode);
    QFETCH(int, ageMs);
    QFETCH(QString, recalled);
    RecentOwners owners;
    const Clock::time_point seen = Clock::now();
    owners.Remember(Transport::Udp, Port, RememberedInode, "resolver", seen);
    const std::string* name =
        owners.Recall(tcp ? Transport::Tcp : Transport::Udp, std::uint16_t(port),
                      std::uint64_t(liveInode), seen + std::chrono::milliseconds(ageMs));
    QCOMPARE(name != nullptr ? QString::fromStdString(*name) : QString(), recalled);
}

void RecentOwnersTest::newerOwnerOfThePortWins() {
    RecentOwners owners;
    const Clock::time_point start = Clock::now();
    owners.Remember(Transport::Tcp, Port, 1, "first", start);
    owners.Remember(Transport::Tcp, Port, 2, "second", start + 1500ms);
    const std::string* name = owners.Recall(Transport::Tcp, Port, 0, start + 3s);
    QVERIFY(name != nullptr);
    QCOMPARE(*name, std::string("second"));
    QVERIFY(owners.Recall(Transport::Tcp, Port, 1, start + 3s) == nullptr);
}

QTEST_APPLESS_MAIN(RecentOwnersTest)
#include "RecentOwnersTest.moc"
