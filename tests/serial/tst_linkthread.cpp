// The link thread: the search it starts by itself, the live poll it runs once connected, a
// new port choice ending a running search, and stopping promptly in the middle of one.

#include "serial/linkthread.h"
#include "serial/serialport.h"
#include "sim/virtualmeter.h"
#include "support/simport.h"
#include "support/virtualclock.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <atomic>

using namespace serial;

namespace {
// Meters live on the test's stack but are touched only by the link thread while it runs.
BackendFactory virtualBackend(std::map<int, sim::VirtualMeter*> meters,
                              std::vector<int> busy = {}) {
    return [meters, busy] {
        auto clock = std::make_unique<VirtualClock>();
        auto port = std::make_unique<SimPort>(*clock);
        for (const auto& [slot, meter] : meters) {
            port->attach(slot, meter);
            clock->onAdvance([meter = meter](double t) { meter->advance(t); });
        }
        for (int slot : busy)
            port->setBusy(slot, true);
        return Backend{std::move(port), std::move(clock)};
    };
}
} // namespace

class TestLinkThread : public QObject {
    Q_OBJECT
private slots:
    void startSearchesByItselfAndPolls() {
        sim::VirtualMeter meter;
        LinkThread thread(virtualBackend({{2, &meter}}));
        std::atomic<int> ticks{0};
        thread.setPollJob(
            [&](LinkSession& s) { ticks += s.link.requestReply('M', 37, 0.2, 1) ? 1 : 0; });
        QSignalSpy status(&thread, &LinkThread::statusText);
        QSignalSpy connected(&thread, &LinkThread::connected);
        thread.start();
        QVERIFY(connected.wait(20000));
        QCOMPARE(connected.first(), (QVariantList{2, QStringLiteral("virtual meter on COM2")}));
        QCOMPARE(status.mid(0, 3),
                 (QList<QVariantList>{{"Connecting..."}, {"Connecting..."}, {"COM2"}}));
        QVERIFY(thread.polling());
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 20000);
        thread.stop();
    }

    void newChoiceEndsTheRunningSearch() {
        // Nothing answers anywhere; COM9 exists but another program holds it.
        sim::VirtualMeter meter;
        LinkThread thread(virtualBackend({{9, &meter}}, {9}));
        QSignalSpy status(&thread, &LinkThread::statusText);
        QSignalSpy failed(&thread, &LinkThread::fixedPortFailed);
        thread.start();
        QVERIFY(status.wait(20000));
        // In virtual time the search cycles as fast as it can queue status texts, faster than a
        // slow build (the thread sanitizer's) delivers them: choose at once to keep that short.
        QVERIFY(thread.choosePort(QStringLiteral("COM9")));
        QVERIFY(!thread.polling());
        QVERIFY(failed.wait(30000));
        QVERIFY(failed.first().at(0).toString().contains(QStringLiteral("in use")));
        QVERIFY(!thread.polling());
        // The interrupted search does not come back.
        status.clear();
        QVERIFY(!status.wait(300));
        thread.stop();
    }

    // A job must not wait behind a poll tick that searches for a meter that went away: the
    // search gives way (and the job's own Cancel then works).
    void theSearchOfAPollTickGivesWayToAJob() {
        sim::VirtualMeter meter;
        LinkThread thread(virtualBackend({{2, &meter}}));
        std::atomic<bool> lose{false};
        thread.setPollJob([&](LinkSession& s) {
            if (!lose)
                return;
            meter.setFaults({.silent = true}); // on the link thread, like every meter call
            s.detector.recover();
        });
        QSignalSpy searches(&thread, &LinkThread::searchStarted);
        QSignalSpy connected(&thread, &LinkThread::connected);
        thread.start();
        QVERIFY(connected.wait(20000));
        lose = true;
        QTRY_COMPARE_WITH_TIMEOUT(searches.size(), 2, 20000);
        std::atomic<bool> ran{false};
        thread.post([&](LinkSession&) { ran = true; });
        QTRY_VERIFY_WITH_TIMEOUT(ran.load(), 20000);
        thread.stop();
    }

    void stopEndsAnEndlessSearchPromptly() {
        // Real time here: the search really waits, and stop must cut into that wait.
        LinkThread thread([] {
            auto clock = std::make_unique<RealClock>();
            auto port = std::make_unique<SimPort>(*clock);
            return Backend{std::move(port), std::move(clock)};
        });
        QSignalSpy status(&thread, &LinkThread::statusText);
        thread.start();
        QVERIFY(status.wait(20000));
        QElapsedTimer timer;
        timer.start();
        thread.stop();
        const qint64 ms = timer.elapsed();
        qInfo("stop took %lld ms", ms);
        QVERIFY2(ms < 5000, "stop hung in the search"); // a hang guard, not a timing target
    }
};

QTEST_GUILESS_MAIN(TestLinkThread)
#include "tst_linkthread.moc"
