// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpus of every fuzz target: files of generated sample
// races, the same races as split race inputs, and hand-made edge inputs.
// The output depends on nothing but this file and the generator, so running
// it again rewrites the same bytes.
//
//   minukuru-fuzz-corpus CORPUS_FOLDER
#include "tools/racegen/jv_writer.h"
#include "tools/racegen/pat_writer.h"
#include "tools/racegen/race_generator.h"

#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

using namespace CommonFunc;
using namespace RaceGen;

namespace {

QString g_root;
bool g_failed = false;

void save(const QString &target, const QString &name, const QByteArray &bytes)
{
    const QString folder = g_root + u'/' + target;
    QDir().mkpath(folder);
    if (!WriteBytes(folder + u'/' + name, bytes)) {
        std::fprintf(stderr, "cannot write %s/%s\n", qPrintable(target), qPrintable(name));
        g_failed = true;
    }
}

QByteArray withByte(QByteArray bytes, qsizetype offset, char value)
{
    if (offset < bytes.size())
        bytes[offset] = value;
    return bytes;
}

// Overwrites bytes at offset with text padded to width.
QByteArray withField(QByteArray bytes, qsizetype offset, const QByteArray &text, int width)
{
    QByteArray field = text.left(width);
    field.append(width - field.size(), ' ');
    if (offset + width <= bytes.size())
        bytes.replace(offset, width, field);
    return bytes;
}

constexpr qsizetype kFormatCode = 43;
constexpr qsizetype kHorseCount = 140;
constexpr qsizetype kEntryCount = 90;
constexpr qsizetype kEntryName = 92 + 6;
const QByteArray kScratched = QByteArray::fromHex("c4d8b9bc"); // ﾄﾘｹｼ

GeneratedRace race(quint64 seed, int horses, int scratched, bool result = true)
{
    RaceSetup setup;
    setup.seed = seed;
    setup.horseCount = horses;
    setup.scratchedCount = scratched;
    setup.withResult = result;
    setup.raceNo = int(seed % 12) + 1;
    return GenerateRace(setup);
}

// The race input of the race target: a control byte, then each present part
// as a 2-byte little-endian length and its bytes.
QByteArray raceInput(char control, const QList<std::optional<QByteArray>> &parts)
{
    QByteArray out(1, control);
    for (const std::optional<QByteArray> &part : parts) {
        if (!part)
            break;
        const qsizetype n = std::min<qsizetype>(part->size(), 0xffff);
        out.append(char(n & 0xff));
        out.append(char(n >> 8));
        out.append(part->left(n));
    }
    return out;
}

void oddsFiles(const QList<GeneratedRace> &races)
{
    const QString t = QStringLiteral("tanfuku_odds");
    for (const GeneratedRace &r : races)
        save(t, QStringLiteral("race-%1-%2.jra").arg(r.stem).arg(r.horseCount), TanFukuOddsFileBytes(r.tanFuku));

    const QByteArray full = TanFukuOddsFileBytes(races.first().tanFuku); // 18 horses
    save(t, QStringLiteral("empty"), QByteArray());
    for (int cut : {1, 43, 44, 139, 141, 142, 143, 160, 465})
        save(t, QStringLiteral("cut-%1").arg(cut), full.left(cut));
    save(t, QStringLiteral("format-1"), withByte(full, kFormatCode, '1'));
    save(t, QStringLiteral("format-A"), withByte(full, kFormatCode, 'A'));
    save(t, QStringLiteral("format-2"), withByte(full, kFormatCode, '2'));
    save(t, QStringLiteral("format-3"), withByte(full, kFormatCode, '3'));
    save(t, QStringLiteral("format-lead-byte"), withByte(full, kFormatCode, char(0x81)));
    QByteArray nineteen = withField(full, kHorseCount, "19", 2) + full.mid(full.size() - 18);
    save(t, QStringLiteral("count-19"), nineteen);
    save(t, QStringLiteral("count-blank"), withField(full.left(142), kHorseCount, "", 2));
    save(t, QStringLiteral("count-0"), withField(full.left(142), kHorseCount, " 0", 2));
    save(t, QStringLiteral("count-9-leading-space"), withField(full.left(142 + 9 * 18), kHorseCount, " 9", 2));
    save(t, QStringLiteral("count-minus"), withField(full, kHorseCount, "-1", 2));
    save(t, QStringLiteral("count-exponent"), withField(full, kHorseCount, "1e", 2));
    save(t, QStringLiteral("count-99"), withField(full, kHorseCount, "99", 2));
    save(t, QStringLiteral("count-lead-byte"), withField(full, kHorseCount, "\x81", 2));
    // Odd bytes in the odds: a lead byte cut by the field's end, bytes that are
    // never valid, NUL, the scratched marker everywhere.
    QByteArray odd = full;
    odd.replace(142 + 3, 5, QByteArray("12.\x81", 4) + '\x40');
    odd.replace(142 + 18 + 3, 5, QByteArray::fromHex("80a0fdfeff"));
    odd.replace(142 + 36 + 3, 5, QByteArray("\0\0\0\0\0", 5));
    save(t, QStringLiteral("odd-bytes"), odd);
    QByteArray scratched = full;
    for (int k = 0; k < 18; ++k)
        scratched.replace(142 + 18 * k + 3, 5, kScratched + ' ');
    save(t, QStringLiteral("all-scratched"), scratched);
}

void pairFiles(const QList<GeneratedRace> &races)
{
    const QString t = QStringLiteral("pair_odds");
    for (const GeneratedRace &r : races) {
        if (r.hasPairOdds)
            save(t, QStringLiteral("race-%1-%2.jra").arg(r.stem).arg(r.horseCount), PairOddsFileBytes(r.pairs));
    }
    const QByteArray full = PairOddsFileBytes(races.first().pairs); // 18 horses, 3969 bytes
    save(t, QStringLiteral("empty"), QByteArray());
    for (int cut : {43, 141, 142, 143, 144, 168, 169, 3968})
        save(t, QStringLiteral("cut-%1").arg(cut), full.left(cut));
    save(t, QStringLiteral("two-horses"), withField(full.left(169), kHorseCount, " 2", 2));
    save(t, QStringLiteral("format-1"), withByte(full, kFormatCode, '1'));
    save(t, QStringLiteral("format-3"), withByte(full, kFormatCode, '3'));
    save(t, QStringLiteral("count-19"), withField(full, kHorseCount, "19", 2) + full.mid(144, 25 * 18));
    save(t, QStringLiteral("count-blank"), withField(full.left(144), kHorseCount, "  ", 2));
    save(t, QStringLiteral("count-1"), withField(full.left(144), kHorseCount, " 1", 2));
    save(t, QStringLiteral("count-minus"), withField(full.left(144), kHorseCount, "-5", 2));
    QByteArray odd = full;
    odd.replace(144 + 7, 6, QByteArray("\x82", 1) + kScratched + '\xff');
    odd.replace(144 + 25 + 13, 6, QByteArray("1e9999"));
    odd.replace(144 + 50 + 7, 6, QByteArray("-0.0  "));
    save(t, QStringLiteral("odd-bytes"), odd);
}

void entryFiles(const QList<GeneratedRace> &races)
{
    const QString t = QStringLiteral("entry");
    for (const GeneratedRace &r : races) {
        if (r.hasEntry)
            save(t, QStringLiteral("race-%1-%2.jra").arg(r.stem).arg(r.horseCount), EntryFileBytes(r.entry));
    }
    const QByteArray full = EntryFileBytes(races.first().entry); // 18 horses
    save(t, QStringLiteral("empty"), QByteArray());
    for (int cut : {22, 26, 89, 91, 92, 93, 140, 955})
        save(t, QStringLiteral("cut-%1").arg(cut), full.left(cut));
    save(t, QStringLiteral("count-19"), withField(full, kEntryCount, "19", 2) + full.mid(92, 48));
    save(t, QStringLiteral("count-blank"), withField(full.left(92), kEntryCount, "", 2));
    save(t, QStringLiteral("count-14"), withField(full, kEntryCount, "14", 2));
    save(t, QStringLiteral("count-minus"), withField(full, kEntryCount, "-1", 2));
    // A name whose last double-byte character is cut by the field's end.
    QByteArray cutName = full;
    cutName.replace(kEntryName, 18,
                    QByteArray("\x83\x41\x83\x43\x83\x45\x83\x47\x83\x49\x83\x4a\x83\x4c\x83\x4e\x20\x83", 18));
    save(t, QStringLiteral("name-cut-lead-byte"), cutName);
    save(t, QStringLiteral("start-time-odd"), withField(full, 22, "\x81\x40", 4));
}

void resultFiles(const QList<GeneratedRace> &races)
{
    const QString t = QStringLiteral("result");
    for (const GeneratedRace &r : races) {
        if (r.hasResult)
            save(t, QStringLiteral("race-%1-%2.jra").arg(r.stem).arg(r.horseCount), ResultFileBytes(r.result));
    }
    QByteArray full;
    for (const GeneratedRace &r : races) {
        if (r.hasResult) {
            full = ResultFileBytes(r.result);
            break;
        }
    }
    save(t, QStringLiteral("empty"), QByteArray());
    for (int cut : {90, 370, 375, 533, 686})
        save(t, QStringLiteral("cut-%1").arg(cut), full.left(cut));
    save(t, QStringLiteral("exact-687"), full.left(687));
    save(t, QStringLiteral("longer"), full + QByteArray(100, '\x82'));
    save(t, QStringLiteral("all-ff"), QByteArray(687, '\xff'));
    save(t, QStringLiteral("all-lead-bytes"), QByteArray(687, '\x81'));
}

void raceInputs(const QList<GeneratedRace> &races)
{
    const QString t = QStringLiteral("race");
    int n = 0;
    for (const GeneratedRace &r : races) {
        const auto part = [](bool present, const QByteArray &bytes) {
            return present ? std::optional<QByteArray>(bytes) : std::optional<QByteArray>(QByteArray());
        };
        // A missing sibling is an empty part here; the inputs that leave parts
        // out follow below.
        const QByteArray input =
            raceInput(char(n % 3 == 0 ? 0 : 8 * (n % 4) + n % 8),
                      {TanFukuOddsFileBytes(r.tanFuku), part(r.hasPairOdds, PairOddsFileBytes(r.pairs)),
                       part(r.hasEntry, EntryFileBytes(r.entry)),
                       r.hasResult ? std::optional<QByteArray>(ResultFileBytes(r.result)) : std::nullopt});
        save(t, QStringLiteral("race-%1-%2").arg(r.stem).arg(r.horseCount), input);
        ++n;
    }

    const GeneratedRace &big = races.first();
    const QByteArray zo = TanFukuOddsFileBytes(big.tanFuku);
    const QByteArray uo = PairOddsFileBytes(big.pairs);
    const QByteArray de = EntryFileBytes(big.entry);
    QByteArray ks;
    for (const GeneratedRace &r : races) {
        if (r.hasResult) {
            ks = ResultFileBytes(r.result);
            break;
        }
    }
    save(t, QStringLiteral("empty"), QByteArray());
    save(t, QStringLiteral("no-race-file"), QByteArray(1, '\0'));
    save(t, QStringLiteral("odds-only"), raceInput(0, {zo}));
    save(t, QStringLiteral("odds-and-pairs"), raceInput(0, {zo, uo}));
    save(t, QStringLiteral("empty-odds-file"), raceInput(0, {QByteArray(), uo, de, ks}));
    save(t, QStringLiteral("pairs-count-2"), raceInput(0, {zo, withField(uo.left(169), kHorseCount, " 2", 2), de, ks}));
    save(t, QStringLiteral("pairs-count-19"), raceInput(0, {zo, withField(uo, kHorseCount, "19", 2), de, ks}));
    save(t, QStringLiteral("entry-count-19"), raceInput(0, {zo, uo, withField(de, kEntryCount, "19", 2), ks}));
    save(t, QStringLiteral("odds-count-0"), raceInput(0, {withField(zo.left(142), kHorseCount, " 0", 2), uo, de, ks}));
    save(t, QStringLiteral("odds-count-minus"), raceInput(0, {withField(zo, kHorseCount, "-1", 2), uo, de, ks}));
    save(t, QStringLiteral("format-1"), raceInput(0, {withByte(zo, kFormatCode, '1'), uo, de, ks}));
    save(t, QStringLiteral("pairs-format-1"), raceInput(0, {zo, withByte(uo, kFormatCode, '1'), de, ks}));
    save(t, QStringLiteral("result-cut"), raceInput(0, {zo, uo, de, ks.left(686)}));

    // Hostile odds: every horse scratched, zero odds, huge odds, negative odds.
    const auto everyOdds = [&](const QByteArray &tan, const QByteArray &fuku) {
        QByteArray bytes = zo;
        for (int k = 0; k < 18; ++k) {
            bytes = withField(bytes, 142 + 18 * k + 3, tan, 5);
            bytes = withField(bytes, 142 + 18 * k + 8, fuku, 5);
            bytes = withField(bytes, 142 + 18 * k + 13, fuku, 5);
        }
        return bytes;
    };
    save(t, QStringLiteral("all-scratched"), raceInput(8 | 1, {everyOdds(kScratched, kScratched), uo, de, ks}));
    save(t, QStringLiteral("zero-odds"), raceInput(16 | 2, {everyOdds("0", "0"), uo, de, ks}));
    save(t, QStringLiteral("huge-odds"), raceInput(24 | 3, {everyOdds("99999", "1e38"), uo, de, ks}));
    save(t, QStringLiteral("tiny-odds"), raceInput(8 | 4, {everyOdds("1e-45", ".0001"), uo, de, ks}));
    save(t, QStringLiteral("negative-odds"), raceInput(16 | 5, {everyOdds("-1.5", "-0"), uo, de, ks}));
    QByteArray pairs = uo;
    for (int p = 0; p < 153; ++p) {
        const QByteArray value = p % 3 == 0 ? QByteArray("0") : p % 3 == 1 ? QByteArray("1e30") : QByteArray("-3");
        pairs = withField(pairs, 144 + 25 * p + 7, value, 6);
        pairs = withField(pairs, 144 + 25 * p + 13, value, 6);
    }
    save(t, QStringLiteral("hostile-pairs"), raceInput(24 | 7, {zo, pairs, de, ks}));
    // Wide results that are not pairs of this race.
    QByteArray wide = ks;
    const char *combinations[] = {" 1- 1",      "18-19", "99-99", " 0- 0", "-1--2", "1-2",
                                  "\x82\xa0-3", "",      "  -  ", "18-18", "17-18"};
    for (int k = 0; k < 11; ++k)
        wide = withField(wide, 533 + 14 * k, combinations[k], 6);
    save(t, QStringLiteral("odd-wide-results"), raceInput(0, {zo, uo, de, wide}));
}

// The settings file every setter writes, then hand-edited variants of it.
void settingsFiles()
{
    const QString t = QStringLiteral("settings");
    QTemporaryDir scratch;
    const QString path = scratch.path() + QStringLiteral("/defaults.ini");
    SetSettingsFile(path);
    {
        SettingsBatch batch;
        SetPatFolder(QStringLiteral("C:\\Program Files\\Pat98"));
        for (int h = 1; h <= 18; ++h)
            Settings::HorseNoColor(h).set(Settings::HorseNoColor(h).get() - h);
        Settings::DetectVal().set(Settings::DetectVal().get());
        for (BetType type : {BetType::Umaren, BetType::Wide}) {
            for (int level = 1; level <= 5; ++level) {
                Settings::DetectMin(type, level).set(Settings::DetectMin(type, level).get());
                Settings::DetectMax(type, level).set(Settings::DetectMax(type, level).get());
                Settings::DispChar(type, level).set(Settings::DispChar(type, level).get());
            }
            Settings::DispSign(type).set(Settings::DispSign(type).get());
            Settings::PlusColor(type).set(Settings::PlusColor(type).get());
            Settings::MinusColor(type).set(Settings::MinusColor(type).get());
            Settings::IsIdealLimit(type).set(Settings::IsIdealLimit(type).get());
            Settings::IdealLimit(type).set(Settings::IdealLimit(type).get());
            Settings::IsRealLimit(type).set(Settings::IsRealLimit(type).get());
            Settings::RealLimit(type).set(Settings::RealLimit(type).get());
            Settings::IsTanRatioLimit(type).set(Settings::IsTanRatioLimit(type).get());
            Settings::TanRatioLimit(type).set(Settings::TanRatioLimit(type).get());
            Settings::IsFukuRatioLimit(type).set(Settings::IsFukuRatioLimit(type).get());
            Settings::FukuRatioLimit(type).set(Settings::FukuRatioLimit(type).get());
        }
        Settings::Placement(Section::mainWindow(), QStringLiteral("Left")).set(1000);
        Settings::Placement(Section::mainWindow(), QStringLiteral("Width")).set(2880.5f);
        Settings::Placement(Section::selectFileWindow(), QStringLiteral("Height")).set(6180);
    }
    SetSettingsFile(QString());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        g_failed = true;
        return;
    }
    const QByteArray defaults = file.readAll();
    save(t, QStringLiteral("all-options.ini"), defaults);

    const auto edited = [&](const QByteArray &from, const QByteArray &to) {
        QByteArray bytes = defaults;
        return bytes.replace(from, to);
    };
    save(t, QStringLiteral("empty.ini"), QByteArray());
    save(t, QStringLiteral("crlf-bom.ini"), "\xef\xbb\xbf" + QByteArray(defaults).replace("\n", "\r\n"));
    save(t, QStringLiteral("integers-out-of-range.ini"),
         "[Option]\nAutoJudge\\DetectVal=32768\nAutoJudge\\1DetectMinUma=-32769\nAutoJudge\\2DetectMaxWide=1e5\n"
         "AutoJudge\\DispSignUma=2.5\nAutoJudge\\DispSignWide=-0.5\nHorseNoColor\\1=2147483648\n"
         "HorseNoColor\\2=-2147483649\nHorseNoColor\\3=16777215.5\n");
    save(t, QStringLiteral("not-numbers.ini"),
         "[Option]\nAutoJudge\\DetectVal=abc\nAutoJudge\\IdealLimitUma=nan\nAutoJudge\\RealLimitWide=inf\n"
         "AutoJudge\\TanRatioLimitUma=1e39\nAutoJudge\\FukuRatioLimitWide=1e-50\nAutoJudge\\IsIdealLimitUma=fAlSe\n"
         "AutoJudge\\IsRealLimitWide=yes\nAutoJudge\\IsTanRatioLimitUma= 0 \nAutoJudge\\IsFukuRatioLimitWide=0x1\n"
         "HorseNoColor\\4=\nHorseNoColor\\5=\" 255 \"\n");
    save(t, QStringLiteral("commas-and-quotes.ini"),
         "[Option]\nPatFolder=C:\\\\Pat, "
         "98,\nAutoJudge\\1DispCharUma=\"a,b\"\nAutoJudge\\2DispCharUma=a,\"b\nAutoJudge\\DetectVal=\"5\n");
    save(t, QStringLiteral("variants.ini"),
         "[Option]\nPatFolder=@ByteArray(/pat)\nAutoJudge\\DetectVal=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"
         "AutoJudge\\1DispCharWide=@Rect(1 2 3 4)\nAutoJudge\\PlusColorUma=@Size(1 2)\n"
         "AutoJudge\\MinusColorWide=@Point(\nAutoJudge\\IdealLimitWide=@Invalid()\n");
    // A list of 2^31 - 1 items: Qt's reader once asked for 64 GB on it.  Then
    // the same behind quotes, escapes, a list, a line break and blanks, and as
    // a string list.
    const QByteArray huge = "@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)";
    save(t, QStringLiteral("variant-huge.ini"), "[Option]\nPatFolder=" + huge + "\n");
    save(t, QStringLiteral("variant-hidden.ini"),
         "[Option]\nPatFolder=\"" + huge + "\"\nAutoJudge\\1DispCharUma=\\x40" + huge.sliced(1)
             + "\nAutoJudge\\2DispCharUma=\\100" + huge.sliced(1) + "\nAutoJudge\\3DispCharUma=a, " + huge
             + "\nAutoJudge\\4DispCharUma=@Vari\\\nant" + huge.sliced(8) + "\n[MainWindow]\nLeft= \t" + huge + " \n");
    save(t, QStringLiteral("variant-string-list.ini"),
         "[Option]\nAutoJudge\\DetectVal=@Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)\n");
    save(t, QStringLiteral("escaped-keys.ini"),
         "[Option%5CAutoJudge]\nDetectVal=9\n[%U30DF%U30CC]\nx=1\n[Option]\n%41utoJudge\\DetectVal=3\nAutoJudge/"
         "DetectVal=4\n"
         "AutoJudge\\\\DetectVal=6\n");
    save(
        t, QStringLiteral("broken-sections.ini"),
        "[Option\nPatFolder=/a\n[]\n=5\n[MainWindow]]\nLeft=-1e30\n[SelectFileWindow]\nWidth=1e38\nHeight=-0\n\\=\\\n");
    save(t, QStringLiteral("duplicates.ini"),
         "[Option]\nPatFolder=/one\nPatFolder=/"
         "two\n[Option]\nAutoJudge\\DetectVal=1\n[option]\nAutoJudge\\DetectVal=2\n");
    save(t, QStringLiteral("levels-out-of-range.ini"),
         "[Option]\nAutoJudge\\0DetectMinUma=1\nAutoJudge\\6DetectMaxWide=2\nAutoJudge\\0DispCharUma=x\n"
         "AutoJudge\\6DispCharWide=\nHorseNoColor\\0=1\nHorseNoColor\\19=2\n");
    static const char sjis[] =
        "[Option]\nPatFolder=C:\\\\\x83\x70\x83\x62\x83\x67\nAutoJudge\\1DispCharUma=\x81\x9d\n"
        "AutoJudge\\2DispCharUma=a\0b\nAutoJudge\\3DispCharUma=\xff\xfe\n";
    save(t, QStringLiteral("shift-jis-and-nul.ini"), QByteArray(sjis, sizeof sjis - 1));
    save(t, QStringLiteral("placements.ini"),
         edited("Left=1000", "Left=1000.000000001\nTop=  12 \nWidth=3.4028236e38"));
    save(t, QStringLiteral("empty-folder.ini"), edited("PatFolder=C:\\\\Program Files\\\\Pat98", "PatFolder="));
}

// The file list's input: each file as a 2-byte little-endian length and its
// bytes.
QByteArray fileListInput(const QList<QByteArray> &files)
{
    QByteArray out;
    for (const QByteArray &file : files) {
        const qsizetype n = std::min<qsizetype>(file.size(), 0xffff);
        out.append(char(n & 0xff));
        out.append(char(n >> 8));
        out.append(file.left(n));
    }
    return out;
}

void fileListInputs(const QList<GeneratedRace> &races)
{
    const QString t = QStringLiteral("file_list");
    QList<QByteArray> headers;
    for (const GeneratedRace &r : races)
        headers.append(TanFukuOddsFileBytes(r.tanFuku).left(142));
    save(t, QStringLiteral("empty"), QByteArray());
    save(t, QStringLiteral("one-race"), fileListInput({TanFukuOddsFileBytes(races.first().tanFuku)}));
    save(t, QStringLiteral("meeting"), fileListInput(headers));

    QList<QByteArray> bad = headers.mid(0, 6);
    bad[1] = withByte(bad[1], kFormatCode, '1');
    bad[2] = bad[2].left(141);
    bad[3] = withByte(bad[3], kFormatCode, 'A');
    bad[4] = QByteArray();
    save(t, QStringLiteral("bad-files"), fileListInput(bad));

    // Courses, meetings and races that are not numbers, and ones that are
    // numbers only as texts go ("1e1"), so that the sort keys mix.
    constexpr qsizetype course = 8 + 8 + 2 + 8 + 2;
    constexpr qsizetype kai = course + 4 + 4;
    constexpr qsizetype raceNo = kai + 2 + 2;
    const char *courses[] = {"  05", "1e1 ", "\x8e\x44\x96\x79", "  2 ", "    ", "-0  ", "05  ", "1f  "};
    const char *kais[] = {" 3", "-1", "  ", "9.", "\x81\x40", " 3", "1e", "03"};
    const char *races2[] = {"11", " 1", "  ", "1 ", "99", "-5", "\xff\xff", " 1"};
    QList<QByteArray> mixed;
    for (int k = 0; k < 8; ++k) {
        QByteArray h = headers[k % headers.size()];
        h = withField(h, course, courses[k], 4);
        h = withField(h, kai, kais[k], 2);
        h = withField(h, kai + 2, kais[7 - k], 2);
        h = withField(h, raceNo, races2[k], 2);
        mixed.append(h);
    }
    save(t, QStringLiteral("mixed-keys"), fileListInput(mixed));
    save(t, QStringLiteral("same-keys"), fileListInput({headers[0], headers[0], headers[0], headers[1]}));
}

void numberTexts()
{
    const QString t = QStringLiteral("numbers");
    const char *texts[] = {
        "12.3",
        " 9",
        "\xc4\xd8\xb9\xbc ",
        "1e38",
        "3.4028236e38",
        "1e39",
        "-0",
        ".5",
        "5.",
        "1e-45",
        "1e-46",
        "7e-46",
        "1.17549435e-38",
        "0.0005",
        "2.5",
        "0.125",
        "-0.0625",
        "1.0005",
        "99999.9",
        "9999.9",
        "  +3 ",
        "1.2.3",
        "--1",
        "\t7\t",
        "0.1234567",
        "16777217",
        "340282356779733661637539395458142568448",
        "1e400",
        "2.2250738585072014e-308",
        "4.9e-324",
        "1e-400",
        "12345678901234567890.5",
        "000000000000000000000123",
        "0.00000000000000000000001",
        "1e",
        "1.e5",
        "-.5e-3",
        "+",
        ".",
        "",
        "  ",
        "0.8",
        "0.0395",
        "1234.5678",
    };
    int n = 0;
    for (const char *text : texts)
        save(t, QStringLiteral("text-%1").arg(++n, 2, 10, QLatin1Char('0')), QByteArray(text));
    // Doubles by their bytes: halves of the pictures, a subnormal, NaN, infinity.
    for (double value : {0.0005, 2.5, -0.05, 0.0625, 1e300, 5e-324, std::nan(""),
                         -std::numeric_limits<double>::infinity(), 0.1 + 0.2, 1e15 + 0.5}) {
        QByteArray bytes(reinterpret_cast<const char *>(&value), sizeof value);
        save(t, QStringLiteral("double-%1").arg(++n, 2, 10, QLatin1Char('0')), bytes);
    }
}

} // namespace

// Record files: races one by one and a day in one file, and the same with
// CR LF made LF, a record cut short, a stray line and a file cut mid-record.
void jvInputs(const QList<GeneratedRace> &races)
{
    QByteArray day;
    for (qsizetype k = 0; k < races.size(); ++k) {
        JvWriteOptions options;
        options.earlierOdds = k % 3 == 1;
        const QByteArray records = JvRecordsOf(races[k], options);
        if (k % 4 == 0)
            save(QStringLiteral("jvdata"), QStringLiteral("race-%1").arg(k, 2, 10, QChar(u'0')), records);
        day += records;
    }
    save(QStringLiteral("jvdata"), QStringLiteral("day"), day);
    QByteArray bare = day;
    save(QStringLiteral("jvdata"), QStringLiteral("day-lf"), bare.replace("\r\n", "\n"));
    const QByteArray one = JvRecordsOf(races.first());
    QByteArray cut = one;
    save(QStringLiteral("jvdata"), QStringLiteral("cut-record"), cut.remove(1400, 9));
    save(QStringLiteral("jvdata"), QStringLiteral("cut-file"), one.left(one.size() - 700));
    save(QStringLiteral("jvdata"), QStringLiteral("stray-line"), one.left(1272) + "not a record\r\n" + one.mid(1272));
    save(QStringLiteral("jvdata"), QStringLiteral("empty"), QByteArray());
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);

    // Races of every size the readers meet: the full card of a meeting day
    // (18 horses with a scratched one, a small field, one without pair odds,
    // one without entries) and a few more small and scratched fields.
    MeetingOptions meeting;
    meeting.seed = 20260315;
    meeting.racesPerCourse = 3;
    QList<GeneratedRace> races = GenerateMeeting(meeting);
    races.append(race(11, 2, 0));
    races.append(race(12, 3, 1));
    races.append(race(13, 16, 3, false));
    races.append(race(14, 18, 0));

    oddsFiles(races);
    pairFiles(races);
    entryFiles(races);
    resultFiles(races);
    raceInputs(races);
    settingsFiles();
    numberTexts();
    fileListInputs(races);
    jvInputs(races);
    return g_failed ? 1 : 0;
}
