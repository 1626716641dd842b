// Loading a data file for the plot: the fields at their fixed positions for 4, 2 and 1
// channels in each unit, the type letter and its range, "OL"/"-OL", Unix line ends, and bad files:
// counts missing, 0, not a number or far above the lines that follow, files cut short, binary or of
// another program, each refused or warned about by name, never sized by the count word.

#include "plot/plotdata.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using live::TempUnit;
using plot::PlotLoad;

Q_DECLARE_METATYPE(live::TempUnit)

namespace {

// A file of `lines` data lines under a header counting `count`. Field k (0-based) of every data
// line holds k + 1.5; the record number varies per line.
QByteArray file(int count, int channels, int lines, char type = 'K') {
    QByteArray text =
        "Total Records : " + QByteArray::number(count) + "\r\nNo.s \t      Date Time    \tType";
    for (int c = 1; c <= channels; ++c)
        text += "\t   T" + QByteArray::number(c) + 'C';
    text += "\r\n" + QByteArray(87, '-') + "\r\n";
    for (int n = 1; n <= lines; ++n) {
        text += QByteArray::number(n).leftJustified(6) + "\t2024/01/05 10:30:00\t" + type;
        for (int k = 0; k < 3 * channels; ++k)
            text += '\t' + QByteArray::number(k + 1.5, 'f', 1).rightJustified(6);
        text += "\r\n";
    }
    return text + QByteArray(87, '-') + "\r\nTop 5 Max T1 Celsius Value : \r\n";
}

} // namespace

class TestPlotData : public QObject {
    Q_OBJECT

private:
    QString write(const QByteArray& bytes) {
        const QString path = m_dir.filePath(QStringLiteral("data%1.txt").arg(++m_files));
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QTemporaryDir m_dir;
    int m_files = 0;

private slots:

    void fieldsAtTheirPositions_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<TempUnit>("unit");
        QTest::addColumn<QList<float>>("values");
        // A line holds the C columns, then the F ones, then the K ones, one per channel, from
        // position 30 on, 7 apart.
        const TempUnit units[] = {TempUnit::Celsius, TempUnit::Fahrenheit, TempUnit::Kelvin};
        for (const int channels : {4, 2, 1}) {
            for (int u = 0; u < 3; ++u) {
                QList<float> values;
                for (int c = 0; c < channels; ++c)
                    values << float(u * channels + c) + 1.5f;
                QTest::addRow("%d %c", channels, "CFK"[u]) << channels << units[u] << values;
            }
        }
    }

    void fieldsAtTheirPositions() {
        QFETCH(int, channels);
        QFETCH(TempUnit, unit);
        QFETCH(QList<float>, values);
        const PlotLoad load = plot::loadPlotData(write(file(3, channels, 3)), unit);
        QVERIFY2(load.ok(), qPrintable(load.error));
        QCOMPARE(load.warning, QString());
        QCOMPARE(load.data.count, 3);
        QCOMPARE(load.data.channels, channels);
        QCOMPARE(load.data.rowsRead(), 3);
        for (int c = 1; c <= channels; ++c) {
            QCOMPARE(load.data.value(c, 0), values[c - 1]);
            QCOMPARE(load.data.value(c, 2), values[c - 1]);
        }
    }

    void typeLetterGivesTheRange_data() {
        QTest::addColumn<char>("type");
        QTest::addColumn<TempUnit>("unit");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::newRow("K in C") << 'K' << TempUnit::Celsius << -200 << 1375;
        QTest::newRow("S in C") << 'S' << TempUnit::Celsius << 0 << 1770;
        QTest::newRow("T in F") << 'T' << TempUnit::Fahrenheit << -418 << 752;
        // No such type: the span of the data (1.5 and 2.5 in whole degrees).
        QTest::newRow("unknown letter") << 'X' << TempUnit::Celsius << 1 << 3;
    }

    void typeLetterGivesTheRange() {
        QFETCH(char, type);
        QFETCH(TempUnit, unit);
        QFETCH(int, low);
        QFETCH(int, high);
        const PlotLoad load = plot::loadPlotData(write(file(2, 2, 2, type)), unit);
        QVERIFY2(load.ok(), qPrintable(load.error));
        QCOMPARE(load.data.typeLetter, QChar::fromLatin1(type));
        QCOMPARE(load.data.typeMin, low);
        QCOMPARE(load.data.typeMax, high);
    }

    void badFilesAreRefusedByName_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray rest = file(3, 4, 3).mid(19);
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("count missing") << "Total Records : \r\n" + rest;
        QTest::newRow("count zero") << "Total Records : 0\r\n" + rest;
        QTest::newRow("not a number") << "Total Records : many\r\n" + rest;
        QTest::newRow("negative") << "Total Records : -3\r\n" + rest;
        QTest::newRow("999999999 with 3 data lines") << "Total Records : 999999999\r\n" + rest;
        QTest::newRow("above any writer") << "Total Records : 864001\r\n" + rest;
        QTest::newRow("no header") << QByteArray("Total Records : 3\r\n");
        QTest::newRow("no data line") << file(3, 4, 0).left(file(3, 4, 0).indexOf("-\r\n") + 3);
        QTest::newRow("another program's table")
            << QByteArray("time,value\r\n2024-01-05,12.5\r\n2024-01-06,13.0\r\n");
        QTest::newRow("another program with a number at 17")
            << QByteArray("Samples counted:12\r\nheader\r\n----\r\n1,2,3\r\n");
        QByteArray binary(4096, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char((i * 37) % 256);
        QTest::newRow("binary") << binary;
    }

    void badFilesAreRefusedByName() {
        QFETCH(QByteArray, bytes);
        const QString path = write(bytes);
        const PlotLoad load = plot::loadPlotData(path, TempUnit::Celsius);
        QVERIFY(!load.ok());
        QVERIFY2(load.error.contains(QStringLiteral("data%1.txt").arg(m_files)),
                 qPrintable(load.error));
        QCOMPARE(load.data.rowsRead(), 0);
    }

    void missingRecordsAreZeroWithAWarning_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rowsRead");
        QTest::addColumn<QString>("warningPart");
        QByteArray shortFile = file(864000, 2, 3);
        shortFile.truncate(shortFile.indexOf("\r\n---", 100) + 2);
        QTest::newRow("864000 declared, 3 present") << shortFile << 3 << "holds only 3";
        QByteArray cut = file(5, 4, 5);
        cut.truncate(cut.indexOf("\r\n4     ") + 40);
        QTest::newRow("cut inside line 7") << cut << 3 << "Line 7 ";
        QByteArray garbled = file(5, 4, 5);
        garbled.replace("\r\n3     \t2024/01/05 10:30:00\tK\t   1.5",
                        "\r\n3     \t2024/01/05 10:30:00\tK\t  1x.5");
        QTest::newRow("garbled value on line 6") << garbled << 2 << "Line 6 ";
        QTest::newRow("count above the lines") << file(7, 1, 4) << 4 << "Line 8 ";
    }

    void missingRecordsAreZeroWithAWarning() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rowsRead);
        QFETCH(QString, warningPart);
        const QString path = write(bytes);
        const PlotLoad load = plot::loadPlotData(path, TempUnit::Celsius);
        QVERIFY2(load.ok(), qPrintable(load.error));
        QCOMPARE(load.data.rowsRead(), rowsRead);
        QVERIFY2(load.warning.contains(warningPart), qPrintable(load.warning));
        QVERIFY(load.warning.contains(QStringLiteral("data%1.txt").arg(m_files)));
        QCOMPARE(load.data.value(1, rowsRead - 1), 1.5f);
        QCOMPARE(load.data.value(1, rowsRead), 0.0f);
        QCOMPARE(load.data.value(1, load.data.count - 1), 0.0f);
        // Sized by what was read, not by the count word.
        QVERIFY(load.data.columns[0].capacity() < 1000);
    }

    // "OL" and "-OL" read as infinities, Unix line ends read as well, lines past the count
    // ignored.
    void marksLineEndsAndLateLines() {
        QByteArray text = file(5, 1, 5);
        text.replace("Total Records : 5", "Total Records : 2");
        text.replace("1     \t2024/01/05 10:30:00\tK\t   1.5",
                     "1     \t2024/01/05 10:30:00\tK\t    OL");
        text.replace("2     \t2024/01/05 10:30:00\tK\t   1.5",
                     "2     \t2024/01/05 10:30:00\tK\t   -OL");
        text.replace("\r\n", "\n");
        const PlotLoad load = plot::loadPlotData(write(text), TempUnit::Celsius);
        QVERIFY2(load.ok(), qPrintable(load.error));
        QCOMPARE(load.warning, QString());
        QCOMPARE(load.data.rowsRead(), 2);
        QVERIFY(plot::isOverRange(load.data.value(1, 0)));
        QVERIFY(plot::isUnderRange(load.data.value(1, 1)));
    }
};

QTEST_APPLESS_MAIN(TestPlotData)
#include "tst_plotdata.moc"
