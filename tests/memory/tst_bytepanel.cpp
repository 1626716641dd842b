// The byte panel's rules: the payload boxes up to the first empty one, box values (leading
// number, "&H" and "0x", halves to even), values refused before anything is sent, the reply
// as hexadecimal text, and the exchange against the virtual meter.

#include "memory/bytepanel.h"

#include "support/meterbench.h"

#include <QTest>

using testsupport::bytes;

class TestBytePanel : public QObject {
    Q_OBJECT
private slots:

    void requestFromTheBoxes_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QByteArray>("payload"); // "refused": an error, nothing to send
        const QStringList sixteen(16, QStringLiteral("7"));
        const QByteArray refused("refused");
        QTest::newRow("M alone") << "M" << QStringList{} << QByteArray();
        QTest::newRow("E 4 0 0 0") << "E" << QStringList{"4", "0", "0", "0"} << bytes({4, 0, 0, 0});
        QTest::newRow("hex, leading numbers, halves to even")
            << "C" << QStringList{"&H1F", "0x1F", "12abc", "2.5", "3.5", " 255.4"}
            << bytes({0x1F, 0x1F, 12, 2, 4, 255});
        QTest::newRow("Cmd2 empty, Cmd3 filled") << "E" << QStringList{"", "4"} << QByteArray();
        QTest::newRow("blank ends it") << "E" << QStringList{"4", "  ", "9"} << bytes({4});
        QTest::newRow("all sixteen boxes") << "H" << sixteen << QByteArray(16, 7);
        QTest::newRow("256 refused") << "E" << QStringList{"4", "256"} << refused;
        QTest::newRow("-1 refused") << "E" << QStringList{"-1"} << refused;
        QTest::newRow("255.5 is 256") << "E" << QStringList{"255.5"} << refused;
        QTest::newRow("seventeen values") << "H" << sixteen + QStringList{"1"} << refused;
        QTest::newRow("not one byte") << QString::fromUtf8("E\u20AC") << QStringList{} << refused;
    }

    void requestFromTheBoxes() {
        QFETCH(QString, command);
        QFETCH(QStringList, boxes);
        QFETCH(QByteArray, payload);
        const memory::ByteRequest request = memory::parseByteRequest(command, boxes);
        QCOMPARE(request.error.isEmpty() ? request.payload : "refused", payload);
        QCOMPARE(request.command, payload == "refused" ? QByteArray() : command.toLatin1());
    }

    void exchangeSendsAndShowsWhatArrives_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("storedAfter");
        QTest::newRow("A") << QByteArray("A") << QByteArray() << "02  41  0D  " << 5;
        // The same bytes as the memory erase: the meter's memory is empty afterwards.
        QTest::newRow("E 4 0 0 0") << QByteArray("E") << bytes({4, 0, 0, 0}) << "" << 0;
        // Without its payload the meter waits for one: nothing comes back, nothing is erased.
        QTest::newRow("E alone") << QByteArray("E") << QByteArray() << "" << 5;
    }

    void exchangeSendsAndShowsWhatArrives() {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, payload);
        QFETCH(QString, shown);
        QFETCH(int, storedAfter);
        testsupport::MeterBench bench({.storedRecords = 5});
        QCOMPARE(memory::replyText(memory::exchangeBytes(bench.session, command, payload)), shown);
        // The handshake, the text, and the payload 2 ms later in one write.
        const QList<serial::SimPort::Write>& writes = bench.port.writes();
        QCOMPARE(writes.size(), payload.isEmpty() ? 2 : 3);
        QCOMPARE(writes.back().bytes, payload.isEmpty() ? command : payload);
        if (!payload.isEmpty())
            QVERIFY(writes[2].time - writes[1].time > 0.002 - 1e-9);
        QCOMPARE(bench.meter.storedRecords(), storedAfter);
        // The whole 37-byte frame arrives within 20 ms at 38400 baud.
        QCOMPARE(memory::exchangeBytes(bench.session, "M", {}).size(), 37);
    }
};

QTEST_MAIN(TestBytePanel)
#include "tst_bytepanel.moc"
