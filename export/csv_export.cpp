// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/csv_export.h"

#include "analysis/price_models.h"
#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "app/sheet_view.h"
#include "common/messages.h"
#include "common/text_convert.h"
#include "export/csv_file.h"
#include "export/save_guard.h"
#include "patdata/pat_files.h"
#include "settings/race_options.h"

#include <QFileInfo>

namespace CommonFunc {

namespace {

// A pair's row holds sixteen fields, and a race 153 rows: the numbers and
// labels are written without a text of their own.
void addPair(CsvLine &line, const RaceAnalysis &race, BetType type, const PairAnalysis &pair)
{
    char16_t label[5];
    QString wider;
    line.addText(PairLabelView(pair.first, pair.second, label, wider));
    line.addValue(pair.theoreticalShown);
    line.addValue(pair.actualShown);
    line.addValue(pair.deviationShown());
    line.addValue(pair.supportShown());
    line.addText(race.markText(type, pair));
    line.addText(PairPopularityText(pair));
    line.addText(PairRankDifferenceText(pair));
}

// The pair on a grid row: the grids show a race's pairs, in whatever order
// the user sorted them; without a sheet, in the pairs' own order.
const PairAnalysis *pairOnRow(const RaceAnalysis &race, BetType type, const RaceSheet *sheet, int row)
{
    const int key = sheet ? sheet->pairGrid(type).rowKey(row) : row - 1;
    const QList<PairAnalysis> &pairs = race.pairsOf(type);
    return key >= 0 && key < pairs.size() ? &pairs[key] : nullptr;
}

const RaceAnalysis &raceOf(const RaceSheet &sheet)
{
    static const RaceAnalysis noRace {};
    return sheet.analysis ? *sheet.analysis : noRace;
}

CsvFile csvOf(const RaceAnalysis &race, const RaceSheet *sheet)
{
    CsvFile file(CsvEncodingInForce());
    const int count = race.count();

    CsvLine title;
    title.addText(QStringLiteral(u"ミヌクル君Super"));
    title.addText(QStringLiteral("v0.10"));
    title.addText(QStringLiteral(u"CSV出力ファイル"));
    // Prices of another model must not pass for the standard ones.
    if (race.priceModel != PriceModel::Standard)
        title.addText(PriceModelName(race.priceModel));
    file.addLine(title);
    file.addEmptyLine();

    CsvLine kaisai;
    kaisai.addText(QStringLiteral(u"開催"));
    kaisai.addText(race.kaisai);
    file.addLine(kaisai);
    CsvLine raceLine;
    raceLine.addText(QStringLiteral(u"ﾚｰｽ"));
    raceLine.addText(race.raceName);
    file.addLine(raceLine);
    CsvLine horses;
    horses.addText(QStringLiteral(u"頭数"));
    horses.addInteger(qint16(race.horseCount));
    file.addLine(horses);
    file.addEmptyLine();

    CsvLine horseHead;
    for (const char16_t *head : {u"人気", u"判定", u"単馬番", u"複馬番", u"単勝人気順\u3000馬番", u"単ｵｯｽﾞ", u"支持率",
                                 u"単：複比", u"複勝人気順\u3000馬番", u"複ｵｯｽﾞMin", u"Max", u"平均", u"支持率"})
        horseHead.addText(QString::fromUtf16(head));
    file.addLine(horseHead);
    const ShownNumber none;
    for (int k = 1; k <= count; ++k) {
        const RankAnalysis &tanRow = race.tanTable[std::size_t(k)];
        const HorseAnalysis &tan = race.horses[std::size_t(tanRow.horse)];
        const int fukuHorse = race.fukuTable[std::size_t(k)].horse;
        const HorseAnalysis &fuku = race.horses[std::size_t(fukuHorse)];
        CsvLine line;
        line.addInteger(qint16(k));
        line.addText(tanRow.star ? QStringLiteral(u"★") : QString());
        line.addInteger(qint16(tanRow.horse));
        line.addInteger(qint16(fukuHorse));
        line.addText(tan.name);
        line.addValueOf(tan.tanOdds);
        line.addValue(tan.scratched ? none : tan.tanRatio);
        line.addValue(tanRow.tanFukuRatio);
        line.addText(fuku.name);
        // A scratched horse shows "ﾄﾘｹｼ" and "---" here, which read as 0.
        line.addValueOf(fuku.scratched ? fuku.tanOdds : fuku.fukuOddsMin);
        line.addValueOf(fuku.scratched ? QString() : fuku.fukuOddsMax);
        line.addValue(fuku.scratched ? none : fuku.fukuOdds);
        line.addValue(fuku.scratched ? none : fuku.fukuRatio);
        file.addLine(line);
    }
    file.addEmptyLine();
    file.addEmptyLine();

    CsvLine pairHead;
    for (const BetKind &kind : kBetKinds) {
        pairHead.addText(kind.shortName.toString());
        for (const char16_t *head : {u"理論値", u"実際値", u"乖離％", u"支持率", u"判定", u"人気", u"人気差"})
            pairHead.addText(QString::fromUtf16(head));
    }
    file.addLine(pairHead);

    // Rows in the grids' current order; a race without pair data has none.
    if (race.hasPairs) {
        for (int r = 1; r <= int(race.pairs.front().size()); ++r) {
            CsvLine line;
            for (const BetKind &kind : kBetKinds) {
                if (const PairAnalysis *pair = pairOnRow(race, kind.type, sheet, r))
                    addPair(line, race, kind.type, *pair);
            }
            file.addLine(line);
        }
    }

    file.addEmptyLine();
    file.addRawLine(QStringLiteral(u"推奨買い目"));
    for (const QString &item : RecommendedBetLines(race)) {
        CsvLine line;
        line.addText(item);
        file.addLine(line);
    }
    file.addEmptyLine();
    file.addEmptyLine();
    for (const QString &item : RaceResultLines(race)) {
        CsvLine line;
        line.addText(item);
        file.addLine(line);
    }
    return file;
}

bool save(const CsvFile &file, const QString &path, const QStringList &untouchable)
{
    QString error;
    QString warning;
    if (!file.save(path, &error, untouchable, &warning)) {
        Messages::notice(error);
        return false;
    }
    if (!warning.isEmpty())
        Messages::notice(warning);
    return true;
}

QString suggestedName(const QString &raceFile, const QString &key)
{
    if (raceFile.isEmpty())
        return QString();
    // A race of a record file of many takes its key into the name.
    return QFileInfo(raceFile).completeBaseName() + (key.isEmpty() ? QString() : u'_' + key) + QStringLiteral(".csv");
}

} // namespace

bool WriteCsvFile(const RaceSheet &sheet, const QString &path)
{
    // Only a file already at path can be one of the race's.
    const QStringList untouchable = QFileInfo::exists(path) ? RaceFilesOf(sheet, path) : QStringList();
    return save(csvOf(raceOf(sheet), &sheet), path, untouchable);
}

bool WriteCsvFile(const RaceAnalysis &race, const QString &path)
{
    const QStringList untouchable = QFileInfo::exists(path) ? RaceFilesOf(race, path) : QStringList();
    return save(csvOf(race, nullptr), path, untouchable);
}

QByteArray CsvBytes(const RaceSheet &sheet, QString *unmapped) { return csvOf(raceOf(sheet), &sheet).bytes(unmapped); }

QByteArray CsvBytes(const RaceAnalysis &race, QString *unmapped) { return csvOf(race, nullptr).bytes(unmapped); }

QString SuggestedCsvName(const RaceSheet &sheet)
{
    return suggestedName(sheet.sRaceFile, sheet.analysis ? sheet.analysis->raceKey : QString());
}

QString SuggestedCsvName(const RaceAnalysis &race) { return suggestedName(race.raceFile, race.raceKey); }

} // namespace CommonFunc
