#pragma once

// The meter's keys as the program presses them remotely: the 4-byte code sent after "I",
// the short/long press rule, and which on-screen control stands for which key.

#include <QByteArray>

#include <array>

namespace live {

enum class Key {
    Hold,
    Time,
    Unit,
    Rel,
    Rec,
    T1T2,
    T3T4,
    Light,
    Limit,
    Max,
    Power,
    PowerUnit,
    PowerHold,
    PowerRel
};

constexpr int kKeyCount = 14;
constexpr int kKeyCodeLength = 4;

struct KeyInfo {
    Key key;
    const char* objectName; // the on-screen control that sends the key
    const char* caption;    // empty for keys drawn as pictures
    int byte;               // 0 or 1: byte of the short-press half that holds the key's bit
    quint8 mask;
    bool timed; // short and long press differ; false for the POWER combinations
};

// In the order of the Key enum.
extern const std::array<KeyInfo, kKeyCount> kKeys;

const KeyInfo& keyInfo(Key key);

// The 4 bytes sent after "I": the key's bit in byte 0/1 for a short press, in byte 2/3 for
// a long one. The POWER combinations have no long form and ignore longPress.
QByteArray keyCode(Key key, bool longPress);

constexpr double kLongPressSeconds = 2.0;

// Held longer than kLongPressSeconds is long; exactly that long, or a reading that went
// backwards (negative or NaN), is short.
bool isLongPress(double heldSeconds);

} // namespace live
