#include "recording/recorder.h"

#include "base/numbers.h"
#include "live/livepoll.h"

#include "recording/datafile.h"

#include <QDir>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace recording {

namespace {

// Whole numbers beyond this are no longer exact in a double.
constexpr double kLargestExactCount = 9007199254740992.0; // 2^53

// A file must keep its format whatever the live display said. Before any frame carried a
// valid type there is none to write: a blank keeps every column where the reader expects it.
char fileTypeLetter(char type) {
    return type != 0 && std::strchr("KJETNRS", type) != nullptr ? type : ' ';
}

QString latin1(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

} // namespace

std::optional<qint64> parseRecordCount(const QString& text) {
    const std::optional<double> value = base::parseNumber(text);
    if (!value)
        return std::nullopt;
    const double rounded = base::roundHalfEven(std::clamp(*value, 1.0, kLargestExactCount));
    return std::max<qint64>(1, qint64(rounded));
}

Sample sampleOf(const live::LiveState& live) {
    Sample sample;
    sample.raw = live.raw();
    sample.type = live.typeLetter().toLatin1();
    sample.channelCount = live.channelCount();
    sample.displayUnit = live.displayUnit();
    sample.lost = live.lost();
    return sample;
}

Recorder::Recorder(Clock now, SampleSource currentSample, QObject* parent)
    : QObject(parent)
    , m_now(std::move(now))
    , m_currentSample(std::move(currentSample))
    , m_directory(QDir::currentPath())
    , m_sampleStamp(stampFromDateTime(m_now())) {}

Recorder::~Recorder() {
    // The owner finishes a running recording before it goes (the window's close does, like
    // "Save"); should one still run, its rows stay in the working file and its lock marks them
    // as unfinished, so the next recording moves them aside instead of replacing them.
    if (m_recording && m_guard) {
        QString ignored;
        m_writer.updateWorkFile(m_rows, &ignored);
        m_writer.closeWorkFile(&ignored);
        m_guard->leaveMarked();
    }
}

void Recorder::setWorkingDirectory(const QString& directory) {
    m_directory = directory;
}

void Recorder::setFileOpener(FileOpener opener) {
    m_writer.setFileOpener(std::move(opener));
}

void Recorder::setSamplingTime(int seconds) {
    m_samplingTime = std::clamp(seconds, kMinSamplingTime, kMaxSamplingTime);
    m_sampleCounter = 0;
}

QString Recorder::stopAtText() const {
    return latin1(stampText(m_stopAt));
}

QString Recorder::sampleStampText() const {
    return latin1(stampText(m_sampleStamp));
}

QString Recorder::finalFilePath() const {
    return QDir(m_directory).filePath(m_finalFileName);
}

QString Recorder::workFilePath() const {
    return QDir(m_directory).filePath(QString::fromLatin1(kWorkFileName));
}

bool Recorder::startByRecords(qint64 target) {
    if (m_recording)
        return false;
    m_recordTarget = std::max<qint64>(1, target);
    return start(StopMode::Records);
}

bool Recorder::startByTime(const QDate& date, const QTime& time) {
    if (m_recording)
        return false;
    m_stopAt = stampFromCivil(date, time);
    return start(StopMode::Time);
}

bool Recorder::start(StopMode mode) {
    const QDateTime now = m_now();
    const Sample sample = m_currentSample();
    // One width for every line of the file: the plot loader reads the count from the header
    // and picks values by position. Without a decoded frame yet, the full four channels.
    const int channelCount =
        isSupportedChannelCount(sample.channelCount) ? sample.channelCount : live::kChannels;

    const QString workName = QString::fromLatin1(kWorkFileName);
    // Held before the file is touched: a second recording in this folder (here or in another
    // instance of the program) must not truncate the rows of a running one.
    auto guard = std::make_unique<WorkFileGuard>(workFilePath());
    if (!guard->acquired()) {
        if (!guard->refusal().isEmpty())
            emit errorOccurred(QStringLiteral("Recording not started: %1").arg(guard->refusal()));
        else
            emit errorOccurred(QStringLiteral("Recording not started: another recording "
                                              "(process %1) is writing %2 in %3. Stop it first, "
                                              "or record into another folder.")
                                   .arg(QString::number(guard->holderPid()), workName,
                                        QDir::toNativeSeparators(m_directory)));
        return false;
    }
    if (const QString notice = guard->takeOverNotice(); !notice.isEmpty())
        emit noticeOccurred(notice);

    QString why;
    if (!m_writer.startWorkFile(workFilePath(), channelCount, &why)) {
        emit errorOccurred(
            QStringLiteral("Recording not started: could not write %1: %2.").arg(workName, why));
        return false;
    }

    m_guard = std::move(guard);
    m_stopMode = mode;
    m_channelCount = channelCount;
    m_finalFileName = now.toString(QStringLiteral("yyyyMMddhhmmss")) + QStringLiteral(".txt");
    m_recordCount = 0;
    m_workTroubleSaid = false;
    m_paused = false;
    m_rows.clear();
    if (mode == StopMode::Records)
        m_rows.reserve(std::size_t(std::min<qint64>(m_recordTarget, kMaxRecords)));
    m_recording = true;
    m_sampleStamp = stampFromDateTime(now);
    m_sampleCounter = 0;

    setFileNameText(m_finalFileName);
    emit recordingChanged(true);
    return true;
}

void Recorder::tick() {
    const bool due = m_sampleCounter == 0 || m_sampleCounter >= m_samplingTime;
    if (!due) {
        ++m_sampleCounter;
        return;
    }
    // Row times are counted, not read from the clock, so they advance by exactly one
    // interval per row.
    m_sampleStamp += m_samplingTime;
    if (!m_recording) {
        setFileNameText(QString());
        setCountText(QString());
        setStatusText(QString());
        m_recordCount = 0;
    } else if (endsBeforeThisSample()) {
        finish();
    } else if (const Sample sample = m_currentSample(); sample.lost) {
        pause(true);
    } else {
        pause(false);
        recordSample(sample);
    }
    m_sampleCounter = 1;
}

bool Recorder::endsBeforeThisSample() const {
    if (m_recordCount >= kMaxRecords)
        return true;
    if (m_stopMode == StopMode::Records)
        return m_recordCount >= m_recordTarget;
    // Equal is not later: the sample at the stop time itself is still recorded.
    return m_sampleStamp > m_stopAt;
}

void Recorder::pause(bool paused) {
    if (paused == m_paused)
        return;
    m_paused = paused;
    // A row is a measurement: no reading, no row. The counted stamps go on, so the file shows
    // the gap.
    if (paused) {
        setStatusText(QStringLiteral("Paused"));
        emit pauseChanged(true, QStringLiteral("The meter is not answering: rows are paused "
                                               "until it answers again."));
    } else {
        emit pauseChanged(false, QStringLiteral("The meter answers again: rows resume."));
    }
}

void Recorder::recordSample(const Sample& sample) {
    m_rows.push_back(DataRow{m_sampleStamp, sample.raw, fileTypeLetter(sample.type)});
    ++m_recordCount;
    updateWorkFile();

    if (m_stopMode == StopMode::Records) {
        const QString target = QString::number(m_recordTarget);
        setCountText(QString::number(m_recordCount).rightJustified(target.size(), u' ') +
                     QStringLiteral(" / ") + target);
    } else {
        setCountText(sampleStampText() + QStringLiteral("  ~  ") + stopAtText());
    }
    setStatusText(QStringLiteral("Recording"));
    emit rowRecorded(m_recordCount);
}

void Recorder::updateWorkFile() {
    QString why;
    if (m_writer.updateWorkFile(m_rows, &why) || m_workTroubleSaid)
        return;
    // Once per recording: a full disk fails every tick until there is room again, and every
    // row is safe in memory meanwhile.
    m_workTroubleSaid = true;
    emit warningOccurred(QStringLiteral("Could not write %1: %2. The recording goes on and "
                                        "keeps every row; they go into %3 at the end.")
                             .arg(QString::fromLatin1(kWorkFileName), why, m_finalFileName));
}

void Recorder::finishRecording() {
    finish();
}

void Recorder::finish() {
    if (!m_recording)
        return;
    m_recording = false;
    // The working file is the fallback should the final file fail: as complete as it can be.
    // The guard stays until the rows are safe, so no other writer slips in between.
    QString workError;
    m_writer.updateWorkFile(m_rows, &workError);
    setStatusText(QString());
    setCountText(QString());
    setFileNameText(QString());
    emit recordingChanged(false);

    QString finalError;
    const bool saved = m_writer.writeFinalFile(finalFilePath(), m_rows, m_channelCount,
                                               m_currentSample().displayUnit, &finalError);
    QString message;
    if (!saved) {
        // The failed final file gave its space back: one more try to complete the working
        // file, which is now the only copy of the rows. Then out of the way of the next
        // recording or memory save, which would replace it.
        if (m_writer.updateWorkFile(m_rows, &workError))
            workError.clear();
        m_writer.closeWorkFile(&workError);
        QString moveError;
        QString kept = keepUnfinishedWork(workFilePath(), &moveError);
        if (!moveError.isEmpty())
            m_guard->leaveMarked(); // the next recording moves it aside, or says why not
        if (kept.isEmpty())
            kept = workFilePath();
        message = QStringLiteral("Recording stopped: could not write %1: %2. %3")
                      .arg(m_finalFileName, finalError, keptRowsText(workError, kept));
    } else {
        QString ignored;
        m_writer.closeWorkFile(&ignored); // the final file holds every row
    }
    const int records = m_recordCount;
    m_recordCount = 0;
    std::vector<DataRow>().swap(m_rows);
    m_guard.reset();

    if (saved)
        emit finished(finalFilePath(), records);
    else
        emit errorOccurred(message);
}

QString Recorder::keptRowsText(const QString& workError, const QString& workPath) const {
    const qsizetype onDisk = m_writer.rowsInWorkFile();
    const QString where = QDir::toNativeSeparators(workPath);
    if (m_rows.empty())
        return QStringLiteral("No rows were recorded.");
    if (onDisk == qsizetype(m_rows.size()))
        return QStringLiteral("The rows recorded so far are kept in %1.").arg(where);
    const QString lost = QStringLiteral("rows %1 to %2 could not be written anywhere (%3: %4).")
                             .arg(QString::number(onDisk + 1), QString::number(m_rows.size()),
                                  QString::fromLatin1(kWorkFileName), workError);
    if (onDisk == 0)
        return QStringLiteral("No rows could be kept: ") + lost;
    return QStringLiteral("Rows 1 to %1 are kept in %2; ").arg(QString::number(onDisk), where) +
           lost;
}

void Recorder::setFileNameText(const QString& text) {
    if (text != m_fileNameText) {
        m_fileNameText = text;
        emit fileNameTextChanged(text);
    }
}

void Recorder::setCountText(const QString& text) {
    if (text != m_countText) {
        m_countText = text;
        emit countTextChanged(text);
    }
}

void Recorder::setStatusText(const QString& text) {
    if (text != m_statusText) {
        m_statusText = text;
        emit statusTextChanged(text);
    }
}

} // namespace recording
