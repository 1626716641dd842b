// Sampling intervals: typed texts to seconds, the "K" reply, and the "F" write with its three
// bytes against the virtual meter. (The prompts, the not-a-number message and the "K" read with
// its bound are pinned through the sampling panel.)

#include "settings/sampling.h"

#include "support/meterbench.h"

#include <QTest>

using namespace settings;
using Kind = IntervalEntry::Kind;
using testsupport::bytes;
using Bench = testsupport::MeterBench;

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(std::optional<int>)
Q_DECLARE_METATYPE(IntervalEntry::Kind)

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
        QTest::newRow("blank is cancel") << s(" ") << Kind::Cancelled << 0;
        QTest::newRow("2.5") << s("2.5") << Kind::Accepted << 2;
        QTest::newRow("0") << s("0") << Kind::Accepted << 1;
        QTest::newRow("90000") << s("90000") << Kind::Accepted << 86400;
        QTest::newRow("unit after number") << s(" 60s") << Kind::NotANumber << 0;
    }

    void typedTextBecomesAnInterval() {
        QFETCH(std::optional<QString>, answer);
        QFETCH(Kind, kind);
        QFETCH(int, seconds);
        const IntervalEntry entry = parseIntervalEntry(answer);
        QCOMPARE(entry.kind, kind);
        QCOMPARE(entry.seconds, seconds);
        // The message quotes the text as typed.
        QCOMPARE(entry.typed, kind == Kind::NotANumber ? *answer : QString());
    }

    void replyGivesSeconds_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<std::optional<int>>("seconds");
        const std::optional<int> none;
        QTest::newRow("all three bytes, not clamped")
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

    void writeJobSendsFAndThreeBytes_data() {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("interval");
        QTest::newRow("86400") << 86400 << bytes({0x01, 0x51, 0x80}) << 86400;
        QTest::newRow("60") << 60 << bytes({0x00, 0x00, 0x3C}) << 60;
        QTest::newRow("65536") << 65536 << bytes({0x01, 0x00, 0x00}) << 65536;
        QTest::newRow("0 is sent as 1") << 0 << bytes({0x00, 0x00, 0x01}) << 1;
        QTest::newRow("90000 is sent as 86400") << 90000 << bytes({0x01, 0x51, 0x80}) << 86400;
    }

    void writeJobSendsFAndThreeBytes() {
        QFETCH(int, seconds);
        QFETCH(QByteArray, payload);
        QFETCH(int, interval);
        Bench bench({.intervalSeconds = 2});
        writeMeterInterval(bench.session, seconds);
        bench.clock.wait(0.01); // let the payload reach the meter
        // How the letter and its payload are spaced is the link's own rule, pinned there.
        QCOMPARE(bench.commands(), QList<QByteArray>{"F" + payload});
        QCOMPARE(bench.meter.intervalSeconds(), interval);
    }
};

QTEST_GUILESS_MAIN(TestSampling)
#include "tst_sampling.moc"
