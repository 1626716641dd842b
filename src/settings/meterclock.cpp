#include "settings/meterclock.h"

#include "serial/linkthread.h"
#include "serial/meterprofile.h"

namespace settings {

quint8 toBcd(int value) {
    // Negative years do not occur; the absolute value keeps the nibbles in 0..9 all the same.
    const int twoDigits = (value < 0 ? -value : value) % 100;
    return quint8(((twoDigits / 10) << 4) | (twoDigits % 10));
}

MeterClockBcd clockBytes(const QDateTime& moment) {
    const QDate date = moment.date();
    const QTime time = moment.time();
    return {toBcd(date.year()), toBcd(date.month()),  toBcd(date.day()),
            toBcd(time.hour()), toBcd(time.minute()), toBcd(time.second())};
}

QByteArray clockPayload(const MeterClockBcd& bytes) {
    QByteArray out;
    for (const quint8 b : bytes)
        out.append(char(b));
    return out;
}

std::optional<MeterClockBcd> parseClockReply(const QByteArray& reply) {
    if (!serial::MeterLink::isFramed(reply, serial::profile::kClockReplyLength))
        return std::nullopt;
    MeterClockBcd bytes{};
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = quint8(reply.at(qsizetype(i) + 1));
    return bytes;
}

QString meterTimeText(const MeterClockBcd& b) {
    const auto hex = [](quint8 byte) {
        return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    };
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(hex(b[0]), hex(b[1]), hex(b[2]), hex(b[3]), hex(b[4]), hex(b[5]));
}

QString pcTimeText(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yy/MM/dd HH:mm:ss"));
}

QString clockWriteText(const MeterClockBcd& bytes) {
    return QStringLiteral("D ") + QString::fromLatin1(clockPayload(bytes).toHex(' ').toUpper());
}

std::optional<MeterClockBcd> readMeterClock(serial::LinkSession& session) {
    const std::optional<QByteArray> reply = session.link.requestReply(
        'C', serial::profile::kClockReplyLength, serial::profile::kSettingsWait,
        serial::profile::kRequestAttempts);
    if (!reply)
        return std::nullopt;
    return parseClockReply(*reply);
}

MeterClockBcd writeMeterClock(serial::LinkSession& session, const std::function<QDateTime()>& now) {
    MeterClockBcd sent{};
    session.link.flush();
    session.link.sendCommand('D', [&] {
        sent = clockBytes(now());
        return clockPayload(sent);
    });
    return sent;
}

} // namespace settings
