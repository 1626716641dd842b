#pragma once

#include "live/livepoll.h"
#include "serial/linkthread.h"
#include "sim/virtualmeter.h"
#include "support/meterbench.h"
#include "support/virtualclock.h"

#include <QList>
#include <QSignalSpy>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>

namespace testsupport {

// The link thread in virtual time with one meter in a slot (COM1 unless told; none for slot 0)
// and the live state its poll feeds. The meter sits behind a port that spoils the replies to one
// command letter while `spoil` is set, or behind the test's own port, or the plain in-memory
// one. A window's test builds the window on it (and drops the window before this stops the
// thread).
struct LinkRig {
    // Makes the port on the link thread, with the thread's clock.
    using PortFactory = std::function<std::unique_ptr<serial::SimPort>(serial::Clock&)>;

    LinkRig(sim::MeterConfig config, char spoiledLetter)
        : LinkRig(config, [this, spoiledLetter](serial::Clock& clock) {
            return std::make_unique<SpoilingPort>(clock, spoiledLetter, spoil);
        }) {}
    explicit LinkRig(sim::MeterConfig config = {}, PortFactory makePort = {}, int slot = 1)
        : meter(config)
        , thread([this, makePort, slot] {
            auto clock = std::make_unique<serial::VirtualClock>();
            std::unique_ptr<serial::SimPort> port =
                makePort ? makePort(*clock) : std::make_unique<serial::SimPort>(*clock);
            if (slot > 0) {
                port->attach(slot, &meter);
                clock->onAdvance([this](double t) { meter.advance(t); });
            }
            return serial::Backend{std::move(port), std::move(clock)};
        }) {
        live::attachLivePoll(thread, state);
    }
    ~LinkRig() { thread.stop(); }

    // Starts the thread and waits for the first decoded frame.
    bool start() {
        QSignalSpy frames(&state, &live::LiveState::frameDecoded);
        thread.start();
        return frames.wait(10000);
    }

    // Runs on the link thread after the jobs already queued, so the meter is read there.
    template <typename T> T onLinkThread(std::function<T()> f) {
        auto promise = std::make_shared<std::promise<T>>();
        std::future<T> future = promise->get_future();
        thread.post([f, promise](serial::LinkSession&) { promise->set_value(f()); });
        if (future.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
            return T{};
        return future.get();
    }
    // The commands the meter received that begin with one of `letters`, with their payloads.
    QList<QByteArray> commands(const QByteArray& letters) {
        QList<QByteArray> out;
        for (const QByteArray& c :
             onLinkThread<QList<QByteArray>>([this] { return meter.commandLog(); }))
            if (!c.isEmpty() && letters.contains(c.at(0)))
                out.append(c);
        return out;
    }

    std::atomic<bool> spoil{false};
    sim::VirtualMeter meter;
    serial::LinkThread thread;
    live::LiveState state;
};

} // namespace testsupport
