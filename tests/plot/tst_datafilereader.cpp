// Data file reader: files written by the writer read back for 4, 2 and 1 channels (values,
// range marks, stamps, type letter, trailer ignored), the channel count taken from the header
// line, and damaged files: missing, absurd or garbled counts, files cut short or holding
// garbled lines, overlong lines, and files that do not exist.

#include "recording/datafile.h"
#include "plot/datafilereader.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace recording;
using namespace plot;

Q_DECLARE_METATYPE(recording::TrailerLayout)

namespace {

const qint64 kStart = *stampFromText("2024/01/05 10:30:00");

std::vector<DataRow> sampleRows(char type = 'K') {
    // T1..T4: 25.3 / 77.5 / 298.3, -5.0 / 23.0 / 268.0, OL, -OL on the first row; then varied.
    return {
        {kStart + 1, {5135, 4590, 65535, 0}, type},   {kStart + 2, {4680, 6480, 4360, 29430}, type},
        {kStart + 3, {0, 65535, 4689, 4500}, type},   {kStart + 4, {4860, 4860, 4860, 4860}, type},
        {kStart + 5, {4500, 4590, 4680, 4698}, type}, {kStart + 6, {5136, 5135, 4590, 4589}, type}};
}

} // namespace

class TstDataFileReader : public QObject {
    Q_OBJECT

private slots:
    void init();
    void writerOutputReadsBack_data();
    void writerOutputReadsBack();
    void channelCountComesFromTheHeader_data();
    void channelCountComesFromTheHeader();
    void implausibleCountIsRefused_data();
    void implausibleCountIsRefused();
    void damagedDataKeepsTheRowsBeforeIt_data();
    void damagedDataKeepsTheRowsBeforeIt();
    void emptyRecordingReadsAsNoRows();
    void linesAfterTheDeclaredRecordsAreIgnored();
    void missingFileIsRefused();

private:
    QString write(const QByteArray& bytes);
    std::unique_ptr<QTemporaryDir> m_dir;
    int m_files = 0;
};

void TstDataFileReader::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TstDataFileReader::write(const QByteArray& bytes) {
    const QString path = m_dir->filePath(QStringLiteral("%1.txt").arg(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

void TstDataFileReader::writerOutputReadsBack_data() {
    QTest::addColumn<int>("channels");
    QTest::addColumn<TrailerLayout>("layout");
    QTest::newRow("4 channels") << 4 << TrailerLayout::Recording;
    QTest::newRow("2 channels") << 2 << TrailerLayout::MemorySave;
    QTest::newRow("1 channel") << 1 << TrailerLayout::Recording;
}

void TstDataFileReader::writerOutputReadsBack() {
    QFETCH(int, channels);
    QFETCH(TrailerLayout, layout);
    const std::vector<DataRow> rows = sampleRows('J');
    const DataFileContents read =
        readDataFile(write(fileText(rows, channels, live::TempUnit::Celsius, layout)));

    QVERIFY2(read.ok(), qPrintable(read.error));
    QCOMPARE(read.warning, QString());
    QCOMPARE(read.declaredCount, 6);
    QCOMPARE(read.channelCount, channels);
    QCOMPARE(read.typeLetter, QChar('J'));
    QCOMPARE(read.rows.size(), std::size_t(6));

    const DataFileRow& first = read.rows[0];
    QCOMPARE(first.stampText(), QStringLiteral("2024/01/05 10:30:01"));
    QCOMPARE(read.rows[5].stampText(), QStringLiteral("2024/01/05 10:30:06"));
    // Exactly the double the decimal text denotes, not merely close to it.
    QVERIFY(first.value(live::TempUnit::Celsius, 1) == 25.3);
    QCOMPARE(first.value(live::TempUnit::Fahrenheit, 1), 77.5);
    QCOMPARE(first.value(live::TempUnit::Kelvin, 1), 298.3);
    QCOMPARE(read.rows[1].value(live::TempUnit::Celsius, 1), 0.0);
    if (channels >= 2) {
        QCOMPARE(first.value(live::TempUnit::Kelvin, 2), 268.0);
        QCOMPARE(read.rows[1].value(live::TempUnit::Fahrenheit, 2), 212.0);
        QVERIFY(isOverRange(read.rows[2].value(live::TempUnit::Celsius, 2)));
    } else {
        QVERIFY(std::isnan(first.value(live::TempUnit::Kelvin, 2)));
    }
    QVERIFY(isUnderRange(read.rows[2].value(live::TempUnit::Kelvin, 1)));
    if (channels == 4) {
        QVERIFY(isOverRange(first.value(live::TempUnit::Fahrenheit, 3)));
        QVERIFY(isUnderRange(first.value(live::TempUnit::Celsius, 4)));
        QCOMPARE(read.rows[1].value(live::TempUnit::Celsius, 4), 1375.0);
        QCOMPARE(read.rows[5].value(live::TempUnit::Kelvin, 4), 267.9);
    } else {
        QVERIFY(std::isnan(first.value(live::TempUnit::Celsius, 3)));
    }
}

void TstDataFileReader::channelCountComesFromTheHeader_data() {
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("channels");
    QTest::newRow("neither 4 nor 2") << QByteArray("No.s \tType\t   T1C\t   T1F\t   T1K") << 1;
    QTest::newRow("empty line") << QByteArray() << 1;
    QTest::newRow("2") << QByteArray("   T1C\t   T2C") << 2;
    QTest::newRow("4 wins over 2") << QByteArray("x2x4") << 4;
}

void TstDataFileReader::channelCountComesFromTheHeader() {
    QFETCH(QByteArray, header);
    QFETCH(int, channels);
    const std::vector<DataRow> rows = sampleRows();
    QByteArray text = countLine(2) + header + "\r\n" + separatorLine(channels);
    for (int n = 1; n <= 2; ++n) {
        text += dataLine(n, rows[std::size_t(n - 1)], channels);
    }
    const DataFileContents read = readDataFile(write(text));
    QVERIFY2(read.ok(), qPrintable(read.error));
    QCOMPARE(read.channelCount, channels);
    QCOMPARE(read.rows.size(), std::size_t(2));
    QCOMPARE(read.rows[1].value(live::TempUnit::Kelvin, 1), 273.0);
}

void TstDataFileReader::implausibleCountIsRefused_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray rest = headerLine(1) + separatorLine(1) + dataLine(1, sampleRows()[0], 1);
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("count missing") << "Total Records : \r\n" + rest;
    QTest::newRow("line too short") << "Total Records\r\n" + rest;
    QTest::newRow("not a number") << "Total Records : many\r\n" + rest;
    QTest::newRow("trailing garbage") << "Total Records : 12x\r\n" + rest;
    QTest::newRow("negative") << "Total Records : -3\r\n" + rest;
    QTest::newRow("above any writer") << "Total Records : 864001\r\n" + rest;
    QTest::newRow("huge") << "Total Records : 99999999999999999999\r\n" + rest;
    QTest::newRow("working file without count") << rest;
    QTest::newRow("no header") << QByteArray("Total Records : 1\r\n");
}

void TstDataFileReader::implausibleCountIsRefused() {
    QFETCH(QByteArray, bytes);
    const QString path = write(bytes);
    const DataFileContents read = readDataFile(path);
    QVERIFY(!read.ok());
    QVERIFY2(read.error.contains(QFileInfo(path).fileName()), qPrintable(read.error));
    QVERIFY(read.rows.empty());
}

void TstDataFileReader::damagedDataKeepsTheRowsBeforeIt_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rowsKept");
    QTest::addColumn<QString>("warningPart");

    const std::vector<DataRow> rows = sampleRows();
    const QByteArray whole = fileText(rows, 4, live::TempUnit::Celsius, TrailerLayout::Recording);
    const qsizetype line6 = whole.indexOf("\r\n3     \t") + 2;

    QTest::newRow("cut inside line 6") << whole.left(line6 + 40) << 2 << "Line 6 ";
    QTest::newRow("cut after line 6") << whole.left(line6 + 114) << 3 << "holds only 3";
    QTest::newRow("count larger than the rows")
        << QByteArray(whole).replace("Total Records : 6", "Total Records : 9") << 6 << "Line 10 ";
    QByteArray garbledValue = whole;
    garbledValue.replace(line6 + 29, 6, "  2x.3");
    QTest::newRow("garbled value") << garbledValue << 2 << "Line 6 ";
    QByteArray shifted = whole;
    shifted.insert(line6 + 29, ' ');
    QTest::newRow("value out of position") << shifted << 2 << "Line 6 ";
    QByteArray overlong = whole;
    overlong.insert(line6, QByteArray(100000, 'x'));
    QTest::newRow("overlong line") << overlong << 2 << "Line 6 ";
}

void TstDataFileReader::damagedDataKeepsTheRowsBeforeIt() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, rowsKept);
    QFETCH(QString, warningPart);
    const DataFileContents read = readDataFile(write(bytes));
    QVERIFY2(read.ok(), qPrintable(read.error));
    QCOMPARE(read.rows.size(), std::size_t(rowsKept));
    QVERIFY2(read.warning.contains(warningPart), qPrintable(read.warning));
    QCOMPARE(read.rows.back().stampText(), QString::fromLatin1(stampText(kStart + rowsKept)));
}

void TstDataFileReader::emptyRecordingReadsAsNoRows() {
    const DataFileContents read =
        readDataFile(write(fileText({}, 2, live::TempUnit::Celsius, TrailerLayout::Recording)));
    QVERIFY2(read.ok(), qPrintable(read.error));
    QCOMPARE(read.warning, QString());
    QCOMPARE(read.declaredCount, 0);
    QCOMPARE(read.channelCount, 2);
    QVERIFY(read.rows.empty());
    QVERIFY(read.typeLetter.isNull());
}

void TstDataFileReader::linesAfterTheDeclaredRecordsAreIgnored() {
    const std::vector<DataRow> rows = sampleRows('E');
    QByteArray text = fileText(rows, 1, live::TempUnit::Celsius, TrailerLayout::Recording);
    text.replace("Total Records : 6", "Total Records : 2");
    // Unix line ends are read as well.
    text.replace("\r\n", "\n");
    const DataFileContents read = readDataFile(write(text));
    QVERIFY2(read.ok(), qPrintable(read.error));
    QCOMPARE(read.warning, QString());
    QCOMPARE(read.rows.size(), std::size_t(2));
    QCOMPARE(read.typeLetter, QChar('E'));
    QCOMPARE(read.rows[1].value(live::TempUnit::Fahrenheit, 1), 32.0);
}

void TstDataFileReader::missingFileIsRefused() {
    const DataFileContents read = readDataFile(m_dir->filePath(QStringLiteral("absent.txt")));
    QVERIFY(!read.ok());
    QVERIFY(read.error.contains(QStringLiteral("absent.txt")));
}

QTEST_APPLESS_MAIN(TstDataFileReader)
#include "tst_datafilereader.moc"
