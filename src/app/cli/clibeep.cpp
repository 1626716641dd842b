// qr512 beep: plays the alarm tone, to check by ear that the sound output works.

#include "app/cli/clicommon.h"
#include "app/sound/tone.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

namespace app {

namespace {
// Longer than any output's buffering: the command ends even when no end is reported.
constexpr int kGraceMs = 3000;
} // namespace

int runBeep(QCoreApplication& app, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays the alarm tone (2000 Hz, 200 ms) on the default sound output. "
                       "Exit status 1 when no sound device was found."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("count"), QStringLiteral("Play N tones in a row (1 to 8)."),
                      QStringLiteral("N"), QStringLiteral("1")});
    if (const auto done = parseSubcommand(parser, args, QStringLiteral("beep")))
        return *done;
    QString error;
    const std::optional<int> count =
        positiveInt(parser, QStringLiteral("count"), 1, Tone::kMaxQueued, &error);
    if (!count) {
        printErr(QStringLiteral("qr512 beep: ") + error);
        return kUsage;
    }
    Tone tone;
    bool noDevice = false;
    QObject::connect(&tone, &Tone::noSoundDevice, &app, [&] { noDevice = true; });
    QObject::connect(&tone, &Tone::finished, &app, &QCoreApplication::quit);
    QTimer::singleShot(*count * (Tone::kToneMs + Tone::kPauseMs) + kGraceMs, &app,
                       &QCoreApplication::quit);
    for (int i = 0; i < *count; ++i)
        tone.play();
    app.exec();
    if (noDevice) {
        printErr(QStringLiteral("qr512 beep: no sound device found"));
        return kFailure;
    }
    printOut(QStringLiteral("played %1 tone(s) of %2 Hz, %3 ms")
                 .arg(*count)
                 .arg(Tone::kFrequencyHz)
                 .arg(Tone::kToneMs));
    return kDone;
}

} // namespace app
