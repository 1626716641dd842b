#include "serial/serialport.h"

#include "serial/meterprofile.h"
#include "serial/waker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cmath>

namespace serial {

SerialPort::SerialPort(PortCatalog catalog)
    : m_catalog(std::move(catalog))
    , m_port(std::make_unique<QSerialPort>()) {}

SerialPort::~SerialPort() = default;

bool SerialPort::lacksRights(const QString& device) {
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(device);
    return false;
#endif
}

bool SerialPort::isSerialDevice(const QString& path) {
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    if (::stat(name.constData(), &info) != 0)
        return true;
    if (!S_ISCHR(info.st_mode))
        return false;
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return true;
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal;
#else
    Q_UNUSED(path);
    return true;
#endif
}

QString SerialPort::openErrorText(const QString& device, int error, const QString& systemText,
                                  bool denied) {
    switch (error) {
    case QSerialPort::PermissionError:
        if (!denied)
            return QStringLiteral("%1 is in use by another program.").arg(device);
#ifdef Q_OS_LINUX
        return QStringLiteral("Permission denied for %1. Add your user to the dialout group "
                              "(sudo usermod -aG dialout $USER), then log out and in again.")
            .arg(device);
#else
        return QStringLiteral("Permission denied for %1.").arg(device);
#endif
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1 does not exist (is the meter's cable plugged in?).").arg(device);
    default:
        return QStringLiteral("%1 could not be opened: %2").arg(device, systemText);
    }
}

QString SerialPort::holderOf(int slot) const {
    QStringList holders;
#ifdef Q_OS_LINUX
    // The processes with a descriptor on the device; processes of other users are not visible
    // without the rights, and then nothing is said of them.
    const QString device = QFileInfo(m_catalog.device(slot)).canonicalFilePath();
    if (device.isEmpty())
        return {};
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        if (pid.toLongLong(&number) == QCoreApplication::applicationPid() || !number)
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() != device)
                continue;
            QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
            const QString name = comm.open(QIODevice::ReadOnly)
                                     ? QString::fromLocal8Bit(comm.readAll().trimmed())
                                     : QString();
            holders << QStringLiteral("process %1 (%2)").arg(pid, name);
            break;
        }
    }
#else
    Q_UNUSED(slot);
#endif
    return holders.join(QStringLiteral(", "));
}

bool SerialPort::open(int slot, QString* error) {
    m_lastDenied = false;
    m_lastBusy = false;
    if (m_port->isOpen())
        m_port->close();
    // A new pass of the search looks at the system's ports again, so an adapter plugged in
    // while searching gets found.
    if (slot == 1)
        m_catalog.refresh();
    const QString device = m_catalog.device(slot);
    if (device.isEmpty()) {
        if (error)
            *error = QStringLiteral("COM%1 has no serial device on this computer.").arg(slot);
        return false;
    }
#ifdef Q_OS_UNIX
    // Opening makes (and syncs) a lock file under /var/lock first, some milliseconds each
    // time: a device that is not there is told at the cost of one look.
    if (!QFile::exists(device)) {
        if (error)
            *error = openErrorText(device, QSerialPort::DeviceNotFoundError, QString(), false);
        return false;
    }
#endif
    m_port->setPortName(device);
    m_port->setBaudRate(profile::kBaudRate);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        const int code = m_port->error();
        m_lastDenied = code == QSerialPort::PermissionError && lacksRights(device);
        m_lastBusy = code == QSerialPort::PermissionError && !m_lastDenied;
        if (error)
            *error = openErrorText(device, code, m_port->errorString(), m_lastDenied);
        m_port->clearError();
        return false;
    }
    m_port->clearError();
    return true;
}

void SerialPort::close() {
    if (m_port->isOpen())
        m_port->close();
    m_port->clearError();
}

bool SerialPort::isOpen() const {
    return m_port->isOpen();
}

void SerialPort::checkGone() {
    // An unplugged adapter raises ResourceError: from then on the port is closed and the
    // meter simply looks silent, which starts the normal search without any error storm.
    // A device whose other end has gone (a hung-up pseudo-terminal) fails reads or writes
    // instead: the same, or the link would go on polling a dead device.
    const QSerialPort::SerialPortError error = m_port->error();
    if (error == QSerialPort::ResourceError || error == QSerialPort::WriteError ||
        error == QSerialPort::ReadError)
        m_port->close();
    // Everything else (pseudo-terminals refuse the modem-line ioctls with "Invalid argument",
    // time-outs of the waits) is noise for a polled protocol.
    m_port->clearError();
}

int SerialPort::descriptor() const {
#ifdef Q_OS_UNIX
    return m_port->isOpen() ? int(m_port->handle()) : -1;
#else
    return -1;
#endif
}

bool SerialPort::hasBufferedBytes() const {
    return m_port->isOpen() && m_port->bytesAvailable() > 0;
}

void SerialPort::hungUp() {
    if (m_port->isOpen())
        m_port->close();
    m_port->clearError();
}

QByteArray SerialPort::readAll() {
    if (!m_port->isOpen())
        return {};
#ifndef Q_OS_UNIX
    m_port->waitForReadyRead(0);
#endif
    // What Qt read while the thread's event loop ran between jobs comes first.
    QByteArray data = m_port->readAll();
    checkGone();
#ifdef Q_OS_UNIX
    for (const int fd = descriptor(); fd >= 0;) {
        char chunk[4096];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            data.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Nothing more (0 or EAGAIN: the port is set to return at once), or the device is gone.
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            hungUp();
        break;
    }
#endif
    return data;
}

bool SerialPort::write(const QByteArray& bytes) {
    if (!m_port->isOpen())
        return false;
#ifdef Q_OS_UNIX
    // Into the device's buffer now, so the waits that follow are measured from when the bytes
    // left. A few bytes at a time never fill it; one that stays full for 100 ms is given up.
    const int fd = descriptor();
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        pollfd out = {fd, POLLOUT, 0};
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ::poll(&out, 1, 100) > 0 &&
            !(out.revents & (POLLERR | POLLHUP | POLLNVAL)))
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            hungUp();
        return false;
    }
    return true;
#else
    const bool ok = m_port->write(bytes) == bytes.size();
    m_port->waitForBytesWritten(100);
    checkGone();
    return ok;
#endif
}

RealClock::RealClock(SerialPort* port)
    : m_port(port) {
    m_timer.start();
}

double RealClock::now() const {
    return m_timer.nsecsElapsed() / 1e9;
}

void RealClock::block(double seconds, bool forBytes) {
    const double end = now() + seconds;
    for (;;) {
        if (forBytes && m_port && m_port->hasBufferedBytes())
            return;
        const double left = end - now();
        if (left <= 0)
            return;
        int ms = std::max(1, int(std::ceil(left * 1000)));
        const int wakeFd = m_waker ? m_waker->fd() : -1;
#ifdef Q_OS_UNIX
        // Without a wake-up descriptor a cancel is looked for every 50 ms.
        if (wakeFd < 0)
            ms = std::min(ms, 50);
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {-1, POLLIN, 0}};
        if (forBytes && m_port)
            fds[1].fd = m_port->descriptor();
        if (::poll(fds, 2, ms) <= 0)
            continue; // the deadline (looked at again), or a signal
        if (fds[0].revents) {
            m_waker->clear();
            return;
        }
        // A hung-up device stays "ready" with nothing to read: closed, it waits like any other.
        if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL))
            m_port->hungUp();
        else if (fds[1].revents)
            return;
#else
        QThread::msleep(std::min(ms, 50));
        if (forBytes)
            return;
#endif
    }
}

} // namespace serial
