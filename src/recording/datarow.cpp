#include "recording/datarow.h"

#include <algorithm>

namespace recording {

namespace {

constexpr qint64 kSecondsPerDay = 86400;

constexpr qint64 floorDiv(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
constexpr qint64 daysFromCivil(qint64 y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const qint64 era = floorDiv(y, 400);
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    qint64 year;
    int month;
    int day;
};

constexpr Civil civilFromDays(qint64 z) {
    z += 719468;
    const qint64 era = floorDiv(z, 146097);
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

constexpr qint64 kMinStamp = daysFromCivil(0, 1, 1) * kSecondsPerDay;
constexpr qint64 kMaxStamp = daysFromCivil(9999, 12, 31) * kSecondsPerDay + kSecondsPerDay - 1;

static_assert(daysFromCivil(1970, 1, 1) == 0);
static_assert(civilFromDays(daysFromCivil(2024, 2, 29)).day == 29);

void putTwo(char* at, int value) {
    at[0] = char('0' + value / 10);
    at[1] = char('0' + value % 10);
}

// Two decimal digits at `at`, or -1.
int readTwo(QByteArrayView text, int at) {
    const char hi = text[at];
    const char lo = text[at + 1];
    if (hi < '0' || hi > '9' || lo < '0' || lo > '9')
        return -1;
    return (hi - '0') * 10 + (lo - '0');
}

bool isLeapYear(qint64 y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(qint64 y, int m) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[std::size_t(m - 1)];
}

} // namespace

qint64 stampFromDateTime(const QDateTime& dateTime) {
    return dateTime.isValid() ? stampFromCivil(dateTime.date(), dateTime.time()) : 0;
}

qint64 stampFromCivil(const QDate& date, const QTime& time) {
    if (!date.isValid() || !time.isValid())
        return 0;
    return daysFromCivil(date.year(), date.month(), date.day()) * kSecondsPerDay +
           time.msecsSinceStartOfDay() / 1000;
}

QDateTime dateTimeFromStamp(qint64 stamp) {
    const qint64 days = floorDiv(stamp, kSecondsPerDay);
    const auto seconds = int(stamp - days * kSecondsPerDay);
    const Civil c = civilFromDays(days);
    return QDateTime(QDate(int(c.year), c.month, c.day),
                     QTime::fromMSecsSinceStartOfDay(seconds * 1000), Qt::UTC);
}

void writeStamp(char* text, qint64 stamp) {
    stamp = std::clamp(stamp, kMinStamp, kMaxStamp);
    const qint64 days = floorDiv(stamp, kSecondsPerDay);
    const auto seconds = int(stamp - days * kSecondsPerDay);
    const Civil c = civilFromDays(days);
    const auto year = int(c.year);

    putTwo(text, year / 100);
    putTwo(text + 2, year % 100);
    text[4] = '/';
    putTwo(text + 5, c.month);
    text[7] = '/';
    putTwo(text + 8, c.day);
    text[10] = ' ';
    putTwo(text + 11, seconds / 3600);
    text[13] = ':';
    putTwo(text + 14, seconds / 60 % 60);
    text[16] = ':';
    putTwo(text + 17, seconds % 60);
}

void appendStamp(QByteArray& out, qint64 stamp) {
    char text[kStampLength];
    writeStamp(text, stamp);
    out.append(text, kStampLength);
}

QByteArray stampText(qint64 stamp) {
    QByteArray text;
    text.reserve(kStampLength);
    appendStamp(text, stamp);
    return text;
}

void writeRowStamp(char* out, const DataRow& row) {
    if (!row.meterClock) {
        writeStamp(out, row.stamp);
        return;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    static constexpr char kSeparators[] = "// ::";
    out[0] = '2';
    out[1] = '0';
    char* at = out + 2;
    for (std::size_t i = 0; i < row.clock.size(); ++i) {
        if (i > 0)
            *at++ = kSeparators[i - 1];
        *at++ = kHex[row.clock[i] >> 4];
        *at++ = kHex[row.clock[i] & 0x0F];
    }
}

void appendRowStamp(QByteArray& out, const DataRow& row) {
    char text[kStampLength];
    writeRowStamp(text, row);
    out.append(text, kStampLength);
}

std::optional<qint64> stampFromText(QByteArrayView text) {
    if (text.size() != kStampLength || text[4] != '/' || text[7] != '/' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const int century = readTwo(text, 0);
    const int yy = readTwo(text, 2);
    const int month = readTwo(text, 5);
    const int day = readTwo(text, 8);
    const int hour = readTwo(text, 11);
    const int minute = readTwo(text, 14);
    const int second = readTwo(text, 17);
    if (century < 0 || yy < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    const int year = century * 100 + yy;
    if (day > daysInMonth(year, month))
        return std::nullopt;
    return daysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

} // namespace recording
