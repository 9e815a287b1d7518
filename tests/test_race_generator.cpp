// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/text_convert.h"
#include "patdata/pat_files.h"
#include "patdata/pat_layout.h"
#include "tools/racegen/pat_writer.h"
#include "tools/racegen/race_generator.h"
#include "tools/racegen/race_texts.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace CommonFunc;
using namespace RaceGen;

namespace {

const QString kScratched = QStringLiteral(u"ﾄﾘｹｼ");

// The fields in which what a reader filled differs from what was written.
struct Differences {
    QStringList found;

    void text(const QString &read, const QString &written, const QString &where)
    {
        if (read != written)
            found << QStringLiteral("%1: read \"%2\", written \"%3\"").arg(where, read, written);
    }

    template <typename Record, typename Text, std::size_t N>
    void record(const Record &read, const Record &written, const Layout::Field<Record, Text> (&fields)[N],
                const QString &where)
    {
        for (std::size_t k = 0; k < N; ++k) {
            const auto member = fields[k].member;
            text(read.*member, written.*member, QStringLiteral("%1 field %2").arg(where).arg(k));
        }
    }

    template <int N>
    void payouts(const Slots<ResultPayout, N> &read, const Slots<ResultPayout, N> &written, const QString &where)
    {
        for (int k = 1; k <= N; ++k) {
            text(read[k].Combination, written[k].Combination, QStringLiteral("%1 %2").arg(where).arg(k));
            text(read[k].Amount, written[k].Amount, QStringLiteral("%1 %2 amount").arg(where).arg(k));
        }
    }
};

double odds(const QString &text) { return double(OddsTextToValue(text)); }

int amount(const QString &text) { return text.trimmed().toInt(); }

bool isRunner(const GeneratedRace &race, int horse) { return !race.scratched.contains(horse); }

QList<int> runners(const GeneratedRace &race)
{
    QList<int> out;
    for (int k = 1; k <= race.horseCount; ++k) {
        if (isRunner(race, k))
            out.append(k);
    }
    return out;
}

RaceSetup setupFor(int horseCount, int scratchedCount, quint64 seed)
{
    RaceSetup setup;
    setup.seed = seed;
    setup.horseCount = horseCount;
    setup.scratchedCount = scratchedCount;
    return setup;
}

} // namespace

class TestRaceGenerator : public QObject {
    Q_OBJECT

private slots:
    void readsBack_data();
    void readsBack();
    void scratchedHorsesInEveryPair_data();
    void scratchedHorsesInEveryPair();
    void oddsHangTogether_data();
    void oddsHangTogether();
    void resultFollowsTheFinishers_data();
    void resultFollowsTheFinishers();
    void horseNames();
    void raceTextsFitTheirFields();

    void sameSeedSameFiles();
    void meetingCard();
    void meetingSiblingsAreFound();
    void bundledSamplesAreCurrent();

private:
    void addRaces();
};

void TestRaceGenerator::addRaces()
{
    QTest::addColumn<int>("horseCount");
    QTest::addColumn<int>("scratchedCount");
    QTest::addColumn<quint64>("seed");

    QTest::newRow("two horses") << 2 << 0 << quint64(1);
    QTest::newRow("three, none scratched") << 3 << 0 << quint64(2);
    QTest::newRow("six, one scratched") << 6 << 1 << quint64(3);
    QTest::newRow("nine, two scratched") << 9 << 2 << quint64(4);
    QTest::newRow("sixteen") << 16 << 0 << quint64(5);
    QTest::newRow("eighteen, one scratched") << 18 << 1 << quint64(6);
    QTest::newRow("eighteen, three scratched") << 18 << 3 << quint64(7);
    for (quint64 seed = 100; seed < 106; ++seed)
        QTest::addRow("drawn field, seed %llu", seed) << 0 << -1 << seed;
}

void TestRaceGenerator::readsBack_data() { addRaces(); }

void TestRaceGenerator::readsBack()
{
    QFETCH(int, horseCount);
    QFETCH(int, scratchedCount);
    QFETCH(quint64, seed);

    const GeneratedRace race = GenerateRace(setupFor(horseCount, scratchedCount, seed));
    if (horseCount > 0)
        QCOMPARE(race.horseCount, horseCount);
    QVERIFY(race.horseCount >= 2 && race.horseCount <= 18);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(WriteRace(dir.path(), race));
    const QString oddsPath = dir.filePath(OddsFileName(race));
    const int n = race.horseCount;

    const QString pairPath = GetPairOddsFileName(oddsPath);
    const QString entryPath = GetEntryFileName(oddsPath);
    const QString resultPath = FindResultFile(oddsPath);
    QCOMPARE(QFileInfo(resultPath).fileName(), ResultFileName(race));
    QCOMPARE(QFileInfo(oddsPath).size(), 142 + 18 * n);
    QCOMPARE(QFileInfo(pairPath).size(), 144 + 25 * n * (n - 1) / 2);
    QCOMPARE(QFileInfo(entryPath).size(), 92 + 48 * n);
    QCOMPARE(QFileInfo(resultPath).size(), 687);

    TanFukuOddsData tanFuku;
    PairOddsTable pairs;
    EntryData entry;
    ResultData result;
    QVERIFY(ReadTanFukuOddsFile(oddsPath, tanFuku));
    QVERIFY(ReadPairOddsFile(pairPath, pairs));
    QVERIFY(ReadEntryFile(entryPath, entry));
    QVERIFY(ReadResultFile(resultPath, result));

    Differences d;
    d.record(tanFuku.Header, race.tanFuku.Header, Layout::patHeader, QStringLiteral("odds header"));
    for (int k = 1; k <= n; ++k)
        d.record(tanFuku.Odds[k], race.tanFuku.Odds[k], Layout::tanFukuOdds, QStringLiteral("odds %1").arg(k));
    d.record(pairs.Header, race.pairs.Header, Layout::patHeader, QStringLiteral("pair header"));
    d.text(pairs.Reserved, race.pairs.Reserved, QStringLiteral("pair gap"));
    for (int i = 1; i <= n; ++i) {
        for (int j = i + 1; j <= n; ++j)
            d.record(pairs.at(i, j), race.pairs.at(i, j), Layout::pairOdds, QStringLiteral("pair %1-%2").arg(i).arg(j));
    }
    d.record(entry.Header, race.entry.Header, Layout::entryHeader, QStringLiteral("entry header"));
    for (int k = 1; k <= n; ++k)
        d.record(entry.Horses[k], race.entry.Horses[k], Layout::entry, QStringLiteral("horse %1").arg(k));
    d.record(result.Header, race.result.Header, Layout::resultHeader, QStringLiteral("result header"));
    for (int k = 1; k <= 7; ++k)
        d.record(result.Finishers[k], race.result.Finishers[k], Layout::finisher, QStringLiteral("finisher %1").arg(k));
    d.text(result.Reserved, race.result.Reserved, QStringLiteral("result gap"));
    d.payouts(result.Tan, race.result.Tan, QStringLiteral("win"));
    d.payouts(result.Fuku, race.result.Fuku, QStringLiteral("place"));
    d.payouts(result.WakuRen, race.result.WakuRen, QStringLiteral("bracket"));
    d.payouts(result.UmaRen, race.result.UmaRen, QStringLiteral("umaren"));
    d.payouts(result.Wide, race.result.Wide, QStringLiteral("wide"));
    QVERIFY2(d.found.isEmpty(), qPrintable(d.found.mid(0, 5).join(u'\n')));

    // The texts that carry the race read as written.
    QCOMPARE(PatCount(tanFuku.Header.HorseCount), n);
    QCOMPARE(PatCount(entry.Header.HorseCount), n);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}$")).match(entry.Header.StartTime).hasMatch());
    QVERIFY(!tanFuku.Header.Course.text().trimmed().isEmpty());
}

void TestRaceGenerator::scratchedHorsesInEveryPair_data() { addRaces(); }

void TestRaceGenerator::scratchedHorsesInEveryPair()
{
    QFETCH(int, horseCount);
    QFETCH(int, scratchedCount);
    QFETCH(quint64, seed);

    const GeneratedRace race = GenerateRace(setupFor(horseCount, scratchedCount, seed));
    if (scratchedCount >= 0)
        QCOMPARE(race.scratched.size(), scratchedCount);
    QVERIFY(runners(race).size() >= 2);

    for (int i = 1; i <= race.horseCount; ++i) {
        QCOMPARE(race.tanFuku.Odds[i].TanOdds.text().trimmed() == kScratched, !isRunner(race, i));
        for (int j = i + 1; j <= race.horseCount; ++j) {
            const PairOddsRecord &pair = race.pairs.at(i, j);
            const bool scratched = !isRunner(race, i) || !isRunner(race, j);
            QVERIFY2(pair.UmaRenOdds.contains(kScratched) == scratched, qPrintable(MakePairLabel(i, j)));
            QVERIFY2(pair.WideOddsMin.contains(kScratched) == scratched, qPrintable(MakePairLabel(i, j)));
        }
    }
}

void TestRaceGenerator::oddsHangTogether_data() { addRaces(); }

void TestRaceGenerator::oddsHangTogether()
{
    QFETCH(int, horseCount);
    QFETCH(int, scratchedCount);
    QFETCH(quint64, seed);

    const GeneratedRace race = GenerateRace(setupFor(horseCount, scratchedCount, seed));
    const QList<int> field = runners(race);
    const QRegularExpression oneDecimal(QStringLiteral("^\\d+\\.\\d$"));

    // Win: a 20 % take-out, so that the support rates add up to about 1.
    double support = 0.0;
    double implied[19] = {};
    for (int k : field) {
        const TanFukuOddsRecord &r = race.tanFuku.Odds[k];
        for (const QString &text : {r.TanOdds.text(), r.FukuOddsMin.text(), r.FukuOddsMax.text()})
            QVERIFY2(oneDecimal.match(text.trimmed()).hasMatch(), qPrintable(text));
        const double win = odds(r.TanOdds);
        QVERIFY(win >= 1.0);
        QVERIFY(odds(r.FukuOddsMin) >= 1.0);
        QVERIFY(odds(r.FukuOddsMin) <= odds(r.FukuOddsMax));
        QVERIFY(odds(r.FukuOddsMax) <= win);
        support += 0.8 / win;
        implied[k] = 0.8 / win;
    }
    QVERIFY2(support > 0.97 && support < 1.10, qPrintable(QString::number(support)));

    // Umaren near the Harville price of the win odds; wide cheaper.
    for (double &p : implied)
        p /= support;
    for (int i : field) {
        for (int j : field) {
            if (j <= i)
                continue;
            const PairOddsRecord &r = race.pairs.at(i, j);
            for (const QString &text : {r.UmaRenOdds, r.WideOddsMin, r.WideOddsMax})
                QVERIFY2(oneDecimal.match(text.trimmed()).hasMatch(), qPrintable(text));
            const double umaRen = odds(r.UmaRenOdds);
            QVERIFY(odds(r.WideOddsMin) >= 1.0);
            QVERIFY(odds(r.WideOddsMin) <= odds(r.WideOddsMax));
            QVERIFY(odds(r.WideOddsMax) <= umaRen);
            // Harville: i first and j second, or j first and i second.
            const double both = implied[i] * implied[j] / (1.0 - implied[i])
                + implied[j] * implied[i] / (1.0 - implied[j]);
            const double price = 0.75 / both;
            // Long shots' win odds are capped and tiny chances cut off, so
            // only the pairs the win odds describe well are compared.
            if (odds(race.tanFuku.Odds[i].TanOdds) < 200 && odds(race.tanFuku.Odds[j].TanOdds) < 200 && umaRen > 1.0
                && umaRen < 9999.9)
                QVERIFY2(umaRen > 0.8 * price && umaRen < 1.25 * price,
                         qPrintable(
                             QStringLiteral("%1: %2 against %3").arg(MakePairLabel(i, j)).arg(umaRen).arg(price)));
        }
    }
}

void TestRaceGenerator::resultFollowsTheFinishers_data() { addRaces(); }

void TestRaceGenerator::resultFollowsTheFinishers()
{
    QFETCH(int, horseCount);
    QFETCH(int, scratchedCount);
    QFETCH(quint64, seed);

    const GeneratedRace race = GenerateRace(setupFor(horseCount, scratchedCount, seed));
    const ResultData &r = race.result;
    const QList<int> field = runners(race);
    QCOMPARE(race.finishOrder.size(), field.size());

    // Finishers: the first seven of the order, each a runner, with its name.
    for (int place = 1; place <= 7; ++place) {
        const ResultFinisher &f = r.Finishers[place];
        if (place > field.size()) {
            QVERIFY(f.Field2.text().trimmed().isEmpty());
            continue;
        }
        const int horse = f.Field2.text().trimmed().toInt();
        QCOMPARE(horse, race.finishOrder.at(place - 1));
        QCOMPARE(f.Field1.text().trimmed().toInt(), place);
        QVERIFY(isRunner(race, horse));
        QCOMPARE(f.HorseName, race.entry.Horses[horse].HorseName);
    }
    const int first = race.finishOrder.at(0);
    const int second = race.finishOrder.at(1);

    QCOMPARE(r.Tan[1].Combination, RightAligned(first, 2));
    QCOMPARE(amount(r.Tan[1].Amount), qRound(odds(race.tanFuku.Odds[first].TanOdds) * 100));
    QCOMPARE(r.UmaRen[1].Combination, MakePairLabel(first, second) + u' ');
    QCOMPARE(amount(r.UmaRen[1].Amount),
             qRound(odds(race.pairs.at(std::min(first, second), std::max(first, second)).UmaRenOdds) * 100));

    const int placed = field.size() >= 8 ? 3 : 2;
    for (int k = 1; k <= 5; ++k) {
        if (k > placed) {
            QVERIFY(r.Fuku[k].Combination.text().trimmed().isEmpty() && r.Fuku[k].Amount.text().trimmed().isEmpty());
            continue;
        }
        const int horse = race.finishOrder.at(k - 1);
        QCOMPARE(r.Fuku[k].Combination.text().trimmed().toInt(), horse);
        const int paid = amount(r.Fuku[k].Amount);
        QVERIFY(paid >= qRound(odds(race.tanFuku.Odds[horse].FukuOddsMin) * 100));
        QVERIFY(paid <= qRound(odds(race.tanFuku.Odds[horse].FukuOddsMax) * 100));
    }
    QCOMPARE(r.WakuRen[1].Combination.text().trimmed().isEmpty(), race.horseCount < 9);

    // Wide: the pairs of the first three, first and second first.
    QList<QString> expected;
    if (field.size() >= 3) {
        const int third = race.finishOrder.at(2);
        expected = {MakePairLabel(first, second), MakePairLabel(first, third), MakePairLabel(second, third)};
    } else {
        expected = {MakePairLabel(first, second)};
    }
    for (int k = 1; k <= 11; ++k) {
        const ResultPayout &wide = r.Wide[k];
        if (k > expected.size()) {
            QVERIFY(wide.Combination.text().trimmed().isEmpty() && wide.Amount.text().trimmed().isEmpty());
            continue;
        }
        QCOMPARE(wide.Combination, expected.at(k - 1) + u' ');
        const QStringList horses = wide.Combination.text().split(u'-');
        const PairOddsRecord &pair = race.pairs.at(horses.at(0).trimmed().toInt(), horses.at(1).trimmed().toInt());
        QVERIFY(amount(wide.Amount) >= qRound(odds(pair.WideOddsMin) * 100));
        QVERIFY(amount(wide.Amount) <= qRound(odds(pair.WideOddsMax) * 100));
    }
}

void TestRaceGenerator::horseNames()
{
    const QRegularExpression katakana(QStringLiteral(u"^[ァ-ヴー]{2,9}$"));
    Random random(99);
    for (int k = 0; k < 500; ++k) {
        const QString name = HorseName(random);
        QVERIFY2(katakana.match(name).hasMatch(), qPrintable(name));
    }
    for (quint64 seed = 1; seed <= 10; ++seed) {
        const GeneratedRace race = GenerateRace(setupFor(18, 0, seed));
        QStringList names;
        for (int k = 1; k <= 18; ++k) {
            const QString name = race.entry.Horses[k].HorseName.text().trimmed();
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.append(name);
        }
    }
}

void TestRaceGenerator::raceTextsFitTheirFields()
{
    // The header fields are 28 and 64 bytes; a cut name would look broken.
    Random random(7);
    for (int month = 1; month <= 12; month += 5) {
        for (int raceNo = 1; raceNo <= 12; ++raceNo) {
            for (int k = 0; k < 10; ++k) {
                const RaceTexts texts = MakeRaceTexts(random, raceNo, QDate(2026, month, 1));
                QVERIFY2(PatField(texts.raceName, 100).trimmed().size() <= 28, qPrintable(texts.raceName));
                QVERIFY2(PatField(texts.conditions, 100).trimmed().size() <= 64, qPrintable(texts.conditions));
                QVERIFY(texts.conditions.endsWith(u'ｍ'));
                QVERIFY(texts.distance >= 1000 && texts.distance <= 3600);
            }
        }
    }
}

void TestRaceGenerator::sameSeedSameFiles()
{
    MeetingOptions options;
    options.seed = 77;
    options.racesPerCourse = 4;
    const QList<GeneratedRace> a = GenerateMeeting(options);
    const QList<GeneratedRace> b = GenerateMeeting(options);
    options.seed = 78;
    const QList<GeneratedRace> c = GenerateMeeting(options);
    QCOMPARE(a.size(), 12);
    QCOMPARE(b.size(), a.size());

    int differing = 0;
    for (qsizetype k = 0; k < a.size(); ++k) {
        QCOMPARE(OddsFileName(a[k]), OddsFileName(b[k]));
        QCOMPARE(TanFukuOddsFileBytes(a[k].tanFuku), TanFukuOddsFileBytes(b[k].tanFuku));
        QCOMPARE(PairOddsFileBytes(a[k].pairs), PairOddsFileBytes(b[k].pairs));
        QCOMPARE(EntryFileBytes(a[k].entry), EntryFileBytes(b[k].entry));
        QCOMPARE(ResultFileBytes(a[k].result), ResultFileBytes(b[k].result));
        if (TanFukuOddsFileBytes(a[k].tanFuku) != TanFukuOddsFileBytes(c[k].tanFuku))
            ++differing;
    }
    QCOMPARE(differing, 12);
}

void TestRaceGenerator::meetingCard()
{
    const QList<GeneratedRace> races = GenerateMeeting(MeetingOptions());
    QCOMPARE(races.size(), 36);

    QStringList stems;
    int withoutResult = 0;
    int withoutPairs = 0;
    int withoutEntry = 0;
    int withScratches = 0;
    int fullFields = 0;
    int smallFields = 0;
    for (const GeneratedRace &race : races) {
        QVERIFY(!stems.contains(race.stem));
        stems.append(race.stem);
        withoutResult += race.hasResult ? 0 : 1;
        withoutPairs += race.hasPairOdds ? 0 : 1;
        withoutEntry += race.hasEntry ? 0 : 1;
        withScratches += race.scratched.isEmpty() ? 0 : 1;
        fullFields += race.horseCount == 18 ? 1 : 0;
        smallFields += race.horseCount < 8 ? 1 : 0;
        QVERIFY(race.hasPairOdds || race.hasEntry); // one missing file at a time
    }
    QVERIFY(withoutResult > 0 && withoutResult < 36);
    QCOMPARE(withoutPairs, 1);
    QCOMPARE(withoutEntry, 1);
    QVERIFY(withScratches > 0);
    QVERIFY(fullFields > 0);
    QVERIFY(smallFields > 0);

    // Races not yet run are the later ones of their course.
    for (qsizetype k = 1; k < races.size(); ++k) {
        if (races[k].tanFuku.Header.Course == races[k - 1].tanFuku.Header.Course)
            QVERIFY(races[k].hasResult <= races[k - 1].hasResult);
    }
}

void TestRaceGenerator::meetingSiblingsAreFound()
{
    MeetingOptions options;
    options.seed = 5;
    options.racesPerCourse = 12;
    const QList<GeneratedRace> races = GenerateMeeting(options);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const GeneratedRace &race : races)
        QVERIFY(WriteRace(dir.path(), race));

    // Among all the day's files each race finds its own siblings, and only
    // those that were written.
    for (const GeneratedRace &race : races) {
        const QString oddsPath = dir.filePath(OddsFileName(race));
        QCOMPARE(QFileInfo::exists(GetPairOddsFileName(oddsPath)), race.hasPairOdds);
        QCOMPARE(QFileInfo::exists(GetEntryFileName(oddsPath)), race.hasEntry);
        const QString resultPath = FindResultFile(oddsPath);
        QCOMPARE(QFileInfo(resultPath).fileName(), race.hasResult ? ResultFileName(race) : QString());
        PairOddsTable pairs;
        QCOMPARE(ReadPairOddsFile(GetPairOddsFileName(oddsPath), pairs), race.hasPairOdds);
        EntryData entry;
        QCOMPARE(ReadEntryFile(GetEntryFileName(oddsPath), entry), race.hasEntry);
    }

    // A fresh start leaves nothing of an earlier day behind.
    QVERIFY(RemoveRaceFiles(dir.path()));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void TestRaceGenerator::bundledSamplesAreCurrent()
{
    MeetingOptions options;
    options.seed = RACEGEN_SAMPLE_SEED;
    options.day = QDate::fromString(QStringLiteral(RACEGEN_SAMPLE_DAY), QStringLiteral("yyyyMMdd"));
    options.racesPerCourse = RACEGEN_SAMPLE_RACES;
    const QDir samples(QStringLiteral(RACEGEN_SAMPLE_DIR));

    QStringList expected;
    const QList<GeneratedRace> races = GenerateMeeting(options);
    auto check = [&](const QString &name, const QByteArray &bytes) {
        QFile file(samples.filePath(name));
        expected.append(name);
        return file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
    };
    for (const GeneratedRace &race : races) {
        QVERIFY2(check(OddsFileName(race), TanFukuOddsFileBytes(race.tanFuku)), qPrintable(OddsFileName(race)));
        if (race.hasPairOdds)
            QVERIFY2(check(PairOddsFileName(race), PairOddsFileBytes(race.pairs)), qPrintable(PairOddsFileName(race)));
        if (race.hasEntry)
            QVERIFY2(check(EntryFileName(race), EntryFileBytes(race.entry)), qPrintable(EntryFileName(race)));
        if (race.hasResult)
            QVERIFY2(check(ResultFileName(race), ResultFileBytes(race.result)), qPrintable(ResultFileName(race)));
    }
    QStringList present = samples.entryList({QStringLiteral("*.jra")}, QDir::Files);
    present.sort();
    expected.sort();
    QCOMPARE(present, expected);
}

QTEST_GUILESS_MAIN(TestRaceGenerator)
#include "test_race_generator.moc"
