// The downloaded records as text: the 19-byte records decoded (BCD clock as hex digits, type
// code 7, the range marks, bytes outside a record ignored), the memory file (last record
// first, headers by channel count, no line lost past 16800, statistics over the order of
// arrival, the final line ends) and its save beside a working file a recording may hold.

#include "memory/memoryfile.h"
#include "memory/memoryrecords.h"
#include "recording/recorder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using recording::DataRow;

namespace {

// One record as the meter sends it: three filler bytes, the clock, the status byte, four raw
// words and a last filler byte.
QByteArray record(std::array<int, 6> clock, int status, std::array<int, 4> raw) {
    QByteArray r("\xA5\x01\x02", 3);
    for (int b : clock)
        r.append(char(b));
    r.append(char(status));
    for (int w : raw) {
        r.append(char(w >> 8));
        r.append(char(w & 0xFF));
    }
    r.append('\x5A');
    return r;
}

QByteArray plain(int status, int raw1) {
    return record({0x25, 0x07, 0x04, 0x13, 0x05, 0x09}, status, {raw1, 4680, 4680, 4680});
}

QByteArray stampOf(const DataRow& row) {
    QByteArray out;
    recording::appendRowStamp(out, row);
    return out;
}

QList<QByteArray> lines(const QByteArray& text) {
    return text.split('\n');
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestMemoryFile : public QObject {
    Q_OBJECT
private slots:

    void clockBytesShowAsHexDigits_data() {
        QTest::addColumn<QByteArray>("clock");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("BCD") << QByteArray("\x25\x07\x04\x13\x05\x09", 6)
                             << QByteArray("2025/07/04 13:05:09");
        QTest::newRow("zeros keep two digits")
            << QByteArray("\x00\x01\x01\x00\x00\x00", 6) << QByteArray("2000/01/01 00:00:00");
        QTest::newRow("not BCD shows its hex digits")
            << QByteArray("\x99\x1A\x3F\xFF\x5B\x60", 6) << QByteArray("2099/1A/3F FF:5B:60");
    }

    void clockBytesShowAsHexDigits() {
        QFETCH(QByteArray, clock);
        QFETCH(QByteArray, text);
        std::array<int, 6> c{};
        for (int i = 0; i < 6; ++i)
            c[std::size_t(i)] = quint8(clock[i]);
        const auto rows = memory::decodeRecords(record(c, 0x40, {4680, 4680, 4680, 4680}), 1, u'K');
        QCOMPARE(rows.size(), std::size_t(1));
        QCOMPARE(stampOf(rows[0]), text);
    }

    void typeLetters_data() {
        QTest::addColumn<QString>("liveLetter");
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<QString>("letters");
        QTest::newRow("code 7 keeps the record before") << "K" << QList<int>{0x45, 0x47} << "EE";
        QTest::newRow("0x12 is R") << "K" << QList<int>{0x12} << "R";
        QTest::newRow("first record 7 keeps the live letter")
            << "J" << QList<int>{0x47, 0x44} << "JT";
        QTest::newRow("no letter anywhere writes K") << "" << QList<int>{0x17} << "K";
    }

    void typeLetters() {
        QFETCH(QString, liveLetter);
        QFETCH(QList<int>, statuses);
        QFETCH(QString, letters);
        QByteArray bytes;
        for (int s : statuses)
            bytes += plain(s, 6480);
        const auto rows = memory::decodeRecords(bytes, int(statuses.size()),
                                                liveLetter.isEmpty() ? QChar() : liveLetter.at(0));
        QString got;
        for (const DataRow& row : rows)
            got += QChar::fromLatin1(row.type);
        QCOMPARE(got, letters);
    }

    void rangeMarksAndFillerBytes() {
        // T1 over range, T2 under range, T3 212 F; filler bytes differ from record to record.
        QByteArray bytes =
            record({0x25, 0x07, 0x04, 0x13, 0x05, 0x09}, 0x40, {65535, 0, 6480, 4680});
        bytes[0] = '\x00';
        bytes[18] = '\xFF';
        const auto rows = memory::decodeRecords(bytes, 1, u'K');
        QCOMPARE(
            memory::memoryFileText(rows, 4, live::TempUnit::Celsius).split('\n').at(3),
            QByteArray("1     \t2025/07/04 13:05:09\tK\t    OL\t   -OL\t 100.0\t   0.0\t    OL\t"
                       "   -OL\t 212.0\t  32.0\t    OL\t   -OL\t 373.0\t 273.0\r"));
    }

    void onlyWholeRecordsUpToTheCount() {
        const QByteArray three = plain(0x40, 4680) + plain(0x40, 4690) + plain(0x40, 4700);
        QCOMPARE(memory::decodeRecords(three, 2, u'K').size(), std::size_t(2)); // surplus ignored
        QCOMPARE(memory::decodeRecords(three.left(56), 3, u'K').size(), std::size_t(2));
        QCOMPARE(memory::decodeRecords(three, 2, u'K')[1].raw[0], quint16(4690));
    }

    void lastRecordFirst() {
        const QByteArray bytes =
            record({0x24, 0x01, 0x01, 0x00, 0x00, 0x01}, 0x40, {4680, 0, 0, 0}) +
            record({0x24, 0x01, 0x01, 0x00, 0x00, 0x02}, 0x40, {4690, 0, 0, 0}) +
            record({0x24, 0x01, 0x01, 0x00, 0x00, 0x03}, 0x40, {4700, 0, 0, 0});
        const QList<QByteArray> l = lines(memory::memoryFileText(
            memory::decodeRecords(bytes, 3, u'K'), 4, live::TempUnit::Celsius));
        QCOMPARE(l.at(0), QByteArray("Total Records : 3\r"));
        QVERIFY(l.at(3).startsWith("1     \t2024/01/01 00:00:03\tK\t   1.1\t"));
        QVERIFY(l.at(4).startsWith("2     \t2024/01/01 00:00:02\tK\t   0.6\t"));
        QVERIFY(l.at(5).startsWith("3     \t2024/01/01 00:00:01\tK\t   0.0\t"));
    }

    void headerFollowsTheChannelCount() {
        const auto rows = memory::decodeRecords(plain(0x40, 4680).repeated(6), 6, u'K');
        const QList<QByteArray> l = lines(memory::memoryFileText(rows, 2, live::TempUnit::Celsius));
        QCOMPARE(l.at(1), QByteArray("No.s \t      Date Time    \tType\t   T1C\t   T2C\t   T1F\t"
                                     "   T2F\t   T1K\t   T2K\r"));
        QCOMPARE(l.at(2), QByteArray(87, '-') + '\r');
        QCOMPARE(l.at(3).split('\t').size(), 9);
        QCOMPARE(l.at(9), QByteArray(87, '-') + '\r'); // the statistics start after line 6
    }

    void noLineLostPast16800() {
        QByteArray bytes;
        for (int i = 0; i < 16805; ++i)
            bytes += plain(0x40, 4680 + i % 3000);
        const QList<QByteArray> l = lines(memory::memoryFileText(
            memory::decodeRecords(bytes, 16805, u'K'), 1, live::TempUnit::Celsius));
        QCOMPARE(l.at(0), QByteArray("Total Records : 16805\r"));
        QVERIFY(l.at(3 + 1679).startsWith("1680  \t"));
        QVERIFY(l.at(3 + 1680).startsWith("1681  \t"));
        QVERIFY(l.at(3 + 16800).startsWith("16801 \t"));
        QVERIFY(l.at(3 + 16804).startsWith("16805 \t"));
        QVERIFY(l.at(3 + 16804).contains("\t   0.0\t")); // the first record received
        QCOMPARE(l.at(3 + 16805), QByteArray(63, '-') + '\r');
    }

    void statisticsRankTheOrderOfArrival() {
        // Five equal readings: the Max list keeps them in the order of arrival (record 1 first),
        // not in the order of the lines (which start with the last record).
        QByteArray bytes;
        for (int s = 1; s <= 5; ++s)
            bytes += record({0x24, 0x01, 0x01, 0x00, 0x00, s}, 0x10, {6480, 0, 0, 0});
        const QByteArray text = memory::memoryFileText(memory::decodeRecords(bytes, 5, u'K'), 1,
                                                       live::TempUnit::Celsius);
        QVERIFY(text.contains("Top 5 Max T1 Celsius Value : \r\n2024/01/01 00:00:01****100.0\r\n"
                              "2024/01/01 00:00:02****100.0\r\n"));
    }

    void saveLeavesAHeldWorkingFileAlone() {
        QTemporaryDir dir;
        const QString work = dir.filePath("QR512.temp");
        {
            QFile f(work);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("rows of a running recording\r\n");
        }
        const recording::WorkFileGuard recordingHolds(work);
        QVERIFY(recordingHolds.acquired());
        memory::SaveRequest request;
        request.directory = dir.path();
        const auto rows = memory::decodeRecords(plain(0x40, 4680), 1, u'K');
        const memory::SaveOutcome outcome =
            memory::saveMemory(rows, 4, live::TempUnit::Celsius, request);
        QVERIFY(outcome.ok());
        QVERIFY(outcome.workFile.isEmpty());
        QCOMPARE(outcome.notices.size(), 1);
        QVERIFY(outcome.notices.first().startsWith("QR512.temp was left alone"));
        QCOMPARE(readAll(work), QByteArray("rows of a running recording\r\n"));
        QCOMPARE(readAll(outcome.memoryFile),
                 memory::memoryFileText(rows, 4, live::TempUnit::Celsius));
    }
};

QTEST_GUILESS_MAIN(TestMemoryFile)
#include "tst_memoryfile.moc"
