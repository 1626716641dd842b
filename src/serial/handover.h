#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#if defined(__SANITIZE_THREAD__)
#include <cstdint>
#include <mutex>
#endif

#include <utility>

namespace serial {

// Everything one thread hands to another goes through Qt's event queue, whose locks a thread
// sanitizer cannot see in a Qt built without it. These marks show it the order the queue
// gives: what a thread wrote before handOff(T) comes before what thread T reads after
// takeOver(). Nothing in other builds.
//
// The marks are a real lock, not a release/acquire pair: the queued call is built inside
// invokeMethod (the functor copied into storage Qt allocates), after any mark placed before
// it and before the receiver can run it, and a release placed after it could come later than
// the receiver's acquire. Holding the receiving thread's lock across the post, and taking it
// once on the receiving side, orders every write of the post before every read of the call.
#if defined(__SANITIZE_THREAD__)
inline std::mutex& handOverLock(const QThread* to) {
    // Striped by receiving thread: two threads sharing a stripe only gain needless order.
    static std::mutex stripes[8];
    return stripes[(reinterpret_cast<std::uintptr_t>(to) >> 4) % 8];
}
#endif

inline void handOff([[maybe_unused]] const QThread* to) {
#if defined(__SANITIZE_THREAD__)
    const std::lock_guard<std::mutex> mark(handOverLock(to));
#endif
}

inline void takeOver() {
#if defined(__SANITIZE_THREAD__)
    const std::lock_guard<std::mutex> mark(handOverLock(QThread::currentThread()));
#endif
}

// Runs `call` on `receiver`'s thread after the events already queued there; nothing when the
// receiver is gone.
template <typename Call> void postTo(QObject* receiver, Call call) {
    if (!receiver)
        return;
#if defined(__SANITIZE_THREAD__)
    const std::lock_guard<std::mutex> mark(handOverLock(receiver->thread()));
#endif
    QMetaObject::invokeMethod(
        receiver,
        [call = std::move(call)]() mutable {
            takeOver();
            call();
        },
        Qt::QueuedConnection);
}

} // namespace serial
