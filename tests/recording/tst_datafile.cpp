// The data file's text: row time stamps (wall clock to seconds, the 19-character text and back,
// no time zone shifting it), column header and separator for 4, 2 and 1 channels, data lines
// byte for byte, the statistics trailer (which records the Max and Min lists hold, in what
// order, in which unit) and whole files with both trailer layouts, of 0 rows and of many.

#include "recording/datafile.h"
#include "recording/statistics.h"

#include <QTest>

using namespace recording;

Q_DECLARE_METATYPE(recording::DataRow)
Q_DECLARE_METATYPE(recording::Ranking)
Q_DECLARE_METATYPE(std::vector<quint16>)
Q_DECLARE_METATYPE(std::vector<std::size_t>)

namespace {

// Raw words (tenths of a degree F offset by 4360) and what the meter shows for them:
// 5135 = 25.3 C / 77.5 F / 298.3 K, 4590 = -5.0 C / 23.0 F / 268.0 K, 6480 = 100 C / 212 F.
constexpr quint16 kWarm = 5135;
constexpr quint16 kCold = 4590;
constexpr quint16 kOver = 65535;
constexpr quint16 kUnder = 0;

// Raw word whose Celsius reading is `celsius` whole degrees (type K): 10 x (F + 436).
constexpr quint16 rawForCelsius(int celsius) {
    return quint16(4680 + 18 * celsius);
}

const qint64 kStart = *stampFromText("2024/01/05 10:30:00");

DataRow row(const char* stamp, std::array<quint16, 4> raw, char type = 'K') {
    return {*stampFromText(QByteArrayView(stamp)), raw, type};
}

// Record i (from 1) reads readings[i-1] on every channel and is stamped kStart + i seconds.
std::vector<DataRow> channelOne(const std::vector<quint16>& readings) {
    std::vector<DataRow> rows;
    for (quint16 raw : readings)
        rows.push_back({kStart + qint64(rows.size()) + 1, {raw, raw, raw, raw}, 'K'});
    return rows;
}

const QByteArray kHeader4 = "No.s \t      Date Time    \tType\t   T1C\t   T2C\t   T3C\t   T4C\t"
                            "   T1F\t   T2F\t   T3F\t   T4F\t   T1K\t   T2K\t   T3K\t   T4K\r\n";
const QByteArray kHeader2 =
    "No.s \t      Date Time    \tType\t   T1C\t   T2C\t   T1F\t   T2F\t   T1K\t   T2K\r\n";
const QByteArray kHeader1 = "No.s \t      Date Time    \tType\t   T1C\t   T1F\t   T1K\r\n";

} // namespace

class TestDataFile : public QObject {
    Q_OBJECT

private slots:

    void stamps_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("next"); // one second later
        const auto add = [](const char* name, const char* text, const char* next) {
            QTest::newRow(name) << QByteArray(text) << QByteArray(next);
        };
        add("into epoch", "1969/12/31 23:59:59", "1970/01/01 00:00:00");
        add("into leap day", "2024/02/28 23:59:59", "2024/02/29 00:00:00");
        add("out of leap day", "2024/02/29 23:59:59", "2024/03/01 00:00:00");
        add("leap 2000", "2000/02/28 23:59:59", "2000/02/29 00:00:00");
        add("no leap 2025", "2025/02/28 23:59:59", "2025/03/01 00:00:00");
        add("no leap 2100", "2100/02/28 23:59:59", "2100/03/01 00:00:00");
        add("30-day month", "2024/04/30 23:59:59", "2024/05/01 00:00:00");
        add("year end", "2024/12/31 23:59:59", "2025/01/01 00:00:00");
        add("hour", "2024/06/15 10:59:59", "2024/06/15 11:00:00");
        add("every digit", "2050/11/30 01:02:03", "2050/11/30 01:02:04");
    }

    void stamps() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, next);

        const QDateTime dateTime =
            QDateTime::fromString(QString::fromLatin1(text), "yyyy/MM/dd HH:mm:ss");
        QVERIFY(dateTime.isValid());
        const qint64 stamp = stampFromDateTime(dateTime);
        QCOMPARE(stampText(stamp), text);
        QCOMPARE(stampFromText(text), std::optional<qint64>(stamp));
        QCOMPARE(dateTimeFromStamp(stamp), QDateTime(dateTime.date(), dateTime.time(), Qt::UTC));
        QByteArray appended("x");
        appendStamp(appended, stamp);
        QCOMPARE(appended, "x" + text);

        QCOMPARE(stampText(stamp + 1), next);
        QCOMPARE(stampFromText(next), std::optional<qint64>(stamp + 1));
    }

    void malformedStampIsRejected_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("no leap day 2023") << QByteArray("2023/02/29 00:00:00");
        QTest::newRow("day 31 of April") << QByteArray("2024/04/31 00:00:00");
        QTest::newRow("month 13") << QByteArray("2024/13/01 00:00:00");
        QTest::newRow("month 0") << QByteArray("2024/00/01 00:00:00");
        QTest::newRow("hour 24") << QByteArray("2024/01/01 24:00:00");
        QTest::newRow("second 60") << QByteArray("2024/01/01 00:00:60");
        QTest::newRow("dashes") << QByteArray("2024-01-01 00:00:00");
        QTest::newRow("short") << QByteArray("2024/01/01 00:00:0");
        QTest::newRow("long") << QByteArray("2024/01/01 00:00:000");
        QTest::newRow("hex byte") << QByteArray("201A/01/01 00:00:00");
        QTest::newRow("empty") << QByteArray();
    }

    void malformedStampIsRejected() {
        QFETCH(QByteArray, text);
        QCOMPARE(stampFromText(text), std::nullopt);
    }

    void stampIgnoresZoneAndMilliseconds() {
        const QDateTime east(QDate(2024, 3, 31), QTime(2, 30, 0), Qt::OffsetFromUTC, 3 * 3600);
        const QDateTime utc(QDate(2024, 3, 31), QTime(2, 30, 0, 999), Qt::UTC);
        QCOMPARE(stampText(stampFromDateTime(east)), QByteArray("2024/03/31 02:30:00"));
        QCOMPARE(stampFromDateTime(east), stampFromDateTime(utc));
        // A date and time taken as they read need no zone at all (also in a skipped hour).
        QCOMPARE(stampFromCivil(QDate(2024, 3, 31), QTime(2, 30, 0)), stampFromDateTime(utc));
        QCOMPARE(stampFromCivil(QDate(2024, 2, 30), QTime(2, 30, 0)), 0);
        QCOMPARE(stampFromDateTime(QDateTime()), 0);
        // Outside the years 0000..9999 the field still has its 19 characters.
        QCOMPARE(stampText(std::numeric_limits<qint64>::max() / 2),
                 QByteArray("9999/12/31 23:59:59"));
        QCOMPARE(stampText(std::numeric_limits<qint64>::min() / 2),
                 QByteArray("0000/01/01 00:00:00"));
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
        QCOMPARE(separatorLine(channels), QByteArray(dashes, '-') + "\r\n");
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
        // As a memory save of such a meter: only the count line and the closing line end, so
        // neither statistics block writes anything either.
        const std::vector<DataRow> rows(6, data);
        QCOMPARE(fileText(rows, 8, live::TempUnit::Celsius, TrailerLayout::MemorySave),
                 QByteArray("Total Records : 6\r\n\r\n"));
    }

    void wholeFileWithTrailer() {
        const std::vector<DataRow> rows = channelOne({4590, 5135, 4680, 6480, 4500, 4860});
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
        // No row: each block is its separator alone, yet the lines around them stay.
        QCOMPARE(fileText({}, 1, live::TempUnit::Kelvin, TrailerLayout::MemorySave),
                 "Total Records : 0\r\n" + kHeader1 + dashes + "\r\n" + dashes + "\r\n" + dashes +
                     "\r\n\r\n");
    }

    void everyRowIsWrittenBeyondTheMeterCapacity() {
        // A memory file of more than 16800 lines must not lose any (line 16801 and after).
        std::vector<DataRow> rows(16805, DataRow{kStart, {}, 'K'});
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i].stamp += qint64(i);
            rows[i].raw = {quint16(4360 + i % 5000), kOver, kUnder, kWarm};
        }
        const QByteArray text =
            fileText(rows, 4, live::TempUnit::Celsius, TrailerLayout::MemorySave);
        const QList<QByteArray> lines = text.split('\n');
        QCOMPARE(lines.at(0), QByteArray("Total Records : 16805\r"));
        QCOMPARE(lines.at(3 + 16800), recording::dataLine(16801, rows[16800], 4).chopped(1));
        QCOMPARE(lines.at(3 + 16804), recording::dataLine(16805, rows[16804], 4).chopped(1));
        QCOMPARE(lines.at(3 + 16805), QByteArray(135, '-') + '\r');
    }

    void topRecords_data() {
        QTest::addColumn<Ranking>("ranking");
        QTest::addColumn<std::vector<quint16>>("readings");
        QTest::addColumn<std::vector<std::size_t>>("records"); // from 1, best first

        const quint16 c1 = rawForCelsius(1);
        const quint16 c5 = rawForCelsius(5);
        const quint16 c10 = rawForCelsius(10);
        const quint16 c20 = rawForCelsius(20);
        const quint16 c30 = rawForCelsius(30);
        using R = std::vector<quint16>;
        using I = std::vector<std::size_t>;

        QTest::newRow("exactly five, max")
            << Ranking::Max << R{c1, rawForCelsius(3), c5, 4716, c10} << I{5, 3, 2, 4, 1};
        QTest::newRow("exactly five, min")
            << Ranking::Min << R{c1, rawForCelsius(3), c5, 4716, c10} << I{1, 4, 2, 3, 5};
        QTest::newRow("ties, max")
            << Ranking::Max << R{c5, c5, c5, c1, c1, c5, c5} << I{2, 3, 1, 6, 7};
        QTest::newRow("ties, min")
            << Ranking::Min << R{c1, c1, c1, c5, c5, c1, c1} << I{2, 3, 1, 6, 7};
        QTest::newRow("later equal value comes after")
            << Ranking::Max << R{c30, c20, c10, c5, c1, c20} << I{1, 2, 6, 3, 4};
        QTest::newRow("several OL, max")
            << Ranking::Max << R{c10, kOver, c20, kOver, c5, c30, kOver, c1} << I{7, 4, 2, 6, 3};
        QTest::newRow("newest OL drops an older one, min")
            << Ranking::Min << R{kOver, c10, kOver, c20, c5, c1, kOver} << I{6, 5, 2, 4, 7};
        QTest::newRow("-OL throughout, max") << Ranking::Max << R(7, kUnder) << I{7, 6, 3, 4, 5};
        QTest::newRow("-OL throughout, min") << Ranking::Min << R(7, kUnder) << I{7, 6, 3, 4, 5};
        QTest::newRow("-OL below numbers, max")
            << Ranking::Max << R{kUnder, c1, kUnder, c5, c10, kUnder, c20} << I{7, 5, 4, 2, 6};
        QTest::newRow("negative readings, min")
            << Ranking::Min
            << R{rawForCelsius(-5), c1, rawForCelsius(-20), c5, c10, rawForCelsius(-30)}
            << I{6, 3, 1, 2, 4};
        QTest::newRow("fewer than five") << Ranking::Max << R{c1, c5, c10, c20} << I{};
    }

    void topRecords() {
        QFETCH(Ranking, ranking);
        QFETCH(std::vector<quint16>, readings);
        QFETCH(std::vector<std::size_t>, records);

        std::vector<std::size_t> got = recording::topRecords(ranking, 5, channelOne(readings), 0);
        for (std::size_t& index : got)
            ++index;
        QCOMPARE(got, records);
    }

    void fahrenheitIsListedInCelsiusOrder() {
        // 5135 and 5136 both read 25.3 C but 77.5 and 77.6 F: the Celsius tie keeps the earlier
        // record first although its Fahrenheit value is lower.
        const std::vector<DataRow> rows = channelOne({4500, 4590, 4680, 4860, 4689, 5135, 5136});
        QCOMPARE(topMaxText(5, rows, 1, live::TempUnit::Fahrenheit),
                 QByteArray(63, '-') + "\r\n"
                                       "Top 5 Max T1 Fahrenheit Value : \r\n"
                                       "2024/01/05 10:30:06****77.5\r\n"
                                       "2024/01/05 10:30:07****77.6\r\n"
                                       "2024/01/05 10:30:04****50.0\r\n"
                                       "2024/01/05 10:30:05****32.9\r\n"
                                       "2024/01/05 10:30:03****32.0\r\n");
    }

    void fourChannelBlockHasFourHeadings() {
        std::vector<DataRow> rows;
        for (int i = 1; i <= 5; ++i)
            rows.push_back({kStart + i, {rawForCelsius(i), kOver, kUnder, rawForCelsius(-i)}, 'K'});
        const QByteArray text = topMaxText(5, rows, 4, live::TempUnit::Celsius);
        const QList<QByteArray> lines = text.split('\n');
        QCOMPARE(lines.size(), 1 + 4 * 6 + 1);
        QCOMPARE(lines.at(0), QByteArray(135, '-') + '\r');
        QCOMPARE(lines.at(1), QByteArray("Top 5 Max T1 Celsius Value : \r"));
        QCOMPARE(lines.at(2), QByteArray("2024/01/05 10:30:05****5.0\r"));
        QCOMPARE(lines.at(7), QByteArray("Top 5 Max T2 Celsius Value : \r"));
        QCOMPARE(lines.at(8), QByteArray("2024/01/05 10:30:03****OL\r"));
        QCOMPARE(lines.at(13), QByteArray("Top 5 Max T3 Celsius Value : \r"));
        QCOMPARE(lines.at(14), QByteArray("2024/01/05 10:30:03****-OL\r"));
        QCOMPARE(lines.at(19), QByteArray("Top 5 Max T4 Celsius Value : \r"));
        QCOMPARE(lines.at(20), QByteArray("2024/01/05 10:30:01****-1.0\r"));
        QCOMPARE(lines.at(24), QByteArray("2024/01/05 10:30:05****-5.0\r"));
        QCOMPARE(lines.at(25), QByteArray());
    }

    void listedUnit_data() {
        QTest::addColumn<bool>("c");
        QTest::addColumn<bool>("f");
        QTest::addColumn<bool>("k");
        QTest::addColumn<live::TempUnit>("unit");
        QTest::newRow("none") << false << false << false << live::TempUnit::Celsius;
        QTest::newRow("C") << true << false << false << live::TempUnit::Celsius;
        QTest::newRow("F") << false << true << false << live::TempUnit::Fahrenheit;
        QTest::newRow("K") << false << false << true << live::TempUnit::Kelvin;
        QTest::newRow("C wins") << true << true << true << live::TempUnit::Celsius;
        QTest::newRow("F before K") << false << true << true << live::TempUnit::Fahrenheit;
    }

    void listedUnit() {
        QFETCH(bool, c);
        QFETCH(bool, f);
        QFETCH(bool, k);
        QFETCH(live::TempUnit, unit);
        QCOMPARE(live::unitOfFlags(c, f, k), unit);
    }
};

QTEST_APPLESS_MAIN(TestDataFile)
#include "tst_datafile.moc"
