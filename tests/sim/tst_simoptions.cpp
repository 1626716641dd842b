// Covers the qr512-sim command line: each option reaches the meter configuration or the
// faults, and every bad value is refused with a message naming its option.

#include "sim/simoptions.h"

#include <QCommandLineParser>
#include <QTest>

using sim::SimOptions;

namespace {

bool parse(const QStringList& args, SimOptions* options, QString* error) {
    QCommandLineParser parser;
    sim::addSimOptions(parser);
    return sim::parseSimOptions(parser, QStringList{QStringLiteral("qr512-sim")} + args, options,
                                error);
}

} // namespace

class TestSimOptions : public QObject {
    Q_OBJECT
private slots:
    void everyOptionArrives() {
        SimOptions o;
        QString error;
        const QString args = QStringLiteral(
            "--channels 2 --type r --unit F --records 16800 --interval 86400 --fixed --silent "
            "--wrong-handshake --short-every 3 --garble-every 4 --byte-gap 0.01 --unplug-after 5 "
            "--reply-delay 0.3 --reading 3=OL --reading 4=-ol --reading 1=25 --damaged-frames "
            "--silent-after 1.5 --silent-for 2 "
            "--link /tmp/meter");
        QVERIFY2(parse(args.split(u' '), &o, &error), qPrintable(error));
        QCOMPARE(std::tuple(o.config.channels, o.config.type, o.config.unit, o.config.storedRecords,
                            o.config.intervalSeconds, o.config.drift, o.linkPath),
                 std::tuple(2, 'R', 'F', 16800, 86400, false, QStringLiteral("/tmp/meter")));
        QCOMPARE(std::tuple(o.faults.silent, o.faults.wrongHandshake, o.faults.shortEvery,
                            o.faults.garbleEvery, o.faults.byteGap, o.faults.unplugAfter,
                            o.faults.replyDelay, o.faults.damagedFrames, o.silentAfter,
                            o.silentFor),
                 std::tuple(true, true, 3, 4, 0.01, 5, 0.3, true, 1.5, 2.0));
        // 25 C is 77 F, 513.0 tenths above -436 F.
        QCOMPARE(o.config.pinned, (std::array<std::optional<quint16>, 4>{5130, {}, 65535, 0}));
    }

    void badValuesNameTheirOption_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        QTest::newRow("3 channels") << QStringList{"--channels", "3"} << "--channels";
        QTest::newRow("type X") << QStringList{"--type", "X"} << "--type";
        QTest::newRow("unit R") << QStringList{"--unit", "R"} << "--unit";
        QTest::newRow("too many records") << QStringList{"--records", "16801"} << "--records";
        QTest::newRow("interval 0") << QStringList{"--interval", "0"} << "--interval";
        QTest::newRow("negative every") << QStringList{"--short-every", "-1"} << "--short-every";
        QTest::newRow("nan delay") << QStringList{"--reply-delay", "nan"} << "--reply-delay";
        QTest::newRow("reading channel 5") << QStringList{"--reading", "5=OL"} << "--reading";
        QTest::newRow("reading beyond the word")
            << QStringList{"--reading", "2=4000"} << "--reading";
        QTest::newRow("silent for, but from when")
            << QStringList{"--silent-for", "1"} << "--silent-after";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "bogus";
        QTest::newRow("stray argument") << QStringList{"extra"} << "extra";
    }

    void badValuesNameTheirOption() {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        SimOptions o;
        QString error;
        QVERIFY(!parse(args, &o, &error));
        QVERIFY2(error.contains(named), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestSimOptions)
#include "tst_simoptions.moc"
