#pragma once

#include <QSocketNotifier>

#include <functional>

namespace base {

// SIGINT and SIGTERM through a self-pipe: the handler writes one byte into a socket pair, and a
// SignalWatcher reads it on the event loop, where any work is allowed.

// What the handler itself does, before the event loop could: from signal `exitFrom` on
// (counted from 1; 0 never) it ends the program at once with `exitStatus`, after writing
// `exitMessage` (a literal, or nothing) to standard error.
struct SignalPolicy {
    int exitFrom = 0;
    int exitStatus = 130;
    const char* exitMessage = nullptr;
};

// Once per program, before the first SignalWatcher. False when the pipe or a handler could not
// be set up (errno says why).
bool installSignalHandlers(const SignalPolicy& policy);

// Calls `onSignal` on the event loop once per signal the handler handed over.
class SignalWatcher {
public:
    explicit SignalWatcher(std::function<void()> onSignal);

private:
    std::function<void()> m_onSignal;
    QSocketNotifier m_notifier;
};

} // namespace base
