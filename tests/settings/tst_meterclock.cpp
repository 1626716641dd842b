// The meter's clock: the "C" reply and its caption, the PC caption, and the two link jobs
// against the virtual meter (the "D" bytes from one reading of the PC clock, the bounded read).

#include "settings/meterclock.h"

#include "support/meterbench.h"

#include <QTest>

using settings::MeterClockBcd;
using testsupport::bytes;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {
QDateTime at(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}
const QByteArray kReply = bytes({0x02, 0x24, 0x03, 0x15, 0x14, 0x05, 0x09, 0x0D});
} // namespace

class TestMeterClock : public QObject {
    Q_OBJECT
private slots:

    void replyShownAsItsHexDigits_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<std::optional<QString>>("caption");
        const std::optional<QString> none;
        QTest::newRow("bytes after")
            << kReply + "\x02" << std::optional<QString>("24/03/15 14:05:09");
        QTest::newRow("not BCD") << bytes({0x02, 0x1A, 0x12, 0x31, 0x23, 0x59, 0xFF, 0x0D})
                                 << std::optional<QString>("1A/12/31 23:59:FF");
        QTest::newRow("seven bytes") << kReply.left(7) << none;
        QTest::newRow("no STX") << QByteArray(kReply).replace(0, 1, "\x03") << none;
        QTest::newRow("no CR eighth") << kReply.left(6) + bytes({0x0D, 0x09}) << none;
    }

    void replyShownAsItsHexDigits() {
        QFETCH(QByteArray, reply);
        QFETCH(std::optional<QString>, caption);
        const std::optional<MeterClockBcd> parsed = settings::parseClockReply(reply);
        QCOMPARE(parsed ? std::optional(settings::meterTimeText(*parsed)) : std::nullopt, caption);
    }

    void pcClockShownWithTwoDigitYear() {
        QCOMPARE(settings::pcTimeText(at(2100, 1, 5, 4, 0, 9)),
                 QStringLiteral("00/01/05 04:00:09"));
    }

    void writeSendsDAndSixBytesFromOneReading_data() {
        QTest::addColumn<QDateTime>("first");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QDateTime>("meterClock");
        QTest::newRow("2024-03-15")
            << at(2024, 3, 15, 14, 5, 9) << bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x09})
            << at(2024, 3, 15, 14, 5, 9);
        // The PC clock turns over while the bytes are built: still one reading.
        QTest::newRow("23:59:59.999")
            << at(1999, 12, 31, 23, 59, 59, 999) << bytes({0x99, 0x12, 0x31, 0x23, 0x59, 0x59})
            << at(2099, 12, 31, 23, 59, 59);
        QTest::newRow("2100-01-01")
            << at(2100, 1, 1, 0, 0, 0) << bytes({0x00, 0x01, 0x01, 0x00, 0x00, 0x00})
            << at(2000, 1, 1, 0, 0, 0);
    }

    void writeSendsDAndSixBytesFromOneReading() {
        QFETCH(QDateTime, first);
        QFETCH(QByteArray, payload);
        QFETCH(QDateTime, meterClock);
        testsupport::MeterBench bench;
        int readings = 0; // each reading of the PC clock is 1 ms after the one before
        const auto sent =
            settings::writeMeterClock(bench.session, [&] { return first.addMSecs(readings++); });
        QCOMPARE(readings, 1);
        QCOMPARE(settings::clockWriteText(sent), "D " + payload.toHex(' ').toUpper());
        QCOMPARE(bench.commands(), QList<QByteArray>{"D" + payload});
        QCOMPARE(bench.meter.clock(), meterClock);
    }

    void readGivesTheMetersClockOrGivesUpAfterTen() {
        testsupport::MeterBench bench;
        bench.meter.receive(QByteArray("D") + kReply.mid(1, 6), bench.clock.now());
        const std::optional<MeterClockBcd> read = settings::readMeterClock(bench.session);
        QCOMPARE(read ? settings::meterTimeText(*read) : QString(), "24/03/15 14:05:09");
        // Replies A1 C2 A3 C4 ...: every "C" reply is garbled.
        testsupport::MeterBench garbling({}, sim::Faults{.garbleEvery = 2});
        QVERIFY(!settings::readMeterClock(garbling.session));
        QCOMPARE(garbling.count("C"), 10);
    }
};

QTEST_MAIN(TestMeterClock)
#include "tst_meterclock.moc"
