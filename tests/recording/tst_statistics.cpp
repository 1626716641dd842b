// Statistics trailer: which records the Max and Min lists hold and in what order (ties,
// over- and under-range readings, five and fewer records), the 4-channel block, listing in
// another unit than the Celsius ranking key, and the unit chosen from the display flags.

#include "recording/statistics.h"

#include <QTest>

using namespace recording;

Q_DECLARE_METATYPE(recording::Ranking)
Q_DECLARE_METATYPE(std::vector<quint16>)
Q_DECLARE_METATYPE(std::vector<std::size_t>)

namespace {

constexpr quint16 kOver = 65535;
constexpr quint16 kUnder = 0;

// Raw word whose Celsius reading is `celsius` whole degrees (type K): 10 x (F + 436).
constexpr quint16 rawForCelsius(int celsius) {
    return quint16(4680 + 18 * celsius);
}

const qint64 kStart = *stampFromText("2024/01/05 10:30:00");

// Record i (from 1) has readings[i-1] on T1 and is stamped kStart + i seconds.
std::vector<DataRow> channelOne(const std::vector<quint16>& readings, char type = 'K') {
    std::vector<DataRow> rows;
    for (quint16 raw : readings) {
        rows.push_back({kStart + qint64(rows.size()) + 1, {raw, raw, raw, raw}, type});
    }
    return rows;
}

} // namespace

class TstStatistics : public QObject {
    Q_OBJECT

private slots:

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

        const std::vector<DataRow> rows = channelOne(readings);
        std::vector<std::size_t> got = recording::topRecords(ranking, 5, rows, 0);
        for (std::size_t& index : got) {
            ++index;
        }
        QCOMPARE(got, records);
    }

    void fewerRecordsThanListedGiveTheSeparatorOnly_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("dashes");
        QTest::newRow("4 channels, 4 records") << 4 << 4 << 135;
        QTest::newRow("2 channels, 1 record") << 2 << 1 << 87;
        QTest::newRow("1 channel, 0 records") << 1 << 0 << 63;
    }

    void fewerRecordsThanListedGiveTheSeparatorOnly() {
        QFETCH(int, channels);
        QFETCH(int, count);
        QFETCH(int, dashes);
        const std::vector<DataRow> rows =
            channelOne(std::vector<quint16>(std::size_t(count), 5135));
        const QByteArray expected = QByteArray(dashes, '-') + "\r\n";
        QCOMPARE(topMaxText(5, rows, channels, live::TempUnit::Celsius), expected);
        QCOMPARE(topMinText(5, rows, channels, live::TempUnit::Fahrenheit), expected);
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
        QCOMPARE(topMinText(5, rows, 1, live::TempUnit::Celsius),
                 QByteArray(63, '-') + "\r\n"
                                       "Top 5 Min T1 Celsius Value : \r\n"
                                       "2024/01/05 10:30:01****-10.0\r\n"
                                       "2024/01/05 10:30:02****-5.0\r\n"
                                       "2024/01/05 10:30:03****0.0\r\n"
                                       "2024/01/05 10:30:05****0.5\r\n"
                                       "2024/01/05 10:30:04****10.0\r\n");
    }

    void fourChannelBlockHasFourHeadings() {
        std::vector<DataRow> rows;
        for (int i = 1; i <= 5; ++i) {
            rows.push_back({kStart + i, {rawForCelsius(i), kOver, kUnder, rawForCelsius(-i)}, 'K'});
        }
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

    void unknownChannelCountGivesEmptyText() {
        const std::vector<DataRow> rows = channelOne({4500, 4590, 4680, 4860, 4689});
        QCOMPARE(topMaxText(5, rows, 3, live::TempUnit::Celsius), QByteArray());
        QCOMPARE(topMinText(5, rows, 0, live::TempUnit::Celsius), QByteArray());
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

QTEST_APPLESS_MAIN(TstStatistics)
#include "tst_statistics.moc"
