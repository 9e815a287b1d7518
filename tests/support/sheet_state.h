// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/race_sheet.h"
#include "app/sheet_cells.h"
#include "common/text_grid.h"

#include <QHashFunctions>
#include <QString>
#include <QStringList>

#include <optional>

// Everything a race leaves on the sheet as one line per cell, list line and
// colour, so that two states compare with QCOMPARE and a difference names its
// cell.
namespace SheetState {

// Texts and colours in a fixed order.  Taking one copies only references to
// the texts; the names of the cells are built when a difference is reported.
struct State {
    QStringList texts;
    QList<qint64> colours;
    bool named = false; // then the names below are filled
    QStringList textNames;
    QStringList colourNames;

    bool operator==(const State &other) const { return texts == other.texts && colours == other.colours; }
};

inline qint64 colour(std::optional<qint32> c) { return c ? qint64(*c) : qint64(-1) << 40; }

inline void add(State &state, const QString &name, const QString &text)
{
    state.texts << text;
    if (state.named)
        state.textNames << name;
}

inline void add(State &state, const QString &name, qint64 colour)
{
    state.colours << colour;
    if (state.named)
        state.colourNames << name;
}

inline void addGrid(State &state, const TextGrid &g, const QString &name)
{
    add(state, name + QStringLiteral(" rows"), g.rows());
    state.texts.reserve(state.texts.size() + g.rows() * g.columns());
    state.colours.reserve(state.colours.size() + 2 * g.rows() * g.columns());
    for (int r = 0; r < g.rows(); ++r) {
        for (int c = 0; c < g.columns(); ++c) {
            state.texts << g.cell(r, c);
            state.colours << colour(g.textColor(r, c)) << colour(g.backColor(r, c));
            if (state.named) {
                const QString cell = QStringLiteral("%1(%2,%3)").arg(name).arg(r).arg(c);
                state.textNames << cell;
                state.colourNames << cell + QStringLiteral(" text colour") << cell + QStringLiteral(" back colour");
            }
        }
    }
}

// A hash of a grid's texts and colours in row order: cheap enough to take
// before and after every sort.
inline size_t fingerprint(const TextGrid &g)
{
    size_t seed = qHash(g.rows());
    for (int r = 0; r < g.rows(); ++r) {
        for (int c = 0; c < g.columns(); ++c)
            seed = qHashMulti(seed, g.cell(r, c), colour(g.textColor(r, c)), colour(g.backColor(r, c)));
    }
    return seed;
}

// Cells of a grid with their colours, the head row included.
inline State grid(const TextGrid &g, bool named = false)
{
    State state;
    state.named = named;
    addGrid(state, g, QStringLiteral("grid"));
    return state;
}

// Every cell of the sheet, the colours of the horse numbers, both lists and
// both grids.
inline State sheet(const RaceSheet &s, bool named = false)
{
    State state;
    state.named = named;
    for (const SheetCells::Text &text : SheetCells::kTexts)
        add(state, QLatin1String(text.name), s.*text.member);
    add(state, QStringLiteral("sRaceFile"), s.sRaceFile);
    for (const SheetCells::Column &column : SheetCells::kColumns) {
        for (int k = 1; k <= CommonFunc::MaxHorses; ++k) {
            const QString name = named ? QStringLiteral("%1(%2)").arg(QLatin1String(column.name)).arg(k) : QString();
            add(state, name, (s.*column.member)[k]);
        }
    }
    for (int k = 1; k <= CommonFunc::MaxHorses; ++k) {
        state.colours << s.tanHorseColours[k].text << s.tanHorseColours[k].back << s.fukuHorseColours[k].text
                      << s.fukuHorseColours[k].back;
        if (named) {
            for (const char *which : {"tan text", "tan back", "fuku text", "fuku back"})
                state.colourNames << QStringLiteral("%1 colour %2").arg(QLatin1String(which)).arg(k);
        }
    }
    add(state, QStringLiteral("lstKaime lines"), s.lstKaime.size());
    for (const QString &line : s.lstKaime)
        add(state, QStringLiteral("lstKaime"), line);
    add(state, QStringLiteral("lstRaceResult lines"), s.lstRaceResult.size());
    for (const QString &line : s.lstRaceResult)
        add(state, QStringLiteral("lstRaceResult"), line);
    addGrid(state, s.grdUmaRen, QStringLiteral("grdUmaRen"));
    addGrid(state, s.grdWide, QStringLiteral("grdWide"));
    return state;
}

// Where two states differ, "" when they are equal; the names are those of
// `named`, a named state taken of the same sheet as `a`.
inline QString firstDifference(const State &a, const State &b, const State &named)
{
    QString out;
    for (qsizetype k = 0; k < std::max(a.texts.size(), b.texts.size()); ++k) {
        if (a.texts.value(k) != b.texts.value(k) || (k >= a.texts.size()) != (k >= b.texts.size())) {
            out = QStringLiteral("%1: \"%2\" against \"%3\"")
                      .arg(named.textNames.value(k, QStringLiteral("text %1").arg(k)), a.texts.value(k),
                           b.texts.value(k));
            break;
        }
    }
    for (qsizetype k = 0; k < std::max(a.colours.size(), b.colours.size()); ++k) {
        if (a.colours.value(k, -2) != b.colours.value(k, -2)) {
            out += QStringLiteral("; %1: %2 against %3")
                       .arg(named.colourNames.value(k, QStringLiteral("number %1").arg(k)))
                       .arg(a.colours.value(k, -2))
                       .arg(b.colours.value(k, -2));
            break;
        }
    }
    return out;
}

} // namespace SheetState
