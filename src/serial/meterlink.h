#pragma once

#include "serial/port.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace serial {

// The exchanges every part of the program makes with the meter, written in the order the
// meter expects them: flush, handshake "A", command, wait, read.
class MeterLink {
public:
    struct Hooks {
        std::function<void(const QString&)> status; // status-bar connection text
        std::function<void()> recover;              // search the port again (by AutoPort)
        std::function<bool()> cancelled;            // the running job must end
    };

    MeterLink(Port& port, Clock& clock);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    Port& port() { return m_port; }
    Clock& clock() { return m_clock; }

    // Waits at least `seconds`; throws Cancelled when the job is cancelled meanwhile.
    void delay(double seconds);
    // Waits until received bytes are there to read, at most `seconds`; throws Cancelled when
    // the job is cancelled meanwhile.
    void awaitBytes(double seconds);
    // The gap between a command letter and its payload: never cut short by a cancel, since a
    // meter left waiting for a payload takes the next command's bytes for it.
    void payloadGap();
    struct Handshake {
        QByteArray reply; // the last attempt's
        int attempts = 0;
        bool portGone = false; // the port closed under the link (its device unplugged)
    };
    // "A", the handshake wait, read: again until a reply of three bytes or more came, at most
    // `attempts` times.
    Handshake handshake(int attempts);
    static bool isHandshakeReply(const QByteArray& reply);
    // Reads once and throws away whatever arrived unasked.
    void flush() { m_port.readAll(); }
    // Returns once the meter has answered the handshake, searching the port again when it
    // stays silent or keeps answering wrong bytes.
    void checkMeter();
    // Handshake, letter, wait, read; repeated while the reply is short or badly framed, at
    // most `attempts` times. Returns the first `length` bytes, or nothing after the last try.
    std::optional<QByteArray> requestReply(char letter, int length, double wait, int attempts);
    // Handshake, letter, 2 ms, payload in one write. No reply is read.
    void sendCommand(char letter, const QByteArray& payload);
    // The same, with a payload made once the handshake is done (a clock reading that must not
    // be older than the write).
    void sendCommand(char letter, const std::function<QByteArray()>& payload);
    // Writes the status-bar connection text through the hook.
    void setStatus(const QString& text);
    void throwIfCancelled() const;

    static bool isFramed(const QByteArray& reply, int length);
    // The `length`-byte reply framed at the start of `reply`. A meter (or a serial adapter)
    // slower than the handshake wait answers the handshakes that were sent again while
    // waiting after the link went on: their 02 41 0D come first and are skipped, never a
    // reply that is framed as it stands.
    static std::optional<QByteArray> framedReply(const QByteArray& reply, int length);

private:
    void meterLost();

    Port& m_port;
    Clock& m_clock;
    Hooks m_hooks;
};

} // namespace serial
