// SPDX-License-Identifier: GPL-3.0-or-later
// A whole race: load, analysis, result, a sort of the grids and the CSV file.
//
// Input layout:
//   byte 0      what to do with the grids before saving: bits 0-2 the column
//               (0-7), bits 3-4 the head-click button (0 none, 1 left,
//               2 right, 3 middle)
//   then up to four parts, each a 2-byte little-endian length followed by
//   that many bytes (fewer when the input ends first), in the order
//   win/place odds, pair odds, entry, result.
// A part whose length field is missing is a file that does not exist: "Zo"
// alone is a race without siblings, no part at all a missing race file.
#include "fuzz_support.h"

#include "app/race_sheet.h"
#include "common/text_convert.h"
#include "export/csv_export.h"
#include "patdata/cp932.h"
#include "patdata/pat_files.h"
#include "race/race_loader.h"
#include "settings/settings_store.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QSet>

#include <array>

using namespace CommonFunc;
using namespace FuzzSupport;

namespace {

const std::array<QString, 4> &familyNames()
{
    static const std::array<QString, 4> names = {
        QStringLiteral("Zo-03150601.jra"),
        QStringLiteral("Uo-03150601.jra"),
        QStringLiteral("De-03150601.jra"),
        QStringLiteral("Ks-0263150601.jra"),
    };
    return names;
}

void setUpRace()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    setUp();
    // Defaults only: a settings file that is never written.
    SetSettingsFile(scratchFolder() + QStringLiteral("/race-settings.ini"));
}

// Ranks 1 to count, each once.
void requirePermutation(const RaceSheet::Column &ranks, int count, const char *what)
{
    QSet<qint16> seen;
    for (int n = 1; n <= count; ++n) {
        const qint16 rank = TextToInteger(ranks[n]);
        require(rank >= 1 && rank <= count && !seen.contains(rank), what);
        seen.insert(rank);
    }
}

// Every pair of the race once, in whatever order a sort left them.
void requireEveryPair(const TextGrid &grid, int count)
{
    QSet<QString> labels;
    for (int i = 1; i < count; ++i) {
        for (int j = i + 1; j <= count; ++j)
            labels.insert(MakePairLabel(i, j));
    }
    for (int row = 1; row < grid.rows(); ++row)
        require(labels.remove(grid.cell(row, 0)), "a grid row holds a pair of the race not seen before");
    require(labels.isEmpty(), "a grid holds every pair");
}

struct CsvField {
    QString text;
    bool quoted = false;
};
using CsvRecord = QList<CsvField>;

// Reads the file back as any CSV reader would: quoted fields may hold
// commas, line ends and doubled quotes; records end in CR LF.
QList<CsvRecord> readCsv(const QString &text)
{
    QList<CsvRecord> records;
    CsvRecord record;
    CsvField field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text[i] == u'"' && field.text.isEmpty() && !field.quoted) {
            field.quoted = true;
            ++i;
            for (;;) {
                require(i < n, "a quoted CSV field is closed");
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field.text += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.text += text[i++];
            }
            require(i == n || text[i] == u',' || text[i] == u'\r', "a quoted CSV field ends at a separator");
        } else if (text[i] == u',') {
            record.append(field);
            field = CsvField();
            ++i;
        } else if (text[i] == u'\r') {
            require(i + 1 < n && text[i + 1] == u'\n', "CSV lines end in CR LF");
            record.append(field);
            records.append(record);
            record.clear();
            field = CsvField();
            i += 2;
        } else {
            require(!field.quoted, "nothing follows a quoted CSV field");
            field.text += text[i++];
        }
    }
    require(record.isEmpty() && field.text.isEmpty() && !field.quoted, "the CSV file ends with a line end");
    return records;
}

// Plain decimal: no exponent, no "nan", no thousands separator.
void requireNumber(const CsvField &field)
{
    static const QRegularExpression plain(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    require(!field.quoted && plain.match(field.text).hasMatch(), "a CSV number field is a plain decimal");
}

void requireShape(const CsvRecord &record, int fields, std::initializer_list<int> numbers, const char *what)
{
    require(record.size() == fields, what);
    for (int k = 0; k < fields; ++k) {
        const bool number = std::find(numbers.begin(), numbers.end(), k + 1) != numbers.end();
        if (number)
            requireNumber(record[k]);
        else
            require(record[k].quoted, "a CSV text field is quoted");
    }
}

bool isEmptyLine(const CsvRecord &record)
{
    return record.size() == 1 && record[0].text.isEmpty() && !record[0].quoted;
}

// The saved file against the sheet it was saved from.
void requireCsvLayout(const RaceSheet &sheet, const QByteArray &bytes)
{
    const QList<CsvRecord> lines = readCsv(Cp932::decode(bytes));
    const int count = std::clamp(sheet.HorseCount(), 0, MaxHorses);
    const int pairs = sheet.grdUmaRen.rows() > 1 ? count * (count - 1) / 2 : 0;
    const qsizetype expected = 7 + count + 3 + pairs + 2 + sheet.lstKaime.size() + 2 + sheet.lstRaceResult.size();
    require(lines.size() == expected, "the CSV file has a line for every horse, pair, bet and result line");

    qsizetype at = 0;
    requireShape(lines[at++], 3, {}, "CSV title line");
    require(isEmptyLine(lines[at++]), "empty line after the title");
    requireShape(lines[at++], 2, {}, "CSV meeting line");
    requireShape(lines[at++], 2, {}, "CSV race line");
    requireShape(lines[at++], 2, {2}, "CSV horse count line");
    require(isEmptyLine(lines[at++]), "empty line after the header");
    requireShape(lines[at++], 13, {}, "CSV horse head");
    for (int k = 0; k < count; ++k)
        requireShape(lines[at++], 13, {1, 3, 4, 6, 7, 8, 10, 11, 12, 13}, "CSV horse line");
    require(isEmptyLine(lines[at++]) && isEmptyLine(lines[at++]), "empty lines after the horses");
    requireShape(lines[at++], 16, {}, "CSV pair head");
    for (int r = 0; r < pairs; ++r)
        requireShape(lines[at++], 16, {2, 3, 4, 5, 10, 11, 12, 13}, "CSV pair line");
    require(isEmptyLine(lines[at++]), "empty line after the pairs");
    require(lines[at].size() == 1 && !lines[at][0].quoted, "the bets heading is bare");
    ++at;
    for (const QString &bet : sheet.lstKaime) {
        requireShape(lines[at], 1, {}, "CSV bet line");
        require(lines[at++][0].text == bet, "a bet line reads back");
    }
    require(isEmptyLine(lines[at++]) && isEmptyLine(lines[at++]), "empty lines after the bets");
    for (const QString &result : sheet.lstRaceResult) {
        requireShape(lines[at], 1, {}, "CSV result line");
        require(lines[at++][0].text == Cp932::decode(Cp932::encode(result)), "a result line reads back");
    }
}

Qt::MouseButton buttonOf(int code)
{
    switch (code) {
    case 1:
        return Qt::LeftButton;
    case 2:
        return Qt::RightButton;
    case 3:
        return Qt::MiddleButton;
    default:
        return Qt::NoButton;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setUpRace();
    if (size == 0)
        return 0;
    const int control = data[0];
    qsizetype at = 1;
    const auto &names = familyNames();
    QString oddsPath = scratchFolder() + u'/' + names[0];
    for (const QString &name : names) {
        if (qsizetype(size) - at < 2) {
            removeScratchFile(name);
            continue;
        }
        const qsizetype length = data[at] | (data[at + 1] << 8);
        at += 2;
        const qsizetype taken = std::min(length, qsizetype(size) - at);
        writeScratchFile(name, bytesOf(data + at, size_t(taken)));
        at += taken;
    }

    RaceSheet sheet;
    TanFukuOddsData odds;
    const bool readable = ReadTanFukuOddsFile(oddsPath, odds);
    const bool loaded = LoadRace(sheet, oddsPath);
    require(loaded == readable, "a race loads exactly when its odds file reads");
    if (loaded) {
        require(sheet.HorseCount() == PatCount(odds.Header.HorseCount), "horse count on show");
        const int count = std::clamp(sheet.HorseCount(), 0, MaxHorses);
        const int pairs = count * (count - 1) / 2;
        for (TextGrid *grid : {&sheet.grdUmaRen, &sheet.grdWide})
            require(grid->rows() == 1 || grid->rows() == pairs + 1, "a grid has a row per pair or none");
        require(sheet.grdUmaRen.rows() == sheet.grdWide.rows(), "both grids or neither");
        requirePermutation(sheet.lblTanPopular, count, "win ranks");
        requirePermutation(sheet.lblFukuPopular, count, "place ranks");
    }

    const Qt::MouseButton button = buttonOf((control >> 3) & 3);
    if (button != Qt::NoButton) {
        sheet.grdUmaRen.sortByHeadClick(control & 7, button);
        sheet.grdWide.sortByHeadClick(control & 7, button);
    }

    const QString csvName = QStringLiteral("race.csv");
    const QString csvPath = scratchFolder() + u'/' + csvName;
    if (loaded) {
        const int count = std::clamp(sheet.HorseCount(), 0, MaxHorses);
        requireEveryPair(sheet.grdUmaRen, sheet.grdUmaRen.rows() > 1 ? count : 0);
        requireEveryPair(sheet.grdWide, sheet.grdWide.rows() > 1 ? count : 0);
    }
    require(WriteCsvFile(sheet, csvPath), "the CSV file is written");
    QFile csv(csvPath);
    require(csv.open(QIODevice::ReadOnly), "the CSV file opens");
    requireCsvLayout(sheet, csv.readAll());
    csv.close();
    removeScratchFile(csvName);
    return 0;
}
