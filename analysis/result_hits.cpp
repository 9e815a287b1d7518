// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/result_hits.h"

#include "app/race_sheet.h"
#include "common/text_util.h"

namespace CommonFunc {

namespace {

void markGrid(TextGrid &grid, const QString &combination, bool first)
{
    if (combination.isEmpty())
        return;
    for (int r = 1; r < grid.rows(); ++r) {
        const QString label = grid.cell(r, PairLabel);
        if (TrimSpacesView(label) == combination) {
            grid.setCurrentCell(r, PairLabel);
            grid.setBackColor(r, PairLabel, first ? Colour::Red : Colour::Green);
        }
    }
}

} // namespace

void MarkResultHit(RaceSheet &sheet, const QString &combination, bool first)
{
    const QString c = TrimSpaces(combination);
    markGrid(sheet.grdUmaRen, c, first);
    markGrid(sheet.grdWide, c, first);
    for (QString &line : sheet.lstKaime) {
        if (TrimSpacesView(QStringView(line).mid(1, 6)) != c)
            continue;
        const QString kind = TrimSpaces(line.left(1));
        if (kind == u"馬" && first)
            line = QStringLiteral(u" ◎") + line;
        else if (kind == u"ワ")
            line = QStringLiteral(u" ○") + line;
    }
}

} // namespace CommonFunc
