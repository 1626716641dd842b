// The live display in words: the readings of the present channels with unit and type, the
// everyday names of the symbols, and which lit symbols are said besides the readings.

#include "live/readout.h"

#include <QTest>

using live::TempUnit;

class TestReadout : public QObject {
    Q_OBJECT
private slots:
    void readingsText_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QChar>("type");
        QTest::addColumn<QString>("text");
        QTest::newRow("four, °C, range marks") << 4 << int(TempUnit::Celsius) << QChar('K')
                                               << "T1 23.7 °C, T2 25.3 °C, T3 OL, T4 -OL, type K";
        QTest::newRow("two, °F") << 2 << int(TempUnit::Fahrenheit) << QChar('J')
                                 << "T1 74.7 °F, T2 77.5 °F, type J";
        QTest::newRow("two, K, T2 missing")
            << 2 << int(TempUnit::Kelvin) << QChar('R') << "T1 297 K, type R";
        QTest::newRow("no meter count") << 3 << int(TempUnit::Celsius) << QChar('K') << "type K";
        QTest::newRow("nothing known") << 0 << int(TempUnit::Celsius) << QChar() << "";
    }
    void readingsText() {
        QFETCH(int, channels);
        QFETCH(int, unit);
        QFETCH(QChar, type);
        QFETCH(QString, text);
        const live::ReadingText readings = {"23.7", "25.3", "OL",  "-OL", "74.7", "77.5",
                                            "OL",   "-OL",  "297", "",    "OL",   "-OL"};
        QCOMPARE(live::readingsText(readings, channels, TempUnit(unit), type), text);
    }

    void symbolSpokenName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("battery bar") << QString("ImaBt4") << QString("battery");
        QTest::newRow("APO") << QString("ImaAPO") << QString("auto power off");
        QTest::newRow("hold") << QString("LblHold") << QString("hold");
        QTest::newRow("unit") << QString("ImaC") << QString("°C");
        QTest::newRow("unknown") << "ImaX" << QString();
    }
    void symbolSpokenName() {
        QFETCH(QString, name);
        QFETCH(QString, spoken);
        QCOMPARE(live::symbolSpokenName(name), spoken);
    }

    void everySymbolHasASpokenName() {
        for (const live::AnnunciatorInfo& info : live::kAnnunciators)
            QVERIFY2(!live::symbolSpokenName(QString::fromLatin1(info.name)).isEmpty(), info.name);
    }

    void litSymbolsSaidOnceAndInOrder() {
        live::DisplayState state;
        for (const char* name : {"ImaAPO", "LblHold", "ImaBt1", "ImaBt2", "ImaBt3", "ImaC",
                                 "LblT1T1", "LblK", "LblT1Dot", "LblMax"})
            state.annunciators[std::size_t(live::annunciatorIndex(QString::fromLatin1(name)))] =
                true;
        QCOMPARE(live::litSymbolNames(state),
                 QStringList({"battery 3 of 4", "maximum", "hold", "auto power off"}));
        QCOMPARE(live::litSymbolNames(live::DisplayState()), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestReadout)
#include "tst_readout.moc"
