#include "recording/recorder.h"

#include "base/numbers.h"

#include "recording/datafile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QMutex>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace recording {

namespace {

// Whole numbers beyond this are no longer exact in a double.
constexpr double kLargestExactCount = 9007199254740992.0; // 2^53

// The final file is formatted and written in pieces of about this size, so that ten days of
// rows never sit in memory as text next to the rows themselves.
constexpr qsizetype kWriteChunk = 1 << 20;

struct GuardRegistry {
    QMutex mutex;
    QSet<QString> held;
};

GuardRegistry& registry() {
    static GuardRegistry instance;
    return instance;
}

QString guardKey(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// A file must keep its format whatever the live display said; a frame without a known type
// (none decoded yet) is written as K, the type a fresh meter starts with.
char fileTypeLetter(char type) {
    return type != 0 && std::strchr("KJETNRS", type) != nullptr ? type : 'K';
}

QString latin1(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

std::unique_ptr<QFileDevice> openPlainFile(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    file->open(QIODevice::WriteOnly | QIODevice::Truncate);
    return file;
}

} // namespace

std::optional<qint64> parseRecordCount(const QString& text) {
    const std::optional<double> value = base::parseNumber(text);
    if (!value)
        return std::nullopt;
    const double rounded = base::roundHalfEven(std::clamp(*value, 1.0, kLargestExactCount));
    return std::max<qint64>(1, qint64(rounded));
}

WorkFileGuard::WorkFileGuard(const QString& path)
    : m_key(guardKey(path)) {
    GuardRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    if (r.held.contains(m_key)) {
        m_holderPid = QCoreApplication::applicationPid();
        return;
    }
    const QString lockPath = m_key + QStringLiteral(".lock");
    m_lock = std::make_unique<QLockFile>(lockPath);
    // A recording holds its file for days: only a dead holder makes the lock stale, never age.
    m_lock->setStaleLockTime(0);
    const bool lockLeftBehind = QFileInfo::exists(lockPath);
    if (m_lock->tryLock(0)) {
        m_previousHolderDied = lockLeftBehind;
    } else if (m_lock->error() == QLockFile::LockFailedError) {
        QString host;
        QString application;
        m_lock->getLockInfo(&m_holderPid, &host, &application);
        m_lock.reset();
        return;
    } else {
        // No lock file can be made here (a folder that is gone or read-only): then the working
        // file cannot be written either, and opening it says why.
        m_lock.reset();
    }
    m_acquired = true;
    r.held.insert(m_key);
}

WorkFileGuard::~WorkFileGuard() {
    if (!m_acquired)
        return;
    GuardRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.held.remove(m_key);
    if (m_lock)
        m_lock->unlock();
}

bool WorkFileGuard::isHeld(const QString& path) {
    const QString key = guardKey(path);
    {
        GuardRegistry& r = registry();
        QMutexLocker lock(&r.mutex);
        if (r.held.contains(key))
            return true;
    }
    QLockFile probe(key + QStringLiteral(".lock"));
    probe.setStaleLockTime(0);
    if (!probe.tryLock(0))
        return true;
    probe.unlock();
    return false;
}

QString keepUnfinishedWork(const QString& workFilePath, QString* error) {
    const QFileInfo work(workFilePath);
    if (!work.exists() || work.size() == 0)
        return {};
    const QString stem = QStringLiteral("QR512-unfinished-") +
                         work.lastModified().toString(QStringLiteral("yyyyMMddhhmmss"));
    const QDir dir = work.absoluteDir();
    QString target = dir.filePath(stem + QStringLiteral(".txt"));
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = dir.filePath(stem + QStringLiteral("-%1.txt").arg(n));
    QFile file(workFilePath);
    if (!file.rename(target)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    return target;
}

Recorder::Recorder(Clock now, SampleSource currentSample, QObject* parent)
    : QObject(parent)
    , m_now(std::move(now))
    , m_currentSample(std::move(currentSample))
    , m_openFile(openPlainFile)
    , m_directory(QDir::currentPath())
    , m_sampleStamp(stampFromDateTime(m_now())) {}

Recorder::~Recorder() {
    // Closing the window ends the program without a question; the rows stay in the working
    // file, which is closed (and so complete) here.
    closeWorkFile();
}

void Recorder::setWorkingDirectory(const QString& directory) {
    m_directory = directory;
}

void Recorder::setFileOpener(FileOpener opener) {
    m_openFile = opener ? std::move(opener) : FileOpener(openPlainFile);
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
    if (m_recording) {
        return false;
    }
    m_recordTarget = std::max<qint64>(1, target);
    return start(StopMode::Records);
}

bool Recorder::startByTime(const QDate& date, const QTime& time) {
    if (m_recording) {
        return false;
    }
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
        emit errorOccurred(QStringLiteral("Recording not started: another recording (process "
                                          "%1) is writing %2 in %3. Stop it first, or record "
                                          "into another folder.")
                               .arg(QString::number(guard->holderPid()), workName,
                                    QDir::toNativeSeparators(m_directory)));
        return false;
    }
    if (guard->previousHolderDied()) {
        QString why;
        const QString kept = keepUnfinishedWork(workFilePath(), &why);
        if (!why.isEmpty()) {
            emit errorOccurred(QStringLiteral("Recording not started: %1 holds the rows of an "
                                              "earlier recording that did not finish, and it "
                                              "could not be moved aside: %2.")
                                   .arg(workName, why));
            return false;
        }
        if (!kept.isEmpty())
            emit noticeOccurred(QStringLiteral("An earlier recording did not finish; its rows "
                                               "are kept in %1.")
                                    .arg(QDir::toNativeSeparators(kept)));
    }

    std::unique_ptr<QFileDevice> file = m_openFile(workFilePath());
    const QByteArray head = headerLine(channelCount) + separatorLine(channelCount);
    if (!file || !file->isOpen() || file->write(head) != head.size() || !file->flush()) {
        const QString reason = file ? file->errorString() : QStringLiteral("cannot be opened");
        if (file) {
            file->close();
        }
        emit errorOccurred(
            QStringLiteral("Recording not started: could not write %1: %2.").arg(workName, reason));
        return false;
    }

    m_workFile = std::move(file);
    m_guard = std::move(guard);
    m_stopMode = mode;
    m_channelCount = channelCount;
    m_finalFileName = now.toString(QStringLiteral("yyyyMMddhhmmss")) + QStringLiteral(".txt");
    m_recordCount = 0;
    m_rowsOnDisk = 0;
    m_syncClock.invalidate();
    m_rows.clear();
    if (mode == StopMode::Records) {
        m_rows.reserve(std::size_t(std::min<qint64>(m_recordTarget, kMaxRecords)));
    }
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
        finish(QString());
    } else {
        recordSample(m_currentSample());
    }
    m_sampleCounter = 1;
}

bool Recorder::endsBeforeThisSample() const {
    if (m_recordCount >= kMaxRecords) {
        return true;
    }
    if (m_stopMode == StopMode::Records) {
        return m_recordCount >= m_recordTarget;
    }
    // Equal is not later: the sample at the stop time itself is still recorded.
    return m_sampleStamp > m_stopAt;
}

void Recorder::recordSample(const Sample& sample) {
    const DataRow row{m_sampleStamp, sample.raw, fileTypeLetter(sample.type)};
    m_rows.push_back(row);
    ++m_recordCount;

    QByteArray line;
    appendDataLine(line, m_recordCount, row, m_channelCount);
    const bool written = writeToWorkFile(line);

    if (m_stopMode == StopMode::Records) {
        const QString target = QString::number(m_recordTarget);
        setCountText(QString::number(m_recordCount).rightJustified(target.size(), u' ') +
                     QStringLiteral(" / ") + target);
    } else {
        setCountText(sampleStampText() + QStringLiteral("  ~  ") + stopAtText());
    }
    setStatusText(QStringLiteral("Recording"));
    emit rowRecorded(m_recordCount);

    if (!written) {
        finish(m_workFile ? m_workFile->errorString() : QString());
    }
}

bool Recorder::writeToWorkFile(const QByteArray& bytes) {
    if (!m_workFile || !m_workFile->isOpen()) {
        return false;
    }
    // flush() hands the row to the operating system now, not when a buffer fills.
    if (m_workFile->write(bytes) != bytes.size() || !m_workFile->flush()) {
        return false;
    }
    ++m_rowsOnDisk;
    syncWorkFile();
    return true;
}

void Recorder::syncWorkFile() {
#ifdef Q_OS_UNIX
    // Down to the disk as well, so a power cut loses no more than a kill does. Rows come once
    // a second or slower; faster feeds (a benchmark) sync once a second.
    if (m_syncClock.isValid() && m_syncClock.elapsed() < 1000)
        return;
    const int handle = m_workFile->handle();
    if (handle >= 0)
        ::fdatasync(handle);
    m_syncClock.start();
#endif
}

void Recorder::finishRecording() {
    finish(QString());
}

void Recorder::finish(const QString& workError) {
    if (!m_recording) {
        return;
    }
    m_recording = false;
    // The guard stays until the rows are safe, so no other writer slips in between.
    if (m_workFile) {
        m_workFile->close();
        m_workFile.reset();
    }
    setStatusText(QString());
    setCountText(QString());
    setFileNameText(QString());
    emit recordingChanged(false);

    QString finalError;
    const bool saved = writeFinalFile(m_currentSample().displayUnit, finalError);
    const int records = m_recordCount;
    m_recordCount = 0;
    std::vector<DataRow>().swap(m_rows);

    const QString workName = QString::fromLatin1(kWorkFileName);
    const QString finalPath = QDir::toNativeSeparators(finalFilePath());
    QString workPath = QDir::toNativeSeparators(workFilePath());
    if (!saved && m_rowsOnDisk > 0) {
        // The working file is now the only copy of the rows: out of the way of the next
        // recording or memory save, which would replace it.
        const QString kept = keepUnfinishedWork(workFilePath(), nullptr);
        if (!kept.isEmpty())
            workPath = QDir::toNativeSeparators(kept);
    }
    QString message;
    if (!workError.isEmpty() && saved) {
        message = QStringLiteral("Recording stopped: could not write %1: %2. The rows recorded so "
                                 "far are kept in %3.")
                      .arg(workName, workError, finalPath);
    } else if (workError.isEmpty() && !saved) {
        message = QStringLiteral("Recording stopped: could not write %1: %2. The rows recorded so "
                                 "far are kept in %3.")
                      .arg(m_finalFileName, finalError, workPath);
    } else if (!saved) {
        const QString kept = m_rowsOnDisk > 0 ? QStringLiteral("Rows 1 to %1 are kept in %2.")
                                                    .arg(QString::number(m_rowsOnDisk), workPath)
                                              : QStringLiteral("No rows could be kept.");
        message = QStringLiteral("Recording stopped: could not write %1: %2, nor %3: %4. %5")
                      .arg(workName, workError, m_finalFileName, finalError, kept);
    }

    m_guard.reset();

    if (saved) {
        emit finished(finalFilePath(), records);
    }
    if (!message.isEmpty()) {
        emit errorOccurred(message);
    }
}

bool Recorder::writeFinalFile(live::TempUnit unit, QString& error) const {
    // Written under a temporary name and renamed when complete: a crash or a full disk never
    // leaves half a final file, nor destroys an older file of the same name.
    QSaveFile file(finalFilePath());
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    QByteArray chunk;
    chunk.reserve(kWriteChunk + 4096);
    const auto flushChunk = [&] {
        const bool ok = file.write(chunk) == chunk.size();
        chunk.resize(0);
        return ok;
    };
    bool ok = true;
    chunk.append(countLine(qint64(m_rows.size())));
    chunk.append(headerLine(m_channelCount));
    chunk.append(separatorLine(m_channelCount));
    int recordNumber = 0;
    for (const DataRow& row : m_rows) {
        appendDataLine(chunk, ++recordNumber, row, m_channelCount);
        if (chunk.size() >= kWriteChunk) {
            ok = flushChunk() && ok;
            if (!ok) {
                break;
            }
        }
    }
    if (ok) {
        chunk.append(trailerText(m_rows, m_channelCount, unit, TrailerLayout::Recording));
        ok = flushChunk();
    }
    if (!ok || !file.commit()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

void Recorder::closeWorkFile() {
    if (m_workFile) {
        m_workFile->close();
        m_workFile.reset();
    }
    m_guard.reset();
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
