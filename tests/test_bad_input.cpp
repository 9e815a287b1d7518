// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/race_sheet.h"
#include "common/messages.h"
#include "export/csv_export.h"
#include "patdata/pat_files.h"
#include "race/race_loader.h"
#include "settings/settings_store.h"
#include "support/csv_check.h"
#include "support/message_recorder.h"
#include "support/pat_bytes.h"
#include "support/sheet_state.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace CommonFunc;

// Hostile files and a hostile disk: every reader against cut, oversized,
// misplaced, unreadable and undecodable files, the loading of races made of
// them, settings full of garbage and saves that cannot complete.
namespace {

QString u16(const char16_t *text) { return QString::fromUtf16(text); }

// ---- File images, field by field ------------------------------------------

// One fixed-width field: its bytes and the slot a reader should fill from
// them.  Essential fields (the format code, the counts) shape the rest of
// the file and are left alone when fields are spoilt.
struct Field {
    QByteArray bytes;
    QString slot;
    bool essential = false;
};

Field text(const QString &t, int width, bool essential = false)
{
    return {PatBytes::field(t, width), t.leftJustified(width, u' '), essential};
}

// A lone lead byte at the end of the field, after a run of "A" (itself a
// valid trail byte, so a reader that decoded across fields would pair them).
Field leadByteAtEnd(int width)
{
    return {QByteArray(width - 1, 'A') + '\x82', QString(width - 1, u'A') + QChar(0xFFFD), false};
}

Field ffRun(int width) { return {QByteArray(width, '\xFF'), QString(width, QChar(0xFFFD)), false}; }

struct Image {
    QList<Field> fields;

    QByteArray bytes() const
    {
        QByteArray out;
        for (const Field &f : fields)
            out += f.bytes;
        return out;
    }
    QStringList fieldSlots() const
    {
        QStringList out;
        for (const Field &f : fields)
            out << f.slot;
        return out;
    }
    // Every length at which a field ends, the empty file first.
    QList<int> boundaries() const
    {
        QList<int> out {0};
        for (const Field &f : fields)
            out << out.last() + int(f.bytes.size());
        return out;
    }
    Image spoilt(const std::function<Field(int)> &spoil) const
    {
        Image out = *this;
        for (Field &f : out.fields) {
            if (!f.essential)
                f = spoil(int(f.bytes.size()));
        }
        return out;
    }
};

enum Kind { Odds, Pair, Entry, Result };
const char *kindName(int kind)
{
    static const char *const names[] = {"odds", "pair odds", "entry", "result"};
    return names[kind];
}

// The header of the win/place and pair odds files: 16 fields, 142 bytes.
QList<Field> patHeader(const QString &count, const QString &formatCode = QStringLiteral(" "))
{
    return {text(QStringLiteral("20260315"), 8), text(QStringLiteral("ABCDEFGH"), 8),
            text(QStringLiteral("01"), 2),       text(QStringLiteral("12345678"), 8),
            text(QStringLiteral("99"), 2),       text(u16(u"中山"), 4),
            text(QStringLiteral("XXXX"), 4),     text(QStringLiteral(" 3"), 2),
            text(QStringLiteral(" 5"), 2),       text(QStringLiteral("11"), 2),
            text(QStringLiteral("Z"), 1),        text(formatCode, 1, true),
            text(QStringLiteral("YYYY"), 4),     text(u16(u"スプリングＳ"), 28),
            text(u16(u"３歳オープン"), 64),      text(count, 2, true)};
}

// n horses in the count; `records` of them written (horse 3 scratched).
Image oddsImage(int n, int records, const QString &formatCode = QStringLiteral(" "))
{
    Image image {patHeader(QString::number(n), formatCode)};
    for (int k = 1; k <= records; ++k) {
        const bool scratched = k == 3;
        const QString tan = scratched ? u16(u"ﾄﾘｹｼ") : QStringLiteral("%1.%2").arg(1 + k % 9).arg(k % 10);
        const QString low = scratched ? u16(u"ﾄﾘｹｼ") : QStringLiteral("1.%1").arg(k % 10);
        const QString high = scratched ? u16(u"ﾄﾘｹｼ") : QStringLiteral("2.%1").arg(k % 10);
        image.fields << text(QStringLiteral("1"), 1) << text(QStringLiteral("01"), 2) << text(tan, 5) << text(low, 5)
                     << text(high, 5);
    }
    return image;
}

Image pairImage(int n, int records, const QString &formatCode = QStringLiteral(" "))
{
    Image image {patHeader(QString::number(n), formatCode)};
    image.fields << text(QStringLiteral("00"), 2);
    int written = 0;
    for (int i = 1; i < n && written < records; ++i) {
        for (int j = i + 1; j <= n && written < records; ++j, ++written) {
            const bool scratched = i == 3 || j == 3;
            const QString umaren = scratched ? u16(u"ﾄﾘｹｼ") : QStringLiteral("%1.0").arg(i * j + 4);
            const QString low = scratched ? u16(u"ﾄﾘｹｼ") : QStringLiteral("%1.5").arg(i + j);
            const QString high = scratched ? u16(u"ﾄﾘｹｼ") : QStringLiteral("%1.5").arg(2 * (i + j));
            image.fields << text(QStringLiteral("01"), 2) << text(QStringLiteral("00102"), 5) << text(umaren, 6)
                         << text(low, 6) << text(high, 6);
        }
    }
    return image;
}

Image entryImage(int n, int records)
{
    Image image {{text(QStringLiteral("20260315"), 8), text(QStringLiteral("0505"), 4), text(QStringLiteral("0311"), 4),
                  text(QStringLiteral("01"), 2), text(QStringLiteral("02"), 2), text(QStringLiteral("03"), 2),
                  text(QStringLiteral("1535"), 4), text(QStringLiteral("ABCDEFGH"), 8), text(u16(u"中山"), 28),
                  text(u16(u"芝"), 28), text(QString::number(n), 2, true)}};
    for (int k = 1; k <= records; ++k)
        image.fields << text(QStringLiteral("1"), 1) << text(QStringLiteral("2"), 1) << text(QStringLiteral("03"), 2)
                     << text(QStringLiteral("4"), 1) << text(QStringLiteral("5"), 1)
                     << text(u16(u"テストホース") + QString::number(k), 18) << text(u16(u"キシュ"), 18)
                     << text(QStringLiteral("57"), 2) << text(QStringLiteral("0480"), 4);
    return image;
}

// 687 bytes: header, seven finishers, a gap and the five payout sections.
Image resultImage()
{
    Image image;
    for (int width : {8, 4, 4, 2, 2, 2, 1, 10, 1, 28, 28})
        image.fields << text(QStringLiteral("0"), width);
    for (int place = 1; place <= 7; ++place)
        image.fields << text(QString::number(place), 2) << text(QString::number(place), 2)
                     << text(u16(u"テストホース") + QString::number(place), 18) << text(QStringLiteral("1.35.0"), 6)
                     << text(QString(), 12);
    image.fields << text(QString(), 5);
    const auto payouts = [&](int entries, int width, const QStringList &combinations) {
        for (int k = 0; k < entries; ++k)
            image.fields << text(combinations.value(k), width)
                         << text(k < combinations.size() ? QStringLiteral("     250") : QString(), 8);
    };
    payouts(3, 2, {QStringLiteral(" 1")});
    payouts(5, 2, {QStringLiteral(" 1"), QStringLiteral(" 2")});
    payouts(3, 4, {QStringLiteral(" 1 2")});
    payouts(3, 6, {QStringLiteral(" 1- 2")});
    payouts(11, 6, {QStringLiteral(" 1- 2"), QStringLiteral(" 1- 4"), QStringLiteral(" 2- 4")});
    return image;
}

// What a reader filled, every slot in file order; false when it failed.
bool readSlots(int kind, const QString &path, QStringList &filled)
{
    filled.clear();
    const auto header = [&](const PatFileHeader &h) {
        filled << h.Reserved1 << h.Reserved2 << h.Reserved3 << h.Reserved4 << h.Reserved5 << h.Course << h.Reserved6
               << h.Kai << h.Nichi << h.RaceNo << h.Reserved7 << h.FormatCode << h.Reserved8 << h.RaceName
               << h.Conditions << h.HorseCount;
    };
    switch (kind) {
    case Odds: {
        TanFukuOddsData data;
        if (!ReadTanFukuOddsFile(path, data))
            return false;
        header(data.Header);
        for (int k = 1; k <= std::min(PatCount(data.Header.HorseCount), MaxHorses); ++k)
            filled << data.Odds[k].Reserved1 << data.Odds[k].Reserved2 << data.Odds[k].TanOdds
                   << data.Odds[k].FukuOddsMin << data.Odds[k].FukuOddsMax;
        return true;
    }
    case Pair: {
        PairOddsTable table;
        if (!ReadPairOddsFile(path, table))
            return false;
        header(table.Header);
        filled << table.Reserved;
        const int n = std::min(PatCount(table.Header.HorseCount), MaxHorses);
        for (int i = 1; i < n; ++i) {
            for (int j = i + 1; j <= n; ++j) {
                const PairOddsRecord &p = table.at(i, j);
                filled << p.Reserved1 << p.Reserved2 << p.UmaRenOdds << p.WideOddsMin << p.WideOddsMax;
            }
        }
        return true;
    }
    case Entry: {
        EntryData data;
        if (!ReadEntryFile(path, data))
            return false;
        const EntryHeader &h = data.Header;
        filled << h.Reserved1 << h.Reserved2 << h.Reserved3 << h.Reserved4 << h.Reserved5 << h.Reserved6 << h.StartTime
               << h.Reserved7 << h.Reserved8 << h.Reserved9 << h.HorseCount;
        for (int k = 1; k <= std::min(PatCount(h.HorseCount), MaxHorses); ++k) {
            const EntryRecord &r = data.Horses[k];
            filled << r.Reserved1 << r.Reserved2 << r.Reserved3 << r.Reserved4 << r.Reserved5 << r.HorseName
                   << r.Reserved6 << r.Reserved7 << r.Reserved8;
        }
        return true;
    }
    default: {
        ResultData data;
        if (!ReadResultFile(path, data))
            return false;
        const ResultHeader &h = data.Header;
        filled << h.Reserved1 << h.Reserved2 << h.Reserved3 << h.Reserved4 << h.Reserved5 << h.Reserved6 << h.Reserved7
               << h.Reserved8 << h.Reserved9 << h.Reserved10 << h.Reserved11;
        for (const ResultFinisher &f : data.Finishers)
            filled << f.Field1 << f.Field2 << f.HorseName << f.Field4 << f.Reserved;
        filled << data.Reserved;
        const auto payouts = [&](const auto &section) {
            for (const ResultPayout &p : section)
                filled << p.Combination << p.Amount;
        };
        payouts(data.Tan);
        payouts(data.Fuku);
        payouts(data.WakuRen);
        payouts(data.UmaRen);
        payouts(data.Wide);
        return true;
    }
    }
}

// ---- Race families ----------------------------------------------------------

// The four files of a race; each is written as its bytes, as a folder or a
// named pipe of its name, with no permissions, or not at all.
enum Placement { AsFile, AsFolder, AsPipe, Unreadable, Missing };

struct Family {
    Image files[4] = {oddsImage(4, 4), pairImage(4, 6), entryImage(4, 4), resultImage()};
    QByteArray bytes[4];
    Placement placement[4] = {AsFile, AsFile, AsFile, AsFile};

    QByteArray content(int kind) const { return bytes[kind].isNull() ? files[kind].bytes() : bytes[kind]; }
};

const QString kNames[4] = {QStringLiteral("Zo-0315A.jra"), QStringLiteral("Uo-0315A.jra"),
                           QStringLiteral("De-0315A.jra"), QStringLiteral("Ks-026315A.jra")};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool chmodPath(const QString &path, mode_t mode) { return ::chmod(QFile::encodeName(path).constData(), mode) == 0; }

// Writes the family into folder (open to every user); the odds file's path.
QString writeFamily(const QString &folder, const Family &family)
{
    QDir().mkpath(folder);
    chmodPath(folder, 0777);
    for (int kind = Odds; kind <= Result; ++kind) {
        const QString path = folder + u'/' + kNames[kind];
        switch (family.placement[kind]) {
        case AsFile:
            writeFile(path, family.content(kind));
            break;
        case AsFolder:
            QDir().mkpath(path);
            writeFile(path + QStringLiteral("/inside"), family.content(kind));
            break;
        case AsPipe:
            ::mkfifo(QFile::encodeName(path).constData(), 0666);
            break;
        case Unreadable:
            writeFile(path, family.content(kind));
            chmodPath(path, 0);
            break;
        case Missing:
            break;
        }
    }
    return folder + u'/' + kNames[Odds];
}

// What a load of the family must give.
struct Expect {
    bool loads = true;
    QStringList messages;
    bool grids = true; // the pair odds were read
    bool names = true; // the entry file was read
    QString raceTime = QStringLiteral("15:35");
    int resultLines = 38; // 0: the results list stays empty
};

// The rule for a family whose file of `kind` cannot be read (absent == no
// such file at all, which is not a failure of the result file).
Expect failureOf(int kind, bool absent = false)
{
    Expect e;
    switch (kind) {
    case Odds:
        e.loads = false;
        e.messages = {Messages::readFailedText()};
        break;
    case Pair:
        e.grids = false;
        break;
    case Entry:
        e.names = false;
        e.raceTime.clear();
        break;
    default:
        e.resultLines = 0;
        if (!absent)
            e.messages = {Messages::readFailedText()};
        break;
    }
    return e;
}

bool isPermutation(const RaceSheet::Column &ranks, int n)
{
    QList<bool> seen(n + 1, false);
    for (int h = 1; h <= n; ++h) {
        const int rank = TextToInteger(ranks[h]);
        if (rank < 1 || rank > n || seen[rank] || ranks[h] != QString::number(rank))
            return false;
        seen[rank] = true;
    }
    return true;
}

// Loads the race at path onto a sheet that shows another race, then saves
// it: the problems found, none when everything follows the rules.  Uses no
// test macros, so that it can run in a child process.
QStringList loadAndSave(RaceSheet &sheet, const QString &path, const Expect &expect)
{
    QStringList problems;
    MessageRecorder recorder;
    const SheetState::State before = SheetState::sheet(sheet);
    const bool loaded = LoadRace(sheet, path);
    if (loaded != expect.loads)
        problems << QStringLiteral("LoadRace gave %1").arg(loaded);
    if (recorder.texts() != expect.messages)
        problems << QStringLiteral("messages [%1], expected [%2]")
                        .arg(recorder.texts().join(u'|'), expect.messages.join(u'|'));
    if (!expect.loads) {
        const SheetState::State after = SheetState::sheet(sheet);
        if (!(after == before))
            problems << QStringLiteral("the race on show changed: ")
                    + SheetState::firstDifference(after, before, SheetState::sheet(sheet, true));
        return problems;
    }

    const int n = std::clamp(sheet.HorseCount(), 0, MaxHorses);
    if (!isPermutation(sheet.lblTanPopular, n) || !isPermutation(sheet.lblFukuPopular, n))
        problems << QStringLiteral("ranks are no permutation of 1 to %1").arg(n);
    const int rows = expect.grids ? n * (n - 1) / 2 + 1 : 1;
    if (sheet.grdUmaRen.rows() != rows || sheet.grdWide.rows() != rows)
        problems << QStringLiteral("grids of %1 and %2 rows, expected %3")
                        .arg(sheet.grdUmaRen.rows())
                        .arg(sheet.grdWide.rows())
                        .arg(rows);
    if (sheet.lstKaime.isEmpty() == expect.grids)
        problems << QStringLiteral("%1 recommended bets").arg(sheet.lstKaime.size());
    if (sheet.lblRaceTime != expect.raceTime)
        problems << QStringLiteral("start time \"%1\", expected \"%2\"").arg(sheet.lblRaceTime, expect.raceTime);
    if (!expect.names) {
        for (int k = 1; k <= MaxHorses; ++k) {
            if (!sheet.lblHorseName[k].isEmpty())
                problems << QStringLiteral("name %1 \"%2\" without an entry file").arg(k).arg(sheet.lblHorseName[k]);
        }
    }
    if (sheet.lstRaceResult.size() != expect.resultLines)
        problems << QStringLiteral("%1 result lines").arg(sheet.lstRaceResult.size());

    recorder.clear();
    const QString csv = QFileInfo(path).path() + QStringLiteral("/saved.csv");
    if (!WriteCsvFile(sheet, csv) || !recorder.messages.isEmpty()) {
        problems << QStringLiteral("saving failed: ") + recorder.texts().join(u'|');
        return problems;
    }
    QList<CsvCheck::Line> lines;
    QString error;
    if (!CsvCheck::read(readFile(csv), lines, &error))
        problems << QStringLiteral("saved file: ") + error;
    else
        problems << CsvCheck::compare(lines, sheet);
    return problems;
}

// ---- Child processes --------------------------------------------------------

enum ChildExit { ChildDone = 0, CannotDropRoot = 3 };

// Runs body in a child process and returns what it wrote; with unprivileged
// a child running as root first becomes nobody, since root passes every
// permission check.  nullopt when the child could not give root up.
std::optional<QByteArray> inChild(bool unprivileged, const std::function<QByteArray()> &body)
{
    std::fflush(stdout);
    std::fflush(stderr);
    int fds[2];
    if (::pipe(fds) != 0)
        return QByteArray("<no pipe>");
    const pid_t pid = ::fork();
    if (pid < 0)
        return QByteArray("<no fork>");
    if (pid == 0) {
        ::close(fds[0]);
        if (unprivileged && ::geteuid() == 0) {
            [[maybe_unused]] const int ignored = ::setgid(65534);
            if (::setuid(65534) != 0)
                ::_exit(CannotDropRoot);
        }
        const QByteArray out = body();
        qsizetype done = 0;
        while (done < out.size()) {
            const ssize_t n = ::write(fds[1], out.constData() + done, size_t(out.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
        ::_exit(ChildDone);
    }
    ::close(fds[1]);
    QByteArray out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return out + "<child did not exit>";
    if (WEXITSTATUS(status) == CannotDropRoot)
        return std::nullopt;
    return out;
}

QByteArray toBytes(const QStringList &lines) { return lines.join(u'\n').toUtf8(); }

// ---- A file swapped for a pipe ------------------------------------------------

// Calls read while another thread flips path between a regular file holding
// bytes and a named pipe (hard links renamed over it in turn), as a hostile
// folder may between a check and an open, until `times` reads found the
// regular file (read returns true then).  False when a read blocked: the
// pipe is then opened for writing, which lets it go on.
bool readsWhileSwapped(const QString &path, const QByteArray &bytes, int times, const std::function<bool()> &read)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray regular = target + ".regular";
    const QByteArray fifo = target + ".fifo";
    const QByteArray spare = target + ".next";
    if (!writeFile(QFile::decodeName(regular), bytes) || ::mkfifo(fifo.constData(), 0666) != 0)
        return false;
    std::atomic_bool done {false};
    std::atomic_bool blocked {false};
    std::atomic_int reads {0};
    std::thread swapper([&] {
        while (!done) {
            for (const QByteArray *from : {&regular, &fifo}) {
                if (::link(from->constData(), spare.constData()) == 0)
                    ::rename(spare.constData(), target.constData());
            }
        }
    });
    std::thread watchdog([&] {
        int last = -1;
        auto since = std::chrono::steady_clock::now();
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (const int now = reads; now != last) {
                last = now;
                since = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - since > std::chrono::seconds(2)) {
                blocked = true;
                const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
            }
        }
    });
    for (int done = 0, calls = 0; done < times && calls < 50 * times && !blocked; ++calls) {
        done += read() ? 1 : 0;
        ++reads;
    }
    done = true;
    swapper.join();
    watchdog.join();
    ::unlink(spare.constData());
    ::rename(regular.constData(), target.constData());
    ::unlink(fifo.constData());
    return !blocked;
}

} // namespace

Q_DECLARE_METATYPE(Image)
Q_DECLARE_METATYPE(Expect)

class TestBadInput : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_folders = 0;
    QString m_goodRace; // a race to have on show before each load

    QString newFolder() { return m_dir.filePath(QStringLiteral("f%1").arg(++m_folders)); }

    // A sheet showing the good race.
    void showGoodRace(RaceSheet &sheet)
    {
        MessageRecorder recorder;
        QVERIFY(LoadRace(sheet, m_goodRace));
        QVERIFY(recorder.messages.isEmpty());
    }

    void addFaultRows(int kind, const Image &image);

private slots:
    void initTestCase();
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void truncated_data();
    void truncated();
    void horseCounts_data();
    void horseCounts();
    void formatCode_data();
    void formatCode();
    void notAFile_data();
    void notAFile();
    void unreadable_data();
    void unreadable();
    void undecodable_data();
    void undecodable();
    void settingsGarbage_data();
    void settingsGarbage();
    void saveFaults_data();
    void saveFaults();
    void saveOverRaceFiles_data();
    void saveOverRaceFiles();
    void swappedForAPipe_data();
    void swappedForAPipe();
};

void TestBadInput::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(chmodPath(m_dir.path(), 0777)); // open to the unprivileged children
    SetSettingsFile(m_dir.filePath(QStringLiteral("settings.ini")));
    m_goodRace = writeFamily(newFolder(), Family());
    RaceSheet sheet;
    showGoodRace(sheet);
    QCOMPARE(sheet.HorseCount(), 4);
    QCOMPARE(sheet.grdWide.rows(), 7);
    QCOMPARE(sheet.lstRaceResult.size(), 38);
}

// Each file cut at every field boundary, and one byte into each field: the
// reader fails without a message, and the race follows the rule of that file.
void TestBadInput::truncated_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");

    const Family family;
    for (int kind = Odds; kind <= Result; ++kind) {
        const QByteArray whole = family.files[kind].bytes();
        const QList<int> ends = family.files[kind].boundaries();
        QCOMPARE(ends.last(), int(whole.size()));
        for (qsizetype k = 0; k + 1 < ends.size(); ++k) {
            for (int length : {ends[k], ends[k] + 1}) {
                if (length >= ends[k + 1])
                    continue;
                QTest::addRow("%s, %d of %d bytes", kindName(kind), length, int(whole.size()))
                    << kind << whole.left(length);
            }
        }
    }
}

void TestBadInput::truncated()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);

    const QString folder = newFolder();
    Family family;
    family.bytes[kind] = bytes;
    const QString path = writeFamily(folder, family);

    MessageRecorder recorder;
    QStringList filled;
    QVERIFY(!readSlots(kind, folder + u'/' + kNames[kind], filled));
    QCOMPARE(recorder.texts(), QStringList());

    RaceSheet sheet;
    showGoodRace(sheet);
    const QStringList problems = loadAndSave(sheet, path, failureOf(kind));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

// Files of 0, 18 and 19 horses (19 with all their records there).
void TestBadInput::horseCounts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("reads");
    QTest::addColumn<Expect>("expect");

    const auto pairs = [](int n) { return n * (n - 1) / 2; };
    for (int n : {0, 18, 19}) {
        const bool reads = n <= MaxHorses;
        QTest::addRow("odds, %d horses", n)
            << int(Odds) << oddsImage(n, n).bytes() << reads << (reads ? Expect() : failureOf(Odds));
        QTest::addRow("pair odds, %d horses", n)
            << int(Pair) << pairImage(n, pairs(n)).bytes() << reads << (reads ? Expect() : failureOf(Pair));
        QTest::addRow("entry, %d horses", n)
            << int(Entry) << entryImage(n, n).bytes() << reads << (reads ? Expect() : failureOf(Entry));
    }
    QTest::newRow("odds, blank count") << int(Odds) << oddsImage(0, 0).bytes().replace(140, 2, "  ") << true
                                       << Expect();
    QTest::newRow("odds, count -1") << int(Odds) << oddsImage(4, 4).bytes().replace(140, 2, "-1") << true << Expect();
    QTest::newRow("pair odds, count -1") << int(Pair) << pairImage(4, 6).bytes().replace(140, 2, "-1") << true
                                         << Expect();
    QTest::newRow("entry, count -1") << int(Entry) << entryImage(4, 4).bytes().replace(90, 2, "-1") << true << Expect();
}

void TestBadInput::horseCounts()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, reads);
    QFETCH(Expect, expect);

    const QString folder = newFolder();
    Family family;
    family.bytes[kind] = bytes;
    const QString path = writeFamily(folder, family);

    MessageRecorder recorder;
    QStringList filled;
    QCOMPARE(readSlots(kind, folder + u'/' + kNames[kind], filled), reads);
    QCOMPARE(recorder.texts(), QStringList());

    RaceSheet sheet;
    showGoodRace(sheet);
    const QStringList problems = loadAndSave(sheet, path, expect);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

// A format code that is none of " ", "2" and "3", a lone lead byte
// included: the format message once, then the rule of the file.
void TestBadInput::formatCode_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Expect>("expect");

    const QString formatMismatch = Messages::formatMismatchText();
    for (const QByteArray &code : {QByteArray("1"), QByteArray("\x82"), QByteArray("\xFF")}) {
        const QString shown = QString::fromLatin1(code.toHex());
        Image odds = oddsImage(4, 4);
        odds.fields[11].bytes = code;
        Expect oddsFail = failureOf(Odds);
        oddsFail.messages.prepend(formatMismatch);
        QTest::addRow("odds, code %s", qPrintable(shown)) << int(Odds) << odds.bytes() << oddsFail;

        Image pair = pairImage(4, 6);
        pair.fields[11].bytes = code;
        Expect pairFail = failureOf(Pair);
        pairFail.messages.prepend(formatMismatch);
        QTest::addRow("pair odds, code %s", qPrintable(shown)) << int(Pair) << pair.bytes() << pairFail;
    }
}

void TestBadInput::formatCode()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(Expect, expect);

    const QString folder = newFolder();
    Family family;
    family.bytes[kind] = bytes;
    const QString path = writeFamily(folder, family);

    MessageRecorder recorder;
    QStringList filled;
    QVERIFY(!readSlots(kind, folder + u'/' + kNames[kind], filled));
    QCOMPARE(recorder.texts(), QStringList {Messages::formatMismatchText()});

    RaceSheet sheet;
    showGoodRace(sheet);
    const QStringList problems = loadAndSave(sheet, path, expect);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

// A folder or a named pipe under the file's name: neither is read, nor may
// a pipe without a writer block the load.  A folder is no result file, so
// the race simply has none; a pipe is one that cannot be read.
void TestBadInput::notAFile_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("placement");
    for (int kind = Odds; kind <= Result; ++kind) {
        QTest::addRow("%s, folder", kindName(kind)) << kind << int(AsFolder);
        QTest::addRow("%s, named pipe", kindName(kind)) << kind << int(AsPipe);
    }
}

void TestBadInput::notAFile()
{
    QFETCH(int, kind);
    QFETCH(int, placement);

    const QString folder = newFolder();
    Family family;
    family.placement[kind] = Placement(placement);
    const QString path = writeFamily(folder, family);

    MessageRecorder recorder;
    QStringList filled;
    QVERIFY(!readSlots(kind, folder + u'/' + kNames[kind], filled));
    QCOMPARE(recorder.texts(), QStringList());

    RaceSheet sheet;
    showGoodRace(sheet);
    const QStringList problems = loadAndSave(sheet, path, failureOf(kind, kind == Result && placement == AsFolder));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

// Files without read permission, read by an unprivileged child.
void TestBadInput::unreadable_data()
{
    QTest::addColumn<int>("kind");
    for (int kind = Odds; kind <= Result; ++kind)
        QTest::addRow("%s", kindName(kind)) << kind;
}

void TestBadInput::unreadable()
{
    QFETCH(int, kind);

    const QString folder = newFolder();
    Family family;
    family.placement[kind] = Unreadable;
    const QString path = writeFamily(folder, family);
    const QString good = m_goodRace;

    const std::optional<QByteArray> report = inChild(true, [&] {
        MessageRecorder recorder;
        QStringList filled;
        QStringList problems;
        if (readSlots(kind, folder + u'/' + kNames[kind], filled))
            problems << QStringLiteral("the reader read a file without permission");
        if (!recorder.messages.isEmpty())
            problems << QStringLiteral("the reader showed ") + recorder.texts().join(u'|');
        RaceSheet sheet;
        if (!LoadRace(sheet, good))
            problems << QStringLiteral("the good race did not load");
        problems << loadAndSave(sheet, path, failureOf(kind));
        return toBytes(problems);
    });
    if (!report)
        QSKIP("running as root and cannot switch to an unprivileged user");
    QVERIFY2(report->isEmpty(), report->constData());
}

// Lone lead bytes at the end of every field, or every byte 0xFF: each field
// still fills exactly its own slot, the load goes through without a message,
// and the saved file holds "?" for what could not be decoded.
void TestBadInput::undecodable_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<Image>("image");

    const Family family;
    for (int kind = Odds; kind <= Result; ++kind) {
        QTest::addRow("%s, lead byte at every field end", kindName(kind))
            << kind << family.files[kind].spoilt(leadByteAtEnd);
        QTest::addRow("%s, 0xFF runs", kindName(kind)) << kind << family.files[kind].spoilt(ffRun);
    }
    Image names = entryImage(4, 4);
    names.fields[11 + 5] = Field {"a\"b,c\r\nd\"\"        ", QStringLiteral("a\"b,c\r\nd\"\"        "), false};
    names.fields[11 + 9 + 5] = Field {"\"\"\"\"\"\"\"\"\"\",,,,,,,,", QStringLiteral("\"\"\"\"\"\"\"\"\"\",,,,,,,,"),
                                      false};
    QTest::newRow("entry, names with quotes, commas and line breaks") << int(Entry) << names;
    QTest::newRow("entry, lead byte after the count digit")
        << int(Entry)
        << Image {entryImage(4, 4).fields.mid(0, 10)
                  << Field {"4\x82", u16(u"4\uFFFD"), true} << entryImage(4, 4).fields.mid(11)};
}

void TestBadInput::undecodable()
{
    QFETCH(int, kind);
    QFETCH(Image, image);

    const QString folder = newFolder();
    Family family;
    family.files[kind] = image;
    const QString path = writeFamily(folder, family);

    MessageRecorder recorder;
    QStringList filled;
    QVERIFY(readSlots(kind, folder + u'/' + kNames[kind], filled));
    QCOMPARE(filled, image.fieldSlots());
    QCOMPARE(recorder.texts(), QStringList());

    Expect expect;
    if (kind == Entry) {
        const QString time = image.fields[6].slot;
        expect.raceTime = time.left(2) + u':' + time.right(2);
    }
    RaceSheet sheet;
    showGoodRace(sheet);
    const QStringList problems = loadAndSave(sheet, path, expect);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

// A settings file with garbage under every key: the race comes out exactly
// as with no settings at all, without a message.  Marks are texts, so any
// text is a mark; strange ones must still survive the saved file.
void TestBadInput::settingsGarbage_data()
{
    QTest::addColumn<QString>("garbage");
    QTest::addColumn<int>("keys"); // 0: every typed key, 1: the marks, 2: every typed key at an extreme

    for (const QString &g : {QStringLiteral("xyz"), QString(), QStringLiteral("1e999"), QStringLiteral("@Invalid()"),
                             u16(u"ﾄﾘｹｼ"), QStringLiteral("1,2,3"), QStringLiteral("\"12"), QStringLiteral("0x10"),
                             QStringLiteral("-"), QStringLiteral("\\x")})
        QTest::addRow("garbage \"%s\"", qPrintable(g)) << g << 0;
    QTest::newRow("marks with quotes and commas") << QStringLiteral("\\\"a\\\", \\\"") << 1;
    QTest::newRow("marks with line breaks") << QStringLiteral("a\\r\\nb") << 1;
    QTest::newRow("empty marks") << QString() << 1;
    QTest::newRow("long marks") << QString(300, u'X') << 1;
    // Valid, if absurd: numbers at the ends of their ranges.
    QTest::newRow("lowest values") << QStringLiteral("-32768") << 2;
    QTest::newRow("highest values") << QStringLiteral("32767") << 2;
    QTest::newRow("zero everywhere") << QStringLiteral("0") << 2;
}

void TestBadInput::settingsGarbage()
{
    QFETCH(QString, garbage);
    QFETCH(int, keys);

    const QString clean = m_dir.filePath(QStringLiteral("clean%1.ini").arg(m_folders));
    const QString dirty = m_dir.filePath(QStringLiteral("dirty%1.ini").arg(m_folders));
    const auto restore = qScopeGuard([&] { SetSettingsFile(m_dir.filePath(QStringLiteral("settings.ini"))); });

    // A race whose pairs reach every judgement level.
    Family family;
    family.files[Odds] = oddsImage(18, 18);
    family.files[Pair] = pairImage(18, 153);
    family.files[Entry] = entryImage(18, 18);
    const QString path = writeFamily(newFolder(), family);

    SetSettingsFile(clean);
    RaceSheet sheet;
    {
        MessageRecorder recorder;
        QVERIFY(LoadRace(sheet, path));
        QVERIFY(recorder.messages.isEmpty());
    }
    const SheetState::State expected = SheetState::sheet(sheet);

    QStringList names;
    if (keys == 1) {
        for (const char *bet : {"Uma", "Wide"}) {
            for (int level = 1; level <= 5; ++level)
                names << QStringLiteral("AutoJudge\\%1DispChar%2").arg(level).arg(QLatin1String(bet));
        }
    } else {
        for (int horse = 0; horse <= 18; ++horse)
            names << QStringLiteral("HorseNoColor\\%1").arg(horse);
        names << QStringLiteral("AutoJudge\\DetectVal");
        for (const char *bet : {"Uma", "Wide"}) {
            for (int level = 1; level <= 5; ++level) {
                names << QStringLiteral("AutoJudge\\%1DetectMin%2").arg(level).arg(QLatin1String(bet));
                names << QStringLiteral("AutoJudge\\%1DetectMax%2").arg(level).arg(QLatin1String(bet));
            }
            for (const char *key :
                 {"DispSign", "PlusColor", "MinusColor", "IsIdealLimit", "IdealLimit", "IsRealLimit", "RealLimit",
                  "IsTanRatioLimit", "TanRatioLimit", "IsFukuRatioLimit", "FukuRatioLimit"})
                names << QStringLiteral("AutoJudge\\%1%2").arg(QLatin1String(key), QLatin1String(bet));
        }
    }
    QString ini = QStringLiteral("[Option]\n");
    for (const QString &name : names)
        ini += name + u'=' + garbage + u'\n';
    QVERIFY(writeFile(dirty, ini.toUtf8()));
    SetSettingsFile(dirty);

    const QStringList problems = loadAndSave(sheet, path, Expect());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    if (keys == 1) {
        // The stored marks are the ones shown.
        int marked = 0;
        for (BetType type : {BetType::Umaren, BetType::Wide}) {
            const TextGrid &grid = type == BetType::Umaren ? sheet.grdUmaRen : sheet.grdWide;
            for (int r = 1; r < grid.rows(); ++r) {
                if (grid.cell(r, 5).isEmpty())
                    continue;
                ++marked;
                QVERIFY(grid.cell(r, 5) == Settings::DispChar(type, 1).get()
                        || grid.cell(r, 5) == Settings::DispChar(type, 2).get()
                        || grid.cell(r, 5) == Settings::DispChar(type, 3).get()
                        || grid.cell(r, 5) == Settings::DispChar(type, 4).get()
                        || grid.cell(r, 5) == Settings::DispChar(type, 5).get());
            }
        }
        QVERIFY(marked > 0 || garbage.isEmpty());
    }
    if (keys == 0) {
        const SheetState::State state = SheetState::sheet(sheet);
        QVERIFY2(state == expected,
                 qPrintable(SheetState::firstDifference(state, expected, SheetState::sheet(sheet, true))));
    }
}

// Saves that cannot complete, at the level of the save command: the file
// size limit stands for a full disk.  The save reports the system's message
// once, and an earlier file of that name keeps every byte.
void TestBadInput::saveFaults_data()
{
    QTest::addColumn<bool>("sizeLimit");
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<bool>("earlierFile");

    QTest::newRow("disk full") << true << true << true;
    QTest::newRow("disk full, no earlier file") << true << true << false;
    // No temporary file can be made here, and the earlier file is not written
    // over in place either.
    QTest::newRow("disk full, folder takes no new file") << true << false << true;
    QTest::newRow("read-only folder, no earlier file") << false << false << false;
}

void TestBadInput::saveFaults()
{
    QFETCH(bool, sizeLimit);
    QFETCH(bool, folderWritable);
    QFETCH(bool, earlierFile);

    RaceSheet sheet;
    Family family;
    family.files[Odds] = oddsImage(18, 18);
    family.files[Pair] = pairImage(18, 153);
    QVERIFY(LoadRace(sheet, writeFamily(newFolder(), family)));

    const QString folder = newFolder();
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/race.csv");
    const QByteArray earlier = QByteArray("earlier,\"file\"\r\n").repeated(20);
    if (earlierFile) {
        QVERIFY(writeFile(path, earlier));
        QVERIFY(chmodPath(path, 0666));
    }
    QVERIFY(chmodPath(folder, folderWritable ? 0777 : 0555));
    const auto restore = qScopeGuard([&] { chmodPath(folder, 0755); });

    const std::optional<QByteArray> report = inChild(!folderWritable, [&] {
        if (sizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit {4096, 4096};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return QByteArray("<no file size limit>");
        }
        MessageRecorder recorder;
        QStringList out;
        out << (WriteCsvFile(sheet, path) ? QStringLiteral("saved") : QStringLiteral("failed"));
        for (const Messages::Message &m : recorder.messages)
            out << QStringLiteral("%1|%2|%3").arg(int(m.kind)).arg(m.title, m.text);
        return toBytes(out);
    });
    if (!report)
        QSKIP("running as root and cannot switch to an unprivileged user");
    const QStringList lines = QString::fromUtf8(*report).split(u'\n');
    QCOMPARE(lines.value(0), QStringLiteral("failed"));
    QCOMPARE(lines.size(), 2);
    const QStringList message = lines[1].split(u'|');
    QCOMPARE(message.value(0), QString::number(int(Messages::Kind::Notice)));
    QCOMPARE(message.value(1), Messages::programTitle());
    QVERIFY(!message.value(2).trimmed().isEmpty());
    QVERIFY(message.value(2) != Messages::saveFailedText());

    QCOMPARE(readFile(path), earlierFile ? earlier : QByteArray());
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             earlierFile ? QStringList {QStringLiteral("race.csv")} : QStringList());
}

// A save aimed at one of the race's own files, each as the loader finds
// it: refused with a message that names the path, and every file of the
// race keeps every byte.  Other spellings and links of a file are in
// test_csv_file.
void TestBadInput::saveOverRaceFiles_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("lowerCase"); // the file's name in lower case

    for (int kind = Odds; kind <= Result; ++kind)
        QTest::addRow("%s file", kindName(kind)) << kind << false;
    QTest::newRow("entry file found in another case") << int(Entry) << true;
}

void TestBadInput::saveOverRaceFiles()
{
    QFETCH(int, kind);
    QFETCH(bool, lowerCase);

    const QString folder = newFolder();
    const QString odds = writeFamily(folder, Family());
    QString target = folder + u'/' + kNames[kind];
    if (lowerCase) {
        const QString lower = folder + u'/' + kNames[kind].toLower();
        QVERIFY(QFile::rename(target, lower));
        target = lower;
    }
    QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files);
    QList<QByteArray> before;
    for (const QString &name : names)
        before << readFile(dir.filePath(name));

    RaceSheet sheet;
    MessageRecorder recorder;
    QVERIFY(LoadRace(sheet, odds));
    QVERIFY(!sheet.lblHorseName[1].isEmpty()); // the entry file was found, in whatever case
    QVERIFY(!WriteCsvFile(sheet, target));
    QCOMPARE(recorder.texts(),
             QStringList {u16(u"%1 は開いているレースのファイルなので、上書きしませんでした。").arg(target)});
    QCOMPARE(recorder.messages[0].kind, Messages::Kind::Notice);

    QCOMPARE(dir.entryList(QDir::Files), names);
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(readFile(dir.filePath(names[i])), before[i]);
}

// A race file or the settings file that turns into a named pipe between the
// readers' look at it and their open: no read waits for a writer.
void TestBadInput::swappedForAPipe_data()
{
    QTest::addColumn<int>("kind"); // -1: the settings file
    // Every reader opens its file the same way; the odds file stands for all four.
    QTest::newRow("odds file") << int(Odds);
    QTest::newRow("settings file") << -1;
}

void TestBadInput::swappedForAPipe()
{
    QFETCH(int, kind);

    const QString folder = newFolder();
    const Family family;
    writeFamily(folder, family);
    MessageRecorder quiet;
    bool swappedEveryRead = true;
    if (kind >= 0) {
        const QString path = folder + u'/' + kNames[kind];
        swappedEveryRead = readsWhileSwapped(path, readFile(path), 6000, [&] {
            QStringList filled;
            return readSlots(kind, path, filled);
        });
    } else {
        const auto restore = qScopeGuard([&] { SetSettingsFile(m_dir.filePath(QStringLiteral("settings.ini"))); });
        const QString path = folder + QStringLiteral("/settings.ini");
        swappedEveryRead = readsWhileSwapped(path, "[Option]\nPatFolder=/x\n", 1000, [&] {
            SetSettingsFile(path);
            return SettingsFileRefusal() == SettingsFileProblem::None;
        });
    }
    QVERIFY2(swappedEveryRead, "a read blocked on the pipe");
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "test_bad_input.moc"
