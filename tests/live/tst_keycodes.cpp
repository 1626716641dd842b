// Covers the remote key codes: the 4 bytes of every key for a short and a long press (the
// POWER combinations have no long form), the 2-second boundary between short and long
// presses, and the control name and caption of each key.

#include "live/keycodes.h"

#include <QTest>

#include <limits>

using namespace live;

Q_DECLARE_METATYPE(live::Key)

class TestKeyCodes : public QObject {
    Q_OBJECT
private slots:
    void keys_data() {
        QTest::addColumn<Key>("key");
        QTest::addColumn<QString>("control"); // object name and caption
        QTest::addColumn<QString>("codes");   // short press, long press
        QTest::newRow("HOLD") << Key::Hold << "CmdHold HOLD" << QString("01000000 00000100");
        QTest::newRow("TIME") << Key::Time << "CmdTime TIME" << QString("02000000 00000200");
        QTest::newRow("TYPE") << Key::Unit << "CmdUnit TYPE" << QString("04000000 00000400");
        QTest::newRow("REL") << Key::Rel << "CmdRel REL" << QString("08000000 00000800");
        QTest::newRow("REC") << Key::Rec << "CmdRec REC" << QString("10000000 00001000");
        QTest::newRow("T1-T2") << Key::T1T2 << "CmdT1T2 T1-T2" << QString("20000000 00002000");
        QTest::newRow("T3-T4") << Key::T3T4 << "CmdT3T4 T3-T4" << QString("40000000 00004000");
        QTest::newRow("light") << Key::Light << "LblLight" << QString("80000000 00008000");
        QTest::newRow("LIMIT") << Key::Limit << "LimitLbl LIMIT" << QString("00010000 00000001");
        QTest::newRow("MAX") << Key::Max << "CmdMax MAX" << QString("00020000 00000002");
        QTest::newRow("power") << Key::Power << "LblPwr" << QString("00040000 00000004");
        // No long form: a long press still sends the fixed code, and no countdown runs.
        QTest::newRow("Pow+Unit") << Key::PowerUnit << "CmdPowerUnit Pow+Unit"
                                  << "00080000 00080000";
        QTest::newRow("Pow+Hold") << Key::PowerHold << "CmdPowerHold Pow+Hold"
                                  << "00100000 00100000";
        QTest::newRow("Pow+REL") << Key::PowerRel << "CmdPowerRel Pow+REL"
                                 << "00200000 00200000";
    }

    void keys() {
        QFETCH(Key, key);
        QFETCH(QString, control);
        QFETCH(QString, codes);
        const QStringList names = control.split(u' ');
        const QStringList hex = codes.split(u' ');
        QCOMPARE(keyCode(key, false).toHex(), hex[0].toLatin1());
        QCOMPARE(keyCode(key, true).toHex(), hex[1].toLatin1());
        const KeyInfo& info = keyInfo(key);
        QCOMPARE(info.key, key);
        QCOMPARE(QString::fromLatin1(info.objectName), names[0]);
        QCOMPARE(QString::fromLatin1(info.caption), names.value(1));
        QCOMPARE(info.timed, hex[0] != hex[1]);
    }

    void longPressBoundary_data() {
        QTest::addColumn<double>("held");
        QTest::addColumn<bool>("isLong");
        QTest::newRow("exactly 2 s is short") << 2.0 << false;
        QTest::newRow("just over 2 s is long") << 2.001 << true;
        QTest::newRow("zero") << 0.0 << false;
        QTest::newRow("negative (clock stepped back)") << -5.0 << false;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << false;
    }

    void longPressBoundary() {
        QFETCH(double, held);
        QFETCH(bool, isLong);
        QCOMPARE(isLongPress(held), isLong);
    }
};

QTEST_GUILESS_MAIN(TestKeyCodes)
#include "tst_keycodes.moc"
