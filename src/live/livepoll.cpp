#include "live/livepoll.h"

#include "serial/handover.h"
#include "serial/meterprofile.h"

#include <exception>

namespace live {

namespace prof = serial::profile;

std::optional<QByteArray> pollTick(serial::LinkSession& session) {
    serial::MeterLink& link = session.link;
    try {
        int shortReplies = 0;
        int garbledFrames = 0;
        for (;;) {
            link.flush();
            link.checkMeter();
            link.port().write(QByteArrayLiteral("M"));
            link.delay(prof::kFrameWait);
            const QByteArray reply = link.port().readAll();

            if (reply.size() < prof::kFrameLength) {
                if (++shortReplies < prof::kShortReplyLimit)
                    continue;
            } else if (std::optional<QByteArray> frame =
                           serial::MeterLink::framedReply(reply, prof::kFrameLength)) {
                return frame;
            } else if (++garbledFrames < prof::kGarbledFrameLimit) {
                continue;
            }
            // Six bad replies in a row: the meter is not really there. Search again, then
            // carry on asking within this tick.
            shortReplies = 0;
            garbledFrames = 0;
            link.setStatus(QStringLiteral("No COM"));
            session.detector.recover();
        }
    } catch (const std::exception&) {
        link.setStatus(QStringLiteral(" No COM"));
        session.detector.recover();
        return std::nullopt;
    }
}

void sendKey(serial::LinkSession& session, const QByteArray& code) {
    session.link.flush();
    session.link.sendCommand('I', code);
}

QString memoryText(int memoryCount) {
    return QStringLiteral("%1 / %2").arg(memoryCount).arg(prof::kMemoryCapacity);
}

LiveState::LiveState(QObject* parent)
    : QObject(parent) {}

void LiveState::applyFrame(const QByteArray& frame) {
    if (frame.size() < kFrameLength)
        return;
    m_display = decodeDisplay(frame);
    decodeTypeByte(quint8(frame.at(kStatusOffset)), m_typeLetter, m_channelCount, m_frozen);
    const QByteArrayView words(frame.constData() + kReadingsOffset, kReadingsLength);
    m_readings = decodeReadings(words, m_typeLetter);
    for (int c = 0; c < kChannels; ++c)
        m_raw[c] = quint16(quint8(words[2 * c]) << 8 | quint8(words[2 * c + 1]));
    m_memoryCount =
        quint8(frame.at(kMemoryCountOffset)) * 256 + quint8(frame.at(kMemoryCountOffset + 1));
    ++m_frames;
    setLost(false);
    emit frameDecoded();
}

void LiveState::setLost(bool lost) {
    // Before the first frame nothing old is shown: the status bar's "Connecting..." says it.
    if (lost == m_lost || (lost && !hasFrame()))
        return;
    m_lost = lost;
    emit lostChanged(lost);
}

TempUnit LiveState::displayUnit() const {
    return unitOfFlags(m_display.unitIsCelsius, m_display.unitIsFahrenheit, m_display.unitIsKelvin);
}

void attachLivePoll(serial::LinkThread& thread, LiveState& state) {
    // Queued in the order the link thread told them: a search's start, then the frame that
    // ended it.
    QObject::connect(&thread, &serial::LinkThread::searchStarted, &state,
                     [&state] { state.setLost(true); });
    QPointer<LiveState> target(&state);
    thread.setPollJob([target](serial::LinkSession& session) {
        const std::optional<QByteArray> frame = pollTick(session);
        if (!frame)
            return;
        serial::postTo(target.data(), [target, bytes = *frame] {
            if (target)
                target->applyFrame(bytes);
        });
    });
}

} // namespace live
