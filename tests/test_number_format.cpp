// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/number_format.h"
#include "common/text_convert.h"

#include <QRandomGenerator>
#include <QTest>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace CommonFunc;

namespace {

// Rounds the full decimal expansion of the double by hand, half away from
// zero: an independent check of the tie handling.
QString referenceFixed(double value, int decimals)
{
    if (value == 0.0)
        value = 0.0;
    std::string text(1500, '\0');
    // 1100 decimals hold every fractional digit a double can have (<= 1074).
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 1100);
    text.resize(std::size_t(result.ptr - text.data()));
    const std::size_t point = text.find('.');
    const bool roundUp = text[point + std::size_t(decimals) + 1] >= '5';
    text.resize(decimals == 0 ? point : point + std::size_t(decimals) + 1);
    if (roundUp) {
        std::size_t i = text.size();
        bool carry = true;
        while (carry && i > 0) {
            --i;
            if (text[i] == '.' || text[i] == '-')
                continue;
            if (text[i] == '9') {
                text[i] = '0';
            } else {
                ++text[i];
                carry = false;
            }
        }
        if (carry)
            text.insert(text[0] == '-' ? 1 : 0, 1, '1');
    }
    return QString::fromStdString(text);
}

} // namespace

class TestNumberFormat : public QObject {
    Q_OBJECT

private slots:
    void fixed_data();
    void fixed();
    void fixedMatchesExactRounding();
    void deviation_data();
    void deviation();
    void shownNumbersReadBackAsTheirTexts();
};

void TestNumberFormat::fixed_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");

    // The analysis' own chain of values.
    QTest::newRow("win support 0.8/2.5") << 0.8 / 2.5 << 3 << QStringLiteral("0.320");
    QTest::newRow("place support 0.8/1.4/3") << 0.8 / 1.4 / 3 << 3 << QStringLiteral("0.190");
    QTest::newRow("win/place ratio") << 0.320 / 0.190 << 3 << QStringLiteral("1.684");
    QTest::newRow("actual support 0.75/12.3") << 0.75 / 12.3 << 3 << QStringLiteral("0.061");
    QTest::newRow("scratched support") << 0.75 / 99999.9 << 3 << QStringLiteral("0.000");
    QTest::newRow("mean place odds as float") << double((1.2f + 1.6f) / 2) << 2 << QStringLiteral("1.40");
    QTest::newRow("scratched mean place odds") << double((999.9f + 999.9f) / 2) << 2 << QStringLiteral("999.90");
    QTest::newRow("999.9f") << double(999.9f) << 2 << QStringLiteral("999.90");
    QTest::newRow("price 12.345") << 12.345 << 1 << QStringLiteral("12.3");
    QTest::newRow("scratched price") << double(99999.9f) << 1 << QStringLiteral("99999.9");
    QTest::newRow("theoretical price") << double(0.75f / (0.094118f + 0.08f)) << 1 << QStringLiteral("4.3");

    // Exact ties go away from zero; near-ties follow the binary value.
    QTest::newRow("tie 0.125") << 0.125 << 2 << QStringLiteral("0.13");
    QTest::newRow("tie 0.0625") << 0.0625 << 3 << QStringLiteral("0.063");
    QTest::newRow("tie 12.25") << 12.25 << 1 << QStringLiteral("12.3");
    QTest::newRow("tie 0.25") << 0.25 << 1 << QStringLiteral("0.3");
    QTest::newRow("tie 2.5 no decimals") << 2.5 << 0 << QStringLiteral("3");
    QTest::newRow("tie -0.125") << -0.125 << 2 << QStringLiteral("-0.13");
    QTest::newRow("below half 2.675") << 2.675 << 2 << QStringLiteral("2.67");
    QTest::newRow("below half 0.15") << 0.15 << 1 << QStringLiteral("0.1");
    QTest::newRow("above half 0.05") << 0.05 << 1 << QStringLiteral("0.1");
    QTest::newRow("above half 99.95") << 99.95 << 1 << QStringLiteral("100.0");

    // A tie whose rounding carries into a new digit.
    QTest::newRow("carry 9.5") << 9.5 << 0 << QStringLiteral("10");
    QTest::newRow("carry -99.5") << -99.5 << 0 << QStringLiteral("-100");

    QTest::newRow("zero") << 0.0 << 3 << QStringLiteral("0.000");
    QTest::newRow("negative zero") << -0.0 << 1 << QStringLiteral("0.0");
    QTest::newRow("negative rounding to zero") << -0.04 << 1 << QStringLiteral("-0.0");
    QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << 3 << QStringLiteral("0.000");
    QTest::newRow("no decimals") << 1234.4 << 0 << QStringLiteral("1234");
    QTest::newRow("no grouping") << 1234567.89 << 1 << QStringLiteral("1234567.9");
    QTest::newRow("huge") << 1e20 << 1 << QStringLiteral("100000000000000000000.0");
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << 1
                                    << referenceFixed(std::numeric_limits<double>::max(), 1);

    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 3 << QString();
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 1 << QString();
}

void TestNumberFormat::fixed()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(FormatFixed(value, decimals), expected);
    QCOMPARE(ShownNumber::fixed(value, decimals).text(), expected);
}

// Many values on and near the midpoints, checked against the hand rounding of
// the full expansion.
void TestNumberFormat::fixedMatchesExactRounding()
{
    QRandomGenerator random(20261207);
    for (int n = 0; n < 20000; ++n) {
        const int decimals = int(random.bounded(4));
        double value = 0;
        switch (n % 3) {
        case 0: // dyadic values: every tie there is lies among them
            value = std::ldexp(double(random.bounded(1 << 22)), -int(random.bounded(1, 14)));
            break;
        case 1: { // decimal texts ending in 5, mostly just off a tie in binary
            const QByteArray text = QByteArray::number(random.bounded(100000)) + '.'
                + QByteArray::number(random.bounded(1000)).rightJustified(decimals, '0') + '5';
            value = text.toDouble();
            break;
        }
        default: // any float in the range the program shows
            value = double(float(random.generateDouble() * 1000.0));
            break;
        }
        if (random.bounded(2))
            value = -value;
        if (n % 7 == 0) // a step off the value: next to a tie, the quick rounding must hand over
            value = std::nextafter(value, random.bounded(2) ? HUGE_VAL : -HUGE_VAL);
        const QString expected = referenceFixed(value, decimals);
        const QString actual = FormatFixed(value, decimals);
        const QString shown = ShownNumber::fixed(value, decimals).text();
        if (shown != expected)
            QFAIL(qPrintable(QStringLiteral("shown %1 with %2 decimals: %3, expected %4")
                                 .arg(value, 0, 'g', 17)
                                 .arg(decimals)
                                 .arg(shown, expected)));
        if (actual != expected)
            QFAIL(qPrintable(QStringLiteral("%1 with %2 decimals: %3, expected %4")
                                 .arg(value, 0, 'g', 17)
                                 .arg(decimals)
                                 .arg(actual, expected)));
    }
}

void TestNumberFormat::deviation_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("positive") << 12.34 << QStringLiteral("+12.3");
    QTest::newRow("negative, ASCII minus") << -5.06 << QStringLiteral("-5.1");
    QTest::newRow("umaren example") << double((5.0f - 4.3074f) * 100.0f / 5.0f) << QStringLiteral("+13.9");
    QTest::newRow("wide example") << double((2.8f - 3.6382f) * 100.0f / 2.8f) << QStringLiteral("-29.9");
    QTest::newRow("small positive") << 0.04 << QStringLiteral("+0.0");
    QTest::newRow("small negative") << -0.04 << QStringLiteral("-0.0");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0.0");
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("0.0");
    QTest::newRow("positive tie") << 0.25 << QStringLiteral("+0.3");
    QTest::newRow("negative tie") << -0.25 << QStringLiteral("-0.3");
    QTest::newRow("large") << 99999.9 << QStringLiteral("+99999.9");
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << QString();
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QString();
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << QString();
}

void TestNumberFormat::deviation()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(FormatDeviation(value), expected);
    QCOMPARE(ShownNumber::deviation(value).text(), expected);
}

namespace {

// The shown number of value has the format's text and reads back as ParseNumber
// and ParseSingle read that text, to the bit and the sign of zero; made again
// from its digits, it is the same number.
bool readsBack(const ShownNumber &shown, const QString &text, QString &why)
{
    const auto same = [](auto a, auto b) { return !a == !b && (!a || std::memcmp(&*a, &*b, sizeof *a) == 0); };
    const std::optional<qint64> units = shown.units();
    const ShownNumber again = units ? ShownNumber::fromUnits(quint64(*units), shown.decimals(), shown.sign()) : shown;
    if (shown.text() != text)
        why = QStringLiteral("text %1, expected %2").arg(shown.text(), text);
    else if (!same(shown.number(), ParseNumber(text)))
        why = QStringLiteral("%1 reads as a double other than ParseNumber's").arg(text);
    else if (!same(shown.single(), ParseSingle(text)))
        why = QStringLiteral("%1 reads as a float other than ParseSingle's").arg(text);
    else if (shown.csvText() != FormatSingleOfText(text))
        why = QStringLiteral("%1 goes into the CSV as %2").arg(text, shown.csvText());
    else if (!(again == shown) || !same(again.number(), shown.number()) || !same(again.single(), shown.single()))
        why = QStringLiteral("%1 made again from its digits is another number").arg(text);
    return why.isEmpty();
}

} // namespace

// Every text the formats give up to 100,000 units of the last place, then
// every 997th up to 2 x 10^7 (past the 10^7 where the quick readings hand over
// to the general ones), the edges of those hand-overs, huge values and both
// signs.
void TestNumberFormat::shownNumbersReadBackAsTheirTexts()
{
    static constexpr double scales[] = {1.0, 10.0, 100.0, 1000.0};
    QString why;
    for (int decimals = 0; decimals <= 3; ++decimals) {
        for (quint64 units = 0; units <= 20000000; units += units < 100000 ? 1 : 997) {
            const double value = double(units) / scales[decimals];
            for (const double v : {value, -value}) {
                if (!readsBack(ShownNumber::fixed(v, decimals), FormatFixed(v, decimals), why)
                    || (decimals == 1 && !readsBack(ShownNumber::deviation(v), FormatDeviation(v), why)))
                    QFAIL(qPrintable(why));
            }
        }
    }
    // Up to thirty decimals, where the digits are fewer than the places.
    for (int decimals = 4; decimals <= 30; ++decimals) {
        for (const double v : {1e-25, -1.5e-20, 0.001, 123.456, 7.0}) {
            const ShownNumber shown = ShownNumber::fixed(v, decimals);
            QCOMPARE(shown.text(), FormatFixed(v, decimals));
            if (const std::optional<qint64> units = shown.units())
                QCOMPARE(ShownNumber::fromUnits(quint64(*units), decimals, shown.sign()).text(), shown.text());
        }
    }
    QRandomGenerator random(20261209);
    QList<double> edges;
    for (const double edge : {1e7, 16777216.0, 9007199254740992.0, 1e15, 1e16, 1e18, 1e19, 1e22})
        for (int decimals = 0; decimals <= 3; ++decimals)
            for (double step = -3; step <= 3; ++step)
                edges << (edge + step) / scales[decimals];
    for (int n = 0; n < 300; ++n)
        edges << std::ldexp(random.generateDouble(), int(random.bounded(-60, 1000)));
    edges << double(std::numeric_limits<float>::max()) << std::numeric_limits<double>::max() << 0.0 << -0.0;
    for (const double value : std::as_const(edges)) {
        for (int decimals = 0; decimals <= 3; ++decimals) {
            for (const double v : {value, -value}) {
                if (!readsBack(ShownNumber::fixed(v, decimals), FormatFixed(v, decimals), why)
                    || !readsBack(ShownNumber::deviation(v), FormatDeviation(v), why))
                    QFAIL(qPrintable(why));
            }
        }
    }
    QVERIFY(ShownNumber::fixed(std::numeric_limits<double>::quiet_NaN(), 1).isEmpty());
    QVERIFY(!ShownNumber::deviation(std::numeric_limits<double>::infinity()).number());
    QCOMPARE(ShownNumber::fixed(12.3, 2).units(), 1230);
    QCOMPARE(ShownNumber::deviation(-0.04).sign(), ShownNumber::Sign::Minus);
}

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "test_number_format.moc"
