// The shared number rules, once for every panel: rounding halves to even, clamping any double
// into an int range, the whole-text parse of typed numbers and the leading-number rule.

#include "base/numbers.h"

#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(std::optional<double>)

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
        QTest::newRow("2.51 up") << 2.51 << 3.0 << 3;
        QTest::newRow("0.5 to 0, clamps to 1") << 0.5 << 0.0 << 1;
        QTest::newRow("86399.5 up to even") << 86399.5 << 86400.0 << 86400;
        QTest::newRow("1e300 clamps, no overflow") << 1e300 << 1e300 << 86400;
        QTest::newRow("+inf") << kInf << kInf << 86400;
        QTest::newRow("-inf") << -kInf << -kInf << 1;
        QTest::newRow("NaN gives the lower bound") << kNaN << kNaN << 1;
    }

    void roundHalfEvenAndClamp() {
        QFETCH(double, value);
        QFETCH(double, rounded);
        QFETCH(int, clamped);
        QCOMPARE(base::roundHalfEven(value), rounded); // NaN matches NaN here
        QCOMPARE(base::roundClamp(value, 1, 86400), clamped);
    }

    void wholeParseRefusesOutOfRange() { QCOMPARE(base::parseNumber("1e400"), std::nullopt); }

    // Each text through the whole-text parse (nothing: refused) and the leading-number rule,
    // without and with "&H" / "0x" hexadecimal.
    void textAsNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<double>>("whole");
        QTest::addColumn<double>("leading");
        QTest::addColumn<double>("leadingHex");
        const auto row = [](const char* name, const char* text, std::optional<double> whole,
                            double leading, double hex) {
            QTest::newRow(name) << QString::fromUtf8(text) << whole << leading << hex;
        };
        const std::optional<double> no;
        row("blanks around", " 2.5 ", 2.5, 2.5, 2.5);
        row("-.5", "-.5", -0.5, -0.5, -0.5);
        row("exponent", "2.5e-1", 0.25, 0.25, 0.25);
        row("1e300", "1e300", 1e300, 1e300, 1e300);
        row("beyond a double", "-1e999x", no, -kInf, -kInf);
        row("empty", "", no, 0, 0);
        row("letters", "abc", no, 0, 0);
        row("unit after number", "12abc", no, 12, 12);
        row("bare exponent", "1e", no, 1, 1);
        row("letters after exponent", "1e3x", no, 1000, 1000);
        row("decimal comma", "1,5", no, 1, 1);
        row("group separator", "1,000", no, 1, 1);
        row("NaN", "nan", no, 0, 0);
        row("two numbers", "1 2", no, 1, 1);
        row("blanks first", " \t7.25 C", no, 7.25, 7.25);
        row("sign alone", "-x", no, 0, 0);
        row("one decimal point", "1.2.3", no, 1.2, 1.2);
        row("0x1F", "0x1F", no, 0, 31);
        row("&H1F", "&H1F", no, 0, 31);
        row("&h lower case", "&hff", no, 0, 255);
        row("hex stops at a non-digit", "&H1G", no, 0, 1);
    }

    void textAsNumber() {
        QFETCH(QString, text);
        QFETCH(std::optional<double>, whole);
        QFETCH(double, leading);
        QFETCH(double, leadingHex);
        QCOMPARE(base::parseNumber(text), whole);
        QCOMPARE(base::leadingNumber(text), leading);
        QCOMPARE(base::leadingNumber(text, true), leadingHex);
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
