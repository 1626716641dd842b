#pragma once

// Everything the program knows about the meter's protocol timing and the bounds it puts on
// retries, in one place. Waits are minimum times between sending and reading.
namespace serial::profile {

inline constexpr int kBaudRate = 38400;
inline constexpr int kPortSlots = 16; // the user chooses COM1..COM16

inline constexpr double kHandshakeWait = 0.01; // "A" -> 02 41 0D
inline constexpr double kFrameWait = 0.2;      // "M" -> 37-byte frame
inline constexpr double kPayloadGap = 0.002;   // letter, then its payload
inline constexpr double kSettingsWait = 0.02;  // "J", "K", "C" replies

inline constexpr int kHandshakeLength = 3;
inline constexpr char kHandshakeReply[] = "\x02\x41\x0D"; // the meter's answer to "A"
inline constexpr int kFrameLength = 37;
inline constexpr int kAlarmReplyLength = 18;
inline constexpr int kIntervalReplyLength = 5;
inline constexpr int kClockReplyLength = 8;
inline constexpr int kRecordLength = 19;
inline constexpr int kMemoryCapacity = 16800;
// The sampling interval in seconds, of the meter's memory and of the PC recording alike.
inline constexpr int kMinInterval = 1;
inline constexpr int kMaxInterval = 86400; // one day

// A silent meter costs this many handshakes (about a second) before the port is searched again.
inline constexpr int kHandshakeAttempts = 100;
// A port under test gets this many handshakes (about half a second) before the next one is tried.
inline constexpr int kProbeAttempts = 50;
// A search pass that found no port it could open waits this long before the next pass.
inline constexpr double kEmptySearchPause = 0.1;
// A device that keeps answering the handshake with wrong bytes is not our meter: after this many
// series the link treats it as silent and searches again instead of looping for ever.
inline constexpr int kWrongHandshakeSeries = 3;
// The same bound while probing: a port that answers wrong bytes this often has no meter.
inline constexpr int kWrongProbeRepeats = 3;
// Settings and memory exchanges give up after this many malformed replies and tell the user,
// so a panel never hangs on a meter that answers garbage (about 0.3 s of attempts).
inline constexpr int kRequestAttempts = 10;
// The live poll searches again after this many short replies to "M" in a row.
inline constexpr int kShortReplyLimit = 6;
// ... and after this many full-length frames with a wrong first or last byte in a row.
inline constexpr int kGarbledFrameLimit = 6;

} // namespace serial::profile
