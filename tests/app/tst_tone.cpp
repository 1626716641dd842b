// The alarm tone's samples: 200 ms of a 2000 Hz sine at half scale, then 40 ms of silence, in
// the sample formats an output may ask for; nothing for a format it cannot write. (The sound
// itself is checked by ear with `qr512 beep`; the program's tests count tones through a fake
// platform.)

#include "app/sound/tone.h"

#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(QAudioFormat::SampleFormat)

class TestTone : public QObject {
    Q_OBJECT
private slots:

    void samplesAreTheToneThenSilence_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QAudioFormat::SampleFormat>("sampleFormat");
        QTest::addColumn<bool>("written");
        QTest::newRow("48000 mono int16") << 48000 << 1 << QAudioFormat::Int16 << true;
        QTest::newRow("44100 stereo float") << 44100 << 2 << QAudioFormat::Float << true;
        QTest::newRow("8000 mono uint8") << 8000 << 1 << QAudioFormat::UInt8 << true;
        QTest::newRow("96000 stereo int32") << 96000 << 2 << QAudioFormat::Int32 << true;
        QTest::newRow("rate below twice 2000 Hz") << 3000 << 1 << QAudioFormat::Int16 << false;
        QTest::newRow("unknown format") << 48000 << 1 << QAudioFormat::Unknown << false;
    }

    void samplesAreTheToneThenSilence() {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(QAudioFormat::SampleFormat, sampleFormat);
        QFETCH(bool, written);
        QAudioFormat format;
        format.setSampleRate(rate);
        format.setChannelCount(channels);
        format.setSampleFormat(sampleFormat);
        const QByteArray data = app::Tone::samples(format);
        QCOMPARE(data.size(), written ? qsizetype(rate) * 240 / 1000 * format.bytesPerFrame() : 0);
        if (!written)
            return;
        // Every sample of every channel, scaled to -1..1.
        std::vector<double> wave;
        for (qsizetype at = 0; at < data.size(); at += format.bytesPerSample())
            wave.push_back(format.normalizedSampleValue(data.constData() + at));
        const size_t toneEnd = size_t(rate) * 200 / 1000 * channels;
        const double quiet = sampleFormat == QAudioFormat::UInt8 ? 0.02 : 0.001;
        int crossings = 0;
        double peak = 0;
        for (size_t i = channels; i < toneEnd; i += channels) {
            crossings += (wave[i - channels] < 0) != (wave[i] < 0);
            peak = std::max(peak, std::abs(wave[i]));
            QCOMPARE(wave[i + channels - 1], wave[i]); // each channel the same
        }
        // 2000 Hz for 0.2 s crosses zero 800 times; it fades in from silence and ends in it.
        QVERIFY2(std::abs(crossings - 800) <= 2, qPrintable(QString::number(crossings)));
        QVERIFY(std::abs(peak - 0.5) < 0.02);
        QVERIFY(std::abs(wave.front()) < quiet);
        for (size_t i = toneEnd; i < wave.size(); ++i)
            QVERIFY(std::abs(wave[i]) < quiet);
    }
};

QTEST_GUILESS_MAIN(TestTone)
#include "tst_tone.moc"
