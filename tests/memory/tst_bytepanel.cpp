// The byte panel's rules: the command text and the payload boxes up to the first empty one,
// box values (leading number, "&H" and "0x", halves to even), values refused before anything
// is sent, the reply as hexadecimal text, and the exchange against the virtual meter.

#include "memory/bytepanel.h"

#include "support/meterbench.h"

#include <QTest>

using testsupport::bytes;

namespace {

QStringList sixteen() {
    QStringList boxes;
    for (int i = 1; i <= 16; ++i)
        boxes << QString::number(i * 10);
    return boxes;
}

} // namespace

class TestBytePanel : public QObject {
    Q_OBJECT
private slots:
    void requestFromTheBoxes_data();
    void requestFromTheBoxes();
    void replyAsHexText();
    void exchangeSendsAndShowsWhatArrives_data();
    void exchangeSendsAndShowsWhatArrives();
};

void TestBytePanel::requestFromTheBoxes_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("refused");
    const QByteArray none;
    QTest::newRow("M alone") << "M" << QStringList{} << none << false;
    QTest::newRow("E 4 0 0 0") << "E" << QStringList{"4", "0", "0", "0"} << bytes({4, 0, 0, 0})
                               << false;
    QTest::newRow("&H1F") << "C" << QStringList{"&H1F"} << bytes({0x1F}) << false;
    QTest::newRow("&hff lower case") << "C" << QStringList{"&hff"} << bytes({0xFF}) << false;
    QTest::newRow("0x1F") << "C" << QStringList{"0x1F"} << bytes({0x1F}) << false;
    QTest::newRow("12abc") << "C" << QStringList{"12abc"} << bytes({12}) << false;
    QTest::newRow("abc reads as 0") << "C" << QStringList{"abc"} << bytes({0}) << false;
    QTest::newRow("2.5 and 3.5 to even")
        << "C" << QStringList{"2.5", "3.5"} << bytes({2, 4}) << false;
    QTest::newRow("255.4 rounds into range")
        << "C" << QStringList{" 255.4"} << bytes({255}) << false;
    QTest::newRow("-0.4 rounds to 0") << "C" << QStringList{"-0.4"} << bytes({0}) << false;
    QTest::newRow("Cmd2 empty, Cmd3 filled") << "E" << QStringList{"", "4"} << none << false;
    QTest::newRow("stops at the first empty box")
        << "E" << QStringList{"4", "0", "", "9"} << bytes({4, 0}) << false;
    QTest::newRow("a blank box is empty")
        << "E" << QStringList{"4", "  ", "9"} << bytes({4}) << false;
    QTest::newRow("all sixteen boxes")
        << "H" << sixteen()
        << bytes({10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160}) << false;
    QTest::newRow("command unchanged") << " k x" << QStringList{} << none << false;
    QTest::newRow("256 refused") << "E" << QStringList{"4", "256"} << none << true;
    QTest::newRow("-1 refused") << "E" << QStringList{"-1"} << none << true;
    QTest::newRow("255.5 rounds to 256, refused") << "E" << QStringList{"255.5"} << none << true;
    QTest::newRow("&H100 refused") << "E" << QStringList{"&H100"} << none << true;
    QTest::newRow("a seventeenth value refused")
        << "H" << sixteen() + QStringList{"1"} << none << true;
    QTest::newRow("a character that is not one byte")
        << QString::fromUtf8("E\u20AC") << QStringList{} << none << true;
}

void TestBytePanel::requestFromTheBoxes() {
    QFETCH(QString, command);
    QFETCH(QStringList, boxes);
    QFETCH(QByteArray, payload);
    QFETCH(bool, refused);
    const memory::ByteRequest request = memory::parseByteRequest(command, boxes);
    QCOMPARE(!request.error.isEmpty(), refused);
    if (refused)
        return;
    QCOMPARE(request.command, command.toLatin1());
    QCOMPARE(request.payload, payload);
}

void TestBytePanel::replyAsHexText() {
    QCOMPARE(memory::replyText(bytes({0x02, 0x41, 0x0D})), QStringLiteral("02  41  0D  "));
    QCOMPARE(memory::replyText(bytes({0x00, 0xAB, 0xff})), QStringLiteral("00  AB  FF  "));
    QCOMPARE(memory::replyText(QByteArray()), QString());
    // An empty command asks for nothing, and is no error.
    const memory::ByteRequest empty = memory::parseByteRequest(QString(), {"256"});
    QVERIFY(empty.command.isEmpty());
    QVERIFY(empty.error.isEmpty());
    QCOMPARE(memory::parseByteRequest("E", {"256"}).error,
             QStringLiteral("Byte 1 (\"256\") is not a value from 0 to 255. Nothing was sent."));
}

void TestBytePanel::exchangeSendsAndShowsWhatArrives_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("replyLength");
    QTest::addColumn<int>("storedAfter");
    // The whole 37-byte frame arrives within 20 ms at 38400 baud.
    QTest::newRow("M") << QByteArray("M") << QByteArray() << 37 << 5;
    QTest::newRow("A") << QByteArray("A") << QByteArray() << 3 << 5;
    // The same bytes as the memory erase: the meter's memory is empty afterwards.
    QTest::newRow("E 4 0 0 0") << QByteArray("E") << bytes({4, 0, 0, 0}) << 0 << 0;
    // Without its payload the meter waits for one: nothing comes back, nothing is erased.
    QTest::newRow("E alone") << QByteArray("E") << QByteArray() << 0 << 5;
    // Any other fourth byte is not the erase.
    QTest::newRow("E 4 0 0 1") << QByteArray("E") << bytes({4, 0, 0, 1}) << 0 << 5;
}

void TestBytePanel::exchangeSendsAndShowsWhatArrives() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, payload);
    QFETCH(int, replyLength);
    QFETCH(int, storedAfter);
    testsupport::MeterBench bench({.storedRecords = 5});
    const QByteArray reply = memory::exchangeBytes(bench.session, command, payload);
    QCOMPARE(reply.size(), replyLength);
    if (replyLength > 0) {
        QCOMPARE(quint8(reply.front()), quint8(0x02));
        QCOMPARE(quint8(reply.back()), quint8(0x0D));
    }
    QCOMPARE(bench.meter.commandLog().first(), QByteArrayLiteral("A"));
    // The handshake first, then the text, and the payload 2 ms later in one write.
    const QList<serial::SimPort::Write>& writes = bench.port.writes();
    QCOMPARE(writes.size(), payload.isEmpty() ? 2 : 3);
    QCOMPARE(writes[0].bytes, QByteArrayLiteral("A"));
    QCOMPARE(writes[1].bytes, command);
    if (!payload.isEmpty()) {
        QCOMPARE(writes[2].bytes, payload);
        QVERIFY(writes[2].time - writes[1].time > 0.002 - 1e-9);
    }
    QCOMPARE(bench.meter.storedRecords(), storedAfter);
}

QTEST_MAIN(TestBytePanel)
#include "tst_bytepanel.moc"
