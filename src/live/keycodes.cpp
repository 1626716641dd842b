#include "live/keycodes.h"

namespace live {

constexpr std::array<KeyInfo, kKeyCount> kKeys = {{
    {Key::Hold, "CmdHold", "HOLD", 0, 0x01, true},
    {Key::Time, "CmdTime", "TIME", 0, 0x02, true},
    {Key::Unit, "CmdUnit", "TYPE", 0, 0x04, true},
    {Key::Rel, "CmdRel", "REL", 0, 0x08, true},
    {Key::Rec, "CmdRec", "REC", 0, 0x10, true},
    {Key::T1T2, "CmdT1T2", "T1-T2", 0, 0x20, true},
    {Key::T3T4, "CmdT3T4", "T3-T4", 0, 0x40, true},
    {Key::Light, "LblLight", "", 0, 0x80, true},
    {Key::Limit, "LimitLbl", "LIMIT", 1, 0x01, true},
    {Key::Max, "CmdMax", "MAX", 1, 0x02, true},
    {Key::Power, "LblPwr", "", 1, 0x04, true},
    {Key::PowerUnit, "CmdPowerUnit", "Pow+Unit", 1, 0x08, false},
    {Key::PowerHold, "CmdPowerHold", "Pow+Hold", 1, 0x10, false},
    {Key::PowerRel, "CmdPowerRel", "Pow+REL", 1, 0x20, false},
}};

namespace {
constexpr bool tableFollowsEnum() {
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        if (static_cast<std::size_t>(kKeys[i].key) != i)
            return false;
    return true;
}
static_assert(tableFollowsEnum(), "kKeys must be indexable by Key");
} // namespace

const KeyInfo& keyInfo(Key key) {
    return kKeys[static_cast<std::size_t>(key)];
}

QByteArray keyCode(Key key, bool longPress) {
    const KeyInfo& info = keyInfo(key);
    QByteArray code(kKeyCodeLength, '\0');
    const int offset = (longPress && info.timed) ? 2 : 0;
    code[info.byte + offset] = static_cast<char>(info.mask);
    return code;
}

bool isLongPress(double heldSeconds) {
    return heldSeconds > kLongPressSeconds;
}

} // namespace live
