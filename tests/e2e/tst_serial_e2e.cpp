// The real serial path end to end: the QSerialPort adapter on the link thread talking to the
// virtual meter on a pseudo-terminal, in real time: connection, the replies of each reading
// command, and the meter being unplugged.

#include "app/window/simulation.h"
#include "link/linkthread.h"
#include "link/meterprofile.h"
#include "link/serialport.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <mutex>

using namespace serial;

class TestSerialEndToEnd : public QObject {
    Q_OBJECT
private slots:

    void talksToTheVirtualMeterOnAPseudoTerminal() {
        sim::MeterConfig config;
        config.storedRecords = 3;
        // The meter answers on its own thread, in real time, as the program's --simulate does.
        auto meter = std::make_unique<app::Simulation>(config);
        QString error;
        QVERIFY2(meter->start(&error), qPrintable(error));
        const QString device = meter->devicePath();

        LinkThread thread([device] {
            auto port = std::make_unique<SerialPort>(PortCatalog({device}, false));
            auto clock = std::make_unique<RealClock>(port.get());
            return Backend{std::move(port), std::move(clock)};
        });
        QSignalSpy connected(&thread, &LinkThread::connected);
        QSignalSpy status(&thread, &LinkThread::statusText);
        thread.start();
        QVERIFY(connected.wait(10000));
        QCOMPARE(connected.first().at(0).toInt(), 1);
        QCOMPARE(connected.first().at(1).toString(), device);
        thread.setPolling(false);

        std::mutex mutex;
        QMap<char, QByteArray> replies;
        std::atomic<bool> done{false};
        thread.post([&](LinkSession& s) {
            const std::pair<char, int> asks[] = {{'M', profile::kFrameLength},
                                                 {'K', profile::kIntervalReplyLength},
                                                 {'J', profile::kAlarmReplyLength},
                                                 {'C', profile::kClockReplyLength}};
            for (const auto& [letter, length] : asks) {
                const double wait = letter == 'M' ? profile::kFrameWait : profile::kSettingsWait;
                const auto reply =
                    s.link.requestReply(letter, length, wait, profile::kRequestAttempts);
                std::lock_guard lock(mutex);
                replies[letter] = reply.value_or(QByteArray());
            }
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
        {
            std::lock_guard lock(mutex);
            QCOMPARE(replies['M'].size(), 37);
            QCOMPARE(replies['K'].size(), 5);
            QCOMPARE(replies['J'].size(), 18);
            QCOMPARE(replies['C'].size(), 8);
            QCOMPARE(replies['M'].front(), '\x02');
            QCOMPARE(replies['M'].back(), '\x0D');
        }

        // Unplugged: one " No COM", then the search starts over.
        status.clear();
        meter.reset();
        thread.post([](LinkSession& s) { s.link.checkMeter(); });
        QTRY_VERIFY_WITH_TIMEOUT(status.size() >= 2, 10000);
        QCOMPARE(status.at(0).at(0).toString(), QStringLiteral(" No COM"));
        QCOMPARE(status.at(1).at(0).toString(), QStringLiteral("Connecting..."));
        thread.stop();
    }
};

QTEST_GUILESS_MAIN(TestSerialEndToEnd)
#include "tst_serial_e2e.moc"
