#include "sim/simoptions.h"

#include <QCommandLineParser>

#include <cmath>

namespace sim {

namespace {

// Generous ceilings for the fault timings: anything longer is a typo, not a test case.
constexpr double kMaxSeconds = 60.0;
constexpr int kMaxEvery = 1000000;

bool readInt(const QCommandLineParser& parser, const QString& name, int low, int high, int* out,
             QString* error) {
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const QString text = parser.value(name);
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high) {
        *error =
            QStringLiteral("invalid value \"%1\" for --%2: expected a whole number from %3 to %4")
                .arg(text, name)
                .arg(low)
                .arg(high);
        return false;
    }
    *out = v;
    return true;
}

bool readSeconds(const QCommandLineParser& parser, const QString& name, double* out,
                 QString* error) {
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const QString text = parser.value(name);
    const double v = text.toDouble(&ok);
    if (!ok || !(v >= 0.0) || v > kMaxSeconds) {
        *error = QStringLiteral("invalid value \"%1\" for --%2: expected seconds from 0 to %3")
                     .arg(text, name)
                     .arg(kMaxSeconds);
        return false;
    }
    *out = v;
    return true;
}

bool readLetter(const QCommandLineParser& parser, const QString& name, const QString& allowed,
                char* out, QString* error) {
    if (!parser.isSet(name))
        return true;
    const QString text = parser.value(name).trimmed().toUpper();
    if (text.size() != 1 || !allowed.contains(text)) {
        QStringList letters;
        for (QChar c : allowed)
            letters << QString(c);
        *error = QStringLiteral("invalid value \"%1\" for --%2: expected one of %3")
                     .arg(parser.value(name), name, letters.join(QLatin1Char('|')));
        return false;
    }
    *out = text.at(0).toLatin1();
    return true;
}

// "CH=OL", "CH=-OL" or "CH=DEGREES" (Celsius, '.' as the decimal point).
bool readPinned(const QCommandLineParser& parser, MeterConfig* config, QString* error) {
    for (const QString& item : parser.values(QStringLiteral("reading"))) {
        const QStringList parts = item.split(u'=');
        bool ok = parts.size() == 2;
        const int channel = ok ? parts[0].trimmed().toInt(&ok) : 0;
        ok = ok && channel >= 1 && channel <= 4;
        quint16 raw = 0;
        if (ok) {
            const QString value = parts[1].trimmed().toUpper();
            if (value == QLatin1String("OL")) {
                raw = 65535;
            } else if (value == QLatin1String("-OL")) {
                raw = 0;
            } else {
                // Raw words count tenths of a degree Fahrenheit from -436 F.
                const double celsius = value.toDouble(&ok);
                const double word = std::round(celsius * 18.0 + 4680.0);
                ok = ok && word >= 1 && word <= 65534;
                raw = ok ? quint16(word) : 0;
            }
        }
        if (!ok) {
            *error = QStringLiteral("invalid value \"%1\" for --reading: expected CH=OL, CH=-OL "
                                    "or CH=DEGREES (channel 1..4, -260 to 3380 degrees C)")
                         .arg(item);
            return false;
        }
        config->pinned[size_t(channel - 1)] = raw;
    }
    return true;
}

} // namespace

void addSimOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Virtual QR512 meter on a pseudo-terminal. Prints the device path, then answers the "
        "meter protocol until interrupted."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("channels"), QStringLiteral("Number of channels: 1, 2 or 4."),
         QStringLiteral("N"), QStringLiteral("4")},
        {QStringLiteral("type"), QStringLiteral("Thermocouple type: K, J, E, T, N, R or S."),
         QStringLiteral("TYPE"), QStringLiteral("K")},
        {QStringLiteral("unit"), QStringLiteral("Display unit: C, F or K."), QStringLiteral("UNIT"),
         QStringLiteral("C")},
        {QStringLiteral("records"), QStringLiteral("Records in memory at start (0..16800)."),
         QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("interval"),
         QStringLiteral("The meter's sampling interval in seconds (1..86400)."),
         QStringLiteral("S"), QStringLiteral("2")},
        {QStringLiteral("fixed"), QStringLiteral("Readings stay fixed (no drift).")},
        {QStringLiteral("reading"),
         QStringLiteral("Pin channel CH to OL (open thermocouple), -OL (under range) or a "
                        "temperature in degrees C, e.g. 3=OL or 1=25.5. Repeatable."),
         QStringLiteral("CH=VALUE")},
        {QStringLiteral("pace"),
         QStringLiteral("Reply speed: wire (38400 baud, 10 bits a byte; a full memory takes "
                        "83 s) or none (at once)."),
         QStringLiteral("MODE"), QStringLiteral("wire")},
        {QStringLiteral("silent"), QStringLiteral("Fault: answer nothing at all.")},
        {QStringLiteral("wrong-handshake"),
         QStringLiteral("Fault: answer the handshake with three wrong bytes.")},
        {QStringLiteral("short-every"), QStringLiteral("Fault: cut every Nth reply short."),
         QStringLiteral("N")},
        {QStringLiteral("garble-every"),
         QStringLiteral("Fault: break the first or last byte of every Nth fixed-length reply."),
         QStringLiteral("N")},
        {QStringLiteral("byte-gap"), QStringLiteral("Fault: seconds between the bytes of a reply."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("unplug-after"),
         QStringLiteral("Fault: unplug (close the device) after N commands."), QStringLiteral("N")},
        {QStringLiteral("reply-delay"),
         QStringLiteral("Fault: extra seconds before every reply starts."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("damaged-frames"),
         QStringLiteral("Fault: answer the handshake, but end every display frame in a wrong "
                        "byte.")},
        {QStringLiteral("silent-after"),
         QStringLiteral("Fault: fall silent SECONDS after the first command (see --silent-for)."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("silent-for"),
         QStringLiteral("Fault: answer again after SECONDS of --silent-after (default: never)."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("link"),
         QStringLiteral("Also reach the pseudo-terminal through this symbolic link (replaced "
                        "if it exists, removed at the end)."),
         QStringLiteral("PATH")},
    });
}

bool parseSimOptions(QCommandLineParser& parser, const QStringList& args, SimOptions* options,
                     QString* error) {
    if (!parser.parse(args)) {
        *error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error =
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return false;
    }
    SimOptions o;
    o.helpRequested = parser.isSet(QStringLiteral("help"));
    if (parser.isSet(QStringLiteral("channels"))) {
        const QString text = parser.value(QStringLiteral("channels"));
        if (text != QLatin1String("1") && text != QLatin1String("2") &&
            text != QLatin1String("4")) {
            *error =
                QStringLiteral("invalid value \"%1\" for --channels: expected 1, 2 or 4").arg(text);
            return false;
        }
        o.config.channels = text.toInt();
    }
    if (!readLetter(parser, QStringLiteral("type"), QStringLiteral("KJETNRS"), &o.config.type,
                    error) ||
        !readLetter(parser, QStringLiteral("unit"), QStringLiteral("CFK"), &o.config.unit, error) ||
        !readInt(parser, QStringLiteral("records"), 0, VirtualMeter::kCapacity,
                 &o.config.storedRecords, error) ||
        !readInt(parser, QStringLiteral("interval"), 1, VirtualMeter::kMaxInterval,
                 &o.config.intervalSeconds, error) ||
        !readInt(parser, QStringLiteral("short-every"), 0, kMaxEvery, &o.faults.shortEvery,
                 error) ||
        !readInt(parser, QStringLiteral("garble-every"), 0, kMaxEvery, &o.faults.garbleEvery,
                 error) ||
        !readInt(parser, QStringLiteral("unplug-after"), 0, kMaxEvery, &o.faults.unplugAfter,
                 error) ||
        !readSeconds(parser, QStringLiteral("byte-gap"), &o.faults.byteGap, error) ||
        !readSeconds(parser, QStringLiteral("reply-delay"), &o.faults.replyDelay, error) ||
        !readSeconds(parser, QStringLiteral("silent-after"), &o.silentAfter, error) ||
        !readSeconds(parser, QStringLiteral("silent-for"), &o.silentFor, error) ||
        !readPinned(parser, &o.config, error))
        return false;
    if (parser.isSet(QStringLiteral("pace"))) {
        const QString pace = parser.value(QStringLiteral("pace"));
        if (pace != QLatin1String("wire") && pace != QLatin1String("none")) {
            *error =
                QStringLiteral("invalid value \"%1\" for --pace: expected wire or none").arg(pace);
            return false;
        }
        o.config.wirePaced = pace == QLatin1String("wire");
    }
    if (parser.isSet(QStringLiteral("silent-for")) &&
        !parser.isSet(QStringLiteral("silent-after"))) {
        *error = QStringLiteral("--silent-for needs --silent-after");
        return false;
    }
    if (!parser.isSet(QStringLiteral("silent-for")))
        o.silentFor = -1; // for good
    o.linkPath = parser.value(QStringLiteral("link"));
    o.config.drift = !parser.isSet(QStringLiteral("fixed"));
    o.faults.silent = parser.isSet(QStringLiteral("silent"));
    o.faults.wrongHandshake = parser.isSet(QStringLiteral("wrong-handshake"));
    o.faults.damagedFrames = parser.isSet(QStringLiteral("damaged-frames"));
    *options = o;
    return true;
}

} // namespace sim
