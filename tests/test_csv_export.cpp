// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/race_sheet.h"
#include "export/csv_export.h"
#include "race/race_loader.h"
#include "settings/settings_store.h"
#include "support/file_bytes.h"
#include "support/message_recorder.h"
#include "support/race_files.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace CommonFunc;

namespace {

QString u16(const char16_t *text) { return QString::fromUtf16(text); }

RaceFiles::Horse horse(const QString &tan, const QString &fukuMin, const QString &fukuMax, const QString &name)
{
    return {tan, fukuMin, fukuMax, name};
}

RaceFiles::Pair pair(const char *umaren, const char *wideMin, const char *wideMax)
{
    return {QString::fromLatin1(umaren), QString::fromLatin1(wideMin), QString::fromLatin1(wideMax)};
}

RaceFiles::Pair scratchedPair()
{
    const QString marker = u16(u"ﾄﾘｹｼ");
    return {marker, marker, marker};
}

// The race of tests/data/golden_race.csv, analysed with DetectVal 2.
//
// Win rates 0.320, 0.160, "-----", 0.100; place means 2.40, 2.00, 999.90,
// 1.40 give place rates 0.111, 0.133, 0.000, 0.190 and place ranks 3, 2, 4,
// 1.  Ratios divide the rounded rates: 0.320 / 0.111 = 2.883.  Horse 1 (win
// 1st, place 3rd) and horse 4 (win 3rd, place 1st) differ by 2: "★".
//
// Umaren 1-4: T = 0.75 / (0.10 / 0.68 * 0.32 + 0.32 / 0.90 * 0.10) = 9.078,
// D = (25 - 9.078) * 100 / 25 = +63.7 ("×", 50 to 100).  Umaren 2-4:
// T = 20.366, D = (10 - 20.366) * 100 / 10 = -103.7 ("△").  Wide 1-2 from
// 0.111 and 0.133 with 0.25: T = 7.433 against (5 + 9) / 2 = 7, D = -6.2.
// Wide 1-4: T = 5.024 against 3, D = -67.5 ("△" of the wide levels); wide
// 2-4: T = 4.143 against 7.5, D = +44.8 ("×").
//
// Ranks by actual price: umaren 2-4, 1-2, 1-4; wide 1-4, 1-2, 2-4; so the
// differences are 0, 2 and -2, and 0 for every pair of the scratched horse 3.
// Judgement: umaren 1-4 (D >= 30, 20 <= A < 30); wide 1-2 (umaren 12.0 in
// the 10-20 band: 12 / 1.9 = 6.32 < 7.0).  The result's first wide pair 1-4
// marks the umaren item " ◎", the second, 1-2, the wide item " ○".
RaceFiles goldenRace()
{
    RaceFiles race;
    const QString scratched = u16(u"ﾄﾘｹｼ");
    race.horses = {horse(QStringLiteral("2.5"), QStringLiteral("1.8"), QStringLiteral("3.0"), u16(u"アルファ")),
                   horse(QStringLiteral("5.0"), QStringLiteral("1.5"), QStringLiteral("2.5"), QStringLiteral("Bravo")),
                   horse(scratched, scratched, scratched, u16(u"チャーリー")),
                   horse(QStringLiteral("8.0"), QStringLiteral("1.2"), QStringLiteral("1.6"), u16(u"ﾃﾞﾙﾀ"))};
    race.pairs = {pair("12.0", "5.0", "9.0"), scratchedPair(), pair("25.0", "2.0", "4.0"), scratchedPair(),
                  pair("10.0", "6.0", "9.0"), scratchedPair()};
    race.wideResults = {QStringLiteral(" 1- 4"), QStringLiteral(" 1- 2"), QStringLiteral(" 2- 4")};
    return race;
}

// The lines of a written file: Shift-JIS, every line ended by CR LF.
QStringList csvLines(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-31j");
    QString text = decoder.decode(bytes);
    if (decoder.hasError() || !text.endsWith(QStringLiteral("\r\n")))
        return {QStringLiteral("<not Shift-JIS text ended by CR LF>")};
    text.chop(2);
    return text.split(QStringLiteral("\r\n"));
}

// The fixture is kept as UTF-8 text for reading; the file the program writes
// is the same text in Shift-JIS with CR LF.
QByteArray goldenBytes(QStringList *lines)
{
    const QByteArray utf8 = readAll(QFINDTESTDATA("data/golden_race.csv"));
    QString text = QString::fromUtf8(utf8);
    text.remove(u'\r');
    if (text.endsWith(u'\n'))
        text.chop(1);
    *lines = text.split(u'\n');
    QStringEncoder encoder("windows-31j");
    const QByteArray bytes = encoder.encode(lines->join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    return encoder.hasError() ? QByteArray() : bytes;
}

QString horseHead()
{
    return u16(
        u"\"人気\",\"判定\",\"単馬番\",\"複馬番\",\"単勝人気順　馬番\",\"単ｵｯｽﾞ\",\"支持率\",\"単：複比\","
        u"\"複勝人気順　馬番\",\"複ｵｯｽﾞMin\",\"Max\",\"平均\",\"支持率\"");
}

QString pairHead()
{
    return u16(
        u"\"馬連\",\"理論値\",\"実際値\",\"乖離％\",\"支持率\",\"判定\",\"人気\",\"人気差\","
        u"\"ﾜｲﾄﾞ\",\"理論値\",\"実際値\",\"乖離％\",\"支持率\",\"判定\",\"人気\",\"人気差\"");
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

class TestCsvExport : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_races = 0;

    QString newFolder()
    {
        const QString folder = m_dir.filePath(QStringLiteral("f%1").arg(++m_races));
        QDir().mkpath(folder);
        return folder;
    }

    // Loads the race and saves it; the saved bytes, empty on failure.
    QByteArray loadAndSave(RaceSheet &sheet, const RaceFiles &race)
    {
        const QString folder = newFolder();
        if (!LoadRace(sheet, race.write(folder)))
            return {};
        const QString out = folder + QStringLiteral("/out.csv");
        return WriteCsvFile(sheet, out) ? readAll(out) : QByteArray();
    }

    void checkFailedSave(const RaceSheet &sheet, const QString &path, const QString &folder);

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SetSettingsFile(m_dir.filePath(QStringLiteral("test.ini")));
    }
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void goldenRace();
    void noRace();
    void raceWithoutPairOdds();
    void resortedWideGrid();
    void doubleQuotesDoubled();
    void failedSaveOverFolder();
    void failedSaveInReadOnlyFolder();
    void savingTwiceReplacesTheFile();
    void suggestedName();
    void analysisWithoutSheet();
};

void TestCsvExport::goldenRace()
{
    Settings::DetectVal().set(2);
    const auto restore = qScopeGuard([] { Settings::DetectVal().set(5); });
    MessageRecorder recorder;
    RaceSheet sheet;
    const QByteArray written = loadAndSave(sheet, ::goldenRace());
    QVERIFY(recorder.messages.isEmpty());

    QStringList expectedLines;
    const QByteArray expected = goldenBytes(&expectedLines);
    QVERIFY(!expected.isEmpty());
    // Line by line first, for a readable report; then every byte.
    const QStringList lines = csvLines(written);
    for (qsizetype i = 0; i < std::min(lines.size(), expectedLines.size()); ++i)
        QVERIFY2(lines[i] == expectedLines[i],
                 qPrintable(QStringLiteral("line %1:\n  got      %2\n  expected %3")
                                .arg(i + 1)
                                .arg(lines[i], expectedLines[i])));
    QCOMPARE(lines.size(), expectedLines.size());
    QCOMPARE(written, expected);
}

void TestCsvExport::noRace()
{
    MessageRecorder recorder;
    RaceSheet sheet;
    ClearRaceSheet(sheet);
    const QString path = newFolder() + QStringLiteral("/none.csv");
    QVERIFY(WriteCsvFile(sheet, path));
    QVERIFY(recorder.messages.isEmpty());

    const QStringList expected {u16(u"\"ミヌクル君Super\",\"v0.10\",\"CSV出力ファイル\""),
                                QString(),
                                u16(u"\"開催\",\"\""),
                                u16(u"\"ﾚｰｽ\",\"\""),
                                u16(u"\"頭数\",0"),
                                QString(),
                                horseHead(),
                                QString(),
                                QString(),
                                pairHead(),
                                QString(),
                                u16(u"推奨買い目"),
                                QString(),
                                QString()};
    QCOMPARE(csvLines(readAll(path)), expected);
}

// Without the pair odds file both grids keep their head row only: no pair
// lines, no recommended bets, and the save still succeeds.
void TestCsvExport::raceWithoutPairOdds()
{
    RaceFiles race = ::goldenRace();
    race.pairs.clear();
    MessageRecorder recorder;
    RaceSheet sheet;
    const QByteArray written = loadAndSave(sheet, race);
    QVERIFY(!written.isEmpty());
    QVERIFY(recorder.messages.isEmpty());

    const QStringList lines = csvLines(written);
    const qsizetype head = lines.indexOf(pairHead());
    QVERIFY(head > 0);
    QCOMPARE(lines.mid(head + 1, 5),
             (QStringList {QString(), u16(u"推奨買い目"), QString(), QString(), u16(u"\"競争成績\"")}));
    QCOMPARE(lines.size(), head + 1 + 4 + 38);
    // The horse table is there all the same.
    QCOMPARE(lines[7],
             u16(u"1,\"\",1,4,\"アルファ              \",2.5,0.32,2.883,\"ﾃﾞﾙﾀ              \",1.2,1.6,1.4,0.19"));
}

// After a head click has re-sorted the wide grid, line r still joins umaren
// row r with whatever pair now stands in wide row r.
void TestCsvExport::resortedWideGrid()
{
    RaceSheet sheet;
    const QByteArray inPairOrder = loadAndSave(sheet, ::goldenRace());
    QVERIFY(!inPairOrder.isEmpty());
    const QStringList before = csvLines(inPairOrder);
    const qsizetype head = before.indexOf(pairHead());
    QVERIFY(head > 0);

    // Each pair's umaren and wide parts as written in pair order (no text
    // field of a pair line holds a comma).
    QHash<QString, QString> umarenPart;
    QHash<QString, QString> widePart;
    for (qsizetype r = 1; r <= 6; ++r) {
        const QStringList fields = before[head + r].split(u',');
        QCOMPARE(fields.size(), 16);
        const QString label = fields[0].mid(1, 5);
        umarenPart.insert(label, fields.mid(0, 8).join(u','));
        widePart.insert(label, fields.mid(8).join(u','));
    }

    sheet.grdWide.sortByHeadClick(2, Qt::LeftButton); // by actual price: 1-4, 1-2, 2-4, then the scratched
    QCOMPARE(sheet.grdWide.cell(1, 0), QStringLiteral(" 1- 4"));
    const QString out = newFolder() + QStringLiteral("/sorted.csv");
    QVERIFY(WriteCsvFile(sheet, out));
    const QStringList after = csvLines(readAll(out));
    QCOMPARE(after.size(), before.size());
    for (int r = 1; r <= 6; ++r) {
        const QString expected = umarenPart.value(sheet.grdUmaRen.cell(r, 0)) + u','
            + widePart.value(sheet.grdWide.cell(r, 0));
        QCOMPARE(after[head + r], expected);
    }
    QCOMPARE(after[head + 1],
             QStringLiteral("\" 1- 2\",5.5,12,54.1,0.063,") + u16(u"\"×\"")
                 + QStringLiteral(",\"2\",\"0\",\" 1- 4\",5,3,-67.5,0.083,") + u16(u"\"△\"")
                 + QStringLiteral(",\"1\",\"2\""));
    // Everything outside the pair lines is unchanged.
    QCOMPARE(after.mid(0, head + 1), before.mid(0, head + 1));
    QCOMPARE(after.mid(head + 7), before.mid(head + 7));
}

void TestCsvExport::doubleQuotesDoubled()
{
    RaceFiles race = ::goldenRace();
    race.header.raceName = QStringLiteral("\"Q\" Stakes");
    race.horses[1].name = QStringLiteral("Say \"Hi\"");
    RaceSheet sheet;
    const QStringList lines = csvLines(loadAndSave(sheet, race));
    QCOMPARE(lines.value(3), u16(u"\"ﾚｰｽ\",\"11R \"\"Q\"\" Stakes") + QString(18, u' ') + u'"');
    const QString name = QStringLiteral("\"Say \"\"Hi\"\"") + QString(10, u' ') + u'"';
    QCOMPARE(lines.value(8),
             QStringLiteral("2,\"\",2,2,") + name + QStringLiteral(",5,0.16,1.203,") + name
                 + QStringLiteral(",1.5,2.5,2,0.133"));
}

// A failed save returns false, shows the system's description once, and
// leaves whatever stood at the path as it was, with nothing new beside it.
void TestCsvExport::checkFailedSave(const RaceSheet &sheet, const QString &path, const QString &folder)
{
    const QStringList before = entries(folder);
    MessageRecorder recorder;
    QVERIFY(!WriteCsvFile(sheet, path));
    QCOMPARE(recorder.messages.size(), 1);
    QCOMPARE(recorder.messages[0].kind, Messages::Kind::Notice);
    QCOMPARE(recorder.messages[0].title, Messages::programTitle());
    QVERIFY(!recorder.messages[0].text.trimmed().isEmpty());
    QCOMPARE(entries(folder), before);
}

void TestCsvExport::failedSaveOverFolder()
{
    RaceSheet sheet;
    QVERIFY(!loadAndSave(sheet, ::goldenRace()).isEmpty());
    const QString folder = newFolder();
    const QString path = folder + QStringLiteral("/taken.csv");
    QVERIFY(QDir(folder).mkdir(QStringLiteral("taken.csv")));
    QVERIFY(writeAll(path + QStringLiteral("/inside.txt"), "keep"));

    checkFailedSave(sheet, path, folder);
    QVERIFY(QFileInfo(path).isDir());
    QCOMPARE(entries(path), QStringList {QStringLiteral("inside.txt")});
    QCOMPARE(readAll(path + QStringLiteral("/inside.txt")), QByteArray("keep"));

    checkFailedSave(sheet, folder + QStringLiteral("/missing/out.csv"), folder);
}

// Root passes every permission check, so the save runs in a child that has
// given root up.  A folder that takes no new file makes the save fail,
// whether or not the old file is writable (see test_csv_file).
void TestCsvExport::failedSaveInReadOnlyFolder()
{
    RaceSheet sheet;
    QVERIFY(!loadAndSave(sheet, ::goldenRace()).isEmpty());
    const QString folder = newFolder();
    QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
    const QString path = folder + QStringLiteral("/old.csv");
    const QByteArray old("old content\r\n");
    QVERIFY(writeAll(path, old));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
    const auto restore = qScopeGuard([&] { ::chmod(QFile::encodeName(folder).constData(), 0755); });

    enum { Failed = 0, Saved = 1, WrongMessages = 2, CannotDropRoot = 3 };
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    QVERIFY(pid >= 0);
    if (pid == 0) {
        if (geteuid() == 0) {
            [[maybe_unused]] const int ignored = setgid(65534);
            if (setuid(65534) != 0)
                _exit(CannotDropRoot);
        }
        MessageRecorder recorder;
        if (WriteCsvFile(sheet, path))
            _exit(Saved);
        const bool oneNotice = recorder.messages.size() == 1 && recorder.messages[0].kind == Messages::Kind::Notice
            && !recorder.messages[0].text.isEmpty();
        _exit(oneNotice ? Failed : WrongMessages);
    }
    int status = 0;
    QCOMPARE(waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status));
    if (WEXITSTATUS(status) == CannotDropRoot)
        QSKIP("running as root and cannot switch to an unprivileged user");
    QCOMPARE(WEXITSTATUS(status), int(Failed));
    QCOMPARE(readAll(path), old);
    QCOMPARE(entries(folder), QStringList {QStringLiteral("old.csv")});
}

void TestCsvExport::savingTwiceReplacesTheFile()
{
    RaceSheet sheet;
    const QString folder = newFolder();
    QVERIFY(LoadRace(sheet, ::goldenRace().write(folder)));
    const QString path = folder + QStringLiteral("/twice.csv");
    QVERIFY(WriteCsvFile(sheet, path));
    const QByteArray first = readAll(path);

    // A shorter file over a longer one: nothing of the first may remain.
    ClearRaceSheet(sheet);
    QVERIFY(WriteCsvFile(sheet, path));
    const QByteArray second = readAll(path);
    QVERIFY(second.size() < first.size());
    QCOMPARE(csvLines(second).value(4), u16(u"\"頭数\",0"));
    QVERIFY(second.endsWith("\r\n\r\n\r\n"));

    QVERIFY(LoadRace(sheet, ::goldenRace().write(folder)));
    QVERIFY(WriteCsvFile(sheet, path));
    QCOMPARE(readAll(path), first);
    QCOMPARE(entries(folder).filter(QStringLiteral("twice")), QStringList {QStringLiteral("twice.csv")});
}

void TestCsvExport::suggestedName()
{
    RaceSheet sheet;
    ClearRaceSheet(sheet);
    QCOMPARE(SuggestedCsvName(sheet), QString());
    const QString folder = newFolder();
    QVERIFY(LoadRace(sheet, ::goldenRace().write(folder, QStringLiteral("0612B.jra"))));
    QCOMPARE(SuggestedCsvName(sheet), QStringLiteral("Zo-0612B.csv"));
}

// The command line saves the analysis without a sheet: the same file as
// the sheet's while its grids keep the pairs' order, the same name, and the
// same guard of the race's own files.
void TestCsvExport::analysisWithoutSheet()
{
    const QString folder = newFolder();
    const QString odds = ::goldenRace().write(folder, QStringLiteral("0612B.jra"));
    const std::shared_ptr<const RaceAnalysis> race = LoadRaceAnalysis(odds, QString());
    QVERIFY(race);
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, odds));
    QCOMPARE(SuggestedCsvName(*race), SuggestedCsvName(sheet));

    const QString fromSheet = folder + QStringLiteral("/sheet.csv");
    const QString fromAnalysis = folder + QStringLiteral("/analysis.csv");
    QVERIFY(WriteCsvFile(sheet, fromSheet));
    QVERIFY(WriteCsvFile(*race, fromAnalysis));
    QCOMPARE(readAll(fromAnalysis), readAll(fromSheet));
    QCOMPARE(CsvBytes(*race), readAll(fromSheet));

    // A sorted grid is the window's alone.
    sheet.grdWide.sortByHeadClick(2, Qt::LeftButton);
    QVERIFY(CsvBytes(sheet) != CsvBytes(*race));

    const QByteArray entry = readAll(race->paths.entry);
    QVERIFY(!entry.isEmpty());
    MessageRecorder recorder;
    QVERIFY(!WriteCsvFile(*race, race->paths.entry));
    QCOMPARE(readAll(race->paths.entry), entry);
    QVERIFY(!recorder.messages.isEmpty());

    QVERIFY(!LoadRaceAnalysis(folder + QStringLiteral("/Zo-missing.jra"), QString()));
}

QTEST_GUILESS_MAIN(TestCsvExport)
#include "test_csv_export.moc"
