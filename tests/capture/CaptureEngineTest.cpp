#include "capture/CaptureEngine.h"
#include "support/StreamFeed.h"

#include <QtTest>
#include <condition_variable>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

using namespace talvane;
using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Ipv4Address Address{{10, 0, 0, 1}};
const Bytes Datagram = {0x45, 0x00, 0x00, 0x06, 0x01, 0x02};
const Bytes EthernetHeader(14, 0x08); // both addresses 08:08:..., type 0x0808
// Both addresses 02:02:..., type IPv4.
const Bytes EthernetIpv4Header = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0x08, 0x00};

Bytes Joined(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

CaptureTime Now() {
    return std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
}

// What the worker hands over, kept on the worker's thread and waited for on the test's.
class RecordingSink : public Handover {
public:
    void HandOver(std::span<const CapturedDatagram> handed) override {
        std::lock_guard lock(mutex);
        for (const CapturedDatagram& datagram : handed) {
            datagrams.emplace_back(datagram.bytes.begin(), datagram.bytes.end());
            times.push_back(datagram.captured);
        }
        changed.notify_all();
    }
    void CaptureEnded(const std::string& reason) override {
        std::lock_guard lock(mutex);
        endReason = reason;
        changed.notify_all();
    }
    // Waits at most ten seconds, which only a broken build takes.
    template <typename Condition> bool WaitFor(Condition condition) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, condition);
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Bytes> datagrams;
    std::vector<CaptureTime> times;
    std::string endReason;
};

} // namespace

class CaptureEngineTest : public QObject {
    Q_OBJECT

private slots:
    void framesBecomeDatagrams_data();
    void framesBecomeDatagrams();
    void pauseHandsOverOneMoreAndEndsTheWorker();
    void streamThatEndsEndsTheCapture_data();
    void streamThatEndsEndsTheCapture();
    void openingWithoutLinkTypeOpensNothing_data();
    void openingWithoutLinkTypeOpensNothing();
};

void CaptureEngineTest::framesBecomeDatagrams_data() {
    QTest::addColumn<int>("linkType");
    QTest::addColumn<Bytes>("frame");
    // Empty: the frame is passed over.
    QTest::addColumn<Bytes>("datagram");
    QTest::newRow("raw IPv4") << 228 << Datagram << Datagram;
    QTest::newRow("Ethernet") << 1 << Joined(EthernetIpv4Header, Datagram) << Datagram;
    QTest::newRow("Ethernet, not IPv4") << 1 << Joined(EthernetHeader, Datagram) << Bytes{};
    QTest::newRow("longer than any datagram, cut")
        << 228 << Bytes(CaptureStream::MaximumFrame, 0x45) << Bytes(MaximumDatagram, 0x45);
}

void CaptureEngineTest::framesBecomeDatagrams() {
    QFETCH(int, linkType);
    QFETCH(Bytes, frame);
    QFETCH(Bytes, datagram);

    StreamFeed feed;
    RecordingSink sink;
    CaptureEngine engine(sink, feed.Opener(linkType));
    QVERIFY(engine.Bind(Address).bound);
    QVERIFY(engine.Begin());
    const CaptureTime captured = Now();
    feed.Send(CaptureStream::Frame{captured, frame});
    feed.Send(CaptureStream::Statistics{7, 2});
    // A last frame that always is a datagram: everything before it has been read.
    const Bytes last = linkType == 1 ? Joined(EthernetIpv4Header, Datagram) : Datagram;
    feed.Send(CaptureStream::Frame{captured + 1us, last});

    const std::size_t expected = datagram.empty() ? 1 : 2;
    QVERIFY(sink.WaitFor([&] { return sink.datagrams.size() == expected; }));
    if (!datagram.empty()) {
        QCOMPARE(sink.datagrams.front(), datagram);
        QCOMPARE(sink.times.front(), captured);
    }
    QCOMPARE(sink.times.back(), captured + 1us);
    QCOMPARE(engine.CurrentStatistics()->received, 7u);
    QCOMPARE(engine.CurrentStatistics()->dropped, 2u);
}

void CaptureEngineTest::pauseHandsOverOneMoreAndEndsTheWorker() {
    StreamFeed feed;
    RecordingSink sink;
    CaptureEngine engine(sink, feed.Opener());
    const auto send = [&feed](std::uint8_t tag) {
        const Bytes datagram = {0x45, tag};
        feed.Send(CaptureStream::Frame{Now(), datagram});
    };
    QVERIFY(engine.Bind(Address).bound);
    send(1); // before the begin: dropped
    QVERIFY(engine.Begin());
    send(2);
    QVERIFY(sink.WaitFor([&] { return sink.datagrams.size() == 1; }));

    engine.Pause();
    QVERIFY(engine.WorkerRunning());
    send(3);
    send(4);
    QTRY_VERIFY_WITH_TIMEOUT(!engine.WorkerRunning(), 10000);
    QCOMPARE(sink.datagrams, (std::vector<Bytes>{{0x45, 2}, {0x45, 3}}));
}

void CaptureEngineTest::streamThatEndsEndsTheCapture_data() {
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<bool>("thenClosed");
    QTest::addColumn<QString>("reason");
    Bytes failure;
    CaptureStream::Write(CaptureStream::Failure{"The interface went down"}, failure);
    QTest::newRow("helper's failure") << failure << false << "The interface went down";
    QTest::newRow("helper gone") << Bytes{} << true << "the capture helper ended";
    QTest::newRow("cut within a message") << Bytes{0x02, 0x00, 0x00, 0x00, 0x20} << true
                                          << "the capture helper's stream broke off within a "
                                             "message";
    QTest::newRow("garbled") << Bytes(8, 0xee) << false << "the capture helper's stream is garbled";
    Bytes secondLink;
    CaptureStream::Write(CaptureStream::Link{1}, secondLink);
    QTest::newRow("second link type")
        << secondLink << false << "the capture helper's stream is garbled";
}

void CaptureEngineTest::streamThatEndsEndsTheCapture() {
    QFETCH(Bytes, bytes);
    QFETCH(bool, thenClosed);
    QFETCH(QString, reason);

    StreamFeed feed;
    RecordingSink sink;
    CaptureEngine engine(sink, feed.Opener());
    QVERIFY(engine.Bind(Address).bound);
    QVERIFY(engine.Begin());
    feed.Send(CaptureStream::Frame{Now(), Datagram});
    feed.SendBytes(bytes);
    if (thenClosed)
        feed.Close();
    QVERIFY(sink.WaitFor([&] { return !sink.endReason.empty(); }));
    QCOMPARE(QString::fromStdString(sink.endReason), reason);
    QCOMPARE(sink.datagrams.size(), std::size_t{1});
    QVERIFY(engine.WorkerRunning());

    // The worker waits for a new capture, and reads it once bound.
    QVERIFY(engine.Bind(Address).bound);
    feed.Send(CaptureStream::Frame{Now(), Datagram});
    QVERIFY(sink.WaitFor([&] { return sink.datagrams.size() == 2; }));
}

void CaptureEngineTest::openingWithoutLinkTypeOpensNothing_data() {
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<QString>("error");
    Bytes failure;
    CaptureStream::Write(CaptureStream::Failure{"activate: Operation not permitted"}, failure);
    QTest::newRow("could not open") << failure << "activate: Operation not permitted";
    Bytes frame;
    CaptureStream::Write(CaptureStream::Frame{}, frame);
    QTest::newRow("frame first") << frame
                                 << "the capture helper's stream does not begin with its link type";
    QTest::newRow("garbled") << Bytes(8, 0xee) << "the capture helper's stream is garbled";
    QTest::newRow("nothing") << Bytes{} << "the capture helper ended without saying why";
}

void CaptureEngineTest::openingWithoutLinkTypeOpensNothing() {
    QFETCH(Bytes, bytes);
    QFETCH(QString, error);

    int pair[2];
    QCOMPARE(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    UniqueFd helperEnd(pair[1]);
    QCOMPARE(write(helperEnd.Get(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
    helperEnd.Close();
    const CaptureChannel::Opened opened = CaptureChannel::Open(UniqueFd(pair[0]));
    QVERIFY(!opened.channel);
    QCOMPARE(QString::fromStdString(opened.error), error);
}

QTEST_APPLESS_MAIN(CaptureEngineTest)
#include "CaptureEngineTest.moc"
