// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/settings_store.h"

#include "settings/ini_screen.h"
#include "settings/race_options.h"
#include "settings/scratch_folder.h"

#include "common/text_convert.h"
#include "support/file_bytes.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <charconv>
#include <cmath>
#include <csignal>
#include <functional>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace CommonFunc;

Q_DECLARE_METATYPE(CommonFunc::SettingsFileProblem)
Q_DECLARE_METATYPE(CommonFunc::TextEncoding)

namespace {

QString u16(const char16_t *text) { return QString::fromUtf16(text); }

template <typename T>
QVariant variantOf(const T &value)
{
    if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, float> || std::is_same_v<T, QString>)
        return QVariant::fromValue(value);
    else
        return QVariant(int(value));
}

// One key of the store as the test knows it: where it lives and its default,
// with the store's typed readings folded into QVariant, so that one table
// covers every type.
struct Entry {
    QString section;
    QString key;
    QVariant fallback;
    std::function<QVariant()> get;
    std::function<std::optional<QVariant>()> tryGet;
    bool keyMatches; // the setting lives where the test expects it

    bool isText() const { return fallback.typeId() == QMetaType::QString; }
    QString name() const { return section + u'/' + key; }
};

template <typename T>
void add(std::vector<Entry> &list, const QString &section, const QString &key, const QVariant &fallback,
         const CommonFunc::Setting<T> &setting)
{
    list.push_back({section, key, fallback, [setting] { return variantOf(setting.get()); },
                    [setting]() -> std::optional<QVariant> {
                        const std::optional<T> value = setting.tryGet();
                        if (!value)
                            return std::nullopt;
                        return variantOf(*value);
                    },
                    setting.section() == section &&setting.key() == key});
}

// Every key of the store except the PAT folder, whose default depends on the
// environment.
std::vector<Entry> allSettings()
{
    std::vector<Entry> list;
    for (int horse = 1; horse <= 18; ++horse)
        add(list, Section::horseNoColor(), QString::number(horse), variantOf(16777215), Settings::HorseNoColor(horse));
    add(list, Section::autoJudge(), QStringLiteral("DetectVal"), variantOf(5), Settings::DetectVal());

    const struct {
        const char *suffix;
        BetType type;
        std::array<int, 5> min;
        std::array<int, 5> max;
        float realLimit;
    } twins[] = {{"Uma", BetType::Umaren, {500, 300, 200, 100, 50}, {1000, 500, 300, 200, 100}, 300.0f},
                 {"Wide", BetType::Wide, {300, 200, 100, 50, 30}, {1000, 300, 200, 100, 50}, 100.0f}};
    const QString marks[5] = {u16(u"◎"), u16(u"○"), u16(u"▲"), u16(u"△"), u16(u"×")};
    for (const auto &twin : twins) {
        const QString suffix = QLatin1String(twin.suffix);
        const BetType t = twin.type;
        const auto key = [&](const char *base, int level = 0) {
            return (level > 0 ? QString::number(level) : QString()) + QLatin1String(base) + suffix;
        };
        const QString judge = Section::autoJudge();
        for (int level = 1; level <= 5; ++level) {
            const auto i = std::size_t(level - 1);
            add(list, judge, key("DetectMin", level), variantOf(qint16(twin.min[i])), Settings::DetectMin(t, level));
            add(list, judge, key("DetectMax", level), variantOf(qint16(twin.max[i])), Settings::DetectMax(t, level));
            add(list, judge, key("DispChar", level), variantOf(marks[i]), Settings::DispChar(t, level));
        }
        add(list, judge, key("DispSign"), variantOf(qint16(0)), Settings::DispSign(t));
        add(list, judge, key("PlusColor"), variantOf(0), Settings::PlusColor(t));
        add(list, judge, key("MinusColor"), variantOf(255), Settings::MinusColor(t));
        add(list, judge, key("IsIdealLimit"), variantOf(true), Settings::IsIdealLimit(t));
        add(list, judge, key("IdealLimit"), variantOf(1000.0f), Settings::IdealLimit(t));
        add(list, judge, key("IsRealLimit"), variantOf(true), Settings::IsRealLimit(t));
        add(list, judge, key("RealLimit"), variantOf(twin.realLimit), Settings::RealLimit(t));
        add(list, judge, key("IsTanRatioLimit"), variantOf(true), Settings::IsTanRatioLimit(t));
        add(list, judge, key("TanRatioLimit"), variantOf(0.04f), Settings::TanRatioLimit(t));
        add(list, judge, key("IsFukuRatioLimit"), variantOf(true), Settings::IsFukuRatioLimit(t));
        add(list, judge, key("FukuRatioLimit"), variantOf(0.05f), Settings::FukuRatioLimit(t));
    }

    const struct {
        QString section;
        const char16_t *key;
        int twips;
    } placements[] = {
        {Section::mainWindow(), u"Left", 1000},        {Section::mainWindow(), u"Top", 1000},
        {Section::mainWindow(), u"Width", 2880},       {Section::optionWindow(), u"Left", 1500},
        {Section::optionWindow(), u"Top", 1000},       {Section::selectFileWindow(), u"Left", 1500},
        {Section::selectFileWindow(), u"Top", 1000},   {Section::selectFileWindow(), u"Height", 6180},
        {Section::selectFileWindow(), u"Width", 7635},
    };
    for (const auto &p : placements) {
        const QString key = QString::fromUtf16(p.key);
        add(list, p.section, key, variantOf(float(p.twips)), Settings::Placement(p.section, key, p.twips));
    }
    return list;
}

int significantDigits(QStringView text)
{
    const qsizetype first = text.indexOf(QRegularExpression(QStringLiteral("[1-9]")));
    if (first < 0)
        return 0;
    qsizetype last = text.size() - 1;
    while (text[last] == u'0' || text[last] == u'.')
        --last;
    return int(text.mid(first, last - first + 1).count(QRegularExpression(QStringLiteral("[0-9]"))));
}

// Digits of the shortest decimal that reads back as the same float.
int shortestDigits(float value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    return significantDigits(QStringView(text).left(text.indexOf(u'e')));
}

// Runs body in a child process that has given root up (root passes every
// permission check); the child's exit code, 3 when it could not.
int asNobody(const std::function<bool()> &body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        [[maybe_unused]] const int ignored = ::setgid(65534);
        ::_exit(::setuid(65534) != 0 ? 3 : body() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}

// Runs body in a child process, as nobody when unprivileged; how the child
// ended: its exit code, or 128 + the signal that ended it.  3 when it could
// not give root up.
int inChild(bool unprivileged, const std::function<int()> &body)
{
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // As in the programs, not the test's crash handler.
        for (const int signal : {SIGTERM, SIGHUP, SIGINT})
            std::signal(signal, SIG_DFL);
        if (unprivileged) {
            [[maybe_unused]] const int ignored = ::setgid(65534);
            if (::setuid(65534) != 0)
                ::_exit(3);
        }
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// Typed values Qt's reader may decode without harm, among fragments that
// make its lines, quotes, escapes and lists meet in every way.
QByteArray randomIni(QRandomGenerator &random)
{
    // clang-format off
    static const char *const kFragments[] = {
        "\n", "\r\n", "\n[S]\n", "[T]", "\nk=", "\nm=", "\nn=", "\n p =", "=", " ", "\t", ",", ", ", "\"", "\\", ";",
        "a", "x", "4", "0", "@", "@@", ")", "\\x40", "\\100", "\\x", "\\n", "\\\n", "\xe3\x81\x82", "\xe3", "\xff",
        "@Rect(1 2 3 4)", "@Size(1 2)", "@Point(3 4)", "@ByteArray(ab)", "@Invalid()", "@String(s)", "Rect(", "Size(1 2)",
        "@Rect(1 2 3 4)", "@Size(1 2)", "@Point(3 4)", "@ByteArray(ab)", "@Invalid()",
    };
    // clang-format on
    QByteArray ini;
    for (int k = int(random.bounded(40)); k >= 0; --k)
        ini += kFragments[random.bounded(int(std::size(kFragments)))];
    return ini;
}

bool isText(const QVariant &value)
{
    const QVariantList items = value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList {value};
    return value.typeId() == QMetaType::QStringList
        || std::all_of(items.cbegin(), items.cend(),
                       [](const QVariant &item) { return item.typeId() == QMetaType::QString; });
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString filePath() const { return dir->filePath(QStringLiteral("settings.ini")); }

    QString fileText() const
    {
        QFile file(filePath());
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll());
    }

    // Writes the file as a person or another program would, bypassing the store.
    void writeFile(const QString &text) const
    {
        QFile file(filePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }

    // An INI file that holds the given text under every key of the table.
    static QString iniWithEveryKey(const std::vector<Entry> &settings, const QString &value)
    {
        QMap<QString, QStringList> groups;
        for (const Entry &s : settings) {
            const qsizetype slash = s.section.indexOf(u'\\');
            const QString group = slash < 0 ? s.section : s.section.left(slash);
            const QString prefix = slash < 0 ? QString() : s.section.mid(slash + 1) + u'\\';
            groups[group] << prefix + s.key + u'=' + value;
        }
        QString text;
        for (auto it = groups.cbegin(); it != groups.cend(); ++it)
            text += u'[' + it.key() + QStringLiteral("]\n") + it.value().join(u'\n') + u'\n';
        return text;
    }

private slots:
    void batchWritesTheFileOnceAtItsEnd();
    void initTestCase();
    void init();
    void cleanup();

    void freshStoreHasEveryDefaultAndWritesNothing();
    void iniLayoutNestsSections();
    void settersWriteTextForms();
    void storedTextsConvert_data();
    void storedTextsConvert();
    void typedValuesReadBack();
    void realTextReadsBack();
    void marksSurviveExactly_data();
    void marksSurviveExactly();
    void patFolderEndsInSeparator_data();
    void patFolderEndsInSeparator();
    void patFolderDefaultFollowsWinePrefix();
    void environmentRedirectsStore();
    void refreshSeesOtherWriters();
    void unwritableStoreIsSilent();
    void unquotedCommaReadsAsOneText();
    void garbageFallsBackToDefaults_data();
    void garbageFallsBackToDefaults();
    void levelsOutsideRangeHaveNoDefault();
    void optionsSnapshotTakesEachKey();
    void storedOptionsKeepWhatIsAbsent();
    void modelOptions();
    void optionsFollowEveryChangeOfTheStore();
    void csvEncoding_data();
    void csvEncoding();

    void typedValuesReadAsText_data();
    void typedValuesReadAsText();
    void screenedFileReadsAsQtReadsIt();
    void savesAsQtDoes_data();
    void savesAsQtDoes();
    void refusedFileIsLeftAlone_data();
    void refusedFileIsLeftAlone();
    void unreadableFileIsLeftAlone();
    void noWorkingCopyLeavesFileAlone_data();
    void noWorkingCopyLeavesFileAlone();

    void failedWriteKeepsTheFileAndSaysWhy_data();
    void failedWriteKeepsTheFileAndSaysWhy();
    void noCopyOutlivesTheRun_data();
    void noCopyOutlivesTheRun();
    void signalRemovesTheScratchFolder_data();
    void signalRemovesTheScratchFolder();
    void staleScratchFoldersGo();
};

void TestSettingsStore::initTestCase()
{
    qunsetenv("MINUKURU_SETTINGS");
    qputenv("WINEPREFIX", "/opt/wine-minukuru");
}

void TestSettingsStore::batchWritesTheFileOnceAtItsEnd()
{
    {
        const SettingsBatch outer;
        Settings::DetectVal().set(9);
        {
            const SettingsBatch inner;
            Settings::DispSign(BetType::Wide).set(2);
        }
        QVERIFY(!QFile::exists(filePath())); // an inner batch does not write
        QCOMPARE(Settings::DetectVal().get(), qint16(9)); // but the values read back at once
    }
    QVERIFY(fileText().contains(QStringLiteral("DetectVal=9")));
    QVERIFY(fileText().contains(QStringLiteral("DispSignWide=2")));
    Settings::DetectVal().set(4); // outside a batch every write reaches the file
    QVERIFY(fileText().contains(QStringLiteral("DetectVal=4")));
}

void TestSettingsStore::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    SetSettingsFile(filePath());
}

void TestSettingsStore::cleanup()
{
    // Drop the store before its folder goes, so nothing outlives the test.
    SetSettingsFile(QString());
    dir.reset();
}

void TestSettingsStore::freshStoreHasEveryDefaultAndWritesNothing()
{
    const std::vector<Entry> settings = allSettings();
    QCOMPARE(settings.size(), std::size_t(18 + 1 + 2 * (3 * 5 + 11) + 9));
    for (const Entry &s : settings) {
        const QByteArray name = s.name().toUtf8();
        QVERIFY2(s.keyMatches, name.constData());
        QVERIFY2(s.get() == s.fallback, name.constData());
        QVERIFY2(s.tryGet() == s.fallback, name.constData());
    }
    RefreshSettings();
    QVERIFY(!QFile::exists(filePath()));
    QVERIFY(QDir(dir->path()).isEmpty());
}

void TestSettingsStore::iniLayoutNestsSections()
{
    Settings::DetectMin(BetType::Umaren, 1).set(500);
    QCOMPARE(fileText(), QStringLiteral("[Option]\nAutoJudge\\1DetectMinUma=500\n"));

    Settings::HorseNoColor(7).set(255);
    Settings::Placement(Section::mainWindow(), QStringLiteral("Left")).set(1000);
    const QString text = fileText();
    QVERIFY(text.contains(QStringLiteral("[MainWindow]\nLeft=1000\n")));
    QVERIFY(text.contains(QStringLiteral("[Option]\nAutoJudge\\1DetectMinUma=500\nHorseNoColor\\7=255\n")));
}

void TestSettingsStore::settersWriteTextForms()
{
    Settings::IsIdealLimit(BetType::Umaren).set(false);
    Settings::IsRealLimit(BetType::Wide).set(true);
    Settings::TanRatioLimit(BetType::Umaren).set(0.04f);
    Settings::IdealLimit(BetType::Wide).set(1000.0f);
    Settings::RealLimit(BetType::Umaren).set(9999.9f);
    Settings::FukuRatioLimit(BetType::Wide).set(1.0f / 3.0f);
    Settings::PlusColor(BetType::Umaren).set(65280);
    Settings::MinusColor(BetType::Wide).set(16777215);
    Settings::HorseNoColor(18).set(0);
    Settings::DetectVal().set(-3);
    Settings::DispSign(BetType::Wide).set(2);
    Settings::DetectMax(BetType::Wide, 5).set(32767);
    SetPatFolder(QStringLiteral("/pat"));
    Settings::Placement(Section::selectFileWindow(), QStringLiteral("Width")).set(7635.5f);

    const QStringList lines = fileText().split(u'\n');
    const QStringList expected = {
        QStringLiteral("AutoJudge\\IsIdealLimitUma=False"),
        QStringLiteral("AutoJudge\\IsRealLimitWide=True"),
        QStringLiteral("AutoJudge\\TanRatioLimitUma=0.04"),
        QStringLiteral("AutoJudge\\IdealLimitWide=1000"),
        QStringLiteral("AutoJudge\\RealLimitUma=9999.9"),
        QStringLiteral("AutoJudge\\FukuRatioLimitWide=0.3333333"),
        QStringLiteral("AutoJudge\\PlusColorUma=65280"),
        QStringLiteral("AutoJudge\\MinusColorWide=16777215"),
        QStringLiteral("HorseNoColor\\18=0"),
        QStringLiteral("AutoJudge\\DetectVal=-3"),
        QStringLiteral("AutoJudge\\DispSignWide=2"),
        QStringLiteral("AutoJudge\\5DetectMaxWide=32767"),
        QStringLiteral("PatFolder=/pat"),
        QStringLiteral("Width=7635.5"),
    };
    for (const QString &line : expected)
        QVERIFY2(lines.contains(line), qPrintable(line));
}

void TestSettingsStore::storedTextsConvert_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QVariant>("value"); // invalid: the read fails

    const QVariant fails;
    const auto row = [](const char *name, const char *kind, const QString &stored, const QVariant &value) {
        QTest::newRow(name) << QString::fromLatin1(kind) << stored << value;
    };
    row("integer", "integer", QStringLiteral("12"), 12);
    row("integer tie down", "integer", QStringLiteral("2.5"), 2);
    row("integer tie up", "integer", QStringLiteral("3.5"), 4);
    row("integer negative tie", "integer", QStringLiteral("-2.5"), -2);
    row("integer top", "integer", QStringLiteral("32767"), 32767);
    row("integer over top", "integer", QStringLiteral("32768"), fails);
    row("integer rounds over top", "integer", QStringLiteral("32767.5"), fails);
    row("integer bottom tie", "integer", QStringLiteral("-32768.5"), -32768);
    row("integer letters", "integer", QStringLiteral("12abc"), fails);
    row("integer empty", "integer", QString(), fails);

    row("colour green", "colour", QStringLiteral("65280"), 65280);
    row("colour negative", "colour", QStringLiteral("-1"), -1);
    row("colour over 32 bits", "colour", QStringLiteral("2147483648"), fails);
    row("colour hex", "colour", QStringLiteral("&HFF"), fails);

    row("flag True", "flag", QStringLiteral("True"), true);
    row("flag TRUE", "flag", QStringLiteral("TRUE"), true);
    row("flag false", "flag", QStringLiteral("false"), false);
    row("flag 0", "flag", QStringLiteral("0"), false);
    row("flag 0.0", "flag", QStringLiteral("0.0"), false);
    row("flag 2", "flag", QStringLiteral("2"), true);
    row("flag -1", "flag", QStringLiteral("-1"), true);
    row("flag yes", "flag", QStringLiteral("yes"), fails);
    row("flag empty", "flag", QString(), fails);

    row("real", "real", QStringLiteral("0.04"), 0.04f);
    row("real exponent", "real", QStringLiteral("1e3"), 1000.0f);
    row("real beyond range", "real", QStringLiteral("1e39"), fails);
    row("real comma", "real", QStringLiteral("0,04"), fails);
}

void TestSettingsStore::storedTextsConvert()
{
    QFETCH(QString, kind);
    QFETCH(QString, stored);
    QFETCH(QVariant, value);

    QVariant fallback;
    std::function<QVariant()> get;
    std::function<std::optional<QVariant>()> tryGet;
    for (const Entry &s : allSettings()) {
        const bool match = (kind == u"integer" && s.key == u"DetectVal")
            || (kind == u"colour" && s.key == u"PlusColorWide") || (kind == u"flag" && s.key == u"IsRealLimitUma")
            || (kind == u"real" && s.key == u"TanRatioLimitWide");
        if (!match)
            continue;
        WriteSettingText(s.section, s.key, stored);
        fallback = s.fallback;
        get = s.get;
        tryGet = s.tryGet;
    }
    QVERIFY(get);

    if (value.isValid()) {
        QCOMPARE(tryGet(), std::optional<QVariant>(value));
        QCOMPARE(get(), value);
    } else {
        QCOMPARE(tryGet(), std::nullopt);
        QCOMPARE(get(), fallback);
    }
}

void TestSettingsStore::typedValuesReadBack()
{
    Settings::IsIdealLimit(BetType::Umaren).set(false);
    Settings::PlusColor(BetType::Wide).set(65280);
    Settings::HorseNoColor(1).set(0);
    Settings::TanRatioLimit(BetType::Umaren).set(0.04f);
    Settings::DetectMin(BetType::Wide, 4).set(-32768);
    Settings::Placement(Section::optionWindow(), QStringLiteral("Top")).set(1234.5f);

    QCOMPARE(Settings::IsIdealLimit(BetType::Umaren).get(), false);
    QCOMPARE(Settings::IsIdealLimit(BetType::Wide).get(), true);
    QCOMPARE(Settings::PlusColor(BetType::Wide).get(), 65280);
    QCOMPARE(Settings::PlusColor(BetType::Umaren).get(), 0);
    QCOMPARE(Settings::HorseNoColor(1).get(), 0);
    QCOMPARE(Settings::HorseNoColor(2).get(), 16777215);
    QCOMPARE(Settings::TanRatioLimit(BetType::Umaren).get(), 0.04f);
    QCOMPARE(Settings::DetectMin(BetType::Wide, 4).get(), qint16(-32768));
    QCOMPARE(Settings::DetectMin(BetType::Umaren, 4).get(), qint16(100));
    QCOMPARE(Settings::Placement(Section::optionWindow(), QStringLiteral("Top"), 1000).get(), 1234.5f);
}

// Reals are written as the shortest plain decimal of at most seven digits,
// and read back unchanged whenever such a text exists.
void TestSettingsStore::realTextReadsBack()
{
    QRandomGenerator random(5150);
    const QRegularExpression plain(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?$"));
    int checked = 0;
    for (int n = 0; n < 4000; ++n) {
        float value;
        if (n % 2 == 0) {
            const double mantissa = 1.0 + double(random.bounded(1 << 23)) / double(1 << 23);
            value = float(std::ldexp(mantissa, int(random.bounded(-30, 40))));
        } else {
            const int digits = 1 + int(random.bounded(7));
            const QString text = QString::number(random.bounded(int(std::pow(10, digits)))) + u'e'
                + QString::number(random.bounded(-12, 12));
            value = *RealFromText(text);
        }
        if (random.bounded(2))
            value = -value;
        const QString text = RealText(value);
        const int shortest = shortestDigits(value);
        QVERIFY2(plain.match(text).hasMatch(), qPrintable(text));
        if (shortest <= 7) {
            ++checked;
            QVERIFY2(significantDigits(text) == shortest, qPrintable(text));
            QVERIFY2(RealFromText(text) == value, qPrintable(text));
        } else {
            QVERIFY2(significantDigits(text) <= 7, qPrintable(text));
        }
    }
    QVERIFY(checked > 2000);
}

void TestSettingsStore::marksSurviveExactly_data()
{
    QTest::addColumn<QString>("mark");

    QTest::newRow("default mark") << u16(u"◎");
    QTest::newRow("spaces around") << u16(u"  ◎ ");
    QTest::newRow("inner spaces") << QStringLiteral(" a b ");
    QTest::newRow("half-width kana") << u16(u"ﾄﾘｹｼ");
    QTest::newRow("empty") << QString();
    QTest::newRow("at sign") << QStringLiteral("@");
    QTest::newRow("looks typed") << QStringLiteral("@Invalid()");
    QTest::newRow("comma") << QStringLiteral("a,b");
    QTest::newRow("semicolon") << QStringLiteral("a;b");
    QTest::newRow("hash") << QStringLiteral("#x");
    QTest::newRow("quotes") << QStringLiteral("\"q\"");
    QTest::newRow("backslash") << QStringLiteral("a\\b");
    QTest::newRow("tab") << QStringLiteral("\tx");
    QTest::newRow("line break") << QStringLiteral("a\nb");
}

void TestSettingsStore::marksSurviveExactly()
{
    QFETCH(QString, mark);
    Settings::DispChar(BetType::Wide, 3).set(mark);
    QCOMPARE(Settings::DispChar(BetType::Wide, 3).get(), mark);
    QCOMPARE(Settings::DispChar(BetType::Umaren, 3).get(), u16(u"▲"));

    // And as read by a later run of the program.
    SetSettingsFile(dir->filePath(QStringLiteral("elsewhere.ini")));
    SetSettingsFile(filePath());
    QCOMPARE(Settings::DispChar(BetType::Wide, 3).tryGet(), std::optional<QString>(mark));
}

void TestSettingsStore::patFolderEndsInSeparator_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("folder");

    QTest::newRow("no separator") << QStringLiteral("/pat") << QStringLiteral("/pat/");
    QTest::newRow("separator") << QStringLiteral("/pat/") << QStringLiteral("/pat/");
    QTest::newRow("empty") << QString() << QStringLiteral("/");
    QTest::newRow("spaces and kana") << u16(u"/a b/ミヌ") << u16(u"/a b/ミヌ/");
    QTest::newRow("two separators kept") << QStringLiteral("/pat//") << QStringLiteral("/pat//");
}

void TestSettingsStore::patFolderEndsInSeparator()
{
    QFETCH(QString, stored);
    QFETCH(QString, folder);

    SetPatFolder(stored);
    QCOMPARE(ReadSettingText(Section::option(), QStringLiteral("PatFolder")), std::optional<QString>(stored));
    QCOMPARE(GetPatFolder(), folder);
    QCOMPARE(GetPatFilePath(QStringLiteral("Zo-0101.jra")), folder + QStringLiteral("Zo-0101.jra"));
}

void TestSettingsStore::patFolderDefaultFollowsWinePrefix()
{
    const QString pat = QStringLiteral("/drive_c/Program Files/Pat98/");
    QCOMPARE(GetPatFolder(), QStringLiteral("/opt/wine-minukuru") + pat);
    QCOMPARE(GetPatFilePath(QStringLiteral("Uo-1.jra")),
             QStringLiteral("/opt/wine-minukuru") + pat + QStringLiteral("Uo-1.jra"));

    qputenv("WINEPREFIX", "/opt/other/");
    QCOMPARE(GetPatFolder(), QStringLiteral("/opt/other") + pat);

    qunsetenv("WINEPREFIX");
    QCOMPARE(GetPatFolder(), QDir::homePath() + QStringLiteral("/.wine") + pat);
    qputenv("WINEPREFIX", "/opt/wine-minukuru");

    QVERIFY(!QFile::exists(filePath()));
}

void TestSettingsStore::environmentRedirectsStore()
{
    SetSettingsFile(QString());
    QVERIFY(SettingsFilePath().endsWith(u16(u"/ミヌクル君super/ミヌクル君super.ini")));

    const QString redirected = dir->filePath(QStringLiteral("from-environment.ini"));
    qputenv("MINUKURU_SETTINGS", redirected.toLocal8Bit());
    SetSettingsFile(QString());
    QCOMPARE(SettingsFilePath(), redirected);
    Settings::DetectVal().set(9);
    qunsetenv("MINUKURU_SETTINGS");

    QCOMPARE(Settings::DetectVal().get(), qint16(9));
    QFile file(redirected);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("AutoJudge\\DetectVal=9"));

    // An explicit file wins over the environment.
    qputenv("MINUKURU_SETTINGS", redirected.toLocal8Bit());
    SetSettingsFile(filePath());
    QCOMPARE(Settings::DetectVal().get(), qint16(5));
    qunsetenv("MINUKURU_SETTINGS");
}

void TestSettingsStore::refreshSeesOtherWriters()
{
    Settings::DetectVal().set(5);
    Settings::DetectMin(BetType::Umaren, 2).set(77);

    {
        QSettings other(filePath(), QSettings::IniFormat);
        other.setValue(QStringLiteral("Option/AutoJudge/DetectVal"), QStringLiteral("12"));
    }
    RefreshSettings();
    QCOMPARE(Settings::DetectVal().get(), qint16(12));

    // A second copy of the program rewrites the whole file.
    writeFile(QStringLiteral("[Option]\nAutoJudge\\DetectVal=1234\nAutoJudge\\1DispCharUma=") + u16(u"★")
              + QStringLiteral("\nHorseNoColor\\4=65280\n"));
    RefreshSettings();
    QCOMPARE(Settings::DetectVal().get(), qint16(1234));
    QCOMPARE(Settings::DispChar(BetType::Umaren, 1).get(), u16(u"★"));
    QCOMPARE(Settings::HorseNoColor(4).get(), 65280);
    QCOMPARE(Settings::DetectMin(BetType::Umaren, 2).get(), qint16(300));
}

void TestSettingsStore::unwritableStoreIsSilent()
{
    // A path below a plain file cannot be created, even by root.
    writeFile(QStringLiteral("not a folder"));
    const QString path = filePath() + QStringLiteral("/settings.ini");
    SetSettingsFile(path);

    QCOMPARE(Settings::DetectVal().get(), qint16(5));
    Settings::DetectVal().set(9);
    Settings::DispChar(BetType::Umaren, 1).set(u16(u"○"));
    SetPatFolder(QStringLiteral("/elsewhere"));
    Settings::Placement(Section::mainWindow(), QStringLiteral("Left")).set(10.0f);
    RefreshSettings();
    QVERIFY(!QFile::exists(path));
    QCOMPARE(fileText(), QStringLiteral("not a folder"));

    // Nothing reached the store, so the next run sees the defaults.
    SetSettingsFile(filePath() + QStringLiteral("/other.ini"));
    SetSettingsFile(path);
    QCOMPARE(Settings::DetectVal().get(), qint16(5));
    QCOMPARE(Settings::DispChar(BetType::Umaren, 1).get(), u16(u"◎"));
}

void TestSettingsStore::unquotedCommaReadsAsOneText()
{
    writeFile(
        QStringLiteral("[Option]\nAutoJudge\\1DispCharUma=a, b\nAutoJudge\\DetectVal=1,000\n"
                       "PatFolder=/mnt/c/Pat98,old\n"));
    QCOMPARE(Settings::DispChar(BetType::Umaren, 1).get(), QStringLiteral("a, b"));
    QCOMPARE(Settings::DetectVal().tryGet(), std::nullopt);
    QCOMPARE(Settings::DetectVal().get(), qint16(5));
    QVERIFY(GetPatFolder().startsWith(QStringLiteral("/mnt/c/Pat98,")));
}

void TestSettingsStore::garbageFallsBackToDefaults_data()
{
    QTest::addColumn<QString>("garbage");

    QTest::newRow("letters") << QStringLiteral("xyz");
    QTest::newRow("scratched") << u16(u"ﾄﾘｹｼ");
    QTest::newRow("empty") << QString();
    QTest::newRow("list") << QStringLiteral("1,2,3");
    QTest::newRow("huge") << QStringLiteral("1e999");
    QTest::newRow("unterminated quote") << QStringLiteral("\"12");
    QTest::newRow("rect") << QStringLiteral("@Rect(1 2 3 4)");
    QTest::newRow("invalid") << QStringLiteral("@Invalid()");
    QTest::newRow("bad escape") << QStringLiteral("\\x");
}

void TestSettingsStore::garbageFallsBackToDefaults()
{
    QFETCH(QString, garbage);

    const std::vector<Entry> settings = allSettings();
    writeFile(iniWithEveryKey(settings, garbage));
    for (const Entry &s : settings) {
        if (s.isText())
            continue;
        const QByteArray name = s.name().toUtf8();
        QVERIFY2(s.get() == s.fallback, name.constData());
        const std::optional<QVariant> tried = s.tryGet();
        QVERIFY2(!tried || *tried == s.fallback, name.constData());
    }
}

void TestSettingsStore::levelsOutsideRangeHaveNoDefault()
{
    QCOMPARE(Settings::DetectMin(BetType::Umaren, 0).tryGet(), std::nullopt);
    QCOMPARE(Settings::DetectMax(BetType::Wide, 6).tryGet(), std::nullopt);
    QCOMPARE(Settings::DispChar(BetType::Wide, -1).tryGet(), std::nullopt);
    QCOMPARE(Settings::DetectMin(BetType::Wide, 10).tryGet(), std::nullopt);
    QCOMPARE(Settings::DetectMax(BetType::Umaren, 0).get(), qint16(0));
    QCOMPARE(Settings::DispChar(BetType::Umaren, 6).get(), QString());

    Settings::DetectMin(BetType::Umaren, 6).set(42);
    Settings::DetectMin(BetType::Umaren, 10).set(43);
    QCOMPARE(Settings::DetectMin(BetType::Umaren, 6).tryGet(), std::optional<qint16>(42));
    QCOMPARE(Settings::DetectMin(BetType::Umaren, 10).tryGet(), std::optional<qint16>(43));
    QCOMPARE(Settings::DetectMin(BetType::Umaren, 1).get(), qint16(500));
    QVERIFY(fileText().contains(QStringLiteral("AutoJudge\\6DetectMinUma=42\n")));
}

// Every option stored with a value of its own, so that a field read from the
// wrong key shows.
void TestSettingsStore::optionsSnapshotTakesEachKey()
{
    SetPatFolder(QStringLiteral("/races/"));
    for (int n = 0; n <= 18; ++n)
        Settings::HorseNoColor(n).set(1000 + n);
    Settings::DetectVal().set(3);
    for (BetType type : {BetType::Umaren, BetType::Wide}) {
        const int t = type == BetType::Umaren ? 0 : 1;
        for (int level = 1; level <= 5; ++level) {
            Settings::DetectMin(type, level).set(qint16(10 * level + t));
            Settings::DetectMax(type, level).set(qint16(100 * level + t));
            Settings::DispChar(type, level).set(QStringLiteral("m%1%2").arg(level).arg(t));
        }
        Settings::DispSign(type).set(qint16(1 + t));
        Settings::PlusColor(type).set(11 + t);
        Settings::MinusColor(type).set(21 + t);
        Settings::IsIdealLimit(type).set(t == 0);
        Settings::IdealLimit(type).set(31.5f + t);
        Settings::IsRealLimit(type).set(t == 1);
        Settings::RealLimit(type).set(41.5f + t);
        Settings::IsTanRatioLimit(type).set(t == 0);
        Settings::TanRatioLimit(type).set(0.125f + t);
        Settings::IsFukuRatioLimit(type).set(t == 1);
        Settings::FukuRatioLimit(type).set(0.25f + t);
    }

    const RaceOptions o = ReadRaceOptions();
    QCOMPARE(o.patFolder, QStringLiteral("/races/"));
    for (int n = 0; n <= 18; ++n)
        QCOMPARE(o.horseNoColor[std::size_t(n)], 1000 + n);
    QCOMPARE(o.detectVal, qint16(3));
    for (BetType type : {BetType::Umaren, BetType::Wide}) {
        const int t = type == BetType::Umaren ? 0 : 1;
        const RaceOptions::Judge &j = o.judge(type);
        for (int level = 1; level <= 5; ++level) {
            const auto i = std::size_t(level - 1);
            QCOMPARE(j.detectMin[i], qint16(10 * level + t));
            QCOMPARE(j.detectMax[i], qint16(100 * level + t));
            QCOMPARE(j.dispChar[i], QStringLiteral("m%1%2").arg(level).arg(t));
        }
        QCOMPARE(j.dispSign, qint16(1 + t));
        QCOMPARE(j.plusColor, 11 + t);
        QCOMPARE(j.minusColor, 21 + t);
        QCOMPARE(j.isIdealLimit, t == 0);
        QCOMPARE(j.idealLimit, 31.5f + t);
        QCOMPARE(j.isRealLimit, t == 1);
        QCOMPARE(j.realLimit, 41.5f + t);
        QCOMPARE(j.isTanRatioLimit, t == 0);
        QCOMPARE(j.tanRatioLimit, 0.125f + t);
        QCOMPARE(j.isFukuRatioLimit, t == 1);
        QCOMPARE(j.fukuRatioLimit, 0.25f + t);
    }

    // Saved back whole, the file does not change.
    const QString before = fileText();
    SaveOptions(ReadStoredOptions());
    QCOMPARE(fileText(), before);
}

// A text that does not convert reads as absent and as the default; saving
// absent fields leaves the stored text alone.
void TestSettingsStore::storedOptionsKeepWhatIsAbsent()
{
    writeFile(QStringLiteral("[Option]\nAutoJudge\\RealLimitWide=abc\nAutoJudge\\DetectVal=x\n"));
    const StoredOptions stored = ReadStoredOptions();
    QVERIFY(!stored.judge(BetType::Wide).realLimit);
    QVERIFY(!stored.detectVal);
    QCOMPARE(stored.judge(BetType::Umaren).realLimit, std::optional<float>(300.0f));
    const RaceOptions o = WithDefaults(stored);
    QCOMPARE(o.judge(BetType::Wide).realLimit, 100.0f);
    QCOMPARE(o.detectVal, qint16(5));
    QCOMPARE(o.horseNoColor[0], 16777215);

    const QString before = fileText();
    SaveOptions(StoredOptions());
    QCOMPARE(fileText(), before);
    StoredOptions one;
    one.judge(BetType::Umaren).dispSign = 2;
    SaveOptions(one);
    QVERIFY(fileText().contains(QStringLiteral("RealLimitWide=abc")));
    QCOMPARE(Settings::DispSign(BetType::Umaren).get(), qint16(2));
}

// The model keys: out-of-range texts read as the default, a file that never
// had them gets none while they hold their defaults, and --model's override
// reaches the race options only.
void TestSettingsStore::modelOptions()
{
    const auto fresh = [this] {
        QFile file(dir->filePath(QStringLiteral("fresh.ini")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    writeFile(
        QStringLiteral("[Option]\nPriceModel=2\nWinProbability=4\nPairPayoutRate=1.5\n"
                       "DiscountLambda2=0.9\nDiscountLambda3=0\nWinPowerExponent=5.5\nShowPlacePrice=yes\n"));
    const RaceOptions o = ReadRaceOptions();
    QCOMPARE(o.priceModel, qint16(2));
    QCOMPARE(o.winProbability, qint16(0));
    QCOMPARE(o.pairPayoutRate, 0.775);
    QCOMPARE(o.discountLambda2, 0.9);
    QCOMPARE(o.discountLambda3, 0.65);
    QCOMPARE(o.winPowerExponent, 1.0);
    QCOMPARE(o.showPlacePrice, false);

    // Back to the default: a key the file has is written.
    StoredOptions back;
    back.priceModel = 0;
    back.discountLambda3 = 0.65;
    SaveOptions(back);
    QCOMPARE(ReadSettingText(Section::option(), QStringLiteral("PriceModel")).value_or(QString()), QStringLiteral("0"));
    QCOMPARE(ReadSettingText(Section::option(), QStringLiteral("DiscountLambda3")).value_or(QString()),
             QStringLiteral("0.65"));

    OverridePriceModel(1);
    QCOMPARE(ReadRaceOptions().priceModel, qint16(1));
    QCOMPARE(ReadStoredOptions().priceModel, std::optional<qint16>(0));
    OverridePriceModel(std::nullopt);
    QCOMPARE(ReadRaceOptions().priceModel, qint16(0));
    OverrideShowPlacePrice(true);
    QCOMPARE(ReadRaceOptions().showPlacePrice, true);
    QCOMPARE(ReadStoredOptions().showPlacePrice, std::optional<bool>());
    OverrideShowPlacePrice(std::nullopt);
    QCOMPARE(ReadRaceOptions().showPlacePrice, false);

    SetSettingsFile(dir->filePath(QStringLiteral("fresh.ini")));
    SaveOptions(ReadStoredOptions()); // every other option is written
    for (const char *key : {"PriceModel", "WinProbability", "PairPayoutRate", "DiscountLambda2", "DiscountLambda3",
                            "CsvEncoding", "ShowPlacePrice"})
        QVERIFY2(!fresh().contains(QLatin1StringView(key)), key);
    QVERIFY(fresh().contains(QStringLiteral("DetectVal=5")));
}

void TestSettingsStore::csvEncoding_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<TextEncoding>("encoding");

    QTest::newRow("absent") << QStringLiteral("[Option]\nDetectVal=5\n") << TextEncoding::ShiftJis;
    QTest::newRow("0") << QStringLiteral("[Option]\nCsvEncoding=0\n") << TextEncoding::ShiftJis;
    QTest::newRow("1") << QStringLiteral("[Option]\nCsvEncoding=1\n") << TextEncoding::Utf8;
    QTest::newRow("2") << QStringLiteral("[Option]\nCsvEncoding=2\n") << TextEncoding::ShiftJis;
    QTest::newRow("-1") << QStringLiteral("[Option]\nCsvEncoding=-1\n") << TextEncoding::ShiftJis;
    QTest::newRow("utf-8") << QStringLiteral("[Option]\nCsvEncoding=utf-8\n") << TextEncoding::ShiftJis;
}

// CsvEncoding: 1 is UTF-8, anything else Shift-JIS; the run's override wins
// over the key and leaves the store as it was.
void TestSettingsStore::csvEncoding()
{
    QFETCH(QString, file);
    QFETCH(TextEncoding, encoding);
    writeFile(file);
    QCOMPARE(ReadRaceOptions().csvEncoding, encoding);
    QCOMPARE(CsvEncodingInForce(), encoding);

    const auto restore = qScopeGuard([] { OverrideCsvEncoding(std::nullopt); });
    for (const TextEncoding other : {TextEncoding::ShiftJis, TextEncoding::Utf8}) {
        OverrideCsvEncoding(other);
        QCOMPARE(CsvEncodingInForce(), other);
        QCOMPARE(ReadRaceOptions().csvEncoding, other);
    }
    OverrideCsvEncoding(std::nullopt);
    QCOMPARE(CsvEncodingInForce(), encoding);

    // The dialog's save of unchanged options writes the key only where the
    // file had it.
    const std::optional<QString> before = ReadSettingText(Section::option(), QStringLiteral("CsvEncoding"));
    StoredOptions unchanged;
    unchanged.csvEncoding = encoding;
    SaveOptions(unchanged);
    if (before)
        QVERIFY(ReadSettingText(Section::option(), QStringLiteral("CsvEncoding")).has_value());
    else
        QVERIFY(!ReadSettingText(Section::option(), QStringLiteral("CsvEncoding")).has_value());
}

// A typed value reads as the text it spells, never decoded (the first once
// made Qt ask for 64 GB), and a save keeps it as that text.
// The options are taken again only when the store's values change: each way
// they can change must show in the next snapshot.
void TestSettingsStore::optionsFollowEveryChangeOfTheStore()
{
    QCOMPARE(ReadRaceOptions().detectVal, qint16(5));
    const quint64 first = SettingsGeneration();
    QCOMPARE(SettingsGeneration(), first); // reading changes nothing

    Settings::DetectVal().set(3); // set by the program
    QCOMPARE(ReadRaceOptions().detectVal, qint16(3));

    writeFile(QStringLiteral("[Option]\nAutoJudge\\DetectVal=7\n")); // by another copy of the program
    RefreshSettings();
    QCOMPARE(ReadRaceOptions().detectVal, qint16(7));
    const quint64 settled = SettingsGeneration();
    RefreshSettings(); // the same file again
    QCOMPARE(SettingsGeneration(), settled);

    const QString other = dir->filePath(QStringLiteral("other.ini"));
    QFile file(other);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Option]\nAutoJudge\\DetectVal=9\n");
    file.close();
    SetSettingsFile(other); // another file
    QCOMPARE(ReadRaceOptions().detectVal, qint16(9));
    SetSettingsFile(filePath());
    QCOMPARE(ReadRaceOptions().detectVal, qint16(7));

    const QByteArray prefix = qgetenv("WINEPREFIX"); // the default folder comes from the environment
    qputenv("WINEPREFIX", "/opt/wine-elsewhere");
    const QString folder = ReadRaceOptions().patFolder;
    qputenv("WINEPREFIX", prefix);
    QVERIFY(folder.startsWith(QStringLiteral("/opt/wine-elsewhere/")));
    QVERIFY(ReadRaceOptions().patFolder.startsWith(QString::fromLocal8Bit(prefix)));
}

void TestSettingsStore::typedValuesReadAsText_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("text");

    const QByteArray huge = "@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)";
    const QString hugeText = QStringLiteral("@Variant(") + QString(3, QChar(0)) + u'\t' + QChar(0x7f)
        + QString(3, QChar(0xff)) + u')';
    // clang-format off
    QTest::newRow("huge list")       << huge << hugeText;
    QTest::newRow("quoted")          << '"' + huge + '"' << hugeText;
    QTest::newRow("at sign escaped") << "\\x40" + huge.sliced(1) << hugeText;
    QTest::newRow("continued line")  << " @Vari\\\nant" + huge.sliced(8) << hugeText;
    QTest::newRow("byte array")      << QByteArray("@ByteArray(/pat)") << QStringLiteral("@ByteArray(/pat)");
    QTest::newRow("invalid")         << QByteArray("@Invalid()") << QStringLiteral("@Invalid()");
    QTest::newRow("in a list")       << QByteArray("@@a, @String(b), @Rect(1 2 3 4)") << QStringLiteral("@a, b, @Rect(1 2 3 4)");
    // Qt's own rules where nothing is typed.
    QTest::newRow("doubled at sign") << QByteArray("@@Variant(x)") << QStringLiteral("@Variant(x)");
    QTest::newRow("string")          << QByteArray("@String(a b)") << QStringLiteral("a b");
    QTest::newRow("rect of three")   << QByteArray("@Rect(1 2 3)") << QStringLiteral("@Rect(1 2 3)");
    // clang-format on
}

void TestSettingsStore::typedValuesReadAsText()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, text);

    writeFile(QString::fromUtf8("[MainWindow]\nLeft=12\n[Option]\nPatFolder=" + value + "\nAutoJudge\\DetectVal=7\n"));
    for (const bool saved : {false, true}) {
        QCOMPARE(ReadSettingText(Section::option(), QStringLiteral("PatFolder")), std::optional<QString>(text));
        QCOMPARE(Settings::DetectVal().get(), qint16(7));
        QCOMPARE(Settings::Placement(Section::mainWindow(), QStringLiteral("Left"), 0).get(), 12.0f);
        if (saved)
            break;
        Settings::DispSign(BetType::Wide).set(2);
        const QByteArray bytes = fileText().toUtf8();
        QCOMPARE(ScreenIniFile(bytes), bytes); // nothing typed is left
        SetSettingsFile(filePath());           // read afresh
    }
}

// Qt reads the screened file as it reads the file, except that typed values
// are texts.
void TestSettingsStore::screenedFileReadsAsQtReadsIt()
{
    QRandomGenerator random(1893);
    int typedFiles = 0;
    for (int n = 0; n < 400; ++n) {
        const QByteArray ini = randomIni(random);
        const QByteArray screened = ScreenIniFile(ini);
        QCOMPARE(ScreenIniFile(screened), screened);
        const QString original = dir->filePath(QStringLiteral("original-%1.ini").arg(n));
        const QString copy = dir->filePath(QStringLiteral("screened-%1.ini").arg(n));
        QVERIFY(writeAll(original, ini) && writeAll(copy, screened));

        const QSettings before(original, QSettings::IniFormat);
        const QSettings after(copy, QSettings::IniFormat);
        const QByteArray context = ini.toPercentEncoding();
        QVERIFY2(before.allKeys() == after.allKeys(), context.constData());
        bool typed = false;
        for (const QString &key : before.allKeys()) {
            // Keys with an empty part ("", "/", "S//n") are listed but not found.
            if (key.isEmpty() || key.startsWith(u'/') || key.endsWith(u'/') || key.contains(QStringLiteral("//")))
                continue;
            QVERIFY2(isText(after.value(key)), context.constData());
            if (isText(before.value(key)))
                QVERIFY2(after.value(key) == before.value(key), context.constData());
            else
                typed = true;
        }
        typedFiles += typed;
    }
    QVERIFY(typedFiles > 40);
}

// The store saves what QSettings saves on the file itself, another program's
// change in the middle of a batch merged in as QSettings merges it.
void TestSettingsStore::savesAsQtDoes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("otherWriter");

    QTest::newRow("missing") << QByteArray() << QByteArray();
    QTest::newRow("comments, order, duplicates") << QByteArray(
        "; mine\nx=1\n[MainWindow]\nLeft=1\n[Option]\nPatFolder=\"C:\\\\Pat, 98\" ; old\n[option]\nA=2\n"
        "[Option]\nB=3\n") << QByteArray();
    QTest::newRow("byte order mark, CRLF, escapes")
        << QByteArray("\xef\xbb\xbf[Option]\r\nPatFolder=@@x\r\nA=@String(a)\r\nB=a, @b\r\nC=/a\\\n/b\\x41\\101\\t\r\n")
        << QByteArray();
    QTest::newRow("another writer") << QByteArray("[Option]\nAutoJudge\\DetectVal=3\n")
                                    << QByteArray("[SelectFileWindow]\nWidth=9\n[Option]\nPatFolder=/other\n");
}

void TestSettingsStore::savesAsQtDoes()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, otherWriter);

    const QString qtPath = dir->filePath(QStringLiteral("qt.ini"));
    if (!file.isEmpty())
        QVERIFY(writeAll(qtPath, file) && writeAll(filePath(), file));
    {
        QSettings qt(qtPath, QSettings::IniFormat);
        qt.setValue(QStringLiteral("Option/AutoJudge/DetectVal"), QStringLiteral("7"));
        qt.setValue(QStringLiteral("MainWindow/Top"), QStringLiteral("5"));
        QVERIFY(otherWriter.isEmpty() || writeAll(qtPath, otherWriter));
    }
    {
        const SettingsBatch batch;
        Settings::DetectVal().set(7);
        Settings::Placement(Section::mainWindow(), QStringLiteral("Top")).set(5);
        QVERIFY(otherWriter.isEmpty() || writeAll(filePath(), otherWriter));
    }
    QCOMPARE(readAll(filePath()), readAll(qtPath));
}

// A path that exists but is no regular file is neither read (a pipe would
// block) nor written; what is set holds for the run.
void TestSettingsStore::refusedFileIsLeftAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<SettingsFileProblem>("problem");

    QTest::newRow("missing") << QStringLiteral("missing") << SettingsFileProblem::None;
    QTest::newRow("folder") << QStringLiteral("folder") << SettingsFileProblem::NotRegularFile;
    QTest::newRow("pipe") << QStringLiteral("pipe") << SettingsFileProblem::NotRegularFile;
    QTest::newRow("link to a pipe") << QStringLiteral("link") << SettingsFileProblem::NotRegularFile;
    QTest::newRow("device") << QStringLiteral("device") << SettingsFileProblem::NotRegularFile;
}

void TestSettingsStore::refusedFileIsLeftAlone()
{
    QFETCH(QString, kind);
    QFETCH(SettingsFileProblem, problem);

    QString path = filePath();
    if (kind == u"folder")
        QVERIFY(QDir().mkdir(path));
    if (kind == u"pipe" || kind == u"link")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0666), 0);
    if (kind == u"link")
        QVERIFY(QFile::link(filePath(), path = dir->filePath(QStringLiteral("link.ini"))));
    if (kind == u"device")
        path = QStringLiteral("/dev/null");
    const QStringList before = QDir(dir->path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden);

    SetSettingsFile(path);
    QCOMPARE(SettingsFileRefusal(), problem);
    for (const Entry &s : allSettings())
        QVERIFY2(s.get() == s.fallback, qPrintable(s.name()));
    Settings::DetectVal().set(9);
    RefreshSettings();
    QCOMPARE(Settings::DetectVal().get(), qint16(9));

    SetSettingsFile(path);
    QCOMPARE(Settings::DetectVal().get(), problem == SettingsFileProblem::None ? qint16(9) : qint16(5));
    if (problem != SettingsFileProblem::None) {
        QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden), before);
        QVERIFY(!QFile::exists(path + QStringLiteral(".lock")));
    }
}

// A file without read permission, opened by a user who may write it, is left
// as it is.
void TestSettingsStore::unreadableFileIsLeftAlone()
{
    const QString text = QStringLiteral("[Option]\nAutoJudge\\DetectVal=9\n");
    writeFile(text);
    QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::Permissions(0x7777)));
    QVERIFY(QFile::setPermissions(filePath(), QFileDevice::WriteOwner | QFileDevice::WriteOther));
    const int exit = asNobody([this] {
        SetSettingsFile(filePath());
        const bool refused = SettingsFileRefusal() == SettingsFileProblem::Unreadable
            && Settings::DetectVal().get() == 5;
        Settings::DetectVal().set(4);
        RefreshSettings();
        return refused && Settings::DetectVal().get() == 4;
    });
    if (exit == 3)
        QSKIP("running as root and cannot switch to an unprivileged user");
    QCOMPARE(exit, 0);
    QVERIFY(QFile::setPermissions(filePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(fileText(), text);
}

// Without a temporary folder for the working copy a file with values is
// refused, not handed to Qt's reader (and no copy lands in "/", which
// QDir::tempPath() gives as "" when TMPDIR names nothing).  An empty file
// holds nothing for the reader and is taken without a copy; a write then
// says it found no working copy.  Either way the file stays as it was.
void TestSettingsStore::noWorkingCopyLeavesFileAlone_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("problem");
    QTest::addColumn<bool>("writeFails");
    QTest::newRow("values") << QStringLiteral("[Option]\nAutoJudge\\DetectVal=9\n")
                            << int(SettingsFileProblem::NoWorkingCopy) << false;
    QTest::newRow("empty") << QString() << int(SettingsFileProblem::None) << true;
}

void TestSettingsStore::noWorkingCopyLeavesFileAlone()
{
    QFETCH(QString, text);
    QFETCH(int, problem);
    QFETCH(bool, writeFails);
    writeFile(text);
    const QByteArray temporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir->filePath(QStringLiteral("missing"))));
    SetSettingsFile(filePath());
    const SettingsFileProblem refusal = SettingsFileRefusal();
    const qint16 read = Settings::DetectVal().get();
    Settings::DetectVal().set(4);
    const QString error = SettingsWriteError();
    const qint16 kept = Settings::DetectVal().get();
    SetSettingsFile(QString());
    qputenv("TMPDIR", temporary);

    QCOMPARE(int(refusal), problem);
    QCOMPARE(read, qint16(5));
    QCOMPARE(error.contains(QStringLiteral("no working copy")), writeFails);
    QCOMPARE(kept, qint16(4));
    QCOMPARE(fileText(), text);
}

// A write that cannot be made keeps the file as it was, leaves nothing
// beside it, and says why; what was set holds for the run.
void TestSettingsStore::failedWriteKeepsTheFileAndSaysWhy_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<int>("stored"); // what the store reads before the write
    QTest::newRow("full disk") << QStringLiteral("full") << false << 12;
    QTest::newRow("read-only file") << QStringLiteral("read-only file") << true << 12;
    QTest::newRow("read-only folder, no file yet") << QStringLiteral("read-only folder") << true << 5;
    QTest::newRow("folder cannot be made") << QStringLiteral("below a file") << false << 5;
}

void TestSettingsStore::failedWriteKeepsTheFileAndSaysWhy()
{
    QFETCH(QString, kind);
    QFETCH(bool, unprivileged);
    QFETCH(int, stored);

    QVERIFY(QFile::setPermissions(dir->path(), QFileDevice::Permissions(0x7777)));
    const QString temporary = dir->filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkdir(temporary));
    QVERIFY(QFile::setPermissions(temporary, QFileDevice::Permissions(0x7777)));
    const QString folder = dir->filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkdir(folder));
    QString path = folder + QStringLiteral("/settings.ini");
    // Every key of the store, as a file of the options dialog holds them.
    const QByteArray old = iniWithEveryKey(allSettings(), QStringLiteral("12")).toUtf8();
    QVERIFY(old.size() > 1024);
    if (kind != u"read-only folder")
        QVERIFY(writeAll(path, old));
    if (kind == u"below a file")
        path += QStringLiteral("/settings.ini");
    const mode_t folderMode = kind == u"read-only folder" ? 0555 : 0777;
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), folderMode), 0);
    if (kind == u"read-only file" || kind == u"full")
        QCOMPARE(::chmod(QFile::encodeName(folder + QStringLiteral("/settings.ini")).constData(),
                         kind == u"full" ? 0666 : 0444),
                 0);
    const QStringList before = entriesOf(folder);

    const int result = inChild(unprivileged, [&] {
        qputenv("TMPDIR", QFile::encodeName(temporary));
        SetSettingsFile(path);
        if (SettingsFileRefusal() != SettingsFileProblem::None || Settings::DetectVal().get() != stored)
            return 5;
        if (kind == u"full") {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit {512, 512};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 4;
        }
        Settings::DetectVal().set(9);
        const QString error = SettingsWriteError();
        if (error.isEmpty() || Settings::DetectVal().get() != 9)
            return 6;
        return 0;
    });
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    if (result == 3)
        QSKIP("running as root and cannot switch to an unprivileged user");
    QCOMPARE(result, 0);
    QCOMPARE(entriesOf(folder), before);
    if (kind != u"read-only folder")
        QCOMPARE(readAll(folder + QStringLiteral("/settings.ini")), old);
    QCOMPARE(entriesOf(temporary), QStringList());
}

// The working copy of the settings lives only while the store reads or
// writes the file, so a run ended at any other time leaves none behind.
void TestSettingsStore::noCopyOutlivesTheRun_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void TestSettingsStore::noCopyOutlivesTheRun()
{
    QFETCH(int, signal);
    writeFile(QStringLiteral("[Option]\nAutoJudge\\DetectVal=3\n"));
    const QString temporary = dir->filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkdir(temporary));
    const int result = inChild(false, [&] {
        qputenv("TMPDIR", QFile::encodeName(temporary));
        SetSettingsFile(filePath());
        if (Settings::DetectVal().get() != 3)
            return 1;
        Settings::DetectVal().set(8);
        writeFile(QStringLiteral("[Option]\nAutoJudge\\DetectVal=4\n"));
        RefreshSettings();
        if (Settings::DetectVal().get() != 4)
            return 1;
        ::raise(signal);
        return 2;
    });
    QCOMPARE(result, 128 + signal);
    QCOMPARE(entriesOf(temporary), QStringList());
}

// A signal that would end the program while a copy exists removes the
// scratch folder first, whatever Qt's writer left in it; a signal the
// program handles itself goes to its handler, and the folder stays until
// its scope ends.
void TestSettingsStore::signalRemovesTheScratchFolder_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("handled");
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
    QTest::newRow("SIGINT") << int(SIGINT) << false;
    QTest::newRow("SIGINT, the program's handler") << int(SIGINT) << true;
}

namespace {
volatile std::sig_atomic_t g_handled = 0;
void onTestSignal(int) { g_handled = 1; }
} // namespace

void TestSettingsStore::signalRemovesTheScratchFolder()
{
    QFETCH(int, signal);
    QFETCH(bool, handled);
    const QString temporary = dir->filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkdir(temporary));
    const int result = inChild(false, [&] {
        qputenv("TMPDIR", QFile::encodeName(temporary));
        if (handled)
            std::signal(signal, onTestSignal);
        {
            const ScratchFolder folder;
            if (!folder.isValid())
                return 1;
            for (const char *name : {"copy.ini", "copy.ini.lock", "copy.ini.aB3dE9"})
                writeAll(folder.filePath(QString::fromLatin1(name)), "[Option]\nPatFolder=/home/me/pat\n");
            ::raise(signal);
            if (!g_handled || entriesOf(temporary).size() != 1)
                return 2;
        }
        struct sigaction now {};
        ::sigaction(signal, nullptr, &now);
        return entriesOf(temporary).isEmpty() && now.sa_handler == onTestSignal ? 0 : 3;
    });
    QCOMPARE(result, handled ? 0 : 128 + signal);
    QCOMPARE(entriesOf(temporary), QStringList());
}

// What a SIGKILL left is removed at the next start: only the user's own
// folders, named as the store names them, whose process is gone; those of
// the older form without a process id once nothing changed in them for a day.
void TestSettingsStore::staleScratchFoldersGo()
{
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    QVERIFY(gone > 0);
    QCOMPARE(::waitpid(gone, nullptr, 0), gone);
    const QString temporary = dir->filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkdir(temporary));
    const QString deadName = QStringLiteral("minukuru-settings-%1-").arg(gone);
    const QStringList removed {deadName + QStringLiteral("AbC123"), QStringLiteral("minukuru-settings-Old123")};
    QStringList kept {QStringLiteral("minukuru-settings-%1-AbC123").arg(::getpid()),
                      QStringLiteral("minukuru-settings-1-AbC123"), QStringLiteral("minukuru-settings-New123"),
                      deadName + QStringLiteral("Toolong1"), QStringLiteral("minukuru-settingsX")};
    for (const QString &name : removed + kept) {
        QVERIFY(QDir(temporary).mkdir(name));
        QVERIFY(writeAll(temporary + u'/' + name + QStringLiteral("/copy.ini"), "[Option]\n"));
    }
    QVERIFY(writeAll(temporary + u'/' + deadName + QStringLiteral("File12"), "a file"));
    QVERIFY(QFile::link(temporary + u'/' + kept[0], temporary + u'/' + deadName + QStringLiteral("Link12")));
    kept << deadName + QStringLiteral("File12") << deadName + QStringLiteral("Link12");
    const auto setAge = [&](const QString &name, int days) {
        const QByteArray path = QFile::encodeName(temporary + u'/' + name);
        const time_t when = ::time(nullptr) - days * 86400 - 60;
        const struct timeval times[2] = {{when, 0}, {when, 0}};
        return ::utimes(path.constData(), times) == 0;
    };
    QVERIFY(setAge(QStringLiteral("minukuru-settings-Old123"), 1));
    if (::geteuid() == 0) {
        const QString foreign = deadName + QStringLiteral("Other1");
        QVERIFY(QDir(temporary).mkdir(foreign));
        QCOMPARE(::chown(QFile::encodeName(temporary + u'/' + foreign).constData(), 65534, 65534), 0);
        kept << foreign;
    }

    RemoveStaleScratchFolders(temporary);
    kept.sort();
    QStringList left = entriesOf(temporary);
    left.sort();
    QCOMPARE(left, kept);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
