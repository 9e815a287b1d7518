// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "common/text_grid.h"
#include "common/text_util.h"
#include "export/csv_file.h"
#include "grids/pair_fill.h"
#include "patdata/cp932.h"
#include "race/race_follower.h"
#include "race/race_history.h"
#include "settings/race_options.h"
#include "support/analysis_builder.h"
#include "support/message_recorder.h"
#include "support/race_files.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace CommonFunc;

namespace {

// The lines of a CSV file as its bytes read back.
QStringList csvLines(const CsvFile &file)
{
    QStringList lines = Cp932::decode(file.bytes()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

RaceFiles sampleRace(const char *firstTan = "2.5")
{
    const auto horse = [](const char *tan, const char *min, const char *max) {
        return RaceFiles::Horse {QString::fromLatin1(tan), QString::fromLatin1(min), QString::fromLatin1(max),
                                 QStringLiteral("Horse")};
    };
    const auto pair = [](const char *u, const char *min, const char *max) {
        return RaceFiles::Pair {QString::fromLatin1(u), QString::fromLatin1(min), QString::fromLatin1(max)};
    };
    RaceFiles race;
    race.horses = {horse(firstTan, "1.8", "3.0"), horse("5.0", "1.5", "2.5"), horse("8.0", "1.2", "1.6"),
                   horse("12.0", "2.5", "4.0")};
    race.pairs = {pair("12.0", "5.0", "9.0"), pair("25.0", "2.0", "4.0"), pair("40.0", "6.0", "9.0"),
                  pair("10.0", "3.0", "4.5"), pair("30.0", "6.0", "8.0"), pair("60.0", "9.0", "14.0")};
    return race;
}

// The pairs of one bet type on the sheet, with these actual prices and
// deviations (NaN: none), on the grid in the order given (the user may have
// sorted it), in a race of three horses.
struct PairSpec {
    int first;
    int second;
    double actual;
    double deviation;
};

void showPairs(RaceSheet &sheet, BetType type, std::initializer_list<PairSpec> specs,
               const QList<RecommendedBet> &bets = {})
{
    auto race = std::make_shared<RaceAnalysis>(sheet.analysis ? *sheet.analysis : AnalysisBuilder::race(3));
    TextGrid &grid = sheet.pairGrid(type);
    grid.setRows(int(specs.size()) + 1);
    int row = 1;
    for (const PairSpec &spec : specs) {
        const QString deviation = std::isnan(spec.deviation) ? QString() : QString::number(spec.deviation);
        AnalysisBuilder::setPair(*race, type, spec.first, spec.second, {}, QString::number(spec.actual), deviation);
        grid.setRowKey(row++, RaceAnalysis::PairIndex(3, spec.first, spec.second));
    }
    race->bets = bets;
    sheet.analysis = race;
}

// Records what a follower reports.
struct Reports {
    explicit Reports(RaceFollower &follower)
    {
        QObject::connect(&follower, &RaceFollower::reloaded, [this](const RaceData &data, int) {
            ++reloads;
            firstTan = data.odds.Odds[1].TanOdds.text().trimmed();
            hadPairs = data.hasPairs;
        });
        QObject::connect(&follower, &RaceFollower::reloadFailed,
                         [this](const QString &reason) { failures.append(reason); });
    }
    int reloads = 0;
    QStringList failures;
    QString firstTan;
    bool hadPairs = false;
};

} // namespace

class TestRaceFollow : public QObject {
    Q_OBJECT

private slots:
    void historyDiffs();
    void historyCsv();
    void historyKeepsLoadsPacked();

    void followsRewritesAndRenames();
    void burstReloadsOnce();
    void halfWrittenFileIsRetried();
    void brokenFileGivesItsReason_data();
    void brokenFileGivesItsReason();
    void halfWrittenFileFailsAndKeepsRace_data();
    void halfWrittenFileFailsAndKeepsRace();
    void resumeCatchesUp();
    void folderMadeAgainIsFollowed();
};

void TestRaceFollow::historyDiffs()
{
    const double none = std::nan("");
    RaceHistory history;
    RaceSheet sheet;
    // Umaren level 2 from 300 %, level 4 from 100 %; wide level 5 from 30 %.
    showPairs(sheet, BetType::Umaren, {{1, 2, 12.0, 350.0}, {1, 3, 25.0, 150.0}});
    showPairs(sheet, BetType::Wide, {{1, 2, 5.0, 10.0}, {1, 3, 6.0, none}});
    history.add(sheet, QDateTime::currentDateTime());
    QVERIFY(history.markChanges().isEmpty());
    QVERIFY(history.newBets().isEmpty());
    QCOMPARE(history.deviationChange(BetType::Umaren, 1, 2), 0.0);

    // The user sorted the grid: rows swap, pairs are still found by label.
    showPairs(sheet, BetType::Umaren, {{1, 3, 26.0, 320.5}, {1, 2, 12.5, 340.0}});
    showPairs(sheet, BetType::Wide, {{1, 2, 5.0, none}, {1, 3, 6.0, 40.0}},
              {{BetType::Umaren, 1}, {BetType::Wide, 0}, {BetType::Wide, 1}});
    history.add(sheet, QDateTime::currentDateTime());

    const QList<RaceHistory::MarkChange> changes = history.markChanges();
    QCOMPARE(changes.size(), 2);
    QCOMPARE(changes[0].label, QStringLiteral(" 1- 3"));
    QCOMPARE(changes[0].before, QStringLiteral(u"△"));
    QCOMPARE(changes[0].after, QStringLiteral(u"○"));
    QCOMPARE(changes[1].type, BetType::Wide);
    QCOMPARE(changes[1].label, QStringLiteral(" 1- 3"));
    QCOMPARE(changes[1].before, QString());
    QCOMPARE(changes[1].after, QStringLiteral(u"×"));
    QVERIFY(history.markChanged(BetType::Umaren, 1, 3));
    QVERIFY(!history.markChanged(BetType::Umaren, 1, 2));

    // 1-2 stayed at level 2: not new; the wide mark is level 5.
    const QList<RaceHistory::MarkChange> top = history.newTopMarks();
    QCOMPARE(top.size(), 1);
    QCOMPARE(top[0].label, QStringLiteral(" 1- 3"));
    QCOMPARE(history.newBets(),
             (QStringList {QStringLiteral(u"馬  1- 3"), QStringLiteral(u"ワ  1- 2"), QStringLiteral(u"ワ  1- 3")}));
    QCOMPARE(history.newsText(), QStringLiteral(u"馬連  1- 3○ / ﾜｲﾄﾞ  1- 2,  1- 3"));

    QCOMPARE(history.deviationChange(BetType::Umaren, 1, 3), 320.5 - 150.0);
    QCOMPARE(history.deviationChange(BetType::Wide, 1, 2), std::nullopt);
    QCOMPARE(history.deviationChange(BetType::Umaren, 3, 4), std::nullopt);

    QCOMPARE(DeviationChangeText(12.34), QStringLiteral("+12.3"));
    QCOMPARE(DeviationChangeText(-0.25000001), QStringLiteral("-0.3"));
    QCOMPARE(DeviationChangeText(-0.04), QStringLiteral("0.0")); // not -0.0
}

void TestRaceFollow::historyCsv()
{
    RaceHistory history;
    RaceSheet sheet;
    showPairs(sheet, BetType::Umaren, {{1, 2, 12.0, 350.0}});
    showPairs(sheet, BetType::Wide, {{1, 2, 5.0, -12.5}});
    const QDateTime time(QDate(2026, 12, 6), QTime(15, 34, 5));
    history.add(sheet, time);
    history.add(sheet, time.addSecs(30));
    const QStringList lines = csvLines(history.csv());
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], QStringLiteral(u"\"時刻\",\"券種\",\"組番\",\"実際値\",\"乖離％\",\"判定\""));
    QCOMPARE(lines[1], QStringLiteral(u"\"2026/12/06 15:34:05\",\"馬連\",\"1- 2\",12,350,\"○\""));
    QCOMPARE(lines[4], QStringLiteral(u"\"2026/12/06 15:34:35\",\"ﾜｲﾄﾞ\",\"1- 2\",5,-12.5,\"\""));
}

// Every number a pair may show comes back from the packed loads as it went
// in, the grid's order too, at a few bytes a pair; watch's history keeps
// nothing but what its comparisons read.
void TestRaceFollow::historyKeepsLoadsPacked()
{
    RaceHistory all;
    RaceHistory changes(RaceHistory::KeepForChanges);
    RaceSheet sheet;
    QList<RaceHistory::Load> expected;
    for (int load = 0; load < 4; ++load) {
        auto race = std::make_shared<RaceAnalysis>(AnalysisBuilder::race(18));
        RaceHistory::Load shown;
        shown.time = QDateTime(QDate(2026, 12, 9), QTime(15, 0)).addSecs(7 * load);
        for (const BetKind &kind : kBetKinds) {
            QList<PairAnalysis> &pairs = race->pairsOf(kind.type);
            TextGrid &grid = sheet.pairGrid(kind.type);
            grid.setRows(int(pairs.size()) + 1);
            for (int k = 0; k < pairs.size(); ++k) {
                PairAnalysis &pair = pairs[k];
                const double x = (k * 37 + load * 11) % 1000 / 10.0;
                // Empty, two decimals, more digits than 18 and a negative zero among the usual.
                pair.actualShown = k % 50 == 7 ? ShownNumber()
                    : k % 50 == 8              ? ShownNumber::fixed(x, 2)
                    : k % 50 == 9              ? ShownNumber::fixed(1e30 + x, 1)
                                               : ShownNumber::fixed(x + 1.0, 1);
                pair.deviation = k % 40 == 3 ? -0.04f : float(x * 7 - 300);
                pair.judgedLevel = pair.markLevel = (k + load) % 6;
                // The user sorted the grid backwards.
                grid.setRowKey(int(pairs.size()) - k, k);
            }
            for (int r = 1; r < grid.rows(); ++r) {
                const PairAnalysis &pair = pairs[grid.rowKey(r)];
                shown.pairs[IndexOf(kind.type)].append({pair.first, pair.second, pair.actualShown,
                                                        pair.deviationShown(),
                                                        TrimSpaces(race->markText(kind.type, pair)), pair.markLevel});
            }
        }
        sheet.analysis = race;
        all.add(sheet, shown.time);
        changes.add(sheet, shown.time);
        expected.append(shown);
    }
    all.add(sheet, expected.last().time); // a rewrite that changed nothing
    expected.append(expected.last());

    QCOMPARE(all.size(), expected.size());
    for (int load = 0; load < all.size(); ++load) {
        const RaceHistory::Load got = all.at(load);
        QCOMPARE(got.time, expected[load].time);
        for (const BetKind &kind : kBetKinds) {
            const QList<RaceHistory::Pair> &a = got.pairs[IndexOf(kind.type)];
            const QList<RaceHistory::Pair> &b = expected[load].pairs[IndexOf(kind.type)];
            QCOMPARE(a.size(), 153);
            for (int k = 0; k < a.size(); ++k) {
                QCOMPARE(a[k].label(), b[k].label());
                QVERIFY(a[k].actual == b[k].actual && a[k].deviation == b[k].deviation);
                QCOMPARE(a[k].actual.number(), b[k].actual.number());
                QCOMPARE(a[k].mark, b[k].mark);
                QCOMPARE(a[k].level, b[k].level);
            }
        }
    }
    QVERIFY2(all.packedBytes() <= 4 * 3072, qPrintable(QString::number(all.packedBytes())));

    QCOMPARE(changes.size(), 0);
    QCOMPARE(changes.packedBytes(), 0);
    QVERIFY(csvLines(changes.csv()).size() == 1);
    changes.add(sheet, expected.last().time.addSecs(1));
    all.add(sheet, expected.last().time.addSecs(1));
    QVERIFY(changes.markChanges().isEmpty());
    QCOMPARE(changes.deviationChange(BetType::Wide, 17, 18), all.deviationChange(BetType::Wide, 17, 18));
    QVERIFY(changes.deviationChange(BetType::Wide, 17, 18).has_value());
}

void TestRaceFollow::followsRewritesAndRenames()
{
    QTemporaryDir dir;
    const QString odds = sampleRace().write(dir.path());
    RaceFollower follower;
    Reports reports(follower);
    follower.follow(odds);

    sampleRace("3.1").write(dir.path());
    QTRY_COMPARE_WITH_TIMEOUT(reports.reloads, 1, 10000);
    QCOMPARE(reports.firstTan, QStringLiteral("3.1"));
    QVERIFY(reports.hadPairs);

    // The terminal writes elsewhere and renames over the race: a new file
    // under the old name, still followed, twice over.
    for (const char *tan : {"4.2", "4.7"}) {
        QTemporaryDir stage;
        sampleRace(tan).write(stage.path());
        for (const QString &name : QDir(stage.path()).entryList(QDir::Files))
            std::filesystem::rename(QFile::encodeName(stage.filePath(name)).toStdString(),
                                    QFile::encodeName(dir.filePath(name)).toStdString());
        const int before = reports.reloads;
        QTRY_VERIFY_WITH_TIMEOUT(reports.reloads > before, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(reports.firstTan, QString::fromLatin1(tan), 10000);
    }

    // Another race written into the folder is none of this one's business.
    const int before = reports.reloads;
    sampleRace("9.9").write(dir.path(), QStringLiteral("0202B.jra"));
    QTest::qWait(RaceFollower::kMaxWaitMs + 500);
    QCOMPARE(reports.reloads, before);
    QVERIFY(reports.failures.isEmpty());
}

void TestRaceFollow::burstReloadsOnce()
{
    QTemporaryDir dir;
    const QString odds = sampleRace().write(dir.path());
    RaceFollower follower;
    Reports reports(follower);
    follower.follow(odds);
    // Many rewrites with no event handled in between: one quiet period.
    for (int k = 0; k < 20; ++k)
        sampleRace(k % 2 ? "3.4" : "3.3").write(dir.path());
    QTRY_COMPARE_WITH_TIMEOUT(reports.reloads, 1, 10000);
    QTest::qWait(RaceFollower::kMaxWaitMs + 500);
    QCOMPARE(reports.reloads, 1);
    QCOMPARE(reports.firstTan, QStringLiteral("3.4"));
}

void TestRaceFollow::halfWrittenFileIsRetried()
{
    QTemporaryDir dir;
    const QString odds = sampleRace().write(dir.path());
    QFile file(odds);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();

    MessageRecorder recorder;
    RaceFollower follower;
    Reports reports(follower);
    follower.follow(odds);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole.left(60));
    file.close();
    QTRY_VERIFY_WITH_TIMEOUT(follower.isReading(), 10000);
    // The rest arrives while the follower reads again.
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole);
    file.close();
    QTRY_COMPARE_WITH_TIMEOUT(reports.reloads, 1, 10000);
    QVERIFY(reports.failures.isEmpty());
    QVERIFY(recorder.messages.isEmpty());
}

// The odds file turned into something that cannot be read: the failure
// names the system's reason; only a file that is gone counts as missing.
void TestRaceFollow::brokenFileGivesItsReason_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // "" for missing

    QTest::newRow("link loop") << QStringLiteral("loop") << QString::fromLocal8Bit(std::strerror(ELOOP));
    QTest::newRow("named pipe") << QStringLiteral("fifo") << QStringLiteral("not a regular file (a FIFO)");
    QTest::newRow("deleted") << QStringLiteral("gone") << QString();
}

void TestRaceFollow::brokenFileGivesItsReason()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const QString odds = sampleRace().write(dir.path());
    RaceFollower follower;
    Reports reports(follower);
    int missing = 0;
    connect(&follower, &RaceFollower::filesMissing, this, [&missing] { ++missing; });
    follower.follow(odds);

    const QByteArray path = QFile::encodeName(odds);
    QCOMPARE(::unlink(path.constData()), 0);
    if (kind == u"loop")
        QCOMPARE(::symlink(path.constData(), path.constData()), 0);
    else if (kind == u"fifo")
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    QTRY_VERIFY_WITH_TIMEOUT(missing > 0 || !reports.failures.isEmpty(), 10000);
    if (reason.isEmpty()) {
        QVERIFY(reports.failures.isEmpty());
    } else {
        QCOMPARE(missing, 0);
        QCOMPARE(reports.failures.first(), reason);
    }
}

// A file the race had, left half-written: after the retries the reload
// fails with the file's name, is not counted, and the next good write is the
// next reload.
void TestRaceFollow::halfWrittenFileFailsAndKeepsRace_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::newRow("pair odds") << QStringLiteral("Uo-");
    QTest::newRow("entries") << QStringLiteral("De-");
    QTest::newRow("result") << QStringLiteral("Ks-");
}

void TestRaceFollow::halfWrittenFileFailsAndKeepsRace()
{
    QFETCH(QString, prefix);

    QTemporaryDir dir;
    RaceFiles race = sampleRace();
    race.entry = true;
    race.wideResults = {QStringLiteral(" 1- 2"), QStringLiteral(" 1- 3"), QStringLiteral(" 2- 3")};
    const QString odds = race.write(dir.path());
    const QString name = QDir(dir.path()).entryList({prefix + u'*'}, QDir::Files).value(0);
    QVERIFY(!name.isEmpty());
    const QString path = dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();

    RaceData data;
    QVERIFY(ReadRaceData(RacePathsOf(odds), data));
    MessageRecorder recorder;
    RaceFollower follower;
    Reports reports(follower);
    follower.follow(odds, RaceFollower::FilesRead(data));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole.left(whole.size() / 3));
    file.close();
    QTRY_COMPARE_WITH_TIMEOUT(reports.failures.size(), 1, 10000);
    QCOMPARE(reports.reloads, 0);
    QVERIFY2(reports.failures.first().startsWith(name + u' '), qPrintable(reports.failures.first()));
    QVERIFY(recorder.messages.isEmpty());

    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole);
    file.close();
    QTRY_COMPARE_WITH_TIMEOUT(reports.reloads, 1, 10000);
    QCOMPARE(follower.reloadCount(), 1);
    QCOMPARE(reports.failures.size(), 1);
}

// Rewrites while following is paused are read at once on resuming; with
// nothing changed, resuming reads nothing.
void TestRaceFollow::resumeCatchesUp()
{
    QTemporaryDir dir;
    const QString odds = sampleRace().write(dir.path());
    RaceFollower follower;
    Reports reports(follower);
    follower.follow(odds);
    follower.pause();
    QVERIFY(follower.isPaused());
    follower.resume();
    QTest::qWait(RaceFollower::kQuietMs + 200);
    QCOMPARE(reports.reloads, 0);

    follower.pause();
    sampleRace("6.6").write(dir.path());
    QTest::qWait(RaceFollower::kMaxWaitMs + 300);
    QCOMPARE(reports.reloads, 0);
    follower.resume();
    QTRY_COMPARE_WITH_TIMEOUT(reports.reloads, 1, 10000);
    QCOMPARE(reports.firstTan, QStringLiteral("6.6"));
}

// The race's folder moved away and made again: the follower watches the
// folder above meanwhile and goes on in the new one.
void TestRaceFollow::folderMadeAgainIsFollowed()
{
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("pat"));
    QVERIFY(QDir().mkpath(folder));
    const QString odds = sampleRace().write(folder);
    RaceFollower follower;
    Reports reports(follower);
    QStringList stopped;
    connect(&follower, &RaceFollower::followingStopped, this, [&stopped](const QString &why) { stopped << why; });
    follower.follow(odds);

    QVERIFY(QDir().rename(folder, root.filePath(QStringLiteral("old"))));
    QTest::qWait(200);
    QVERIFY(QDir().mkpath(folder));
    sampleRace("7.7").write(folder);
    QTRY_COMPARE_WITH_TIMEOUT(reports.reloads, 1, 10000);
    QCOMPARE(reports.firstTan, QStringLiteral("7.7"));
    sampleRace("8.8").write(folder);
    QTRY_COMPARE_WITH_TIMEOUT(reports.firstTan, QStringLiteral("8.8"), 10000);
    QVERIFY(stopped.isEmpty());
    QVERIFY(follower.isFollowing());
}

QTEST_GUILESS_MAIN(TestRaceFollow)
#include "test_race_follow.moc"
