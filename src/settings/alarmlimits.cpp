#include "settings/alarmlimits.h"

#include "base/numbers.h"
#include "serial/linkthread.h"
#include "serial/meterprofile.h"

#include <QLocale>

#include <cmath>

namespace settings {

namespace {

constexpr double kWordOfZeroC = live::kWordOfZeroC;
constexpr double kWordOfZeroF = live::kWordOfZeroF;
constexpr double kKelvinOffsetWords = live::kKelvinOffsetWords;

} // namespace

QString limitName(int index) {
    return QStringLiteral("T%1%2").arg(index / 2 + 1).arg(QChar(index % 2 == 0 ? u'H' : u'L'));
}

std::optional<TempUnit> shownUnit(const live::DisplayState& display) {
    if (display.unitIsCelsius)
        return TempUnit::Celsius;
    if (display.unitIsFahrenheit)
        return TempUnit::Fahrenheit;
    if (display.unitIsKelvin)
        return TempUnit::Kelvin;
    return std::nullopt;
}

double limitValue(quint16 word, TempUnit unit) {
    switch (unit) {
    case TempUnit::Fahrenheit:
        return (word - kWordOfZeroF) / 10;
    case TempUnit::Kelvin:
        return base::roundHalfEven((word + kKelvinOffsetWords) * 5 / 9) / 10;
    case TempUnit::Celsius:
        break;
    }
    return base::roundHalfEven((word - kWordOfZeroC) * 5 / 9) / 10;
}

quint16 limitWord(double value, TempUnit unit) {
    double word = value * 18 + kWordOfZeroC;
    if (unit == TempUnit::Fahrenheit)
        word = value * 10 + kWordOfZeroF;
    else if (unit == TempUnit::Kelvin)
        word = value * 18 - kKelvinOffsetWords;
    return quint16(base::roundClamp(word, 0, 65535));
}

double convertTemperature(double value, TempUnit from, TempUnit to) {
    if (from == to)
        return value;
    double celsius = value;
    if (from == TempUnit::Fahrenheit)
        celsius = (value - 32) * 5 / 9;
    else if (from == TempUnit::Kelvin)
        celsius = value - 273;
    if (to == TempUnit::Fahrenheit)
        return celsius * 9 / 5 + 32;
    if (to == TempUnit::Kelvin)
        return celsius + 273;
    return celsius;
}

QString limitText(double value) {
    if (value == 0)
        value = 0; // -0 reads as 0
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

LimitTexts limitTexts(const LimitWords& words, TempUnit unit, QChar type, int channelCount) {
    LimitTexts texts;
    for (int i = 0; i < kLimitCount; ++i)
        texts[i] = limitText(limitValue(words[i], unit));
    const std::optional<TypeRange> range = typeRange(type, unit);
    const int firstAbsent = channelCount == 2 ? 2 : channelCount == 1 ? 1 : live::kChannels;
    if (!range)
        return texts;
    for (int channel = firstAbsent; channel < live::kChannels; ++channel) {
        texts[2 * channel] = QString::number(range->max);
        texts[2 * channel + 1] = QString::number(range->min);
    }
    return texts;
}

LimitValues readLimitTexts(const LimitTexts& texts) {
    LimitValues values{};
    for (int i = 0; i < kLimitCount; ++i)
        values[i] = base::leadingNumber(texts[i]);
    return values;
}

bool withinRange(const LimitValues& values, TypeRange range) {
    for (int channel = 0; channel < live::kChannels; ++channel) {
        const double high = values[2 * channel];
        const double low = values[2 * channel + 1];
        // "1e999" reads as infinity: never a limit the meter can hold.
        if (!std::isfinite(high) || !std::isfinite(low))
            return false;
        if (high > range.max || low >= high || low < range.min)
            return false;
    }
    return true;
}

QString rangeMessage(TypeRange range) {
    return QStringLiteral("Error! %1 >= High Alarm >= Low Alarm >= %2")
        .arg(range.max)
        .arg(range.min);
}

std::optional<QString> limitsRefusal(const LimitValues& values, QChar type, TempUnit unit) {
    const std::optional<TypeRange> range = typeRange(type, unit);
    if (!range)
        return QStringLiteral("The meter has not reported its thermocouple type yet, so the "
                              "limits cannot be checked against its range. Nothing was sent.");
    if (!withinRange(values, *range))
        return rangeMessage(*range);
    return std::nullopt;
}

std::optional<LimitWords> parseLimitReply(const QByteArray& reply) {
    if (!serial::MeterLink::isFramed(reply, serial::profile::kAlarmReplyLength))
        return std::nullopt;
    LimitWords words{};
    for (int i = 0; i < kLimitCount; ++i)
        words[i] = quint16(quint8(reply.at(1 + 2 * i)) << 8 | quint8(reply.at(2 + 2 * i)));
    return words;
}

QByteArray limitPayload(const LimitValues& values, TempUnit unit) {
    QByteArray out;
    for (double value : values) {
        const quint16 word = limitWord(value, unit);
        out.append(char(word / 256));
        out.append(char(word % 256));
    }
    return out;
}

std::optional<LimitWords> readLimits(serial::LinkSession& session) {
    const std::optional<QByteArray> reply = session.link.requestReply(
        'J', serial::profile::kAlarmReplyLength, serial::profile::kSettingsWait,
        serial::profile::kRequestAttempts);
    if (!reply)
        return std::nullopt;
    return parseLimitReply(*reply);
}

void writeLimits(serial::LinkSession& session, const QByteArray& payload) {
    session.link.flush();
    session.link.sendCommand('H', payload);
}

} // namespace settings
