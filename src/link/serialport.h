#pragma once

#include "link/port.h"
#include "link/portcatalog.h"

#include <QElapsedTimer>
#include <memory>

class QSerialPort;

namespace serial {

// The real serial port. Created on the link thread and used only there: it has no event
// loop, so waits block on the device with a deadline (no spinning, an idle link costs
// nothing).
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

    // Blocks until bytes arrive or `ms` have passed; received bytes are kept for readAll.
    void waitForBytes(int ms);

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

// Real monotonic time; waiting blocks on the serial port so that bytes keep arriving.
class RealClock : public Clock {
public:
    explicit RealClock(SerialPort* port = nullptr);
    double now() const override;
    void wait(double seconds) override;

private:
    SerialPort* m_port = nullptr;
    QElapsedTimer m_timer;
};

} // namespace serial
