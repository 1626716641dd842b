#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

namespace sim {

class VirtualMeter;

// Puts a VirtualMeter behind a pseudo-terminal so that any serial client (QSerialPort, a
// terminal program, the real link code) can open devicePath() and talk to it in real time.
// Event driven: a socket notifier reads the master side and one single-shot timer writes each
// reply when its bytes are due, so an idle host costs no CPU. It lives in the thread that
// calls open() and needs that thread's event loop; the meter must only be used from there.
class PtyHost : public QObject {
    Q_OBJECT
public:
    explicit PtyHost(VirtualMeter* meter, QObject* parent = nullptr);
    ~PtyHost() override;

    bool open(QString* error = nullptr);
    // The slave side a client opens, for example /dev/pts/5; empty when closed.
    QString devicePath() const { return m_devicePath; }
    bool isOpen() const { return m_master >= 0; }
    // Closing the master is the meter being unplugged: clients see a hang-up.
    void close();
    VirtualMeter* meter() const { return m_meter; }

signals:
    // The meter unplugged itself (its unplugAfter fault); the pseudo-terminal is closed.
    void unplugged();

private:
    double now() const;
    void readMaster();
    void deliver();
    void flush();
    void schedule();

    VirtualMeter* m_meter = nullptr;
    int m_master = -1;
    // Held open so the master never sees EIO while no client has the device open, and so
    // the raw settings survive a client closing and reopening it.
    int m_slave = -1;
    QString m_devicePath;
    QElapsedTimer m_clock;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QTimer* m_deliveryTimer = nullptr;
    QTimer* m_retryTimer = nullptr;
    QByteArray m_unwritten; // bytes due but refused by a full pty buffer
};

} // namespace sim
