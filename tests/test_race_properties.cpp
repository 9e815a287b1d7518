// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/race_sheet.h"
#include "common/text_convert.h"
#include "export/csv_export.h"
#include "race/race_loader.h"
#include "settings/settings_store.h"
#include "support/csv_check.h"
#include "support/message_recorder.h"
#include "support/sheet_state.h"
#include "tools/racegen/pat_writer.h"
#include "tools/racegen/race_generator.h"
#include "tools/racegen/random.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <numeric>

using namespace CommonFunc;

// Some eight hundred generated races, each loaded over the one before and
// checked against the rules that hold for every race, its grids sorted and
// put back; every fourth one also saved and read back, and loaded again.
namespace {

const QString kScratched = QStringLiteral(u"ﾄﾘｹｼ");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<int> integer(const QString &text)
{
    const std::optional<double> value = ParseNumber(text);
    if (!value || *value != double(int(*value)))
        return std::nullopt;
    return int(*value);
}

// Odds that tie and odds that are no number, written over a generated race
// in memory: the ranks must stay a permutation whatever the texts hold.
void roughenOdds(RaceGen::GeneratedRace &race, RaceGen::Random &random)
{
    const int n = race.horseCount;
    const QString odd[] = {QString(),
                           QStringLiteral("0"),
                           QStringLiteral("0.0"),
                           QStringLiteral("abc"),
                           QStringLiteral(" 2.5"),
                           QStringLiteral("-3"),
                           QStringLiteral("9e9"),
                           QStringLiteral(".5")};
    for (int k = 1; k <= n; ++k) {
        TanFukuOddsRecord &odds = race.tanFuku.Odds[k];
        const TanFukuOddsRecord &other = race.tanFuku.Odds[random.between(1, n)];
        switch (random.below(6)) {
        case 0:
            odds.TanOdds = other.TanOdds;
            break;
        case 1:
            odds.FukuOddsMin = other.FukuOddsMin;
            odds.FukuOddsMax = other.FukuOddsMax;
            break;
        case 2:
            odds.TanOdds = RaceGen::FitField(odd[random.below(8)], 5);
            break;
        case 3:
            odds.FukuOddsMin = RaceGen::FitField(odd[random.below(8)], 5);
            odds.FukuOddsMax = RaceGen::FitField(odd[random.below(8)], 5);
            break;
        default:
            break;
        }
    }
    for (int i = 1; i < n; ++i) {
        for (int j = i + 1; j <= n; ++j) {
            PairOddsRecord &pair = race.pairs.at(i, j);
            switch (random.below(8)) {
            case 0:
                pair.UmaRenOdds = race.pairs.at(1, 2).UmaRenOdds;
                break;
            case 1:
                pair.WideOddsMax = RaceGen::FitField(odd[random.below(8)], 6);
                break;
            case 2:
                pair.UmaRenOdds = RaceGen::FitField(odd[random.below(8)], 6);
                break;
            default:
                break;
            }
        }
    }
}

// A rank column of horses 1 to n: the ranks of the rank rule (lower value
// first, ties by horse number), which are 1 to n, each once.
void checkRanks(QStringList &problems, const RaceSheet::Column &ranks, const RaceSheet::Column &horseByRank,
                const QList<float> &values, const char *name)
{
    const int n = int(values.size());
    QList<int> order(n);
    std::iota(order.begin(), order.end(), 1);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return values[a - 1] < values[b - 1]; });
    for (int k = 1; k <= n; ++k) {
        const int horse = order[k - 1];
        if (ranks[horse] != QString::number(k))
            problems << QStringLiteral("%1(%2) is \"%3\", expected %4")
                            .arg(QLatin1String(name))
                            .arg(horse)
                            .arg(ranks[horse])
                            .arg(k);
        if (horseByRank[k] != QString::number(horse))
            problems << QStringLiteral("%1 table row %2 holds horse \"%3\", expected %4")
                            .arg(QLatin1String(name))
                            .arg(k)
                            .arg(horseByRank[k])
                            .arg(horse);
    }
    for (int k = n + 1; k <= MaxHorses; ++k) {
        if (!ranks[k].isEmpty() || !horseByRank[k].isEmpty())
            problems << QStringLiteral("%1 row %2 above the horse count is filled").arg(QLatin1String(name)).arg(k);
    }
}

// Rows in pair order, ranks by actual price with the scratched pairs marked,
// and the rank difference of both grids.
void checkGrids(QStringList &problems, const RaceSheet &sheet, int n, bool filled)
{
    const TextGrid &umaren = sheet.grdUmaRen;
    const TextGrid &wide = sheet.grdWide;
    const int pairs = filled ? n * (n - 1) / 2 : 0;
    for (const TextGrid *grid : {&umaren, &wide}) {
        const QString name = grid == &umaren ? QStringLiteral("umaren") : QStringLiteral("wide");
        if (grid->rows() != pairs + 1) {
            problems << QStringLiteral("%1 grid has %2 rows, expected %3").arg(name).arg(grid->rows()).arg(pairs + 1);
            return;
        }
        int r = 1;
        for (int i = 1; i < n && filled; ++i) {
            for (int j = i + 1; j <= n; ++j, ++r) {
                if (grid->cell(r, 0) != MakePairLabel(i, j))
                    problems << QStringLiteral("%1 row %2 is \"%3\", expected \"%4\"")
                                    .arg(name)
                                    .arg(r)
                                    .arg(grid->cell(r, 0), MakePairLabel(i, j));
            }
        }

        // The rank is the row's place in the order of actual prices (pair
        // order among equal prices); a pair of a scratched horse keeps its
        // place but shows the marker.
        QList<int> byPrice(pairs);
        std::iota(byPrice.begin(), byPrice.end(), 1);
        QList<double> price(pairs + 1);
        for (int row = 1; row <= pairs; ++row)
            price[row] = ParseNumber(grid->cell(row, 2)).value_or(0.0);
        std::stable_sort(byPrice.begin(), byPrice.end(), [&](int a, int b) { return price[a] < price[b]; });
        for (int k = 1; k <= pairs; ++k) {
            const int row = byPrice[k - 1];
            const bool scratched = ParseNumber(grid->cell(row, 1)) == 99999.9;
            const QString expected = scratched ? kScratched : QString::number(k);
            if (grid->cell(row, 6) != expected)
                problems << QStringLiteral("%1 rank of row %2 is \"%3\", expected \"%4\"")
                                .arg(name)
                                .arg(row)
                                .arg(grid->cell(row, 6), expected);
        }
    }

    for (int r = 1; r <= pairs; ++r) {
        QString expected;
        if (wide.cell(r, 6) == kScratched) {
            expected = QStringLiteral("0");
        } else {
            const std::optional<int> u = integer(umaren.cell(r, 6));
            const std::optional<int> w = integer(wide.cell(r, 6));
            if (u && w)
                expected = QString::number(*u - *w);
        }
        if (umaren.cell(r, 7) != expected || wide.cell(r, 7) != expected)
            problems << QStringLiteral("rank difference of row %1 is \"%2\" and \"%3\", expected \"%4\"")
                            .arg(r)
                            .arg(umaren.cell(r, 7), wide.cell(r, 7), expected);
    }
}

void checkSheet(QStringList &problems, const RaceSheet &sheet, const RaceGen::GeneratedRace &race)
{
    const int n = race.horseCount;
    if (sheet.HorseCount() != n) {
        problems << QStringLiteral("horse count %1, expected %2").arg(sheet.lblHorseNum).arg(n);
        return;
    }
    QList<float> win;
    QList<float> place;
    for (int h = 1; h <= n; ++h) {
        win << sheet.TanOddsValue(h);
        place << NumericValueSingle(sheet.lblFukuOdds[h]);
    }
    checkRanks(problems, sheet.lblTanPopular, sheet.lblTanHorseNo, win, "win rank");
    checkRanks(problems, sheet.lblFukuPopular, sheet.lblFukuHorseNo, place, "place rank");
    checkGrids(problems, sheet, n, race.hasPairOdds);
    if (race.hasPairOdds == sheet.lstKaime.isEmpty())
        problems
            << QStringLiteral("recommended bets %1 with pair odds %2").arg(sheet.lstKaime.size()).arg(race.hasPairOdds);
    if (sheet.lstRaceResult.size() != (race.hasResult ? 38 : 0))
        problems << QStringLiteral("%1 result lines").arg(sheet.lstRaceResult.size());
}

Qt::MouseButton button(RaceGen::Random &random)
{
    const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
    return buttons[random.below(3)];
}

} // namespace

class TestRaceProperties : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;

private slots:
    void initTestCase()
    {
        QVERIFY(m_settings.isValid());
        SetSettingsFile(m_settings.filePath(QStringLiteral("settings.ini")));
    }
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void generatedRaces_data();
    void generatedRaces();
};

void TestRaceProperties::generatedRaces_data()
{
    QTest::addColumn<quint64>("firstSeed");
    QTest::addColumn<int>("races");
    QTest::addColumn<int>("horseCount"); // 0 draws; -1 walks through 2 to 18
    QTest::addColumn<int>("scratched");  // -1 draws
    QTest::addColumn<bool>("pairOdds");
    QTest::addColumn<bool>("entry");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("rough");

    QTest::newRow("drawn fields") << quint64(1) << 300 << 0 << -1 << true << true << true << false;
    QTest::newRow("every field size") << quint64(10001) << 136 << -1 << -1 << true << true << true << false;
    QTest::newRow("full fields, scratched") << quint64(20001) << 80 << 18 << -1 << true << true << true << false;
    QTest::newRow("ties and odds that are no number")
        << quint64(30001) << 200 << -1 << -1 << true << true << true << true;
    QTest::newRow("no pair odds") << quint64(40001) << 40 << -1 << -1 << false << true << true << false;
    QTest::newRow("no entry, no result") << quint64(50001) << 40 << 0 << -1 << true << false << false << false;
}

void TestRaceProperties::generatedRaces()
{
    QFETCH(quint64, firstSeed);
    QFETCH(int, races);
    QFETCH(int, horseCount);
    QFETCH(int, scratched);
    QFETCH(bool, pairOdds);
    QFETCH(bool, entry);
    QFETCH(bool, result);
    QFETCH(bool, rough);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString csvPath = dir.filePath(QStringLiteral("out.csv"));
    MessageRecorder recorder;
    RaceSheet sheet;

    for (int k = 0; k < races; ++k) {
        const quint64 seed = firstSeed + quint64(k);
        RaceGen::Random random(seed ^ 0x5EED5EEDULL);
        RaceGen::RaceSetup setup;
        setup.seed = seed;
        setup.horseCount = horseCount >= 0 ? horseCount : 2 + k % 17;
        setup.scratchedCount = scratched;
        setup.raceNo = 1 + k % 12;
        setup.withPairOdds = pairOdds;
        setup.withEntry = entry;
        setup.withResult = result;
        RaceGen::GeneratedRace race = RaceGen::GenerateRace(setup);
        if (rough)
            roughenOdds(race, random);
        QString error;
        QVERIFY2(RaceGen::RemoveRaceFiles(dir.path(), &error) && RaceGen::WriteRace(dir.path(), race, &error),
                 qPrintable(error));
        const QString path = dir.filePath(RaceGen::OddsFileName(race));
        const QByteArray context = QStringLiteral("seed %1, %2 horses").arg(seed).arg(race.horseCount).toUtf8();

        // Loaded over the previous race, with its grids left sorted.
        QVERIFY2(LoadRace(sheet, path), context.constData());
        QVERIFY2(recorder.messages.isEmpty(), context.constData());

        QStringList problems;
        checkSheet(problems, sheet, race);
        QVERIFY2(problems.isEmpty(), qPrintable(QString::fromUtf8(context) + u'\n' + problems.join(u'\n')));

        // Any head press, then a left press on the pair head: pair order,
        // every row as it was.
        for (TextGrid *grid : {&sheet.grdUmaRen, &sheet.grdWide}) {
            const size_t before = SheetState::fingerprint(*grid);
            const int column = random.below(8);
            const Qt::MouseButton pressed = button(random);
            grid->sortByHeadClick(column, pressed);
            grid->sortByHeadClick(0, Qt::LeftButton);
            QVERIFY2(SheetState::fingerprint(*grid) == before,
                     qPrintable(QStringLiteral("%1: rows changed by a press on column %2 with button %3 and a left "
                                               "press on the pair head")
                                    .arg(QString::fromUtf8(context))
                                    .arg(column)
                                    .arg(int(pressed))));
        }

        // Every few races: the saved file read back, and the same race loaded
        // again over its own sorted grids and on a fresh sheet.
        if (k % 4 != 0) {
            sheet.grdUmaRen.sortByHeadClick(random.below(8), button(random));
            continue;
        }
        QVERIFY2(WriteCsvFile(sheet, csvPath), context.constData());
        QList<CsvCheck::Line> lines;
        QVERIFY2(CsvCheck::read(readAll(csvPath), lines, &error), qPrintable(error));
        problems = CsvCheck::compare(lines, sheet);
        QVERIFY2(problems.isEmpty(), qPrintable(QString::fromUtf8(context) + u'\n' + problems.join(u'\n')));

        const SheetState::State loaded = SheetState::sheet(sheet);
        sheet.grdUmaRen.sortByHeadClick(random.below(8), button(random));
        sheet.grdWide.sortByHeadClick(random.below(8), button(random));
        QVERIFY(LoadRace(sheet, path));
        SheetState::State again = SheetState::sheet(sheet);
        QVERIFY2(again == loaded,
                 qPrintable(QString::fromUtf8(context) + QStringLiteral(", loaded again: ")
                            + SheetState::firstDifference(again, loaded, SheetState::sheet(sheet, true))));
        if (k % 20 == 0) {
            RaceSheet fresh;
            QVERIFY(LoadRace(fresh, path));
            again = SheetState::sheet(fresh);
            QVERIFY2(again == loaded,
                     qPrintable(QString::fromUtf8(context) + QStringLiteral(", on a fresh sheet: ")
                                + SheetState::firstDifference(again, loaded, SheetState::sheet(fresh, true))));
        }
        QVERIFY2(recorder.messages.isEmpty(), context.constData());
    }
}

QTEST_GUILESS_MAIN(TestRaceProperties)
#include "test_race_properties.moc"
