// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/csv_file.h"

#include "backtest/ledger.h"
#include "common/messages.h"
#include "patdata/cp932.h"
#include "race/race_history.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"
#include "support/file_bytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

CsvFile sampleFile()
{
    CsvFile file;
    CsvLine line;
    line.addText(QStringLiteral(u"ミヌクル君Super"));
    line.addNumber(0.32f);
    file.addLine(line);
    return file;
}

// Outcome of a save made in a child process, as its exit code.
enum ChildResult { SavedWithoutError = 0, FailedWithError = 1, Inconsistent = 2, CannotDropRoot = 3 };

int saveResult(const CsvFile &file, const QString &path)
{
    QString error;
    const bool saved = file.save(path, &error);
    if (saved)
        return error.isEmpty() ? SavedWithoutError : Inconsistent;
    return error.isEmpty() ? Inconsistent : FailedWithError;
}

// Runs body in a child process and returns its exit code (-1 when it did not
// exit).  With unprivileged set, a child running as root gives up root first,
// since root passes every permission check.
int runInChild(bool unprivileged, const std::function<int()> &body)
{
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (unprivileged && geteuid() == 0) {
            [[maybe_unused]] const int ignored = setgid(65534); // may be refused; the modes below deny the group too
            if (setuid(65534) != 0)
                _exit(CannotDropRoot);
        }
        _exit(body());
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

QByteArray encoded(const QString &path) { return QFile::encodeName(path); }

} // namespace

Q_DECLARE_METATYPE(CsvLine)

class TestCsvFile : public QObject {
    Q_OBJECT

private slots:
    void fields_data();
    void fields();
    void savesExactBytes();
    void replacesExistingFile();
    void failsWithoutCreatingAnything_data();
    void failsWithoutCreatingAnything();
    void writesThroughLinks_data();
    void writesThroughLinks();
    void permissions_data();
    void permissions();
    void fileSizeLimitKeepsOldFile();
    void killedPartWayKeepsOldFile_data();
    void killedPartWayKeepsOldFile();
    void keepsOwner_data();
    void keepsOwner();
    void leftoversGoUnlessTheirSaveLives();
    void longNameSaves();
    void charactersWrittenAsQuestionMarks_data();
    void charactersWrittenAsQuestionMarks();
    void linesEncodedInTurn();
    void userFilesFollowTheEncodingInForce();
};

void TestCsvFile::fields_data()
{
    QTest::addColumn<CsvLine>("line");
    QTest::addColumn<QString>("text");

    auto texts = [](std::initializer_list<QString> fields) {
        CsvLine line;
        for (const QString &f : fields)
            line.addText(f);
        return line;
    };
    auto numbers = [](std::initializer_list<float> values) {
        CsvLine line;
        for (float v : values)
            line.addNumber(v);
        return line;
    };

    QTest::newRow("no field") << CsvLine() << QString();
    QTest::newRow("text keeps spaces") << texts({QStringLiteral(" 1- 2"), QStringLiteral(u"馬名　  ")})
                                       << QStringLiteral(u"\" 1- 2\",\"馬名　  \"");
    QTest::newRow("empty text") << texts({QString(), QString()}) << QStringLiteral("\"\",\"\"");
    QTest::newRow("quote doubled") << texts({QStringLiteral("a\"b\""), QStringLiteral(",")})
                                   << QStringLiteral("\"a\"\"b\"\"\",\",\"");
    QTest::newRow("numbers") << numbers({13.9f, 1.684f, 0.0f, -0.0f}) << QStringLiteral("13.9,1.684,0,0");

    CsvLine mixed;
    mixed.addInteger(1);
    mixed.addText(QStringLiteral(u"★"));
    mixed.addInteger(-18);
    mixed.addInteger(32767);
    mixed.addNumber(2.5f);
    QTest::newRow("mixed") << mixed << QStringLiteral(u"1,\"★\",-18,32767,2.5");

    CsvLine latin1;
    latin1.addText(QLatin1StringView("x\"y"));
    latin1.addWholeNumber(-9007199254740993);
    latin1.addText(QLatin1StringView(""));
    QTest::newRow("latin-1 text and a whole number") << latin1 << QStringLiteral("\"x\"\"y\",-9007199254740993,\"\"");

    // Longer than the line holds on the stack.
    CsvLine longLine;
    QString longText;
    for (int k = 0; k < 80; ++k) {
        longLine.addText(QStringLiteral(u"馬\""));
        longText += (k > 0 ? QStringLiteral(",") : QString()) + QStringLiteral(u"\"馬\"\"\"");
    }
    QTest::newRow("long line") << longLine << longText;
}

void TestCsvFile::fields()
{
    QFETCH(CsvLine, line);
    QFETCH(QString, text);
    QCOMPARE(line.text(), text);
}

void TestCsvFile::savesExactBytes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    CsvFile file;
    CsvLine title;
    title.addText(QStringLiteral(u"ミヌクル君Super"));
    title.addText(QStringLiteral("v0.10"));
    file.addLine(title);
    file.addEmptyLine();
    CsvLine row;
    row.addText(QStringLiteral(" 1- 2"));
    row.addText(QStringLiteral("say \"hi\""));
    for (float v : {0.32f, 5.0f, -29.9f, 99999.9f, 0.0000075f})
        row.addNumber(v);
    row.addInteger(18);
    file.addLine(row);
    file.addRawLine(QStringLiteral(u"推奨買い目"));
    CsvLine unmappable;
    unmappable.addText(QStringLiteral(u"¢😀"));
    file.addLine(unmappable);

    const QString path = dir.filePath(QStringLiteral("out.csv"));
    QString error;
    QVERIFY(file.save(path, &error));
    QVERIFY(error.isEmpty());

    const QByteArray expected = "\"" + QByteArray::fromHex("837e836b834e838b8c4e5375706572") + "\",\"v0.10\"\r\n"
        "\r\n"
        "\" 1- 2\",\"say \"\"hi\"\"\",0.32,5,-29.9,99999.9,0.0000075,18\r\n"
        + QByteArray::fromHex("90848fa7948382a296da") + "\r\n"
        "\"??\"\r\n";
    QCOMPARE(readAll(path), expected);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {QStringLiteral("out.csv")});
}

void TestCsvFile::replacesExistingFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    QVERIFY(writeAll(path, QByteArray(5000, 'x')));

    CsvFile file;
    file.addRawLine(QStringLiteral("short"));
    QVERIFY(file.save(path));
    QCOMPARE(readAll(path), QByteArray("short\r\n"));
    QVERIFY(file.save(path));
    QCOMPARE(readAll(path), QByteArray("short\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {QStringLiteral("out.csv")});
}

// clang-format off
void TestCsvFile::failsWithoutCreatingAnything_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<QString>("refusal"); // "": the system's message

    const QString notRegular = QStringLiteral(u"%1 は通常のファイルではないため、保存しませんでした。");
    const QString kept = QStringLiteral(u"%1 は開いているレースのファイルなので、上書きしませんでした。");
    QTest::newRow("path is a folder")                     << QStringLiteral("folder")                << QString();
    QTest::newRow("missing folder")                       << QStringLiteral("missing/out.csv")       << QString();
    QTest::newRow("folder path with a file in its place") << QStringLiteral("plain/out.csv")         << QString();
    QTest::newRow("named pipe")                           << QStringLiteral("pipe")                  << notRegular;
    QTest::newRow("link to a named pipe")                 << QStringLiteral("link-to-pipe")          << notRegular;
    QTest::newRow("character device")                     << QStringLiteral("device")                << notRegular;
    QTest::newRow("kept file")                            << QStringLiteral("kept")                  << kept;
    QTest::newRow("kept file by another spelling")        << QStringLiteral("./folder/.././kept")    << kept;
    QTest::newRow("link to a kept file")                  << QStringLiteral("link-to-kept")          << kept;
    QTest::newRow("link to a link to a kept file")        << QStringLiteral("link-to-link")          << kept;
    QTest::newRow("hard link to a kept file")             << QStringLiteral("hard-kept")             << kept;
}
// clang-format on

// Nothing is created, and nothing that is there is replaced: not a pipe or a
// device (the rename would leave a regular file in their place), not one of
// the files the caller keeps, by whatever name.
void TestCsvFile::failsWithoutCreatingAnything()
{
    QFETCH(QString, relativePath);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(writeAll(dir.filePath(QStringLiteral("plain")), "keep"));
    QVERIFY(writeAll(dir.filePath(QStringLiteral("kept")), "race file"));
    QVERIFY(::mkfifo(encoded(dir.filePath(QStringLiteral("pipe"))).constData(), 0666) == 0);
    QVERIFY(QFile::link(QStringLiteral("pipe"), dir.filePath(QStringLiteral("link-to-pipe"))));
    QVERIFY(QFile::link(QStringLiteral("kept"), dir.filePath(QStringLiteral("link-to-kept"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("link-to-kept")), dir.filePath(QStringLiteral("link-to-link"))));
    QVERIFY(::link(encoded(dir.filePath(QStringLiteral("kept"))).constData(),
                   encoded(dir.filePath(QStringLiteral("hard-kept"))).constData())
            == 0);
    if (relativePath == u"device") {
        // Like /dev/null: a write to it would succeed and go nowhere.
        const QByteArray device = encoded(dir.filePath(relativePath));
        if (::mknod(device.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("no permission to make a device node");
    }
    const QList<QByteArray> before = folderSnapshot(dir.path());

    const QString path = dir.filePath(relativePath);
    QString error;
    QVERIFY(!sampleFile().save(path, &error, {QString(), dir.filePath(QStringLiteral("kept"))}));
    if (refusal.isEmpty())
        QVERIFY(!error.isEmpty());
    else
        QCOMPARE(error, refusal.arg(path));

    QCOMPARE(folderSnapshot(dir.path()), before);
    QVERIFY(QDir(dir.filePath(QStringLiteral("folder"))).isEmpty());
}

// A link to an ordinary file is written through and stays a link; so is a
// link that leads nowhere yet.
void TestCsvFile::writesThroughLinks_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("link to a file") << true;
    QTest::newRow("link to nothing yet") << false;
}

void TestCsvFile::writesThroughLinks()
{
    QFETCH(bool, targetExists);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("target.csv"));
    const QString link = dir.filePath(QStringLiteral("link.csv"));
    if (targetExists)
        QVERIFY(writeAll(target, "old"));
    QVERIFY(QFile::link(target, link));

    QString error;
    QVERIFY2(sampleFile().save(link, &error, {dir.filePath(QStringLiteral("other"))}), qPrintable(error));
    QCOMPARE(readAll(target), readAll(link));
    QVERIFY(readAll(target).endsWith("0.32\r\n"));
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
}

void TestCsvFile::permissions_data()
{
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<int>("existingMode"); // 0: no file there
    QTest::addColumn<bool>("saved");

    // Where no temporary file can be made, the save fails rather than write
    // over the file in place (see killedPartWayKeepsOldFile).
    QTest::newRow("read-only folder, writable file") << false << 0666 << false;
    QTest::newRow("read-only folder, no file") << false << 0 << false;
    QTest::newRow("read-only folder, read-only file") << false << 0444 << false;
    QTest::newRow("writable folder, read-only file") << true << 0444 << false;
    QTest::newRow("writable folder, writable file") << true << 0666 << true;
}

void TestCsvFile::permissions()
{
    QFETCH(bool, folderWritable);
    QFETCH(int, existingMode);
    QFETCH(bool, saved);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Open to the unprivileged child; the folder under test is "target".
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
    const QString folder = dir.filePath(QStringLiteral("target"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("target")));
    const QString path = folder + QStringLiteral("/out.csv");
    const QByteArray old("old content that is longer than the new one\r\n");
    if (existingMode != 0) {
        QVERIFY(writeAll(path, old));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(existingMode)) == 0);
    }
    const QByteArray folderName = QFile::encodeName(folder);
    QVERIFY(::chmod(folderName.constData(), folderWritable ? 0777 : 0555) == 0);

    CsvFile file;
    file.addRawLine(QStringLiteral("new"));
    const int result = runInChild(true, [&] { return saveResult(file, path); });
    QVERIFY(::chmod(folderName.constData(), 0755) == 0); // lets the folder be removed
    if (result == CannotDropRoot)
        QSKIP("running as root and cannot switch to an unprivileged user");

    QCOMPARE(result, int(saved ? SavedWithoutError : FailedWithError));
    if (saved)
        QCOMPARE(readAll(path), QByteArray("new\r\n"));
    else if (existingMode != 0)
        QCOMPARE(readAll(path), old);
    const QStringList expectedEntries = (saved || existingMode != 0) ? QStringList {QStringLiteral("out.csv")}
                                                                     : QStringList();
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), expectedEntries);
}

// A write that fails part-way (here the process' file size limit, standing in
// for a full disk) leaves the old file whole and no temporary file behind.
void TestCsvFile::fileSizeLimitKeepsOldFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    QVERIFY(writeAll(path, "old\r\n"));

    CsvFile file;
    for (int i = 0; i < 2000; ++i) {
        CsvLine line;
        line.addText(QStringLiteral(u"馬名"));
        line.addNumber(float(i) / 7);
        file.addLine(line);
    }
    const int result = runInChild(false, [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit {1000, 1000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return int(Inconsistent);
        return saveResult(file, path);
    });
    QCOMPARE(result, int(FailedWithError));
    QCOMPARE(readAll(path), QByteArray("old\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList {QStringLiteral("out.csv")});
}

// A save killed part-way (the file size limit's signal, not ignored) leaves
// the old file whole, also where the folder takes no new file.
void TestCsvFile::killedPartWayKeepsOldFile_data()
{
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<int>("result");
    QTest::newRow("writable folder") << true << -1;
    QTest::newRow("read-only folder") << false << int(FailedWithError);
}

void TestCsvFile::killedPartWayKeepsOldFile()
{
    QFETCH(bool, folderWritable);
    QFETCH(int, result);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(::chmod(encoded(dir.path()).constData(), 0777) == 0);
    const QString folder = dir.filePath(QStringLiteral("target"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("target")));
    const QString path = folder + QStringLiteral("/out.csv");
    const QByteArray old = QByteArray("old,\"content\"\r\n").repeated(200);
    QVERIFY(writeAll(path, old));
    QVERIFY(::chmod(encoded(path).constData(), 0666) == 0);
    QVERIFY(::chmod(encoded(folder).constData(), folderWritable ? 0777 : 0555) == 0);

    CsvFile file;
    for (int i = 0; i < 2000; ++i)
        file.addRawLine(QStringLiteral("new line %1").arg(i));
    const int got = runInChild(!folderWritable, [&] {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit {1000, 1000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return int(Inconsistent);
        return saveResult(file, path);
    });
    QVERIFY(::chmod(encoded(folder).constData(), 0755) == 0);
    if (got == CannotDropRoot)
        QSKIP("running as root and cannot switch to an unprivileged user");
    QCOMPARE(got, result);
    QCOMPARE(readAll(path), old);

    // What the kill left is hidden and named as no output is, and the next
    // save to the file removes it.
    const auto entries = [&] {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    };
    const QStringList left = entries();
    QCOMPARE(left.size(), folderWritable ? 2 : 1);
    for (const QString &name : left) {
        if (name != u"out.csv")
            QVERIFY2(QRegularExpression(QStringLiteral("^\\.out\\.csv\\.minukuru-tmp-[A-Za-z0-9]{6}$"))
                         .match(name)
                         .hasMatch(),
                     qPrintable(name));
    }
    QVERIFY(sampleFile().save(path));
    QCOMPARE(entries(), QStringList {QStringLiteral("out.csv")});
}

// Replacing a file keeps its owner and group where the process may set
// them, and its permissions; where it may not, the save still goes through.
void TestCsvFile::keepsOwner_data()
{
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<uint>("owner");
    QTest::addColumn<uint>("expectedOwner");
    QTest::newRow("root saves over a user's file") << false << 65534u << 65534u;
    QTest::newRow("a user saves over root's file") << true << 0u << 65534u;
}

void TestCsvFile::keepsOwner()
{
    QFETCH(bool, unprivileged);
    QFETCH(uint, owner);
    QFETCH(uint, expectedOwner);
    if (geteuid() != 0)
        QSKIP("needs root to give files away");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(::chmod(encoded(dir.path()).constData(), 0777) == 0);
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    QVERIFY(writeAll(path, "old"));
    QVERIFY(::chown(encoded(path).constData(), owner, owner) == 0);
    QVERIFY(::chmod(encoded(path).constData(), 0666) == 0);

    const int result = runInChild(unprivileged, [&] { return saveResult(sampleFile(), path); });
    if (result == CannotDropRoot)
        QSKIP("cannot switch to an unprivileged user");
    QCOMPARE(result, int(SavedWithoutError));
    struct stat info;
    QVERIFY(::stat(encoded(path).constData(), &info) == 0);
    QVERIFY(readAll(path).endsWith("0.32\r\n"));
    QCOMPARE(uint(info.st_uid), expectedOwner);
    if (!unprivileged)
        QCOMPARE(uint(info.st_gid), owner);
    QCOMPARE(info.st_mode & 07777, mode_t(0666));
}

// A save holds a lock on its temporary file until the rename: a leftover
// whose lock is free is removed, one still locked belongs to a save that is
// running and stays.  Only the target's own leftovers are touched.
void TestCsvFile::leftoversGoUnlessTheirSaveLives()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    const QStringList others {QStringLiteral(".out.csv.minukuru-tmp-abc"),
                              QStringLiteral(".other.csv.minukuru-tmp-abcdef"),
                              QStringLiteral("out.csv.minukuru-tmp-abcdef")};
    for (const QString &name : others)
        QVERIFY(writeAll(dir.filePath(name), "not ours"));
    const QString live = dir.filePath(QStringLiteral(".out.csv.minukuru-tmp-Live01"));
    const QString dead = dir.filePath(QStringLiteral(".out.csv.minukuru-tmp-Dead01"));
    QVERIFY(writeAll(live, "being written") && writeAll(dead, "left by a kill"));
    const int held = ::open(encoded(live).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(held >= 0);
    QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);

    QVERIFY(sampleFile().save(path));
    QVERIFY(QFile::exists(live));
    QVERIFY(!QFile::exists(dead));
    ::close(held);
    QVERIFY(sampleFile().save(path));
    QVERIFY(!QFile::exists(live));
    QStringList expected = others + QStringList {QStringLiteral("out.csv")};
    expected.sort();
    QStringList entries = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    entries.sort();
    QCOMPARE(entries, expected);
}

// The temporary file's name is cut to fit where the target's name is near
// the longest a folder takes.
void TestCsvFile::longNameSaves()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QString(250, u'n') + QStringLiteral(".csv"));
    QString error;
    QVERIFY2(sampleFile().save(path, &error), qPrintable(error));
    QVERIFY(readAll(path).endsWith("0.32\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// Text without a code page 932 code becomes "?" in the file; the save says
// which characters, each once, in the order met.  U+FFFD stands for bytes
// that were no text already and is not named.
void TestCsvFile::charactersWrittenAsQuestionMarks_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("named"); // "": no warning
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("all in code page 932")
        << QStringList {QStringLiteral(u"ミヌクル君"), QStringLiteral("pat-1")} << QString()
        << QByteArray("\"\x83\x7e\x83\x6b\x83\x4e\x83\x8b\x8c\x4e\",\"pat-1\"\r\n");
    QTest::newRow("folder name") << QStringList {QStringLiteral(u"/races/pat-é😀/Zo-1.jra")} << QStringLiteral(u"é😀")
                                 << QByteArray("\"/races/pat-?\?/Zo-1.jra\"\r\n");
    QTest::newRow("each once") << QStringList {QStringLiteral(u"é"), QStringLiteral(u"ñé😀😀")} << QStringLiteral(u"éñ😀")
                               << QByteArray("\"?\",\"????\"\r\n");
    QTest::newRow("replacement character")
        << QStringList {QStringLiteral(u"a\uFFFDb")} << QString() << QByteArray("\"a?b\"\r\n");
    QTest::newRow("many") << QStringList {QStringLiteral(u"àáâãäåæçèéêë")} << QStringLiteral(u"àáâãäåæçèé…")
                          << QByteArray("\"????????????\"\r\n");
}

// Lines are encoded one by one: the characters without a code are named in
// the order met across them, each once, and empty lines stay empty.
void TestCsvFile::linesEncodedInTurn()
{
    CsvFile file;
    file.addRawLine(QStringLiteral(u"é馬"));
    file.addEmptyLine();
    file.addRawLine(QStringLiteral(u"ñé😀"));
    QString unmapped;
    QCOMPARE(file.bytes(&unmapped), QByteArray("?\x94\x6e\r\n\r\n???\r\n"));
    QCOMPARE(unmapped, QStringLiteral(u"éñ😀"));
    QCOMPARE(file.bytes(), QByteArray("?\x94\x6e\r\n\r\n???\r\n"));

    // A lone surrogate at a line's end does not reach into the next line.
    const QString lone = QStringLiteral(u"a") + QChar(0xD83D);
    CsvFile utf8(CommonFunc::TextEncoding::Utf8);
    utf8.addRawLine(lone);
    utf8.addRawLine(QStringLiteral(u"馬"));
    QCOMPARE(utf8.bytes(&unmapped),
             QByteArrayLiteral("\xEF\xBB\xBF") + (lone + QStringLiteral(u"\r\n馬\r\n")).toUtf8());
    QCOMPARE(unmapped, QString());
}

void TestCsvFile::charactersWrittenAsQuestionMarks()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, named);
    QFETCH(QByteArray, written);
    CsvFile file;
    CsvLine line;
    for (const QString &field : fields)
        line.addText(field);
    file.addLine(line);

    QString unmapped = QStringLiteral("stale");
    QCOMPARE(file.bytes(&unmapped), written);
    QCOMPARE(unmapped, named);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    QString warning = QStringLiteral("stale");
    QVERIFY(file.save(path, nullptr, {}, &warning));
    QCOMPARE(readAll(path), written);
    QCOMPARE(warning, named.isEmpty() ? QString() : Messages::unmappedSavedText(path, named));

    // UTF-8 has a code for each: the text as it is behind the byte-order
    // mark, nothing named.
    CsvFile utf8(CommonFunc::TextEncoding::Utf8);
    utf8.addLine(line);
    const QByteArray text = QByteArrayLiteral("\xEF\xBB\xBF") + (line.text() + QStringLiteral("\r\n")).toUtf8();
    QCOMPARE(utf8.bytes(&unmapped), text);
    QCOMPARE(unmapped, QString());
    QVERIFY(utf8.save(path, nullptr, {}, &warning));
    QCOMPARE(readAll(path), text);
    QCOMPARE(warning, QString());
}

// The ledger and the odds history take the encoding in force when they are
// made, as the race CSV does: the same text either way.
void TestCsvFile::userFilesFollowTheEncodingInForce()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    CommonFunc::SetSettingsFile(dir.filePath(QStringLiteral("settings.ini")));
    const auto restore = qScopeGuard([] {
        CommonFunc::OverrideCsvEncoding(std::nullopt);
        CommonFunc::SetSettingsFile(QString());
    });
    const auto files = [&] {
        const QString ledger = dir.filePath(QStringLiteral("ledger.csv"));
        Backtest::LedgerEntry bet;
        bet.raceFile = QStringLiteral(u"Zo-①.jra");
        bet.mark = QStringLiteral(u"◎");
        return QList<QByteArray> {Backtest::WriteLedgerFile({bet}, ledger) ? readAll(ledger) : QByteArray(),
                                  RaceHistory().csv().bytes()};
    };
    const QList<QByteArray> shiftJis = files();
    QVERIFY(shiftJis[0].contains(Cp932::encode(QStringLiteral(u"\"Zo-①.jra\""))));
    QVERIFY(shiftJis[1].startsWith(Cp932::encode(QStringLiteral(u"\"時刻\""))));
    CommonFunc::OverrideCsvEncoding(CommonFunc::TextEncoding::Utf8);
    const QList<QByteArray> utf8 = files();
    for (qsizetype i = 0; i < shiftJis.size(); ++i)
        QCOMPARE(utf8[i], QByteArrayLiteral("\xEF\xBB\xBF") + Cp932::decode(shiftJis[i]).toUtf8());
}

QTEST_GUILESS_MAIN(TestCsvFile)
#include "test_csv_file.moc"
