// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "race/race_loader.h"
#include "settings/settings_store.h"
#include "support/message_recorder.h"
#include "support/race_files.h"
#include "support/sheet_state.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace CommonFunc;

namespace {

QString u16(const char16_t *text) { return QString::fromUtf16(text); }

RaceFiles::Horse horse(const char *tan, const char *fukuMin, const char *fukuMax, const QString &name = QString())
{
    return {QString::fromLatin1(tan), QString::fromLatin1(fukuMin), QString::fromLatin1(fukuMax), name};
}

} // namespace

class TestRaceAnalysis : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_settings;
    int m_races = 0;

    // Each race in a folder of its own, so siblings never mix.
    QString writeRace(const RaceFiles &race)
    {
        const QString folder = m_settings.filePath(QStringLiteral("race%1").arg(++m_races));
        QDir().mkpath(folder);
        return race.write(folder);
    }

private slots:
    void initTestCase() { SetSettingsFile(m_settings.filePath(QStringLiteral("test.ini"))); }
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void emptySheet();
    void workedExample();
    void winRanksBreakTiesByHorseNumber();
    void placeRanksCompareRoundedMeans();
    void scratchedHorse();
    void horseWithoutOddsRanksFirst();
    void popularityMark_data();
    void popularityMark();
    void horseColours();
    void loadingFillsHeaderNamesAndTime();
    void entryFileIndependentOfOdds();
    void failedReadKeepsTheRaceOnShow();
    void missingSiblings();
    void resultListAndHits();
    void analysingTwiceGivesTheSameSheet();
    void negativeOddsReadAsNoNumber();
};

void TestRaceAnalysis::emptySheet()
{
    RaceSheet sheet;
    ClearRaceSheet(sheet);
    for (int k = 1; k <= 18; ++k) {
        QCOMPARE(sheet.lblPopular[k], QString::number(k));
        QVERIFY(sheet.lblTanOdds[k].isEmpty());
        QVERIFY(sheet.lblTanHorseNo[k].isEmpty());
        QCOMPARE(sheet.tanHorseColours[k].back, 16777215);
        QCOMPARE(sheet.tanHorseColours[k].text, 0);
    }
    QCOMPARE(sheet.HorseCount(), 0);
    QCOMPARE(sheet.HorseByTanRank(1), 0);
    QVERIFY(sheet.sRaceFile.isEmpty());
    QCOMPARE(sheet.grdUmaRen.rows(), 1);
    QCOMPARE(sheet.grdUmaRen.cell(0, 0), u16(u"馬連 "));
    QCOMPARE(sheet.grdWide.cell(0, 0), u16(u"ﾜｲﾄﾞ "));
    QCOMPARE(sheet.grdWide.cell(0, 7), u16(u" 差"));
}

void TestRaceAnalysis::workedExample()
{
    RaceFiles race;
    race.horses = {horse("5.0", "1.5", "2.5"), horse("8.0", "2.0", "3.0"), horse("2.5", "1.2", "1.6")};
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, writeRace(race)));
    QCOMPARE(sheet.lblTanRatio[3], QStringLiteral("0.320"));
    QCOMPARE(sheet.lblFukuOdds[3], QStringLiteral("1.40"));
    QCOMPARE(sheet.lblFukuRatio[3], QStringLiteral("0.190"));
    QCOMPARE(sheet.lblTanPopular[3], QStringLiteral("1"));
    QCOMPARE(sheet.lblTanHorseNo[1], QStringLiteral("3"));
    QCOMPARE(sheet.lblTanPopOdds[1], QStringLiteral("2.5"));
    QCOMPARE(sheet.lblTanPopRatio[1], QStringLiteral("0.320"));
    QCOMPARE(sheet.lblTanFukuRatio[1], QStringLiteral("1.684")); // 0.320 / 0.190, not the unrounded rates
    QCOMPARE(sheet.lblFukuHorseNo[1], QStringLiteral("3"));
    QCOMPARE(sheet.lblFukuPopOddsMin[1], QStringLiteral("1.2"));
    QCOMPARE(sheet.lblFukuPopOdds[1], QStringLiteral("1.40"));
    QCOMPARE(sheet.lblTanRatio[1], QStringLiteral("0.160"));
    QCOMPARE(sheet.lblTanRatio[2], QStringLiteral("0.100"));
    QCOMPARE(sheet.lblFukuOdds[1], QStringLiteral("2.00"));
    QCOMPARE(sheet.lblFukuRatio[1], QStringLiteral("0.133"));
    QCOMPARE(sheet.lblFukuOdds[2], QStringLiteral("2.50"));
    QCOMPARE(sheet.lblFukuRatio[2], QStringLiteral("0.107"));
}

void TestRaceAnalysis::winRanksBreakTiesByHorseNumber()
{
    RaceFiles race;
    race.horses = {horse("1.5", "1.1", "1.2"), horse("3.0", "1.3", "1.5"), horse("4.0", "1.5", "2.0"),
                   horse("9.9", "2.0", "3.0"), horse("4.0", "1.5", "2.0")};
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, writeRace(race)));
    QCOMPARE(sheet.lblTanPopular[3], QStringLiteral("3"));
    QCOMPARE(sheet.lblTanPopular[5], QStringLiteral("4"));
    QCOMPARE(sheet.lblTanPopular[4], QStringLiteral("5"));
    // 0.8 / 4.0 = 0.2 exactly; support at price 12.0 / 4.0 ties are shown as they are.
    QCOMPARE(sheet.lblTanRatio[3], QStringLiteral("0.200"));
    QCOMPARE(sheet.HorseByTanRank(4), 5);
}

void TestRaceAnalysis::placeRanksCompareRoundedMeans()
{
    RaceFiles race;
    // Means 3.145 and 3.154 both show 3.15 (float arithmetic, rounded half away
    // from zero on the binary value); horse 2 has the lower unrounded mean but
    // horse 1 has the lower number.
    race.horses = {horse("5.0", "3.11", "3.198"), horse("6.0", "3.10", "3.196"), horse("7.0", "1.0", "1.2")};
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, writeRace(race)));
    QCOMPARE(sheet.lblFukuOdds[1], QStringLiteral("3.15"));
    QCOMPARE(sheet.lblFukuOdds[2], QStringLiteral("3.15"));
    QCOMPARE(sheet.lblFukuPopular[3], QStringLiteral("1"));
    QCOMPARE(sheet.lblFukuPopular[1], QStringLiteral("2"));
    QCOMPARE(sheet.lblFukuPopular[2], QStringLiteral("3"));
}

void TestRaceAnalysis::scratchedHorse()
{
    RaceFiles race;
    for (int k = 1; k <= 10; ++k)
        race.horses.append(
            horse(QByteArray::number(k + 1.5).constData(), "1.5", "2.5", u16(u"ウマ") + QString::number(k)));
    race.horses[6].tan = u16(u"ﾄﾘｹｼ");
    race.horses[6].fukuMin = QStringLiteral("0.0");
    race.horses[6].fukuMax = QStringLiteral("0.0");
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, writeRace(race)));
    QVERIFY(sheet.IsScratched(7));
    QCOMPARE(sheet.ScratchedCount(), 1);
    QCOMPARE(sheet.RunnerCount(), 9);
    QCOMPARE(sheet.TanOddsValue(7), 9999.9f);
    QCOMPARE(sheet.FukuOddsValue(7), 999.9f);
    QCOMPARE(sheet.lblTanPopular[7], QStringLiteral("10"));
    QCOMPARE(sheet.lblTanRatio[7], QStringLiteral("-----"));
    QCOMPARE(sheet.lblFukuOdds[7], QStringLiteral("999.90"));
    QCOMPARE(sheet.lblFukuRatio[7], QStringLiteral("0.000"));
    QCOMPARE(sheet.lblTanHorseNo[10], QStringLiteral("7"));
    QCOMPARE(sheet.lblTanHorseName[10], u16(u"ウマ7") + QString(15, u' '));
    QCOMPARE(sheet.lblTanPopOdds[10], u16(u"ﾄﾘｹｼ"));
    QCOMPARE(sheet.lblTanPopRatio[10], QStringLiteral("---"));
    QCOMPARE(sheet.lblTanFukuRatio[10], QStringLiteral("---"));
    QCOMPARE(sheet.lblFukuHorseNo[10], QStringLiteral("7"));
    QCOMPARE(sheet.lblFukuPopOddsMin[10], u16(u"ﾄﾘｹｼ"));
    QCOMPARE(sheet.lblFukuPopOddsMax[10], QStringLiteral("---"));
    QCOMPARE(sheet.lblFukuPopOdds[10], QStringLiteral("---"));
    QCOMPARE(sheet.lblFukuPopRatio[10], QStringLiteral("---"));

    // Marker with spaces around it still counts.
    sheet.lblTanOdds[7] = u16(u" ﾄﾘｹｼ ");
    QVERIFY(sheet.IsScratched(7));
}

void TestRaceAnalysis::horseWithoutOddsRanksFirst()
{
    RaceFiles race;
    race.horses = {horse("2.0", "1.1", "1.3"), horse("", "", ""), horse("abc", "1.0", "1.2")};
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, writeRace(race)));
    QCOMPARE(sheet.lblTanPopular[2], QStringLiteral("1"));
    QCOMPARE(sheet.lblTanPopular[3], QStringLiteral("2"));
    QCOMPARE(sheet.lblTanRatio[2], QStringLiteral("-----"));
    QCOMPARE(sheet.lblFukuPopular[2], QStringLiteral("1"));
    QCOMPARE(sheet.lblFukuRatio[2], QStringLiteral("-----"));
    QCOMPARE(sheet.lblTanFukuRatio[1], QStringLiteral("0.000")); // horse 2: place rate not a number
    // Horse 3: no win rate but a place rate: "---".
    QCOMPARE(sheet.lblTanHorseNo[2], QStringLiteral("3"));
    QCOMPARE(sheet.lblTanFukuRatio[2], QStringLiteral("---"));
}

void TestRaceAnalysis::popularityMark_data()
{
    QTest::addColumn<int>("placeRank");
    QTest::addColumn<bool>("marked");
    QTest::newRow("2nd and 8th") << 8 << true;
    QTest::newRow("2nd and 7th") << 7 << true;
    QTest::newRow("2nd and 6th") << 6 << false;
}

void TestRaceAnalysis::popularityMark()
{
    QFETCH(int, placeRank);
    QFETCH(bool, marked);
    // Win odds make horse k the k-th favourite; place odds put horse 2 at placeRank.
    RaceFiles race;
    QList<int> placeOrder;
    for (int k = 1; k <= 9; ++k) {
        if (k != 2)
            placeOrder.append(k);
    }
    placeOrder.insert(placeRank - 1, 2);
    for (int k = 1; k <= 9; ++k) {
        const int pos = int(placeOrder.indexOf(k)) + 1;
        race.horses.append({QString::number(k * 2) + QStringLiteral(".0"), QString::number(pos) + QStringLiteral(".0"),
                            QString::number(pos) + QStringLiteral(".0"), QString()});
    }
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, writeRace(race)));
    QCOMPARE(sheet.lblFukuPopular[2], QString::number(placeRank));
    QCOMPARE(sheet.lblAutoJudge[2], marked ? u16(u"★") : QString());
    Settings::DetectVal().set(1);
    QVERIFY(LoadRace(sheet, sheet.sRaceFile));
    QCOMPARE(sheet.lblAutoJudge[2], u16(u"★"));
    QCOMPARE(sheet.lblAutoJudge[9], QString());
    Settings::DetectVal().set(5);
}

void TestRaceAnalysis::horseColours()
{
    Settings::HorseNoColor(2).set(0x0000FF);
    Settings::HorseNoColor(0).set(65280);
    RaceFiles race;
    race.horses = {horse("5.0", "1.5", "2.5"), horse("1.5", "1.1", "1.2")};
    RaceSheet sheet;
    ClearRaceSheet(sheet);
    QCOMPARE(sheet.tanHorseColours[1].back, 16777215); // no race: rows beyond the count stay white
    QVERIFY(LoadRace(sheet, writeRace(race)));
    QCOMPARE(sheet.tanHorseColours[1].back, 0x0000FF);
    QCOMPARE(sheet.tanHorseColours[1].text, 0xFFFF00);
    QCOMPARE(sheet.fukuHorseColours[1].back, 0x0000FF);
    QCOMPARE(sheet.tanHorseColours[2].back, 16777215);
    QCOMPARE(sheet.tanHorseColours[3].back, 16777215);
    QCOMPARE(sheet.tanHorseColours[3].text, 0);
    Settings::HorseNoColor(2).set(16777215);
    Settings::HorseNoColor(0).set(16777215);
}

void TestRaceAnalysis::loadingFillsHeaderNamesAndTime()
{
    RaceFiles race;
    race.header.course = u16(u"中山");
    race.header.kai = QStringLiteral(" 5");
    race.header.nichi = QStringLiteral(" 8");
    race.header.raceNo = QStringLiteral("11");
    race.header.raceName = u16(u"有馬記念");
    race.horses = {horse(" 3.5", "1.5 ", "2.5"), horse("1.5", "1.1", "1.2", u16(u"アイウエオカキクケ"))};
    race.startTime = QStringLiteral("1525");
    RaceSheet sheet;
    QSignalSpy changed(&sheet, &RaceSheet::changed);
    const QString path = writeRace(race);
    QVERIFY(LoadRace(sheet, path));
    QVERIFY(changed.count() >= 1);
    QCOMPARE(sheet.sRaceFile, path);
    QCOMPARE(sheet.lblKaisai, u16(u"中山   第 5回  8日"));                 // the course keeps its two pad spaces
    QCOMPARE(sheet.lblRaceName, u16(u"11R 有馬記念") + QString(24, u' ')); // a 28-character slot
    QCOMPARE(sheet.lblHorseNum, QStringLiteral("2"));
    QCOMPARE(sheet.lblRaceTime, QStringLiteral("15:25"));
    QCOMPARE(sheet.lblTanOdds[1], QStringLiteral("3.5"));
    QCOMPARE(sheet.lblFukuOddsMin[1], QStringLiteral("1.5"));
    QCOMPARE(sheet.lblHorseName[2], u16(u"アイウエオカキクケ") + QString(9, u' '));
    QCOMPARE(sheet.lblHorseName[1], QString(18, u' '));

    race.startTime = QStringLiteral("    ");
    QVERIFY(LoadRace(sheet, writeRace(race)));
    QCOMPARE(sheet.lblRaceTime, QStringLiteral("  :  "));
}

void TestRaceAnalysis::entryFileIndependentOfOdds()
{
    RaceFiles race;
    race.horses = {horse("3.5", "1.5", "2.5", QStringLiteral("A")), horse("1.5", "1.1", "1.2", QStringLiteral("B")),
                   horse("7.5", "2.1", "3.2", QStringLiteral("C"))};
    const QString folder = m_settings.filePath(QStringLiteral("entry"));
    QDir().mkpath(folder);
    const QString path = race.write(folder);
    // Fewer horses in the odds file than in the entry file.
    RaceFiles fewer = race;
    fewer.horses.removeLast();
    fewer.entry = false;
    fewer.write(folder);
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, path));
    QCOMPARE(sheet.HorseCount(), 2);
    QCOMPARE(sheet.lblHorseName[3].trimmed(), QStringLiteral("C"));
    QVERIFY(sheet.lblTanOdds[3].isEmpty());
}

void TestRaceAnalysis::failedReadKeepsTheRaceOnShow()
{
    RaceFiles race;
    race.horses = {horse("3.5", "1.5", "2.5"), horse("1.5", "1.1", "1.2")};
    RaceSheet sheet;
    const QString path = writeRace(race);
    QVERIFY(LoadRace(sheet, path));

    MessageRecorder recorder;
    RaceFiles bad = race;
    bad.header.formatCode = QStringLiteral("1");
    QVERIFY(!LoadRace(sheet, writeRace(bad)));
    QCOMPARE(recorder.texts(),
             QStringList({u16(u"ファイル形式が違います。"), u16(u"ファイルの読み込みに失敗しました。")}));
    QCOMPARE(recorder.messages.last().kind, Messages::Kind::Error);
    QCOMPARE(recorder.messages.last().title, u16(u"えらー"));
    QCOMPARE(sheet.sRaceFile, path);
    QCOMPARE(sheet.lblTanOdds[1], QStringLiteral("3.5"));

    recorder.clear();
    QVERIFY(!LoadRace(sheet, m_settings.filePath(QStringLiteral("Zo-missing.jra"))));
    QCOMPARE(recorder.texts(), QStringList(u16(u"ファイルの読み込みに失敗しました。")));
}

void TestRaceAnalysis::missingSiblings()
{
    RaceFiles race;
    race.horses = {horse("3.5", "1.5", "2.5", QStringLiteral("A")), horse("1.5", "1.1", "1.2", QStringLiteral("B"))};
    race.entry = false;
    MessageRecorder recorder;
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, writeRace(race)));
    QVERIFY(recorder.messages.isEmpty());
    QVERIFY(sheet.lblHorseName[1].isEmpty());
    QVERIFY(sheet.lblRaceTime.isEmpty());
    QCOMPARE(sheet.grdUmaRen.rows(), 1);
    QCOMPARE(sheet.grdWide.rows(), 1);
    QVERIFY(sheet.lstKaime.isEmpty());
    QVERIFY(sheet.lstRaceResult.isEmpty());
    QCOMPARE(sheet.lblTanPopular[2], QStringLiteral("1"));
}

void TestRaceAnalysis::resultListAndHits()
{
    RaceFiles race;
    race.horses = {horse("3.5", "1.5", "2.5"), horse("1.5", "1.1", "1.2"), horse("7.0", "2.0", "3.0")};
    race.pairs = {{QStringLiteral("4.0"), QStringLiteral("1.5"), QStringLiteral("2.0")},
                  {QStringLiteral("25.0"), QStringLiteral("4.0"), QStringLiteral("6.0")},
                  {QStringLiteral("8.0"), QStringLiteral("2.0"), QStringLiteral("3.0")}};
    race.wideResults = {QStringLiteral(" 1- 2"), QStringLiteral(" 2- 3"), QStringLiteral("1-3")};
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, writeRace(race)));
    QCOMPARE(sheet.lstRaceResult.size(), 38);
    QCOMPARE(sheet.lstRaceResult[0], u16(u"競争成績"));
    QCOMPARE(sheet.lstRaceResult[1], QStringLiteral("1 1 Horse1            1.35.0"));
    QCOMPARE(sheet.lstRaceResult[8], u16(u"単勝"));
    QCOMPARE(sheet.lstRaceResult[9], QStringLiteral(" 1     250"));
    QCOMPARE(sheet.lstRaceResult[26], u16(u"ワイド"));
    QCOMPARE(sheet.lstRaceResult[27], QStringLiteral(" 1- 2      300"));
    QCOMPARE(sheet.grdUmaRen.backColor(1, 0), std::optional<qint32>(255));
    QCOMPARE(sheet.grdWide.backColor(1, 0), std::optional<qint32>(255));
    QCOMPARE(sheet.grdUmaRen.backColor(3, 0), std::optional<qint32>(65280));
    // "1-3" is not in the label's form: nothing marked.
    QCOMPARE(sheet.grdUmaRen.backColor(2, 0), std::optional<qint32>());
}

void TestRaceAnalysis::analysingTwiceGivesTheSameSheet()
{
    RaceFiles race;
    race.horses = {horse("3.5", "1.5", "2.5"), horse("1.5", "1.1", "1.2"), horse("7.0", "2.0", "3.0")};
    race.pairs = {{QStringLiteral("4.0"), QStringLiteral("1.5"), QStringLiteral("2.0")},
                  {QStringLiteral("25.0"), QStringLiteral("4.0"), QStringLiteral("6.0")},
                  {QStringLiteral("8.0"), QStringLiteral("2.0"), QStringLiteral("3.0")}};
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, writeRace(race)));
    const QStringList kaime = sheet.lstKaime;
    QStringList cells;
    for (int r = 0; r < sheet.grdWide.rows(); ++r)
        for (int c = 0; c < 8; ++c)
            cells << sheet.grdUmaRen.cell(r, c) << sheet.grdWide.cell(r, c);
    RaceData data;
    QVERIFY(ReadRaceData(sheet.sRaceFile, data));
    PutRaceOnSheet(sheet, data, ReadRaceOptions());
    QCOMPARE(sheet.lstKaime, kaime);
    QStringList again;
    for (int r = 0; r < sheet.grdWide.rows(); ++r)
        for (int c = 0; c < 8; ++c)
            again << sheet.grdUmaRen.cell(r, c) << sheet.grdWide.cell(r, c);
    QCOMPARE(again, cells);
}

QTEST_GUILESS_MAIN(TestRaceAnalysis)
// A terminal never writes negative odds; where a file has them they are no
// number at all, so every figure comes out as it does for "x".
void TestRaceAnalysis::negativeOddsReadAsNoNumber()
{
    const auto load = [this](const QString &bad) {
        RaceFiles race;
        const QString b = bad;
        race.horses = {horse("3.5", "1.5", "2.5"), RaceFiles::Horse {b, QStringLiteral("1.1"), b, QString()},
                       RaceFiles::Horse {QStringLiteral("7.0"), b, QStringLiteral("3.0"), QString()},
                       horse("4.5", "1.4", "2.2")};
        race.pairs = {{b, QStringLiteral("1.5"), QStringLiteral("2.0")},
                      {QStringLiteral("25.0"), b, QStringLiteral("6.0")},
                      {QStringLiteral("8.0"), QStringLiteral("2.0"), b},
                      {QStringLiteral("12.0"), QStringLiteral("3.0"), QStringLiteral("4.0")},
                      {QStringLiteral("9.0"), QStringLiteral("2.5"), QStringLiteral("3.5")},
                      {QStringLiteral("30.0"), QStringLiteral("6.0"), QStringLiteral("8.0")}};
        auto sheet = std::make_unique<RaceSheet>();
        if (!LoadRace(*sheet, writeRace(race)))
            return SheetState::State();
        // The raw odds cells show the texts as read.
        for (RaceSheet::Column *raw : {&sheet->lblTanOdds, &sheet->lblFukuOddsMin, &sheet->lblFukuOddsMax,
                                       &sheet->lblTanPopOdds, &sheet->lblFukuPopOddsMin, &sheet->lblFukuPopOddsMax}) {
            for (QString &cell : *raw)
                cell.replace(b, QStringLiteral("?"));
        }
        sheet->sRaceFile.clear();
        return SheetState::sheet(*sheet, true);
    };
    for (const char *negative : {"-5.0", "-0.5", "-12"}) {
        const SheetState::State text = load(QStringLiteral("x"));
        const SheetState::State minus = load(QString::fromLatin1(negative));
        QVERIFY(!text.texts.isEmpty());
        QVERIFY2(text == minus, qPrintable(SheetState::firstDifference(text, minus, text)));
    }
}

#include "test_race_analysis.moc"
