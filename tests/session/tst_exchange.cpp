// The one exclusive exchange: whatever way a job ends (done, an exception, Cancel, a port
// choice meanwhile, dropped unrun, a fixed port lost, the owner gone) the window ends in the same
// state: LinkBusy clear, toolbar enabled, title back, and the poll on again unless a port choice
// or a lost fixed port took the link.

#include "session/exchange.h"
#include "sim/virtualmeter.h"
#include "support/simport.h"
#include "support/virtualclock.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

using session::Exchange;

namespace {

struct FakeHost : session::ExchangeHost {
    bool busy = false;
    bool toolbar = true;
    QString caption = QStringLiteral("QR512");
    bool linkBusy() const override { return busy; }
    void setLinkBusy(bool b) override { busy = b; }
    void setToolbarEnabled(bool enabled) override { toolbar = enabled; }
    QString title() const override { return caption; }
    void setTitle(const QString& t) override { caption = t; }
};

struct Rig {
    sim::VirtualMeter meter;
    serial::LinkThread thread{[this] {
        auto clock = std::make_unique<serial::VirtualClock>();
        auto port = std::make_unique<serial::SimPort>(*clock);
        port->attach(1, &meter);
        clock->onAdvance([this](double t) { meter.advance(t); });
        return serial::Backend{std::move(port), std::move(clock)};
    }};
    FakeHost host;
    bool start() {
        QSignalSpy connected(&thread, &serial::LinkThread::connected);
        thread.start();
        return connected.wait(20000);
    }
    bool endState(bool polling) const {
        return !host.busy && host.toolbar && host.caption == QStringLiteral("QR512") &&
               thread.polling() == polling;
    }
};

// A job that only ends when something ends it.
void endless(session::Exchange::Job& job) {
    for (;;)
        job.link().delay(0.05);
}

} // namespace

class TestExchange : public QObject {
    Q_OBJECT
private slots:

    void everyEndingLeavesTheSameState_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("end"); // -1: the end reaches nobody
        QTest::addColumn<bool>("pollAfter");
        QTest::newRow("done") << "done" << int(session::Exchange::End::Done) << true;
        QTest::newRow("exception") << "throw" << int(session::Exchange::End::Failed) << true;
        QTest::newRow("cancel") << "cancel" << int(session::Exchange::End::Cancelled) << true;
        QTest::newRow("port choice") << "port" << int(session::Exchange::End::Superseded) << false;
        QTest::newRow("dropped unrun")
            << "drop" << int(session::Exchange::End::Superseded) << false;
        QTest::newRow("fixed port lost")
            << "lost" << int(session::Exchange::End::Superseded) << false;
        QTest::newRow("owner destroyed") << "owner" << -1 << true;
    }

    void everyEndingLeavesTheSameState() {
        QFETCH(QString, how);
        QFETCH(int, end);
        QFETCH(bool, pollAfter);
        Rig rig;
        QVERIFY(rig.start());
        auto exchange = std::make_unique<session::Exchange>(rig.thread, rig.host);
        auto gate = std::make_shared<QSemaphore>();
        if (how == QLatin1String("drop"))
            rig.thread.post([gate](serial::LinkSession&) { gate->acquire(); });

        std::optional<session::Exchange::End> seen;
        QString error;
        session::Exchange::Work work = endless;
        if (how == QLatin1String("done"))
            work = [](session::Exchange::Job& job) { job.link().flush(); };
        else if (how == QLatin1String("throw"))
            work = [](session::Exchange::Job&) { throw std::runtime_error("disk gone"); };
        else if (how == QLatin1String("lost"))
            work = [](session::Exchange::Job&) { throw serial::FixedPortFailed{}; };
        QVERIFY(exchange->runOnce(
            work, [&](session::Exchange::End e, const QString& text) { seen = e, error = text; },
            {.disableToolbar = true}));
        QVERIFY(rig.host.busy);
        QVERIFY(!rig.host.toolbar);
        QVERIFY(!rig.thread.polling());

        if (how == QLatin1String("cancel"))
            exchange->cancel();
        if (how == QLatin1String("port") || how == QLatin1String("drop")) {
            // A port choice supersedes the job; the chosen slot has no meter, so the new search
            // never connects and the poll must stay off.
            QVERIFY(rig.thread.choosePort(QStringLiteral("COM2")));
            gate->release();
        }
        if (how == QLatin1String("owner")) {
            exchange.reset();
            QVERIFY(rig.endState(true));
            // The job ends at its next wait; its end must reach nobody.
            QTest::qWait(200);
            QVERIFY(!seen.has_value());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(seen.has_value(), 20000);
            QCOMPARE(int(*seen), end);
            QCOMPARE(error.isEmpty(), how != QLatin1String("throw"));
            QVERIFY(!exchange->held());
        }
        QVERIFY(rig.endState(pollAfter));
        // The link takes the next exchange.
        QVERIFY(Exchange(rig.thread, rig.host).runOnce([](session::Exchange::Job&) {}));
    }

    // A search that finds the meter while a panel holds the link leaves the link with it: the
    // poll stays off until the panel gives the link back.
    void aReconnectionLeavesTheLinkWithItsHolder() {
        Rig rig;
        QVERIFY(rig.start());
        Exchange exchange(rig.thread, rig.host);
        QVERIFY(exchange.acquire());
        QVERIFY(rig.host.exchangeHolds());
        QSignalSpy connected(&rig.thread, &serial::LinkThread::connected);
        QVERIFY(rig.thread.choosePort(QStringLiteral("Auto")));
        QVERIFY(connected.wait(20000));
        QVERIFY(!rig.thread.polling());
        exchange.release();
        QVERIFY(!rig.host.exchangeHolds());
        QVERIFY(rig.endState(true));
    }

    void aBusyLinkIsRefused() {
        Rig rig;
        QVERIFY(rig.start());
        session::Exchange first(rig.thread, rig.host);
        session::Exchange second(rig.thread, rig.host);
        QVERIFY(first.acquire());
        bool ran = false;
        QVERIFY(!second.runOnce([&](session::Exchange::Job&) { ran = true; }));
        QVERIFY(!second.acquire());
        QVERIFY(!first.acquire()); // not twice either
        first.release();
        QVERIFY(rig.endState(true));
        QVERIFY(!ran);
    }

    void progressReachesTheTitleAndIsRestored() {
        Rig rig;
        QVERIFY(rig.start());
        session::Exchange exchange(rig.thread, rig.host);
        QStringList titles; // the fraction and the title as each step shows
        connect(&exchange, &session::Exchange::progress, this,
                [&](double fraction, const QString&) {
                    titles << QString::number(fraction) + ' ' + rig.host.caption;
                });
        bool ended = false;
        exchange.runOnce(
            [](session::Exchange::Job& job) {
                job.progress(0.25, QStringLiteral("25.0% Completed"));
                job.progress(1.0, QStringLiteral("100.0% Completed"));
            },
            [&](session::Exchange::End, const QString&) { ended = true; },
            {.progressInTitle = true});
        QTRY_VERIFY_WITH_TIMEOUT(ended, 20000);
        QCOMPARE(titles, QStringList({"0.25 25.0% Completed", "1 100.0% Completed"}));
        QVERIFY(rig.endState(true));
    }
};

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"
