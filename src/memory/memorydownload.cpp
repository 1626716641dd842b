#include "memory/memorydownload.h"

#include "memory/memoryrecords.h"
#include "recording/datafile.h"
#include "serial/meterlink.h"
#include "serial/meterprofile.h"

#include <algorithm>

namespace memory {

namespace {

// Progress texts change in steps of 0.1 %: only a change is worth a trip to the window.
class ProgressReporter {
public:
    explicit ProgressReporter(const Progress& progress)
        : m_progress(progress) {}
    void report(double percent) {
        if (!m_progress)
            return;
        const QString text = progressText(percent);
        if (text == m_last)
            return;
        m_last = text;
        m_progress(percent / 100.0, text);
    }

private:
    const Progress& m_progress;
    QString m_last;
};

} // namespace

std::optional<int> readMemoryCount(serial::MeterLink& link) {
    const std::optional<QByteArray> frame =
        link.requestReply('M', serial::profile::kFrameLength, serial::profile::kFrameWait,
                          serial::profile::kRequestAttempts);
    if (!frame)
        return std::nullopt;
    return (quint8(frame->at(live::kMemoryCountOffset)) << 8) |
           quint8(frame->at(live::kMemoryCountOffset + 1));
}

Reception receiveRecords(serial::MeterLink& link, int count, const Progress& progress,
                         double stallSeconds) {
    ProgressReporter reporter(progress);
    Reception reception;
    const qsizetype expected = qsizetype(std::max(count, 0)) * kRecordLength;
    reception.bytes.reserve(expected);
    link.flush();
    link.port().write(QByteArrayLiteral("G"));
    link.delay(kDownloadWait);
    double lastByte = link.clock().now();
    for (;;) {
        const QByteArray arrived = link.port().readAll();
        if (!arrived.isEmpty()) {
            lastByte = link.clock().now();
            reception.bytes.append(arrived.left(expected - reception.bytes.size()));
        }
        reporter.report(expected > 0 ? 50.0 * double(reception.bytes.size()) / double(expected)
                                     : 50.0);
        if (reception.bytes.size() >= expected)
            return reception;
        const double silence = link.clock().now() - lastByte;
        if (silence >= stallSeconds) {
            reception.stalled = true;
            return reception;
        }
        // Flowing bytes are taken in slices; a pause is one wait, ended by the next byte.
        if (arrived.isEmpty())
            link.awaitBytes(stallSeconds - silence);
        else
            link.delay(kReceiveSlice);
    }
}

DownloadOutcome downloadMemory(serial::MeterLink& link, const DownloadRequest& request,
                               const Progress& progress) {
    DownloadOutcome outcome;
    // The fresh frame's exchange flushes and greets the meter first, as "G" needs.
    const int reported = readMemoryCount(link).value_or(std::max(request.shownCount, 0));
    outcome.expected = std::min(reported, serial::profile::kMemoryCapacity);
    if (outcome.expected == 0) {
        outcome.kind = DownloadOutcome::Kind::Empty;
        return outcome;
    }
    const Reception reception =
        receiveRecords(link, outcome.expected, progress, request.stallSeconds);
    outcome.received = reception.records();
    if (reception.stalled) {
        outcome.kind = DownloadOutcome::Kind::Stalled;
        return outcome;
    }
    // From here on the records are in: a Cancel no longer throws them away.
    ProgressReporter reporter(progress);
    const std::vector<recording::DataRow> rows =
        decodeRecords(reception.bytes, outcome.expected, request.typeLetter);
    reporter.report(60.0);
    // A channel count the file has no layout for (0, 3, 8, 15) keeps every record in the
    // four-channel layout, as a recording does, instead of a file without them.
    const int channels = recording::isSupportedChannelCount(request.channelCount)
                             ? request.channelCount
                             : live::kChannels;
    outcome.save = saveMemory(rows, channels, request.unit, request.save);
    if (channels != request.channelCount)
        outcome.save.notices.prepend(
            QStringLiteral("The meter reported %1 channels; the records are written with all %2.")
                .arg(request.channelCount)
                .arg(channels));
    if (reported > outcome.expected)
        outcome.save.notices.prepend(
            QStringLiteral("The meter reported %1 records; its memory holds %2, and those %2 "
                           "were read.")
                .arg(reported)
                .arg(outcome.expected));
    reporter.report(100.0);
    outcome.kind =
        outcome.save.ok() ? DownloadOutcome::Kind::Saved : DownloadOutcome::Kind::SaveFailed;
    return outcome;
}

QString outcomeMessage(const DownloadOutcome& outcome) {
    switch (outcome.kind) {
    case DownloadOutcome::Kind::Saved:
        return {};
    case DownloadOutcome::Kind::Empty:
        return QStringLiteral("No Data in Memory");
    case DownloadOutcome::Kind::Stalled:
        return QStringLiteral("The meter stopped sending: %1 of %2 records arrived. Nothing was "
                              "saved; try the download again.")
            .arg(outcome.received)
            .arg(outcome.expected);
    case DownloadOutcome::Kind::SaveFailed:
        break;
    }
    return QStringLiteral("The memory was downloaded but not saved. %1").arg(outcome.save.error);
}

void eraseMemory(serial::MeterLink& link) {
    link.flush();
    link.sendCommand('E', QByteArray("\x04\x00\x00\x00", 4));
}

} // namespace memory
