// The shared number rules, once for every panel: rounding halves to even, clamping any double
// into an int range, the whole-text parse of typed numbers and the leading-number rule.

#include "base/numbers.h"

#include <QTest>

#include <cmath>
#include <limits>

namespace {
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

class TestNumbers : public QObject {
    Q_OBJECT
private slots:

    // Clamped into 1..86400 (the sampling bounds), the widest range the panels use.
    void roundHalfEvenAndClamp_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rounded");
        QTest::addColumn<int>("clamped");
        QTest::newRow("2.5 down to even") << 2.5 << 2.0 << 2;
        QTest::newRow("3.5 up to even") << 3.5 << 4.0 << 4;
        QTest::newRow("-2.5 to even") << -2.5 << -2.0 << 1;
        QTest::newRow("-3.5 to even") << -3.5 << -4.0 << 1;
        QTest::newRow("2.49 down") << 2.49 << 2.0 << 2;
        QTest::newRow("2.51 up") << 2.51 << 3.0 << 3;
        QTest::newRow("0.5 to 0, clamps to 1") << 0.5 << 0.0 << 1;
        QTest::newRow("86399.5 up to even") << 86399.5 << 86400.0 << 86400;
        QTest::newRow("86400.5 down to even") << 86400.5 << 86400.0 << 86400;
        QTest::newRow("86401 clamps") << 86401.0 << 86401.0 << 86400;
        QTest::newRow("1e300 clamps, no overflow") << 1e300 << 1e300 << 86400;
        QTest::newRow("-1e300 clamps") << -1e300 << -1e300 << 1;
        QTest::newRow("+inf") << kInf << kInf << 86400;
        QTest::newRow("-inf") << -kInf << -kInf << 1;
        QTest::newRow("NaN gives the lower bound") << kNaN << kNaN << 1;
    }

    void roundHalfEvenAndClamp() {
        QFETCH(double, value);
        QFETCH(double, rounded);
        QFETCH(int, clamped);
        const double r = base::roundHalfEven(value);
        QVERIFY2(std::isnan(rounded) ? std::isnan(r) : r == rounded,
                 qPrintable(QString::number(r)));
        QCOMPARE(base::roundClamp(value, 1, 86400), clamped);
    }

    void parseNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("60") << "60" << true << 60.0;
        QTest::newRow("blanks around") << " 2.5 " << true << 2.5;
        QTest::newRow("-.5") << "-.5" << true << -0.5;
        QTest::newRow("exponent") << "1e3" << true << 1000.0;
        QTest::newRow("1e300 is a number") << "1e300" << true << 1e300;
        QTest::newRow("out of range") << "1e400" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("unit after number") << "12abc" << false << 0.0;
        QTest::newRow("bare exponent") << "1e" << false << 0.0;
        QTest::newRow("decimal comma") << "1,5" << false << 0.0;
        QTest::newRow("group separator") << "1,000" << false << 0.0;
        QTest::newRow("hex") << "0x1F" << false << 0.0;
        QTest::newRow("NaN") << "nan" << false << 0.0;
        QTest::newRow("two numbers") << "1 2" << false << 0.0;
    }

    void parseNumber() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const std::optional<double> parsed = base::parseNumber(text);
        QCOMPARE(parsed.has_value(), ok);
        if (ok)
            QCOMPARE(*parsed, value);
    }

    void leadingNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("allowHex");
        QTest::addColumn<double>("value");
        QTest::newRow("12abc") << "12abc" << false << 12.0;
        QTest::newRow("abc") << "abc" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("1e: exponent without digits") << "1e" << false << 1.0;
        QTest::newRow("1e3x") << "1e3x" << false << 1000.0;
        QTest::newRow("2.5e-1") << "2.5e-1" << false << 0.25;
        QTest::newRow("-.5") << "-.5" << false << -0.5;
        QTest::newRow("blanks first") << " \t7.25 C" << false << 7.25;
        QTest::newRow("sign alone") << "-x" << false << 0.0;
        QTest::newRow("one decimal point") << "1.2.3" << false << 1.2;
        QTest::newRow("1e300") << "1e300" << false << 1e300;
        QTest::newRow("&H1F") << "&H1F" << true << 31.0;
        QTest::newRow("&h lower case") << "&hff" << true << 255.0;
        QTest::newRow("0x1F") << "0x1F" << true << 31.0;
        QTest::newRow("hex stops at a non-digit") << "&H1G" << true << 1.0;
        QTest::newRow("&H1F without hex") << "&H1F" << false << 0.0;
        QTest::newRow("0x1F without hex") << "0x1F" << false << 0.0;
        QTest::newRow("decimal with hex allowed") << "12abc" << true << 12.0;
    }

    void leadingNumber() {
        QFETCH(QString, text);
        QFETCH(bool, allowHex);
        QFETCH(double, value);
        QCOMPARE(base::leadingNumber(text, allowHex), value);
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
