#pragma once

// The PC recording: once a second the window's timer calls tick(), and while a recording runs
// every due tick adds one row of the live readings to the working file. When the recording
// ends the final file, named after the start time, is written with the count line first and
// the statistics last.
//
// Nothing recorded may be lost: each row is handed to the operating system as soon as it is
// recorded (a killed program leaves the rows in the working file), the rows are also kept in
// memory in compact form so the final file never depends on the working file, the final file
// appears under its name only when it is complete, and a write that fails stops the recording
// with one message that says where the rows went.

#include "live/framedecoder.h"
#include "recording/datarow.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFileDevice;
class QLockFile;

namespace recording {

constexpr int kMinSamplingTime = 1;
constexpr int kMaxSamplingTime = 86400;
// Shared with the memory save, which writes its file under the same name.
constexpr char kWorkFileName[] = "QR512.temp";

// What the live display showed last, as the recording needs it.
struct Sample {
    std::array<quint16, 4> raw{};
    char type = 'K';
    int channelCount = 4;
    live::TempUnit displayUnit = live::TempUnit::Celsius;
};

enum class StopMode {
    Records, // "Recs": after RecordTarget rows
    Time,    // "hhnnss": at the first sample later than StopAt
};

// The records count typed by the user: a number (surrounding blanks allowed, '.' as the decimal
// point), rounded to a whole number with ties to even, below 1 raised to 1. No value for a text
// that is not a number. Counts beyond what double holds exactly are capped at 2^53; a recording
// ends at kMaxRecords anyway.
std::optional<qint64> parseRecordCount(const QString& text);

// Marks a file that a running recording is filling. Any other writer of the working file (the
// memory save) asks isHeld() first and must not replace a held file. Held within this process
// (keyed by the absolute path) and, through a lock file beside it, against other instances of
// the program working in the same folder.
class WorkFileGuard {
public:
    explicit WorkFileGuard(const QString& path);
    ~WorkFileGuard();
    WorkFileGuard(const WorkFileGuard&) = delete;
    WorkFileGuard& operator=(const WorkFileGuard&) = delete;

    // False when another process (or another guard here) already holds the file.
    bool acquired() const { return m_acquired; }
    // The process that holds the file when acquired() is false (0 when unknown).
    qint64 holderPid() const { return m_holderPid; }
    // The last holder died without letting go (killed, crashed, power cut): what it wrote
    // never reached its final file.
    bool previousHolderDied() const { return m_previousHolderDied; }

    static bool isHeld(const QString& path);

private:
    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    bool m_acquired = false;
    bool m_previousHolderDied = false;
    qint64 m_holderPid = 0;
};

// Moves a working file that holds rows aside instead of letting them be replaced: renamed to
// "QR512-unfinished-yyyymmddhhnnss.txt" after its last write (a number added if that name is
// taken). Returns the new path, or an empty text when there was nothing to keep or the
// rename failed (then `error` says why).
QString keepUnfinishedWork(const QString& workFilePath, QString* error);

class Recorder : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    using SampleSource = std::function<Sample()>;
    // Opens a file for writing (truncating) and returns it open, or closed with its error.
    // Tests put a device here that fails on purpose; the default is a plain QFile.
    using FileOpener = std::function<std::unique_ptr<QFileDevice>(const QString& path)>;

    Recorder(Clock now, SampleSource currentSample, QObject* parent = nullptr);
    ~Recorder() override;

    // Where the working file and the final files go; the current directory unless set.
    void setWorkingDirectory(const QString& directory);
    QString workingDirectory() const { return m_directory; }
    void setFileOpener(FileOpener opener);

    // The PC sampling interval, clamped to 1..86400; the next tick takes a sample.
    void setSamplingTime(int seconds);
    int samplingTime() const { return m_samplingTime; }
    int sampleCounter() const { return m_sampleCounter; }

    // Both start a recording; false (with errorOccurred) when the working file cannot be
    // written, false without a message when a recording already runs.
    bool startByRecords(qint64 target);
    bool startByTime(const QDate& date, const QTime& time);

    // The once-a-second recording tick.
    void tick();
    // Ends the running recording and writes its final file; nothing when none runs.
    void finishRecording();

    bool isRecording() const { return m_recording; }
    StopMode stopMode() const { return m_stopMode; }
    qint64 recordTarget() const { return m_recordTarget; }
    QString stopAtText() const;
    int recordCount() const { return m_recordCount; }
    QString sampleStampText() const;
    QString finalFileName() const { return m_finalFileName; }
    QString finalFilePath() const;
    QString workFilePath() const;
    // True while a running recording is filling the working file.
    bool ownsWorkFile() const { return m_guard != nullptr; }
    // The rows of the running recording, in time order.
    const std::vector<DataRow>& rows() const { return m_rows; }

    // Captions of LblFileName, LblCount and LblRecording.
    QString fileNameText() const { return m_fileNameText; }
    QString countText() const { return m_countText; }
    QString statusText() const { return m_statusText; }

signals:
    // On at the start, off when the recording ends (toolbar picture and tool tip, LblRec).
    void recordingChanged(bool recording);
    void fileNameTextChanged(const QString& text);
    void countTextChanged(const QString& text);
    void statusTextChanged(const QString& text);
    void rowRecorded(int recordCount);
    // The final file is complete under `path`.
    void finished(const QString& path, int records);
    // A write failed; the text is the whole message for the user.
    void errorOccurred(const QString& message);
    // Something the user should know that stops nothing (rows of an earlier recording kept).
    void noticeOccurred(const QString& message);

private:
    bool start(StopMode mode);
    bool endsBeforeThisSample() const;
    void recordSample(const Sample& sample);
    bool writeToWorkFile(const QByteArray& bytes);
    void syncWorkFile();
    void finish(const QString& workError);
    bool writeFinalFile(live::TempUnit unit, QString& error) const;
    void closeWorkFile();
    void setFileNameText(const QString& text);
    void setCountText(const QString& text);
    void setStatusText(const QString& text);

    Clock m_now;
    SampleSource m_currentSample;
    FileOpener m_openFile;
    QString m_directory;

    int m_samplingTime = 1;
    int m_sampleCounter = 0;

    bool m_recording = false;
    StopMode m_stopMode = StopMode::Records;
    qint64 m_recordTarget = 1;
    qint64 m_stopAt = 0;
    int m_recordCount = 0;
    qint64 m_sampleStamp = 0;
    QString m_finalFileName;
    int m_channelCount = 4; // fixed for the whole file when the recording starts
    std::vector<DataRow> m_rows;
    int m_rowsOnDisk = 0; // rows the working file holds

    std::unique_ptr<QFileDevice> m_workFile;
    std::unique_ptr<WorkFileGuard> m_guard;
    QElapsedTimer m_syncClock; // last sync of the working file

    QString m_fileNameText;
    QString m_countText;
    QString m_statusText;
};

} // namespace recording
