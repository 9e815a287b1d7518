// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/race_sheet.h"
#include "export/csv_export.h"
#include "patdata/cp932.h"
#include "race/race_loader.h"
#include "settings/settings_store.h"
#include "support/backtest_races.h"
#include "support/file_bytes.h"
#include "support/message_recorder.h"
#include "support/race_files.h"
#include "tools/racegen/jv_writer.h"
#include "tools/racegen/pat_writer.h"
#include "tools/racegen/race_generator.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace CommonFunc;
using namespace Qt::StringLiterals;

namespace {

QString u16(const char16_t *text) { return QString::fromUtf16(text); }

RaceFiles::Horse horse(const char *tan, const char *fukuMin, const char *fukuMax, const QString &name)
{
    return {QString::fromLatin1(tan), QString::fromLatin1(fukuMin), QString::fromLatin1(fukuMax), name};
}

RaceFiles::Pair pair(const char *umaren, const char *wideMin, const char *wideMax)
{
    return {QString::fromLatin1(umaren), QString::fromLatin1(wideMin), QString::fromLatin1(wideMax)};
}

// Horses 1 and 3 are 1st and 3rd in win popularity but 3rd and 1st in place
// popularity: a "★" with DetectVal 2, none with the default 5.
RaceFiles sampleRace()
{
    RaceFiles race;
    race.horses = {horse("2.5", "1.8", "3.0", u16(u"アルファ")), horse("5.0", "1.5", "2.5", QStringLiteral("Bravo")),
                   horse("8.0", "1.2", "1.6", u16(u"ﾁｬｰﾘｰ")), horse("12.0", "2.5", "4.0", QStringLiteral("Delta"))};
    race.pairs = {pair("12.0", "5.0", "9.0"), pair("25.0", "2.0", "4.0"), pair("40.0", "6.0", "9.0"),
                  pair("10.0", "3.0", "4.5"), pair("30.0", "6.0", "8.0"), pair("60.0", "9.0", "14.0")};
    race.wideResults = {QStringLiteral(" 1- 3"), QStringLiteral(" 1- 2"), QStringLiteral(" 2- 3")};
    return race;
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
    QByteArray outBytes;
};

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_settings;     // defaults: nothing stored
    QString m_detect2;      // DetectVal 2
    QString m_utf8;         // CsvEncoding 1
    QString m_locale = QStringLiteral("C.UTF-8"); // LC_ALL of the runs
    QString m_race;         // the sample race's odds file
    QByteArray m_inProcess; // its CSV as WriteCsvFile writes it with the defaults
    int m_folders = 0;

    // The ledger a backtest of folder writes; empty when the run fails.
    QByteArray ledgerOfRun(const QString &folder, const QStringList &options, const QString &settings)
    {
        const QString ledger = newFolder() + QStringLiteral("/ledger.csv");
        const Run r = run(QStringList {QStringLiteral("backtest"), folder, QStringLiteral("--ledger"), ledger}
                              + options,
                          QString(), settings);
        return r.exitCode == 0 ? readAll(ledger) : QByteArray();
    }

    QString newFolder()
    {
        const QString folder = m_dir.filePath(QStringLiteral("run%1").arg(++m_folders));
        QDir().mkpath(folder);
        return folder;
    }

    Run run(const QStringList &args, const QString &workDir = QString(), const QString &settings = QString(),
            const QString &temporaryFolder = QString(), const std::function<void(QProcess &)> &prepare = {})
    {
        QProcess process;
        if (prepare)
            prepare(process);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MINUKURU_SETTINGS"), settings.isEmpty() ? m_settings : settings);
        // The messages' language is the test's to choose, not the machine's.
        env.remove(QStringLiteral("LANGUAGE"));
        env.insert(QStringLiteral("LC_ALL"), m_locale);
        if (!temporaryFolder.isEmpty())
            env.insert(QStringLiteral("TMPDIR"), temporaryFolder);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(workDir.isEmpty() ? m_dir.path() : workDir);
        process.start(QStringLiteral(MINUKURU_CLI_PATH), args);
        Run result;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.exitCode = process.exitCode();
        result.outBytes = process.readAllStandardOutput();
        result.out = QString::fromUtf8(result.outBytes);
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    // The program run as an unprivileged user, since root passes every
    // permission check.  It runs from a copy in a folder open to everyone:
    // the checkout may lie where only its owner may enter (under /root, in
    // mktemp -d).  exitCode is kCannotDropRoot or kCannotReach when the run
    // could not be made so.
    static constexpr int kCannotDropRoot = 97;
    static constexpr int kCannotReach = 98;
    QTemporaryDir m_shared;
    Run runUnprivileged(const QStringList &args)
    {
        const QString program = m_shared.filePath(QStringLiteral("minukuru-cli"));
        if (!QFile::exists(program)) {
            const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
            if (!QFile::setPermissions(m_shared.path(), open)
                || !QFile::copy(QStringLiteral(MINUKURU_CLI_PATH), program) || !QFile::setPermissions(program, open))
                return {};
        }
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MINUKURU_SETTINGS"), QStringLiteral("/nonexistent/settings.ini"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QStringLiteral("/"));
        const QByteArray name = QFile::encodeName(program);
        process.setChildProcessModifier([name] {
            if (::geteuid() == 0) {
                [[maybe_unused]] const int ignored = ::setgid(65534);
                if (::setuid(65534) != 0)
                    ::_exit(kCannotDropRoot);
            }
            if (::access(name.constData(), X_OK) != 0)
                ::_exit(kCannotReach);
        });
        process.start(program, args);
        Run result;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.exitCode = process.exitCode();
        result.outBytes = process.readAllStandardOutput();
        result.out = QString::fromUtf8(result.outBytes);
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    static QByteArray exportInProcess(const QString &race)
    {
        RaceSheet sheet;
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("in.csv"));
        if (!LoadRace(sheet, race) || !WriteCsvFile(sheet, out))
            return {};
        return readAll(out);
    }

private slots:
    void initTestCase();
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void exportWritesWhatTheProgramWrites();
    void exportDefaultName();
    void failures_data();
    void failures();
    void exportRefuses_data();
    void exportRefuses();
    void exportToStandardOutput_data();
    void exportToStandardOutput();
    void lostOutput_data();
    void lostOutput();
    void show();
    void showMatrix();
    void showPlace();
    void modelOption();
    void list();
    void usage_data();
    void usage();
    void settingsFile_data();
    void settingsFile();
    void notARaceFile_data();
    void notARaceFile();
    void controlCharactersStayVisible();
    void listLeavesOutWithAReason();
    void backtest();
    void backtestConditionsAndIntervals();
    void backtestOptionErrors_data();
    void backtestOptionErrors();
    void backtestExitStatus_data();
    void backtestExitStatus();
    void backtestLedgerSparesTheRaces();
    void fit();
    void recordFiles();
    void refusedSettingsFile_data();
    void refusedSettingsFile();
    void watch();
    void watchStopsOnInterrupt();
    void lostCharactersAreNamed();
    void encoding_data();
    void encoding();
    void ledgerEncoding();
    void expectedValues();
    void staking();
    void messagesInOneLanguage_data();
    void messagesInOneLanguage();
};

void TestCli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Open to the unprivileged runs; each test's own folders decide.
    QVERIFY(QFile::setPermissions(m_dir.path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                      | QFileDevice::ExeGroup | QFileDevice::ExeOther));
    QVERIFY(QFileInfo(QStringLiteral(MINUKURU_CLI_PATH)).isExecutable());
    m_settings = m_dir.filePath(QStringLiteral("defaults.ini"));
    m_detect2 = m_dir.filePath(QStringLiteral("detect2.ini"));
    SetSettingsFile(m_detect2);
    Settings::DetectVal().set(2);
    m_utf8 = m_dir.filePath(QStringLiteral("utf8.ini"));
    SetSettingsFile(m_utf8);
    Settings::CsvEncoding().set(TextEncoding::Utf8);
    SetSettingsFile(m_settings);

    const QString races = m_dir.filePath(QStringLiteral("races"));
    QVERIFY(QDir().mkpath(races));
    m_race = sampleRace().write(races);
    MessageRecorder quiet;
    m_inProcess = exportInProcess(m_race);
    QVERIFY(!m_inProcess.isEmpty());
    QVERIFY(quiet.messages.isEmpty());
    QVERIFY(!QFile::exists(m_settings)); // reading never writes the store
}

void TestCli::exportWritesWhatTheProgramWrites()
{
    const QString out = newFolder() + QStringLiteral("/out.csv");
    const Run r = run({QStringLiteral("export"), m_race, QStringLiteral("-o"), out});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, QString());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(readAll(out), m_inProcess);
}

// Without -o the file is named after the race file and lands in the working
// directory, not beside the race.
void TestCli::exportDefaultName()
{
    const QString work = newFolder();
    const QString relativeRace = QDir(work).relativeFilePath(m_race);
    const Run r = run({QStringLiteral("export"), relativeRace}, work);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QDir(work).entryList(QDir::Files), QStringList {QStringLiteral("Zo-0101A.csv")});
    QCOMPARE(readAll(work + QStringLiteral("/Zo-0101A.csv")), m_inProcess);
    QVERIFY(!QFile::exists(QFileInfo(m_race).absolutePath() + QStringLiteral("/Zo-0101A.csv")));

    const Run named = run({QStringLiteral("export"), m_race, QStringLiteral("--output"), QStringLiteral("x.csv")},
                          work);
    QCOMPARE(named.exitCode, 0);
    QCOMPARE(readAll(work + QStringLiteral("/x.csv")), m_inProcess);
}

void TestCli::failures_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("raceBytes"); // "" writes no race; "race" the sample race
    QTest::addColumn<bool>("outputIsFolder");
    QTest::addColumn<QStringList>("messages");

    const QString readFailed = u16(u"ファイルの読み込みに失敗しました。");
    const QString exportCmd = QStringLiteral("export");
    const QString show = QStringLiteral("show");
    QTest::newRow("export, missing file") << exportCmd << QString() << false << QStringList {readFailed};
    QTest::newRow("show, missing file") << show << QString() << false << QStringList {readFailed};
    QTest::newRow("export, short file") << exportCmd << QStringLiteral("short") << false << QStringList {readFailed};
    QTest::newRow("export, foreign format")
        << exportCmd << QStringLiteral("format") << false << QStringList {u16(u"ファイル形式が違います。"), readFailed};
    QTest::newRow("export, save fails") << exportCmd << QStringLiteral("race") << true
                                        << QStringList {u16(u"ファイルの保存に失敗しました。")};
}

// Exit status 1, the program's own message last on standard error, and no
// CSV file left behind.
void TestCli::failures()
{
    QFETCH(QString, command);
    QFETCH(QString, raceBytes);
    QFETCH(bool, outputIsFolder);
    QFETCH(QStringList, messages);

    const QString folder = newFolder();
    QString race = folder + QStringLiteral("/Zo-0101A.jra");
    if (raceBytes == u"short") {
        QVERIFY(writeAll(race, "20261129"));
    } else if (raceBytes == u"format") {
        RaceFiles bad = sampleRace();
        bad.header.formatCode = QStringLiteral("9");
        race = bad.write(folder);
    } else if (raceBytes == u"race") {
        race = m_race;
    }
    const QString out = folder + QStringLiteral("/out.csv");
    if (outputIsFolder)
        QVERIFY(QDir(folder).mkdir(QStringLiteral("out.csv")));

    QStringList args {command, race};
    if (command == u"export")
        args << QStringLiteral("-o") << out;
    const Run r = run(args, folder);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QString());
    const QStringList errLines = r.err.split(u'\n', Qt::SkipEmptyParts);
    for (const QString &message : messages)
        QVERIFY2(errLines.contains(message), qPrintable(r.err));
    QCOMPARE(errLines.last(), messages.last());
    QCOMPARE(QFileInfo(out).isDir(), outputIsFolder);
    QVERIFY(outputIsFolder || !QFile::exists(out));
    QVERIFY(QDir(folder).entryList({QStringLiteral("*.csv")}, QDir::Files).isEmpty());
}

// clang-format off
void TestCli::exportRefuses_data()
{
    QTest::addColumn<QString>("output"); // "" for none: the default name
    QTest::addColumn<QString>("raceId");
    QTest::addColumn<QString>("refusal");

    const QString jra = QStringLiteral("0101A.jra");
    const QString ownFile = u16(u"%1 は開いているレースのファイルなので、上書きしませんでした。");
    const QString notRegular = u16(u"%1 は通常のファイルではないため、保存しませんでした。");
    QTest::newRow("-o the odds file")              << QStringLiteral("Zo-0101A.jra") << jra                      << ownFile;
    QTest::newRow("-o the pair odds file")         << QStringLiteral("Uo-0101A.jra") << jra                      << ownFile;
    QTest::newRow("default name is the race file") << QString()                      << QStringLiteral("0101A.csv") << ownFile;
    QTest::newRow("-o a named pipe")               << QStringLiteral("pipe")         << jra                      << notRegular;
    QTest::newRow("-o a device like /dev/full")    << QStringLiteral("device")       << jra                      << notRegular;
}
// clang-format on

// A refused export: exit status 1 after the refusal and the save failure
// message, and the race's folder exactly as it was, pipes and devices
// included.
void TestCli::exportRefuses()
{
    QFETCH(QString, output);
    QFETCH(QString, raceId);
    QFETCH(QString, refusal);

    const QString folder = newFolder();
    const QString race = sampleRace().write(folder, raceId);
    QVERIFY(::mkfifo(QFile::encodeName(folder + QStringLiteral("/pipe")).constData(), 0666) == 0);
    if (output == u"device") {
        const QByteArray device = QFile::encodeName(folder + QStringLiteral("/device"));
        if (::mknod(device.constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
            QSKIP("no permission to make a device node");
    }
    const QList<QByteArray> before = folderSnapshot(folder);

    QStringList args {QStringLiteral("export"), QFileInfo(race).fileName()};
    if (!output.isEmpty())
        args << QStringLiteral("-o") << output;
    const Run r = run(args, folder);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QString());
    const QString shown = output.isEmpty() ? QFileInfo(race).completeBaseName() + QStringLiteral(".csv") : output;
    QCOMPARE(r.err, refusal.arg(shown) + u'\n' + u16(u"ファイルの保存に失敗しました。") + u'\n');
    QCOMPARE(folderSnapshot(folder), before);
}

void TestCli::exportToStandardOutput_data()
{
    QTest::addColumn<bool>("sizeLimit");
    QTest::newRow("-o -") << false;
    QTest::newRow("-o -, standard output a file over the size limit") << true;
}

// "-o -" writes exactly the file's bytes to standard output and no file;
// when standard output takes no more, the export fails.
void TestCli::exportToStandardOutput()
{
    QFETCH(bool, sizeLimit);
    const QString work = newFolder();
    const QString sink = m_dir.filePath(QStringLiteral("stdout%1").arg(m_folders));
    const auto prepare = [&](QProcess &process) {
        if (!sizeLimit)
            return;
        process.setStandardOutputFile(sink);
        process.setChildProcessModifier([] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit {100, 100};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    };
    const Run r = run({QStringLiteral("export"), m_race, QStringLiteral("-o"), QStringLiteral("-")}, work, QString(),
                      QString(), prepare);
    QVERIFY(QDir(work).isEmpty());
    if (!sizeLimit) {
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.outBytes, m_inProcess);
        return;
    }
    QCOMPARE(r.exitCode, 1);
    const QStringList errLines = r.err.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(errLines.size(), 2);
    QCOMPARE(errLines[0], QString::fromLocal8Bit(std::strerror(EFBIG)));
    QCOMPARE(errLines[1], u16(u"ファイルの保存に失敗しました。"));
    QCOMPARE(readAll(sink), m_inProcess.left(100));
}

// Output that never reached standard output (a full device, a file over
// the size limit) fails every command, with the reason.
void TestCli::lostOutput_data()
{
    QTest::addColumn<QStringList>("args"); // RACE and FOLDER stand for the test's own
    QTest::addColumn<bool>("sizeLimit");   // a file that takes 4096 bytes, else /dev/full

    const QString race = QStringLiteral("RACE");
    const QString folder = QStringLiteral("FOLDER");
    QTest::newRow("show") << QStringList {QStringLiteral("show"), race} << false;
    QTest::newRow("show --matrix") << QStringList {QStringLiteral("show"), race, QStringLiteral("--matrix")} << false;
    QTest::newRow("list") << QStringList {QStringLiteral("list"), folder} << false;
    QTest::newRow("backtest") << QStringList {QStringLiteral("backtest"), folder} << false;
    QTest::newRow("backtest --json, file over the size limit")
        << QStringList {QStringLiteral("backtest"), QStringLiteral("--json"), folder} << true;
    QTest::newRow("watch") << QStringList {QStringLiteral("watch"), race} << false;
    QTest::newRow("--version") << QStringList {QStringLiteral("--version")} << false;
    QTest::newRow("--help") << QStringList {QStringLiteral("show"), QStringLiteral("--help")} << false;
}

void TestCli::lostOutput()
{
    QFETCH(QStringList, args);
    QFETCH(bool, sizeLimit);
    if (!sizeLimit && !QFileInfo(QStringLiteral("/dev/full")).isWritable())
        QSKIP("no /dev/full here");

    const QString folder = newFolder();
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());
    args.replaceInStrings(QStringLiteral("RACE"), folder + QStringLiteral("/Zo-0101A.jra"));
    args.replaceInStrings(QStringLiteral("FOLDER"), folder);
    const QString sink = sizeLimit ? m_dir.filePath(QStringLiteral("stdout%1").arg(m_folders)) : u"/dev/full"_s;
    const Run r = run(args, QString(), QString(), QString(), [&](QProcess &process) {
        process.setStandardOutputFile(sink);
        if (sizeLimit)
            process.setChildProcessModifier([] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit {4096, 4096};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
    });
    QCOMPARE(r.exitCode, 1);
    const QStringList errLines = r.err.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(!errLines.isEmpty(), "no message");
    QCOMPARE(errLines.last(),
             QStringLiteral("minukuru-cli: cannot write to standard output: ")
                 + QString::fromLocal8Bit(std::strerror(sizeLimit ? EFBIG : ENOSPC)));
    if (sizeLimit)
        QCOMPARE(QFileInfo(sink).size(), 4096);
}

// --model prices one run with another model and says so in show and in the
// CSV's title line; backtest --models adds the comparison to the JSON.
void TestCli::modelOption()
{
    const Run standard = run({QStringLiteral("show"), m_race});
    QVERIFY(!standard.out.contains(u16(u"理論値ﾓﾃﾞﾙ")));
    QCOMPARE(run({QStringLiteral("--model"), QStringLiteral("standard"), QStringLiteral("show"), m_race}).out,
             standard.out);

    const Run discount = run({QStringLiteral("show"), m_race, QStringLiteral("--model"), QStringLiteral("discount")});
    QCOMPARE(discount.exitCode, 0);
    QVERIFY(discount.out.contains(u16(u"理論値ﾓﾃﾞﾙ 割引Harville\n")));
    QVERIFY(discount.out.contains(u16(u"理論値割引")));

    const Run csv = run({QStringLiteral("--model"), QStringLiteral("harville"), QStringLiteral("export"), m_race,
                         QStringLiteral("-o"), QStringLiteral("-")});
    QCOMPARE(csv.exitCode, 0);
    QVERIFY(csv.out.section(u'\n', 0, 0).contains(QStringLiteral("Harville")));
    QVERIFY(!m_inProcess.contains("Harville"));

    const Run wrong = run({QStringLiteral("show"), m_race, QStringLiteral("--model"), QStringLiteral("benter")});
    QCOMPARE(wrong.exitCode, 2);
    QVERIFY(wrong.err.contains(QStringLiteral("--model")));

    const QString folder = QFileInfo(m_race).absolutePath();
    const Run plain = run({QStringLiteral("backtest"), QStringLiteral("--json"), folder});
    QVERIFY(!plain.out.contains(QStringLiteral("\"models\"")));
    const Run models = run({QStringLiteral("backtest"), QStringLiteral("--json"), QStringLiteral("--models"), folder});
    QCOMPARE(models.exitCode, 0);
    const QJsonArray list = QJsonDocument::fromJson(models.out.toUtf8()).object().value(u"models").toArray();
    QCOMPARE(list.size(), 4);
    QCOMPARE(list[3].toObject().value(u"model").toString(), QStringLiteral("market"));
    QVERIFY(list[0].toObject().contains(u"wide_brier"));

    // --calibration adds its table and key; without it neither shows.
    QVERIFY(!plain.out.contains(QStringLiteral("\"calibration\"")));
    QVERIFY(!run({QStringLiteral("backtest"), folder}).out.contains(u16(u"較正")));
    const Run calibrated =
        run({QStringLiteral("backtest"), QStringLiteral("--json"), QStringLiteral("--calibration"), folder});
    QCOMPARE(calibrated.exitCode, 0);
    const QJsonObject calibration =
        QJsonDocument::fromJson(calibrated.out.toUtf8()).object().value(u"calibration").toObject();
    QCOMPARE(calibration.keys(), (QStringList {QStringLiteral("umaren"), QStringLiteral("wide"), QStringLiteral("win")}));
    const QJsonArray win = calibration.value(u"win").toArray();
    QVERIFY(!win.isEmpty());
    qint64 winners = 0;
    for (const QJsonValue &bin : win) {
        const QJsonObject b = bin.toObject();
        for (const char16_t *key : {u"count", u"predicted", u"observed", u"low", u"high"})
            QVERIFY2(b.value(QStringView(key)).isDouble(), qPrintable(QString::fromUtf16(key)));
        QVERIFY(b.value(u"low").toDouble() <= b.value(u"observed").toDouble());
        QVERIFY(b.value(u"observed").toDouble() <= b.value(u"high").toDouble());
        winners += b.value(u"hits").toInteger();
    }
    QVERIFY(winners >= 1);
    QVERIFY(run({QStringLiteral("backtest"), QStringLiteral("--calibration"), folder}).out.contains(u16(u"較正")));
}

void TestCli::show()
{
    const Run r = run({QStringLiteral("show"), m_race});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.out.split(u'\n');
    QCOMPARE(lines.mid(0, 5),
             (QStringList {u16(u"開催 東京   第 3回  5日"), u16(u"ﾚｰｽ 11R ジャパンカップ"), u16(u"頭数 4"),
                           u16(u"発走時刻 15:35"), QString()}));

    // A table's row, its cells separated by runs of spaces.
    auto row = [&lines](const QString &first, int skip = 0) {
        for (const QString &line : lines) {
            const QStringList cells = line.split(u' ', Qt::SkipEmptyParts);
            if (!cells.isEmpty() && cells[0] == first && skip-- == 0)
                return cells;
        }
        return QStringList();
    };
    QCOMPARE(row(u16(u"人気")),
             (QStringList {u16(u"人気"), u16(u"判定"), u16(u"単馬番"), u16(u"単勝人気順　馬名"), u16(u"単ｵｯｽﾞ"),
                           u16(u"支持率"), u16(u"単：複")}));
    QCOMPARE(row(QStringLiteral("1")),
             (QStringList {QStringLiteral("1"), QStringLiteral("1"), u16(u"アルファ"), QStringLiteral("2.5"),
                           QStringLiteral("0.320"), QStringLiteral("2.883")}));
    QCOMPARE(row(QStringLiteral("1"), 1),
             (QStringList {QStringLiteral("1"), QStringLiteral("3"), u16(u"ﾁｬｰﾘｰ"), QStringLiteral("1.2"),
                           QStringLiteral("1.6"), QStringLiteral("1.40"), QStringLiteral("0.190")}));
    QCOMPARE(row(u16(u"馬連")),
             (QStringList {u16(u"馬連"), u16(u"理論値"), u16(u"実際値"), u16(u"乖離％"), u16(u"支持率"), u16(u"判定"),
                           u16(u"人気"), u16(u"差")}));

    // Both grids, head row first, in the rows' order.
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, m_race));
    for (const TextGrid *grid : {&sheet.grdUmaRen, &sheet.grdWide}) {
        const QString headFirst = grid->cell(0, 0).trimmed();
        qsizetype at = 0;
        while (at < lines.size() && !lines[at].trimmed().startsWith(headFirst))
            ++at;
        QVERIFY2(at < lines.size(), qPrintable(headFirst));
        QCOMPARE(grid->rows(), 7);
        for (int r = 0; r < grid->rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < 8; ++c)
                cells << grid->cell(r, c);
            QCOMPARE(lines.value(at + r).split(u' ', Qt::SkipEmptyParts),
                     cells.join(u' ').split(u' ', Qt::SkipEmptyParts));
        }
        QCOMPARE(lines.value(at + 7), QString());
    }
    QCOMPARE(row(QStringLiteral("1-")).mid(0, 3),
             (QStringList {QStringLiteral("1-"), QStringLiteral("2"), QStringLiteral("5.5")}));

    const qsizetype kaime = lines.indexOf(u16(u"推奨買い目"));
    QVERIFY(kaime > 0);
    for (qsizetype k = 0; k < sheet.lstKaime.size(); ++k)
        QCOMPARE(lines.value(kaime + 1 + k), QStringLiteral("  ") + sheet.lstKaime[k]);
    const qsizetype result = lines.indexOf(u16(u"競争結果"));
    QCOMPARE(result, kaime + sheet.lstKaime.size() + 2);
    QCOMPARE(lines.size(), result + 1 + 38 + 1); // the output ends with a line end
    QCOMPARE(lines.value(result + 1), u16(u"  競争成績"));
    QCOMPARE(lines.value(result + 28), QStringLiteral("   1- 3      300"));
}

// Horse 3 scratched; umaren 1-2 at 0.0 has no deviation.  The deviations
// are those of tests/data/golden_race.csv: umaren 1-4 +63.7 "×", 2-4 -103.7
// "△"; wide 1-2 -6.2, 1-4 -67.5 "△", 2-4 +44.8 "×".
void TestCli::showMatrix()
{
    RaceFiles race;
    const QString scratched = u16(u"ﾄﾘｹｼ");
    race.horses = {horse("2.5", "1.8", "3.0", u16(u"アルファ")),
                   horse("5.0", "1.5", "2.5", QStringLiteral("Bravo")),
                   {scratched, scratched, scratched, u16(u"チャーリー")},
                   horse("8.0", "1.2", "1.6", u16(u"ﾃﾞﾙﾀ"))};
    const RaceFiles::Pair out {scratched, scratched, scratched};
    race.pairs = {pair("0.0", "5.0", "9.0"), out, pair("25.0", "2.0", "4.0"), out, pair("10.0", "6.0", "9.0"), out};
    const QString path = race.write(newFolder());

    const Run plain = run({QStringLiteral("show"), path});
    const Run r = run({QStringLiteral("show"), QStringLiteral("--matrix"), path});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);
    // The matrix comes after what show prints, which stays as it was.
    QVERIFY(r.out.startsWith(plain.out));
    QVERIFY(!plain.out.contains(u16(u"ﾏﾄﾘｸｽ")));
    const QStringList lines = r.out.mid(plain.out.size()).split(u'\n');
    QCOMPARE(lines.value(0), QString());
    QCOMPARE(lines.value(1), u16(u"ﾏﾄﾘｸｽ 右上 馬連・左下 ﾜｲﾄﾞ 乖離％"));
    // Blank cells leave a gap only: umaren 1-2 on the row of horse 1.
    QCOMPARE(lines.mid(2, 6).join(u'\n').simplified(),
             u16(u"馬番 1 2 3 4 人気 1 2 ﾄﾘｹｼ 3 1 \\ -- +64× 2 -6 \\ -- -104△ 3 -- -- \\ -- 4 -68△ +45× -- \\"));
    QCOMPARE(lines.size(), 9); // the output ends with a line end
}

// --place adds 複理論 to the place table and changes nothing else; the
// option alone leaves show as it was.  Eight runners pay three places, so
// the prices' chances, 0.8 over them, add up to 3; four pay none.
void TestCli::showPlace()
{
    RaceFiles race;
    const char *odds[] = {"2.0", "4.0", "5.0", "8.0", "10.0", "16.0", "20.0", "40.0"};
    for (const char *o : odds)
        race.horses.append(horse(o, "1.0", "2.0", QStringLiteral("H%1").arg(race.horses.size() + 1)));
    const QString path = race.write(newFolder());

    const QString settings = m_dir.filePath(QStringLiteral("place.ini"));
    QVERIFY(writeAll(settings, "[Option]\nShowPlacePrice=True\n"));
    const Run plain = run({QStringLiteral("show"), path});
    QCOMPARE(plain.exitCode, 0);
    QVERIFY(!plain.out.contains(u16(u"複理論")));
    QCOMPARE(run({QStringLiteral("show"), path}, QString(), settings).out, plain.out);

    const Run r = run({QStringLiteral("show"), path, QStringLiteral("--place")});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);
    QStringList plainLines = plain.out.split(u'\n');
    const QStringList lines = r.out.split(u'\n');
    QCOMPARE(lines.size(), plainLines.size());
    const qsizetype head = plainLines.indexOf(QRegularExpression(u16(u"^ *人気 +複馬番.*")));
    QVERIFY(head > 0);
    double chances = 0.0;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        if (k < head || k > head + 8) {
            QCOMPARE(lines[k], plainLines[k]);
            continue;
        }
        const QStringList cells = lines[k].split(u' ', Qt::SkipEmptyParts);
        QCOMPARE(cells.mid(0, 7), plainLines[k].split(u' ', Qt::SkipEmptyParts));
        QCOMPARE(cells.size(), 8);
        if (k == head) {
            QCOMPARE(cells[7], u16(u"複理論"));
            continue;
        }
        QVERIFY2(QRegularExpression(QStringLiteral("^[0-9]+\\.[0-9]$")).match(cells[7]).hasMatch(),
                 qPrintable(cells[7]));
        chances += 0.8 / cells[7].toDouble();
    }
    // Each price is rounded to 0.1, so the sum is near 3 only.  Horse 1, the
    // favourite at 2.0, has a 0.829 chance of the first three under Harville.
    QVERIFY2(std::fabs(chances - 3.0) < 0.1, qPrintable(QString::number(chances)));
    QVERIFY(r.out.contains(QRegularExpression(u16(u"\n +1 +1 +H1 +1\\.0 +2\\.0 +1\\.50 +0\\.178 +1\\.0\n"))));

    // Four runners: the column stands, blank.
    const Run four = run({QStringLiteral("show"), m_race, QStringLiteral("--place")});
    QCOMPARE(four.exitCode, 0);
    const QStringList fourLines = four.out.split(u'\n');
    const qsizetype fourHead = fourLines.indexOf(QRegularExpression(u16(u"^ *人気 +複馬番.*複理論$")));
    QVERIFY(fourHead > 0);
    QCOMPARE(fourLines[fourHead + 1].split(u' ', Qt::SkipEmptyParts).size(), 7);
}

void TestCli::list()
{
    const QString folder = newFolder();
    RaceFiles later = sampleRace();
    later.header.raceNo = QStringLiteral(" 9");
    later.header.raceName = QStringLiteral("Later");
    later.write(folder, QStringLiteral("0101A.jra"));
    RaceFiles earlier = sampleRace();
    earlier.header.raceNo = QStringLiteral(" 2");
    earlier.write(folder, QStringLiteral("0101B.jra"));
    QVERIFY(writeAll(folder + QStringLiteral("/notes.txt"), "not a race"));

    const QString heading = u16(u"No\t場名\t開催\tﾚｰｽ\tﾚｰｽ名\t頭数\t条件\tﾌｧｲﾙ名");
    const Run r = run({QStringLiteral("list"), folder});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.out.split(u'\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], heading);
    QCOMPARE(lines[3], QString());
    const QStringList first = lines[1].split(u'\t');
    const QStringList second = lines[2].split(u'\t');
    QCOMPARE(first.size(), 8);
    QCOMPARE(second.size(), 8);
    QCOMPARE(first[0], QStringLiteral("1"));
    QCOMPARE(first[2], u16(u"第3回 5日"));
    QCOMPARE(first[3], QStringLiteral("2R"));
    QCOMPARE(first[7], QStringLiteral("Zo-0101B.jra"));
    QCOMPARE(second[0], QStringLiteral("2"));
    QCOMPARE(second[3], QStringLiteral("9R"));
    QCOMPARE(second[4].trimmed(), QStringLiteral("Later"));
    QCOMPARE(second[7], QStringLiteral("Zo-0101A.jra"));

    // Without a folder: the PAT folder of the settings.
    const QString ini = m_dir.filePath(QStringLiteral("patfolder.ini"));
    SetSettingsFile(ini);
    SetPatFolder(folder);
    SetSettingsFile(m_settings);
    const Run fromSettings = run({QStringLiteral("list")}, QString(), ini);
    QCOMPARE(fromSettings.exitCode, 0);
    QCOMPARE(fromSettings.out, r.out);

    const Run missing = run({QStringLiteral("list"), folder + QStringLiteral("/nowhere")});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY(missing.out.isEmpty());
}

void TestCli::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutStart");
    QTest::addColumn<QString>("stderrStart");

    const QString usage = QStringLiteral("usage: minukuru-cli [--settings FILE] COMMAND");
    QTest::newRow("--help") << QStringList {QStringLiteral("--help")} << 0 << usage << QString();
    QTest::newRow("-h") << QStringList {QStringLiteral("-h")} << 0 << usage << QString();
    QTest::newRow("help") << QStringList {QStringLiteral("help")} << 0 << usage << QString();
    QTest::newRow("export --help") << QStringList {QStringLiteral("export"), QStringLiteral("--help")} << 0
                                   << QStringLiteral("usage: minukuru-cli export RACE_FILE") << QString();
    QTest::newRow("show --help") << QStringList {QStringLiteral("show"), QStringLiteral("--help")} << 0
                                 << QStringLiteral("usage: minukuru-cli show RACE_FILE") << QString();
    QTest::newRow("list --help") << QStringList {QStringLiteral("list"), QStringLiteral("--help")} << 0
                                 << QStringLiteral("usage: minukuru-cli list [FOLDER]") << QString();
    QTest::newRow("--version") << QStringList {QStringLiteral("--version")} << 0
                               << QStringLiteral("minukuru-cli %1\n").arg(QStringLiteral(MINUKURU_VERSION))
                               << QString();
    QTest::newRow("--settings ''") << QStringList {QStringLiteral("--settings"), QString(), QStringLiteral("list")} << 2
                                   << QString() << QStringLiteral("minukuru-cli list: --settings needs a file name");
    QTest::newRow("export -o ''") << QStringList {QStringLiteral("export"), QStringLiteral("x"), QStringLiteral("-o"),
                                                  QString()}
                                  << 2 << QString() << QStringLiteral("minukuru-cli export: -o needs a file name");
    QTest::newRow("no command") << QStringList() << 2 << QString() << QStringLiteral("minukuru-cli: which command?");
    QTest::newRow("unknown command") << QStringList {QStringLiteral("print")} << 2 << QString()
                                     << QStringLiteral("minukuru-cli: unknown command print");
    QTest::newRow("unknown option") << QStringList {QStringLiteral("--verbose"), QStringLiteral("list")} << 2
                                    << QString() << QStringLiteral("minukuru-cli: unknown option --verbose");
    QTest::newRow("--settings without file") << QStringList {QStringLiteral("--settings")} << 2 << QString()
                                             << QStringLiteral("minukuru-cli: --settings needs a file name");
    QTest::newRow("export without race") << QStringList {QStringLiteral("export")} << 2 << QString()
                                         << QStringLiteral("minukuru-cli export: which race file?");
    QTest::newRow("export -o without file")
        << QStringList {QStringLiteral("export"), QStringLiteral("x"), QStringLiteral("-o")} << 2 << QString()
        << QStringLiteral("minukuru-cli export: -o needs");
    QTest::newRow("show two races") << QStringList {QStringLiteral("show"), QStringLiteral("a"), QStringLiteral("b")}
                                    << 2 << QString() << QStringLiteral("minukuru-cli show: give one race file");
    QTest::newRow("--encoding latin-1") << QStringList {QStringLiteral("export"), QStringLiteral("x"),
                                                        QStringLiteral("--encoding"), QStringLiteral("latin-1")}
                                        << 2 << QString()
                                        << QStringLiteral("minukuru-cli export: --encoding needs sjis or utf-8");
    QTest::newRow("--encoding without value")
        << QStringList {QStringLiteral("backtest"), QStringLiteral("--encoding")} << 2 << QString()
        << QStringLiteral("minukuru-cli backtest: --encoding needs sjis or utf-8");
    QTest::newRow("--encoding on show") << QStringList {QStringLiteral("show"), QStringLiteral("x"),
                                                        QStringLiteral("--encoding"), QStringLiteral("utf-8")}
                                        << 2 << QString()
                                        << QStringLiteral("minukuru-cli show: unknown option --encoding");
}

void TestCli::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutStart);
    QFETCH(QString, stderrStart);
    const Run r = run(args);
    QCOMPARE(r.exitCode, exitCode);
    if (stdoutStart.isEmpty())
        QCOMPARE(r.out, QString());
    else
        QVERIFY2(r.out.startsWith(stdoutStart), qPrintable(r.out));
    if (stderrStart.isEmpty()) {
        QCOMPARE(r.err, QString());
    } else {
        QVERIFY2(r.err.startsWith(stderrStart), qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("usage: minukuru-cli")));
    }
}

void TestCli::settingsFile_data()
{
    QTest::addColumn<QString>("option"); // "" for none; "=" for the --settings=FILE form
    QTest::addColumn<bool>("environmentDetect2");
    QTest::addColumn<bool>("marked");

    QTest::newRow("defaults") << QString() << false << false;
    QTest::newRow("MINUKURU_SETTINGS") << QString() << true << true;
    QTest::newRow("--settings FILE") << QStringLiteral(" ") << false << true;
    QTest::newRow("--settings=FILE") << QStringLiteral("=") << false << true;
    QTest::newRow("--settings over MINUKURU_SETTINGS") << QStringLiteral("defaults") << true << false;
    QTest::newRow("--settings after the command, -- before the race") << QStringLiteral("after") << false << true;
}

// DetectVal 2 puts "★" against horses 1 and 3 (win ranks 1 and 3).
void TestCli::settingsFile()
{
    QFETCH(QString, option);
    QFETCH(bool, environmentDetect2);
    QFETCH(bool, marked);

    const QString out = newFolder() + QStringLiteral("/out.csv");
    QStringList args;
    if (option == u" ")
        args << QStringLiteral("--settings") << m_detect2;
    else if (option == u"=")
        args << QStringLiteral("--settings=") + m_detect2;
    else if (option == u"defaults")
        args << QStringLiteral("--settings") << m_settings;
    if (option == u"after")
        args << QStringLiteral("export") << QStringLiteral("-o") << out << QStringLiteral("--settings") << m_detect2
             << QStringLiteral("--") << m_race;
    else
        args << QStringLiteral("export") << m_race << QStringLiteral("-o") << out;
    const Run r = run(args, QString(), environmentDetect2 ? m_detect2 : m_settings);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);

    const QByteArray bytes = readAll(out);
    const QByteArray star = QByteArray::fromHex("819a"); // "★" in Shift-JIS
    QCOMPARE(bytes.count(star), marked ? 2 : 0);
    if (marked) {
        SetSettingsFile(m_detect2);
        const QByteArray expected = exportInProcess(m_race);
        SetSettingsFile(m_settings);
        QCOMPARE(bytes, expected);
    } else {
        QCOMPARE(bytes, m_inProcess);
    }
}

// What stands where a race file should be: the reason comes first, then the
// program's read failure message, and the exit status is 1.
void TestCli::notARaceFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("no such file");
    QTest::newRow("FIFO") << QStringLiteral("fifo") << QStringLiteral("not a regular file (a FIFO)");
    QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("not a regular file (a folder)");
    QTest::newRow("link loop") << QStringLiteral("loop") << QString::fromLocal8Bit(std::strerror(ELOOP));
    QTest::newRow("name not UTF-8") << QStringLiteral("latin1")
                                    << QStringLiteral("the file name is not valid UTF-8 and cannot be opened");
}

void TestCli::notARaceFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString folder = newFolder();
    QByteArray path = QFile::encodeName(folder + QStringLiteral("/Zo-0101A.jra"));
    if (kind == u"fifo")
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    else if (kind == u"folder")
        QVERIFY(QDir().mkpath(QFile::decodeName(path)));
    else if (kind == u"loop")
        QCOMPARE(::symlink(path.constData(), path.constData()), 0);
    if (kind == u"latin1") {
        // A real race under a name Qt cannot hold.
        path = QFile::encodeName(folder) + "/Zo-\xe9t\xe9.jra";
        QCOMPARE(::link(QFile::encodeName(m_race).constData(), path.constData()), 0);
    }

    // The name goes to the program as bytes, as a shell passes it.
    QString escaped;
    for (const char c : path) {
        if (QChar::isLetterOrNumber(uchar(c)) && uchar(c) < 0x80)
            escaped += QLatin1Char(c);
        else
            escaped += QStringLiteral("\\0%1").arg(uint(uchar(c)), 3, 8, QLatin1Char('0'));
    }
    for (const char *command : {"export", "show"}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MINUKURU_SETTINGS"), m_settings);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"),
                       QStringLiteral("exec \"$0\" %1 \"$(printf '%b' '%2')\"").arg(QLatin1String(command), escaped),
                       QStringLiteral(MINUKURU_CLI_PATH)});
        QVERIFY(process.waitForFinished(60000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(err.startsWith(QStringLiteral("minukuru-cli: ") + reason), qPrintable(err));
        QVERIFY2(err.endsWith(u16(u"ファイルの読み込みに失敗しました。\n")), qPrintable(err));
    }
    if (kind == u"latin1")
        ::unlink(path.constData()); // Qt cannot name it to remove it
}

// A race name holding an escape sequence and a tab: shown, never obeyed, and
// the list keeps one row a line with its columns.
void TestCli::controlCharactersStayVisible()
{
    RaceFiles race = sampleRace();
    race.header.raceName = QStringLiteral("\x1b]0;x\a\x1b[2J\tA");
    const QString folder = newFolder();
    const QString path = race.write(folder);

    const Run shown = run({QStringLiteral("show"), path});
    QCOMPARE(shown.exitCode, 0);
    QVERIFY(!shown.out.contains(QChar(0x1b)) && !shown.out.contains(u'\a') && !shown.out.contains(u'\t'));
    QVERIFY2(shown.out.contains(QStringLiteral("^[]0;x^G^[[2J^IA")), qPrintable(shown.out));

    const Run listed = run({QStringLiteral("list"), folder});
    QCOMPARE(listed.exitCode, 0);
    const QStringList lines = listed.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[1].count(u'\t'), lines[0].count(u'\t'));
    QVERIFY(!listed.out.contains(QChar(0x1b)));
}

void TestCli::listLeavesOutWithAReason()
{
    const QString folder = newFolder();
    sampleRace().write(folder);
    const QByteArray odd = QFile::encodeName(folder) + "/Zo-\xff.jra";
    QVERIFY(::link(QFile::encodeName(m_race).constData(), odd.constData()) == 0);
    const Run r = run({QStringLiteral("list"), folder});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.count(u'\n'), 2);
    QVERIFY2(r.err.startsWith(QStringLiteral("minukuru-cli: 1 race file(s) left out")), qPrintable(r.err));
    ::unlink(odd.constData()); // Qt cannot name it to remove it

    // A folder this user may not read: say so, exit 1.
    QVERIFY(QFile::setPermissions(folder, QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const Run denied = runUnprivileged({QStringLiteral("list"), folder});
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    if (denied.exitCode == kCannotDropRoot)
        QSKIP("running as root and cannot switch to an unprivileged user");
    if (denied.exitCode == kCannotReach)
        QSKIP("an unprivileged user cannot reach the temporary folder");
    QCOMPARE(denied.exitCode, 1);
    QVERIFY2(denied.err.startsWith(QStringLiteral("minukuru-cli: ") + QString::fromLocal8Bit(std::strerror(EACCES))),
             qPrintable(denied.err));
}

// A settings file that is no regular file is named on standard error and
// the race is computed on the defaults; a pipe does not hang the program.
// A day as PAT files and as one file of JV-Data records: the same output,
// but the record file's key and odds lines of show; a file of many races
// needs --race, and says which keys it holds.
void TestCli::recordFiles()
{
    const QString work = newFolder();
    const QString pat = work + QStringLiteral("/pat");
    QVERIFY(QDir().mkpath(pat));
    RaceGen::MeetingOptions meeting;
    meeting.racesPerCourse = 2;
    const QList<RaceGen::GeneratedRace> races = RaceGen::GenerateMeeting(meeting);
    QByteArray records;
    for (const RaceGen::GeneratedRace &race : races) {
        QVERIFY(RaceGen::WriteRace(pat, race));
        records += RaceGen::JvRecordsOf(race);
    }
    QVERIFY(QDir().mkpath(work + QStringLiteral("/records")));
    const QString day = work + QStringLiteral("/records/day.txt");
    QVERIFY(RaceGen::WriteBytes(day, records));
    const RaceGen::GeneratedRace &race = races[1];
    const QString key = QString::fromLatin1(RaceGen::JvRecordsOf(race).mid(11, 16));
    const QString odds = pat + u'/' + RaceGen::OddsFileName(race);

    Run r = run({QStringLiteral("show"), day});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QString());
    QVERIFY(r.err.contains(key));
    QCOMPARE(r.err.count(QStringLiteral("\n  2026")), races.size());

    r = run({QStringLiteral("show"), day, QStringLiteral("--race"), key});
    QCOMPARE(r.exitCode, 0);
    const Run fromPat = run({QStringLiteral("show"), odds});
    QStringList lines = r.out.split(u'\n');
    QVERIFY(lines.size() > 8);
    QCOMPARE(lines[5], QStringLiteral(u"ﾚｰｽｷｰ ") + key);
    QVERIFY(lines[6].startsWith(QStringLiteral(u"ｵｯｽﾞ ")));
    lines.remove(5, 3);
    QCOMPARE(lines.join(u'\n'), fromPat.out);

    QCOMPARE(run({QStringLiteral("show"), odds, QStringLiteral("--race"), key}).exitCode, 2);
    QCOMPARE(run({QStringLiteral("show"), day, QStringLiteral("--race"), QStringLiteral("2026")}).exitCode, 2);
    r = run({QStringLiteral("show"), day, QStringLiteral("--race"), QStringLiteral("2026031505999901")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains(QStringLiteral("2026031505999901")));

    // A file of one race needs no --race; the CSV is the PAT race's.
    const QString one = work + QStringLiteral("/one.txt");
    QVERIFY(RaceGen::WriteBytes(one, RaceGen::JvRecordsOf(race)));
    r = run({QStringLiteral("export"), one}, work);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(run({QStringLiteral("export"), odds, QStringLiteral("-o"), work + QStringLiteral("/pat.csv")}).exitCode,
             0);
    QCOMPARE(readAll(work + QStringLiteral("/one_") + key + QStringLiteral(".csv")),
             readAll(work + QStringLiteral("/pat.csv")));

    // The backtest over the record file reports what it reports over the
    // folder, and by month besides: its races carry their date.
    const QString ledger = work + QStringLiteral("/ledger.csv");
    r = run({QStringLiteral("backtest"), QStringLiteral("--json"), QStringLiteral("--ledger"), ledger, day});
    QCOMPARE(r.exitCode, 0);
    QJsonObject fromRecords = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QJsonObject fromFolder =
        QJsonDocument::fromJson(run({QStringLiteral("backtest"), QStringLiteral("--json"), pat}).out.toUtf8()).object();
    QJsonObject breakdowns = fromRecords.value(u"breakdowns").toObject();
    const QJsonArray months = breakdowns.take(u"month").toArray();
    QCOMPARE(months.size(), 1);
    QCOMPARE(months[0].toObject().value(u"key").toString(), key.left(4) + u'-' + key.mid(4, 2));
    QCOMPARE(months[0].toObject().value(u"races").toInt(), fromFolder.value(u"races").toInt());
    QVERIFY(!fromFolder.value(u"breakdowns").toObject().contains(u"month"));
    fromRecords.insert(u"breakdowns", breakdowns);
    QCOMPARE(fromRecords, fromFolder);
    QVERIFY(QString::fromLatin1(readAll(ledger)).contains(QStringLiteral(" --race ")));
    r = run({QStringLiteral("fit"), QStringLiteral("--json"), work + QStringLiteral("/records")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, run({QStringLiteral("fit"), QStringLiteral("--json"), pat}).out);
}

void TestCli::refusedSettingsFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("byOption"); // --settings, else MINUKURU_SETTINGS
    QTest::addColumn<QString>("why");

    const QString notRegular = QStringLiteral("is not a regular file");
    QTest::newRow("folder, --settings") << QStringLiteral("folder") << true << notRegular;
    QTest::newRow("pipe, --settings") << QStringLiteral("fifo") << true << notRegular;
    QTest::newRow("pipe, MINUKURU_SETTINGS") << QStringLiteral("fifo") << false << notRegular;
    QTest::newRow("no temporary folder") << QStringLiteral("file") << true
                                         << QStringLiteral("cannot be copied to the temporary folder");
}

void TestCli::refusedSettingsFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, byOption);
    QFETCH(QString, why);

    const QString folder = newFolder();
    const QString settings = folder + QStringLiteral("/settings.ini");
    QString temporaryFolder;
    if (kind == u"folder") {
        QVERIFY(QDir().mkdir(settings));
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(settings).constData(), 0666), 0);
    } else {
        QVERIFY(QFile::copy(m_detect2, settings));
        temporaryFolder = m_race; // a file, where a folder should be
    }

    const QString out = folder + QStringLiteral("/out.csv");
    QStringList args {QStringLiteral("export"), m_race, QStringLiteral("-o"), out};
    if (byOption)
        args << QStringLiteral("--settings") << settings;
    const Run r = run(args, QString(), byOption ? m_settings : settings, temporaryFolder);
    QCOMPARE(r.err,
             QStringLiteral("minukuru-cli: settings file ") + settings + u' ' + why
                 + QStringLiteral("; using the defaults\n"));
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(readAll(out), m_inProcess);
}

// The backtest as a process: its JSON over the hand-checked races, the
// ledger, and the exit status of an empty run, an unreadable one and a
// ledger that cannot be written.
void TestCli::backtest()
{
    const QString folder = newFolder();
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());
    const QString ledger = newFolder() + QStringLiteral("/ledger.csv");
    const Run r = run({QStringLiteral("backtest"), QStringLiteral("--json"), folder, QStringLiteral("--ledger"), ledger});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(json.value(u"races"_s).toInt(), 5);
    QCOMPARE(json.value(u"failed"_s).toInt(), 1);
    QCOMPARE(json.value(u"skipped"_s).toInt(), 1);
    const QJsonObject umaren = json.value(u"recommended"_s).toObject().value(u"umaren"_s).toObject();
    QCOMPARE(umaren.value(u"return"_s).toInteger(), 5530);
    QCOMPARE(umaren.value(u"stake"_s).toInteger(), 400);
    QCOMPARE(umaren.value(u"max_drawdown"_s).toInteger(), 100);
    QCOMPARE(json.value(u"buckets"_s).toObject().value(u"wide"_s).toArray().size(), 22);
    QVERIFY(json.value(u"buckets"_s).toObject().value(u"wide"_s).toArray()[0].toObject().value(u"from"_s).isNull());
    QCOMPARE(json.value(u"failures"_s).toArray().size(), 1);
    QCOMPARE(readAll(ledger).count("\r\n"), 20); // a heading and 19 bets

    const QString empty = newFolder();
    const Run none = run({QStringLiteral("backtest"), QStringLiteral("--json"), empty});
    QCOMPARE(none.exitCode, 1);
    QCOMPARE(QJsonDocument::fromJson(none.out.toUtf8()).object().value(u"notes"_s).toArray().size(), 1);

    const QString broken = newFolder();
    QFile cut(broken + QStringLiteral("/Zo-0101A.jra"));
    QVERIFY(cut.open(QIODevice::WriteOnly) && cut.write("00") == 2);
    cut.close();
    QCOMPARE(run({QStringLiteral("backtest"), broken}).exitCode, 1);

    const QString fifo = newFolder() + QStringLiteral("/ledger.csv");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QCOMPARE(run({QStringLiteral("backtest"), folder, QStringLiteral("--ledger"), fifo}).exitCode, 1);
    QCOMPARE(run({QStringLiteral("backtest"), folder, QStringLiteral("--ledger"), QString()}).exitCode, 2);
}

// The fit's JSON, and --save storing what it printed, nothing without it.
void TestCli::fit()
{
    const QString samples = QStringLiteral(MINUKURU_SAMPLE_DIR);
    const Run r = run({QStringLiteral("fit"), QStringLiteral("--json"), samples});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(json.value(u"races"_s).toInt(), 26);
    QCOMPARE(json.value(u"unsettled"_s).toInt(), 10);
    for (const char *key : {"lambda2", "lambda3", "lambda2_se", "lambda3_se", "power", "power_se"})
        QVERIFY2(json.value(QLatin1StringView(key)).toDouble() > 0.0, key);
    const QJsonArray holdout = json.value(u"holdout"_s).toArray();
    QCOMPARE(holdout.size(), 3);
    QCOMPARE(holdout[2].toObject().value(u"model"_s).toString(), u"discount_fitted"_s);
    QCOMPARE(holdout[2].toObject().value(u"races"_s).toInt(), 5);
    QVERIFY(holdout[0].toObject().value(u"loglik_per_race"_s).toDouble() < 0.0);
    QVERIFY(!QFile::exists(m_settings));

    const QString ini = newFolder() + QStringLiteral("/fit.ini");
    const Run saved = run({QStringLiteral("fit"), QStringLiteral("--save"), samples}, QString(), ini);
    QCOMPARE(saved.exitCode, 0);
    SetSettingsFile(ini);
    QCOMPARE(Settings::DiscountLambda2().get(), json.value(u"lambda2"_s).toDouble());
    QCOMPARE(Settings::DiscountLambda3().get(), json.value(u"lambda3"_s).toDouble());
    QCOMPARE(Settings::WinPowerExponent().get(), json.value(u"power"_s).toDouble());
    QCOMPARE(Settings::WinProbability().get(), qint16(0)); // the method is the user's to choose
    SetSettingsFile(m_settings);

    QCOMPARE(
        run({QStringLiteral("fit"), QStringLiteral("--win-probability"), QStringLiteral("odds"), samples}).exitCode, 2);
    QCOMPARE(run({QStringLiteral("fit"), newFolder()}).exitCode, 1);

    // The backtest's conditions choose the races: the race numbers 1-6 of
    // the day, some of them unsettled.
    const Run some = run({QStringLiteral("fit"), QStringLiteral("--json"), QStringLiteral("--race-number"),
                          QStringLiteral("1-6"), samples});
    QCOMPARE(some.exitCode, 0);
    const QJsonObject part = QJsonDocument::fromJson(some.out.toUtf8()).object();
    QCOMPARE(part.value(u"excluded"_s).toInt(), 18);
    int leftOut = 0;
    for (const QJsonValue &count : part.value(u"left_out"_s).toObject())
        leftOut += count.toInt();
    QCOMPARE(part.value(u"races"_s).toInt() + part.value(u"unsettled"_s).toInt() + part.value(u"failed"_s).toInt()
                 + part.value(u"excluded"_s).toInt() + leftOut,
             part.value(u"read"_s).toInt());
    QCOMPARE(part.value(u"read"_s).toInt(), 36);
    QCOMPARE(run({QStringLiteral("fit"), QStringLiteral("--runners"), QStringLiteral("9-1"), samples}).exitCode, 2);
}

// Text that code page 932 lacks (a folder's name in the ledger, a mark) is
// written as "?", and a line on standard error says which; the exit status
// stays 0.
void TestCli::lostCharactersAreNamed()
{
    const QString folder = m_dir.filePath(u16(u"pat-é😀"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());
    const QString race = folder + QStringLiteral("/Zo-0101A.jra");
    const QString ledger = newFolder() + QStringLiteral("/ledger.csv");
    const Run backtest = run({QStringLiteral("backtest"), folder, QStringLiteral("--ledger"), ledger});
    QCOMPARE(backtest.exitCode, 0);
    QCOMPARE(backtest.err, Messages::unmappedSavedText(ledger, u16(u"é😀")) + u'\n');
    QVERIFY(readAll(ledger).contains("pat-??"));

    const QString marks = m_dir.filePath(QStringLiteral("marks.ini"));
    QString ini = QStringLiteral("[Option]\n");
    for (int level = 1; level <= 5; ++level)
        ini += QStringLiteral("AutoJudge\\%1DispCharUma=%2\nAutoJudge\\%1DispCharWide=%2\n").arg(level).arg(u16(u"😀"));
    QVERIFY(writeAll(marks, ini.toUtf8()));
    const QString csv = newFolder() + QStringLiteral("/race.csv");
    const Run file = run({QStringLiteral("export"), race, QStringLiteral("-o"), csv}, QString(), marks);
    QCOMPARE(file.exitCode, 0);
    QCOMPARE(file.err, Messages::unmappedSavedText(csv, u16(u"😀")) + u'\n');
    const Run out = run({QStringLiteral("export"), race, QStringLiteral("-o"), QStringLiteral("-")}, QString(), marks);
    QCOMPARE(out.exitCode, 0);
    QCOMPARE(out.err, Messages::unmappedWrittenText(u16(u"😀")) + u'\n');
    QCOMPARE(out.outBytes, readAll(csv));
}

// Exit status 1 with the reason of each path when no race was found, 0 when
// at least one race was read, settled or not.
// Every group has the same keys; conditions restrict the run and are named
// in the report; the seed makes the intervals.
void TestCli::backtestConditionsAndIntervals()
{
    const QString folder = newFolder();
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());
    const Run plain = run({QStringLiteral("backtest"), QStringLiteral("--json"), QStringLiteral("--models"), folder});
    QCOMPARE(plain.exitCode, 0);
    const QJsonObject json = QJsonDocument::fromJson(plain.out.toUtf8()).object();
    const QStringList groupKeys {u"bets"_s,      u"hits"_s,         u"stake"_s,
                                 u"return"_s,    u"hit_rate"_s,     u"roi"_s,
                                 u"profit"_s,    u"max_drawdown"_s, u"longest_losing_run"_s,
                                 u"tentative"_s, u"roi_ci"_s,       u"hit_rate_ci"_s};
    const QJsonObject all = json.value(u"recommended"_s).toObject().value(u"all"_s).toObject();
    const QJsonObject mark = json.value(u"marks"_s).toObject().value(u"wide"_s).toArray().first().toObject();
    const QJsonObject bucket = json.value(u"buckets"_s).toObject().value(u"umaren"_s).toArray().first().toObject();
    const QJsonObject harville = json.value(u"models"_s).toArray()[1].toObject();
    const QJsonObject own = harville.value(u"recommended"_s).toObject().value(u"all"_s).toObject();
    for (const QString &key : groupKeys) {
        for (const QJsonObject *group : {&all, &mark, &bucket, &own})
            QVERIFY2(group->contains(key), qPrintable(key));
    }
    QCOMPARE(all.value(u"roi"_s).toDouble(), 1382.5);
    QCOMPARE(all.value(u"longest_losing_run"_s).toInt(), 1);
    QVERIFY(all.value(u"tentative"_s).toBool());
    QCOMPARE(all.value(u"roi_ci"_s).toArray().size(), 2);
    QVERIFY(bucket.value(u"roi_ci"_s).isNull());
    QVERIFY(harville.value(u"umaren_race_logloss_vs_market_ci"_s).isArray());
    QVERIFY(harville.value(u"wide_race_logloss_vs_harville_ci"_s).isNull()); // itself
    QCOMPARE(harville.value(u"races_scored"_s).toObject().value(u"umaren"_s).toInt(), 2);
    QCOMPARE(json.value(u"breakdowns"_s).toObject().keys(),
             (QStringList {u"course"_s, u"favourite_odds"_s, u"popularity"_s, u"race_number"_s, u"runners"_s}));
    QVERIFY(json.value(u"conditions"_s).toObject().isEmpty());
    QCOMPARE(json.value(u"excluded"_s).toObject().value(u"total"_s).toInt(), 0);

    // The same seed gives the same intervals; none without resampling.
    const Run again = run({QStringLiteral("backtest"), QStringLiteral("--json"), QStringLiteral("--models"),
                           QStringLiteral("--seed"), QStringLiteral("1"), folder});
    QCOMPARE(again.out, plain.out);
    const Run off = run({QStringLiteral("backtest"), QStringLiteral("--json"), QStringLiteral("--resamples"),
                         QStringLiteral("0"), folder});
    const QJsonObject offAll = QJsonDocument::fromJson(off.out.toUtf8())
                                   .object()
                                   .value(u"recommended"_s)
                                   .toObject()
                                   .value(u"all"_s)
                                   .toObject();
    QVERIFY(offAll.value(u"roi_ci"_s).isNull());

    // The races hold four runners each: none has five or more.
    const Run none = run({QStringLiteral("backtest"), QStringLiteral("--json"), QStringLiteral("--runners"),
                          QStringLiteral("5-18"), QStringLiteral("--conditions"), u"２歳"_s, folder});
    QCOMPARE(none.exitCode, 0);
    const QJsonObject restricted = QJsonDocument::fromJson(none.out.toUtf8()).object();
    QCOMPARE(restricted.value(u"races"_s).toInt(), 1); // the race that cannot be read
    QCOMPARE(restricted.value(u"failed"_s).toInt(), 1);
    QCOMPARE(restricted.value(u"settled"_s).toInt(), 0);
    const QJsonObject excluded = restricted.value(u"excluded"_s).toObject();
    QCOMPARE(excluded.value(u"total"_s).toInt(), 4);
    QCOMPARE(excluded.value(u"runners"_s).toInt(), 4);
    QCOMPARE(excluded.value(u"conditions"_s).toInt(), 4);
    QCOMPARE(restricted.value(u"conditions"_s).toObject().value(u"runners"_s).toArray(), (QJsonArray {5, 18}));

    const Run text = run({QStringLiteral("backtest"), QStringLiteral("--runners"), QStringLiteral("4"),
                          QStringLiteral("--breakdowns"), folder});
    QVERIFY(text.out.startsWith(u"絞り込み: 頭数 4-4\n"_s));
    QVERIFY(text.out.contains(u"\n人気別 回収率\n"_s));
    QVERIFY(text.out.contains(u"条件外"_s));
}

void TestCli::backtestOptionErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("err");
    QTest::newRow("reversed range") << QStringList {u"--runners"_s, u"12-9"_s}
                                    << u"minukuru-cli backtest: --runners needs a range MIN-MAX, not 12-9"_s;
    QTest::newRow("no range") << QStringList {u"--favourite"_s, u"low"_s}
                              << u"minukuru-cli backtest: --favourite needs a range MIN-MAX, not low"_s;
    QTest::newRow("no course") << QStringList {u"--course"_s, u","_s}
                               << u"minukuru-cli backtest: --course needs course names"_s;
    QTest::newRow("resamples") << QStringList {u"--resamples"_s, u"-1"_s}
                               << u"minukuru-cli backtest: --resamples needs a number from 0 to 1000000"_s;
    QTest::newRow("seed") << QStringList {u"--seed"_s, u"x"_s}
                          << u"minukuru-cli backtest: --seed needs a whole number of 0 or more"_s;
    QTest::newRow("value missing") << QStringList {u"--race-number"_s}
                                   << u"minukuru-cli backtest: --race-number needs a range MIN-MAX"_s;
}

void TestCli::backtestOptionErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    const QString folder = newFolder();
    const Run r = run(QStringList {u"backtest"_s, folder} + args);
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.err.split(u'\n').first(), err);
}

void TestCli::backtestExitStatus_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<bool>("recursive");
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err"); // PATH stands for the folder

    const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
    QTest::newRow("no such folder") << QStringLiteral("none") << false << false << 1
                                    << QStringLiteral("minukuru-cli backtest: no such file or folder: PATH");
    QTest::newRow("empty folder") << QStringLiteral("empty") << false << false << 1
                                  << QStringLiteral("minukuru-cli backtest: no race file in the folder: PATH");
    QTest::newRow("unreadable folder") << QStringLiteral("locked") << false << true << 1
                                       << QStringLiteral("minukuru-cli backtest: ") + denied + u": PATH"_s;
    QTest::newRow("-r, an unreadable subfolder") << QStringLiteral("locked below") << true << true << 0 << QString();
    QTest::newRow("an unsettled race only") << QStringLiteral("unsettled") << false << false << 0 << QString();
    QTest::newRow("races, and a path that is none") << QStringLiteral("and none") << false << false << 0 << QString();
}

void TestCli::backtestExitStatus()
{
    QFETCH(QString, layout);
    QFETCH(bool, recursive);
    QFETCH(bool, unprivileged);
    QFETCH(int, exitCode);
    QFETCH(QString, err);

    QString folder = newFolder();
    QStringList args {QStringLiteral("backtest"), QStringLiteral("--json")};
    QString locked;
    if (layout == u"none") {
        folder += QStringLiteral("/none");
    } else if (layout == u"locked") {
        sampleRace().write(folder);
        locked = folder;
    } else if (layout == u"locked below") {
        sampleRace().write(folder);
        locked = folder + QStringLiteral("/sub");
        QVERIFY(QDir().mkpath(locked));
    } else if (layout == u"unsettled") {
        BacktestRaces::fourHorses().write(folder);
    } else if (layout == u"and none") {
        sampleRace().write(folder);
        args << folder + QStringLiteral("/none");
    }
    if (recursive)
        args << QStringLiteral("-r");
    args << folder;
    if (!locked.isEmpty())
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const Run r = unprivileged ? runUnprivileged(args) : run(args);
    if (!locked.isEmpty())
        QVERIFY(
            QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    if (unprivileged && r.exitCode == kCannotDropRoot)
        QSKIP("running as root and cannot switch to an unprivileged user");
    if (unprivileged && r.exitCode == kCannotReach)
        QSKIP("an unprivileged user cannot reach the temporary folder");

    QCOMPARE(r.exitCode, exitCode);
    err.replace(QStringLiteral("PATH"), folder);
    QCOMPARE(r.err, err.isEmpty() ? err : err + u'\n');
    const QJsonObject json = QJsonDocument::fromJson(r.outBytes).object();
    QVERIFY(!json.isEmpty());
    if (layout == u"locked below")
        QVERIFY(json.value(u"notes"_s)
                    .toArray()
                    .contains(u"folder cannot be read (%1): %2"_s.arg(QString::fromLocal8Bit(std::strerror(EACCES)),
                                                                      locked)));
}

// A ledger that would replace one of the races' files is refused before the
// run: no report, the file as it was.
void TestCli::backtestLedgerSparesTheRaces()
{
    const QString folder = newFolder();
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());
    const QString race = folder + QStringLiteral("/Zo-0101A.jra");
    const QByteArray before = readAll(race);
    const QString elsewhere = newFolder() + QStringLiteral("/ledger.csv");
    QCOMPARE(::symlink(QFile::encodeName(race).constData(), QFile::encodeName(elsewhere).constData()), 0);

    for (const QString &ledger : {race, elsewhere}) {
        const Run r = run({QStringLiteral("backtest"), folder, QStringLiteral("--ledger"), ledger});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QString());
        QCOMPARE(r.err,
                 u"minukuru-cli backtest: "_s
                     + u16(u"%1 は開いているレースのファイルなので、上書きしませんでした。").arg(ledger) + u"\n"_s
                     + u16(u"ファイルの保存に失敗しました。\n"));
        QCOMPARE(readAll(race), before);
    }
}

QTEST_GUILESS_MAIN(TestCli)
// The marks of a race's pairs as a loaded sheet shows them, by bet type and pair.
QMap<QString, QString> marksOf(const QString &race)
{
    RaceSheet sheet;
    QMap<QString, QString> marks;
    if (!LoadRace(sheet, race))
        return marks;
    for (const auto &[grid, type] : {std::pair {&sheet.grdUmaRen, u"馬連"}, std::pair {&sheet.grdWide, u"ﾜｲﾄﾞ"}}) {
        for (int r = 1; r < grid->rows(); ++r)
            marks.insert(QString::fromUtf16(type) + u' ' + grid->cell(r, PairLabel).trimmed(),
                         grid->cell(r, PairMark).trimmed());
    }
    return marks;
}

void TestCli::watch()
{
    const QString folder = newFolder();
    const QString race = sampleRace().write(folder);
    RaceFiles moved = sampleRace();
    moved.pairs[0].umaren = QStringLiteral("60.0");
    moved.pairs[3].wideMin = QStringLiteral("9.0");
    moved.pairs[3].wideMax = QStringLiteral("12.0");

    // The lines the marks that change should give, worked out in process.
    const QMap<QString, QString> before = marksOf(race);
    const QString stage = newFolder();
    const QMap<QString, QString> after = marksOf(moved.write(stage));
    QStringList changes;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const QString now = after.value(it.key());
        if (now != it.value())
            changes.append(it.key() + u' ' + (it.value().isEmpty() ? QStringLiteral("-") : it.value()) + u"→"_s
                           + (now.isEmpty() ? QStringLiteral("-") : now));
    }
    QVERIFY2(!changes.isEmpty(), "the rewrite should change a mark");

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MINUKURU_SETTINGS"), m_settings);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(MINUKURU_CLI_PATH),
                  {QStringLiteral("watch"), race, QStringLiteral("--count"), QStringLiteral("2")});
    QByteArray out;
    const auto outputHas = [&](const QString &text) {
        out += process.readAllStandardOutput();
        return QString::fromUtf8(out).contains(text);
    };
    QTRY_VERIFY_WITH_TIMEOUT(outputHas(u16(u"推奨買い目")), 60000);

    moved.write(folder);
    QTRY_VERIFY_WITH_TIMEOUT(outputHas(QStringLiteral(" reload 1 ")), 60000);
    // A file that stays cut short: a failure line, not counted, no message.
    QFile zo(race);
    QVERIFY(zo.open(QIODevice::WriteOnly | QIODevice::Truncate));
    zo.write("Z");
    zo.close();
    QTRY_VERIFY_WITH_TIMEOUT(outputHas(u16(u" ｵｯｽﾞ更新失敗 ")), 60000);
    sampleRace().write(folder);
    QVERIFY(process.waitForFinished(60000));
    out += process.readAllStandardOutput();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    const QStringList lines = QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].startsWith(u16(u"推奨買い目 ")));
    const QString first = lines[1];
    QVERIFY2(first.contains(QStringLiteral(" reload 1 ")), qPrintable(first));
    for (const QString &change : changes)
        QVERIFY2(first.contains(change), qPrintable(first + u" / "_s + change));
    // Back to the first odds: every change undone.
    const QString second = lines.last();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d reload 2 ")).match(second).hasMatch());
    QCOMPARE(second.count(u"→"_s), changes.size());
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), QString());

    // A race that cannot be read at the start.
    const Run missing = run({QStringLiteral("watch"), folder + QStringLiteral("/Zo-none.jra"),
                             QStringLiteral("--count"), QStringLiteral("1")});
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(run({QStringLiteral("watch"), race, QStringLiteral("--count"), QStringLiteral("0")}).exitCode, 2);
}

void TestCli::watchStopsOnInterrupt()
{
    const QString race = sampleRace().write(newFolder());
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MINUKURU_SETTINGS"), m_settings);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(MINUKURU_CLI_PATH), {QStringLiteral("watch"), race});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).contains("\n"), 60000);
    // A pipe renamed over the race is refused, not waited on.
    const QByteArray fifo = QFile::encodeName(race) + ".fifo";
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    QCOMPARE(::rename(fifo.constData(), QFile::encodeName(race).constData()), 0);
    QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).contains("not a regular file (a FIFO)"), 60000);
    QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

#include "test_cli.moc"

namespace {

// What a UTF-8 file must hold: the byte-order mark, then exactly the text of
// the Shift-JIS file.
QByteArray asUtf8(const QByteArray &shiftJis)
{
    return QByteArrayLiteral("\xEF\xBB\xBF") + Cp932::decode(shiftJis).toUtf8();
}

} // namespace

void TestCli::encoding_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("utf8Settings"); // CsvEncoding=1 in the settings
    QTest::addColumn<bool>("toStandardOutput");
    QTest::addColumn<bool>("utf8");

    const QStringList utf8 {QStringLiteral("--encoding"), QStringLiteral("utf-8")};
    const QStringList sjis {QStringLiteral("--encoding"), QStringLiteral("sjis")};
    QTest::newRow("defaults") << QStringList() << false << false << false;
    QTest::newRow("defaults, -o -") << QStringList() << false << true << false;
    QTest::newRow("--encoding utf-8") << utf8 << false << false << true;
    QTest::newRow("--encoding utf-8, -o -") << utf8 << false << true << true;
    QTest::newRow("--encoding UTF-8 before the command")
        << QStringList {QStringLiteral("--encoding"), QStringLiteral("UTF-8"), QStringLiteral("--")} << false << false
        << true;
    QTest::newRow("CsvEncoding=1") << QStringList() << true << false << true;
    QTest::newRow("CsvEncoding=1, -o -") << QStringList() << true << true << true;
    QTest::newRow("--encoding sjis over CsvEncoding=1") << sjis << true << false << false;
}

// The option for the run, else the settings' key; a UTF-8 CSV is the
// Shift-JIS one's text behind a byte-order mark.
void TestCli::encoding()
{
    QFETCH(QStringList, options);
    QFETCH(bool, utf8Settings);
    QFETCH(bool, toStandardOutput);
    QFETCH(bool, utf8);

    const QString out = newFolder() + QStringLiteral("/out.csv");
    QStringList args = options;
    args << QStringLiteral("export") << m_race << QStringLiteral("-o")
         << (toStandardOutput ? QStringLiteral("-") : out);
    if (options.contains(QStringLiteral("--")))
        args = QStringList {options[0], options[1], QStringLiteral("export"), m_race, QStringLiteral("-o"), out};
    const Run r = run(args, QString(), utf8Settings ? m_utf8 : QString());
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);
    const QByteArray bytes = toStandardOutput ? r.outBytes : readAll(out);
    QCOMPARE(bytes, utf8 ? asUtf8(m_inProcess) : m_inProcess);
}

// The ledger as the CSV: the option, else the key.
void TestCli::ledgerEncoding()
{
    const QString folder = newFolder();
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());
    const auto ledgerOf = [&](const QStringList &options, const QString &settings) {
        return ledgerOfRun(folder, options, settings);
    };
    const QByteArray shiftJis = ledgerOf({}, QString());
    QVERIFY(shiftJis.contains(Cp932::encode(QStringLiteral(u"レースファイル"))));
    QCOMPARE(ledgerOf({QStringLiteral("--encoding"), QStringLiteral("sjis")}, m_utf8), shiftJis);
    const QByteArray utf8 = ledgerOf({QStringLiteral("--encoding"), QStringLiteral("utf-8")}, QString());
    QCOMPARE(utf8, asUtf8(shiftJis));
    QCOMPARE(ledgerOf({}, m_utf8), utf8);
}

// show --ev and backtest --ev add the 期待値 column and the ledger's two
// columns at the end, everything before them as without; the option in the
// settings gives the same, and a default run has none of them.
void TestCli::expectedValues()
{
    const QString withOption = m_dir.filePath(QStringLiteral("ev.ini"));
    SetSettingsFile(withOption);
    Settings::ShowExpectedValue().set(true);
    const QString withOptionOff = m_dir.filePath(QStringLiteral("ev-off.ini"));
    SetSettingsFile(withOptionOff);
    Settings::ShowExpectedValue().set(false);
    SetSettingsFile(m_settings);

    const Run plain = run({QStringLiteral("show"), m_race});
    const Run ev = run({QStringLiteral("show"), m_race, QStringLiteral("--ev")});
    QCOMPARE(ev.exitCode, 0);
    QVERIFY(!plain.out.contains(u16(u"期待値")));
    QCOMPARE(run({QStringLiteral("show"), m_race}, QString(), withOptionOff).out, plain.out);
    QCOMPARE(run({QStringLiteral("show"), m_race}, QString(), withOption).out, ev.out);
    const QStringList before = plain.out.split(u'\n');
    const QStringList after = ev.out.split(u'\n');
    QCOMPARE(after.size(), before.size());
    int grown = 0;
    for (qsizetype k = 0; k < before.size(); ++k) {
        QVERIFY2(after[k].startsWith(before[k]), qPrintable(after[k]));
        grown += after[k] != before[k];
    }
    QCOMPARE(grown, 2 + 2 * 6); // the two grids' head rows and their six pairs each
    const QStringList umarenHeads {u16(u"馬連"), u16(u"理論値"), u16(u"実際値"), u16(u"乖離％"), u16(u"支持率"),
                                   u16(u"判定"), u16(u"人気"),   u16(u"差"),     u16(u"期待値")};
    QVERIFY(std::any_of(after.begin(), after.end(),
                        [&](const QString &line) { return line.split(u' ', Qt::SkipEmptyParts) == umarenHeads; }));

    const QString folder = newFolder();
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());
    const auto ledgerOf = [&](const QStringList &options, const QString &settings) {
        return ledgerOfRun(folder, options, settings);
    };
    const QByteArray ledger = ledgerOf({}, QString());
    const QByteArray extended = ledgerOf({QStringLiteral("--ev")}, QString());
    QCOMPARE(ledgerOf({}, withOptionOff), ledger);
    QCOMPARE(ledgerOf({}, withOption), extended);
    const QList<QByteArray> lines = ledger.split('\n');
    const QList<QByteArray> longer = extended.split('\n');
    QCOMPARE(longer.size(), lines.size());
    QVERIFY(longer[0].endsWith(Cp932::encode(u16(u",\"確率\",\"期待値\"\r"))));
    for (qsizetype k = 1; k + 1 < lines.size(); ++k) {
        // q and EV after the bet's own fields: q in [0, 1], EV = q × price − 1 ≥ −1.
        QVERIFY(longer[k].startsWith(lines[k].chopped(1) + ','));
        const QList<QByteArray> added = longer[k].chopped(1).mid(lines[k].size()).split(',');
        QCOMPARE(added.size(), 2);
        bool ok = false;
        const double q = added[0].toDouble(&ok);
        QVERIFY(ok && q >= 0.0 && q <= 1.0);
        QVERIFY(added[1].isEmpty() || added[1].toDouble() >= -1.0);
    }
}

// backtest --staking: the report's staking table and JSON key, absent from
// a default run; the parameters' errors are wrong usage.
void TestCli::staking()
{
    const QString folder = newFolder();
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());
    const Run plain = run({QStringLiteral("backtest"), QStringLiteral("--json"), folder});
    QVERIFY(!QJsonDocument::fromJson(plain.out.toUtf8()).object().contains(u"staking"_s));
    QCOMPARE(run({QStringLiteral("backtest"), QStringLiteral("--json"), QStringLiteral("--staking"),
                  QStringLiteral("flat"), folder})
                 .out,
             plain.out);
    QVERIFY(!run({QStringLiteral("backtest"), folder}).out.contains(u16(u"資金運用")));

    const Run fraction = run({QStringLiteral("backtest"), QStringLiteral("--json"), QStringLiteral("--staking"),
                              QStringLiteral("fraction"), QStringLiteral("--bankroll"), QStringLiteral("50000"),
                              QStringLiteral("--fraction"), QStringLiteral("0.02"), QStringLiteral("--cap"),
                              QStringLiteral("0.1"), folder});
    QCOMPARE(fraction.exitCode, 0);
    const QJsonObject staking = QJsonDocument::fromJson(fraction.out.toUtf8()).object().value(u"staking"_s).toObject();
    QCOMPARE(staking.value(u"method"_s).toString(), QStringLiteral("fraction"));
    QCOMPARE(staking.value(u"bankroll"_s).toInteger(), 50000);
    QCOMPARE(staking.value(u"fraction"_s).toDouble(), 0.02);
    QCOMPARE(staking.value(u"cap"_s).toDouble(), 0.1);
    QCOMPARE(staking.value(u"final_bankroll"_s).toInteger(),
             50000 + staking.value(u"return"_s).toInteger() - staking.value(u"stake"_s).toInteger());
    for (const char16_t *key : {u"peak", u"max_drawdown", u"max_drawdown_percent", u"longest_losing_run",
                                u"races_staked", u"bets", u"kelly", u"exhausted_after"})
        QVERIFY2(staking.contains(QStringView(key)), qPrintable(QString::fromUtf16(key)));
    QVERIFY(staking.value(u"races_staked"_s).toInt() > 0);
    const Run text = run({QStringLiteral("backtest"), QStringLiteral("--staking"), QStringLiteral("kelly"), folder});
    QCOMPARE(text.exitCode, 0);
    QVERIFY(text.out.contains(u16(u"資金運用")));
    QVERIFY(text.out.contains(u16(u"ケリー ×0.25 上限5% 初期資金100,000円")));

    for (const QStringList &wrong :
         {QStringList {QStringLiteral("--staking"), QStringLiteral("half")},
          QStringList {QStringLiteral("--bankroll"), QStringLiteral("99")},
          QStringList {QStringLiteral("--fraction"), QStringLiteral("0")},
          QStringList {QStringLiteral("--kelly"), QStringLiteral("1.5")},
          QStringList {QStringLiteral("--cap"), QStringLiteral("x")}, QStringList {QStringLiteral("--cap")}}) {
        const Run r = run(QStringList {QStringLiteral("backtest"), folder} + wrong);
        QVERIFY2(r.exitCode == 2, qPrintable(wrong.join(u' ')));
        QVERIFY(r.err.contains(wrong.first()));
    }
}

void TestCli::messagesInOneLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("reason"); // of a missing race file
    QTest::addColumn<QString>("usage");  // how the usage begins

    const QString english = QStringLiteral("minukuru-cli: no such file: ");
    QTest::newRow("C") << QStringLiteral("C") << english << QStringLiteral("usage: minukuru-cli");
    QTest::newRow("en_US.UTF-8") << QStringLiteral("en_US.UTF-8") << english << QStringLiteral("usage: minukuru-cli");
    QTest::newRow("ja_JP.UTF-8") << QStringLiteral("ja_JP.UTF-8") << u16(u"minukuru-cli: ファイルが見つかりません: ")
                                 << u16(u"使い方: minukuru-cli");
}

// The program's own words follow the locale; the fixed message after them
// stays as it is in every locale.
void TestCli::messagesInOneLanguage()
{
    QFETCH(QString, locale);
    QFETCH(QString, reason);
    QFETCH(QString, usage);
    const auto restore = qScopeGuard([this] { m_locale = QStringLiteral("C.UTF-8"); });
    m_locale = locale;

    const QString missing = newFolder() + QStringLiteral("/Zo-0101A.jra");
    const Run r = run({QStringLiteral("show"), missing});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err.split(u'\n', Qt::SkipEmptyParts),
             QStringList({reason + missing, u16(u"ファイルの読み込みに失敗しました。")}));

    const Run help = run({QStringLiteral("backtest"), QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY2(help.out.startsWith(usage), qPrintable(help.out));
    const Run wrong = run({QStringLiteral("list"), QStringLiteral("a"), QStringLiteral("b")});
    QCOMPARE(wrong.exitCode, 2);
    QVERIFY2(wrong.err.section(u'\n', 1).startsWith(usage), qPrintable(wrong.err));
}
