// SPDX-License-Identifier: GPL-3.0-or-later

#include "race/race_loader.h"

#include "analysis/expected_value.h"
#include "analysis/race_analysis.h"
#include "analysis/result_hits.h"
#include "app/race_sheet.h"
#include "common/messages.h"
#include "common/text_convert.h"
#include "common/text_util.h"
#include "grids/pair_fill.h"
#include "patdata/race_source.h"
#include "settings/settings_store.h"

#include <array>

namespace CommonFunc {

bool LoadRace(RaceSheet &sheet, const QString &oddsPath) { return LoadRace(sheet, oddsPath, QString()); }

bool LoadRace(RaceSheet &sheet, const QString &oddsPath, const QString &raceKey)
{
    std::shared_ptr<const RaceAnalysis> race = LoadRaceAnalysis(oddsPath, raceKey);
    if (!race)
        return false;
    PutRaceOnSheet(sheet, std::move(race));
    return true;
}

std::shared_ptr<const RaceAnalysis> LoadRaceAnalysis(const QString &oddsPath, const QString &raceKey)
{
    // Options saved by another copy of the program apply from this load on.
    RefreshSettings();

    // One race's data per thread, read afresh each load: making it costs
    // more than reading a race's four files (its pair odds table alone is
    // 324 records), and nothing keeps it past the analysis.
    thread_local RaceData data;
    Messages::Held held;
    bool read = false;
    {
        const Messages::ThreadCapture capture(&held);
        const RaceSource &source = PatFolderSource();
        RacePaths paths;
        if (raceKey.isEmpty()) {
            paths = source.filesOf(oddsPath);
        } else {
            paths.odds = oddsPath;
            paths.raceKey = raceKey;
        }
        read = source.read(paths, data);
    }
    if (!read) {
        for (const Messages::Message &message : std::as_const(held.messages))
            Messages::show(message);
        Messages::error(Messages::readFailedText());
        return nullptr;
    }
    auto race = std::make_shared<RaceAnalysis>(AnalyzeRace(data, ReadRaceOptions()));
    race->messages = held.messages;
    if (race->resultUnreadable)
        race->messages.append({Messages::Kind::Error, Messages::readFailedText(), Messages::errorTitle()});
    for (const Messages::Message &message : std::as_const(race->messages))
        Messages::show(message);
    return race;
}

namespace {

template <int N>
QList<PayoutEntry> payoutsOf(const Slots<ResultPayout, N> &section)
{
    QList<PayoutEntry> entries;
    for (const ResultPayout &payout : section) {
        PayoutEntry entry {TrimSpaces(payout.Combination), payout.Amount, std::nullopt};
        QString amount = TrimSpaces(payout.Amount);
        amount.remove(u',');
        bool whole = !amount.isEmpty();
        qint64 value = 0;
        for (QChar c : std::as_const(amount)) {
            if (c < u'0' || c > u'9' || value > (qint64(1) << 50)) {
                whole = false;
                break;
            }
            value = value * 10 + (c.unicode() - u'0');
        }
        if (whole)
            entry.yen = value;
        entries.append(entry);
    }
    return entries;
}

// The result's payouts of each bet kind.
using ResultSection = QList<PayoutEntry> (*)(const ResultData &);
constexpr std::array<ResultSection, kBetKindCount> kResultSections {
    [](const ResultData &result) { return payoutsOf(result.UmaRen); },
    [](const ResultData &result) { return payoutsOf(result.Wide); },
};

void pairPayouts(RaceAnalysis &race, BetType type)
{
    QList<PairAnalysis> &pairs = race.pairsOf(type);
    for (PairAnalysis &pair : pairs) {
        pair.paid = 0;
        pair.payouts = 0;
    }
    const QList<PayoutEntry> &entries = race.payouts[std::size_t(type)];
    for (qsizetype k = 0; k < entries.size(); ++k) {
        const std::optional<std::pair<int, int>> named = PairOfLabel(entries[k].combination);
        if (!named || named->second > race.count())
            continue;
        const int index = RaceAnalysis::PairIndex(race.count(), named->first, named->second);
        if (index >= pairs.size())
            continue;
        pairs[index].payouts |= quint16(1u << k);
        pairs[index].paid += entries[k].yen.value_or(0);
    }
}

void analyzePairs(RaceAnalysis &race, const RaceData &data)
{
    if (!data.hasPairs)
        return;
    race.hasPairs = true;
    FillUmarenGrid(race, data.pairs);
    FillWideGrid(race, data.pairs);
    JudgeRace(race);
    if (race.options.showExpectedValue)
        FillExpectedValues(race);
}

} // namespace

RaceAnalysis AnalyzeRace(const RaceData &data, const RaceOptions &options)
{
    RaceAnalysis race;
    race.options = options;
    AnalyzeWinPlace(race, data);
    if (options.showPlacePrice) // a new race has no place prices to clear
        PricePlaces(race);
    analyzePairs(race, data);
    ShowRaceResult(race, data);
    return race;
}

void ReanalyzePairs(RaceAnalysis &race, const RaceOptions &options)
{
    race.options = options;
    race.priceModel = PriceModel::Standard;
    race.winProbabilityFellBack = false;
    PricePlaces(race);
    if (!race.hasPairs)
        return;
    RepricePairs(race);
    JudgeRace(race);
    // The chances follow the new model.
    race.hasExpectedValues = false;
    for (QList<PairAnalysis> &pairs : race.pairs) {
        for (PairAnalysis &pair : pairs)
            pair.chance = pair.expectedValue = std::nullopt;
    }
    if (options.showExpectedValue)
        FillExpectedValues(race);
    if (race.settled) {
        for (int k = 1; k <= race.result.Wide.size(); ++k)
            MarkResultHit(race, race.result.Wide[k].Combination, k);
    }
}

void ShowRaceResult(RaceAnalysis &race, const RaceData &data)
{
    race.resultUnreadable = data.resultUnreadable;
    if (!data.hasResult)
        return;
    race.settled = true;
    race.result = data.result;
    for (const BetKind &kind : kBetKinds)
        race.payouts[IndexOf(kind.type)] = kResultSections[IndexOf(kind.type)](data.result);
    for (int k = 1; k <= data.result.Wide.size(); ++k)
        MarkResultHit(race, data.result.Wide[k].Combination, k);
    for (const BetKind &kind : kBetKinds)
        pairPayouts(race, kind.type);
}

} // namespace CommonFunc
