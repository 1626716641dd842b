// Row time stamps: wall-clock date-times to seconds and back, the 19-character
// "yyyy/mm/dd hh:nn:ss" text across month, leap-day and year ends, parsing of that text,
// and that no time zone shifts the wall clock.

#include "recording/datarow.h"

#include <QTest>

using namespace recording;

class TstDataRow : public QObject {
    Q_OBJECT

private slots:

    void stampRoundTrip_data() {
        QTest::addColumn<QDateTime>("dateTime");
        QTest::addColumn<QByteArray>("text");
        const auto at = [](int y, int mo, int d, int h, int mi, int s) {
            return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
        };
        QTest::newRow("epoch") << at(1970, 1, 1, 0, 0, 0) << QByteArray("1970/01/01 00:00:00");
        QTest::newRow("before epoch")
            << at(1969, 12, 31, 23, 59, 59) << QByteArray("1969/12/31 23:59:59");
        QTest::newRow("typical") << at(2024, 1, 5, 10, 30, 1) << QByteArray("2024/01/05 10:30:01");
        QTest::newRow("leap day") << at(2024, 2, 29, 12, 0, 0) << QByteArray("2024/02/29 12:00:00");
        QTest::newRow("leap day 2000")
            << at(2000, 2, 29, 7, 8, 9) << QByteArray("2000/02/29 07:08:09");
        QTest::newRow("year end") << at(2023, 12, 31, 23, 59, 59)
                                  << QByteArray("2023/12/31 23:59:59");
        QTest::newRow("far") << at(2050, 11, 30, 1, 2, 3) << QByteArray("2050/11/30 01:02:03");
    }

    void stampRoundTrip() {
        QFETCH(QDateTime, dateTime);
        QFETCH(QByteArray, text);

        const qint64 stamp = stampFromDateTime(dateTime);
        QCOMPARE(stampText(stamp), text);
        QCOMPARE(stampFromText(text), std::optional<qint64>(stamp));
        const QDateTime back = dateTimeFromStamp(stamp);
        QCOMPARE(back.date(), dateTime.date());
        QCOMPARE(back.time(), dateTime.time());

        QByteArray appended("x");
        appendStamp(appended, stamp);
        QCOMPARE(appended, "x" + text);
    }

    void nextSecondCrossesDayMonthAndYear_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("into leap day")
            << QByteArray("2024/02/28 23:59:59") << QByteArray("2024/02/29 00:00:00");
        QTest::newRow("out of leap day")
            << QByteArray("2024/02/29 23:59:59") << QByteArray("2024/03/01 00:00:00");
        QTest::newRow("no leap 2025")
            << QByteArray("2025/02/28 23:59:59") << QByteArray("2025/03/01 00:00:00");
        QTest::newRow("no leap 2100")
            << QByteArray("2100/02/28 23:59:59") << QByteArray("2100/03/01 00:00:00");
        QTest::newRow("30-day month")
            << QByteArray("2024/04/30 23:59:59") << QByteArray("2024/05/01 00:00:00");
        QTest::newRow("year end") << QByteArray("2024/12/31 23:59:59")
                                  << QByteArray("2025/01/01 00:00:00");
        QTest::newRow("minute") << QByteArray("2024/06/15 10:59:59")
                                << QByteArray("2024/06/15 11:00:00");
    }

    void nextSecondCrossesDayMonthAndYear() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);

        const std::optional<qint64> stamp = stampFromText(before);
        QVERIFY(stamp.has_value());
        QCOMPARE(stampText(*stamp + 1), after);
        QCOMPARE(stampFromText(after), std::optional<qint64>(*stamp + 1));
    }

    void malformedTextIsRejected_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("no leap day 2023") << QByteArray("2023/02/29 00:00:00");
        QTest::newRow("day 31 of April") << QByteArray("2024/04/31 00:00:00");
        QTest::newRow("month 13") << QByteArray("2024/13/01 00:00:00");
        QTest::newRow("month 0") << QByteArray("2024/00/01 00:00:00");
        QTest::newRow("hour 24") << QByteArray("2024/01/01 24:00:00");
        QTest::newRow("second 60") << QByteArray("2024/01/01 00:00:60");
        QTest::newRow("dashes") << QByteArray("2024-01-01 00:00:00");
        QTest::newRow("short") << QByteArray("2024/01/01 00:00:0");
        QTest::newRow("long") << QByteArray("2024/01/01 00:00:000");
        QTest::newRow("hex byte") << QByteArray("201A/01/01 00:00:00");
        QTest::newRow("empty") << QByteArray();
    }

    void malformedTextIsRejected() {
        QFETCH(QByteArray, text);
        QCOMPARE(stampFromText(text), std::nullopt);
    }

    void timeZoneDoesNotMoveTheWallClock() {
        const QDateTime east(QDate(2024, 3, 31), QTime(2, 30, 0), Qt::OffsetFromUTC, 3 * 3600);
        const QDateTime utc(QDate(2024, 3, 31), QTime(2, 30, 0), Qt::UTC);
        QCOMPARE(stampFromDateTime(east), stampFromDateTime(utc));
        QCOMPARE(stampText(stampFromDateTime(east)), QByteArray("2024/03/31 02:30:00"));
        // A date and time taken as they read need no zone at all (also in a skipped hour).
        QCOMPARE(stampFromCivil(QDate(2024, 3, 31), QTime(2, 30, 0)), stampFromDateTime(utc));
        QCOMPARE(stampFromCivil(QDate(2024, 2, 30), QTime(2, 30, 0)), 0);
    }

    void stampsOutsideFourDigitYearsAreClamped() {
        QCOMPARE(stampText(std::numeric_limits<qint64>::max() / 2),
                 QByteArray("9999/12/31 23:59:59"));
        QCOMPARE(stampText(std::numeric_limits<qint64>::min() / 2),
                 QByteArray("0000/01/01 00:00:00"));
    }

    void millisecondsAreDropped() {
        const QDateTime dateTime(QDate(2024, 1, 5), QTime(10, 30, 1, 999), Qt::UTC);
        QCOMPARE(stampText(stampFromDateTime(dateTime)), QByteArray("2024/01/05 10:30:01"));
        QCOMPARE(stampFromDateTime(QDateTime()), 0);
    }
};

QTEST_APPLESS_MAIN(TstDataRow)
#include "tst_datarow.moc"
