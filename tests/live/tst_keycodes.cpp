// Covers the remote key codes: the 4 bytes of every key for a short and a long press, the
// POWER combinations that have no long form, exactly one bit per code, the 2-second boundary
// between short and long presses, and the control name and caption of each key.

#include "live/keycodes.h"

#include <QTest>

#include <bit>
#include <limits>
#include <set>
#include <string>

using namespace live;

Q_DECLARE_METATYPE(live::Key)

class TestKeyCodes : public QObject {
    Q_OBJECT

private slots:
    void codes_data();
    void codes();
    void everyCodeHasExactlyOneBit();
    void longPressBoundary_data();
    void longPressBoundary();
    void controls_data();
    void controls();
    void controlNamesAreUnique();
};

void TestKeyCodes::codes_data() {
    QTest::addColumn<Key>("key");
    QTest::addColumn<QByteArray>("shortCode");
    QTest::addColumn<QByteArray>("longCode");

    QTest::newRow("HOLD") << Key::Hold << QByteArray::fromHex("01000000")
                          << QByteArray::fromHex("00000100");
    QTest::newRow("TIME") << Key::Time << QByteArray::fromHex("02000000")
                          << QByteArray::fromHex("00000200");
    QTest::newRow("TYPE") << Key::Unit << QByteArray::fromHex("04000000")
                          << QByteArray::fromHex("00000400");
    QTest::newRow("REL") << Key::Rel << QByteArray::fromHex("08000000")
                         << QByteArray::fromHex("00000800");
    QTest::newRow("REC") << Key::Rec << QByteArray::fromHex("10000000")
                         << QByteArray::fromHex("00001000");
    QTest::newRow("T1-T2") << Key::T1T2 << QByteArray::fromHex("20000000")
                           << QByteArray::fromHex("00002000");
    QTest::newRow("T3-T4") << Key::T3T4 << QByteArray::fromHex("40000000")
                           << QByteArray::fromHex("00004000");
    QTest::newRow("light") << Key::Light << QByteArray::fromHex("80000000")
                           << QByteArray::fromHex("00008000");
    QTest::newRow("LIMIT") << Key::Limit << QByteArray::fromHex("00010000")
                           << QByteArray::fromHex("00000001");
    QTest::newRow("MAX") << Key::Max << QByteArray::fromHex("00020000")
                         << QByteArray::fromHex("00000002");
    QTest::newRow("power") << Key::Power << QByteArray::fromHex("00040000")
                           << QByteArray::fromHex("00000004");
    // No long form: a long press still sends the fixed code.
    QTest::newRow("Pow+Unit") << Key::PowerUnit << QByteArray::fromHex("00080000")
                              << QByteArray::fromHex("00080000");
    QTest::newRow("Pow+Hold") << Key::PowerHold << QByteArray::fromHex("00100000")
                              << QByteArray::fromHex("00100000");
    QTest::newRow("Pow+REL") << Key::PowerRel << QByteArray::fromHex("00200000")
                             << QByteArray::fromHex("00200000");
}

void TestKeyCodes::codes() {
    QFETCH(Key, key);
    QFETCH(QByteArray, shortCode);
    QFETCH(QByteArray, longCode);

    QCOMPARE(keyCode(key, false).toHex(' '), shortCode.toHex(' '));
    QCOMPARE(keyCode(key, true).toHex(' '), longCode.toHex(' '));
}

void TestKeyCodes::everyCodeHasExactlyOneBit() {
    std::set<std::pair<int, int>> used;
    for (const KeyInfo& info : kKeys) {
        for (bool longPress : {false, true}) {
            const QByteArray code = keyCode(info.key, longPress);
            QCOMPARE(code.size(), kKeyCodeLength);
            int bits = 0;
            for (char byte : code) {
                bits += std::popcount(quint8(byte));
            }
            QCOMPARE(bits, 1);
        }
        // No two keys share a bit, or the meter could not tell them apart.
        QVERIFY(used.insert({info.byte, info.mask}).second);
    }
}

void TestKeyCodes::longPressBoundary_data() {
    QTest::addColumn<double>("held");
    QTest::addColumn<bool>("isLong");

    QTest::newRow("1 s is short") << 1.0 << false;
    QTest::newRow("exactly 2 s is short") << 2.0 << false;
    QTest::newRow("just over 2 s is long") << 2.001 << true;
    QTest::newRow("3 s is long") << 3.0 << true;
    QTest::newRow("zero") << 0.0 << false;
    QTest::newRow("negative (clock stepped back)") << -5.0 << false;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << false;
}

void TestKeyCodes::longPressBoundary() {
    QFETCH(double, held);
    QFETCH(bool, isLong);
    QCOMPARE(isLongPress(held), isLong);
}

void TestKeyCodes::controls_data() {
    QTest::addColumn<Key>("key");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("timed");

    QTest::newRow("hold") << Key::Hold << "CmdHold"
                          << "HOLD" << true;
    QTest::newRow("time") << Key::Time << "CmdTime"
                          << "TIME" << true;
    QTest::newRow("unit") << Key::Unit << "CmdUnit"
                          << "TYPE" << true;
    QTest::newRow("rel") << Key::Rel << "CmdRel"
                         << "REL" << true;
    QTest::newRow("rec") << Key::Rec << "CmdRec"
                         << "REC" << true;
    QTest::newRow("t1t2") << Key::T1T2 << "CmdT1T2"
                          << "T1-T2" << true;
    QTest::newRow("t3t4") << Key::T3T4 << "CmdT3T4"
                          << "T3-T4" << true;
    QTest::newRow("light") << Key::Light << "LblLight"
                           << "" << true;
    QTest::newRow("limit") << Key::Limit << "LimitLbl"
                           << "LIMIT" << true;
    QTest::newRow("max") << Key::Max << "CmdMax"
                         << "MAX" << true;
    QTest::newRow("power") << Key::Power << "LblPwr"
                           << "" << true;
    QTest::newRow("power unit") << Key::PowerUnit << "CmdPowerUnit"
                                << "Pow+Unit" << false;
    QTest::newRow("power hold") << Key::PowerHold << "CmdPowerHold"
                                << "Pow+Hold" << false;
    QTest::newRow("power rel") << Key::PowerRel << "CmdPowerRel"
                               << "Pow+REL" << false;
}

void TestKeyCodes::controls() {
    QFETCH(Key, key);
    QFETCH(QString, objectName);
    QFETCH(QString, caption);
    QFETCH(bool, timed);

    const KeyInfo& info = keyInfo(key);
    QCOMPARE(info.key, key);
    QCOMPARE(QString::fromLatin1(info.objectName), objectName);
    QCOMPARE(QString::fromLatin1(info.caption), caption);
    QCOMPARE(info.timed, timed);
}

void TestKeyCodes::controlNamesAreUnique() {
    std::set<std::string> names;
    for (const KeyInfo& info : kKeys) {
        QVERIFY(names.insert(info.objectName).second);
    }
    QCOMPARE(int(names.size()), kKeyCount);
}

QTEST_GUILESS_MAIN(TestKeyCodes)
#include "tst_keycodes.moc"
