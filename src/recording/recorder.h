#pragma once

// The PC recording: once a second the window's timer calls tick(), and while a recording runs
// every due tick adds one row of the live readings to the working file. When the recording
// ends the final file, named after the start time, is written with the count line first and
// the statistics last.
//
// Nothing recorded may be lost: each row is handed to the operating system as soon as it is
// recorded (a killed program leaves the rows in the working file), the rows are also kept in
// memory in compact form so the final file never depends on the working file, and the final
// file appears under its name only when it is complete on disk. A working file that cannot be
// written (a full disk) is said once; the recording goes on and the working file catches up
// when it can. A final file that cannot be written leaves the rows in the working file, moved
// out of the way of the next recording, and says where.

#include "live/framedecoder.h"
#include "recording/datarow.h"
#include "recording/recordwriter.h"
#include "recording/workfileguard.h"
#include "serial/meterprofile.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace live {
class LiveState;
}

namespace recording {

constexpr int kMinSamplingTime = serial::profile::kMinInterval;
constexpr int kMaxSamplingTime = serial::profile::kMaxInterval;

// What the live display showed last, as the recording needs it.
struct Sample {
    std::array<quint16, 4> raw{};
    char type = 0; // none decoded yet
    int channelCount = 4;
    live::TempUnit displayUnit = live::TempUnit::Celsius;
    bool lost = false; // the meter stopped answering: these readings are not a measurement
};

// The sample of the live state as it stands.
Sample sampleOf(const live::LiveState& live);

enum class StopMode {
    Records, // "Recs": after RecordTarget rows
    Time,    // "hhnnss": at the first sample later than StopAt
};

// The records count typed by the user: a number (surrounding blanks allowed, '.' as the decimal
// point), rounded to a whole number with ties to even, below 1 raised to 1. No value for a text
// that is not a number. Counts beyond what double holds exactly are capped at 2^53; a recording
// ends at kMaxRecords anyway.
std::optional<qint64> parseRecordCount(const QString& text);

class Recorder : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    using SampleSource = std::function<Sample()>;
    // Tests put a disk that fills up here; the default writes plain files.
    using FileOpener = RecordWriter::FileOpener;

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
    // The channels of the running recording's file (fixed at its start).
    int channelCount() const { return m_channelCount; }
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
    // The recording could not start, or its final file could not be written; the text is
    // the whole message for the user.
    void errorOccurred(const QString& message);
    // The working file could not take a row: said once per recording, which goes on with
    // every row kept.
    void warningOccurred(const QString& message);
    // Something the user should know that stops nothing (rows of an earlier recording kept).
    void noticeOccurred(const QString& message);
    // Rows stopped because the meter does not answer, or came again: said once each way.
    void pauseChanged(bool paused, const QString& message);

private:
    bool start(StopMode mode);
    void pause(bool paused);
    bool endsBeforeThisSample() const;
    void recordSample(const Sample& sample);
    void updateWorkFile();
    void finish();
    QString keptRowsText(const QString& why, const QString& workPath) const;
    void setFileNameText(const QString& text);
    void setCountText(const QString& text);
    void setStatusText(const QString& text);

    Clock m_now;
    SampleSource m_currentSample;
    RecordWriter m_writer;
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
    bool m_workTroubleSaid = false;
    bool m_paused = false;

    std::unique_ptr<WorkFileGuard> m_guard;

    QString m_fileNameText;
    QString m_countText;
    QString m_statusText;
};

} // namespace recording
