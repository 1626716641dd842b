#pragma once

#include "serial/meterlink.h"

#include <QString>

#include <functional>
#include <optional>

namespace serial {

// What the user picked in the port list: the automatic search or one fixed port.
struct PortChoice {
    bool autoPort = true;
    int portNumber = 1;
    bool operator==(const PortChoice&) const = default;
};

// "Auto" and "COM1".."COM16" are choices; any other text is not.
std::optional<PortChoice> parsePortChoice(const QString& text);

// Finds and opens the port on which the meter answers: the endless automatic search over the
// sixteen slots, or the opening of one fixed slot. Both end only when the meter has answered
// the handshake (or, for a fixed slot that cannot be opened, by throwing FixedPortFailed).
class PortDetector {
public:
    struct Hooks {
        std::function<void()> searchStarted;           // connection indicator on
        std::function<void(int portNumber)> connected; // live poll on, toolbar enabled
        // The automatic search could not open a port for lack of rights (said once per search,
        // the search goes on).
        std::function<void(const QString& message)> portDenied;
        // ... a port is held by another program (said once per search, naming the holder
        // where the system tells).
        std::function<void(const QString& message)> portBusy;
    };

    explicit PortDetector(MeterLink& link);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    void setChoice(PortChoice choice);
    PortChoice choice() const { return {m_autoPort, m_portNumber}; }
    bool autoPort() const { return m_autoPort; }
    int portNumber() const { return m_portNumber; }

    void scanPorts();
    void openFixedPort();
    // The recovery the link runs when the meter falls silent.
    void recover();

    // WrongDevice: something keeps answering the handshake, but not with the meter's bytes.
    enum class ProbeResult { Found, NoMeter, WrongDevice };
    ProbeResult probe();

private:
    bool openPort(int p, QString* error);
    void connected();

    MeterLink& m_link;
    Hooks m_hooks;
    bool m_autoPort = true;
    int m_portNumber = 1;
};

} // namespace serial
