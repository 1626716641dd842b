#include "live/readout.h"

#include <QHash>

namespace live {

namespace {

struct Spoken {
    const char* name;
    const char* spoken;
    bool listed; // said in the summary; the others are part of a reading
};

constexpr Spoken kSpoken[] = {
    {"ImaBt1", "battery", true},
    {"ImaBt2", "battery", true},
    {"ImaBt3", "battery", true},
    {"ImaBt4", "battery", true},
    {"ImaAPO", "auto power off", true},
    {"ImaPlug", "mains adapter", true},
    {"LblUSB", "USB", true},
    {"LblShift", "shift", true},
    {"LblTime", "time", true},
    {"Lbldm", "day:month", true},
    {"Lblhm", "hour:minute", true},
    {"Lblms", "minute:second", true},
    {"LblY", "year", true},
    {"LblHold", "hold", true},
    {"LblRec", "recording", true},
    {"LblMem", "memory", true},
    {"LblMax", "maximum", true},
    {"LblMin", "minimum", true},
    {"LblAvg", "average", true},
    {"LblREL", "relative", true},
    {"LblSetup", "setup", true},
    {"LblIntv", "interval", true},
    {"LblOffset", "offset", true},
    {"LblCall", "call", true},
    {"LblClose", "close", true},
    {"LblStart", "start", true},
    {"LblHi", "high limit", true},
    {"LblLo", "low limit", true},
    {"LblLimit", "limit", true},
    {"LblType", "type", false},
    {"ImaC", "°C", false},
    {"ImaF", "°F", false},
    {"ImaK", "K", false},
    {"LblK", "type K", false},
    {"LblJ", "type J", false},
    {"LblE", "type E", false},
    {"LblT", "type T", false},
    {"LblN", "type N", false},
    {"LblR", "type R", false},
    {"LblS", "type S", false},
    {"LblT1T1", "T1", false},
    {"LblT1T2", "T2", false},
    {"LblT2T2", "T2", false},
    {"LblT2T1", "T1", false},
    {"LblT3T3", "T3", false},
    {"LblT3T4", "T4", false},
    {"LblT4T4", "T4", false},
    {"LblT4T3", "T3", false},
    {"LblT1Minus", "minus", false},
    {"LblT3Minus", "minus", false},
    {"LblT1Dot", "decimal point", false},
    {"LblT2Dot", "decimal point", false},
    {"LblT3Dot", "decimal point", false},
    {"LblT4Dot", "decimal point", false},
    {"LblT2DotDot", "colon", false},
    {"LblT4DotDot", "colon", false},
    {"LblT2L", "l", false},
    {"LblT4L", "l", false},
};

const Spoken* spokenOf(QStringView name) {
    for (const Spoken& entry : kSpoken)
        if (name == QLatin1StringView(entry.name))
            return &entry;
    return nullptr;
}

} // namespace

char unitLetter(TempUnit unit) {
    switch (unit) {
    case TempUnit::Fahrenheit:
        return 'F';
    case TempUnit::Kelvin:
        return 'K';
    case TempUnit::Celsius:
        break;
    }
    return 'C';
}

QString unitSymbol(TempUnit unit) {
    switch (unit) {
    case TempUnit::Fahrenheit:
        return QStringLiteral("°F");
    case TempUnit::Kelvin:
        return QStringLiteral("K");
    case TempUnit::Celsius:
        break;
    }
    return QStringLiteral("°C");
}

QString readingsText(const ReadingText& readings, int channelCount, TempUnit unit, QChar type) {
    QStringList parts;
    if (channelCount == 1 || channelCount == 2 || channelCount == 4) {
        const int column = unit == TempUnit::Celsius ? 0 : unit == TempUnit::Fahrenheit ? 1 : 2;
        for (int channel = 0; channel < channelCount; ++channel) {
            const QString value = readings[std::size_t(column * kChannels + channel)];
            if (value.isEmpty())
                continue;
            const bool mark = value.endsWith(QLatin1String("OL"));
            parts.append(QStringLiteral("T%1 %2")
                             .arg(channel + 1)
                             .arg(mark ? value : value + QLatin1Char(' ') + unitSymbol(unit)));
        }
    }
    if (!type.isNull())
        parts.append(QStringLiteral("type %1").arg(type));
    return parts.join(QStringLiteral(", "));
}

QString symbolSpokenName(QStringView annunciatorName) {
    const Spoken* entry = spokenOf(annunciatorName);
    return entry ? QString::fromUtf8(entry->spoken) : QString();
}

QStringList litSymbolNames(const DisplayState& state) {
    QStringList names;
    int batteryBars = 0;
    for (std::size_t i = 0; i < kAnnunciators.size(); ++i) {
        if (!state.annunciators[i])
            continue;
        const QLatin1StringView name(kAnnunciators[i].name);
        if (name.startsWith(QLatin1StringView("ImaBt"))) {
            ++batteryBars;
            continue;
        }
        const Spoken* entry = spokenOf(QString(name));
        if (entry && entry->listed)
            names.append(QString::fromUtf8(entry->spoken));
    }
    if (batteryBars > 0)
        names.prepend(QStringLiteral("battery %1 of 4").arg(batteryBars));
    return names;
}

} // namespace live
