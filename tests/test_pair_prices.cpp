// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/pair_prices.h"
#include "app/race_sheet.h"
#include "common/text_convert.h"
#include "common/text_util.h"

#include <QTest>

using namespace CommonFunc;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CommonFunc::BetType)

namespace {

// The sheet's cells stand for the rates as shown; the pair odds as read.
PairOddsTable g_odds;

HorseForPrices horseOf(const RaceSheet &sheet, BetType type, int n)
{
    const RaceSheet::Column &rates = type == BetType::Umaren ? sheet.lblTanRatio : sheet.lblFukuRatio;
    return {TrimSpaces(sheet.lblTanOdds[n]) == ScratchedText(), ParseNumber(rates[n])};
}

PairPrices pairPrices(const RaceSheet &sheet, BetType type, int i, int j)
{
    return ComputePairPrices(g_odds, type, i, j, horseOf(sheet, type, i), horseOf(sheet, type, j));
}

// Enough digits to tell every float (9) and double (17) apart, so a value
// rounded at a different stage shows up as a different text; "" for a value
// that cannot be computed.  QCOMPARE on floating point would be fuzzy.
QString exact(std::optional<float> value) { return value ? QString::number(double(*value), 'g', 9) : QString(); }

QString exact(std::optional<double> value) { return value ? QString::number(*value, 'g', 17) : QString(); }

constexpr int kFirst = 3;
constexpr int kSecond = 7;

// Seven runners, none scratched; the rates of the bet type not under test
// differ from those under test, so reading the wrong column changes T.
void fillSheet(RaceSheet &sheet, BetType type, const QString &rateFirst, const QString &rateSecond)
{
    sheet.lblHorseNum = u"7"_s;
    for (int n = 1; n <= 7; ++n) {
        sheet.lblTanOdds[n] = u"5.0"_s;
        sheet.lblTanRatio[n] = u"0.111"_s;
        sheet.lblFukuRatio[n] = u"0.222"_s;
    }
    RaceSheet::Column &rates = type == BetType::Umaren ? sheet.lblTanRatio : sheet.lblFukuRatio;
    rates[kFirst] = rateFirst;
    rates[kSecond] = rateSecond;
}

} // namespace

class TestPairPrices : public QObject {
    Q_OBJECT

private slots:
    void prices_data();
    void prices();
    void scratched_data();
    void scratched();
    void swappedRatesGiveTheSameTheoreticalPrice_data();
    void swappedRatesGiveTheSameTheoreticalPrice();
    void eachBetTypeReadsItsOwnRates();
};

void TestPairPrices::prices_data()
{
    QTest::addColumn<BetType>("type");
    QTest::addColumn<QString>("rateFirst");
    QTest::addColumn<QString>("rateSecond");
    QTest::addColumn<QString>("umaren");
    QTest::addColumn<QString>("wideMin");
    QTest::addColumn<QString>("wideMax");
    QTest::addColumn<QString>("theoretical");
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("deviation");
    QTest::addColumn<QString>("support");

    const auto U = BetType::Umaren;
    const auto W = BetType::Wide;
    // The two worked examples: T 4.3, D +13.9, S 0.150 and T 3.6, A 2.8, D -29.9, S 0.089.
    QTest::newRow("umaren example") << U << u"0.320"_s << u"0.200"_s << u"5.0"_s << u""_s << u""_s << u"4.30743217"_s
                                    << u"5"_s << u"13.8513565"_s << u"0.14999999999999999"_s;
    QTest::newRow("wide example") << W << u"0.190"_s << u"0.150"_s << u""_s << u"2.1"_s << u"3.5"_s << u"3.63823724"_s
                                  << u"2.79999995"_s << u"-29.937048"_s << u"0.089285715806240964"_s;
    // Each of these shows a different last digit on screen when a step is
    // rounded to single precision at another stage than P1, P2, their sum, T,
    // A - T, x 100 and / A.
    QTest::newRow("deviation in single") << U << u"0.297"_s << u"0.049"_s << u"116.7"_s << u""_s << u""_s
                                         << u"20.8309498"_s << u"116.699997"_s << u"82.1500015"_s
                                         << u"0.0064267353865710359"_s;
    QTest::newRow("theoretical in single")
        << U << u"0.038"_s << u"0.286"_s << u"5.1"_s << u""_s << u""_s << u"28.2820492"_s << u"5.0999999"_s
        << u"-454.549988"_s << u"0.14705882627933775"_s;
    QTest::newRow("probabilities in double")
        << U << u"0.057"_s << u"0.064"_s << u"3.7"_s << u""_s << u""_s << u"96.5755539"_s << u"3.70000005"_s
        << u"-2510.15015"_s << u"0.20270270009037353"_s;
    QTest::newRow("percent before dividing")
        << U << u"0.140"_s << u"0.375"_s << u"159.1"_s << u""_s << u""_s << u"5.17075539"_s << u"159.100006"_s
        << u"96.7499924"_s << u"0.0047140161610806329"_s;
    // Rates adding up to 1: P1 + P2 is exactly 1.  The wide mean of 1.1 and
    // 2.6 is 1.8499999 in single precision (1.85000002 through double).
    QTest::newRow("wide mean in single") << W << u"0.449"_s << u"0.551"_s << u""_s << u"1.1"_s << u"2.6"_s << u"0.25"_s
                                         << u"1.8499999"_s << u"86.4864807"_s << u"0.13513514210134672"_s;
    // The lower bound goes through OddsTextToValue (0 when not a number).
    QTest::newRow("wide lower bound not a number")
        << W << u"0.190"_s << u"0.150"_s << u""_s << u"2.1x"_s << u"3.5"_s << u"3.63823724"_s << u"1.75"_s
        << u"-107.899277"_s << u"0.14285714285714285"_s;
    QTest::newRow("wide lower bound empty")
        << W << u"0.190"_s << u"0.150"_s << u""_s << u""_s << u"3.0"_s << u"3.63823724"_s << u"1.5"_s
        << u"-142.549149"_s << u"0.16666666666666666"_s;

    // Numbers that cannot be computed are absent; the others still are.
    QTest::newRow("rate placeholder") << U << u"0.320"_s << u"-----"_s << u"5.0"_s << u""_s << u""_s << u""_s << u"5"_s
                                      << u""_s << u"0.14999999999999999"_s;
    QTest::newRow("both rates zero") << W << u"0.000"_s << u"0.000"_s << u""_s << u"2.1"_s << u"3.5"_s << u""_s
                                     << u"2.79999995"_s << u""_s << u"0.089285715806240964"_s;
    QTest::newRow("rate of one") << U << u"1.000"_s << u"0.200"_s << u"5.0"_s << u""_s << u""_s << u""_s << u"5"_s
                                 << u""_s << u"0.14999999999999999"_s;
    QTest::newRow("umaren odds empty") << U << u"0.320"_s << u"0.200"_s << u""_s << u""_s << u""_s << u"4.30743217"_s
                                       << u"0"_s << u""_s << u""_s;
    QTest::newRow("umaren odds not a number")
        << U << u"0.320"_s << u"0.200"_s << u"abc"_s << u""_s << u""_s << u"4.30743217"_s << u"0"_s << u""_s << u""_s;
    QTest::newRow("wide upper bound not a number")
        << W << u"0.190"_s << u"0.150"_s << u""_s << u"2.1"_s << u"abc"_s << u"3.63823724"_s << u""_s << u""_s << u""_s;
    QTest::newRow("wide upper bound empty")
        << W << u"0.190"_s << u"0.150"_s << u""_s << u"2.1"_s << u""_s << u"3.63823724"_s << u""_s << u""_s << u""_s;
    QTest::newRow("wide bounds both zero") << W << u"0.190"_s << u"0.150"_s << u""_s << u"0.0"_s << u"0.0"_s
                                           << u"3.63823724"_s << u"0"_s << u""_s << u""_s;
}

void TestPairPrices::prices()
{
    QFETCH(BetType, type);
    QFETCH(QString, rateFirst);
    QFETCH(QString, rateSecond);
    QFETCH(QString, umaren);
    QFETCH(QString, wideMin);
    QFETCH(QString, wideMax);

    RaceSheet sheet;
    fillSheet(sheet, type, rateFirst, rateSecond);
    PairOddsRecord &pair = g_odds.at(kFirst, kSecond);
    pair.UmaRenOdds = type == BetType::Umaren ? umaren : u"77.7"_s;
    pair.WideOddsMin = type == BetType::Wide ? wideMin : u"11.1"_s;
    pair.WideOddsMax = type == BetType::Wide ? wideMax : u"22.2"_s;

    const PairPrices prices = pairPrices(sheet, type, kFirst, kSecond);
    QTEST(exact(prices.theoretical), "theoretical");
    QTEST(exact(prices.actual), "actual");
    QTEST(exact(prices.deviation), "deviation");
    QTEST(exact(prices.support), "support");
}

void TestPairPrices::scratched_data()
{
    QTest::addColumn<BetType>("type");
    QTest::addColumn<QString>("tanOddsSecond");
    QTest::addColumn<QString>("umaren");
    QTest::addColumn<QString>("wideMin");
    QTest::addColumn<QString>("wideMax");
    QTest::addColumn<QString>("theoretical");
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("deviation");
    QTest::addColumn<QString>("support");

    const auto U = BetType::Umaren;
    const auto W = BetType::Wide;
    const QString mark = u"ﾄﾘｹｼ"_s;
    const QString sentinel = u"99999.8984"_s; // 99999.9 in single precision
    const QString umarenSupport = u"7.5000076171952362e-06"_s;
    const QString wideSupport = u"2.5000025390650786e-06"_s;

    // The analysis leaves "-----" as the scratched horse's win rate; the
    // scratched test comes first, so T is still the sentinel.
    QTest::newRow("umaren scratched") << U << mark << mark << mark << mark << sentinel << sentinel << u"0"_s
                                      << umarenSupport;
    QTest::newRow("wide scratched") << W << mark << mark << mark << mark << sentinel << sentinel << u"0"_s
                                    << wideSupport;
    QTest::newRow("scratched, odds still a number") << U << mark << u"5.0"_s << u"2.1"_s << u"3.5"_s << sentinel
                                                    << u"5"_s << u"-1999898"_s << u"0.14999999999999999"_s;
    // The marker in the odds of a pair of two runners: T as usual.
    QTest::newRow("umaren marker at the end") << U << u"8.0"_s << u"  ﾄﾘｹｼ"_s << u"2.1"_s << u"3.5"_s << u"4.30743217"_s
                                              << sentinel << u"99.9956894"_s << umarenSupport;
    QTest::newRow("umaren marker at the start") << U << u"8.0"_s << u"ﾄﾘｹｼ  "_s << u"2.1"_s << u"3.5"_s
                                                << u"4.30743217"_s << sentinel << u"99.9956894"_s << umarenSupport;
    QTest::newRow("umaren marker in the middle") << U << u"8.0"_s << u" ﾄﾘｹｼ "_s << u"2.1"_s << u"3.5"_s
                                                 << u"4.30743217"_s << sentinel << u"99.9956894"_s << umarenSupport;
    QTest::newRow("wide marker in the lower bound") << W << u"8.0"_s << u"5.0"_s << u" ﾄﾘｹｼ "_s << u"abc"_s
                                                    << u"3.63823724"_s << sentinel << u"99.9963608"_s << wideSupport;
    // Only the lower bound is tested for the marker: an upper bound carrying
    // it is just a text that is not a number.
    QTest::newRow("wide marker in the upper bound")
        << W << u"8.0"_s << u"5.0"_s << u"2.1"_s << mark << u"3.63823724"_s << u""_s << u""_s << u""_s;
}

void TestPairPrices::scratched()
{
    QFETCH(BetType, type);
    QFETCH(QString, tanOddsSecond);
    QFETCH(QString, umaren);
    QFETCH(QString, wideMin);
    QFETCH(QString, wideMax);

    RaceSheet sheet;
    fillSheet(sheet, BetType::Umaren, u"0.320"_s, u"0.200"_s);
    sheet.lblFukuRatio[kFirst] = u"0.190"_s;
    sheet.lblFukuRatio[kSecond] = u"0.150"_s;
    sheet.lblTanOdds[kSecond] = tanOddsSecond;
    if (sheet.IsScratched(kSecond)) {
        sheet.lblTanRatio[kSecond] = u"-----"_s;
        sheet.lblFukuRatio[kSecond] = u"0.000"_s;
    }
    PairOddsRecord &pair = g_odds.at(kFirst, kSecond);
    pair.UmaRenOdds = umaren;
    pair.WideOddsMin = wideMin;
    pair.WideOddsMax = wideMax;

    const PairPrices prices = pairPrices(sheet, type, kFirst, kSecond);
    QTEST(exact(prices.theoretical), "theoretical");
    QTEST(exact(prices.actual), "actual");
    QTEST(exact(prices.deviation), "deviation");
    QTEST(exact(prices.support), "support");
}

void TestPairPrices::swappedRatesGiveTheSameTheoreticalPrice_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::newRow("example") << u"0.320"_s << u"0.200"_s;
    QTest::newRow("long shot") << u"0.004"_s << u"0.571"_s;
    QTest::newRow("close") << u"0.133"_s << u"0.134"_s;
}

void TestPairPrices::swappedRatesGiveTheSameTheoreticalPrice()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    for (BetType type : {BetType::Umaren, BetType::Wide}) {
        RaceSheet forward;
        fillSheet(forward, type, a, b);
        RaceSheet backward;
        fillSheet(backward, type, b, a);
        const std::optional<float> t1 = pairPrices(forward, type, kFirst, kSecond).theoretical;
        const std::optional<float> t2 = pairPrices(backward, type, kFirst, kSecond).theoretical;
        QVERIFY(t1);
        QCOMPARE(exact(t2), exact(t1));
    }
}

void TestPairPrices::eachBetTypeReadsItsOwnRates()
{
    RaceSheet sheet;
    fillSheet(sheet, BetType::Umaren, u"0.320"_s, u"0.200"_s);
    sheet.lblFukuRatio[kFirst] = u"0.190"_s;
    sheet.lblFukuRatio[kSecond] = u"0.150"_s;
    QCOMPARE(exact(pairPrices(sheet, BetType::Umaren, kFirst, kSecond).theoretical), u"4.30743217"_s);
    QCOMPARE(exact(pairPrices(sheet, BetType::Wide, kFirst, kSecond).theoretical), u"3.63823724"_s);

    // A changed place rate moves only the wide price, a changed win rate only the umaren one.
    sheet.lblFukuRatio[kSecond] = u"0.100"_s;
    QCOMPARE(exact(pairPrices(sheet, BetType::Umaren, kFirst, kSecond).theoretical), u"4.30743217"_s);
    QVERIFY(exact(pairPrices(sheet, BetType::Wide, kFirst, kSecond).theoretical) != u"3.63823724"_s);
    sheet.lblFukuRatio[kSecond] = u"0.150"_s;
    sheet.lblTanRatio[kSecond] = u"0.100"_s;
    QVERIFY(exact(pairPrices(sheet, BetType::Umaren, kFirst, kSecond).theoretical) != u"4.30743217"_s);
    QCOMPARE(exact(pairPrices(sheet, BetType::Wide, kFirst, kSecond).theoretical), u"3.63823724"_s);
}

QTEST_GUILESS_MAIN(TestPairPrices)
#include "test_pair_prices.moc"
