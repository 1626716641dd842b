#include "settings/sampling.h"

#include "link/linkthread.h"
#include "link/meterprofile.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace settings {

namespace {

double roundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5)
        return lower;
    if (fraction > 0.5)
        return lower + 1;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

std::optional<double> parseNumber(const QString& text) {
    // Group separators are refused so that "1,000" is not quietly read as some other number.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(text, &ok);
    if (!ok || std::isnan(value))
        return std::nullopt;
    return value;
}

} // namespace

int roundInterval(double seconds) {
    if (std::isnan(seconds))
        return kMinInterval;
    // Clamp before converting: a typed 1e300 must not overflow the int.
    const double rounded = roundHalfEven(std::clamp(seconds, -1.0, double(kMaxInterval) + 1));
    return std::clamp(int(rounded), kMinInterval, kMaxInterval);
}

IntervalEntry parseIntervalEntry(const std::optional<QString>& answer) {
    if (!answer)
        return {};
    const QString text = answer->trimmed();
    if (text.isEmpty())
        return {};
    const std::optional<double> value = parseNumber(text);
    if (!value)
        return {IntervalEntry::Kind::NotANumber, 0, *answer};
    return {IntervalEntry::Kind::Accepted, roundInterval(*value), QString()};
}

QString notANumberMessage(const QString& typed) {
    return QStringLiteral("\"%1\" is not a number. The sampling time is unchanged.").arg(typed);
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
