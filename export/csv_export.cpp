// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/csv_export.h"

#include "app/race_sheet.h"
#include "common/messages.h"
#include "common/text_convert.h"
#include "export/csv_file.h"
#include "export/save_guard.h"
#include "patdata/pat_files.h"

#include <QFileInfo>

namespace CommonFunc {

namespace {

void addGridRow(CsvLine &line, const TextGrid &grid, int row)
{
    line.addText(grid.cell(row, PairLabel));
    for (int c = PairTheoretical; c <= PairSupport; ++c)
        line.addValueOf(grid.cell(row, c));
    for (int c = PairMark; c <= PairRankDiff; ++c)
        line.addText(grid.cell(row, c));
}

QString gridLabel(const TextGrid &grid, int row) { return row < grid.rows() ? grid.cell(row, PairLabel) : QString(); }

CsvFile csvOf(const RaceSheet &sheet)
{
    CsvFile file;
    const int count = std::clamp(sheet.HorseCount(), 0, MaxHorses);

    CsvLine title;
    title.addText(QStringLiteral(u"ミヌクル君Super"));
    title.addText(QStringLiteral("v0.10"));
    title.addText(QStringLiteral(u"CSV出力ファイル"));
    // Prices of another model must not pass for the standard ones.
    if (!sheet.priceModelName.isEmpty())
        title.addText(sheet.priceModelName);
    file.addLine(title);
    file.addEmptyLine();

    CsvLine kaisai;
    kaisai.addText(QStringLiteral(u"開催"));
    kaisai.addText(sheet.lblKaisai);
    file.addLine(kaisai);
    CsvLine race;
    race.addText(QStringLiteral(u"ﾚｰｽ"));
    race.addText(sheet.lblRaceName);
    file.addLine(race);
    CsvLine horses;
    horses.addText(QStringLiteral(u"頭数"));
    horses.addInteger(qint16(sheet.HorseCount()));
    file.addLine(horses);
    file.addEmptyLine();

    CsvLine horseHead;
    for (const char16_t *head : {u"人気", u"判定", u"単馬番", u"複馬番", u"単勝人気順\u3000馬番", u"単ｵｯｽﾞ", u"支持率",
                                 u"単：複比", u"複勝人気順\u3000馬番", u"複ｵｯｽﾞMin", u"Max", u"平均", u"支持率"})
        horseHead.addText(QString::fromUtf16(head));
    file.addLine(horseHead);
    for (int k = 1; k <= count; ++k) {
        CsvLine line;
        line.addInteger(qint16(k));
        line.addText(sheet.lblAutoJudge[k]);
        line.addInteger(TextToInteger(sheet.lblTanHorseNo[k]));
        line.addInteger(TextToInteger(sheet.lblFukuHorseNo[k]));
        line.addText(sheet.lblTanHorseName[k]);
        line.addValueOf(sheet.lblTanPopOdds[k]);
        line.addValueOf(sheet.lblTanPopRatio[k]);
        line.addValueOf(sheet.lblTanFukuRatio[k]);
        line.addText(sheet.lblFukuHorseName[k]);
        line.addValueOf(sheet.lblFukuPopOddsMin[k]);
        line.addValueOf(sheet.lblFukuPopOddsMax[k]);
        line.addValueOf(sheet.lblFukuPopOdds[k]);
        line.addValueOf(sheet.lblFukuPopRatio[k]);
        file.addLine(line);
    }
    file.addEmptyLine();
    file.addEmptyLine();

    CsvLine pairHead;
    for (const char16_t *head : {u"馬連", u"理論値", u"実際値", u"乖離％", u"支持率", u"判定", u"人気", u"人気差",
                                 u"ﾜｲﾄﾞ", u"理論値", u"実際値", u"乖離％", u"支持率", u"判定", u"人気", u"人気差"})
        pairHead.addText(QString::fromUtf16(head));
    file.addLine(pairHead);

    // Rows in their current order; a grid without pair data has no rows.
    const TextGrid &umaren = sheet.grdUmaRen;
    const TextGrid &wide = sheet.grdWide;
    const int pairs = count * (count - 1) / 2;
    for (int r = 1; r <= pairs; ++r) {
        if (r >= umaren.rows() && r >= wide.rows())
            break;
        const bool umarenPart = !gridLabel(umaren, r).isEmpty();
        const bool widePart = !gridLabel(wide, r).isEmpty();
        if (!umarenPart) {
            file.addEmptyLine();
            if (widePart) {
                CsvLine line;
                addGridRow(line, wide, r);
                file.addLine(line);
            }
            continue;
        }
        CsvLine line;
        addGridRow(line, umaren, r);
        if (r < wide.rows())
            addGridRow(line, wide, r);
        file.addLine(line);
    }

    file.addEmptyLine();
    file.addRawLine(QStringLiteral(u"推奨買い目"));
    for (const QString &item : sheet.lstKaime) {
        CsvLine line;
        line.addText(item);
        file.addLine(line);
    }
    file.addEmptyLine();
    file.addEmptyLine();
    for (const QString &item : sheet.lstRaceResult) {
        CsvLine line;
        line.addText(item);
        file.addLine(line);
    }
    return file;
}

} // namespace

bool WriteCsvFile(const RaceSheet &sheet, const QString &path)
{
    // Only a file already at path can be one of the race's.
    const QStringList untouchable = QFileInfo::exists(path) ? RaceFilesOf(sheet, path) : QStringList();
    QString error;
    QString warning;
    if (!csvOf(sheet).save(path, &error, untouchable, &warning)) {
        Messages::notice(error);
        return false;
    }
    if (!warning.isEmpty())
        Messages::notice(warning);
    return true;
}

QByteArray CsvBytes(const RaceSheet &sheet, QString *unmapped) { return csvOf(sheet).bytes(unmapped); }

QString SuggestedCsvName(const RaceSheet &sheet)
{
    if (sheet.sRaceFile.isEmpty())
        return QString();
    return QFileInfo(sheet.sRaceFile).completeBaseName() + QStringLiteral(".csv");
}

} // namespace CommonFunc
