#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include <utility>

namespace serial {

// Everything one thread hands to another goes through Qt's event queue, whose locks a thread
// sanitizer cannot see in a Qt built without it. These marks show it the same order the queue
// gives: what a thread wrote before handOff(T) comes before what thread T reads after
// takeOver(). Keyed by the receiving thread, as Qt's queue is. Nothing in other builds.
inline void handOff([[maybe_unused]] const QThread* to) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<QThread*>(to));
#endif
}

inline void takeOver() {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(QThread::currentThread());
#endif
}

// Runs `call` on `receiver`'s thread after the events already queued there; nothing when the
// receiver is gone.
template <typename Call> void postTo(QObject* receiver, Call call) {
    if (!receiver)
        return;
    handOff(receiver->thread());
    QMetaObject::invokeMethod(
        receiver,
        [call = std::move(call)]() mutable {
            takeOver();
            call();
        },
        Qt::QueuedConnection);
}

} // namespace serial
