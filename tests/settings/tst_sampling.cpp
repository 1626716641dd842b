// Sampling intervals: typed texts to seconds (halves to even, clamped to 1..86400, texts that
// are not numbers), the "K" reply and the "F" payload bytes, and the two link jobs against the
// virtual meter: the read with its retries and its bound, and the write that changes the
// meter's interval.

#include "settings/sampling.h"

#include "link/meterprofile.h"
#include "support/meterbench.h"
#include "support/simport.h"
#include "support/virtualclock.h"
#include "sim/virtualmeter.h"

#include <QTest>

#include <limits>

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
    void roundsHalvesToEvenAndClamps_data();
    void roundsHalvesToEvenAndClamps();
    void typedTextBecomesAnInterval_data();
    void typedTextBecomesAnInterval();
    void notANumberMessageNamesTheText();
    void promptsAndTitle();
    void replyGivesSeconds_data();
    void replyGivesSeconds();
    void payloadIsThreeBytesHighFirst_data();
    void payloadIsThreeBytesHighFirst();
    void readJobRetriesUpToItsBound_data();
    void readJobRetriesUpToItsBound();
    void writeJobSetsTheMetersInterval_data();
    void writeJobSetsTheMetersInterval();
};

void TestSampling::roundsHalvesToEvenAndClamps_data() {
    QTest::addColumn<double>("typed");
    QTest::addColumn<int>("seconds");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("2.5 down to even") << 2.5 << 2;
    QTest::newRow("3.5 up to even") << 3.5 << 4;
    QTest::newRow("1.5 up to even") << 1.5 << 2;
    QTest::newRow("2.51 up") << 2.51 << 3;
    QTest::newRow("2.49 down") << 2.49 << 2;
    QTest::newRow("0 clamps to 1") << 0.0 << 1;
    QTest::newRow("-5 clamps to 1") << -5.0 << 1;
    QTest::newRow("0.5 rounds to 0, clamps to 1") << 0.5 << 1;
    QTest::newRow("1 stays") << 1.0 << 1;
    QTest::newRow("86400 stays") << 86400.0 << 86400;
    QTest::newRow("86399.5 up to even") << 86399.5 << 86400;
    QTest::newRow("86400.5 down to even") << 86400.5 << 86400;
    QTest::newRow("86401 clamps") << 86401.0 << 86400;
    QTest::newRow("90000 clamps") << 90000.0 << 86400;
    QTest::newRow("1e300 clamps, no overflow") << 1e300 << 86400;
    QTest::newRow("-1e300 clamps") << -1e300 << 1;
    QTest::newRow("+inf") << inf << 86400;
    QTest::newRow("-inf") << -inf << 1;
}

void TestSampling::roundsHalvesToEvenAndClamps() {
    QFETCH(double, typed);
    QFETCH(int, seconds);
    QCOMPARE(roundInterval(typed), seconds);
}

void TestSampling::typedTextBecomesAnInterval_data() {
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("seconds");
    const auto s = [](const char* text) { return std::optional<QString>(QString::fromUtf8(text)); };
    QTest::newRow("box cancelled") << std::optional<QString>() << Kind::Cancelled << 0;
    QTest::newRow("empty is cancel") << s("") << Kind::Cancelled << 0;
    QTest::newRow("blank is cancel") << s("   ") << Kind::Cancelled << 0;
    QTest::newRow("60") << s("60") << Kind::Accepted << 60;
    QTest::newRow("blanks around") << s(" 60 ") << Kind::Accepted << 60;
    QTest::newRow("2.5") << s("2.5") << Kind::Accepted << 2;
    QTest::newRow("3.5") << s("3.5") << Kind::Accepted << 4;
    QTest::newRow("0") << s("0") << Kind::Accepted << 1;
    QTest::newRow("-5") << s("-5") << Kind::Accepted << 1;
    QTest::newRow("90000") << s("90000") << Kind::Accepted << 86400;
    QTest::newRow("exponent") << s("1e3") << Kind::Accepted << 1000;
    QTest::newRow("huge exponent") << s("1e400") << Kind::NotANumber << 0;
    QTest::newRow("letters") << s("abc") << Kind::NotANumber << 0;
    QTest::newRow("unit after number") << s("60s") << Kind::NotANumber << 0;
    QTest::newRow("decimal comma") << s("1,5") << Kind::NotANumber << 0;
    QTest::newRow("group separator") << s("1,000") << Kind::NotANumber << 0;
    QTest::newRow("hex") << s("0x10") << Kind::NotANumber << 0;
    QTest::newRow("nan") << s("nan") << Kind::NotANumber << 0;
    QTest::newRow("two numbers") << s("1 2") << Kind::NotANumber << 0;
}

void TestSampling::typedTextBecomesAnInterval() {
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

void TestSampling::notANumberMessageNamesTheText() {
    QCOMPARE(notANumberMessage(QStringLiteral("12x")),
             QStringLiteral("\"12x\" is not a number. The sampling time is unchanged."));
}

void TestSampling::promptsAndTitle() {
    QCOMPARE(pcIntervalPrompt(),
             QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) "));
    QCOMPARE(meterIntervalPrompt(),
             QStringLiteral("Enter the METER SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) "));
    QCOMPARE(serviceIntervalPrompt(),
             QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) "));
    QCOMPARE(intervalTitle(), QStringLiteral("Input Sampling Time"));
}

void TestSampling::replyGivesSeconds_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<std::optional<int>>("seconds");
    const std::optional<int> none;
    QTest::newRow("60") << bytes({0x02, 0x00, 0x00, 0x3C, 0x0D}) << std::optional<int>(60);
    QTest::newRow("86400") << bytes({0x02, 0x01, 0x51, 0x80, 0x0D}) << std::optional<int>(86400);
    QTest::newRow("all three bytes count")
        << bytes({0x02, 0x12, 0x34, 0x56, 0x0D}) << std::optional<int>(0x123456);
    QTest::newRow("largest 24-bit")
        << bytes({0x02, 0xFF, 0xFF, 0xFF, 0x0D}) << std::optional<int>(16777215);
    QTest::newRow("bytes after the fifth ignored")
        << bytes({0x02, 0x00, 0x00, 0x3C, 0x0D, 0x02, 0x41}) << std::optional<int>(60);
    QTest::newRow("empty") << QByteArray() << none;
    QTest::newRow("four bytes") << bytes({0x02, 0x00, 0x00, 0x3C}) << none;
    QTest::newRow("wrong first byte") << bytes({0x82, 0x00, 0x00, 0x3C, 0x0D}) << none;
    QTest::newRow("wrong fifth byte") << bytes({0x02, 0x00, 0x00, 0x3C, 0x8D}) << none;
    QTest::newRow("0D one byte late") << bytes({0x02, 0x00, 0x00, 0x3C, 0x00, 0x0D}) << none;
}

void TestSampling::replyGivesSeconds() {
    QFETCH(QByteArray, reply);
    QFETCH(std::optional<int>, seconds);
    QCOMPARE(parseIntervalReply(reply), seconds);
}

void TestSampling::payloadIsThreeBytesHighFirst_data() {
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("86400") << 86400 << bytes({0x01, 0x51, 0x80});
    QTest::newRow("60") << 60 << bytes({0x00, 0x00, 0x3C});
    QTest::newRow("1") << 1 << bytes({0x00, 0x00, 0x01});
    QTest::newRow("255") << 255 << bytes({0x00, 0x00, 0xFF});
    QTest::newRow("256") << 256 << bytes({0x00, 0x01, 0x00});
    QTest::newRow("65535") << 65535 << bytes({0x00, 0xFF, 0xFF});
    QTest::newRow("65536") << 65536 << bytes({0x01, 0x00, 0x00});
    QTest::newRow("3600") << 3600 << bytes({0x00, 0x0E, 0x10});
    QTest::newRow("0 is sent as 1") << 0 << bytes({0x00, 0x00, 0x01});
    QTest::newRow("-5 is sent as 1") << -5 << bytes({0x00, 0x00, 0x01});
    QTest::newRow("90000 is sent as 86400") << 90000 << bytes({0x01, 0x51, 0x80});
}

void TestSampling::payloadIsThreeBytesHighFirst() {
    QFETCH(int, seconds);
    QFETCH(QByteArray, payload);
    QCOMPARE(intervalPayload(seconds), payload);
}

void TestSampling::readJobRetriesUpToItsBound_data() {
    QTest::addColumn<sim::Faults>("faults");
    QTest::addColumn<int>("handshakesFirst");
    QTest::addColumn<std::optional<int>>("seconds");
    QTest::addColumn<int>("kSent");
    const int bound = serial::profile::kRequestAttempts;
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
    QTest::newRow("silent meter") << sim::Faults{.silent = true} << 0 << std::optional<int>()
                                  << bound;
}

void TestSampling::readJobRetriesUpToItsBound() {
    QFETCH(sim::Faults, faults);
    QFETCH(int, handshakesFirst);
    QFETCH(std::optional<int>, seconds);
    QFETCH(int, kSent);
    Bench bench({.intervalSeconds = 60}, faults);
    for (int i = 0; i < handshakesFirst; ++i)
        bench.link.checkMeter();
    QCOMPARE(readMeterInterval(bench.session), seconds);
    QCOMPARE(bench.count("K"), kSent);
    // The read never writes anything to the meter.
    QCOMPARE(bench.meter.intervalSeconds(), 60);
}

void TestSampling::writeJobSetsTheMetersInterval_data() {
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("interval");
    QTest::newRow("3600") << 3600 << bytes({0x00, 0x0E, 0x10}) << 3600;
    QTest::newRow("86400") << 86400 << bytes({0x01, 0x51, 0x80}) << 86400;
    QTest::newRow("1") << 1 << bytes({0x00, 0x00, 0x01}) << 1;
}

void TestSampling::writeJobSetsTheMetersInterval() {
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
    QVERIFY(data.time - letter.time >= serial::profile::kPayloadGap - 1e-9);
    QCOMPARE(writes.first().bytes, QByteArrayLiteral("A")); // handshake first
    QCOMPARE(bench.count(QByteArrayLiteral("F") + payload), 1);
}

QTEST_GUILESS_MAIN(TestSampling)
#include "tst_sampling.moc"
