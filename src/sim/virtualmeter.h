#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>

#include <array>
#include <deque>
#include <limits>
#include <optional>

namespace sim {

struct MeterConfig {
    int channels = 4;        // 1, 2 or 4
    char type = 'K';         // K J E T N R S
    char unit = 'C';         // C F K (unit the display shows)
    int storedRecords = 0;   // 0..16800 records in memory at start (with BCD time stamps)
    int intervalSeconds = 2; // the meter's own sampling interval, 1..86400
    bool drift = true;       // readings drift slowly (deterministic, seeded); false = fixed
    // Channels pinned to a raw word from the start (65535 open thermocouple "OL", 0 "-OL").
    std::array<std::optional<quint16>, 4> pinned{};
    // Replies take the time a 38400 baud line needs (10 bits a byte); false delivers them
    // at once, for tests that move a whole memory without waiting 83 s for it.
    bool wirePaced = true;
};

struct Faults {
    bool silent = false;         // answers nothing at all
    bool wrongHandshake = false; // answers "A" with 3 wrong bytes
    int shortEvery = 0;          // every Nth reply is cut short (0 = never)
    int garbleEvery = 0;         // every Nth fixed-length reply has a wrong first or last byte
    double byteGap = 0;          // seconds between the bytes of a reply (byte-by-byte delivery)
    int unplugAfter = 0;         // unplugged after N commands (0 = never)
    double replyDelay = 0;       // extra seconds before any reply starts (later than the wait)
    bool damagedFrames = false;  // every display frame ends in a wrong byte; the rest is right
};

// One record of the meter's memory, as the "G" download sends it.
struct StoredRecord {
    QDateTime time;
    quint8 status = 0;
    std::array<quint16, 4> raw{};
};

// A model of the meter on the far side of the serial line: it parses command letters and
// their payloads, keeps the meter's state (display, memory, alarm limits, interval, clock)
// and answers with bytes that arrive at the times a 38400 baud line would deliver them.
// Time is whatever the caller says it is (seconds on a monotonic scale), so tests run in
// virtual time and the pseudo-terminal host in real time. Not thread-safe: use it from one
// thread.
class VirtualMeter {
public:
    static constexpr int kCapacity = 16800;
    static constexpr int kMaxInterval = 86400;
    static constexpr double kLatency = 0.001;
    static constexpr double kByteTime = 10.0 / 38400.0;
    // A payload that has not come complete by then is dropped, so a host that sent a letter
    // and died cannot leave the meter swallowing the next commands as payload.
    static constexpr double kPayloadTimeout = 0.5;

    explicit VirtualMeter(MeterConfig config = {}, Faults faults = {});

    void setFaults(const Faults& faults);
    const Faults& faults() const { return m_faults; }

    // Bytes from the host, written at monotonic time `now` (seconds).
    void receive(QByteArrayView bytes, double now);
    // Bytes the meter sent that have arrived at the host by `now`; removes them.
    QByteArray takeOutput(double now);
    // Earliest time at which more output arrives, or +infinity when none is pending.
    double nextOutputTime() const;
    // Lets the meter's own time run to `now` (drift, REC storing at its interval, running clock).
    void advance(double now);

    bool isUnplugged() const { return m_unplugged; }
    // Plugging back in restarts the count of unplugAfter.
    void setUnplugged(bool unplugged);

    QList<QByteArray> commandLog() const { return m_log; }
    // Pins channel 1..4 to a raw word (stops its drift).
    void setReading(int channel, quint16 raw);
    // The word channel 1..4 shows (the held one while HOLD is on).
    quint16 reading(int channel) const;
    char type() const { return m_type; }
    char unit() const { return m_unit; }
    int channels() const { return m_channels; }
    bool hold() const { return m_hold; }
    bool isRecording() const { return m_recording; }
    int storedRecords() const { return int(m_records.size()); }
    const std::deque<StoredRecord>& records() const { return m_records; }
    int intervalSeconds() const { return m_interval; }
    std::array<quint16, 8> alarmWords() const { return m_alarm; } // T1H,T1L,...,T4H,T4L
    QDateTime clock() const;
    QByteArray frame() const;

private:
    struct Chunk {
        QByteArray bytes;
        double start = 0;   // the first byte arrives at start + perByte
        double perByte = 0; // wire time plus the byte gap
        qsizetype taken = 0;
    };

    bool countCommand();
    void execute(char letter, const QByteArray& payload);
    void pressKeys(const QByteArray& code);
    void reply(QByteArray bytes, bool fixedLength);
    void storeRecord();
    void driftTo(double now);
    QByteArray memoryDump() const;
    std::array<quint16, 4> frameWords(const std::array<quint16, 4>& words) const;

    MeterConfig m_config;
    Faults m_faults;
    int m_channels = 4;
    char m_type = 'K';
    char m_unit = 'C';
    int m_interval = 2;
    bool m_hold = false;
    bool m_recording = false;
    bool m_unplugged = false;

    std::array<quint16, 4> m_live{};
    std::array<quint16, 4> m_held{};
    std::array<quint16, 4> m_base{};
    std::array<bool, 4> m_pinned{};
    quint64 m_rng = 0x9E3779B97F4A7C15ull;
    qint64 m_driftSteps = 0;

    std::array<quint16, 8> m_alarm{};
    std::deque<StoredRecord> m_records;
    double m_nextRecordAt = 0;

    bool m_started = false;
    double m_now = 0;
    double m_origin = 0; // time of the first call, when the meter was "switched on"
    QDateTime m_clockBase;
    double m_clockSetAt = 0;

    char m_pendingLetter = 0;
    QByteArray m_payload;
    qsizetype m_payloadNeeded = 0;
    double m_payloadDeadline = 0;

    std::deque<Chunk> m_output;
    double m_lineFreeAt = 0;
    int m_commandCount = 0;
    int m_replyCount = 0;
    int m_fixedReplyCount = 0;
    QList<QByteArray> m_log;
};

} // namespace sim
