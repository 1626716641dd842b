#include "sim/virtualmeter.h"

#include "sim/framebuilder.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <vector>

namespace sim {

namespace {

// Raw words are tenths of a degree Fahrenheit from -436 F.
constexpr quint16 rawFromCelsiusTenths(int tenths) {
    return quint16(4680 + tenths * 18 / 10);
}

// Where each channel's probe sits when the meter is switched on.
constexpr std::array<quint16, 4> kStartWords = {
    rawFromCelsiusTenths(235),  // room
    rawFromCelsiusTenths(250),  // hand warm
    rawFromCelsiusTenths(1800), // oven
    rawFromCelsiusTenths(-123), // freezer
};

// High 100.0 C and low 0.0 C on every channel until the host writes its own.
constexpr quint16 kDefaultHigh = 6480;
constexpr quint16 kDefaultLow = 4680;

// A step of drift is taken once per second of meter time; a long jump of the caller's clock
// replays at most this many, which keeps advance() cheap and still deterministic.
constexpr qint64 kMaxDriftSteps = 4096;

quint8 toBcd(int value) {
    value %= 100;
    return quint8(((value / 10) << 4) | (value % 10));
}

int fromBcd(quint8 byte) {
    const int high = byte >> 4;
    const int low = byte & 0x0F;
    if (high > 9 || low > 9)
        return -1;
    return high * 10 + low;
}

QByteArray bcdTime(const QDateTime& t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    QByteArray out;
    for (int v : {d.year(), d.month(), d.day(), tm.hour(), tm.minute(), tm.second()})
        out.append(char(toBcd(v)));
    return out;
}

qsizetype payloadLength(char letter) {
    switch (letter) {
    case 'A':
    case 'M':
    case 'G':
    case 'J':
    case 'K':
    case 'C':
        return 0;
    case 'I':
    case 'E':
        return 4;
    case 'H':
        return 16;
    case 'F':
        return 3;
    case 'D':
        return 6;
    default:
        return -1;
    }
}

quint64 nextRandom(quint64& state) {
    // xorshift64*: small, fast and the same on every platform.
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
}

constexpr char kTypeCycle[] = "KJETNRS";

} // namespace

VirtualMeter::VirtualMeter(MeterConfig config, Faults faults)
    : m_config(config)
    , m_faults(faults) {
    m_channels = (config.channels == 1 || config.channels == 2) ? config.channels : 4;
    m_type = typeCode(config.type) >= 0 ? config.type : 'K';
    m_unit = (config.unit == 'F' || config.unit == 'K') ? config.unit : 'C';
    m_interval = std::clamp(config.intervalSeconds, 1, kMaxInterval);
    m_live = kStartWords;
    m_base = kStartWords;
    for (size_t ch = 0; ch < 4; ++ch) {
        if (config.pinned[ch]) {
            m_live[ch] = *config.pinned[ch];
            m_pinned[ch] = true;
        }
    }
    m_held = m_live;
    for (size_t i = 0; i < 8; i += 2) {
        m_alarm[i] = kDefaultHigh;
        m_alarm[i + 1] = kDefaultLow;
    }
    m_clockBase = QDateTime::currentDateTime();
    m_clockBase.setTime(
        QTime(m_clockBase.time().hour(), m_clockBase.time().minute(), m_clockBase.time().second()));

    // Records left over from earlier sessions: runs of 700 records one interval apart with
    // gaps of up to three days between the runs, the last record an interval before now, so
    // the stamps cross days and months; the readings wander by tens of degrees so that a
    // download has something to draw.
    const int count = std::clamp(config.storedRecords, 0, kCapacity);
    constexpr int kRun = 700;
    quint64 rng = 0xC0FFEE1234567ull;
    // seconds before the clock, last record first
    std::vector<qint64> ago(static_cast<std::size_t>(count));
    qint64 back = 0;
    for (int k = 0; k < count; ++k) {
        back += m_interval;
        if (k > 0 && k % kRun == 0)
            back += qint64(nextRandom(rng) % (72 * 3600));
        ago[std::size_t(count - 1 - k)] = back;
    }
    std::array<int, 4> words = {kStartWords[0], kStartWords[1], kStartWords[2], kStartWords[3]};
    for (int i = 0; i < count; ++i) {
        StoredRecord r;
        r.time = m_clockBase.addSecs(-ago[std::size_t(i)]);
        r.status = statusByte(m_type, m_channels);
        for (size_t ch = 0; ch < 4; ++ch) {
            words[ch] += int(nextRandom(rng) % 41) - 20 + (kStartWords[ch] - words[ch]) / 64;
            r.raw[ch] = quint16(std::clamp(words[ch], 1, 65534));
        }
        r.raw = frameWords(r.raw);
        m_records.push_back(r);
    }
}

void VirtualMeter::setFaults(const Faults& faults) {
    m_faults = faults;
}

void VirtualMeter::setUnplugged(bool unplugged) {
    m_unplugged = unplugged;
    if (unplugged) {
        m_output.clear();
        m_pendingLetter = 0;
        m_payload.clear();
    } else {
        m_commandCount = 0;
    }
}

void VirtualMeter::advance(double now) {
    if (!m_started) {
        m_started = true;
        m_now = now;
        m_origin = now;
        m_clockSetAt = now;
        m_lineFreeAt = now;
        return;
    }
    if (!(now > m_now))
        return;
    while (m_recording && m_nextRecordAt <= now) {
        driftTo(m_nextRecordAt);
        m_now = std::max(m_now, m_nextRecordAt);
        storeRecord();
        m_nextRecordAt += m_interval;
    }
    driftTo(now);
    m_now = now;
}

void VirtualMeter::driftTo(double now) {
    if (!m_config.drift)
        return;
    const auto target = qint64(std::floor(now - m_origin));
    qint64 steps = target - m_driftSteps;
    if (steps <= 0)
        return;
    m_driftSteps = target;
    steps = std::min(steps, kMaxDriftSteps);
    while (steps-- > 0) {
        for (size_t ch = 0; ch < 4; ++ch) {
            const int r = int(nextRandom(m_rng) % 7) - 3;
            if (m_pinned[ch])
                continue;
            // A random walk pulled back towards where it started stays near that point.
            int w = m_live[ch];
            w += r + (int(m_base[ch]) - w) / 32;
            m_live[ch] = quint16(std::clamp(w, 1, 65534));
        }
    }
}

void VirtualMeter::storeRecord() {
    if (int(m_records.size()) >= kCapacity) {
        m_recording = false;
        return;
    }
    StoredRecord r;
    r.time = clock();
    r.status = statusByte(m_type, m_channels);
    r.raw = frameWords(m_live);
    m_records.push_back(r);
    // A full memory ends the recording the way the meter does: REC goes out.
    if (int(m_records.size()) >= kCapacity)
        m_recording = false;
}

std::array<quint16, 4> VirtualMeter::frameWords(const std::array<quint16, 4>& words) const {
    // Inputs the model does not have read as open thermocouples.
    std::array<quint16, 4> out = words;
    for (int ch = m_channels; ch < 4; ++ch)
        out[size_t(ch)] = kOverRange;
    return out;
}

void VirtualMeter::setReading(int channel, quint16 raw) {
    if (channel < 1 || channel > 4)
        return;
    m_live[size_t(channel - 1)] = raw;
    m_pinned[size_t(channel - 1)] = true;
}

quint16 VirtualMeter::reading(int channel) const {
    if (channel < 1 || channel > 4)
        return 0;
    return (m_hold ? m_held : m_live)[size_t(channel - 1)];
}

QDateTime VirtualMeter::clock() const {
    return m_clockBase.addMSecs(qRound64((m_now - m_clockSetAt) * 1000.0));
}

QByteArray VirtualMeter::frame() const {
    FrameContent c;
    c.channels = m_channels;
    c.type = m_type;
    c.unit = m_unit;
    c.hold = m_hold;
    c.recording = m_recording;
    c.memoryCount = int(m_records.size());
    c.raw = frameWords(m_hold ? m_held : m_live);
    return buildFrame(c);
}

void VirtualMeter::receive(QByteArrayView bytes, double now) {
    advance(now);
    if (m_unplugged)
        return;
    if (m_pendingLetter && m_now > m_payloadDeadline) {
        m_pendingLetter = 0;
        m_payload.clear();
    }
    for (const char c : bytes) {
        if (m_unplugged)
            return;
        if (m_pendingLetter) {
            m_payload.append(c);
            if (m_payload.size() == m_payloadNeeded) {
                const char letter = m_pendingLetter;
                m_pendingLetter = 0;
                execute(letter, m_payload);
                m_payload.clear();
            }
            continue;
        }
        const qsizetype need = payloadLength(c);
        if (need < 0)
            continue; // noise on the line; the meter only wakes up for its letters
        if (!countCommand())
            return;
        if (need == 0) {
            execute(c, {});
        } else {
            m_pendingLetter = c;
            m_payloadNeeded = need;
            m_payloadDeadline = m_now + kPayloadTimeout;
            m_payload.clear();
        }
    }
}

bool VirtualMeter::countCommand() {
    if (m_faults.unplugAfter > 0 && m_commandCount >= m_faults.unplugAfter) {
        setUnplugged(true);
        return false;
    }
    ++m_commandCount;
    return true;
}

void VirtualMeter::execute(char letter, const QByteArray& payload) {
    m_log.append(QByteArray(1, letter) + payload);
    const auto* p = reinterpret_cast<const uchar*>(payload.constData());
    switch (letter) {
    case 'A':
        reply(m_faults.wrongHandshake ? QByteArray("\x15\x3F\x0A", 3)
                                      : QByteArray("\x02\x41\x0D", 3),
              true);
        break;
    case 'M': {
        QByteArray bytes = frame();
        if (m_faults.damagedFrames)
            bytes[bytes.size() - 1] = char(bytes[bytes.size() - 1] ^ 0x80);
        reply(bytes, true);
        break;
    }
    case 'G':
        reply(memoryDump(), false);
        break;
    case 'J': {
        QByteArray out(1, '\x02');
        for (quint16 w : m_alarm) {
            out.append(char(w >> 8));
            out.append(char(w & 0xFF));
        }
        out.append('\x0D');
        reply(out, true);
        break;
    }
    case 'K': {
        QByteArray out(1, '\x02');
        out.append(char((m_interval >> 16) & 0xFF));
        out.append(char((m_interval >> 8) & 0xFF));
        out.append(char(m_interval & 0xFF));
        out.append('\x0D');
        reply(out, true);
        break;
    }
    case 'C':
        reply(QByteArray(1, '\x02') + bcdTime(clock()) + QByteArray(1, '\x0D'), true);
        break;
    case 'I':
        pressKeys(payload);
        break;
    case 'E':
        if (payload == QByteArray("\x04\x00\x00\x00", 4))
            m_records.clear();
        break;
    case 'H':
        for (size_t i = 0; i < 8; ++i)
            m_alarm[i] = qFromBigEndian<quint16>(p + 2 * i);
        break;
    case 'F': {
        const int seconds = (p[0] << 16) | (p[1] << 8) | p[2];
        // The meter keeps its old interval rather than take one it cannot run.
        if (seconds >= 1 && seconds <= kMaxInterval) {
            m_interval = seconds;
            if (m_recording)
                m_nextRecordAt = m_now + m_interval;
        }
        break;
    }
    case 'D': {
        std::array<int, 6> v{};
        for (size_t i = 0; i < 6; ++i)
            v[i] = fromBcd(p[i]);
        const QDate date(2000 + v[0], v[1], v[2]);
        const QTime time(v[3], v[4], v[5]);
        // Not BCD or no such date: the clock chip would refuse it, so the clock runs on.
        if (std::find(v.begin(), v.end(), -1) == v.end() && date.isValid() && time.isValid()) {
            m_clockBase = QDateTime(date, time);
            m_clockSetAt = m_now;
        }
        break;
    }
    default:
        break;
    }
}

void VirtualMeter::pressKeys(const QByteArray& code) {
    const auto shortKeys = quint8(code[0]);
    const auto longKeys = quint8(code[2]);
    if (shortKeys & 0x01) { // HOLD
        m_hold = !m_hold;
        m_held = m_live;
    }
    if (shortKeys & 0x04) { // TYPE: next thermocouple type
        const char* at = std::find(std::begin(kTypeCycle), std::end(kTypeCycle) - 1, m_type);
        const auto index = at - kTypeCycle;
        m_type = kTypeCycle[(index + 1) % 7];
    }
    if (longKeys & 0x04) // TYPE held: next unit
        m_unit = m_unit == 'C' ? 'F' : m_unit == 'F' ? 'K' : 'C';
    if (shortKeys & 0x10) { // REC
        if (m_recording) {
            m_recording = false;
        } else if (int(m_records.size()) < kCapacity) {
            m_recording = true;
            m_nextRecordAt = m_now + m_interval;
        }
    }
    // Other keys (TIME, REL, T1-T2, T3-T4, light, LIMIT, MAX, power and its combinations)
    // are accepted and have no effect on what the host can observe.
}

QByteArray VirtualMeter::memoryDump() const {
    QByteArray out;
    out.reserve(qsizetype(m_records.size()) * 19);
    int index = 0;
    for (const StoredRecord& r : m_records) {
        ++index;
        // Bytes 1-3 and 19 carry nothing the host uses; they are filled with something other
        // than zero so that a decoder reading the wrong offsets shows up in tests.
        out.append(char(0xA5));
        out.append(char((index >> 8) & 0xFF));
        out.append(char(index & 0xFF));
        out.append(bcdTime(r.time));
        out.append(char(r.status));
        for (quint16 w : r.raw) {
            out.append(char(w >> 8));
            out.append(char(w & 0xFF));
        }
        out.append(char(0x5A));
    }
    return out;
}

void VirtualMeter::reply(QByteArray bytes, bool fixedLength) {
    if (m_faults.silent || bytes.isEmpty())
        return;
    ++m_replyCount;
    if (fixedLength) {
        ++m_fixedReplyCount;
        const int every = m_faults.garbleEvery;
        if (every > 0 && m_fixedReplyCount % every == 0) {
            // Alternate between a broken start and a broken end.
            if ((m_fixedReplyCount / every) % 2 == 1)
                bytes[0] = char(bytes[0] ^ 0x80);
            else
                bytes[bytes.size() - 1] = char(bytes[bytes.size() - 1] ^ 0x80);
        }
    }
    if (m_faults.shortEvery > 0 && m_replyCount % m_faults.shortEvery == 0)
        bytes.truncate((bytes.size() + 1) / 2);

    Chunk chunk;
    // Unpaced, a byte still takes a nanosecond: the arithmetic of arrival times stays the same.
    const double byteTime = m_config.wirePaced ? kByteTime : 1e-9;
    chunk.perByte = byteTime + std::max(0.0, m_faults.byteGap);
    chunk.start = std::max(m_now, m_lineFreeAt) + kLatency + std::max(0.0, m_faults.replyDelay) -
                  chunk.perByte + byteTime;
    chunk.bytes = std::move(bytes);
    m_lineFreeAt = chunk.start + double(chunk.bytes.size()) * chunk.perByte;
    m_output.push_back(std::move(chunk));
}

QByteArray VirtualMeter::takeOutput(double now) {
    advance(now);
    QByteArray out;
    while (!m_output.empty()) {
        Chunk& c = m_output.front();
        // The tiny slack absorbs rounding when the caller asks at exactly nextOutputTime().
        const double due = std::floor((now - c.start) / c.perByte + 1e-9);
        const qsizetype arrived = due <= 0 ? 0 : qsizetype(std::min(due, double(c.bytes.size())));
        if (arrived > c.taken) {
            out.append(c.bytes.constData() + c.taken, arrived - c.taken);
            c.taken = arrived;
        }
        if (c.taken < c.bytes.size())
            break;
        m_output.pop_front();
    }
    return out;
}

double VirtualMeter::nextOutputTime() const {
    if (m_output.empty())
        return std::numeric_limits<double>::infinity();
    const Chunk& c = m_output.front();
    return c.start + double(c.taken + 1) * c.perByte;
}

} // namespace sim
