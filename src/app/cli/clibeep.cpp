// qr512 beep: plays the alarm tone, to check by ear that the sound output works.

#include "app/cli/clisubcommand.h"
#include "app/sound/tone.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

namespace app {

namespace {

// Longer than any output's buffering: the command ends even when no end is reported.
constexpr int kGraceMs = 3000;

class BeepCommand : public Subcommand {
public:
    BeepCommand()
        : Subcommand(QStringLiteral("beep"), Needs::Nothing,
                     QStringLiteral("Plays the alarm tone (2000 Hz, 200 ms) on the default sound "
                                    "output. Exit status 1 when no sound device was found."),
                     {{QStringLiteral("count"), QStringLiteral("Play N tones in a row (1 to 8)."),
                       QStringLiteral("N"), QStringLiteral("1")}}) {}

private:
    bool check(QString* error) override {
        m_count =
            positiveInt(parser(), QStringLiteral("count"), 1, Tone::kMaxQueued, error).value_or(0);
        return m_count > 0;
    }
    int execute() override {
        Tone tone;
        bool noDevice = false;
        QObject::connect(&tone, &Tone::noSoundDevice, &app(), [&] { noDevice = true; });
        QObject::connect(&tone, &Tone::finished, &app(), &QCoreApplication::quit);
        QTimer::singleShot(m_count * (Tone::kToneMs + Tone::kPauseMs) + kGraceMs, &app(),
                           &QCoreApplication::quit);
        for (int i = 0; i < m_count; ++i)
            tone.play();
        app().exec();
        if (noDevice) {
            say(QStringLiteral("no sound device found"));
            return kFailure;
        }
        printOut(QStringLiteral("played %1 of %2 Hz, %3 ms")
                     .arg(countText(m_count, "tone", "tones"))
                     .arg(Tone::kFrequencyHz)
                     .arg(Tone::kToneMs));
        return kDone;
    }

    int m_count = 0;
};

} // namespace

int runBeep(QCoreApplication& app, const QStringList& args) {
    return BeepCommand().run(app, args);
}

} // namespace app
