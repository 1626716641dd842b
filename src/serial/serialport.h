#pragma once

#include "serial/port.h"
#include "serial/portcatalog.h"

#include <QElapsedTimer>
#include <memory>

class QSerialPort;

namespace serial {

// The real serial port. Created on the link thread and used only there. Qt opens and sets up
// the device; reads and writes go to its descriptor directly, since the link's waits block
// on that descriptor (no event loop runs during a job, and Qt's reads need one).
class SerialPort : public Port {
public:
    explicit SerialPort(PortCatalog catalog);
    ~SerialPort() override;

    bool open(int slot, QString* error) override;
    bool openWasDenied() const override { return m_lastDenied; }
    bool openWasBusy() const override { return m_lastBusy; }
    QString holderOf(int slot) const override;
    void close() override;
    bool isOpen() const override;
    QByteArray readAll() override;
    bool write(const QByteArray& bytes) override;
    QString deviceName(int slot) const override { return m_catalog.device(slot); }

    // The descriptor a wait blocks on for received bytes; -1 when closed (or no such thing).
    int descriptor() const;
    // Bytes taken in by Qt's own reads are waiting for readAll.
    bool hasBufferedBytes() const;
    // The device hung up (unplugged, the other end of a pseudo-terminal gone): it is closed, so
    // the meter simply looks silent and the normal search starts.
    void hungUp();

    // The message for a failed open, naming the device and what the user can do. `denied`:
    // the user lacks the rights (as opposed to another program holding the device).
    static QString openErrorText(const QString& device, int error, const QString& systemText,
                                 bool denied);
    // Whether the user lacks read or write rights on the device (Qt reports a device held by
    // another program with the same error as missing rights).
    static bool lacksRights(const QString& device);

    // False for a path that is no serial device (a regular file, a folder, /dev/null), which
    // would only make the search wait for its time-out. True when it cannot be told (the
    // device is absent, busy or forbidden: opening it later says why).
    static bool isSerialDevice(const QString& path);

private:
    void checkGone();

    PortCatalog m_catalog;
    std::unique_ptr<QSerialPort> m_port;
    bool m_lastDenied = false;
    bool m_lastBusy = false;
};

class Waker;

// Real monotonic time. A wait blocks on the wake-up descriptor (and, waiting for bytes, on the
// port's) until its deadline: one wake-up per wait, none while nothing happens.
class RealClock : public Clock {
public:
    explicit RealClock(SerialPort* port = nullptr);
    double now() const override;
    void wait(double seconds) override { block(seconds, false); }
    void waitForBytes(double seconds) override { block(seconds, true); }
    void setWaker(const Waker* waker) override { m_waker = waker; }

private:
    void block(double seconds, bool forBytes);

    SerialPort* m_port = nullptr;
    const Waker* m_waker = nullptr;
    QElapsedTimer m_timer;
};

} // namespace serial
