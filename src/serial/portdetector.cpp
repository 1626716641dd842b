#include "serial/portdetector.h"

#include "serial/meterprofile.h"

namespace serial {

std::optional<PortChoice> parsePortChoice(const QString& text) {
    if (text == QLatin1String("Auto"))
        return PortChoice{true, 1};
    if (!text.startsWith(QLatin1String("COM")))
        return std::nullopt;
    const QStringView digits = QStringView(text).mid(3);
    // "COM01" or "COM 5" are not items of the list; only the exact texts count.
    if (digits.isEmpty() || digits.startsWith(u'0'))
        return std::nullopt;
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok || n < 1 || n > profile::kPortSlots)
        return std::nullopt;
    return PortChoice{false, n};
}

PortDetector::PortDetector(MeterLink& link)
    : m_link(link) {}

void PortDetector::setChoice(PortChoice choice) {
    m_autoPort = choice.autoPort;
    m_portNumber = choice.portNumber;
}

bool PortDetector::openPort(int p, QString* error) {
    m_portNumber = p;
    Port& port = m_link.port();
    if (port.isOpen())
        port.close();
    return port.open(p, error);
}

PortDetector::ProbeResult PortDetector::probe() {
    for (int wrongReplies = 0;;) {
        const MeterLink::Handshake h = m_link.handshake(profile::kProbeAttempts);
        if (h.reply.size() < profile::kHandshakeLength)
            return ProbeResult::NoMeter;
        if (MeterLink::isHandshakeReply(h.reply))
            return ProbeResult::Found;
        if (++wrongReplies >= profile::kWrongProbeRepeats)
            return ProbeResult::WrongDevice;
    }
}

void PortDetector::connected() {
    // A new port choice made while this port answered wins: this search must not switch the
    // poll on or report a connection the user has already left.
    m_link.throwIfCancelled();
    m_link.setStatus(QStringLiteral("COM") + QString::number(m_portNumber));
    if (m_hooks.connected)
        m_hooks.connected(m_portNumber);
}

void PortDetector::scanPorts() {
    if (m_hooks.searchStarted)
        m_hooks.searchStarted();
    bool deniedSaid = false;
    bool busySaid = false;
    for (;;) {
        bool anyOpened = false;
        for (int p = 1; p <= profile::kPortSlots; ++p) {
            m_link.setStatus(QStringLiteral("Connecting..."));
            // A slot that does not exist or is in use cannot be probed: nothing can be sent
            // to it, so it costs no waits and the slots after it are reached at once. Only a
            // port the user may not open is worth a word, since no search can get past it.
            QString error;
            if (!openPort(p, &error)) {
                if (m_link.port().openWasDenied() && !deniedSaid && m_hooks.portDenied) {
                    deniedSaid = true;
                    m_hooks.portDenied(error);
                } else if (m_link.port().openWasBusy() && !busySaid && m_hooks.portBusy) {
                    busySaid = true;
                    const QString holder = m_link.port().holderOf(p);
                    m_hooks.portBusy(holder.isEmpty() ? error
                                                      : error.chopped(1) + QStringLiteral(": ") +
                                                            holder + QLatin1Char('.'));
                }
                continue;
            }
            anyOpened = true;
            if (probe() == ProbeResult::Found) {
                connected();
                return;
            }
        }
        // Nothing to probe anywhere (the only meter unplugged): look again shortly, without
        // spinning and without delaying a meter that comes back.
        if (!anyOpened)
            m_link.delay(profile::kEmptySearchPause);
    }
}

void PortDetector::openFixedPort() {
    if (m_hooks.searchStarted)
        m_hooks.searchStarted();
    for (;;) {
        QString error;
        if (!openPort(m_portNumber, &error))
            throw FixedPortFailed{error};
        switch (probe()) {
        case ProbeResult::Found:
            connected();
            return;
        case ProbeResult::WrongDevice:
            // Asking again would loop for ever on a device that is not the meter.
            throw FixedPortFailed{
                QStringLiteral("The device on COM%1 answers, but not as the meter does.")
                    .arg(m_portNumber)};
        case ProbeResult::NoMeter:
            break;
        }
    }
}

void PortDetector::recover() {
    if (m_autoPort)
        scanPorts();
    else
        openFixedPort();
}

} // namespace serial
