#include "analysis/result_hits.h"

#include "app/race_sheet.h"
#include "common/text_util.h"

namespace CommonFunc {

namespace {

constexpr qint32 kRed = 255;
constexpr qint32 kGreen = 65280;

void markGrid(PairGrid &grid, const QString &combination, bool first)
{
    if (combination.isEmpty())
        return;
    for (int r = 1; r < grid.rows(); ++r) {
        const QString label = grid.cell(r, 0);
        if (TrimSpacesView(label) == combination) {
            grid.setCurrentCell(r, 0);
            grid.setBackColor(r, 0, first ? kRed : kGreen);
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
