// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/text_util.h"
#include "patdata/jv_layout.h"
#include "patdata/jv_records.h"
#include "patdata/race_data.h"
#include "race/race_loader.h"
#include "settings/race_options.h"
#include "support/message_recorder.h"
#include "tools/racegen/jv_writer.h"
#include "tools/racegen/pat_writer.h"
#include "tools/racegen/race_generator.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace CommonFunc;
using namespace RaceGen;

namespace {

namespace L = JvLayout;

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QString keyOf(const GeneratedRace &race)
{
    const QByteArray records = JvRecordsOf(race);
    return QString::fromLatin1(records.mid(L::raceKey.offset, L::raceKey.width));
}

// The records of one type in a race's records, with their offsets.
QList<qsizetype> offsetsOf(const QByteArray &records, const char *type)
{
    QList<qsizetype> out;
    for (qsizetype at = 0; at < records.size();) {
        if (records.mid(at, 2) == type)
            out.append(at);
        const qsizetype end = records.indexOf('\n', at);
        at = end < 0 ? records.size() : end + 1;
    }
    return out;
}

// Everything a view takes from the analysis, but the header texts.  The
// finishers come with the horses' records: a race without entries has none.
QStringList facts(const RaceAnalysis &race, bool withFinishers = true)
{
    QStringList out;
    out << QStringLiteral("count %1 entry %2 pairs %3 settled %4 unreadable %5")
               .arg(race.horseCount)
               .arg(race.hasEntry)
               .arg(race.hasPairs)
               .arg(race.settled)
               .arg(race.resultUnreadable);
    for (int n = 1; n <= race.count(); ++n) {
        const HorseAnalysis &h = race.horses[std::size_t(n)];
        out << QStringLiteral("horse %1 %2 %3 %4 %5 ranks %6 %7 rates %8 %9 %10 name %11")
                   .arg(n)
                   .arg(h.scratched)
                   .arg(double(h.tanValue))
                   .arg(double(h.fukuMinValue))
                   .arg(double(h.fukuMaxValue))
                   .arg(h.tanRank)
                   .arg(h.fukuRank)
                   .arg(h.tanRatio.text(), h.fukuOdds.text(), h.fukuRatio.text(), h.name);
        const RankAnalysis &row = race.tanTable[std::size_t(n)];
        out << QStringLiteral("rank %1 %2 %3 %4").arg(n).arg(row.horse).arg(row.star).arg(row.tanFukuRatio.text());
    }
    for (const BetKind &kind : kBetKinds) {
        for (const PairAnalysis &p : race.pairsOf(kind.type))
            out << QStringLiteral("%1 %2 %3 %4 %5 %6 level %7 %8 pop %9 hit %10 paid %11 bits %12")
                       .arg(IndexOf(kind.type))
                       .arg(p.label(), p.theoreticalShown.text(), p.actualShown.text(), p.deviationShown().text())
                       .arg(p.scratched)
                       .arg(p.judgedLevel)
                       .arg(p.markLevel)
                       .arg(p.popularity)
                       .arg(p.hitEntry)
                       .arg(p.paid)
                       .arg(p.payouts);
        for (const PayoutEntry &e : race.payouts[IndexOf(kind.type)])
            out << QStringLiteral("payout %1 %2").arg(e.combination).arg(e.yen.value_or(-1));
    }
    for (const RecommendedBet &bet : race.bets)
        out << QStringLiteral("bet %1 %2 %3").arg(IndexOf(bet.type)).arg(bet.pair).arg(bet.hit);
    for (const ResultFinisher &f : race.result.Finishers)
        if (withFinishers)
            out << QStringLiteral("finisher %1 %2").arg(f.Field1.text().trimmed(), f.Field2.text().trimmed());
    for (const ResultPayout &p : race.result.Tan)
        out << QStringLiteral("tan %1 %2").arg(p.Combination.text().trimmed(), p.Amount.text().trimmed());
    for (const ResultPayout &p : race.result.Fuku)
        out << QStringLiteral("fuku %1 %2").arg(p.Combination.text().trimmed(), p.Amount.text().trimmed());
    return out;
}

void compareLines(const QStringList &jv, const QStringList &pat)
{
    QCOMPARE(jv.size(), pat.size());
    for (qsizetype k = 0; k < jv.size(); ++k)
        QCOMPARE(jv[k], pat[k]);
}

RaceAnalysis analysed(const RaceData &data) { return AnalyzeRace(data, DefaultRaceOptions()); }

// Ten horses, none scratched, the race run.
GeneratedRace tenHorses()
{
    RaceSetup setup;
    setup.horseCount = 10;
    setup.scratchedCount = 0;
    return GenerateRace(setup);
}

} // namespace

class TestJvRecords : public QObject {
    Q_OBJECT

private slots:
    void sameRaceFromBothSources_data();
    void sameRaceFromBothSources();
    void mapsOddsFields_data();
    void mapsOddsFields();
    void takesTheLatestOdds_data();
    void takesTheLatestOdds();
    void findsRacesAndKnowsFilesByContent();
    void leavesOutBrokenRaces_data();
    void leavesOutBrokenRaces();
    void writesResultFieldsAsPatFiles_data();
    void writesResultFieldsAsPatFiles();
    void readsRecordsStandingApart();
};

void TestJvRecords::sameRaceFromBothSources_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<bool>("earlierOdds");
    QTest::newRow("day 1") << quint64(20260315) << false;
    QTest::newRow("day 2, with earlier odds") << quint64(7) << true;
    QTest::newRow("day 3, with earlier odds") << quint64(99) << true;
}

// A day of generated races, from PAT files and from one record file: the
// same analysis, race by race, whatever the day holds (a scratched horse, a
// race without pair odds, one without entries, races not run yet).
void TestJvRecords::sameRaceFromBothSources()
{
    QFETCH(quint64, seed);
    QFETCH(bool, earlierOdds);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    MeetingOptions meeting;
    meeting.seed = seed;
    const QList<GeneratedRace> races = GenerateMeeting(meeting);
    QByteArray records;
    for (const GeneratedRace &race : races) {
        QVERIFY(WriteRace(dir.path(), race));
        JvWriteOptions options;
        options.earlierOdds = earlierOdds;
        records += JvRecordsOf(race, options);
    }
    const QString file = write(dir, QStringLiteral("day.txt"), records);
    QVERIFY(IsJvRecordFile(file));
    const std::shared_ptr<const JvRecordIndex> index = JvRecordIndexOf(file);
    QVERIFY(index);
    QCOMPARE(index->races.size(), std::size_t(races.size()));

    MessageRecorder messages;
    for (const GeneratedRace &race : races) {
        RaceData fromPat;
        QVERIFY(ReadRaceData(dir.filePath(OddsFileName(race)), fromPat));
        RacePaths paths;
        paths.odds = file;
        paths.raceKey = keyOf(race);
        RaceData fromJv;
        QVERIFY2(ReadRaceData(paths, fromJv), qPrintable(paths.raceKey));
        const RaceAnalysis jv = analysed(fromJv);
        const RaceAnalysis pat = analysed(fromPat);
        compareLines(facts(jv, race.hasEntry), facts(pat, race.hasEntry));
        QCOMPARE(jv.raceKey, paths.raceKey);
        QCOMPARE(jv.oddsStage.left(6), race.hasResult ? QStringLiteral(u"確定ｵｯｽﾞ") : QStringLiteral(u"中間ｵｯｽﾞ"));
        QCOMPARE(jv.kaisai, pat.kaisai);
        QCOMPARE(jv.raceTime, pat.raceTime);
    }
    QVERIFY(messages.texts().isEmpty());
}

void TestJvRecords::mapsOddsFields_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("tanText");
    QTest::addColumn<bool>("scratched");
    QTest::newRow("tenths") << QByteArray("0053") << QStringLiteral("5.3") << false;
    QTest::newRow("long shot") << QByteArray("1234") << QStringLiteral("123.4") << false;
    QTest::newRow("999.9 or more") << QByteArray("9999") << QStringLiteral("999.9") << false;
    QTest::newRow("scratched before sale") << QByteArray("----") << QStringLiteral(u"ﾄﾘｹｼ") << true;
    QTest::newRow("scratched after sale") << QByteArray("****") << QStringLiteral(u"ﾄﾘｹｼ") << true;
    QTest::newRow("no votes") << QByteArray("0000") << QString() << false;
    QTest::newRow("not registered") << QByteArray("    ") << QString() << false;
}

// Horse 1's win odds field as the record gives it: its text, and a
// scratched horse's marker in all its odds texts and those of its pairs.
void TestJvRecords::mapsOddsFields()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, tanText);
    QFETCH(bool, scratched);
    const GeneratedRace race = tenHorses();
    QByteArray records = JvRecordsOf(race);
    const qsizetype o1 = offsetsOf(records, "O1").first();
    // Horse 1 stands in the last slot: the writer puts them in reverse.
    const int slot = race.horseCount - 1;
    QCOMPARE(records.mid(o1 + L::O1::tan + slot * L::O1::tanEntry, 2), QByteArray("01"));
    records.replace(o1 + L::O1::tan + slot * L::O1::tanEntry + L::O1::horseWidth, 4, field);
    QTemporaryDir dir;
    const QString file = write(dir, QStringLiteral("r"), records);
    RaceData data;
    QVERIFY(ReadJvRace(file, keyOf(race), data));
    const RaceAnalysis analysis = analysed(data);
    QCOMPARE(analysis.horses[1].tanOdds, tanText);
    QCOMPARE(analysis.horses[1].scratched, scratched);
    if (scratched) {
        QCOMPARE(analysis.horses[1].fukuOddsMin, ScratchedText());
        QCOMPARE(analysis.horses[1].fukuOddsMax, ScratchedText());
        for (int j = 2; j <= race.horseCount; ++j) {
            const PairOddsRecord &pair = data.pairs.at(1, j);
            for (const QString *text : {&pair.UmaRenOdds, &pair.WideOddsMin, &pair.WideOddsMax})
                QCOMPARE(text->trimmed(), ScratchedText());
            QVERIFY(analysis.pair(BetType::Umaren, 1, j)->scratched);
        }
    } else {
        QCOMPARE(analysis.horses[2].tanOdds, TrimSpaces(race.tanFuku.Odds[2].TanOdds));
    }
}

void TestJvRecords::takesTheLatestOdds_data()
{
    QTest::addColumn<QByteArray>("firstKindAndTime");
    QTest::addColumn<QByteArray>("secondKindAndTime");
    QTest::addColumn<int>("taken"); // 1 or 2
    QTest::addColumn<QString>("stage");
    QTest::newRow("final over a later intermediate")
        << QByteArray("303151500") << QByteArray("103151530") << 1 << QStringLiteral(u"最終ｵｯｽﾞ 03/15 15:00発表");
    QTest::newRow("the later of two intermediate")
        << QByteArray("103151400") << QByteArray("103151430") << 2 << QStringLiteral(u"中間ｵｯｽﾞ 03/15 14:30発表");
    QTest::newRow("the earlier in the file when later")
        << QByteArray("103151430") << QByteArray("103151400") << 1 << QStringLiteral(u"中間ｵｯｽﾞ 03/15 14:30発表");
    QTest::newRow("confirmed over final")
        << QByteArray("303151500") << QByteArray("403151500") << 2 << QStringLiteral(u"確定ｵｯｽﾞ 03/15 15:00発表");
    QTest::newRow("a deletion drops the one before")
        << QByteArray("303151500") << QByteArray("003151500") << 0 << QString();
}

void TestJvRecords::takesTheLatestOdds()
{
    QFETCH(QByteArray, firstKindAndTime);
    QFETCH(QByteArray, secondKindAndTime);
    QFETCH(int, taken);
    QFETCH(QString, stage);
    RaceSetup setup;
    setup.horseCount = 8;
    setup.scratchedCount = 0;
    const GeneratedRace race = GenerateRace(setup);
    const QByteArray records = JvRecordsOf(race);
    const qsizetype o1 = offsetsOf(records, "O1").first();
    QByteArray first = records.mid(o1, L::O1::size);
    QByteArray second = first;
    const auto stamp = [](QByteArray &record, const QByteArray &kindAndTime) {
        record[L::dataKind.offset] = kindAndTime[0];
        record.replace(L::O1::announced.offset, L::O1::announced.width, kindAndTime.mid(1));
    };
    stamp(first, firstKindAndTime);
    stamp(second, secondKindAndTime);
    // The second record's horse 1 at 77.7: which record was taken shows.
    const int slot = race.horseCount - 1;
    second.replace(L::O1::tan + slot * L::O1::tanEntry + L::O1::horseWidth, 4, "0777");
    QByteArray file = records.left(o1) + first + second + records.mid(o1 + L::O1::size);
    QTemporaryDir dir;
    const QString path = write(dir, QStringLiteral("r"), file);
    const std::shared_ptr<const JvRecordIndex> index = JvRecordIndexOf(path);
    QVERIFY(index);
    if (taken == 0) {
        QVERIFY(index->races.empty()); // no odds left: no race to list
        return;
    }
    RaceData data;
    QVERIFY(ReadJvRace(path, keyOf(race), data));
    QCOMPARE(data.odds.Odds[1].TanOdds.text().trimmed() == QStringLiteral("77.7"), taken == 2);
    QCOMPARE(data.oddsStage, stage);
}

void TestJvRecords::findsRacesAndKnowsFilesByContent()
{
    QTemporaryDir dir;
    MeetingOptions meeting;
    meeting.racesPerCourse = 2;
    const QList<GeneratedRace> races = GenerateMeeting(meeting);
    QByteArray records;
    QStringList keys;
    for (qsizetype k = races.size() - 1; k >= 0; --k) {
        records += JvRecordsOf(races[k]);
        keys.prepend(keyOf(races[k]));
    }
    std::sort(keys.begin(), keys.end());
    // Lines of other record types and bare LF line ends are taken in stride.
    records.replace("\r\n", "\n");
    records += QByteArray("WE1") + QByteArray(60, '2') + "\r\n";
    const QString file = write(dir, QStringLiteral("anything.pat"), records);
    const QString pat = dir.filePath(OddsFileName(races.first()));
    QVERIFY(WriteRace(dir.path(), races.first()));
    QVERIFY(IsJvRecordFile(file));
    QVERIFY(!IsJvRecordFile(pat));
    QVERIFY(!IsJvRecordFile(dir.filePath(QStringLiteral("missing"))));
    const std::shared_ptr<const JvRecordIndex> index = JvRecordIndexOf(file);
    QVERIFY(index);
    QCOMPARE(index->keys(), keys);
    QCOMPARE(index->strayLines, 0);
    QVERIFY(IsJvRaceKey(keys.first()));
    QVERIFY(!IsJvRaceKey(keys.first().left(15)));
    QCOMPARE(RaceReference(file, keys.first()), file + QStringLiteral(" --race ") + keys.first());

    MessageRecorder messages;
    RaceData data;
    QVERIFY(!ReadJvRace(file, QStringLiteral("2026031505019912"), data));
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY(messages.texts().first().contains(QStringLiteral("2026031505019912")));
    QString problem;
    QVERIFY(!JvRecordIndexOf(pat, &problem));
    QVERIFY(!problem.isEmpty());
}

void TestJvRecords::leavesOutBrokenRaces_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<int>("change"); // 0 cut the record short, 1 a horse number out of range, 2 junk odds
    QTest::addColumn<bool>("read");
    QTest::newRow("SE cut short") << QByteArray("SE") << 0 << false;
    QTest::newRow("O2 cut short") << QByteArray("O2") << 0 << false;
    QTest::newRow("HR cut short") << QByteArray("HR") << 0 << false;
    QTest::newRow("SE horse 19") << QByteArray("SE") << 1 << false;
    QTest::newRow("O1 horse 19") << QByteArray("O1") << 1 << false;
    QTest::newRow("O1 junk odds") << QByteArray("O1") << 2 << true;
}

// A race with a record that cannot be read is left out with a message that
// names it; the other races of the file read as before.
void TestJvRecords::leavesOutBrokenRaces()
{
    QFETCH(QByteArray, type);
    QFETCH(int, change);
    QFETCH(bool, read);
    MeetingOptions meeting;
    meeting.racesPerCourse = 1;
    const QList<GeneratedRace> races = GenerateMeeting(meeting);
    QByteArray broken = JvRecordsOf(races[0]);
    const qsizetype at = offsetsOf(broken, type.constData()).first();
    if (change == 0) {
        broken.remove(at + 100, 7);
    } else if (change == 1) {
        broken.replace(at + (type == "SE" ? L::Se::horse.offset : L::O1::tan), 2, "19");
    } else {
        broken.replace(at + L::O1::tan + 2, 4, "\x81\x40x!");
    }
    const QByteArray records = broken + JvRecordsOf(races[1]);
    QTemporaryDir dir;
    const QString file = write(dir, QStringLiteral("r"), records);
    const std::shared_ptr<const JvRecordIndex> index = JvRecordIndexOf(file);
    QVERIFY(index);
    QCOMPARE(index->races.size(), std::size_t(2));
    MessageRecorder messages;
    RaceData data;
    QCOMPARE(ReadJvRace(file, keyOf(races[0]), data), read);
    QCOMPARE(messages.texts().isEmpty(), read);
    if (!read)
        QVERIFY(messages.texts().first().contains(keyOf(races[0])));
    QVERIFY(ReadJvRace(file, keyOf(races[1]), data));
}

void TestJvRecords::writesResultFieldsAsPatFiles_data()
{
    QTest::addColumn<QByteArray>("time");   // every runner's 走破タイム
    QTest::addColumn<QByteArray>("amount"); // the first win payout's 払戻金
    QTest::addColumn<QString>("timeText");
    QTest::addColumn<QString>("amountText");
    QTest::newRow("plain") << QByteArray("1234") << QByteArray("000000930") << QStringLiteral("1:23.4")
                           << QStringLiteral("     930");
    QTest::newRow("no time, a payout wider than its field")
        << QByteArray("0000") << QByteArray("123456789") << QStringLiteral("      ") << QStringLiteral("123456789");
    QTest::newRow("time in the tenth minute")
        << QByteArray("9599") << QByteArray("000000000") << QStringLiteral("9:59.9") << QStringLiteral("       0");
}

// The result's fields take the widths of the PAT result file, a wider
// number kept whole; a name loses its blanks at the end.
void TestJvRecords::writesResultFieldsAsPatFiles()
{
    QFETCH(QByteArray, time);
    QFETCH(QByteArray, amount);
    QFETCH(QString, timeText);
    QFETCH(QString, amountText);
    const GeneratedRace race = tenHorses();
    QByteArray records = JvRecordsOf(race);
    for (const qsizetype se : offsetsOf(records, "SE")) {
        records.replace(se + L::Se::time.offset, L::Se::time.width, time);
        // "ｱ" and a full-width blank after it, then spaces.
        records.replace(se + L::Se::name.offset, L::Se::name.width,
                        QByteArray("\xB1\x81\x40").leftJustified(L::Se::name.width, ' '));
    }
    const qsizetype hr = offsetsOf(records, "HR").first();
    records.replace(hr + L::Hr::tan + L::Hr::singleCombination, L::Hr::payAmount, amount);
    QTemporaryDir dir;
    const QString file = write(dir, QStringLiteral("r"), records);
    RaceData data;
    QVERIFY(ReadJvRace(file, keyOf(race), data));
    QVERIFY(data.hasResult);
    const ResultFinisher &winner = data.result.Finishers[1];
    QCOMPARE(winner.Field1.text(), QStringLiteral(" 1"));
    QCOMPARE(winner.HorseName.text(), QStringLiteral(u"ｱ").leftJustified(18, u' '));
    QCOMPARE(winner.Field4.text(), timeText);
    QCOMPARE(winner.Reserved.text(), QString(12, u' '));
    QCOMPARE(data.result.Tan[1].Amount.text(), amountText);
    QCOMPARE(data.result.Tan[1].Combination.text().size(), 2);
    QCOMPARE(data.result.Tan[3].Amount.text(), QString(8, u' '));
    QCOMPARE(data.result.Reserved.text(), QStringLiteral("   10"));
}

// A race whose result stands far from its other records, behind other
// races: its records are read one by one, the same race as when they stand
// together.
void TestJvRecords::readsRecordsStandingApart()
{
    MeetingOptions meeting;
    const QList<GeneratedRace> races = GenerateMeeting(meeting);
    QVERIFY(races.size() > 8);
    const QByteArray first = JvRecordsOf(races[0]);
    const qsizetype hr = offsetsOf(first, "HR").first();
    const qsizetype hrEnd = first.indexOf('\n', hr) + 1;
    QByteArray apart = first.left(hr) + first.mid(hrEnd);
    QByteArray together = first;
    for (qsizetype k = 1; k < races.size(); ++k) {
        apart += JvRecordsOf(races[k]);
        together += JvRecordsOf(races[k]);
    }
    apart += first.mid(hr, hrEnd - hr);
    QVERIFY(apart.size() - hr > 65536);

    QTemporaryDir dir;
    MessageRecorder messages;
    RaceData read;
    QVERIFY(ReadJvRace(write(dir, QStringLiteral("apart"), apart), keyOf(races[0]), read));
    QVERIFY(read.hasResult);
    RaceData expected;
    QVERIFY(ReadJvRace(write(dir, QStringLiteral("together"), together), keyOf(races[0]), expected));
    compareLines(facts(analysed(read)), facts(analysed(expected)));
    QVERIFY(messages.texts().isEmpty());
}

QTEST_GUILESS_MAIN(TestJvRecords)
#include "test_jv_records.moc"
