// The download on the link against the virtual meter, in virtual time: the count read afresh
// before "G", reception however the line splits the bytes, and the stall limit (no file).

#include "memory/memorydownload.h"
#include "memory/memoryrecords.h"

#include "support/meterbench.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A meter holding `records` fixed readings, and a download that saves into a folder of its own.
struct Rig : testsupport::MeterBench {
    explicit Rig(int records, sim::Faults faults = {})
        : MeterBench({.storedRecords = records, .drift = false}, faults) {
        request.save.directory = dir.path();
        // One byte every 2.9 s takes longer than the bench's guard allows; the stall bounds it.
        link.setHooks({});
    }

    memory::DownloadOutcome download() {
        return memory::downloadMemory(link, request, [this](double fraction, const QString& text) {
            fractions << fraction;
            texts << text;
        });
    }
    // When "G" went on the wire; -1: never.
    double gTime() const {
        for (const auto& w : port.writes())
            if (w.bytes == "G")
                return w.time;
        return -1;
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }

    QTemporaryDir dir;
    memory::DownloadRequest request;
    QList<double> fractions;
    QStringList texts;
};

} // namespace

class TestMemoryDownload : public QObject {
    Q_OBJECT
private slots:

    void receptionWaitsForEveryByte_data() {
        QTest::addColumn<double>("byteGap");
        QTest::newRow("at wire speed") << 0.0;
        QTest::newRow("a few bytes per read") << 0.007;
        QTest::newRow("one byte per read, 2.9 s apart") << 2.9;
    }

    void receptionWaitsForEveryByte() {
        QFETCH(double, byteGap);
        Rig rig(2);
        rig.meter.advance(rig.clock.now());
        // The gap only from "G" on: the handshake and the frame before it come at wire speed.
        rig.link.checkMeter();
        rig.meter.setFaults({.byteGap = byteGap});
        rig.link.flush();
        const memory::Reception reception = memory::receiveRecords(rig.link, 2, {});
        QVERIFY(!reception.stalled);
        QCOMPARE(reception.bytes.size(), 38);
        const auto rows = memory::decodeRecords(reception.bytes, 2, u'K');
        for (std::size_t i = 0; i < 2; ++i)
            QCOMPARE(rows[i].raw, rig.meter.records()[i].raw);
    }

    void countIsReadAfreshBeforeG_data() {
        QTest::addColumn<int>("inMeter");
        QTest::addColumn<int>("shown");
        QTest::newRow("more stored since the count was shown") << 5 << 2;
        QTest::newRow("fewer after an erase elsewhere") << 2 << 5;
        QTest::newRow("erased: nothing is asked for") << 0 << 3;
    }

    void countIsReadAfreshBeforeG() {
        QFETCH(int, inMeter);
        QFETCH(int, shown);
        Rig rig(inMeter);
        rig.request.shownCount = shown;
        const memory::DownloadOutcome outcome = rig.download();
        QCOMPARE(outcome.expected, inMeter);
        QCOMPARE(outcome.received, inMeter);
        QCOMPARE(rig.gTime() >= 0, inMeter > 0);
        QCOMPARE(outcome.kind, inMeter > 0 ? memory::DownloadOutcome::Kind::Saved
                                           : memory::DownloadOutcome::Kind::Empty);
        QCOMPARE(rig.files().size(), inMeter > 0 ? 2 : 0);
        if (inMeter > 0) {
            QCOMPARE(rig.texts.last(), QStringLiteral("100.0% Completed"));
            QVERIFY(rig.texts.contains(QStringLiteral("50.0% Completed")));
            QVERIFY(std::is_sorted(rig.fractions.begin(), rig.fractions.end()));
        }
    }

    void stallEndsWithoutAFile() {
        // Replies: "A", then "M", then "G" -- the third is cut to half: 2 of 4 records arrive.
        Rig rig(4, {.shortEvery = 3});
        rig.request.shownCount = 4;
        const memory::DownloadOutcome outcome = rig.download();
        QCOMPARE(outcome.kind, memory::DownloadOutcome::Kind::Stalled);
        QCOMPARE(outcome.expected, 4);
        QCOMPARE(outcome.received, 2);
        QVERIFY(rig.files().isEmpty());
        QCOMPARE(memory::outcomeMessage(outcome),
                 QStringLiteral("The meter stopped sending: 2 of 4 records arrived. Nothing was "
                                "saved; try the download again."));
        // 38 bytes at wire speed take 10 ms; then three silent seconds, give or take one slice.
        const double ended = rig.clock.now() - rig.gTime();
        QVERIFY2(ended >= 3.0 && ended < 3.1, qPrintable(QString::number(ended)));
    }
};

QTEST_GUILESS_MAIN(TestMemoryDownload)
#include "tst_memorydownload.moc"
