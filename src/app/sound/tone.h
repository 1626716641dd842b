#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QObject>
#include <QThread>

#include <functional>

namespace app {

class ToneWorker;

// The alarm tone: a 2000 Hz sine of 200 ms on the default sound output. The sound is fed from
// a thread of its own, so play() returns at once and the window never waits for it; tones
// asked for in a row follow each other, each with a short pause after it so that two tones
// are heard as two. Without a sound device (or when it fails) the system beep stands in where
// there is one, and noSoundDevice() is emitted the first time.
class Tone : public QObject {
    Q_OBJECT
public:
    static constexpr int kFrequencyHz = 2000;
    static constexpr int kToneMs = 200;
    static constexpr int kPauseMs = 40; // four tones and their pauses fit in one second
    // Tones waiting beyond this many are dropped: a stalled device must not pile them up.
    static constexpr int kMaxQueued = 8;

    explicit Tone(QObject* parent = nullptr);
    ~Tone() override;

    void play();
    // What stands in for a tone without a sound device (the desktop's beep); none by default.
    void setSystemBeep(std::function<void()> beep) { m_systemBeep = std::move(beep); }

    // One tone and the pause after it as raw samples in `format` (any channel count; 8, 16
    // and 32-bit integer or float samples), with short fades so it starts and ends without a
    // click. Empty for a format it cannot write.
    static QByteArray samples(const QAudioFormat& format);

signals:
    void noSoundDevice();
    // Every tone asked for so far has been played (or beeped).
    void finished();

private:
    friend class ToneWorker;
    void fallBack(int tones);

    QThread m_thread;
    ToneWorker* m_worker = nullptr;
    bool m_reported = false;
    std::function<void()> m_systemBeep;
};

} // namespace app
