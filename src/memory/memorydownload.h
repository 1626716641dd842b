#pragma once

// The download of the meter's memory on the link thread: the count read afresh, "G", the
// reception of 19 bytes per record however the serial line splits them, the decoding and the
// memory save. And the erase. Window and command line run these same functions inside their
// exclusive exchange.

#include "live/framedecoder.h"
#include "memory/memoryfile.h"
#include "recording/datarow.h"
#include "serial/meterprofile.h"

#include <QByteArray>
#include <QChar>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace serial {
class MeterLink;
}

namespace memory {

// The meter sends at 38400 baud, a byte every 0.26 ms: this long without one means it stopped.
constexpr double kStallSeconds = 3.0;
// While bytes flow, the reception takes them in at this pace.
constexpr double kReceiveSlice = 0.02;
// "G" -> the first record
constexpr double kDownloadWait = 0.02;

// fraction 0..1 of the whole operation, and the title text "x.x% Completed"
using Progress = std::function<void(double fraction, const QString& text)>;

// The record count of one fresh live frame ("M"): a count shown before an erase, or before the
// meter stored more, would make the reception wait for bytes that never come or cut records
// off. Nothing when the meter gives no valid frame. As reported: it may exceed the capacity.
std::optional<int> readMemoryCount(serial::MeterLink& link);

struct Reception {
    QByteArray bytes;     // at most serial::profile::kRecordLength x count
    bool stalled = false; // the meter stopped sending before the last record
    int records() const { return int(bytes.size() / serial::profile::kRecordLength); }
};

// Flush, "G", 0.02 s, then everything that arrives until 19 x count bytes are in (bytes beyond
// them are ignored) or nothing came for `stallSeconds`. Progress 0 to 50 % by bytes. Throws
// serial::Cancelled as soon as the job is cancelled.
Reception receiveRecords(serial::MeterLink& link, int count, const Progress& progress,
                         double stallSeconds = kStallSeconds);

struct DownloadRequest {
    int shownCount = 0;   // the count the live display showed (if the fresh one fails)
    QChar typeLetter;     // the live display's, for records of type code 7
    int channelCount = 4; // frozen for the whole download: the live display's
    live::TempUnit unit = live::TempUnit::Celsius; // the unit the statistics list
    SaveRequest save;
    double stallSeconds = kStallSeconds;
};

struct DownloadOutcome {
    enum class Kind {
        Saved,      // save holds the files
        Empty,      // the meter holds no record: nothing was asked for
        Stalled,    // the meter stopped sending; nothing was saved
        SaveFailed, // save.error says why
    };
    Kind kind = Kind::Empty;
    int expected = 0; // records the meter said it holds
    int received = 0; // whole records that arrived
    SaveOutcome save;
};

// The whole operation: fresh count, reception, decoding (50 to 60 %) and save (60 to 100 %).
DownloadOutcome downloadMemory(serial::MeterLink& link, const DownloadRequest& request,
                               const Progress& progress);

// The user-facing text for an outcome that is not Saved (empty for Saved).
QString outcomeMessage(const DownloadOutcome& outcome);

// "E" and 04 00 00 00 in one write after the handshake; no reply is read.
void eraseMemory(serial::MeterLink& link);

} // namespace memory
