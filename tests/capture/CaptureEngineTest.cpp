#include "capture/CaptureEngine.h"
#include "support/StreamFeed.h"

#include <QtTest>
#include <condition_variable>
#include <mutex>

using namespace talvane;
using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Ipv4Address Address{{10, 0, 0, 1}};
const Bytes Datagram = {0x45, 0x00, 0x00, 0x06, 0x01, 0x02};
// Both addresses 02:02:..., then the type: IPv4, or another.
const Bytes EthernetIpv4 = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0x08, 0x00};
const Bytes EthernetOther = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0x08, 0x06};

Bytes Joined(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

CaptureTime Now() {
    return std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
}

// What the worker hands over, kept on its thread and waited for on the test's.
struct RecordingSink : Handover {
    void HandOver(std::span<const CapturedDatagram> handed) override {
        std::lock_guard lock(mutex);
        for (const CapturedDatagram& datagram : handed) {
            datagrams.push_back({datagram.bytes.begin(), datagram.bytes.end()});
            times.push_back(datagram.captured);
            senders.emplace_back(datagram.owners.sender.name);
            addresses.push_back(datagram.captureAddress);
        }
        changed.notify_all();
    }
    void CaptureEnded(const std::string& reason) override {
        std::lock_guard lock(mutex);
        endReason = reason;
        changed.notify_all();
    }
    // Ten seconds, which only a broken build takes.
    template <typename Condition> bool WaitFor(Condition condition) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, condition);
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Bytes> datagrams;
    std::vector<CaptureTime> times;
    std::vector<std::string> senders;
    std::vector<Ipv4Address> addresses;
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
};

void CaptureEngineTest::framesBecomeDatagrams_data() {
    QTest::addColumn<int>("linkType");
    QTest::addColumn<Bytes>("frame");
    QTest::addColumn<Bytes>("datagram"); // empty: passed over
    QTest::newRow("raw IPv4") << 228 << Datagram << Datagram;
    QTest::newRow("Ethernet") << 1 << Joined(EthernetIpv4, Datagram) << Datagram;
    QTest::newRow("Ethernet, not IPv4") << 1 << Joined(EthernetOther, Datagram) << Bytes{};
    // An offload frame beyond 64 KiB has no total length that could tell its end.
    Bytes offloaded(CaptureStream::MaximumFrame, 0x45);
    offloaded[2] = offloaded[3] = 0;
    QTest::newRow("longer than any datagram, cut")
        << 228 << offloaded << Bytes(offloaded.begin(), offloaded.begin() + MaximumDatagram);
}

// A frame, the kernel's counts, then a datagram in a later capture block.
void CaptureEngineTest::framesBecomeDatagrams() {
    QFETCH(int, linkType);
    QFETCH(Bytes, frame);
    QFETCH(Bytes, datagram);

    StreamFeed feed;
    RecordingSink sink;
    CaptureEngine engine(sink, feed.Opener(StreamFeed::Opening(linkType, "no cgroup2")));
    QCOMPARE(engine.Bind(Address).ownersUnavailable, "no cgroup2");
    QVERIFY(engine.Begin());
    const CaptureTime captured = Now();
    feed.Send(CaptureStream::Frame{captured, frame});
    feed.Send(CaptureStream::Statistics{7, 2});
    feed.Send(CaptureStream::Frame{captured + 1us,
                                   linkType == 1 ? Joined(EthernetIpv4, Datagram) : Datagram,
                                   {{KernelOwner::Source::Named, 7, 0, "dig"}, {}}});

    QVERIFY(
        sink.WaitFor([&] { return !sink.times.empty() && sink.times.back() == captured + 1us; }));
    const std::vector<Bytes> expected =
        datagram.empty() ? std::vector<Bytes>{Datagram} : std::vector<Bytes>{datagram, Datagram};
    QCOMPARE(sink.datagrams, expected);
    QCOMPARE(sink.times.front(), datagram.empty() ? captured + 1us : captured);
    QCOMPARE(sink.senders.back(), "dig");
    QCOMPARE(sink.addresses, std::vector<Ipv4Address>(expected.size(), Address));
    QCOMPARE(engine.CurrentStatistics()->received, 7u);
    QCOMPARE(engine.CurrentStatistics()->dropped, 2u);
}

void CaptureEngineTest::pauseHandsOverOneMoreAndEndsTheWorker() {
    StreamFeed feed;
    RecordingSink sink;
    CaptureEngine engine(sink, feed.Opener());
    const auto send = [&feed](std::uint8_t tag) {
        feed.Send(CaptureStream::Frame{Now(), Bytes{0x45, tag}});
    };
    QVERIFY(engine.Bind(Address).bound);
    send(1); // before the begin: dropped
    QVERIFY(engine.Begin());
    send(2);
    QVERIFY(sink.WaitFor([&] { return sink.datagrams.size() == 1; }));

    engine.Pause();
    send(3);
    send(4);
    QTRY_VERIFY_WITH_TIMEOUT(!engine.WorkerRunning(), 10000);
    QCOMPARE(sink.datagrams, (std::vector<Bytes>{{0x45, 2}, {0x45, 3}}));
}

void CaptureEngineTest::streamThatEndsEndsTheCapture_data() {
    QTest::addColumn<Bytes>("opening");
    QTest::addColumn<Bytes>("bytes"); // after a datagram; none when the opening fails
    QTest::addColumn<QString>("reason");
    const Bytes link = StreamFeed::Opening();
    const Bytes failure = StreamFeed::Bytes(CaptureStream::Failure{"The interface went down"});
    const Bytes garbled(8, 0xee);
    QTest::newRow("helper's failure") << link << failure << "The interface went down";
    QTest::newRow("helper gone") << link << Bytes{} << "the capture helper ended";
    QTest::newRow("cut within a message")
        << link << Bytes{2, 0, 0, 0, 32}
        << "the capture helper's stream broke off within a message";
    QTest::newRow("garbled") << link << garbled << "the capture helper's stream is garbled";
    QTest::newRow("second link type") << link << link << "the capture helper's stream is garbled";
    QTest::newRow("could not open") << failure << Bytes{} << "The interface went down";
    QTest::newRow("frame first")
        << StreamFeed::Bytes(CaptureStream::Frame{}) << Bytes{}
        << "the capture helper's stream does not begin with its link type and owners";
    QTest::newRow("link type alone") << StreamFeed::Bytes(CaptureStream::Link{228}) << Bytes{}
                                     << "the capture helper ended without saying why";
    QTest::newRow("garbled opening")
        << garbled << Bytes{} << "the capture helper's stream is garbled";
    QTest::newRow("nothing") << Bytes{} << Bytes{} << "the capture helper ended without saying why";
}

// Each ends the capture with its reason, once its datagrams are handed over; the worker then
// waits for a capture bound anew.
void CaptureEngineTest::streamThatEndsEndsTheCapture() {
    QFETCH(Bytes, opening);
    QFETCH(Bytes, bytes);
    QFETCH(QString, reason);

    StreamFeed feed;
    RecordingSink sink;
    const bool opens = opening == StreamFeed::Opening();
    CaptureEngine engine(sink, feed.Opener(opening, !opens));
    const CaptureSource::Binding binding = engine.Bind(Address);
    if (!binding.bound) {
        QCOMPARE(QString::fromStdString(binding.error), reason);
        return;
    }
    QVERIFY(engine.Begin());
    feed.Send(CaptureStream::Frame{Now(), Datagram});
    feed.SendBytes(bytes);
    feed.Close();
    QVERIFY(sink.WaitFor([&] { return !sink.endReason.empty(); }));
    QCOMPARE(QString::fromStdString(sink.endReason), reason);
    QCOMPARE(sink.datagrams.size(), std::size_t{1});

    QVERIFY(engine.Bind(Address).bound);
    feed.Send(CaptureStream::Frame{Now(), Datagram});
    QVERIFY(sink.WaitFor([&] { return sink.datagrams.size() == 2; }));
}

QTEST_APPLESS_MAIN(CaptureEngineTest)
#include "CaptureEngineTest.moc"
