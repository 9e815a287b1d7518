// SPDX-License-Identifier: GPL-3.0-or-later

#include "race/race_history.h"

#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "app/sheet_view.h"
#include "common/text_convert.h"
#include "common/text_util.h"
#include "export/csv_file.h"
#include "settings/race_options.h"

#include <algorithm>
#include <cmath>

using namespace CommonFunc;

namespace {

bool isTop(int level) { return level == 1 || level == 2; }

// A pair is kept as one byte: its index among the pairs of 18 horses.
int pairCode(int first, int second) { return RaceAnalysis::PairIndex(MaxHorses, first, second); }

struct Horses {
    quint8 first;
    quint8 second;
};

const std::array<Horses, MaxHorses *(MaxHorses - 1) / 2> &pairsOfCodes()
{
    static const auto table = [] {
        std::array<Horses, MaxHorses *(MaxHorses - 1) / 2> pairs {};
        for (int a = 1; a < MaxHorses; ++a) {
            for (int b = a + 1; b <= MaxHorses; ++b)
                pairs[std::size_t(pairCode(a, b))] = {quint8(a), quint8(b)};
        }
        return pairs;
    }();
    return table;
}

void putVarint(QByteArray &out, quint64 value)
{
    while (value >= 0x80) {
        out.append(char(0x80 | (value & 0x7f)));
        value >>= 7;
    }
    out.append(char(value));
}

quint64 takeVarint(const char *&p)
{
    quint64 value = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = quint8(*p++);
        value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return value;
    }
}

QString trimmedMark(const RaceAnalysis &race, BetType type, const PairAnalysis &pair)
{
    return TrimSpaces(race.markText(type, pair));
}

const PairAnalysis *pairOf(const std::shared_ptr<const RaceAnalysis> &race, BetType type, int a, int b)
{
    return race ? race->pair(type, a, b) : nullptr;
}

} // namespace

QString RaceHistory::Pair::label() const { return MakePairLabel(first, second); }

RaceHistory::RaceHistory(Keep keep)
    : m_keep(keep)
{
}

void RaceHistory::clear()
{
    m_loads.clear();
    m_marks.clear();
    m_unusual.clear();
    m_first.reset();
    m_previous.reset();
    m_last.reset();
    for (QList<int> &order : m_lastOrder)
        order.clear();
}

// Prices and deviations show one decimal: the digits as a number, the sign
// and a flag bit.  Anything else goes into a side list, named by its place.
void RaceHistory::putNumber(QByteArray &out, const ShownNumber &number)
{
    if (number.isEmpty()) {
        putVarint(out, 1);
        return;
    }
    const std::optional<qint64> units = number.units();
    if (units && number.decimals() == 1 && *units < (qint64(1) << 60)) {
        putVarint(out, quint64(*units) << 3 | quint64(number.sign()) << 1);
        return;
    }
    m_unusual.append(number);
    putVarint(out, quint64(m_unusual.size()) << 1 | 1);
}

ShownNumber RaceHistory::takeNumber(const char *&p) const
{
    const quint64 code = takeVarint(p);
    if (!(code & 1))
        return ShownNumber::fromUnits(code >> 3, 1, ShownNumber::Sign((code >> 1) & 3));
    const quint64 index = code >> 1;
    return index == 0 ? ShownNumber() : m_unusual[qsizetype(index - 1)];
}

void RaceHistory::add(const RaceSheet &sheet, const QDateTime &time)
{
    const Race race = sheet.analysis;
    Packed packed;
    packed.msecs = time.toMSecsSinceEpoch();
    for (const BetKind &kind : kBetKinds) {
        const BetType type = kind.type;
        QList<int> &order = m_lastOrder[IndexOf(type)];
        order.clear();
        if (!race)
            continue;
        const TextGrid &grid = sheet.pairGrid(type);
        const QList<PairAnalysis> &pairs = race->pairsOf(type);
        QByteArray &rows = packed.rows[IndexOf(type)];
        for (int r = 1; r < grid.rows(); ++r) {
            const int key = grid.rowKey(r);
            if (key < 0 || key >= pairs.size())
                continue;
            order.append(key);
            if (m_keep == KeepForChanges)
                continue;
            const PairAnalysis &pair = pairs[key];
            rows.append(char(pairCode(pair.first, pair.second)));
            putNumber(rows, pair.actualShown);
            putNumber(rows, pair.deviationShown());
            const QString mark = trimmedMark(*race, type, pair);
            qsizetype markIndex = m_marks.indexOf(mark);
            if (markIndex < 0) {
                markIndex = m_marks.size();
                m_marks.append(mark);
            }
            putVarint(rows, quint64(markIndex) << 3 | quint64(pair.markLevel & 7));
        }
        // A rewrite that changed nothing costs no new bytes.
        if (!m_loads.isEmpty() && m_loads.last().rows[IndexOf(type)] == rows)
            rows = m_loads.last().rows[IndexOf(type)];
        else
            rows.squeeze();
    }
    if (m_keep == KeepAll)
        m_loads.append(packed);
    if (!m_first)
        m_first = race;
    m_previous = m_last;
    m_last = race;
}

RaceHistory::Load RaceHistory::at(int index) const
{
    const Packed &packed = m_loads.at(index);
    Load load;
    load.time = QDateTime::fromMSecsSinceEpoch(packed.msecs);
    for (const BetKind &kind : kBetKinds) {
        const QByteArray &rows = packed.rows[IndexOf(kind.type)];
        QList<Pair> &pairs = load.pairs[IndexOf(kind.type)];
        const char *p = rows.constData();
        const char *end = p + rows.size();
        while (p < end) {
            Pair pair;
            const Horses horses = pairsOfCodes()[quint8(*p++)];
            pair.first = horses.first;
            pair.second = horses.second;
            pair.actual = takeNumber(p);
            pair.deviation = takeNumber(p);
            const quint64 mark = takeVarint(p);
            pair.mark = m_marks[qsizetype(mark >> 3)];
            pair.level = int(mark & 7);
            pairs.append(pair);
        }
    }
    return load;
}

qsizetype RaceHistory::packedBytes() const
{
    qsizetype bytes = 0;
    for (int k = 0; k < size(); ++k) {
        for (const QByteArray &rows : m_loads[k].rows) {
            // A load that shares its bytes with the one before costs nothing.
            if (k == 0 || !rows.isSharedWith(m_loads[k - 1].rows[&rows - m_loads[k].rows.data()]))
                bytes += rows.size();
        }
    }
    return bytes;
}

// Each pair of the last load's grids with the same pair in the load before.
template <typename Visit>
void RaceHistory::forEachChange(const Visit &visit) const
{
    if (!m_previous || !m_last)
        return;
    for (const BetKind &kind : kBetKinds) {
        const BetType type = kind.type;
        const QList<PairAnalysis> &pairs = m_last->pairsOf(type);
        for (int key : m_lastOrder[IndexOf(type)]) {
            const PairAnalysis &now = pairs[key];
            visit(type, now, pairOf(m_previous, type, now.first, now.second));
        }
    }
}

QList<RaceHistory::MarkChange> RaceHistory::markChanges() const
{
    QList<MarkChange> changes;
    forEachChange([&](BetType type, const PairAnalysis &now, const PairAnalysis *old) {
        const QString before = old ? trimmedMark(*m_previous, type, *old) : QString();
        const QString after = trimmedMark(*m_last, type, now);
        if (before != after)
            changes.append({type, now.label(), before, after});
    });
    return changes;
}

QList<RaceHistory::MarkChange> RaceHistory::newTopMarks() const
{
    QList<MarkChange> marks;
    forEachChange([&](BetType type, const PairAnalysis &now, const PairAnalysis *old) {
        if (isTop(now.markLevel) && !(old && isTop(old->markLevel)))
            marks.append({type, now.label(), old ? trimmedMark(*m_previous, type, *old) : QString(),
                          trimmedMark(*m_last, type, now)});
    });
    return marks;
}

bool RaceHistory::markChanged(BetType type, int a, int b) const
{
    if (!m_previous || !m_last)
        return false;
    const PairAnalysis *now = pairOf(m_last, type, a, b);
    const PairAnalysis *old = pairOf(m_previous, type, a, b);
    return (now ? trimmedMark(*m_last, type, *now) : QString())
        != (old ? trimmedMark(*m_previous, type, *old) : QString());
}

QStringList RaceHistory::newBets() const
{
    QStringList bets;
    if (!m_previous || !m_last)
        return bets;
    QStringList before;
    for (const RecommendedBet &bet : m_previous->bets)
        before.append(RecommendedBetLine(*m_previous, bet));
    for (const RecommendedBet &bet : m_last->bets) {
        const QString line = RecommendedBetLine(*m_last, bet);
        if (!before.contains(line))
            bets.append(line);
    }
    return bets;
}

QString RaceHistory::newsText() const
{
    if (!m_previous || !m_last)
        return QString();
    // By kind: the labels, each with its new top mark if it has one.
    std::array<QList<std::pair<QString, QString>>, kBetKindCount> items;
    const auto put = [&](BetType type, const QString &label, const QString &mark) {
        auto &list = items[IndexOf(type)];
        for (auto &item : list) {
            if (item.first == label) {
                item.second = mark;
                return;
            }
        }
        list.append({label, mark});
    };
    for (const RecommendedBet &bet : m_last->bets) {
        const QString label = m_last->pairsOf(bet.type)[bet.pair].label();
        const bool before = std::any_of(m_previous->bets.cbegin(), m_previous->bets.cend(),
                                        [&](const RecommendedBet &old) {
                                            return old.type == bet.type
                                                && m_previous->pairsOf(old.type)[old.pair].label() == label;
                                        });
        if (!before)
            put(bet.type, label, QString());
    }
    for (const MarkChange &mark : newTopMarks())
        put(mark.type, mark.label, mark.after);
    QStringList kinds;
    for (const BetKind &kind : kBetKinds) {
        QStringList texts;
        for (const auto &[label, mark] : items[IndexOf(kind.type)])
            texts.append(label + mark);
        if (!texts.isEmpty())
            kinds.append(kind.shortName.toString() + u' ' + texts.join(QStringLiteral(", ")));
    }
    return kinds.join(QStringLiteral(" / "));
}

std::optional<double> RaceHistory::deviationChange(BetType type, int a, int b) const
{
    const PairAnalysis *now = pairOf(m_last, type, a, b);
    const PairAnalysis *base = pairOf(m_first, type, a, b);
    if (!now || !base)
        return std::nullopt;
    const std::optional<double> x = now->deviationShown().number();
    const std::optional<double> y = base->deviationShown().number();
    if (!x || !y)
        return std::nullopt;
    return *x - *y;
}

CsvFile RaceHistory::csv() const
{
    CsvFile file(CsvEncodingInForce());
    CsvLine head;
    for (const QString &text : {QStringLiteral(u"時刻"), QStringLiteral(u"券種"), QStringLiteral(u"組番"),
                                QStringLiteral(u"実際値"), QStringLiteral(u"乖離％"), QStringLiteral(u"判定")})
        head.addText(text);
    file.addLine(head);
    for (int k = 0; k < size(); ++k) {
        const Load load = at(k);
        const QString time = load.time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        for (const BetKind &kind : kBetKinds) {
            const QString typeText = kind.shortName.toString();
            for (const Pair &pair : load.pairs[IndexOf(kind.type)]) {
                CsvLine line;
                line.addText(time);
                line.addText(typeText);
                line.addText(TrimSpaces(pair.label()));
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
