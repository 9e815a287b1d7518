// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/price_models.h"
#include "app/race_sheet.h"
#include "app/sheet_cells.h"
#include "cli/backtest_command.h"
#include "cli/fit_command.h"
#include "cli/terminal.h"
#include "cli/text_table.h"
#include "cli/watch_command.h"
#include "common/file_checks.h"
#include "common/messages.h"
#include "common/text_util.h"
#include "export/csv_export.h"
#include "grids/pair_matrix.h"
#include "patdata/file_list.h"
#include "patdata/jv_records.h"
#include "race/race_loader.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QSet>
#include <QTranslator>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

using namespace CommonFunc;

namespace {

using Terminal::err;
using Terminal::out;

// The usages are translated when printed (Cli::tr).
const char *const kUsage =
    QT_TRANSLATE_NOOP("Cli",
                      "usage: minukuru-cli [--settings FILE] COMMAND [ARGS]\n"
                      "\n"
                      "Commands:\n"
                      "  export RACE_FILE [--race KEY] [-o OUT.csv] [--encoding ENCODING]\n"
                      "                               analyse a race and save it as CSV\n"
                      "  show RACE_FILE [--race KEY] [--matrix] [--place] [--ev]\n"
                      "                               print the analysis of a race\n"
                      "  list [FOLDER]                list the races of a PAT folder\n"
                      "  watch ZO_FILE [--count N]    follow a race as the terminal rewrites it\n"
                      "  backtest [-r] [--json] [--ledger FILE.csv] [--encoding ENCODING]\n"
                      "           [--models] [--course NAMES] [--runners MIN-MAX]\n"
                      "           [--race-number MIN-MAX] [--favourite MIN-MAX]\n"
                      "           [--conditions TEXT] [--breakdowns] [--seed N]\n"
                      "           [--resamples N] [--calibration] [--ev]\n"
                      "           [--staking METHOD] [--bankroll YEN] [--fraction F]\n"
                      "           [--kelly K] [--cap C] [PATH...]\n"
                      "                               what the marks and recommended bets\n"
                      "                               would have paid over past races\n"
                      "  fit [-r] [--json] [--win-probability METHOD] [--save] [CONDITIONS]\n"
                      "      [PATH...]\n"
                      "                               fit the price model's exponents to the\n"
                      "                               settled races\n"
                      "\n"
                      "Options, before or after the command:\n"
                      "  --settings FILE  the settings file (else MINUKURU_SETTINGS when set,\n"
                      "                   else the user's own)\n"
                      "  --model MODEL    price with standard, harville or discount for this run\n"
                      "                   instead of the settings' model\n"
                      "  -h, --help       this text, or a command's with the command\n"
                      "  --version        the program's version\n"
                      "Run 'minukuru-cli COMMAND --help' for a command's options.\n"
                      "Exit status 0 on success, 1 when the command failed, 2 for wrong usage.\n");

const char *const kExportUsage =
    QT_TRANSLATE_NOOP("Cli",
                      "usage: minukuru-cli export RACE_FILE [--race KEY] [-o OUT.csv]\n"
                      "                           [--encoding ENCODING]\n"
                      "Loads the race as the program does and writes its CSV file (default: the\n"
                      "race file's base name with .csv in the current folder, with _KEY for a\n"
                      "race of a record file; -o - for standard output).  The race's own files\n"
                      "and anything but a regular file are never replaced.  RACE_FILE is a PAT\n"
                      "win/place odds file (Zo-*.jra) or a file of JV-Data records.\n"
                      "  --race KEY           the race of a record file of many: its 16-digit key\n"
                      "                       (year, month-day, course, meeting, day, race number)\n"
                      "  -o, --output FILE    the file to write, - for standard output\n"
                      "  --encoding ENCODING  sjis (Shift-JIS) or utf-8 (with a byte-order mark)\n"
                      "                       for this run instead of the settings' CsvEncoding\n"
                      "Exit status 0 when the file was written, 1 otherwise, 2 for wrong usage.\n");

const char *const kShowUsage =
    QT_TRANSLATE_NOOP("Cli",
                      "usage: minukuru-cli show RACE_FILE [--race KEY] [--matrix] [--place] [--ev]\n"
                      "Prints the race header, the popularity tables, both pair grids, the\n"
                      "recommended bets and the result.  RACE_FILE is a PAT win/place odds file\n"
                      "(Zo-*.jra) or a file of JV-Data records.\n"
                      "  --race KEY  the race of a record file of many: its 16-digit key (year,\n"
                      "              month-day, course, meeting, day, race number); without it\n"
                      "              a record file must hold one race, else its keys are listed\n"
                      "  --matrix  then the pair matrix: umaren above the diagonal, wide below,\n"
                      "            each pair's deviation in whole percent and its mark\n"
                      "  --place   the place table with each horse's theoretical place price\n"
                      "            (0.8 over its chance of the first three, or the first two\n"
                      "            with 5 to 7 runners) under the price model; blank with 4\n"
                      "            runners or fewer\n"
                      "  --ev      the grids' expected value column (as the ShowExpectedValue\n"
                      "            option gives it): the model's chance of the pair times its\n"
                      "            price, less 1; wide at the lower bound of its price\n"
                      "Exit status 0 when the race was shown, 1 when it cannot be read, 2 for\n"
                      "wrong usage.\n");

const char *const kBacktestUsage =
    QT_TRANSLATE_NOOP("Cli",
                      "usage: minukuru-cli backtest [-r] [--json] [--ledger FILE.csv]\n"
                      "                             [--encoding ENCODING] [--models]\n"
                      "                             [--calibration] [--ev] [--staking METHOD]\n"
                      "                             [--bankroll YEN] [--fraction F] [--kelly K]\n"
                      "                             [--cap C] [PATH...]\n"
                      "Loads every race (Zo-*.jra) of the folders or files given (default: the\n"
                      "PAT folder of the settings) as the program does, and reports what its\n"
                      "recommended bets and marked pairs would have paid at 100 yen a bet,\n"
                      "by the race results' payouts.\n"
                      "  -r, --recursive    search the folders' subfolders too\n"
                      "  --json             the report as one JSON object\n"
                      "  --ledger FILE.csv  one CSV line per bet\n"
                      "  --encoding ENCODING\n"
                      "                     the ledger's: sjis (Shift-JIS) or utf-8 (with a\n"
                      "                     byte-order mark) instead of the settings' CsvEncoding\n"
                      "  --models           compare the pricing models and the market on the\n"
                      "                     settled races (log loss, Brier score, returns)\n"
                      "  --calibration      the predicted chances (win, and the active model's\n"
                      "                     umaren and wide pairs) against how often they came\n"
                      "                     true, in bins with 95 % intervals\n"
                      "  --ev               two more ledger columns: each bet's model chance and\n"
                      "                     its expected value (wide at its lower price), as\n"
                      "                     the ShowExpectedValue option also gives them\n"
                      "  --breakdowns       the figures by course, field size, race number,\n"
                      "                     favourite's odds and popularity (the JSON has them\n"
                      "                     always)\n"
                      "Only races that meet every condition given take part:\n"
                      "  --course NAME[,NAME...]  the course as the race list shows it\n"
                      "  --runners MIN-MAX        horses not scratched\n"
                      "  --race-number MIN-MAX    the race's number\n"
                      "  --favourite MIN-MAX      the lowest win odds of the race\n"
                      "  --conditions TEXT        the race conditions contain TEXT\n"
                      "Ranges are inclusive; N alone is N-N.  The recommended bets staked from a\n"
                      "bankroll, race by race in the races' order (report: staking):\n"
                      "  --staking METHOD   flat (the default: 100 yen a bet, no bankroll),\n"
                      "                     fraction (each bet a fixed fraction of the bankroll)\n"
                      "                     or kelly (fractional Kelly on the model's chance at\n"
                      "                     the market price; umaren bets as exclusive outcomes)\n"
                      "  --bankroll YEN     the bankroll at the start (default 100000)\n"
                      "  --fraction F       fraction's share of the bankroll a bet (default 0.01)\n"
                      "  --kelly K          the Kelly multiplier (default 0.25)\n"
                      "  --cap C            the most of the bankroll one race stakes (default\n"
                      "                     0.05); stakes round down to 100 yen\n"
                      "95 % intervals by resampling the settled races:\n"
                      "  --seed N           the draws' seed (default 1)\n"
                      "  --resamples N      the draws (default 2000; 0: no intervals)\n"
                      "Each race counts once, however many paths lead to it.  The ledger never\n"
                      "replaces one of the races' files or anything but a regular file.\n"
                      "Exit status 0 when at least one race was read, 1 when none was found or\n"
                      "none could be read (the reason on standard error) or the ledger could\n"
                      "not be written, 2 for wrong usage.\n");

const char *const kFitUsage =
    QT_TRANSLATE_NOOP("Cli",
                      "usage: minukuru-cli fit [-r] [--json] [--win-probability METHOD] [--save]\n"
                      "                        [CONDITIONS] [PATH...]\n"
                      "Reads every race of the folders or files given (default: the PAT folder\n"
                      "of the settings) as the backtest does, takes the first three of each\n"
                      "settled race from its payouts (a dead heat or missing payouts leave a race\n"
                      "out, counted), and fits by maximum likelihood the discount model's\n"
                      "exponents λ2 and λ3 and the win exponent β of the corrected power method\n"
                      "(WinProbability=3), with standard errors; then, holding out every fifth\n"
                      "race, the held-out races' mean log-likelihood of their first three under\n"
                      "Harville, the stored λ and the fitted λ.\n"
                      "  -r, --recursive           search the folders' subfolders too\n"
                      "  --json                    the report as one JSON object\n"
                      "  --win-probability METHOD  fit λ2 and λ3 on normalised (the default),\n"
                      "                            power or shin win probabilities\n"
                      "  --save                    store the fitted λ2, λ3 and β in the options\n"
                      "The backtest's conditions choose the races: --course NAMES, --runners\n"
                      "MIN-MAX, --race-number MIN-MAX, --favourite MIN-MAX, --conditions TEXT.\n"
                      "Exit status 0 when the fit was made (and saved with --save), 1 when no\n"
                      "race was found or none gave its first three, or the estimates could not\n"
                      "be saved, 2 for wrong usage.\n");

const char *const kListUsage =
    QT_TRANSLATE_NOOP("Cli",
                      "usage: minukuru-cli list [FOLDER]\n"
                      "Prints the races of FOLDER (default: the PAT folder of the settings),\n"
                      "tab-separated, with a heading row.\n"
                      "Exit status 0 when the folder was listed, 1 when it cannot be read, 2 for\n"
                      "wrong usage.\n");

const char *const kWatchUsage =
    QT_TRANSLATE_NOOP("Cli",
                      "usage: minukuru-cli watch ZO_FILE [--count N]\n"
                      "Loads the race, prints its recommended bets, then follows its files as\n"
                      "the window does: one line per reload with the time, \"reload N\", the\n"
                      "recommended bets and each pair whose mark changed (bet type, pair,\n"
                      "old mark -> new mark, \"-\" for none).  Failed reloads are printed and\n"
                      "not counted.\n"
                      "  --count N  stop after N reloads (default: run until Ctrl-C)\n"
                      "Exit status 0 at the end or on Ctrl-C, 1 when the race cannot be read,\n"
                      "2 for wrong usage.\n");

QString usageText(const char *usage) { return Cli::tr(usage); }

int usageError(const QString &message, const char *usage)
{
    err(message);
    const QByteArray text = usageText(usage).toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stderr);
    return 2;
}

// Arguments whose bytes are not valid in the system's encoding: Qt's text of
// them names another file, or none.
QSet<QString> g_unrepresentable;

// Loads a race; false (with the reason on standard error) when it cannot be
// read.  The program's read failure message follows, as in the window.  The
// reason is looked for only after a failed read, so that a file that comes
// or goes meanwhile cannot give a success with a complaint or a failure
// without one.
// Loads the race at path as load does, through `read` (true when it read
// the race), telling why it could not.
template <typename Read>
bool loadWith(const QString &path, Read &&read)
{
    if (g_unrepresentable.contains(path)) {
        err(QStringLiteral("minukuru-cli: ")
            + Cli::tr("the file name is not valid UTF-8 and cannot be opened: %1").arg(path));
        Messages::error(Messages::readFailedText());
        return false;
    }
    Messages::Held held; // the reason for a failure comes first
    bool loaded = false;
    {
        const Messages::ScopedSink scope(&held);
        loaded = read(QFileInfo(path).absoluteFilePath());
    }
    if (!loaded) {
        const QString problem = FileProblem(path);
        if (!problem.isEmpty())
            err(QStringLiteral("minukuru-cli: ") + problem + QStringLiteral(": ") + path);
    }
    held.release();
    return loaded;
}

bool load(RaceSheet &sheet, const QString &path, const QString &raceKey = QString())
{
    return loadWith(path, [&](const QString &absolute) { return LoadRace(sheet, absolute, raceKey); });
}

// The analysis alone, for the views that need no sheet.
std::shared_ptr<const RaceAnalysis> loadAnalysis(const QString &path, const QString &raceKey)
{
    std::shared_ptr<const RaceAnalysis> race;
    loadWith(path, [&](const QString &absolute) {
        race = LoadRaceAnalysis(absolute, raceKey);
        return race != nullptr;
    });
    return race;
}

// The race that show or export names: a PAT odds file (no key), or one
// race of a file of JV-Data records.  0 when found, else the exit status,
// after saying why; a record file of many races without --race lists its keys.
int pickRace(const QString &command, const QString &path, const std::optional<QString> &raceOption, QString &key)
{
    const QString prefix = QStringLiteral("minukuru-cli ") + command + QStringLiteral(": ");
    key.clear();
    if (g_unrepresentable.contains(path) || !IsJvRecordFile(path)) {
        if (raceOption) {
            err(prefix + Cli::tr("--race takes the race of a file of JV-Data records: %1").arg(path));
            return 2;
        }
        return 0;
    }
    QString problem;
    const std::shared_ptr<const JvRecordIndex> index = JvRecordIndexOf(path, &problem);
    if (!index) {
        err(prefix + problem + QStringLiteral(": ") + path);
        return 1;
    }
    if (raceOption) {
        if (!IsJvRaceKey(*raceOption)) {
            err(prefix + Cli::tr("--race needs a race key of 16 digits, not %1").arg(*raceOption));
            return 2;
        }
        key = *raceOption;
        return 0;
    }
    if (index->races.size() == 1) {
        key = index->races.front().keyText();
        return 0;
    }
    if (index->races.empty()) {
        err(prefix + Cli::tr("no race with win/place odds in %1").arg(path));
        return 1;
    }
    err(prefix + Cli::tr("%1 holds %2 races; name one with --race KEY:").arg(path).arg(index->races.size()));
    for (const JvRaceRecords &race : index->races)
        err(QStringLiteral("  ") + race.keyText());
    return 1;
}

// The CSV bytes as they are: no newline translation, nothing else printed.
int exportToStandardOutput(const RaceAnalysis &race)
{
    QString unmapped;
    const QByteArray bytes = CsvBytes(race, &unmapped);
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) == std::size_t(bytes.size())
        && std::fflush(stdout) == 0) {
        if (!unmapped.isEmpty())
            Messages::notice(Messages::unmappedWrittenText(unmapped));
        return 0;
    }
    Messages::notice(QString::fromLocal8Bit(std::strerror(errno)));
    Messages::error(Messages::saveFailedText());
    return 1;
}

int runExport(const QStringList &args, const QString &outputOption, const std::optional<QString> &raceOption)
{
    if (args.isEmpty())
        return usageError(QStringLiteral("minukuru-cli export: ") + Cli::tr("which race file?"), kExportUsage);
    if (args.size() > 1)
        return usageError(QStringLiteral("minukuru-cli export: ") + Cli::tr("one race file only"), kExportUsage);

    QString key;
    if (const int status = pickRace(QStringLiteral("export"), args[0], raceOption, key); status != 0)
        return status;
    // The CSV is a view of the analysis: no sheet is made for it.
    const std::shared_ptr<const RaceAnalysis> race = loadAnalysis(args[0], key);
    if (!race)
        return 1;
    if (outputOption == u"-")
        return exportToStandardOutput(*race);
    const QString output = outputOption.isEmpty() ? SuggestedCsvName(*race) : outputOption;
    if (!WriteCsvFile(*race, output)) {
        Messages::error(Messages::saveFailedText());
        return 1;
    }
    return 0;
}

QString listText(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += QStringLiteral("  ") + VisibleText(line) + u'\n';
    return text;
}

QString gridText(const TextGrid &grid)
{
    TextTable table;
    using A = TextTable::Align;
    table.setAlignments({A::Left, A::Right, A::Right, A::Right, A::Right, A::Left, A::Right, A::Right, A::Right});
    for (int r = 0; r < grid.rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid.columns(); ++c)
            cells.append(grid.cell(r, c));
        table.addRow(cells);
    }
    return table.render(QStringLiteral("  "));
}

// A deviation in whole percent with its sign ("+12", "-3", "0") and the mark.
QString matrixCellText(const DeviationCell &cell)
{
    if (cell.scratched)
        return QStringLiteral("--");
    if (!cell.deviation)
        return {};
    const long whole = std::lround(*cell.deviation);
    QString text = QString::number(whole);
    if (whole > 0)
        text.prepend(u'+');
    return text + cell.mark;
}

QString matrixText(const RaceSheet &sheet)
{
    const DeviationMatrix matrix = sheet.analysis ? BuildDeviationMatrix(*sheet.analysis) : DeviationMatrix();
    const int n = matrix.horses;
    TextTable table;
    using A = TextTable::Align;
    QList<A> alignments {A::Left};
    QStringList numbers {QStringLiteral(u"馬番")};
    QStringList ranks {QStringLiteral(u"人気")};
    for (int k = 1; k <= n; ++k) {
        alignments.append(A::Right);
        numbers.append(QString::number(k));
        ranks.append(matrix.scratched[std::size_t(k)] ? ScratchedText() : matrix.popularity[std::size_t(k)]);
    }
    table.setAlignments(alignments);
    table.addRow(numbers);
    table.addRow(ranks);
    for (int row = 1; row <= n; ++row) {
        QStringList cells {QString::number(row)};
        for (int column = 1; column <= n; ++column)
            cells.append(row == column ? QStringLiteral("\\") : matrixCellText(matrix.at(row, column)));
        table.addRow(cells);
    }
    return QStringLiteral(u"ﾏﾄﾘｸｽ 右上 馬連・左下 ﾜｲﾄﾞ 乖離％\n") + table.render(QStringLiteral("  "));
}

int runShow(const QStringList &args, bool withMatrix, bool withPlacePrice, const std::optional<QString> &raceOption)
{
    if (args.size() != 1)
        return usageError(QStringLiteral("minukuru-cli show: ") + Cli::tr("give one race file"), kShowUsage);
    QString key;
    if (const int status = pickRace(QStringLiteral("show"), args[0], raceOption, key); status != 0)
        return status;
    if (withPlacePrice)
        OverrideShowPlacePrice(true);
    RaceSheet sheet;
    if (!load(sheet, args[0], key))
        return 1;

    const int count = sheet.analysis->count();
    out(QStringLiteral(u"開催 %1\nﾚｰｽ %2\n頭数 %3\n発走時刻 %4\n\n")
            .arg(VisibleText(sheet.lblKaisai), VisibleText(sheet.lblRaceName.trimmed()), VisibleText(sheet.lblHorseNum),
                 VisibleText(sheet.lblRaceTime)));
    if (!sheet.analysis->raceKey.isEmpty())
        out(QStringLiteral(u"ﾚｰｽｷｰ %1\nｵｯｽﾞ %2\n\n").arg(sheet.analysis->raceKey, sheet.analysis->oddsStage));
    if (!sheet.priceModelName.isEmpty()) {
        out(QStringLiteral(u"理論値ﾓﾃﾞﾙ %1%2\n\n")
                .arg(sheet.priceModelName,
                     sheet.winProbabilityFellBack ? QStringLiteral(u"（勝率は解が無いため正規化で代用）") : QString()));
    }

    using A = TextTable::Align;
    TextTable win;
    win.setAlignments({A::Right, A::Left, A::Right, A::Left, A::Right, A::Right, A::Right});
    win.addRow({QStringLiteral(u"人気"), QStringLiteral(u"判定"), QStringLiteral(u"単馬番"),
                QStringLiteral(u"単勝人気順　馬名"), QStringLiteral(u"単ｵｯｽﾞ"), QStringLiteral(u"支持率"),
                QStringLiteral(u"単：複")});
    for (int k = 1; k <= count; ++k)
        win.addRow({sheet.lblPopular[k], sheet.lblAutoJudge[k], sheet.lblTanHorseNo[k],
                    sheet.lblTanHorseName[k].trimmed(), sheet.lblTanPopOdds[k], sheet.lblTanPopRatio[k],
                    sheet.lblTanFukuRatio[k]});
    out(win.render(QStringLiteral("  ")) + u'\n');

    TextTable place;
    QList<A> placeAlignments {A::Right, A::Right, A::Left, A::Right, A::Right, A::Right, A::Right};
    QStringList placeHeads {QStringLiteral(u"人気"),  QStringLiteral(u"複馬番"), QStringLiteral(u"複勝人気順　馬名"),
                            QStringLiteral("Min"),    QStringLiteral("Max"),     QStringLiteral(u"平均"),
                            QStringLiteral(u"支持率")};
    if (withPlacePrice) {
        placeAlignments.append(A::Right);
        placeHeads.append(QStringLiteral(u"複理論"));
    }
    place.setAlignments(placeAlignments);
    place.addRow(placeHeads);
    for (int k = 1; k <= count; ++k) {
        QStringList cells {sheet.lblPopular[k],        sheet.lblFukuHorseNo[k],    sheet.lblFukuHorseName[k].trimmed(),
                           sheet.lblFukuPopOddsMin[k], sheet.lblFukuPopOddsMax[k], sheet.lblFukuPopOdds[k],
                           sheet.lblFukuPopRatio[k]};
        if (withPlacePrice)
            cells.append(sheet.lblFukuPopPrice[k]);
        place.addRow(cells);
    }
    out(place.render(QStringLiteral("  ")) + u'\n');

    out(gridText(sheet.grdUmaRen) + u'\n');
    out(gridText(sheet.grdWide) + u'\n');
    out(QStringLiteral(u"推奨買い目\n") + listText(sheet.lstKaime) + u'\n');
    out(QStringLiteral(u"競争結果\n") + listText(sheet.lstRaceResult));
    if (withMatrix)
        out(u'\n' + matrixText(sheet));
    return 0;
}

int runList(const QStringList &args)
{
    if (args.size() > 1)
        return usageError(QStringLiteral("minukuru-cli list: ") + Cli::tr("give at most one folder"), kListUsage);
    const QString folder = args.isEmpty() ? GetPatFolder() : args[0];
    const QString problem = g_unrepresentable.contains(folder)
        ? Cli::tr("the folder name is not valid UTF-8 and cannot be opened")
        : FolderProblem(folder);
    if (!problem.isEmpty()) {
        err(QStringLiteral("minukuru-cli: ") + problem + QStringLiteral(": ") + folder);
        return 1;
    }
    QStringList heading;
    for (const FileListColumn &column : FileListColumns())
        heading.append(column.heading);
    out(heading.join(u'\t') + u'\n');
    for (const FileListRow &row : BuildFileList(folder)) {
        // A tab, CR or LF inside a cell shows as ^I, ^M, ^J: one row a line.
        QStringList cells;
        for (const QString &cell : row.cells)
            cells.append(VisibleText(cell));
        out(cells.join(u'\t') + u'\n');
    }
    if (const int left = CountUnrepresentableOddsFiles(folder); left > 0)
        err(QStringLiteral("minukuru-cli: ")
            + Cli::tr("%1 race file(s) left out: their names are not valid UTF-8").arg(left));
    return 0;
}

struct Command {
    const char *name;
    const char *usage;
    bool takesOutput; // -o/--output, --encoding
    bool backtest = false;
    bool show = false; // --matrix, --place
    bool watch = false;
    bool fit = false;
};

const Command kCommands[] = {
    {"export", kExportUsage, true},
    {"show", kShowUsage, false, false, true},
    {"list", kListUsage, false},
    {"backtest", kBacktestUsage, false, true},
    {"watch", kWatchUsage, false, false, false, true},
    {"fit", kFitUsage, false, false, false, false, true},
};

const Command *commandNamed(const QString &name)
{
    for (const Command &command : kCommands) {
        if (name == QLatin1StringView(command.name))
            return &command;
    }
    return nullptr;
}

// A settings file the store refuses is named once, so that running on the
// defaults comes as no surprise.
void warnAboutSettingsFile()
{
    const char *text = nullptr;
    switch (SettingsFileRefusal()) {
    case SettingsFileProblem::None:
        return;
    case SettingsFileProblem::NotRegularFile:
        text = QT_TRANSLATE_NOOP("Cli", "settings file %1 is not a regular file; using the defaults");
        break;
    case SettingsFileProblem::Unreadable:
        text = QT_TRANSLATE_NOOP("Cli", "settings file %1 cannot be read; using the defaults");
        break;
    case SettingsFileProblem::NoWorkingCopy:
        text = QT_TRANSLATE_NOOP("Cli",
                                 "settings file %1 cannot be copied to the temporary folder; using the defaults");
        break;
    }
    err(QStringLiteral("minukuru-cli: ") + Cli::tr(text).arg(SettingsFilePath()));
}

// The first word that is not an option or an option's value: the command.
qsizetype commandIndex(const QStringList &args)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == u"--")
            return i + 1 < args.size() ? i + 1 : -1;
        if (arg == u"--settings" || arg == u"--model" || arg == u"-o" || arg == u"--output" || arg == u"--ledger"
            || arg == u"--count" || arg == u"--course" || arg == u"--runners" || arg == u"--race-number"
            || arg == u"--favourite" || arg == u"--conditions" || arg == u"--seed" || arg == u"--resamples"
            || arg == u"--win-probability" || arg == u"--encoding" || arg == u"--race" || arg == u"--staking"
            || arg == u"--bankroll" || arg == u"--fraction" || arg == u"--kelly" || arg == u"--cap")
            ++i;
        else if (!arg.startsWith(u'-') || arg == u"-")
            return i;
    }
    return -1;
}

QString optionSpelling(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

namespace {

int runProgram(QCoreApplication &app, int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (!IsRepresentableName(QByteArray(argv[i])))
            g_unrepresentable.insert(QFile::decodeName(argv[i]));
    }
    QStringList args = app.arguments().mid(1);

    const qsizetype at = commandIndex(args);
    const QString word = at >= 0 ? args.takeAt(at) : QString();
    const Command *command = commandNamed(word);
    const QString prefix = command ? QStringLiteral("minukuru-cli ") + word : QStringLiteral("minukuru-cli");
    const char *usage = command ? command->usage : kUsage;

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption settingsOption(QStringLiteral("settings"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption helpOption(QStringList {QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringLiteral("version"));
    const QCommandLineOption outputOption(QStringList {QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                          QStringLiteral("FILE"));
    const QCommandLineOption modelOption(QStringLiteral("model"), QString(), QStringLiteral("MODEL"));
    parser.addOption(settingsOption);
    parser.addOption(modelOption);
    parser.addOption(helpOption);
    parser.addOption(versionOption);
    const QCommandLineOption encodingOption(QStringLiteral("encoding"), QString(), QStringLiteral("ENCODING"));
    if (command && command->takesOutput)
        parser.addOption(outputOption);
    if (command && (command->takesOutput || command->backtest))
        parser.addOption(encodingOption);
    const QCommandLineOption recursiveOption(QStringList {QStringLiteral("r"), QStringLiteral("recursive")});
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    const QCommandLineOption ledgerOption(QStringLiteral("ledger"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption modelsOption(QStringLiteral("models"));
    const QCommandLineOption breakdownsOption(QStringLiteral("breakdowns"));
    const QCommandLineOption calibrationOption(QStringLiteral("calibration"));
    const QCommandLineOption expectedValueOption(QStringLiteral("ev"));
    const QCommandLineOption courseOption(QStringLiteral("course"), QString(), QStringLiteral("NAMES"));
    const QCommandLineOption runnersOption(QStringLiteral("runners"), QString(), QStringLiteral("MIN-MAX"));
    const QCommandLineOption raceNumberOption(QStringLiteral("race-number"), QString(), QStringLiteral("MIN-MAX"));
    const QCommandLineOption favouriteOption(QStringLiteral("favourite"), QString(), QStringLiteral("MIN-MAX"));
    const QCommandLineOption conditionsOption(QStringLiteral("conditions"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QString(), QStringLiteral("N"));
    const QCommandLineOption resamplesOption(QStringLiteral("resamples"), QString(), QStringLiteral("N"));
    const QCommandLineOption stakingOption(QStringLiteral("staking"), QString(), QStringLiteral("METHOD"));
    const QCommandLineOption bankrollOption(QStringLiteral("bankroll"), QString(), QStringLiteral("YEN"));
    const QCommandLineOption fractionOption(QStringLiteral("fraction"), QString(), QStringLiteral("F"));
    const QCommandLineOption kellyOption(QStringLiteral("kelly"), QString(), QStringLiteral("K"));
    const QCommandLineOption capOption(QStringLiteral("cap"), QString(), QStringLiteral("C"));
    // The backtest's options that take a value, with what a missing one needs.
    const std::pair<const QCommandLineOption *, const char *> backtestValues[] = {
        {&ledgerOption, "a file name"},
        {&courseOption, "course names"},
        {&runnersOption, "a range MIN-MAX"},
        {&raceNumberOption, "a range MIN-MAX"},
        {&favouriteOption, "a range MIN-MAX"},
        {&conditionsOption, "a text"},
        {&seedOption, "a number"},
        {&resamplesOption, "a number"},
        {&stakingOption, "flat, fraction or kelly"},
        {&bankrollOption, "a number"},
        {&fractionOption, "a number"},
        {&kellyOption, "a number"},
        {&capOption, "a number"},
    };
    if (command && command->backtest)
        parser.addOptions({recursiveOption, jsonOption, ledgerOption, modelsOption, breakdownsOption, calibrationOption,
                           courseOption, runnersOption, raceNumberOption, favouriteOption, conditionsOption, seedOption,
                           resamplesOption, expectedValueOption, stakingOption, bankrollOption, fractionOption,
                           kellyOption, capOption});
    const QCommandLineOption winProbabilityOption(QStringLiteral("win-probability"), QString(), QStringLiteral("M"));
    const QCommandLineOption saveOption(QStringLiteral("save"));
    if (command && command->fit)
        parser.addOptions({recursiveOption, jsonOption, winProbabilityOption, saveOption, courseOption, runnersOption,
                           raceNumberOption, favouriteOption, conditionsOption});
    const QCommandLineOption matrixOption(QStringLiteral("matrix"));
    const QCommandLineOption placeOption(QStringLiteral("place"));
    if (command && command->show)
        parser.addOptions({matrixOption, placeOption, expectedValueOption});
    const QCommandLineOption raceOption(QStringLiteral("race"), QString(), QStringLiteral("KEY"));
    if (command && (command->show || command->takesOutput))
        parser.addOption(raceOption);
    const QCommandLineOption countOption(QStringLiteral("count"), QString(), QStringLiteral("N"));
    if (command && command->watch)
        parser.addOption(countOption);

    // A value option at the very end has no value.
    if (!args.isEmpty()) {
        const QString &last = args.last();
        if (last == u"--settings")
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--settings needs a file name"), usage);
        if (command && (command->show || command->takesOutput) && last == u"--race")
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--race needs a race key"), usage);
        if (last == u"--model")
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--model needs standard, harville or discount"),
                              usage);
        if (command && command->takesOutput && (last == u"-o" || last == u"--output"))
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("%1 needs a file name").arg(last), usage);
        if (command && (command->backtest || command->fit)) {
            for (const auto &[option, needs] : backtestValues) {
                if (last == QStringLiteral("--") + option->names().first())
                    return usageError(prefix + QStringLiteral(": ") + last + QStringLiteral(" needs ")
                                          + QLatin1StringView(needs),
                                      usage);
            }
        }
        if (command && command->fit && last == u"--win-probability")
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--win-probability needs normalised, power or shin"),
                              usage);
        if (command && command->watch && last == u"--count")
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--count needs a number"), usage);
        if (command && (command->takesOutput || command->backtest) && last == u"--encoding")
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--encoding needs sjis or utf-8"), usage);
    }
    if (!parser.parse(QStringList {QStringLiteral("minukuru-cli")} + args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty())
            return usageError(prefix + QStringLiteral(": ") + parser.errorText(), usage);
        // An unknown option before the command is the program's, after it the command's.
        const QString spelling = optionSpelling(unknown.first());
        const qsizetype where = args.indexOf(spelling);
        const bool beforeCommand = at < 0 || (where >= 0 && where < at);
        return usageError((beforeCommand ? QStringLiteral("minukuru-cli") : prefix) + QStringLiteral(": ")
                              + Cli::tr("unknown option %1").arg(spelling),
                          beforeCommand ? kUsage : usage);
    }

    if (parser.isSet(versionOption)) {
        out(QStringLiteral("minukuru-cli ") + QCoreApplication::applicationVersion() + u'\n');
        return 0;
    }
    if (parser.isSet(helpOption) || word == u"help") {
        out(usageText(usage));
        return 0;
    }
    if (parser.isSet(settingsOption)) {
        const QString file = parser.value(settingsOption);
        if (file.isEmpty())
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--settings needs a file name"), usage);
        SetSettingsFile(file);
    }
    if (parser.isSet(modelOption)) {
        const std::optional<PriceModel> model = PriceModelFromKey(parser.value(modelOption));
        if (!model)
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--model needs standard, harville or discount"),
                              usage);
        OverridePriceModel(qint16(*model));
    }
    if (word.isEmpty())
        return usageError(QStringLiteral("minukuru-cli: ") + Cli::tr("which command?"), kUsage);
    if (!command)
        return usageError(QStringLiteral("minukuru-cli: ") + Cli::tr("unknown command %1").arg(word), kUsage);
    if ((command->takesOutput || command->backtest) && parser.isSet(encodingOption)) {
        const std::optional<TextEncoding> encoding = TextEncodingFromName(parser.value(encodingOption));
        if (!encoding)
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--encoding needs sjis or utf-8"), usage);
        OverrideCsvEncoding(*encoding);
    }

    warnAboutSettingsFile();
    const QStringList positional = parser.positionalArguments();
    const auto raceValue = [&]() -> std::optional<QString> {
        if (command && (command->show || command->takesOutput) && parser.isSet(raceOption))
            return parser.value(raceOption);
        return std::nullopt;
    };
    if (word == u"export") {
        if (parser.isSet(outputOption) && parser.value(outputOption).isEmpty())
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("%1 needs a file name").arg(QStringLiteral("-o")),
                              usage);
        return runExport(positional, parser.value(outputOption), raceValue());
    }
    if (word == u"show") {
        if (parser.isSet(expectedValueOption))
            OverrideShowExpectedValue(true);
        return runShow(positional, parser.isSet(matrixOption), parser.isSet(placeOption), raceValue());
    }
    // The conditions a run's races must meet, as backtest and fit take them;
    // what is wrong with them, else "".
    const auto takeConditions = [&](Backtest::Conditions &conditions) -> QString {
        if (parser.isSet(courseOption)) {
            for (const QString &name : parser.value(courseOption).split(u',')) {
                if (!name.trimmed().isEmpty())
                    conditions.courses.append(name.trimmed());
            }
            if (conditions.courses.isEmpty())
                return QStringLiteral("--course needs course names");
        }
        const std::pair<const QCommandLineOption *, std::optional<Backtest::Range> *> ranges[] = {
            {&runnersOption, &conditions.runners},
            {&raceNumberOption, &conditions.raceNumber},
            {&favouriteOption, &conditions.favourite},
        };
        for (const auto &[option, range] : ranges) {
            if (!parser.isSet(*option))
                continue;
            *range = Backtest::ParseRange(parser.value(*option));
            if (!*range)
                return QStringLiteral("--") + option->names().first() + QStringLiteral(" needs a range MIN-MAX, not ")
                    + parser.value(*option);
        }
        if (parser.isSet(conditionsOption)) {
            conditions.text = parser.value(conditionsOption);
            if (conditions.text.isEmpty())
                return QStringLiteral("--conditions needs a text");
        }
        return QString();
    };
    if (word == u"backtest") {
        if (parser.isSet(ledgerOption) && parser.value(ledgerOption).isEmpty())
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--ledger needs a file name"), usage);
        BacktestCommandOptions options;
        options.recursive = parser.isSet(recursiveOption);
        options.json = parser.isSet(jsonOption);
        options.ledgerPath = parser.value(ledgerOption);
        options.compareModels = parser.isSet(modelsOption);
        options.breakdowns = parser.isSet(breakdownsOption);
        options.calibration = parser.isSet(calibrationOption);
        options.expectedValues = parser.isSet(expectedValueOption);
        if (const QString wrong = takeConditions(options.conditions); !wrong.isEmpty())
            return usageError(prefix + QStringLiteral(": ") + wrong, usage);
        if (parser.isSet(seedOption)) {
            bool ok = false;
            options.seed = parser.value(seedOption).toULongLong(&ok);
            if (!ok)
                return usageError(prefix + QStringLiteral(": --seed needs a whole number of 0 or more"), usage);
        }
        if (parser.isSet(resamplesOption)) {
            bool ok = false;
            options.resamples = parser.value(resamplesOption).toInt(&ok);
            if (!ok || options.resamples < 0 || options.resamples > 1000000)
                return usageError(prefix + QStringLiteral(": --resamples needs a number from 0 to 1000000"), usage);
        }
        if (parser.isSet(stakingOption)) {
            const std::optional<Backtest::StakingMethod> method = Backtest::StakingMethodFromKey(
                parser.value(stakingOption));
            if (!method)
                return usageError(prefix + QStringLiteral(": --staking needs flat, fraction or kelly"), usage);
            options.staking.method = *method;
        }
        if (parser.isSet(bankrollOption)) {
            bool ok = false;
            options.staking.bankroll = parser.value(bankrollOption).toLongLong(&ok);
            if (!ok || options.staking.bankroll < Backtest::kStakeUnit || options.staking.bankroll > 1000000000000LL)
                return usageError(prefix
                                      + QStringLiteral(": --bankroll needs a number of yen from 100 to 1000000000000"),
                                  usage);
        }
        // Shares of the bankroll: above 0, at most all of it.
        const std::pair<const QCommandLineOption *, double *> shares[] = {
            {&fractionOption, &options.staking.fraction},
            {&kellyOption, &options.staking.kelly},
            {&capOption, &options.staking.cap},
        };
        for (const auto &[option, share] : shares) {
            if (!parser.isSet(*option))
                continue;
            bool ok = false;
            *share = parser.value(*option).toDouble(&ok);
            if (!ok || !(*share > 0.0) || *share > 1.0)
                return usageError(prefix + QStringLiteral(": --") + option->names().first()
                                      + QStringLiteral(" needs a number above 0 and at most 1"),
                                  usage);
        }
        return RunBacktestCommand(positional.isEmpty() ? QStringList {GetPatFolder()} : positional, options);
    }
    if (word == u"fit") {
        std::optional<WinProbabilityMethod> method = WinProbabilityMethod::Normalised;
        if (parser.isSet(winProbabilityOption))
            method = FitMethodFromKey(parser.value(winProbabilityOption));
        if (!method)
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("--win-probability needs normalised, power or shin"),
                              usage);
        Backtest::Conditions conditions;
        if (const QString wrong = takeConditions(conditions); !wrong.isEmpty())
            return usageError(prefix + QStringLiteral(": ") + wrong, usage);
        return RunFitCommand(positional.isEmpty() ? QStringList {GetPatFolder()} : positional,
                             parser.isSet(recursiveOption), parser.isSet(jsonOption), *method,
                             parser.isSet(saveOption), conditions);
    }
    if (word == u"watch") {
        int count = 0;
        if (parser.isSet(countOption)) {
            bool ok = false;
            count = parser.value(countOption).toInt(&ok);
            if (!ok || count < 1)
                return usageError(prefix + QStringLiteral(": ") + Cli::tr("--count needs a number above 0"), usage);
        }
        if (positional.size() != 1)
            return usageError(prefix + QStringLiteral(": ") + Cli::tr("give one race file"), usage);
        RaceSheet sheet;
        if (!load(sheet, positional[0]))
            return 1;
        return RunWatchCommand(sheet, count);
    }
    return runList(positional);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(MINUKURU_VERSION));
    // The messages in the user's language: the program's own catalogue, built
    // in, and Qt's for the few texts of its parser.  English where there is none.
    QTranslator own;
    if (own.load(QLocale(), QStringLiteral("minukuru-cli"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(&own);
    QTranslator qt;
    if (qt.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt);
    int status = runProgram(app, argc, argv);
    // What did not reach standard output is a failure, whatever the command
    // made of its work; one that failed already has said why.
    if (!Terminal::closeOut() && status == 0) {
        Terminal::reportLostOutput();
        status = 1;
    }
    return status;
}
