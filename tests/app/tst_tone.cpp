// The alarm tone's samples: 200 ms of a 2000 Hz sine at half scale, then 40 ms of silence, in
// each sample format an output may ask for, starting and ending without a click. (The sound
// itself is checked by ear with `qr512 beep`; the program's tests count tones through a fake
// platform.)

#include "app/window/tone.h"

#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(QAudioFormat::SampleFormat)

namespace {

// Channel 0 of every frame, scaled to -1..1.
std::vector<double> firstChannel(const QByteArray& data, const QAudioFormat& format) {
    std::vector<double> out;
    const int frame = format.bytesPerFrame();
    for (qsizetype at = 0; at + frame <= data.size(); at += frame)
        out.push_back(format.normalizedSampleValue(data.constData() + at));
    return out;
}

} // namespace

class TestTone : public QObject {
    Q_OBJECT
private slots:
    void samplesAreTheToneThenSilence_data();
    void samplesAreTheToneThenSilence();
    void formatsItCannotWriteGiveNothing();
};

void TestTone::samplesAreTheToneThenSilence_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QAudioFormat::SampleFormat>("sampleFormat");
    QTest::newRow("48000 mono int16") << 48000 << 1 << QAudioFormat::Int16;
    QTest::newRow("44100 stereo int16") << 44100 << 2 << QAudioFormat::Int16;
    QTest::newRow("48000 stereo float") << 48000 << 2 << QAudioFormat::Float;
    QTest::newRow("8000 mono uint8") << 8000 << 1 << QAudioFormat::UInt8;
    QTest::newRow("96000 mono int32") << 96000 << 1 << QAudioFormat::Int32;
}

void TestTone::samplesAreTheToneThenSilence() {
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(QAudioFormat::SampleFormat, sampleFormat);
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(channels);
    format.setSampleFormat(sampleFormat);
    const QByteArray data = app::Tone::samples(format);
    // 240 ms of frames.
    QCOMPARE(data.size(), qsizetype(rate) * 240 / 1000 * format.bytesPerFrame());
    const std::vector<double> wave = firstChannel(data, format);
    const size_t toneEnd = size_t(rate) * 200 / 1000;
    const double step = sampleFormat == QAudioFormat::UInt8 ? 0.02 : 0.001;

    int crossings = 0;
    double peak = 0;
    for (size_t i = 1; i < toneEnd; ++i) {
        crossings += (wave[i - 1] < 0) != (wave[i] < 0);
        peak = std::max(peak, std::abs(wave[i]));
    }
    // 2000 Hz for 0.2 s crosses zero 800 times.
    QVERIFY2(std::abs(crossings - 800) <= 2, qPrintable(QString::number(crossings)));
    QVERIFY(std::abs(peak - 0.5) < 0.02);
    // Fades at both ends, silence after.
    QVERIFY(std::abs(wave.front()) < step);
    QVERIFY(std::abs(wave[toneEnd - 1]) < step + 0.01);
    for (size_t i = toneEnd; i < wave.size(); ++i)
        QVERIFY(std::abs(wave[i]) < step);
    // Every channel carries the same sound.
    if (channels == 2)
        QCOMPARE(data.mid(format.bytesPerFrame() * 100, format.bytesPerSample()),
                 data.mid(format.bytesPerFrame() * 100 + format.bytesPerSample(),
                          format.bytesPerSample()));
}

void TestTone::formatsItCannotWriteGiveNothing() {
    QAudioFormat format;
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    format.setSampleRate(3000); // below twice the tone's frequency
    QVERIFY(app::Tone::samples(format).isEmpty());
    format.setSampleRate(48000);
    format.setSampleFormat(QAudioFormat::Unknown);
    QVERIFY(app::Tone::samples(format).isEmpty());
}

QTEST_GUILESS_MAIN(TestTone)
#include "tst_tone.moc"
