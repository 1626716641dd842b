#include "serial/portcatalog.h"

#include "serial/meterprofile.h"

#include <QDir>
#include <QSerialPortInfo>

#include <algorithm>

namespace serial {

namespace {
bool isUsbAdapter(const QString& name) {
    const QString base = name.section(u'/', -1);
    return base.startsWith(QLatin1String("ttyUSB")) || base.startsWith(QLatin1String("ttyACM")) ||
           base.startsWith(QLatin1String("cu.usb")) || base.startsWith(QLatin1String("tty.usb"));
}
// "/dev/ttyS10" -> ("/dev/ttyS", 10); a name without a trailing number gets -1.
std::pair<QString, qint64> splitNumber(const QString& name) {
    qsizetype i = name.size();
    while (i > 0 && name.at(i - 1).isDigit())
        --i;
    if (i == name.size() || name.size() - i > 9)
        return {name, -1};
    return {name.left(i), name.mid(i).toLongLong()};
}
} // namespace

PortCatalog::PortCatalog(QStringList explicitDevices, bool withSystemPorts)
    : m_explicit(std::move(explicitDevices))
    , m_withSystem(withSystemPorts) {
#ifndef Q_OS_WIN
    // A name without a slash is a file in the working directory, as everywhere else on the
    // command line; the serial port alone would look for it under /dev.
    for (QString& device : m_explicit)
        if (!device.contains(u'/'))
            device = QDir::current().absoluteFilePath(device);
#endif
    refresh();
}

QStringList PortCatalog::orderSystemPorts(QStringList names) {
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const bool ua = isUsbAdapter(a);
        const bool ub = isUsbAdapter(b);
        if (ua != ub)
            return ua;
        // Natural order, so that ttyS2 comes before ttyS10.
        const auto [stemA, numberA] = splitNumber(a);
        const auto [stemB, numberB] = splitNumber(b);
        if (stemA != stemB)
            return stemA < stemB;
        return numberA < numberB;
    });
    return names;
}

void PortCatalog::refresh() {
#ifdef Q_OS_WIN
    m_devices.clear();
    for (int n = 1; n <= profile::kPortSlots; ++n)
        m_devices.append(QStringLiteral("COM%1").arg(n));
#else
    m_devices = m_explicit;
    if (m_withSystem) {
        QStringList system;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            const QString path = info.systemLocation();
            if (!m_devices.contains(path))
                system.append(path);
        }
        m_devices += orderSystemPorts(system);
    }
    while (m_devices.size() > profile::kPortSlots)
        m_devices.removeLast();
#endif
}

QString PortCatalog::device(int slot) const {
    if (slot < 1 || slot > m_devices.size())
        return QString();
    return m_devices.at(slot - 1);
}

} // namespace serial
