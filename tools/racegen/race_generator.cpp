// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/racegen/race_generator.h"

#include "common/text_convert.h"
#include "tools/racegen/pat_writer.h"
#include "tools/racegen/race_texts.h"
#include "tools/racegen/random.h"

#include <QDir>

#include <algorithm>
#include <array>
#include <numeric>

namespace RaceGen {

using namespace CommonFunc;

namespace {

constexpr int kSlots = MaxHorses + 1; // index 0 unused
using PerHorse = std::array<double, kSlots>;
using PerPair = std::array<PerHorse, kSlots>;
using TenthsPerPair = std::array<std::array<int, kSlots>, kSlots>;

const QString &scratchedText()
{
    static const QString text = QStringLiteral(u"ﾄﾘｹｼ");
    return text;
}

// Field sizes as they come in the programme, 5 to 18 runners.
constexpr double kFieldSizeWeights[] = {1, 1, 2, 3, 3, 4, 5, 6, 6, 8, 8, 12, 6, 10};
constexpr int kSmallestDrawnField = 5;

// Take-outs: the pools pay back 80 % (win, place) and 77.5 % (bracket, wide);
// umaren prices are set against 75 % of its chance, as the analysis expects.
constexpr double kWinReturn = 0.8;
constexpr double kPlaceReturn = 0.8;
constexpr double kUmaRenReturn = 0.75;
constexpr double kWideReturn = 0.775;
constexpr double kWakuRenReturn = 0.775;

// Widest odds each field can hold, in tenths: "999.9" and "9999.9".
constexpr int kMaxSingleTenths = 9999;
constexpr int kMaxPairTenths = 99999;

QString twoDigits(int value) { return QString::number(value).rightJustified(2, u'0'); }

QString clockText(int minutes) { return twoDigits(minutes / 60 % 24) + twoDigits(minutes % 60); }

QString oddsText(int tenths) { return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10); }

// Odds are cut down to the tenth, never rounded up, and never pay below 1.0.
int tenthsDown(double odds, int maxTenths)
{
    const double tenths = odds * 10.0 + 1e-9;
    if (!(tenths < double(maxTenths)))
        return maxTenths;
    return std::max(10, int(tenths));
}

int bracketOf(int horse, int horseCount)
{
    if (horseCount <= 8)
        return horse;
    // 8 brackets; the last ones take the extra horses.
    const int base = horseCount / 8;
    const int extra = horseCount % 8;
    int first = 1;
    for (int bracket = 1; bracket <= 8; ++bracket) {
        const int size = base + (bracket > 8 - extra ? 1 : 0);
        if (horse < first + size)
            return bracket;
        first += size;
    }
    return 8;
}

// Harville: the chance that a finishes first and b second, and so on.
double ordered2(const PerHorse &p, int a, int b)
{
    const double rest = 1.0 - p[a];
    return rest > 1e-12 ? p[a] * p[b] / rest : 0.0;
}

double ordered3(const PerHorse &p, int a, int b, int c)
{
    const double rest = 1.0 - p[a] - p[b];
    return rest > 1e-12 ? ordered2(p, a, b) * p[c] / rest : 0.0;
}

void normalise(PerHorse &values)
{
    const double total = std::accumulate(values.begin(), values.end(), 0.0);
    if (total > 0.0) {
        for (double &v : values)
            v /= total;
    }
}

// A pool's pay-out per unit on a winning ticket: the stakes of the winning
// tickets come back, the rest of the pool after take-out is split evenly
// between the winning tickets.
double poolOdds(double returned, double ownShare, double winningShares, int winners)
{
    return 1.0 + (returned - winningShares) / (double(winners) * ownShare);
}

struct Race {
    RaceSetup setup;
    RaceTexts texts;
    int n = 0;
    QList<int> runners;
    PerHorse p {};          // the market's win chances, 0 for scratched horses
    PerHorse placeShare {}; // shares of the place pool
    PerPair wideShare {};   // shares of the wide pool, i < j
    int placeWinners = 3;
    int winTenths[kSlots] {};
    TenthsPerPair umaRenTenths {};
    TenthsPerPair wideMinTenths {};
    TenthsPerPair wideMaxTenths {};
};

bool isRunner(const Race &race, int horse) { return race.p[horse] > 0.0; }

void drawField(Race &race, Random &random)
{
    race.n = race.setup.horseCount > 0 ? std::clamp(race.setup.horseCount, 2, MaxHorses)
                                       : kSmallestDrawnField + random.weighted(kFieldSizeWeights);
    int scratched = race.setup.scratchedCount;
    if (scratched < 0) {
        constexpr double scratchCounts[] = {0.75, 0.20, 0.05};
        scratched = random.weighted(scratchCounts);
    }
    scratched = std::clamp(scratched, 0, race.n - 2);

    QList<int> out;
    while (out.size() < scratched) {
        const int horse = random.between(1, race.n);
        if (!out.contains(horse))
            out.append(horse);
    }
    for (int k = 1; k <= race.n; ++k) {
        if (!out.contains(k))
            race.runners.append(k);
    }

    // Strength x^e with x roughly normal: a favourite near 2 to 4 and long
    // shots in the hundreds, more or less open by race.
    const int exponent = random.between(3, 5);
    for (int k : race.runners) {
        double x = 0.35;
        for (int u = 0; u < 4; ++u)
            x += random.uniform();
        double w = 1.0;
        for (int e = 0; e < exponent; ++e)
            w *= x;
        race.p[k] = w;
    }
    normalise(race.p);
}

void priceWinAndPlace(Race &race, Random &random)
{
    for (int k : race.runners)
        race.winTenths[k] = tenthsDown(kWinReturn / race.p[k], kMaxSingleTenths);

    // Place pays the first three, only two with fewer than eight runners.
    race.placeWinners = race.runners.size() >= 8 ? 3 : 2;
    for (int i : race.runners) {
        double top = race.p[i];
        for (int j : race.runners) {
            if (j == i)
                continue;
            top += ordered2(race.p, j, i);
            if (race.placeWinners == 3) {
                for (int l : race.runners) {
                    if (l != i && l != j)
                        top += ordered3(race.p, j, l, i);
                }
            }
        }
        race.placeShare[i] = top * random.noise(0.2);
    }
    normalise(race.placeShare);
}

// Place odds of horse i placing together with the given others.
double placeOdds(const Race &race, int i, const QList<int> &others)
{
    double winning = race.placeShare[i];
    for (int k : others)
        winning += race.placeShare[k];
    return poolOdds(kPlaceReturn, race.placeShare[i], winning, race.placeWinners);
}

// The place range: from the dearest partners to the cheapest.
std::pair<int, int> placeRange(const Race &race, int i)
{
    QList<int> others;
    for (int k : race.runners) {
        if (k != i)
            others.append(k);
    }
    // Dearest first; the lower number first on equal shares.
    std::sort(others.begin(), others.end(), [&](int a, int b) {
        const double sa = race.placeShare[a];
        const double sb = race.placeShare[b];
        return sa > sb || (sa == sb && a < b);
    });
    const qsizetype partners = std::min<qsizetype>(race.placeWinners - 1, others.size());
    const double low = placeOdds(race, i, others.mid(0, partners));
    const double high = placeOdds(race, i, others.mid(others.size() - partners));
    return {tenthsDown(low, kMaxSingleTenths), tenthsDown(high, kMaxSingleTenths)};
}

int wideWinners(const Race &race) { return race.runners.size() >= 3 ? 3 : 1; }

double wideShareOf(const Race &race, int a, int b) { return a < b ? race.wideShare[a][b] : race.wideShare[b][a]; }

// Wide odds of pair (i, j) when l comes in with them (l = 0: two runners).
double wideOdds(const Race &race, int i, int j, int l)
{
    const double own = wideShareOf(race, i, j);
    double winning = own;
    if (l > 0)
        winning += wideShareOf(race, i, l) + wideShareOf(race, j, l);
    return poolOdds(kWideReturn, own, winning, wideWinners(race));
}

void pricePairs(Race &race, Random &random)
{
    const bool three = race.runners.size() >= 3;
    double total = 0.0;
    for (int i : race.runners) {
        for (int j : race.runners) {
            if (j <= i)
                continue;
            const double both = ordered2(race.p, i, j) + ordered2(race.p, j, i);
            race.umaRenTenths[i][j] = tenthsDown(kUmaRenReturn / both * random.noise(0.16), kMaxPairTenths);

            double inThree = both;
            if (three) {
                for (int l : race.runners) {
                    if (l == i || l == j)
                        continue;
                    inThree += ordered3(race.p, i, l, j) + ordered3(race.p, j, l, i) + ordered3(race.p, l, i, j)
                        + ordered3(race.p, l, j, i);
                }
            }
            race.wideShare[i][j] = inThree * random.noise(0.2);
            total += race.wideShare[i][j];
        }
    }
    for (int i : race.runners) {
        for (int j : race.runners) {
            if (j > i)
                race.wideShare[i][j] /= total;
        }
    }

    for (int i : race.runners) {
        for (int j : race.runners) {
            if (j <= i)
                continue;
            double low = 0.0;
            double high = 0.0;
            bool first = true;
            for (int l : race.runners) {
                if (three && (l == i || l == j))
                    continue;
                const double odds = wideOdds(race, i, j, three ? l : 0);
                low = first ? odds : std::min(low, odds);
                high = first ? odds : std::max(high, odds);
                first = false;
            }
            // A wide ticket never pays more than the umaren of the same pair.
            const int maxTenths = std::min(tenthsDown(high, kMaxPairTenths), race.umaRenTenths[i][j]);
            race.wideMaxTenths[i][j] = maxTenths;
            race.wideMinTenths[i][j] = std::min(tenthsDown(low, kMaxPairTenths), maxTenths);
        }
    }
}

PatFileHeader makeHeader(const Race &race, Random &random)
{
    const RaceSetup &s = race.setup;
    const int oddsMinutes = s.oddsMinutes >= 0 ? s.oddsMinutes : s.startMinutes;
    PatFileHeader h;
    h.Reserved1 = FitField(s.day.toString(QStringLiteral("yyyyMMdd")), 8);
    h.Reserved2 = FitField(s.day.toString(QStringLiteral("MMdd")) + clockText(oddsMinutes), 8);
    h.Reserved3 = FitField(twoDigits(s.courseCode), 2);
    h.Reserved4 = FitField(twoDigits(s.courseCode) + twoDigits(s.kai) + twoDigits(s.nichi) + twoDigits(s.raceNo), 8);
    h.Reserved5 = FitField(QStringLiteral("00"), 2);
    h.Course = FitField(CourseName(s.courseCode), 4);
    h.Reserved6 = FitField(QString::number(race.texts.distance), 4);
    h.Kai = FitField(RightAligned(s.kai, 2), 2);
    h.Nichi = FitField(RightAligned(s.nichi, 2), 2);
    h.RaceNo = FitField(RightAligned(s.raceNo, 2), 2);
    h.Reserved7 = FitField(QString::number(s.day.dayOfWeek()), 1);
    // Every format code the terminal writes for odds files.
    constexpr double formatCodes[] = {0.7, 0.15, 0.15};
    static const QString codes[] = {QStringLiteral(" "), QStringLiteral("2"), QStringLiteral("3")};
    h.FormatCode = codes[random.weighted(formatCodes)];
    h.Reserved8 = FitField(clockText(oddsMinutes), 4);
    h.RaceName = FitField(race.texts.raceName, 28);
    h.Conditions = FitField(race.texts.conditions, 64);
    h.HorseCount = FitField(RightAligned(race.n, 2), 2);
    return h;
}

void fillTanFuku(const Race &race, const PatFileHeader &header, TanFukuOddsData &data)
{
    data.Header = header;
    // Popularity by win odds, the lower number first on equal odds.
    QList<int> byOdds = race.runners;
    std::stable_sort(byOdds.begin(), byOdds.end(), [&](int a, int b) { return race.winTenths[a] < race.winTenths[b]; });
    for (int k = 1; k <= race.n; ++k) {
        TanFukuOddsRecord &r = data.Odds[k];
        r.Reserved1 = FitField(QString::number(bracketOf(k, race.n)), 1);
        if (!isRunner(race, k)) {
            r.Reserved2 = FitField(QString(), 2);
            r.TanOdds = FitField(scratchedText(), 5);
            r.FukuOddsMin = FitField(QString(), 5);
            r.FukuOddsMax = FitField(QString(), 5);
            continue;
        }
        const auto [low, high] = placeRange(race, k);
        r.Reserved2 = FitField(RightAligned(int(byOdds.indexOf(k)) + 1, 2), 2);
        r.TanOdds = FitField(RightAligned(oddsText(race.winTenths[k]), 5), 5);
        r.FukuOddsMin = FitField(RightAligned(oddsText(low), 5), 5);
        r.FukuOddsMax = FitField(RightAligned(oddsText(high), 5), 5);
    }
}

void fillPairs(const Race &race, const PatFileHeader &header, PairOddsTable &table)
{
    table.Header = header;
    table.Reserved = FitField(QStringLiteral("01"), 2);
    QList<std::pair<int, int>> byPrice;
    for (int i : race.runners) {
        for (int j : race.runners) {
            if (j > i)
                byPrice.append({i, j});
        }
    }
    std::stable_sort(byPrice.begin(), byPrice.end(), [&](const auto &a, const auto &b) {
        return race.umaRenTenths[a.first][a.second] < race.umaRenTenths[b.first][b.second];
    });
    for (int i = 1; i <= race.n; ++i) {
        for (int j = i + 1; j <= race.n; ++j) {
            PairOddsRecord &r = table.at(i, j);
            r.Reserved1 = FitField(QStringLiteral("01"), 2);
            if (!isRunner(race, i) || !isRunner(race, j)) {
                r.Reserved2 = FitField(RightAligned(0, 5), 5);
                r.UmaRenOdds = FitField(scratchedText(), 6);
                r.WideOddsMin = FitField(scratchedText(), 6);
                r.WideOddsMax = FitField(QString(), 6);
                continue;
            }
            r.Reserved2 = FitField(RightAligned(int(byPrice.indexOf(std::pair {i, j})) + 1, 5), 5);
            r.UmaRenOdds = FitField(RightAligned(oddsText(race.umaRenTenths[i][j]), 6), 6);
            r.WideOddsMin = FitField(RightAligned(oddsText(race.wideMinTenths[i][j]), 6), 6);
            r.WideOddsMax = FitField(RightAligned(oddsText(race.wideMaxTenths[i][j]), 6), 6);
        }
    }
}

QString carriedWeight(Random &random)
{
    const int kilograms = random.between(52, 58);
    const int half = random.chance(0.8) ? 0 : 5;
    return QStringLiteral("%1.%2").arg(kilograms).arg(half);
}

void fillEntry(const Race &race, const QStringList &names, Random &random, EntryData &data)
{
    const RaceSetup &s = race.setup;
    EntryHeader &h = data.Header;
    h.Reserved1 = FitField(s.day.toString(QStringLiteral("yyyyMMdd")), 8);
    h.Reserved2 = FitField(QString::number(s.courseCode).rightJustified(4, u'0'), 4);
    h.Reserved3 = FitField(QString::number(race.texts.distance), 4);
    h.Reserved4 = FitField(RightAligned(s.kai, 2), 2);
    h.Reserved5 = FitField(RightAligned(s.nichi, 2), 2);
    h.Reserved6 = FitField(RightAligned(s.raceNo, 2), 2);
    h.StartTime = FitField(clockText(s.startMinutes), 4);
    h.Reserved7 = FitField(race.texts.surface, 8);
    h.Reserved8 = FitField(race.texts.raceName, 28);
    h.Reserved9 = FitField(race.texts.conditions, 28); // cut, as the terminal does
    h.HorseCount = FitField(RightAligned(race.n, 2), 2);

    for (int k = 1; k <= race.n; ++k) {
        EntryRecord &r = data.Horses[k];
        r.Reserved1 = FitField(QString::number(bracketOf(k, race.n)), 1);
        r.Reserved2 = FitField(QString::number(random.between(1, 3)), 1); // colt, filly, gelding
        r.Reserved3 = FitField(RightAligned(k, 2), 2);
        const int youngest = race.texts.minAge;
        const int age = race.texts.olderToo ? random.between(youngest, youngest + 3) : youngest;
        r.Reserved4 = FitField(QString::number(age), 1);
        r.Reserved5 = FitField(QStringLiteral("0"), 1);
        r.HorseName = FitField(names.at(k - 1), 18);
        r.Reserved6 = FitField(HorseName(random), 18); // the sire
        r.Reserved7 = FitField(QStringLiteral("00"), 2);
        r.Reserved8 = FitField(carriedWeight(random), 4);
    }
}

QString finishTime(int tenths)
{
    return QStringLiteral("%1:%2.%3").arg(tenths / 600).arg(tenths % 600 / 10, 2, 10, QChar(u'0')).arg(tenths % 10);
}

void setPayout(ResultPayout &payout, const QString &combination, int combinationWidth, int yen)
{
    payout.Combination = FitField(combination, combinationWidth);
    payout.Amount = FitField(RightAligned(yen, 8), 8);
}

template <int N>
void blankPayouts(Slots<ResultPayout, N> &payouts, int combinationWidth)
{
    for (ResultPayout &payout : payouts) {
        payout.Combination = FitField(QString(), combinationWidth);
        payout.Amount = FitField(QString(), 8);
    }
}

void fillResult(const Race &race, const QStringList &names, Random &random, GeneratedRace &out)
{
    // The race itself: the market's chances, blurred.
    PerHorse truth {};
    for (int k : race.runners)
        truth[k] = race.p[k] * random.noise(0.6);
    QList<int> order;
    while (order.size() < race.runners.size()) {
        const int k = random.weighted(truth);
        order.append(k);
        truth[k] = 0.0;
    }
    out.finishOrder = order;

    const RaceSetup &s = race.setup;
    ResultData &r = out.result;
    ResultHeader &h = r.Header;
    h.Reserved1 = FitField(s.day.toString(QStringLiteral("yyyyMMdd")), 8);
    h.Reserved2 = FitField(QString::number(s.courseCode).rightJustified(4, u'0'), 4);
    h.Reserved3 = FitField(clockText(s.startMinutes), 4);
    h.Reserved4 = FitField(RightAligned(s.kai, 2), 2);
    h.Reserved5 = FitField(RightAligned(s.nichi, 2), 2);
    h.Reserved6 = FitField(RightAligned(s.raceNo, 2), 2);
    h.Reserved7 = FitField(QStringLiteral("1"), 1);
    h.Reserved8 = FitField(race.texts.surface + QString::number(race.texts.distance), 10);
    h.Reserved9 = FitField(QStringLiteral("0"), 1);
    h.Reserved10 = FitField(race.texts.raceName, 28);
    h.Reserved11 = FitField(race.texts.conditions, 28);

    // Seconds per 200 m: dirt is slower than turf.
    const bool turf = race.texts.surface == QStringLiteral(u"芝");
    const double pace = turf ? random.uniform(11.8, 12.3) : random.uniform(12.3, 12.9);
    int tenths = int(double(race.texts.distance) / 200.0 * pace * 10.0);
    for (int place = 1; place <= 7; ++place) {
        ResultFinisher &f = r.Finishers[place];
        if (place > order.size()) {
            f.Field1 = FitField(QString(), 2);
            f.Field2 = FitField(QString(), 2);
            f.HorseName = FitField(QString(), 18);
            f.Field4 = FitField(QString(), 6);
            f.Reserved = FitField(QString(), 12);
            continue;
        }
        const int horse = order.at(place - 1);
        if (place > 1)
            tenths += random.between(0, 6);
        // Body weight, its change and the weight carried: filler the readers keep.
        // (Each draw on its own line: the order of draws must not depend on
        // the compiler's order of evaluating arguments.)
        const int change = 2 * random.between(-5, 5);
        const QString changeText = change > 0 ? QStringLiteral("+%1").arg(change) : QString::number(change);
        f.Field1 = FitField(RightAligned(place, 2), 2);
        f.Field2 = FitField(RightAligned(horse, 2), 2);
        f.HorseName = FitField(names.at(horse - 1), 18);
        f.Field4 = FitField(finishTime(tenths), 6);
        const int bodyWeight = random.between(420, 540);
        const QString carried = carriedWeight(random);
        f.Reserved = FitField(QStringLiteral("%1%2 %3").arg(bodyWeight).arg(changeText, 3).arg(carried), 12);
    }
    r.Reserved = FitField(RightAligned(int(order.size()), 5), 5);

    blankPayouts(r.Tan, 2);
    blankPayouts(r.Fuku, 2);
    blankPayouts(r.WakuRen, 4);
    blankPayouts(r.UmaRen, 6);
    blankPayouts(r.Wide, 6);

    const int first = order.at(0);
    const int second = order.at(1);
    setPayout(r.Tan[1], RightAligned(first, 2), 2, race.winTenths[first] * 10);

    const QList<int> placed = order.mid(0, race.placeWinners);
    for (int k = 0; k < placed.size(); ++k) {
        QList<int> others = placed;
        others.removeAt(k);
        const auto [low, high] = placeRange(race, placed.at(k));
        const int paid = std::clamp(tenthsDown(placeOdds(race, placed.at(k), others), kMaxSingleTenths), low, high);
        setPayout(r.Fuku[k + 1], RightAligned(placed.at(k), 2), 2, paid * 10);
    }

    // Bracket quinella is sold from nine horses on.
    if (race.n >= 9) {
        const int b1 = std::min(bracketOf(first, race.n), bracketOf(second, race.n));
        const int b2 = std::max(bracketOf(first, race.n), bracketOf(second, race.n));
        double chance = 0.0;
        for (int i : race.runners) {
            for (int j : race.runners) {
                const int bi = bracketOf(i, race.n);
                const int bj = bracketOf(j, race.n);
                if (j > i && std::min(bi, bj) == b1 && std::max(bi, bj) == b2)
                    chance += ordered2(race.p, i, j) + ordered2(race.p, j, i);
            }
        }
        const int paid = tenthsDown(kWakuRenReturn / chance * random.noise(0.16), kMaxPairTenths);
        setPayout(r.WakuRen[1], QStringLiteral("%1-%2").arg(b1).arg(b2), 4, paid * 10);
    }

    const int a = std::min(first, second);
    const int b = std::max(first, second);
    setPayout(r.UmaRen[1], MakePairLabel(a, b), 6, race.umaRenTenths[a][b] * 10);

    // Wide: first and second, first and third, second and third.
    if (order.size() < 3) {
        setPayout(r.Wide[1], MakePairLabel(a, b), 6, race.wideMinTenths[a][b] * 10);
        return;
    }
    const int third = order.at(2);
    const std::pair<int, int> widePairs[] = {{first, second}, {first, third}, {second, third}};
    const int thirds[] = {third, second, first};
    for (int k = 0; k < 3; ++k) {
        const int x = std::min(widePairs[k].first, widePairs[k].second);
        const int y = std::max(widePairs[k].first, widePairs[k].second);
        const int odds = tenthsDown(wideOdds(race, x, y, thirds[k]), kMaxPairTenths);
        const int paid = std::clamp(odds, race.wideMinTenths[x][y], race.wideMaxTenths[x][y]);
        setPayout(r.Wide[k + 1], MakePairLabel(x, y), 6, paid * 10);
    }
}

QStringList drawNames(int count, Random &random)
{
    QStringList names;
    while (names.size() < count) {
        const QString name = HorseName(random);
        if (!names.contains(name))
            names.append(name);
    }
    return names;
}

} // namespace

QString OddsFileName(const GeneratedRace &race) { return QStringLiteral("Zo-") + race.stem + QStringLiteral(".jra"); }

QString PairOddsFileName(const GeneratedRace &race)
{
    return QStringLiteral("Uo-") + race.stem + QStringLiteral(".jra");
}

QString EntryFileName(const GeneratedRace &race) { return QStringLiteral("De-") + race.stem + QStringLiteral(".jra"); }

QString ResultFileName(const GeneratedRace &race)
{
    return QStringLiteral("Ks-") + race.stem.left(1) + race.resultInsert + race.stem.mid(1) + QStringLiteral(".jra");
}

GeneratedRace GenerateRace(const RaceSetup &setup)
{
    Random random(setup.seed);
    Race race;
    race.setup = setup;
    race.texts = MakeRaceTexts(random, setup.raceNo, setup.day);
    drawField(race, random);
    priceWinAndPlace(race, random);
    pricePairs(race, random);

    GeneratedRace out;
    out.stem = setup.day.toString(QStringLiteral("MMdd")) + twoDigits(setup.courseCode) + twoDigits(setup.raceNo);
    out.resultInsert = twoDigits(setup.day.year() % 100);
    out.horseCount = race.n;
    for (int k = 1; k <= race.n; ++k) {
        if (!isRunner(race, k))
            out.scratched.append(k);
    }

    const QStringList names = drawNames(race.n, random);
    const PatFileHeader header = makeHeader(race, random);
    fillTanFuku(race, header, out.tanFuku);
    fillPairs(race, header, out.pairs);
    fillEntry(race, names, random, out.entry);
    if (setup.withResult)
        fillResult(race, names, random, out);

    out.hasPairOdds = setup.withPairOdds;
    out.hasEntry = setup.withEntry;
    out.hasResult = setup.withResult;
    return out;
}

QList<GeneratedRace> GenerateMeeting(const MeetingOptions &options)
{
    constexpr int clockNow = 15 * 60;
    constexpr int firstStart = 9 * 60 + 50;
    const int perCourse = std::clamp(options.racesPerCourse, 1, 12);
    Random random(options.seed);
    const QList<int> courses = MeetingCourses(random, options.day);

    const int total = int(courses.size()) * perCourse;
    // Special races by their place in the day's list.
    const int fullField = 0;
    const int noPairOdds = total > 1 ? std::min(2, total - 1) : -1;
    int noEntry = total > 1 ? total / 2 : -1;
    if (noEntry == noPairOdds)
        noEntry = noPairOdds - 1;
    const int smallField = total > 1 ? std::min(4, total - 1) : -1;

    QList<GeneratedRace> races;
    for (int c = 0; c < courses.size(); ++c) {
        const int kai = random.between(1, 5);
        const int nichi = random.between(1, 8);
        for (int raceNo = 1; raceNo <= perCourse; ++raceNo) {
            const int index = int(races.size());
            RaceSetup setup;
            setup.seed = Random::derive(options.seed, quint64(courses.at(c)) * 100 + quint64(raceNo));
            setup.day = options.day;
            setup.courseCode = courses.at(c);
            setup.kai = kai;
            setup.nichi = nichi;
            setup.raceNo = raceNo;
            // Half-hourly, a lunch break after the 4th, the courses ten minutes apart.
            setup.startMinutes = firstStart + 30 * (raceNo - 1) + (raceNo >= 5 ? 50 : 0) + 10 * int(c);
            // A result comes about ten minutes after the start.
            setup.withResult = setup.startMinutes + 10 <= clockNow;
            setup.oddsMinutes = setup.withResult ? -1 : clockNow;
            if (index == fullField) {
                setup.horseCount = 18;
                setup.scratchedCount = 1;
            }
            if (index == smallField) {
                setup.horseCount = 6;
                setup.scratchedCount = 1;
            }
            setup.withPairOdds = index != noPairOdds;
            setup.withEntry = index != noEntry;
            races.append(GenerateRace(setup));
        }
    }
    return races;
}

bool WriteRace(const QString &folder, const GeneratedRace &race, QString *error)
{
    const QDir dir(folder);
    if (!WriteBytes(dir.filePath(OddsFileName(race)), TanFukuOddsFileBytes(race.tanFuku), error))
        return false;
    if (race.hasPairOdds && !WriteBytes(dir.filePath(PairOddsFileName(race)), PairOddsFileBytes(race.pairs), error))
        return false;
    if (race.hasEntry && !WriteBytes(dir.filePath(EntryFileName(race)), EntryFileBytes(race.entry), error))
        return false;
    if (race.hasResult && !WriteBytes(dir.filePath(ResultFileName(race)), ResultFileBytes(race.result), error))
        return false;
    return true;
}

bool RemoveRaceFiles(const QString &folder, QString *error)
{
    QDir dir(folder);
    const QStringList patterns = {QStringLiteral("Zo-*.jra"), QStringLiteral("Uo-*.jra"), QStringLiteral("De-*.jra"),
                                  QStringLiteral("Ks-*.jra")};
    const QStringList names = dir.entryList(patterns, QDir::Files);
    for (const QString &name : names) {
        if (!dir.remove(name)) {
            if (error)
                *error = QStringLiteral("cannot remove %1").arg(dir.filePath(name));
            return false;
        }
    }
    return true;
}

} // namespace RaceGen
