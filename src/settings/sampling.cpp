#include "settings/sampling.h"

#include "base/numbers.h"
#include "serial/linkthread.h"
#include "serial/meterprofile.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace settings {

int roundInterval(double seconds) {
    return base::roundClamp(seconds, kMinInterval, kMaxInterval);
}

IntervalEntry parseIntervalEntry(const std::optional<QString>& answer) {
    if (!answer)
        return {};
    const QString text = answer->trimmed();
    if (text.isEmpty())
        return {};
    const std::optional<double> value = base::parseNumber(text);
    if (!value)
        return {IntervalEntry::Kind::NotANumber, 0, *answer};
    return {IntervalEntry::Kind::Accepted, roundInterval(*value), QString()};
}

QString notANumberMessage(const QString& typed) {
    return QStringLiteral("\"%1\" is not a number. The sampling time is unchanged.").arg(typed);
}

IntervalArgument parseIntervalArgument(const QString& text) {
    const std::optional<double> value = base::parseNumber(text);
    if (!value || text.trimmed().isEmpty())
        return {0, notANumberMessage(text)};
    const double rounded = base::roundHalfEven(*value);
    if (!(rounded >= kMinInterval && rounded <= kMaxInterval))
        return {0, outOfRangeMessage(text)};
    return {int(rounded), QString()};
}

QString outOfRangeMessage(const QString& typed) {
    return QStringLiteral("\"%1\" is not from %2 to %3 seconds. The sampling time is unchanged.")
        .arg(typed)
        .arg(kMinInterval)
        .arg(kMaxInterval);
}

QString intervalWriteText(int seconds) {
    return QStringLiteral("F ") +
           QString::fromLatin1(intervalPayload(seconds).toHex(' ').toUpper());
}

QString pcIntervalPrompt() {
    return QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
}

QString meterIntervalPrompt() {
    return QStringLiteral("Enter the METER SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
}

QString serviceIntervalPrompt() {
    return pcIntervalPrompt();
}

QString intervalTitle() {
    return QStringLiteral("Input Sampling Time");
}

std::optional<int> parseIntervalReply(const QByteArray& reply) {
    if (!serial::MeterLink::isFramed(reply, serial::profile::kIntervalReplyLength))
        return std::nullopt;
    const auto byte = [&](int i) { return int(quint8(reply.at(i))); };
    return byte(1) * 65536 + byte(2) * 256 + byte(3);
}

QByteArray intervalPayload(int seconds) {
    const int value = std::clamp(seconds, kMinInterval, kMaxInterval);
    QByteArray out;
    out.append(char(value / 65536));
    out.append(char((value % 65536) / 256));
    out.append(char(value % 256));
    return out;
}

std::optional<int> readMeterInterval(serial::LinkSession& session) {
    const std::optional<QByteArray> reply = session.link.requestReply(
        'K', serial::profile::kIntervalReplyLength, serial::profile::kSettingsWait,
        serial::profile::kRequestAttempts);
    if (!reply)
        return std::nullopt;
    return parseIntervalReply(*reply);
}

void writeMeterInterval(serial::LinkSession& session, int seconds) {
    session.link.flush();
    session.link.sendCommand('F', intervalPayload(seconds));
}

} // namespace settings
