// The meter's clock: BCD bytes from one reading of the PC clock, the "C" reply and its
// captions, and the two link jobs against the virtual meter (the bytes on the wire, the
// bounded read, the write that sets the meter's clock).

#include "settings/meterclock.h"

#include "support/meterbench.h"

#include <QTest>

using settings::MeterClockBcd;

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(sim::Faults)

using testsupport::bytes;

namespace {

QDateTime at(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

} // namespace

class TestMeterClock : public QObject {
    Q_OBJECT
private slots:
    void bcdBytesOfOneReading_data();
    void bcdBytesOfOneReading();
    void replyShownAsItsHexDigits_data();
    void replyShownAsItsHexDigits();
    void pcTimeCaption();
    void writeSendsDAndSixBytesFromOneReading_data();
    void writeSendsDAndSixBytesFromOneReading();
    void readGivesTheMetersClockOrGivesUp_data();
    void readGivesTheMetersClockOrGivesUp();
};

void TestMeterClock::bcdBytesOfOneReading_data() {
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("2024-03-15 14:05:09")
        << at(2024, 3, 15, 14, 5, 9) << bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x09});
    QTest::newRow("2100-01-01 00:00:00")
        << at(2100, 1, 1, 0, 0, 0) << bytes({0x00, 0x01, 0x01, 0x00, 0x00, 0x00});
    QTest::newRow("1999-12-31 23:59:59")
        << at(1999, 12, 31, 23, 59, 59) << bytes({0x99, 0x12, 0x31, 0x23, 0x59, 0x59});
    // The milliseconds never round a field up.
    QTest::newRow("23:59:59.999") << at(2026, 6, 30, 23, 59, 59, 999)
                                  << bytes({0x26, 0x06, 0x30, 0x23, 0x59, 0x59});
}

void TestMeterClock::bcdBytesOfOneReading() {
    QFETCH(QDateTime, moment);
    QFETCH(QByteArray, payload);
    QCOMPARE(settings::clockPayload(settings::clockBytes(moment)), payload);
}

void TestMeterClock::replyShownAsItsHexDigits_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<std::optional<QString>>("caption");
    const auto text = [](const char* t) { return std::optional<QString>(QString::fromLatin1(t)); };
    const QByteArray good = bytes({0x02, 0x24, 0x03, 0x15, 0x14, 0x05, 0x09, 0x0D});
    QTest::newRow("framed") << good << text("24/03/15 14:05:09");
    QTest::newRow("bytes after the eighth")
        << good + bytes({0x02, 0x41}) << text("24/03/15 14:05:09");
    QTest::newRow("not BCD shown as it is")
        << bytes({0x02, 0x1A, 0x12, 0x31, 0x23, 0x59, 0xFF, 0x0D}) << text("1A/12/31 23:59:FF");
    QTest::newRow("seven bytes") << good.left(7) << std::optional<QString>();
    QTest::newRow("no STX") << bytes({0x03, 0x24, 0x03, 0x15, 0x14, 0x05, 0x09, 0x0D})
                            << std::optional<QString>();
    QTest::newRow("no CR at the eighth")
        << bytes({0x02, 0x24, 0x03, 0x15, 0x14, 0x05, 0x0D, 0x09}) << std::optional<QString>();
    QTest::newRow("empty") << QByteArray() << std::optional<QString>();
}

void TestMeterClock::replyShownAsItsHexDigits() {
    QFETCH(QByteArray, reply);
    QFETCH(std::optional<QString>, caption);
    const std::optional<MeterClockBcd> parsed = settings::parseClockReply(reply);
    QCOMPARE(parsed.has_value(), caption.has_value());
    if (parsed)
        QCOMPARE(settings::meterTimeText(*parsed), *caption);
}

void TestMeterClock::pcTimeCaption() {
    QCOMPARE(settings::pcTimeText(at(2024, 3, 5, 4, 5, 9)), QStringLiteral("24/03/05 04:05:09"));
    QCOMPARE(settings::pcTimeText(at(2100, 1, 1, 23, 0, 0)), QStringLiteral("00/01/01 23:00:00"));
    QCOMPARE(settings::clockWriteText(settings::clockBytes(at(2024, 3, 15, 14, 5, 9))),
             QStringLiteral("D 24 03 15 14 05 09"));
}

void TestMeterClock::writeSendsDAndSixBytesFromOneReading_data() {
    QTest::addColumn<QDateTime>("first");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QDateTime>("meterClock");
    QTest::newRow("2024-03-15 14:05:09")
        << at(2024, 3, 15, 14, 5, 9) << bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x09})
        << at(2024, 3, 15, 14, 5, 9);
    // The clock turns over while the bytes are built: the fields still come from one reading.
    QTest::newRow("23:59:59 just before midnight")
        << at(2024, 12, 31, 23, 59, 59, 999) << bytes({0x24, 0x12, 0x31, 0x23, 0x59, 0x59})
        << at(2024, 12, 31, 23, 59, 59);
    QTest::newRow("2100-01-01") << at(2100, 1, 1, 0, 0, 0)
                                << bytes({0x00, 0x01, 0x01, 0x00, 0x00, 0x00})
                                << at(2000, 1, 1, 0, 0, 0);
}

void TestMeterClock::writeSendsDAndSixBytesFromOneReading() {
    QFETCH(QDateTime, first);
    QFETCH(QByteArray, payload);
    QFETCH(QDateTime, meterClock);
    testsupport::MeterBench bench;
    // Every reading of the PC clock is one millisecond later than the one before.
    int readings = 0;
    const auto now = [&] { return first.addMSecs(readings++); };
    const MeterClockBcd sent = settings::writeMeterClock(bench.session, now);
    QCOMPARE(readings, 1);
    QCOMPARE(settings::clockPayload(sent), payload);
    QCOMPARE(bench.commands(), QList<QByteArray>{QByteArrayLiteral("D") + payload});
    // "D", 2 ms, then the six bytes in one write, after the handshake.
    const QList<serial::SimPort::Write>& writes = bench.port.writes();
    QCOMPARE(writes.size(), 3);
    QCOMPARE(writes[0].bytes, QByteArrayLiteral("A"));
    QCOMPARE(writes[1].bytes, QByteArrayLiteral("D"));
    QCOMPARE(writes[2].bytes, payload);
    QVERIFY(writes[2].time - writes[1].time > 0.002 - 1e-9);
    QCOMPARE(bench.meter.clock(), meterClock);
}

void TestMeterClock::readGivesTheMetersClockOrGivesUp_data() {
    QTest::addColumn<sim::Faults>("faults");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("requests");
    QTest::newRow("good meter") << sim::Faults{} << true << 1;
    // Replies A1 C2 A3 C4 ...: every second fixed reply garbled hits every "C" reply, and the
    // read gives up after ten.
    QTest::newRow("every C reply garbled") << sim::Faults{.garbleEvery = 2} << false << 10;
    QTest::newRow("every C reply cut short") << sim::Faults{.shortEvery = 2} << false << 10;
}

void TestMeterClock::readGivesTheMetersClockOrGivesUp() {
    QFETCH(sim::Faults, faults);
    QFETCH(bool, answered);
    QFETCH(int, requests);
    testsupport::MeterBench bench({}, faults);
    bench.meter.receive(QByteArrayLiteral("D") + bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x09}),
                        bench.clock.now());
    const std::optional<MeterClockBcd> read = settings::readMeterClock(bench.session);
    QCOMPARE(read.has_value(), answered);
    if (read)
        QCOMPARE(settings::meterTimeText(*read), QStringLiteral("24/03/15 14:05:09"));
    QCOMPARE(bench.commands().count(QByteArrayLiteral("C")), requests);
}

QTEST_MAIN(TestMeterClock)
#include "tst_meterclock.moc"
