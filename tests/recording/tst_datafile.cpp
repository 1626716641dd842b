// Data file writer: count line, column header and separator for 4, 2 and 1 channels, data
// lines byte for byte (field widths, "OL" and "-OL" padding, whole-degree types, the widest
// record number), whole files with both trailer layouts, a file of 0 rows, a meter reporting
// an unknown channel count, and that a large file keeps every row.

#include "recording/datafile.h"

#include <QTest>

using namespace recording;

Q_DECLARE_METATYPE(recording::DataRow)
Q_DECLARE_METATYPE(recording::TrailerLayout)

namespace {

DataRow row(const char* stamp, std::array<quint16, 4> raw, char type = 'K') {
    return {*stampFromText(QByteArrayView(stamp)), raw, type};
}

// Raw words (tenths of a degree F offset by 4360) and what the meter shows for them:
// 5135 = 25.3 C / 77.5 F / 298.3 K, 4590 = -5.0 C / 23.0 F / 268.0 K, 6480 = 100 C / 212 F.
constexpr quint16 kWarm = 5135;
constexpr quint16 kCold = 4590;
constexpr quint16 kOver = 65535;
constexpr quint16 kUnder = 0;

const QByteArray kHeader4 = "No.s \t      Date Time    \tType\t   T1C\t   T2C\t   T3C\t   T4C\t"
                            "   T1F\t   T2F\t   T3F\t   T4F\t   T1K\t   T2K\t   T3K\t   T4K\r\n";
const QByteArray kHeader2 =
    "No.s \t      Date Time    \tType\t   T1C\t   T2C\t   T1F\t   T2F\t   T1K\t   T2K\r\n";
const QByteArray kHeader1 = "No.s \t      Date Time    \tType\t   T1C\t   T1F\t   T1K\r\n";

} // namespace

class TstDataFile : public QObject {
    Q_OBJECT

private slots:

    void countLine_data() {
        QTest::addColumn<qint64>("n");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("0") << qint64(0) << QByteArray("Total Records : 0\r\n");
        QTest::newRow("120") << qint64(120) << QByteArray("Total Records : 120\r\n");
        QTest::newRow("864000") << qint64(864000) << QByteArray("Total Records : 864000\r\n");
    }

    void countLine() {
        QFETCH(qint64, n);
        QFETCH(QByteArray, line);
        QCOMPARE(recording::countLine(n), line);
    }

    void headerAndSeparator_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<int>("dashes");
        QTest::newRow("4") << 4 << kHeader4 << 135;
        QTest::newRow("2") << 2 << kHeader2 << 87;
        QTest::newRow("1") << 1 << kHeader1 << 63;
    }

    void headerAndSeparator() {
        QFETCH(int, channels);
        QFETCH(QByteArray, header);
        QFETCH(int, dashes);

        QCOMPARE(headerLine(channels), header);
        QCOMPARE(header.count('\t'), 2 + 3 * channels);
        const QByteArray separator = separatorLine(channels);
        QCOMPARE(separator, QByteArray(dashes, '-') + "\r\n");
        QCOMPARE(separatorRun(channels), QByteArray(dashes, '-'));
    }

    void dataLine_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<DataRow>("data");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QByteArray>("line");

        const DataRow mixed = row("2024/01/05 10:30:01", {kWarm, kCold, kOver, kUnder});
        QTest::newRow("4 channels") << 1 << mixed << 4
                                    << QByteArray("1     \t2024/01/05 10:30:01\tK\t  25.3\t  -5.0\t"
                                                  "    OL\t   -OL\t  77.5\t  23.0\t    OL\t   -OL\t"
                                                  " 298.3\t 268.0\t    OL\t   -OL\r\n");
        QTest::newRow("2 channels") << 12 << mixed << 2
                                    << QByteArray("12    \t2024/01/05 10:30:01\tK\t  25.3\t  -5.0\t"
                                                  "  77.5\t  23.0\t 298.3\t 268.0\r\n");
        QTest::newRow("1 channel") << 123 << mixed << 1
                                   << QByteArray("123   \t2024/01/05 10:30:01\tK\t  25.3\t  77.5\t"
                                                 " 298.3\r\n");
        QTest::newRow("over and under range, 2 channels")
            << 7 << row("2024/02/29 23:59:59", {kOver, kUnder, kWarm, kWarm}, 'J') << 2
            << QByteArray("7     \t2024/02/29 23:59:59\tJ\t    OL\t   -OL\t    OL\t   -OL\t    OL\t"
                          "   -OL\r\n");
        QTest::newRow("whole degrees, type R")
            << 9 << row("2024/01/05 10:30:01", {6480, 4680, kWarm, kWarm}, 'R') << 1
            << QByteArray("9     \t2024/01/05 10:30:01\tR\t   100\t   212\t   373\r\n");
        QTest::newRow("record 864000 fills its field")
            << 864000 << row("2024/12/31 23:59:59", {kWarm, kWarm, kWarm, kWarm}) << 1
            << QByteArray("864000\t2024/12/31 23:59:59\tK\t  25.3\t  77.5\t 298.3\r\n");
        QTest::newRow("widest values")
            << 2 << row("2024/01/05 10:30:01", {29430, 4680, 4680, 4680}) << 1
            << QByteArray("2     \t2024/01/05 10:30:01\tK\t1375.0\t2507.0\t1648.0\r\n");
    }

    void dataLine() {
        QFETCH(int, number);
        QFETCH(DataRow, data);
        QFETCH(int, channels);
        QFETCH(QByteArray, line);

        QCOMPARE(recording::dataLine(number, data, channels), line);
        // The bulk writer formats through its own cache; it must give the same bytes.
        const QByteArray file = fileText(std::span(&data, 1), channels, live::TempUnit::Celsius,
                                         TrailerLayout::Recording);
        QVERIFY(file.contains("\r\n1     " + line.mid(6)));
    }

    void unknownChannelCountWritesNoColumns() {
        const DataRow data = row("2024/01/05 10:30:01", {kWarm, kWarm, kWarm, kWarm});
        QCOMPARE(headerLine(3), QByteArray());
        QCOMPARE(separatorLine(0), QByteArray());
        QCOMPARE(recording::dataLine(1, data, 3), QByteArray());
        // As a memory save of such a meter: only the count line and the closing line end.
        const std::vector<DataRow> rows(6, data);
        QCOMPARE(fileText(rows, 8, live::TempUnit::Celsius, TrailerLayout::MemorySave),
                 QByteArray("Total Records : 6\r\n\r\n"));
    }

    void emptyFile_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<TrailerLayout>("layout");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray dashes2(87, '-');
        const QByteArray dashes1(63, '-');
        QTest::newRow("recording, 2 channels")
            << 2 << TrailerLayout::Recording
            << "Total Records : 0\r\n" + kHeader2 + dashes2 + "\r\n" + dashes2 + "\r\n\r\n" +
                   dashes2 + "\r\n\r\n";
        QTest::newRow("memory save, 1 channel")
            << 1 << TrailerLayout::MemorySave
            << "Total Records : 0\r\n" + kHeader1 + dashes1 + "\r\n" + dashes1 + "\r\n" + dashes1 +
                   "\r\n\r\n";
    }

    void emptyFile() {
        QFETCH(int, channels);
        QFETCH(TrailerLayout, layout);
        QFETCH(QByteArray, expected);
        QCOMPARE(fileText({}, channels, live::TempUnit::Celsius, layout), expected);
    }

    void wholeFileWithTrailer() {
        std::vector<DataRow> rows;
        const quint16 readings[] = {4590, 5135, 4680, 6480, 4500, 4860};
        qint64 stamp = *stampFromText("2024/01/05 10:30:00");
        for (quint16 raw : readings) {
            rows.push_back({++stamp, {raw, raw, raw, raw}, 'K'});
        }
        const QByteArray dashes(63, '-');
        const QByteArray lines = "1     \t2024/01/05 10:30:01\tK\t  -5.0\t  23.0\t 268.0\r\n"
                                 "2     \t2024/01/05 10:30:02\tK\t  25.3\t  77.5\t 298.3\r\n"
                                 "3     \t2024/01/05 10:30:03\tK\t   0.0\t  32.0\t 273.0\r\n"
                                 "4     \t2024/01/05 10:30:04\tK\t 100.0\t 212.0\t 373.0\r\n"
                                 "5     \t2024/01/05 10:30:05\tK\t -10.0\t  14.0\t 263.0\r\n"
                                 "6     \t2024/01/05 10:30:06\tK\t  10.0\t  50.0\t 283.0\r\n";
        const QByteArray max = dashes + "\r\nTop 5 Max T1 Kelvin Value : \r\n"
                                        "2024/01/05 10:30:04****373.0\r\n"
                                        "2024/01/05 10:30:02****298.3\r\n"
                                        "2024/01/05 10:30:06****283.0\r\n"
                                        "2024/01/05 10:30:03****273.0\r\n"
                                        "2024/01/05 10:30:01****268.0\r\n";
        const QByteArray min = dashes + "\r\nTop 5 Min T1 Kelvin Value : \r\n"
                                        "2024/01/05 10:30:05****263.0\r\n"
                                        "2024/01/05 10:30:01****268.0\r\n"
                                        "2024/01/05 10:30:03****273.0\r\n"
                                        "2024/01/05 10:30:06****283.0\r\n"
                                        "2024/01/05 10:30:02****298.3\r\n";
        const QByteArray head = "Total Records : 6\r\n" + kHeader1 + dashes + "\r\n" + lines;

        QCOMPARE(fileText(rows, 1, live::TempUnit::Kelvin, TrailerLayout::Recording),
                 head + max + "\r\n" + min + "\r\n");
        QCOMPARE(fileText(rows, 1, live::TempUnit::Kelvin, TrailerLayout::MemorySave),
                 head + max + min + "\r\n");
    }

    void everyRowIsWrittenBeyondTheMeterCapacity() {
        // A memory file of more than 16800 lines must not lose any (line 16801 and after).
        std::vector<DataRow> rows(16805, DataRow{*stampFromText("2024/01/05 10:30:00"), {}, 'K'});
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i].stamp += qint64(i);
            rows[i].raw = {quint16(4360 + i % 5000), kOver, kUnder, kWarm};
        }
        const QByteArray text =
            fileText(rows, 4, live::TempUnit::Celsius, TrailerLayout::MemorySave);
        const QList<QByteArray> lines = text.split('\n');
        QCOMPARE(lines.at(0), QByteArray("Total Records : 16805\r"));
        QVERIFY(lines.at(3).startsWith("1     \t"));
        QCOMPARE(lines.at(3 + 16800), recording::dataLine(16801, rows[16800], 4).chopped(1));
        QCOMPARE(lines.at(3 + 16804), recording::dataLine(16805, rows[16804], 4).chopped(1));
        QCOMPARE(lines.at(3 + 16805), QByteArray(135, '-') + '\r');
    }
};

QTEST_APPLESS_MAIN(TstDataFile)
#include "tst_datafile.moc"
