#include "serial/meterlink.h"

#include "serial/meterprofile.h"

namespace serial {

namespace {
const QByteArray kHandshakeReply(profile::kHandshakeReply, profile::kHandshakeLength);
}

MeterLink::MeterLink(Port& port, Clock& clock)
    : m_port(port)
    , m_clock(clock) {}

void MeterLink::throwIfCancelled() const {
    if (m_hooks.cancelled && m_hooks.cancelled())
        throw Cancelled{};
}

void MeterLink::delay(double seconds) {
    // The clock's wait ends early only when woken (a cancel, a job that wants the link, the
    // program's end): the flag is looked at again, and otherwise the rest is waited out.
    const double end = m_clock.now() + seconds;
    for (;;) {
        throwIfCancelled();
        const double left = end - m_clock.now();
        if (left <= 0)
            return;
        m_clock.wait(left);
    }
}

void MeterLink::awaitBytes(double seconds) {
    throwIfCancelled();
    m_clock.waitForBytes(seconds);
    throwIfCancelled();
}

void MeterLink::payloadGap() {
    const double end = m_clock.now() + profile::kPayloadGap;
    for (double left = profile::kPayloadGap; left > 0; left = end - m_clock.now())
        m_clock.wait(left);
}

void MeterLink::setStatus(const QString& text) {
    if (m_hooks.status)
        m_hooks.status(text);
}

void MeterLink::meterLost() {
    setStatus(QStringLiteral(" No COM"));
    if (m_hooks.recover)
        m_hooks.recover();
}

MeterLink::Handshake MeterLink::handshake(int attempts) {
    Handshake h;
    do {
        // A port closed under the link cannot answer: the search starts at once instead of
        // spending a second of attempts on a wire that is gone.
        if (!m_port.isOpen()) {
            h.portGone = true;
            h.reply.clear();
            break;
        }
        ++h.attempts;
        m_port.readAll();
        m_port.write(QByteArrayLiteral("A"));
        delay(profile::kHandshakeWait);
        h.reply = m_port.readAll();
    } while (h.attempts < attempts && h.reply.size() < profile::kHandshakeLength);
    return h;
}

bool MeterLink::isHandshakeReply(const QByteArray& reply) {
    return reply.startsWith(kHandshakeReply);
}

void MeterLink::checkMeter() {
    m_port.readAll();
    for (int wrongSeries = 0;;) {
        const Handshake h = handshake(profile::kHandshakeAttempts);
        // A reply that only came with the last attempt is not looked at: a meter that needed
        // a hundred tries is as good as gone, and the search gets to verify it.
        if (h.portGone || h.attempts >= profile::kHandshakeAttempts) {
            meterLost();
            return;
        }
        if (isHandshakeReply(h.reply))
            return;
        if (++wrongSeries >= profile::kWrongHandshakeSeries) {
            meterLost();
            return;
        }
    }
}

bool MeterLink::isFramed(const QByteArray& reply, int length) {
    return reply.size() >= length && quint8(reply.at(0)) == 0x02 &&
           quint8(reply.at(length - 1)) == 0x0D;
}

std::optional<QByteArray> MeterLink::framedReply(const QByteArray& reply, int length) {
    qsizetype start = 0;
    for (;;) {
        const QByteArray rest = reply.mid(start);
        if (isFramed(rest, length))
            return rest.left(length);
        if (length == kHandshakeReply.size() || !rest.startsWith(kHandshakeReply))
            return std::nullopt;
        start += kHandshakeReply.size();
    }
}

std::optional<QByteArray> MeterLink::requestReply(char letter, int length, double wait,
                                                  int attempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        m_port.readAll();
        checkMeter();
        m_port.write(QByteArray(1, letter));
        delay(wait);
        if (std::optional<QByteArray> reply = framedReply(m_port.readAll(), length))
            return reply;
    }
    return std::nullopt;
}

void MeterLink::sendCommand(char letter, const QByteArray& payload) {
    sendCommand(letter, std::function<QByteArray()>([&payload] { return payload; }));
}

void MeterLink::sendCommand(char letter, const std::function<QByteArray()>& payload) {
    checkMeter();
    const QByteArray bytes = payload();
    m_port.write(QByteArray(1, letter));
    payloadGap();
    m_port.write(bytes);
}

} // namespace serial
