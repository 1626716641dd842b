// Sampling intervals: typed texts to seconds (halves to even, clamped to 1..86400, texts that
// are not numbers), the "K" reply and the "F" payload bytes, and the two link jobs against the
// virtual meter: the read with its retries and its bound, and the write that changes the
// meter's interval.

#include "settings/sampling.h"

#include "link/meterprofile.h"
#include "support/meterbench.h"
#include "support/simport.h"
#include "support/virtualclock.h"

#include <QTest>

using namespace settings;
using Kind = IntervalEntry::Kind;
using testsupport::bytes;
using Bench = testsupport::MeterBench;

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(std::optional<int>)
Q_DECLARE_METATYPE(IntervalEntry::Kind)
Q_DECLARE_METATYPE(sim::Faults)

using Bench = testsupport::MeterBench;
using testsupport::bytes;

class TestSampling : public QObject {
    Q_OBJECT
private slots:

    void typedTextBecomesAnInterval_data() {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("seconds");
        const auto s = [](const char* text) {
            return std::optional<QString>(QString::fromUtf8(text));
        };
        QTest::newRow("box cancelled") << std::optional<QString>() << Kind::Cancelled << 0;
        QTest::newRow("empty is cancel") << s("") << Kind::Cancelled << 0;
        QTest::newRow("60") << s("60") << Kind::Accepted << 60;
        QTest::newRow("2.5") << s("2.5") << Kind::Accepted << 2;
        QTest::newRow("0") << s("0") << Kind::Accepted << 1;
        QTest::newRow("90000") << s("90000") << Kind::Accepted << 86400;
        QTest::newRow("huge exponent") << s("1e400") << Kind::NotANumber << 0;
        QTest::newRow("unit after number") << s("60s") << Kind::NotANumber << 0;
    }

    void typedTextBecomesAnInterval() {
        QFETCH(std::optional<QString>, answer);
        QFETCH(Kind, kind);
        QFETCH(int, seconds);
        const IntervalEntry entry = parseIntervalEntry(answer);
        QCOMPARE(entry.kind, kind);
        if (kind == Kind::Accepted)
            QCOMPARE(entry.seconds, seconds);
        if (kind == Kind::NotANumber)
            QCOMPARE(entry.typed, *answer);
    }

    void notANumberMessageNamesTheText() {
        QCOMPARE(notANumberMessage(QStringLiteral("12x")),
                 QStringLiteral("\"12x\" is not a number. The sampling time is unchanged."));
    }

    void promptsAndTitle() {
        QCOMPARE(pcIntervalPrompt(),
                 QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) "));
        QCOMPARE(meterIntervalPrompt(),
                 QStringLiteral("Enter the METER SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) "));
        QCOMPARE(serviceIntervalPrompt(),
                 QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) "));
        QCOMPARE(intervalTitle(), QStringLiteral("Input Sampling Time"));
    }

    void replyGivesSeconds_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<std::optional<int>>("seconds");
        const std::optional<int> none;
        QTest::newRow("60") << bytes({0x02, 0x00, 0x00, 0x3C, 0x0D}) << std::optional<int>(60);
        QTest::newRow("86400") << bytes({0x02, 0x01, 0x51, 0x80, 0x0D})
                               << std::optional<int>(86400);
        QTest::newRow("all three bytes count")
            << bytes({0x02, 0x12, 0x34, 0x56, 0x0D}) << std::optional<int>(0x123456);
        QTest::newRow("bytes after the fifth ignored")
            << bytes({0x02, 0x00, 0x00, 0x3C, 0x0D, 0x02, 0x41}) << std::optional<int>(60);
        QTest::newRow("empty") << QByteArray() << none;
        QTest::newRow("four bytes") << bytes({0x02, 0x00, 0x00, 0x3C}) << none;
        QTest::newRow("wrong first byte") << bytes({0x82, 0x00, 0x00, 0x3C, 0x0D}) << none;
        QTest::newRow("wrong fifth byte") << bytes({0x02, 0x00, 0x00, 0x3C, 0x8D}) << none;
        QTest::newRow("0D one byte late") << bytes({0x02, 0x00, 0x00, 0x3C, 0x00, 0x0D}) << none;
    }

    void replyGivesSeconds() {
        QFETCH(QByteArray, reply);
        QFETCH(std::optional<int>, seconds);
        QCOMPARE(parseIntervalReply(reply), seconds);
    }

    void payloadIsThreeBytesHighFirst_data() {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("86400") << 86400 << bytes({0x01, 0x51, 0x80});
        QTest::newRow("60") << 60 << bytes({0x00, 0x00, 0x3C});
        QTest::newRow("65536") << 65536 << bytes({0x01, 0x00, 0x00});
        QTest::newRow("0 is sent as 1") << 0 << bytes({0x00, 0x00, 0x01});
        QTest::newRow("90000 is sent as 86400") << 90000 << bytes({0x01, 0x51, 0x80});
    }

    void payloadIsThreeBytesHighFirst() {
        QFETCH(int, seconds);
        QFETCH(QByteArray, payload);
        QCOMPARE(intervalPayload(seconds), payload);
    }

    void readJobRetriesUpToItsBound_data() {
        QTest::addColumn<sim::Faults>("faults");
        QTest::addColumn<int>("handshakesFirst");
        QTest::addColumn<std::optional<int>>("seconds");
        QTest::addColumn<int>("kSent");
        const int bound = 10; // about 0.3 s of attempts, then the panel tells the user
        QTest::newRow("healthy meter") << sim::Faults{} << 0 << std::optional<int>(60) << 1;
        // Replies A1 K2 A3 K4 ...: every second fixed reply garbled hits every "K" reply.
        QTest::newRow("every K reply garbled")
            << sim::Faults{.garbleEvery = 2} << 0 << std::optional<int>() << bound;
        QTest::newRow("every K reply cut short")
            << sim::Faults{.shortEvery = 2} << 0 << std::optional<int>() << bound;
        // Every reply garbled, the handshake's too: the link gives the handshake up (no port
        // search in this bench) and the read still ends at its bound.
        QTest::newRow("every reply garbled")
            << sim::Faults{.garbleEvery = 1} << 0 << std::optional<int>() << bound;
        // A1 (before), A2 K3 garbled, A4 K5 good: the second try succeeds.
        QTest::newRow("first K garbled, second good")
            << sim::Faults{.garbleEvery = 3} << 1 << std::optional<int>(60) << 2;
        QTest::newRow("silent meter")
            << sim::Faults{.silent = true} << 0 << std::optional<int>() << bound;
    }

    void readJobRetriesUpToItsBound() {
        QFETCH(sim::Faults, faults);
        QFETCH(int, handshakesFirst);
        QFETCH(std::optional<int>, seconds);
        QFETCH(int, kSent);
        Bench bench({.intervalSeconds = 60}, faults);
        for (int i = 0; i < handshakesFirst; ++i)
            bench.link.checkMeter();
        std::optional<int> read;
        try {
            read = readMeterInterval(bench.session);
        } catch (const serial::Cancelled&) {
            QFAIL("the read did not end by itself");
        }
        QCOMPARE(read, seconds);
        QCOMPARE(bench.count("K"), kSent);
        // The read never writes anything to the meter.
        QCOMPARE(bench.meter.intervalSeconds(), 60);
    }

    void writeJobSetsTheMetersInterval_data() {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("interval");
        QTest::newRow("86400") << 86400 << bytes({0x01, 0x51, 0x80}) << 86400;
        QTest::newRow("1") << 1 << bytes({0x00, 0x00, 0x01}) << 1;
    }

    void writeJobSetsTheMetersInterval() {
        QFETCH(int, seconds);
        QFETCH(QByteArray, payload);
        QFETCH(int, interval);
        Bench bench({.intervalSeconds = 2});
        // Leftovers from an earlier exchange must not reach the write.
        bench.port.write(QByteArrayLiteral("M"));
        bench.clock.wait(0.3);
        bench.port.clearWrites();

        writeMeterInterval(bench.session, seconds);
        bench.clock.wait(0.01); // let the payload reach the meter
        QCOMPARE(bench.meter.intervalSeconds(), interval);

        const QList<serial::SimPort::Write>& writes = bench.port.writes();
        QVERIFY(writes.size() >= 3);
        const serial::SimPort::Write& letter = writes.at(writes.size() - 2);
        const serial::SimPort::Write& data = writes.last();
        QCOMPARE(letter.bytes, QByteArrayLiteral("F"));
        QCOMPARE(data.bytes, payload);
        QVERIFY(data.time - letter.time >= 0.002 - 1e-9);
        QCOMPARE(writes.first().bytes, QByteArrayLiteral("A")); // handshake first
        QCOMPARE(bench.count(QByteArrayLiteral("F") + payload), 1);
    }
};

QTEST_GUILESS_MAIN(TestSampling)
#include "tst_sampling.moc"
