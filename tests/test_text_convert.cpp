// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/text_convert.h"

#include <QTest>

#include <charconv>
#include <cstring>
#include <string>

#include <cmath>
#include <limits>

using namespace CommonFunc;

namespace {

QString u16(const char16_t *text) { return QString::fromUtf16(text); }

} // namespace

class TestTextConvert : public QObject {
    Q_OBJECT

private slots:
    void valueOfTextMatchesTheFloatPath();
    void shortDecimalsReadAsFromChars();
    void parseNumber_data();
    void parseNumber();
    void parseSingleIsNearestFloat_data();
    void parseSingleIsNearestFloat();
    void numericValueTakesLeadingNumber_data();
    void numericValueTakesLeadingNumber();
    void roundToInt16_data();
    void roundToInt16();
    void textToInteger_data();
    void textToInteger();
    void oddsTextToValue_data();
    void oddsTextToValue();
    void makePairLabel_data();
    void makePairLabel();
    void formatSingle_data();
    void formatSingle();
};

void TestTextConvert::parseNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");

    QTest::newRow("integer") << QStringLiteral("12") << true << 12.0;
    QTest::newRow("surrounding spaces") << QStringLiteral("  12.5  ") << true << 12.5;
    QTest::newRow("plus sign") << QStringLiteral("+4") << true << 4.0;
    QTest::newRow("point first") << QStringLiteral(".5") << true << 0.5;
    QTest::newRow("signed point first") << QStringLiteral("-.5") << true << -0.5;
    QTest::newRow("point last") << QStringLiteral("5.") << true << 5.0;
    QTest::newRow("exponent") << QStringLiteral("1e3") << true << 1000.0;
    QTest::newRow("signed exponent") << QStringLiteral("2.5E-1") << true << 0.25;
    QTest::newRow("point then exponent") << QStringLiteral("5.e+2") << true << 500.0;
    QTest::newRow("underflow is zero") << QStringLiteral("1e-400") << true << 0.0;
    QTest::newRow("negative underflow") << QStringLiteral("-1e-400") << true << 0.0;

    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("blank") << QStringLiteral("   ") << false << 0.0;
    QTest::newRow("letters") << QStringLiteral("abc") << false << 0.0;
    QTest::newRow("trailing garbage") << QStringLiteral("12abc") << false << 0.0;
    QTest::newRow("lone point") << QStringLiteral(".") << false << 0.0;
    QTest::newRow("two signs") << QStringLiteral("+-5") << false << 0.0;
    QTest::newRow("exponent without digits") << QStringLiteral("1e") << false << 0.0;
    QTest::newRow("fractional exponent") << QStringLiteral("1e5.0") << false << 0.0;
    QTest::newRow("inner space") << QStringLiteral("1 2") << false << 0.0;
    QTest::newRow("thousands comma") << QStringLiteral("1,000") << false << 0.0;
    QTest::newRow("hex") << QStringLiteral("0x10") << false << 0.0;
    QTest::newRow("inf") << QStringLiteral("inf") << false << 0.0;
    QTest::newRow("full-width digits") << u16(u"１２") << false << 0.0;
    QTest::newRow("scratched") << u16(u"ﾄﾘｹｼ") << false << 0.0;
    QTest::newRow("overflow") << QStringLiteral("1e400") << false << 0.0;
}

void TestTextConvert::parseNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);

    const std::optional<double> parsed = ParseNumber(text);
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, value);
}

void TestTextConvert::parseSingleIsNearestFloat_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<float>("value");

    QTest::newRow("0.04") << QStringLiteral("0.04") << true << 0.04f;
    QTest::newRow("0.05") << QStringLiteral("0.05") << true << 0.05f;
    QTest::newRow("9999.9") << QStringLiteral("9999.9") << true << 9999.9f;
    QTest::newRow("99999.9") << QStringLiteral(" 99999.9 ") << true << 99999.9f;
    QTest::newRow("16777217 ties to even") << QStringLiteral("16777217") << true << 16777216.0f;
    // Just above the midpoint between 1 and the next float: a detour through
    // double lands on the midpoint and then rounds down to 1.
    QTest::newRow("no double rounding") << QStringLiteral("1.00000005960464477539062500000001") << true
                                        << std::nextafter(1.0f, 2.0f);
    QTest::newRow("largest float") << QStringLiteral("3.4028235e38") << true << std::numeric_limits<float>::max();
    QTest::newRow("subnormal") << QStringLiteral("1e-40") << true << 1e-40f;
    QTest::newRow("underflow is zero") << QStringLiteral("1e-50") << true << 0.0f;

    QTest::newRow("beyond float range") << QStringLiteral("1e39") << false << 0.0f;
    QTest::newRow("just beyond largest") << QStringLiteral("3.4028236e38") << false << 0.0f;
    QTest::newRow("garbage") << QStringLiteral("1.2.3") << false << 0.0f;
}

void TestTextConvert::parseSingleIsNearestFloat()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(float, value);

    const std::optional<float> parsed = ParseSingle(text);
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, value);
}

void TestTextConvert::numericValueTakesLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("number then letters") << QStringLiteral("12.3abc") << 12.3;
    QTest::newRow("scratched") << u16(u"ﾄﾘｹｼ") << 0.0;
    QTest::newRow("leading space") << QStringLiteral(" 9") << 9.0;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("exponent taken") << QStringLiteral("1e3z") << 1000.0;
    QTest::newRow("dangling exponent") << QStringLiteral("1e+") << 1.0;
    QTest::newRow("second point") << QStringLiteral(".5.") << 0.5;
    QTest::newRow("letters first") << QStringLiteral("abc12") << 0.0;
    QTest::newRow("comma") << QStringLiteral("1,000") << 1.0;
    QTest::newRow("tiny") << QStringLiteral("1e-999x") << 0.0;
}

void TestTextConvert::numericValueTakesLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(NumericValue(text), value);
}

void TestTextConvert::roundToInt16_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("rounded");

    QTest::newRow("2.5") << 2.5 << true << 2;
    QTest::newRow("3.5") << 3.5 << true << 4;
    QTest::newRow("-2.5") << -2.5 << true << -2;
    QTest::newRow("-3.5") << -3.5 << true << -4;
    QTest::newRow("-0.4") << -0.4 << true << 0;
    QTest::newRow("32767.4") << 32767.4 << true << 32767;
    QTest::newRow("32767.5") << 32767.5 << false << 0;
    QTest::newRow("-32768.5") << -32768.5 << true << -32768;
    QTest::newRow("-32768.6") << -32768.6 << false << 0;
    QTest::newRow("40000") << 40000.0 << false << 0;
    QTest::newRow("nan") << std::nan("") << false << 0;
    QTest::newRow("inf") << -std::numeric_limits<double>::infinity() << false << 0;
}

void TestTextConvert::roundToInt16()
{
    QFETCH(double, value);
    QFETCH(bool, ok);
    QFETCH(int, rounded);

    const std::optional<qint16> result = RoundToInt16(value);
    QCOMPARE(result.has_value(), ok);
    if (ok)
        QCOMPARE(int(*result), rounded);
}

void TestTextConvert::textToInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");

    QTest::newRow("digits") << QStringLiteral("7") << 7;
    QTest::newRow("padded") << QStringLiteral(" 12 ") << 12;
    QTest::newRow("tie down") << QStringLiteral("2.5") << 2;
    QTest::newRow("negative") << QStringLiteral("-5") << -5;
    QTest::newRow("top") << QStringLiteral("32767") << 32767;
    QTest::newRow("too big") << QStringLiteral("32768") << 0;
    QTest::newRow("rounds too big") << QStringLiteral("32767.5") << 0;
    QTest::newRow("trailing garbage") << QStringLiteral("12abc") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("scratched") << u16(u"ﾄﾘｹｼ") << 0;
    QTest::newRow("huge") << QStringLiteral("1e400") << 0;
}

void TestTextConvert::textToInteger()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(int(TextToInteger(text)), value);
}

void TestTextConvert::oddsTextToValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("value");

    QTest::newRow("odds") << QStringLiteral("12.3") << 12.3f;
    QTest::newRow("padded") << QStringLiteral("  5.0 ") << 5.0f;
    QTest::newRow("scratched price") << QStringLiteral("99999.9") << 99999.9f;
    QTest::newRow("scratched") << u16(u"ﾄﾘｹｼ") << 0.0f;
    QTest::newRow("empty") << QString() << 0.0f;
    QTest::newRow("by-rank placeholder") << QStringLiteral("---") << 0.0f;
    QTest::newRow("rate placeholder") << QStringLiteral("-----") << 0.0f;
    QTest::newRow("number then text") << QStringLiteral("12.3abc") << 0.0f;
    QTest::newRow("beyond float range") << QStringLiteral("1e39") << 0.0f;
}

void TestTextConvert::oddsTextToValue()
{
    QFETCH(QString, text);
    QFETCH(float, value);
    QCOMPARE(OddsTextToValue(text), value);
}

void TestTextConvert::makePairLabel_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("label");

    QTest::newRow("1,2") << 1 << 2 << QStringLiteral(" 1- 2");
    QTest::newRow("2,1") << 2 << 1 << QStringLiteral(" 1- 2");
    QTest::newRow("9,10") << 9 << 10 << QStringLiteral(" 9-10");
    QTest::newRow("10,18") << 10 << 18 << QStringLiteral("10-18");
    QTest::newRow("1,18") << 1 << 18 << QStringLiteral(" 1-18");
    QTest::newRow("0,99") << 0 << 99 << QStringLiteral(" 0-99");
    QTest::newRow("2,100: past two digits") << 2 << 100 << QStringLiteral(" 2-100");
    QTest::newRow("-1,3") << -1 << 3 << QStringLiteral("-1- 3");
}

void TestTextConvert::makePairLabel()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(QString, label);
    QCOMPARE(MakePairLabel(a, b), label);
    // The label written in place is the same, where it has five characters.
    char16_t written[5];
    const bool fits = WritePairLabel(a, b, written);
    QCOMPARE(fits, std::min(a, b) >= 0 && std::max(a, b) <= 99);
    if (fits)
        QCOMPARE(QStringView(written, 5), QStringView(label));
    char16_t buffer[5];
    QString wider;
    QCOMPARE(PairLabelView(a, b, buffer, wider), QStringView(label));
}

void TestTextConvert::formatSingle_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("0.04") << 0.04f << QStringLiteral("0.04");
    QTest::newRow("0.05") << 0.05f << QStringLiteral("0.05");
    QTest::newRow("9999.9") << 9999.9f << QStringLiteral("9999.9");
    QTest::newRow("1000") << 1000.0f << QStringLiteral("1000");
    QTest::newRow("300") << 300.0f << QStringLiteral("300");
    QTest::newRow("1E+30") << 1e30f << QStringLiteral("1") + QString(30, u'0');
    QTest::newRow("negative") << -0.04f << QStringLiteral("-0.04");
    QTest::newRow("zero") << 0.0f << QStringLiteral("0");
    QTest::newRow("negative zero") << -0.0f << QStringLiteral("0");
    QTest::newRow("1/3") << 1.0f / 3.0f << QStringLiteral("0.3333333");
    QTest::newRow("-2/3") << -2.0f / 3.0f << QStringLiteral("-0.6666667");
    QTest::newRow("16777217") << 16777217.0f << QStringLiteral("16777220");
    QTest::newRow("1e-7") << 1e-7f << QStringLiteral("0.0000001");
    QTest::newRow("1.5e-10") << 1.5e-10f << QStringLiteral("0.00000000015");
    QTest::newRow("largest float") << std::numeric_limits<float>::max()
                                   << QStringLiteral("3402823") + QString(32, u'0');
    QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << QStringLiteral("0");
    QTest::newRow("inf") << std::numeric_limits<float>::infinity() << QStringLiteral("0");
}

void TestTextConvert::formatSingle()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    QCOMPARE(FormatSingle(value), text);
}

// The shortcut for cell texts must give exactly what the float path gives.
void TestTextConvert::valueOfTextMatchesTheFloatPath()
{
    QStringList texts = {QStringLiteral("+13.9"),
                         QStringLiteral("-29.9"),
                         QStringLiteral("0.000"),
                         QStringLiteral("99999.9"),
                         QStringLiteral("1.40"),
                         QStringLiteral(".5"),
                         QStringLiteral("5."),
                         QStringLiteral("007"),
                         QStringLiteral("-0.0"),
                         QStringLiteral(" 12 "),
                         QStringLiteral("1e3"),
                         QStringLiteral("1234567"),
                         QStringLiteral("9999999"),
                         QStringLiteral("0.0000075"),
                         QStringLiteral("1000000"),
                         QStringLiteral("123456000000000000000"),
                         QStringLiteral(""),
                         QStringLiteral("-"),
                         QStringLiteral("."),
                         QStringLiteral("1.2.3"),
                         QStringLiteral("---"),
                         QStringLiteral("-----"),
                         QString::fromUtf16(u"ﾄﾘｹｼ"),
                         QStringLiteral("0.000000000000000000001"),
                         QStringLiteral("00000000000000000000000000001")};
    // Every one- to six-digit mantissa shape, with the point in every place.
    quint32 seed = 12345;
    for (int k = 0; k < 20000; ++k) {
        seed = seed * 1103515245u + 12345u;
        const int digits = 1 + int((seed >> 16) % 8);
        QString mantissa = QString::number((seed >> 3) % 100000000u).rightJustified(8, u'0').right(digits);
        const int point = int((seed >> 8) % quint32(digits + 2));
        if (point <= digits)
            mantissa.insert(point, u'.');
        texts.append(((seed & 1) ? QStringLiteral("-") : QString()) + mantissa);
    }
    for (const QString &text : std::as_const(texts))
        QCOMPARE(FormatSingleOfText(text), FormatSingle(OddsTextToValue(text)));
}

// Short decimals take a quicker road than from_chars; it must give the same
// nearest values, bit for bit.
void TestTextConvert::shortDecimalsReadAsFromChars()
{
    quint64 seed = 987654321;
    const auto next = [&seed] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return quint32(seed >> 33);
    };
    for (int k = 0; k < 50000; ++k) {
        const int digits = 1 + int(next() % 24);
        std::string text;
        if (next() % 3 == 0)
            text += '-';
        for (int d = 0; d < digits; ++d)
            text += char('0' + next() % 10);
        const int point = int(next() % quint32(digits + 1));
        if (next() % 4 != 0)
            text.insert(text.size() - std::size_t(point), 1, '.');
        if (text.back() == '.' || text.front() == '.' || (text[0] == '-' && text[1] == '.'))
            continue;
        const QString q = QString::fromLatin1(text.c_str());
        double d = 0;
        float f = 0;
        std::from_chars(text.data(), text.data() + text.size(), d);
        std::from_chars(text.data(), text.data() + text.size(), f);
        const std::optional<double> parsed = ParseNumber(q);
        const std::optional<float> single = ParseSingle(q);
        QVERIFY2(parsed && std::memcmp(&*parsed, &d, sizeof d) == 0, text.c_str());
        QVERIFY2(single && std::memcmp(&*single, &f, sizeof f) == 0, text.c_str());
        QCOMPARE(NumericValue(q + QStringLiteral("x")), d);
        QCOMPARE(NumericValueSingle(q + QStringLiteral("x")), f);
    }
}

QTEST_GUILESS_MAIN(TestTextConvert)
#include "test_text_convert.moc"
