// Finding the meter: the automatic search over the sixteen slots, the fixed port, and the
// recovery that the handshake starts when the meter falls silent, on virtual meters with
// virtual time; and the texts that say why a serial device could not be opened.

#include "serial/meterlink.h"
#include "serial/portdetector.h"
#include "serial/serialport.h"
#include "sim/virtualmeter.h"
#include "support/scriptport.h"
#include "support/simport.h"
#include "support/virtualclock.h"

#include <QSerialPort>
#include <QTest>

using namespace serial;

namespace {
struct Rig {
    VirtualClock clock;
    SimPort port{clock};
    MeterLink link{port, clock};
    PortDetector detector{link};
    QStringList statuses;
    QList<int> connections;
    QStringList denials;
    QStringList busy;
    int searches = 0;
    double cancelAfter = 1e9; // virtual seconds from the start

    Rig() {
        const double start = clock.now();
        link.setHooks({[this](const QString& s) { statuses << s; }, [this] { detector.recover(); },
                       [this, start] { return clock.now() - start > cancelAfter; }});
        detector.setHooks({[this] { ++searches; }, [this](int p) { connections << p; },
                           [this](const QString& m) { denials << m; },
                           [this](const QString& m) { busy << m; }});
    }
    void attach(int slot, sim::VirtualMeter& meter) {
        port.attach(slot, &meter);
        clock.onAdvance([&meter](double t) { meter.advance(t); });
    }
};

// Why opening the chosen port failed; empty when the meter was found.
QString fixedPortFailure(PortDetector& detector) {
    try {
        detector.openFixedPort();
    } catch (const FixedPortFailed& f) {
        return f.detail;
    }
    return {};
}

} // namespace

class TestPortDetector : public QObject {
    Q_OBJECT
private slots:
    void scanFindsTheMeterOnItsSlot_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("com2");
        QTest::addColumn<double>("waited"); // seconds of probing
        // A slot that cannot be opened costs no probe waits; one that opens but stays silent costs
        // its 50 handshakes of 10 ms, one that answers wrong bytes three; the meter's own slot one.
        QTest::newRow("COM1") << 1 << "" << 0.01;
        QTest::newRow("COM5 after four empty slots") << 5 << "" << 0.01;
        QTest::newRow("COM5 with a busy COM2") << 5 << "busy" << 0.01;
        QTest::newRow("COM5, no rights for COM1 and COM2") << 5 << "denied" << 0.01;
        QTest::newRow("COM5 with a silent meter on COM2") << 5 << "silent" << 0.51;
        QTest::newRow("COM5 with a wrong device on COM2") << 5 << "liar" << 0.04;
        QTest::newRow("COM16") << 16 << "" << 0.01;
    }

    void scanFindsTheMeterOnItsSlot() {
        QFETCH(int, slot);
        QFETCH(QString, com2);
        QFETCH(double, waited);
        Rig rig;
        sim::VirtualMeter meter;
        rig.attach(slot, meter);
        sim::VirtualMeter other({}, {.silent = com2 == "silent", .wrongHandshake = com2 == "liar"});
        if (!com2.isEmpty()) {
            rig.attach(2, other);
            rig.port.setBusy(2, com2 == "busy");
            rig.port.setDenied(1, com2 == "denied");
            rig.port.setDenied(2, com2 == "denied");
        }
        rig.detector.setChoice({true, 1});
        rig.detector.scanPorts();

        QStringList expected(slot, QStringLiteral("Connecting..."));
        expected << QStringLiteral("COM%1").arg(slot);
        QCOMPARE(rig.statuses, expected);
        QCOMPARE(rig.connections, QList<int>{slot});
        // Rights are named once a search; a busy port is not a matter of rights, and is named
        // with its holder.
        QCOMPARE(rig.denials,
                 com2 == "denied" ? QStringList{"Permission denied for COM1."} : QStringList{});
        QCOMPARE(rig.busy,
                 com2 == "busy" && slot > 2
                     ? QStringList{"COM2 is in use by another program: process 42 (term)."}
                     : QStringList{});
        QCOMPARE(rig.searches, 1);
        QCOMPARE(rig.port.openSlot(), slot);
        QCOMPARE(rig.detector.portNumber(), slot);
        QVERIFY2(qAbs(rig.clock.waited() - waited) < 0.001,
                 qPrintable(QString::number(rig.clock.waited())));
    }

    void checkMeterRecoversThroughTheSearch() {
        Rig rig;
        sim::VirtualMeter com3;
        sim::VirtualMeter com5;
        rig.attach(3, com3);
        rig.attach(5, com5);
        rig.detector.setChoice({false, 3});
        rig.detector.openFixedPort();
        QCOMPARE(rig.statuses, QStringList{"COM3"});

        // The meter on COM3 falls silent; the automatic search finds the one on COM5.
        com3.setFaults(sim::Faults{.silent = true});
        rig.detector.setChoice({true, 3});
        rig.statuses.clear();
        rig.link.checkMeter();

        QCOMPARE(rig.statuses,
                 QStringList{" No COM"} + QStringList(5, "Connecting...") + QStringList{"COM5"});
        QCOMPARE(rig.connections, (QList<int>{3, 5}));
        QCOMPARE(rig.port.openSlot(), 5);
    }

    void searchWithoutMeterCyclesUntilCancelled() {
        Rig rig;
        rig.cancelAfter = 1.0; // passes over sixteen empty slots, 0.1 s apart
        QVERIFY_THROWS_EXCEPTION(Cancelled, rig.detector.scanPorts());
        QVERIFY(rig.connections.isEmpty());
        QVERIFY2(rig.statuses.size() > 2 * 16, qPrintable(QString::number(rig.statuses.size())));
        QVERIFY(rig.statuses.count(QStringLiteral("Connecting...")) == rig.statuses.size());
    }

    void fixedPortThatCannotOpenFails() {
        Rig rig;
        rig.detector.setChoice({false, 9});
        QCOMPARE(fixedPortFailure(rig.detector), QStringLiteral("COM9 does not exist."));
        QCOMPARE(rig.searches, 1);
        QVERIFY(rig.statuses.isEmpty()); // no status text while opening a fixed port
    }

    void fixedPortKeepsTryingASilentMeter() {
        Rig rig;
        sim::VirtualMeter meter({}, sim::Faults{.silent = true});
        rig.attach(7, meter);
        rig.detector.setChoice({false, 7});
        rig.cancelAfter = 2.25;
        QVERIFY_THROWS_EXCEPTION(Cancelled, rig.detector.openFixedPort());
        QCOMPARE(rig.port.openCount(), 5); // reopened after every 50 probes of 10 ms
        QVERIFY(rig.statuses.isEmpty());
    }

    void fixedPortChecksEveryHandshakeByte_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("found");
        QTest::newRow("02 41 0D") << QByteArray("\x02\x41\x0D", 3) << true;
        QTest::newRow("wrong middle byte") << QByteArray("\x02\x42\x0D", 3) << false;
        QTest::newRow("wrong last byte") << QByteArray("\x02\x41\x0A", 3) << false;
        QTest::newRow("wrong first byte") << QByteArray("\x15\x41\x0D", 3) << false;
    }

    void fixedPortChecksEveryHandshakeByte() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, found);
        VirtualClock clock;
        ScriptPort port(clock);
        port.responder = [&](const QByteArray& w) { return w == "A" ? reply : QByteArray(); };
        MeterLink link(port, clock);
        PortDetector detector(link);
        QStringList statuses;
        link.setHooks({[&](const QString& s) { statuses << s; }, nullptr, nullptr});
        detector.setChoice({false, 6});
        QCOMPARE(fixedPortFailure(detector),
                 found ? QString() : "The device on COM6 answers, but not as the meter does.");
        QCOMPARE(statuses, found ? QStringList{"COM6"} : QStringList{});
        // A device answering wrong bytes is asked three times, then refused.
        QCOMPARE(port.count("A"), found ? 1 : 3);
    }

    // What a user reads when a serial device cannot be opened: the device, and what to do.
    void openErrorText_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("denied");
        QTest::addColumn<QString>("text");
        QTest::newRow("no rights: how to join dialout")
            << int(QSerialPort::PermissionError) << true
            << QStringLiteral(
                   "Permission denied for /dev/ttyUSB0. Add your user to the dialout group "
                   "(sudo usermod -aG dialout $USER), then log out and in again.");
        QTest::newRow("held by another program: no group advice")
            << int(QSerialPort::PermissionError) << false
            << QStringLiteral("/dev/ttyUSB0 is in use by another program.");
        QTest::newRow("unplugged")
            << int(QSerialPort::DeviceNotFoundError) << true
            << QStringLiteral("/dev/ttyUSB0 does not exist (is the meter's cable plugged in?).");
        QTest::newRow("other: the system's words")
            << int(QSerialPort::OpenError) << false
            << QStringLiteral("/dev/ttyUSB0 could not be opened: Device busy");
    }

    void openErrorText() {
        QFETCH(int, error);
        QFETCH(bool, denied);
        QFETCH(QString, text);
        QCOMPARE(SerialPort::openErrorText(QStringLiteral("/dev/ttyUSB0"), error,
                                           QStringLiteral("Device busy"), denied),
                 text);
    }
};

QTEST_GUILESS_MAIN(TestPortDetector)
#include "tst_portdetector.moc"
