// SPDX-License-Identifier: GPL-3.0-or-later

#include "race/race_history.h"

#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "app/sheet_view.h"
#include "common/text_util.h"
#include "export/csv_file.h"

#include <cmath>

using namespace CommonFunc;

namespace {

bool isTop(int level) { return level == 1 || level == 2; }

} // namespace

void RaceHistory::add(const RaceSheet &sheet, const QDateTime &time)
{
    Load load;
    load.time = time;
    if (const RaceAnalysis *race = sheet.analysis.get()) {
        for (const BetKind &kind : kBetKinds) {
            const BetType type = kind.type;
            const TextGrid &grid = sheet.pairGrid(type);
            const QList<PairAnalysis> &pairs = race->pairsOf(type);
            for (int r = 1; r < grid.rows(); ++r) {
                const int key = grid.rowKey(r);
                if (key < 0 || key >= pairs.size())
                    continue;
                const PairAnalysis &pair = pairs[key];
                load.pairs[IndexOf(type)].append({pair.label(), pair.actualShown, pair.deviationShown,
                                                  TrimSpaces(race->markText(type, pair)), pair.markLevel});
            }
        }
        // The two words that stand for no bet are no bets.
        for (const RecommendedBet &bet : race->bets)
            load.bets.append(RecommendedBetLine(*race, bet));
    }
    m_loads.append(load);
}

const RaceHistory::Pair *RaceHistory::find(const Load &load, BetType type, const QString &label)
{
    for (const Pair &pair : load.pairs[IndexOf(type)]) {
        if (pair.label == label)
            return &pair;
    }
    return nullptr;
}

QList<RaceHistory::MarkChange> RaceHistory::markChanges() const
{
    QList<MarkChange> changes;
    if (m_loads.size() < 2)
        return changes;
    const Load &before = m_loads[m_loads.size() - 2];
    for (const BetKind &kind : kBetKinds) {
        const BetType type = kind.type;
        for (const Pair &now : m_loads.last().pairs[IndexOf(type)]) {
            const Pair *old = find(before, type, now.label);
            const QString oldMark = old ? old->mark : QString();
            if (oldMark != now.mark)
                changes.append({type, now.label, oldMark, now.mark});
        }
    }
    return changes;
}

bool RaceHistory::markChanged(BetType type, const QString &label) const
{
    if (m_loads.size() < 2)
        return false;
    const Pair *now = find(m_loads.last(), type, label);
    const Pair *old = find(m_loads[m_loads.size() - 2], type, label);
    return (now ? now->mark : QString()) != (old ? old->mark : QString());
}

QStringList RaceHistory::newBets() const
{
    QStringList bets;
    if (m_loads.size() < 2)
        return bets;
    const QStringList &before = m_loads[m_loads.size() - 2].bets;
    for (const QString &bet : m_loads.last().bets) {
        if (!before.contains(bet))
            bets.append(bet);
    }
    return bets;
}

QList<RaceHistory::MarkChange> RaceHistory::newTopMarks() const
{
    QList<MarkChange> marks;
    if (m_loads.size() < 2)
        return marks;
    const Load &before = m_loads[m_loads.size() - 2];
    for (const BetKind &kind : kBetKinds) {
        const BetType type = kind.type;
        for (const Pair &now : m_loads.last().pairs[IndexOf(type)]) {
            const Pair *old = find(before, type, now.label);
            if (isTop(now.level) && !(old && isTop(old->level)))
                marks.append({type, now.label, old ? old->mark : QString(), now.mark});
        }
    }
    return marks;
}

std::optional<double> RaceHistory::deviationChange(BetType type, const QString &label) const
{
    if (m_loads.isEmpty())
        return std::nullopt;
    const Pair *now = find(m_loads.last(), type, label);
    const Pair *base = find(m_loads.first(), type, label);
    if (!now || !base)
        return std::nullopt;
    const std::optional<double> a = now->deviation.number();
    const std::optional<double> b = base->deviation.number();
    if (!a || !b)
        return std::nullopt;
    return *a - *b;
}

CsvFile RaceHistory::csv() const
{
    CsvFile file;
    CsvLine head;
    for (const QString &text : {QStringLiteral(u"時刻"), QStringLiteral(u"券種"), QStringLiteral(u"組番"),
                                QStringLiteral(u"実際値"), QStringLiteral(u"乖離％"), QStringLiteral(u"判定")})
        head.addText(text);
    file.addLine(head);
    for (const Load &load : m_loads) {
        const QString time = load.time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        for (const BetKind &kind : kBetKinds) {
            const BetType type = kind.type;
            const QString typeText = kind.shortName.toString();
            for (const Pair &pair : load.pairs[IndexOf(type)]) {
                CsvLine line;
                line.addText(time);
                line.addText(typeText);
                line.addText(TrimSpaces(pair.label));
                line.addValue(pair.actual);
                line.addValue(pair.deviation);
                line.addText(pair.mark);
                file.addLine(line);
            }
        }
    }
    return file;
}

QString DeviationChangeText(double change)
{
    // Rounded first, so that -0.04 shows as 0.0, not -0.0.
    const double rounded = std::round(change * 10.0) / 10.0;
    if (rounded == 0.0)
        return QStringLiteral("0.0");
    return (rounded > 0 ? QStringLiteral("+") : QString()) + QString::number(rounded, 'f', 1);
}
