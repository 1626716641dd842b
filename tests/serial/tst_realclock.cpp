// The real clock's waits on a pseudo-terminal: what ends them (bytes, a wake-up, the deadline)
// and what does not. The bounds below only catch a wait that never ends.

#include "serial/serialport.h"
#include "serial/waker.h"

#include <QElapsedTimer>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <thread>
#include <unistd.h>

using namespace serial;

namespace {
constexpr double kLong = 30.0; // a wait that must be ended early
constexpr qint64 kEndedEarlyMs = 20000;

struct Pty {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QString slave;
    Pty() {
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slave = QString::fromLocal8Bit(::ptsname(master));
    }
    ~Pty() { hangUp(); }
    void hangUp() {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    void send(const char* bytes) const { QVERIFY(::write(master, bytes, ::strlen(bytes)) > 0); }
};
} // namespace

class TestRealClock : public QObject {
    Q_OBJECT
private slots:
    void waitsEndOnlyAsTheyShould_data() {
        QTest::addColumn<QString>("event"); // what happens 50 ms into the wait ("" none)
        QTest::addColumn<bool>("forBytes");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<bool>("endsEarly");
        QTest::addColumn<bool>("staysOpen");

        QTest::newRow("bytes end a wait for bytes") << "bytes" << true << kLong << true << true;
        QTest::newRow("bytes do not end a protocol wait")
            << "bytes" << false << 0.3 << false << true;
        QTest::newRow("a wake-up ends a wait") << "wake" << false << kLong << true << true;
        QTest::newRow("a wake-up ends a wait for bytes") << "wake" << true << kLong << true << true;
        QTest::newRow("a wake-up before the wait ends it")
            << "woken before" << false << kLong << true << true;
        QTest::newRow("a hang-up closes the port, the wait goes on")
            << "hang-up" << true << 0.3 << false << false;
    }

    void waitsEndOnlyAsTheyShould() {
        QFETCH(QString, event);
        QFETCH(bool, forBytes);
        QFETCH(double, seconds);
        QFETCH(bool, endsEarly);
        QFETCH(bool, staysOpen);

        Pty pty;
        QVERIFY(!pty.slave.isEmpty());
        SerialPort port(PortCatalog({pty.slave}, false));
        QString error;
        QVERIFY2(port.open(1, &error), qPrintable(error));
        Waker waker;
        RealClock clock(&port);
        clock.setWaker(&waker);
        if (event == QLatin1String("woken before"))
            waker.wake();

        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (event == QLatin1String("bytes"))
                pty.send("\x02\x41\r");
            else if (event == QLatin1String("wake"))
                waker.wake();
            else if (event == QLatin1String("hang-up"))
                pty.hangUp();
        });
        QElapsedTimer timer;
        timer.start();
        forBytes ? clock.waitForBytes(seconds) : clock.wait(seconds);
        const qint64 ms = timer.elapsed();
        other.join();

        if (endsEarly)
            QVERIFY2(ms < kEndedEarlyMs, "the wait was not ended");
        else
            QVERIFY(ms >= qint64(seconds * 1000) - 1);
        QCOMPARE(port.isOpen(), staysOpen);
        if (event == QLatin1String("bytes"))
            QCOMPARE(port.readAll(), QByteArray("\x02\x41\r"));

        // A wake-up counts once: the next wait is not ended by it again.
        timer.restart();
        clock.wait(0.05);
        QVERIFY(timer.elapsed() >= 49);
    }
};

QTEST_GUILESS_MAIN(TestRealClock)
#include "tst_realclock.moc"
