#pragma once

// The main window against a virtual meter in one slot, the link thread in virtual time, with a
// clock the test moves by hand for key hold times.

#include "app/window/controlpanel.h"
#include "link/linkthread.h"
#include "live/livepoll.h"
#include "sim/virtualmeter.h"
#include "support/fakeplatform.h"
#include "support/simport.h"
#include "support/virtualclock.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>

#include <future>
#include <memory>

namespace testsupport {

struct WindowRig {
    explicit WindowRig(sim::MeterConfig config = {}, int slot = 2)
        : meter(config)
        , thread([this, slot] {
            auto clock = std::make_unique<serial::VirtualClock>();
            auto port = std::make_unique<serial::SimPort>(*clock);
            if (slot > 0) {
                port->attach(slot, &meter);
                clock->onAdvance([this](double t) { meter.advance(t); });
            }
            return serial::Backend{std::move(port), std::move(clock)};
        }) {
        live::attachLivePoll(thread, state);
        panel =
            std::make_unique<app::ControlPanel>(thread, state, platform, [this] { return now; });
    }
    ~WindowRig() {
        panel.reset();
        thread.stop();
    }

    template <typename T = QWidget> T* find(const char* name) const {
        return panel->findChild<T*>(QString::fromLatin1(name));
    }
    QLabel* statusPanel(int n) const {
        return panel->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(n));
    }

    bool startAndWaitForFrame() {
        QSignalSpy frames(&state, &live::LiveState::frameDecoded);
        thread.start();
        return frames.wait(10000);
    }

    // The meter is the link thread's: read it there, after the jobs already queued.
    QList<QByteArray> commands() {
        auto promise = std::make_shared<std::promise<QList<QByteArray>>>();
        std::future<QList<QByteArray>> future = promise->get_future();
        thread.post(
            [this, promise](serial::LinkSession&) { promise->set_value(meter.commandLog()); });
        if (future.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
            return {};
        return future.get();
    }
    QList<QByteArray> keyCommands() {
        QList<QByteArray> keys;
        for (const QByteArray& command : commands())
            if (command.startsWith('I'))
                keys.append(command);
        return keys;
    }

    sim::VirtualMeter meter;
    serial::LinkThread thread;
    live::LiveState state;
    testsupport::FakePlatform platform;
    double now = 1000.0;
    std::unique_ptr<app::ControlPanel> panel;
};

inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace testsupport
