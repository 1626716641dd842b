// The readings in standard forms: a data file exported to CSV in each unit with "OL", "-OL",
// whole degrees and 4, 2 or 1 channels, the same row as the record command prints it in CSV
// and JSON Lines; the default unit from the file's statistics; quoting; refusals by name.

#include "dataout/csvexport.h"
#include "dataout/rowformat.h"
#include "live/readout.h"
#include "recording/datafile.h"

#include <QBuffer>
#include <QTest>

using live::TempUnit;
using recording::DataRow;

Q_DECLARE_METATYPE(live::TempUnit)

namespace {

// 2023/11/14 22:13:20; T1 25.0 C, T2 OL, T3 -OL, T4 10.5 C.
const DataRow kRow{1700000000, {5130, 65535, 0, 4869}, 'K'};

QByteArray fileOf(const std::vector<DataRow>& rows, int channels, TempUnit listed) {
    return recording::fileText(rows, channels, listed, recording::TrailerLayout::Recording);
}

// The CSV of `bytes` exported in `unit` (none: the file's own).
dataout::ExportResult exportOf(QByteArray bytes, std::optional<TempUnit> unit, QByteArray* csv) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return dataout::exportCsv(buffer, QStringLiteral("run.txt"), unit, [&](QByteArrayView piece) {
        csv->append(piece);
        return true;
    });
}

} // namespace

class TestDataOut : public QObject {
    Q_OBJECT

private slots:
    void rowsAgainstTheDataFile_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<char>("type");
        QTest::addColumn<TempUnit>("unit");
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QByteArray>("json");
        const QByteArray time = "2023-11-14T22:13:20";
        QTest::newRow("4 channels, C")
            << 4 << 'K' << TempUnit::Celsius << "1," + time + ",K,25.0,,,10.5"
            << QByteArray("\"T1\":25.0,\"T2\":null,\"T3\":null,\"T4\":10.5");
        QTest::newRow("4 channels, F")
            << 4 << 'K' << TempUnit::Fahrenheit << "1," + time + ",K,77.0,,,50.9"
            << QByteArray("\"T1\":77.0,\"T2\":null,\"T3\":null,\"T4\":50.9");
        QTest::newRow("4 channels, K")
            << 4 << 'K' << TempUnit::Kelvin << "1," + time + ",K,298.0,,,283.5"
            << QByteArray("\"T1\":298.0,\"T2\":null,\"T3\":null,\"T4\":283.5");
        QTest::newRow("2 channels: T3, T4 absent")
            << 2 << 'K' << TempUnit::Celsius << "1," + time + ",K,25.0,"
            << QByteArray("\"T1\":25.0,\"T2\":null");
        QTest::newRow("1 channel, type R in whole degrees")
            << 1 << 'R' << TempUnit::Fahrenheit << "1," + time + ",R,77" << QByteArray("\"T1\":77");
    }

    void rowsAgainstTheDataFile() {
        QFETCH(int, channels);
        QFETCH(char, type);
        QFETCH(TempUnit, unit);
        QFETCH(QByteArray, csv);
        QFETCH(QByteArray, json);
        DataRow row = kRow;
        row.type = type;
        QByteArray exported;
        const dataout::ExportResult result =
            exportOf(fileOf({row}, channels, unit), unit, &exported);
        QVERIFY2(result.ok(), qPrintable(result.error));
        const QList<QByteArray> lines = exported.split('\n');
        QCOMPARE(lines.size(), 3); // header, row, nothing after the last CR LF
        QCOMPARE(lines[0], dataout::csvHeader(channels).chopped(1));
        QCOMPARE(lines[1], csv + '\r');
        // What "record --format" prints for the row it wrote into that file.
        QByteArray recorded;
        dataout::appendDataRow(recorded, dataout::Format::Csv, 1, row, channels, unit);
        QCOMPARE(recorded, csv + "\r\n");
        QByteArray line;
        dataout::appendDataRow(line, dataout::Format::Jsonl, 1, row, channels, unit, 125);
        const char letter[] = {live::unitLetter(unit), 0};
        QCOMPARE(line, "{\"time\":\"2023-11-14T22:13:20\",\"type\":\"" + QByteArray(1, type) +
                           "\",\"unit\":\"" + letter + "\"," + json + ",\"memory\":125}\n");
    }

    // Without --unit: the unit the statistics list, or Celsius with too few rows for them.
    void defaultUnitIsTheFilesOwn() {
        QByteArray csv;
        QVERIFY(exportOf(fileOf(std::vector<DataRow>(5, kRow), 1, TempUnit::Fahrenheit),
                         std::nullopt, &csv)
                    .ok());
        QVERIFY2(csv.contains(",K,77.0\r\n"), csv.constData());
        csv.clear();
        QVERIFY(exportOf(fileOf(std::vector<DataRow>(4, kRow), 1, TempUnit::Fahrenheit),
                         std::nullopt, &csv)
                    .ok());
        QVERIFY2(csv.contains(",K,25.0\r\n"), csv.constData());
    }

    void fieldsAreQuotedOnlyWhereNeeded_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << QByteArray("K") << QByteArray("K");
        QTest::newRow("comma") << QByteArray(",") << QByteArray("\",\"");
        QTest::newRow("quote doubled") << QByteArray("a\"b") << QByteArray("\"a\"\"b\"");
        QTest::newRow("line end") << QByteArray("a\r\nb") << QByteArray("\"a\r\nb\"");
    }

    void fieldsAreQuotedOnlyWhereNeeded() {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, written);
        QByteArray out;
        dataout::appendCsvField(out, field);
        QCOMPARE(out, written);
    }

    // A file whose type letter is a quote (a hand-edited file) still gives well-formed rows.
    void strayTypeLetterIsQuoted() {
        DataRow row = kRow;
        row.type = '"';
        QByteArray csv;
        QVERIFY(exportOf(fileOf({row}, 1, TempUnit::Celsius), TempUnit::Celsius, &csv).ok());
        QVERIFY2(csv.endsWith(",\"\"\"\",25.0\r\n"), csv.constData());
    }

    void numbersArePlain_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("number");
        QTest::newRow("tenths") << QByteArray("-12.3") << QByteArray("-12.3");
        QTest::newRow("no leading digit") << QByteArray(".5") << QByteArray("0.5");
        QTest::newRow("leading zeros") << QByteArray("007.0") << QByteArray("7.0");
        QTest::newRow("OL") << QByteArray("OL") << QByteArray();
        QTest::newRow("-OL") << QByteArray("-OL") << QByteArray();
        QTest::newRow("blank") << QByteArray() << QByteArray();
        QTest::newRow("a lone sign") << QByteArray("-") << QByteArray();
    }

    void numbersArePlain() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, number);
        QCOMPARE(dataout::plainNumber(text), number);
    }

    // Refused files reach the sink with nothing; one short of its count is exported, warned.
    void badFilesAreRefusedByName() {
        QByteArray csv;
        dataout::ExportResult result = exportOf("Total Records : 0\r\n", std::nullopt, &csv);
        QCOMPARE(result.error, QStringLiteral("The file run.txt holds no records."));
        QCOMPARE(csv, QByteArray());
        QByteArray cut = fileOf({kRow, kRow}, 1, TempUnit::Celsius);
        cut.replace("Total Records : 2", "Total Records : 3");
        result = exportOf(cut, TempUnit::Celsius, &csv);
        QVERIFY(result.ok());
        QCOMPARE(result.rows, 2);
        // The trailer's dashes stand where the third record should.
        QCOMPARE(result.warning,
                 QStringLiteral("Line 6 of the file run.txt is not a data line; only "
                                "the 2 records before it were exported."));
    }
};

QTEST_MAIN(TestDataOut)
#include "tst_dataout.moc"
