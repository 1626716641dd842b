#pragma once

#include <QByteArray>
#include <QString>

namespace serial {

// One serial connection as the link sees it: slots 1..16 stand for COM1..COM16. Reads never
// block; waiting for bytes is the Clock's business.
class Port {
public:
    virtual ~Port() = default;
    // Opens slot n with 38400 8N1. On failure returns false and says why in `error`.
    virtual bool open(int slot, QString* error) = 0;
    // True when the last failed open was refused for lack of rights (not absent, not busy).
    virtual bool openWasDenied() const { return false; }
    // True when the last failed open found the port held by another program.
    virtual bool openWasBusy() const { return false; }
    // Who holds the device of a slot open ("process 1234 (minicom)", several joined by ", "),
    // where the system says.
    virtual QString holderOf(int /*slot*/) const { return {}; }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Everything received so far; empties the receive buffer. Empty when closed.
    virtual QByteArray readAll() = 0;
    // Writes the bytes at once. False when the port is closed or the device is gone.
    virtual bool write(const QByteArray& bytes) = 0;
    // The device behind a slot, for tool tips ("" when the slot is empty).
    virtual QString deviceName(int slot) const = 0;
};

class Waker;

// Monotonic time and waiting. A wait lets received bytes accumulate in the port and never
// spans a jump of the time of day. It ends early only on a wake-up, after which the caller
// looks at its cancel flag and waits out the rest.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0; // seconds, monotonic
    virtual void wait(double seconds) = 0;
    // As wait, and also ends once received bytes are there to read. A clock that cannot tell
    // (virtual time, where waiting costs nothing) waits the whole time.
    virtual void waitForBytes(double seconds) { wait(seconds); }
    // The wake-up that ends this clock's waits early; set once, before the first wait.
    virtual void setWaker(const Waker* /*waker*/) {}
};

// Control flow, not errors: these two deliberately do not derive from std::exception, so a
// job's own `catch (const std::exception&)` (a file write, a parse) can never swallow them
// and keep running a job that must end. Only the link thread's job boundary catches them.

// Thrown out of a wait when the running job was cancelled (a new port choice, the program
// closing, the user's Cancel); the link thread catches it at the job boundary.
struct Cancelled {};

// Thrown when a fixed port cannot be opened: the job ends and the user must choose again.
struct FixedPortFailed {
    QString detail; // why the open failed, for the message's details
};

} // namespace serial
