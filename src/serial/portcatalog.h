#pragma once

#include <QString>
#include <QStringList>

namespace serial {

// Maps the slots 1..16 that the user picks from ("COM1".."COM16") to devices. On Windows slot
// n is COMn. Elsewhere the slots are filled in order with the devices named on the command
// line (and the virtual meter of --simulate), then the system's serial ports, USB adapters
// first, each group by name.
class PortCatalog {
public:
    explicit PortCatalog(QStringList explicitDevices = {}, bool withSystemPorts = true);

    // Reads the system's ports again (an adapter plugged in after start gets a slot).
    void refresh();
    // The device of slot n, "" when the slot is empty.
    QString device(int slot) const;
    QStringList devices() const { return m_devices; }

    // Orders system port names: USB adapters first, then the rest, each by name.
    static QStringList orderSystemPorts(QStringList names);

private:
    QStringList m_explicit;
    bool m_withSystem = true;
    QStringList m_devices;
};

} // namespace serial
