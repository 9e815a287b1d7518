// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/race_analysis.h"

#include "common/text_convert.h"
#include "common/text_util.h"

#include <array>
#include <cmath>

namespace CommonFunc {

namespace {

// Odds of a scratched horse, as the ranks read them.
constexpr float kScratchedWinOdds = 9999.9f;
constexpr float kScratchedPlaceOdds = 999.9f;

// Rank i = 1 + horses with a lower value + lower-numbered horses with the same value.
template <typename Value>
void rank(RaceAnalysis &race, Value value, int HorseAnalysis::*rankOf)
{
    const int count = race.count();
    std::array<decltype(value(1)), MaxHorses + 1> values {};
    for (int i = 1; i <= count; ++i)
        values[std::size_t(i)] = value(i);
    for (int i = 1; i <= count; ++i) {
        int r = 1;
        const auto v = values[std::size_t(i)];
        for (int j = 1; j <= count; ++j) {
            if (values[std::size_t(j)] < v || (j < i && values[std::size_t(j)] == v))
                ++r;
        }
        race.horses[std::size_t(i)].*rankOf = r;
    }
}

// 0.8 / odds / divisor in "0.000"; empty ("-----") when the odds are 0 or the
// rate is not finite.
ShownNumber supportRate(double odds, double divisor)
{
    if (odds == 0.0)
        return {};
    return ShownNumber::fixed(0.8 / odds / divisor, 3);
}

} // namespace

int RaceAnalysis::PairIndex(int count, int a, int b)
{
    const int i = std::min(a, b);
    const int j = std::max(a, b);
    // Pairs (1,2) … (1,count) come first, count - 1 of them, then (2,3) ….
    return (i - 1) * count - i * (i - 1) / 2 + (j - i - 1);
}

const PairAnalysis *RaceAnalysis::pair(BetType type, int a, int b) const
{
    const int n = count();
    if (a == b || a < 1 || b < 1 || a > n || b > n)
        return nullptr;
    const QList<PairAnalysis> &list = pairsOf(type);
    const int index = PairIndex(n, a, b);
    return index < list.size() ? &list[index] : nullptr;
}

QString RaceAnalysis::markText(BetType type, const PairAnalysis &pair) const
{
    return pair.judgedLevel > 0 ? judge(type).dispChar[std::size_t(pair.judgedLevel - 1)] : QString();
}

QString PairAnalysis::label() const { return MakePairLabel(first, second); }

std::optional<qint32> PairAnalysis::hitColour() const
{
    if (hitEntry == 0)
        return std::nullopt;
    return hitEntry == 1 ? Colour::Red : Colour::Green;
}

void AnalyzeWinPlace(RaceAnalysis &race, const RaceData &data)
{
    const PatFileHeader &header = data.odds.Header;
    race.raceFile = data.oddsPath;
    race.raceKey = data.raceKey;
    race.oddsStage = data.oddsStage;
    race.paths = data.paths;
    race.hasEntry = data.hasEntry;
    race.horseCount = PatCount(header.HorseCount);
    race.kaisai = header.Course + QStringLiteral(u" 第") + header.Kai + QStringLiteral(u"回 ") + header.Nichi
        + QStringLiteral(u"日");
    race.raceName = header.RaceNo + QStringLiteral("R ") + header.RaceName;

    // Odds are mostly plain decimals, read from their bytes; anything else
    // from its text.
    const auto single = [](const std::optional<PlainDecimal> &plain, const QString &text) {
        return plain ? plain->single() : OddsNumericValueSingle(text);
    };
    std::array<double, MaxHorses + 1> tanNumbers {};
    const int count = race.count();
    for (int n = 1; n <= count; ++n) {
        HorseAnalysis &horse = race.horses[std::size_t(n)];
        const TanFukuOddsRecord &record = data.odds.Odds[n];
        horse.tanOdds = TrimSpaces(record.TanOdds);
        horse.fukuOddsMin = TrimSpaces(record.FukuOddsMin);
        horse.fukuOddsMax = TrimSpaces(record.FukuOddsMax);
        horse.scratched = horse.tanOdds == ScratchedText();
        const std::optional<PlainDecimal> tan = PlainDecimalOf(record.TanOdds);
        tanNumbers[std::size_t(n)] = tan ? tan->number() : OddsNumericValue(horse.tanOdds);
        if (horse.scratched) {
            horse.tanValue = kScratchedWinOdds;
            horse.fukuMinValue = horse.fukuMaxValue = kScratchedPlaceOdds;
        } else {
            horse.tanValue = single(tan, horse.tanOdds);
            horse.fukuMinValue = single(PlainDecimalOf(record.FukuOddsMin), horse.fukuOddsMin);
            horse.fukuMaxValue = single(PlainDecimalOf(record.FukuOddsMax), horse.fukuOddsMax);
        }
    }
    // Without an entry file the names and the start time stay blank.
    if (data.hasEntry) {
        const int names = std::min(PatCount(data.entry.Header.HorseCount), MaxHorses);
        for (int n = 1; n <= names; ++n)
            race.horses[std::size_t(n)].name = data.entry.Horses[n].HorseName;
        const QString &time = data.entry.Header.StartTime;
        race.raceTime = time.left(2) + u':' + time.right(2);
    }

    auto &horses = race.horses;
    rank(
        race, [&](int n) { return horses[std::size_t(n)].tanValue; }, &HorseAnalysis::tanRank);
    for (int n = 1; n <= count; ++n) {
        HorseAnalysis &horse = horses[std::size_t(n)];
        horse.tanRatio = supportRate(tanNumbers[std::size_t(n)], 1.0);
        horse.fukuOdds = ShownNumber::fixed((horse.fukuMinValue + horse.fukuMaxValue) / 2.0f, 2);
    }
    // Place ranks compare the two-decimal means as shown.
    rank(
        race, [&](int n) { return horses[std::size_t(n)].fukuOdds.single().value_or(0.0f); }, &HorseAnalysis::fukuRank);
    for (int n = 1; n <= count; ++n) {
        HorseAnalysis &horse = horses[std::size_t(n)];
        horse.fukuRatio = supportRate(horse.fukuOdds.number().value_or(0.0), 3.0);
    }

    for (int n = 1; n <= count; ++n) {
        race.tanTable[std::size_t(horses[std::size_t(n)].tanRank)].horse = n;
        race.fukuTable[std::size_t(horses[std::size_t(n)].fukuRank)].horse = n;
    }
    const qint16 detect = race.options.detectVal;
    for (int k = 1; k <= count; ++k) {
        RankAnalysis &row = race.tanTable[std::size_t(k)];
        const HorseAnalysis &horse = horses[std::size_t(row.horse)];
        if (!horse.scratched) {
            const double place = horse.fukuRatio.number().value_or(0.0);
            if (place == 0.0)
                row.tanFukuRatio = ShownNumber::fixed(0.0, 3);
            else if (!horse.tanRatio.isEmpty())
                row.tanFukuRatio = ShownNumber::fixed(*horse.tanRatio.number() / place, 3);
        }
        row.star = std::fabs(k - double(horse.fukuRank)) >= detect;
    }
}

} // namespace CommonFunc
