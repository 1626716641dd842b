#include "sim/ptyhost.h"

#include "sim/virtualmeter.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// A client that stops reading must not make the host hoard a whole download; the line
// would drop bytes beyond its buffers too.
constexpr qsizetype kMaxUnwritten = 1 << 20;

QString errnoText(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

PtyHost::PtyHost(VirtualMeter* meter, QObject* parent)
    : QObject(parent)
    , m_meter(meter) {}

PtyHost::~PtyHost() {
    close();
}

bool PtyHost::open(QString* error) {
    close();
    auto fail = [&](const char* what) {
        if (error)
            *error = errnoText(what);
        close();
        return false;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0)
        return fail("grantpt");
    if (unlockpt(m_master) != 0)
        return fail("unlockpt");
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname_r");
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0)
        return fail("tcgetattr");
    cfmakeraw(&tio);
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    fcntl(m_master, F_SETFD, FD_CLOEXEC);

    m_devicePath = QString::fromLocal8Bit(name);
    m_clock.start();

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyHost::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyHost::flush);
    m_deliveryTimer = new QTimer(this);
    m_deliveryTimer->setSingleShot(true);
    m_deliveryTimer->setTimerType(Qt::PreciseTimer);
    connect(m_deliveryTimer, &QTimer::timeout, this, &PtyHost::deliver);
    m_retryTimer = new QTimer(this);
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setInterval(50);
    connect(m_retryTimer, &QTimer::timeout, this, [this] {
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
    });
    return true;
}

void PtyHost::close() {
    // close() may run inside the read notifier's own signal: disable now, delete later, and
    // only then let go of the descriptors the notifiers watch.
    for (QObject* o :
         {static_cast<QObject*>(m_readNotifier), static_cast<QObject*>(m_writeNotifier),
          static_cast<QObject*>(m_deliveryTimer), static_cast<QObject*>(m_retryTimer)})
        if (o)
            o->deleteLater();
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    if (m_deliveryTimer)
        m_deliveryTimer->stop();
    if (m_retryTimer)
        m_retryTimer->stop();
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    m_deliveryTimer = nullptr;
    m_retryTimer = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = -1;
    m_slave = -1;
    m_devicePath.clear();
    m_unwritten.clear();
}

double PtyHost::now() const {
    return double(m_clock.nsecsElapsed()) / 1e9;
}

void PtyHost::readMaster() {
    if (m_master < 0)
        return;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_meter->receive(QByteArrayView(buffer, n), now());
            if (m_meter->isUnplugged()) {
                close();
                emit unplugged();
                return;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // EIO while no slave is open should not happen (we hold one), but if it does,
            // back off instead of spinning on a notifier that fires without end.
            m_readNotifier->setEnabled(false);
            m_retryTimer->start();
        }
        break;
    }
    schedule();
}

void PtyHost::deliver() {
    if (m_master < 0)
        return;
    const QByteArray due = m_meter->takeOutput(now());
    const qsizetype room = kMaxUnwritten - m_unwritten.size();
    m_unwritten.append(due.left(std::max<qsizetype>(0, room)));
    flush();
    schedule();
}

void PtyHost::flush() {
    while (!m_unwritten.isEmpty() && m_master >= 0) {
        const ssize_t n = ::write(m_master, m_unwritten.constData(), size_t(m_unwritten.size()));
        if (n > 0) {
            m_unwritten.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        m_unwritten.clear(); // the line is gone; what was on it is lost
        break;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void PtyHost::schedule() {
    if (!m_deliveryTimer)
        return;
    const double next = m_meter->nextOutputTime();
    if (std::isinf(next)) {
        m_deliveryTimer->stop();
        return;
    }
    const double wait = std::max(0.0, next - now());
    m_deliveryTimer->start(int(std::ceil(wait * 1000.0)));
}

} // namespace sim
