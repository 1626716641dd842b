#pragma once

#include "live/framedecoder.h"
#include "serial/linkthread.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <array>
#include <optional>

namespace live {

// One tick of the live poll, run on the link thread: asks for a frame with "M" until a valid
// one arrives. Six short replies in a row show "No COM" and search the port again, as do six
// full-length frames in a row with a wrong first or last byte; an error shows " No COM",
// searches again and ends the tick without a frame.
std::optional<QByteArray> pollTick(serial::LinkSession& session);

// The key transmission on the link thread: flush, handshake, "I", 2 ms, the 4-byte code.
void sendKey(serial::LinkSession& session, const QByteArray& code);

// "125 / 16800"
QString memoryText(int memoryCount);

// What the last valid frame said, kept on the window's side. Decoding happens here, on the
// UI thread, so every reader sees one consistent frame.
class LiveState : public QObject {
    Q_OBJECT
public:
    explicit LiveState(QObject* parent = nullptr);

    void applyFrame(const QByteArray& frame);

    const DisplayState& display() const { return m_display; }
    QChar typeLetter() const { return m_typeLetter; }
    int channelCount() const { return m_channelCount; }
    bool channelCountFrozen() const { return m_frozen; }
    void setChannelCountFrozen(bool frozen) { m_frozen = frozen; }
    const ReadingText& readingText() const { return m_readings; }
    const std::array<quint16, 4>& raw() const { return m_raw; }
    int memoryCount() const { return m_memoryCount; }
    bool hasFrame() const { return m_frames > 0; }
    quint64 frames() const { return m_frames; }
    // Celsius when the display shows no unit flag (what the statistics list then).
    TempUnit displayUnit() const;
    // From the start of a search for the meter (it stopped answering, or another port was
    // chosen) until its next frame, once a frame was shown: the readings are old news.
    bool lost() const { return m_lost; }
    void setLost(bool lost);

signals:
    void frameDecoded();
    void lostChanged(bool lost);

private:
    DisplayState m_display;
    QChar m_typeLetter;
    int m_channelCount = 0;
    bool m_frozen = false;
    ReadingText m_readings;
    std::array<quint16, 4> m_raw{};
    int m_memoryCount = 0;
    quint64 m_frames = 0;
    bool m_lost = false;
};

// Makes the thread's poll tick feed `state` (frames cross to the UI thread queued).
void attachLivePoll(serial::LinkThread& thread, LiveState& state);

} // namespace live
