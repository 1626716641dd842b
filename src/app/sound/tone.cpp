#include "app/sound/tone.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace app {

namespace {

constexpr double kAmplitude = 0.5; // of full scale: loud enough, never clipped
constexpr int kFadeMs = 5;
constexpr int kFeedMs = 20;

template <typename T> void put(QByteArray& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

} // namespace

// Owns the sound output on the tone's thread and feeds it the queued samples.
class ToneWorker : public QObject {
public:
    explicit ToneWorker(Tone* tone)
        : m_tone(tone) {}
    ~ToneWorker() override { close(); }

    void play() {
        if (!m_sink && !open()) {
            fallBack(1);
            return;
        }
        if (m_queue.size() >= Tone::kMaxQueued * m_samples.size())
            return;
        m_queue.append(m_samples);
        feed();
    }

private:
    bool open() {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return false;
        const QAudioFormat format = device.preferredFormat();
        m_samples = Tone::samples(format);
        if (m_samples.isEmpty())
            return false;
        m_sink = new QAudioSink(device, format, this);
        connect(m_sink, &QAudioSink::stateChanged, this, &ToneWorker::stateChanged);
        m_out = m_sink->start();
        if (!m_out || m_sink->error() != QAudio::NoError) {
            close();
            return false;
        }
        if (!m_feeder) {
            m_feeder = new QTimer(this);
            m_feeder->setInterval(kFeedMs);
            connect(m_feeder, &QTimer::timeout, this, &ToneWorker::feed);
        }
        return true;
    }

    void close() {
        if (m_feeder)
            m_feeder->stop();
        if (m_sink) {
            m_sink->disconnect(this);
            m_sink->stop();
            delete m_sink;
        }
        m_sink = nullptr;
        m_out = nullptr;
        m_queue.clear();
    }

    void feed() {
        if (!m_out)
            return;
        const qsizetype room = std::min(m_sink->bytesFree(), m_queue.size());
        if (room > 0) {
            const qint64 written = m_out->write(m_queue.constData(), room);
            if (written > 0) {
                m_queue.remove(0, written);
                m_playing = true;
            }
        }
        if (m_queue.isEmpty())
            m_feeder->stop();
        else if (!m_feeder->isActive())
            m_feeder->start();
    }

    void stateChanged(QAudio::State state) {
        if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
            // The device went away: what was still to play is beeped instead.
            const qsizetype left = m_queue.size();
            const int tones = int((left + m_samples.size() - 1) / m_samples.size());
            QTimer::singleShot(0, this, [this] { close(); });
            fallBack(std::max(tones, 1));
            return;
        }
        // Idle with nothing queued: the output ran dry, every tone has played.
        if (state == QAudio::IdleState && m_queue.isEmpty() && m_playing) {
            m_playing = false;
            Tone* tone = m_tone;
            QMetaObject::invokeMethod(
                tone, [tone] { emit tone->finished(); }, Qt::QueuedConnection);
        }
    }

    void fallBack(int tones) {
        Tone* tone = m_tone;
        QMetaObject::invokeMethod(
            tone, [tone, tones] { tone->fallBack(tones); }, Qt::QueuedConnection);
    }

    Tone* m_tone;
    QAudioSink* m_sink = nullptr;
    QIODevice* m_out = nullptr;
    QTimer* m_feeder = nullptr;
    QByteArray m_samples; // one tone and its pause
    QByteArray m_queue;
    bool m_playing = false; // samples written since the output last ran dry
};

Tone::Tone(QObject* parent)
    : QObject(parent)
    , m_worker(new ToneWorker(this)) {
    m_thread.setObjectName(QStringLiteral("tone"));
    m_worker->moveToThread(&m_thread);
}

Tone::~Tone() {
    if (m_thread.isRunning()) {
        // The sound output dies on the thread that made it.
        ToneWorker* worker = m_worker;
        QMetaObject::invokeMethod(
            worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    } else {
        delete m_worker;
    }
}

void Tone::play() {
    if (!m_thread.isRunning())
        m_thread.start();
    ToneWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->play(); }, Qt::QueuedConnection);
}

void Tone::fallBack(int tones) {
    if (!m_reported) {
        m_reported = true;
        emit noSoundDevice();
    }
    if (m_systemBeep)
        for (int i = 0; i < tones; ++i)
            m_systemBeep();
    emit finished();
}

QByteArray Tone::samples(const QAudioFormat& format) {
    const int rate = format.sampleRate();
    const int channels = format.channelCount();
    if (rate < 2 * kFrequencyHz || channels < 1)
        return {};
    const qsizetype toneFrames = qsizetype(rate) * kToneMs / 1000;
    const qsizetype allFrames = qsizetype(rate) * (kToneMs + kPauseMs) / 1000;
    const double fadeFrames = double(rate) * kFadeMs / 1000;
    QByteArray out;
    out.reserve(allFrames * format.bytesPerFrame());
    for (qsizetype i = 0; i < allFrames; ++i) {
        double value = 0;
        if (i < toneFrames) {
            const double fade =
                std::min({1.0, double(i) / fadeFrames, double(toneFrames - 1 - i) / fadeFrames});
            value = kAmplitude * fade *
                    std::sin(2 * std::numbers::pi * kFrequencyHz * double(i) / rate);
        }
        for (int c = 0; c < channels; ++c) {
            switch (format.sampleFormat()) {
            case QAudioFormat::UInt8:
                put(out, quint8(std::lround(128 + value * 127)));
                break;
            case QAudioFormat::Int16:
                put(out, qint16(std::lround(value * 32767)));
                break;
            case QAudioFormat::Int32:
                put(out, qint32(std::lround(value * 2147483647.0)));
                break;
            case QAudioFormat::Float:
                put(out, float(value));
                break;
            default:
                return {};
            }
        }
    }
    return out;
}

} // namespace app
