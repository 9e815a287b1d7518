// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/settings_store.h"

#include "common/file_checks.h"
#include "common/text_convert.h"
#include "common/text_util.h"
#include "settings/ini_screen.h"
#include "settings/race_options.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <limits>
#include <memory>
#include <optional>

namespace CommonFunc {

namespace Section {
QString option() { return QStringLiteral("Option"); }
QString horseNoColor() { return QStringLiteral("Option\\HorseNoColor"); }
QString autoJudge() { return QStringLiteral("Option\\AutoJudge"); }
QString mainWindow() { return QStringLiteral("MainWindow"); }
QString optionWindow() { return QStringLiteral("OptionWindow"); }
QString selectFileWindow() { return QStringLiteral("SelectFileWindow"); }
QString backtestWindow() { return QStringLiteral("BacktestWindow"); }
QString pairMatrixWindow() { return QStringLiteral("PairMatrixWindow"); }
} // namespace Section

namespace {

// The file as it stands now; a file that does not exist reads as empty.
struct FileRead {
    SettingsFileProblem problem = SettingsFileProblem::None;
    bool exists = false;
    QByteArray bytes;
};

FileRead readSettingsFile(const QString &path)
{
    FileRead read;
    const QFileInfo info(path);
    if (!info.exists())
        return read;
    read.exists = true;
    // Only a regular file, checked as opened: a pipe, even one put in its
    // place after this look, would block the program.
    bool notRegular = !info.isFile();
    if (notRegular || !ReadRegularFile(path, std::numeric_limits<qint64>::max(), read.bytes, nullptr, &notRegular))
        read.problem = notRegular ? SettingsFileProblem::NotRegularFile : SettingsFileProblem::Unreadable;
    return read;
}

bool writeWholeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// What stands behind the store for one file.
//
// QSettings never reads the user's file: its INI reader decodes typed values,
// and a hostile one asks for gigabytes.  It works on a copy in a private
// temporary folder, made by ScreenIniFile, which reads as the file does but
// holds only texts.  A sync takes the file again when another program has
// changed it, lets QSettings write the copy, and carries the copy to the file
// under QSettings' own lock file.  What QSettings writes is its own rendering
// of what it read, so the file comes out as QSettings would have written it.
//
// A file that is refused is never read nor written: the values of the run
// live in memory.
class Backing {
public:
    explicit Backing(const QString &path)
        : m_path(QFileInfo(path).absoluteFilePath())
    {
        const FileRead read = readSettingsFile(m_path);
        m_problem = read.problem;
        if (m_problem != SettingsFileProblem::None)
            return;
        // QDir::tempPath() is empty when TMPDIR names nothing; the copy must
        // not land in the root folder then.
        const QString temporary = QDir::tempPath();
        if (!temporary.isEmpty())
            m_folder = std::make_unique<QTemporaryDir>(temporary + QStringLiteral("/minukuru-settings-XXXXXX"));
        if (!m_folder || !m_folder->isValid() || !startCopy(read.bytes)) {
            m_problem = SettingsFileProblem::NoWorkingCopy;
            m_folder.reset();
        }
    }

    ~Backing()
    {
        // As QSettings does when it goes: what is not written yet is tried once more.
        if (m_unsynced)
            sync();
    }

    Backing(const Backing &) = delete;
    Backing &operator=(const Backing &) = delete;

    SettingsFileProblem problem() const { return m_problem; }

    QVariant value(const QString &key) const
    {
        if (!m_copy) {
            const auto it = m_memory.constFind(key);
            return it == m_memory.cend() ? QVariant() : QVariant(*it);
        }
        return m_copy->value(key);
    }

    void setValue(const QString &key, const QString &text)
    {
        if (!m_copy) {
            m_memory.insert(key, text);
            return;
        }
        m_copy->setValue(key, text);
        if (!m_pending.contains(key))
            m_pendingOrder.append(key);
        m_pending.insert(key, text);
        m_unsynced = true;
    }

    void sync()
    {
        m_unsynced = false;
        if (!m_copy)
            return;
        const bool writing = !m_pending.isEmpty();
        std::optional<QLockFile> lock;
        if (writing) {
            if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
                return;
            lock.emplace(m_path + QStringLiteral(".lock"));
            if (!lock->lock())
                return;
        }
        const FileRead read = readSettingsFile(m_path);
        // A file that has become something else meanwhile is left alone.
        if (read.problem != SettingsFileProblem::None)
            return;
        if (read.bytes != m_fileBytes && !startCopy(read.bytes))
            return;
        m_copy->sync();
        if (!writing)
            return;
        // An existing file must take writing, as QSettings asks of it.
        if (read.exists && !QFile(m_path).open(QIODevice::ReadWrite))
            return;
        QFile copy(m_copyPath);
        if (!copy.open(QIODevice::ReadOnly))
            return;
        const QByteArray bytes = copy.readAll();
        if (!writeWholeFile(m_path, bytes))
            return;
        if (!read.exists)
            QFile::setPermissions(m_path, QFile::permissions(m_path) | QFile::ReadOwner | QFile::WriteOwner);
        m_fileBytes = bytes;
        m_pending.clear();
        m_pendingOrder.clear();
    }

private:
    // Starts a working copy of the file's bytes, with the values not yet
    // written to the file on top.  A new name each time: QSettings caches a
    // file by name, size and time.
    bool startCopy(const QByteArray &fileBytes)
    {
        const QString path = m_folder->filePath(QStringLiteral("copy-%1.ini").arg(++m_copies));
        if (!writeWholeFile(path, ScreenIniFile(fileBytes)))
            return false;
        m_copy.reset();
        if (!m_copyPath.isEmpty())
            QFile::remove(m_copyPath);
        m_copyPath = path;
        m_copy = std::make_unique<QSettings>(m_copyPath, QSettings::IniFormat);
        m_fileBytes = fileBytes;
        for (const QString &key : std::as_const(m_pendingOrder))
            m_copy->setValue(key, m_pending.value(key));
        return true;
    }

    QString m_path;
    SettingsFileProblem m_problem = SettingsFileProblem::None;
    QHash<QString, QString> m_memory; // a refused file's values
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_copyPath;
    std::unique_ptr<QSettings> m_copy;
    int m_copies = 0;
    QByteArray m_fileBytes; // the file as the copy last took it or wrote it
    // Values set but not yet in the file, in the order first set (QSettings
    // places new sections in that order).
    QStringList m_pendingOrder;
    QHash<QString, QString> m_pending;
    bool m_unsynced = false;
};

struct Store {
    QString overridePath;
    std::unique_ptr<Backing> backing;
    int batches = 0;
};

Store &store()
{
    static Store instance;
    return instance;
}

Backing &backing()
{
    Store &s = store();
    if (!s.backing)
        s.backing = std::make_unique<Backing>(SettingsFilePath());
    return *s.backing;
}

// "Option\AutoJudge" + "1DetectMinUma" -> "Option/AutoJudge/1DetectMinUma":
// the INI file then holds [Option] AutoJudge\1DetectMinUma=...
QString settingsKey(const QString &section, const QString &key)
{
    QString path = section;
    path.replace(u'\\', u'/');
    return path + u'/' + key;
}

QString betSuffix(BetType type) { return type == BetType::Umaren ? QStringLiteral("Uma") : QStringLiteral("Wide"); }

QString fixedKey(const char16_t *base, BetType type) { return QString::fromUtf16(base) + betSuffix(type); }

QString levelKey(int level, const char16_t *base, BetType type)
{
    return QString::number(level) + fixedKey(base, type);
}

bool validLevel(int level) { return level >= 1 && level <= 5; }

// Reads a key and converts it; absent keys convert the default text.
template <typename T, typename Convert>
std::optional<T> readTyped(const QString &section, const QString &key, const QString &defaultText, Convert convert)
{
    const std::optional<QString> stored = ReadSettingText(section, key);
    return convert(stored ? *stored : defaultText);
}

template <typename T, typename Convert>
std::optional<T> readTypedNoDefault(const QString &section, const QString &key, Convert convert)
{
    const std::optional<QString> stored = ReadSettingText(section, key);
    if (!stored)
        return std::nullopt;
    return convert(*stored);
}

const RaceOptions &defaults() { return DefaultRaceOptions(); }

} // namespace

// ---- Store ------------------------------------------------------------------

QString SettingsFilePath()
{
    const Store &s = store();
    if (!s.overridePath.isEmpty())
        return s.overridePath;
    const QString fromEnvironment = qEnvironmentVariable("MINUKURU_SETTINGS");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString title = QStringLiteral(u"ミヌクル君super");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + title + u'/' + title
        + QStringLiteral(".ini");
}

void SetSettingsFile(const QString &path)
{
    Store &s = store();
    s.backing.reset();
    s.overridePath = path;
}

SettingsFileProblem SettingsFileRefusal() { return backing().problem(); }

void RefreshSettings() { backing().sync(); }

std::optional<QString> ReadSettingText(const QString &section, const QString &key)
{
    const QVariant value = backing().value(settingsKey(section, key));
    if (!value.isValid())
        return std::nullopt;
    // An unquoted comma in a hand-edited file makes the INI reader split the
    // value into a list; put it back together.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void WriteSettingText(const QString &section, const QString &key, const QString &text)
{
    Backing &b = backing();
    b.setValue(settingsKey(section, key), text);
    // Written at once so that a crash or a second copy of the program cannot
    // lose it; a store that cannot be written is not reported.
    if (store().batches == 0)
        b.sync();
}

SettingsBatch::SettingsBatch() { ++store().batches; }

SettingsBatch::~SettingsBatch()
{
    if (--store().batches == 0)
        backing().sync();
}

std::optional<float> TryGetPlacement(const QString &section, const QString &key, int defaultTwips)
{
    return readTyped<float>(section, key, QString::number(defaultTwips), RealFromText);
}

float GetPlacement(const QString &section, const QString &key, int defaultTwips)
{
    return TryGetPlacement(section, key, defaultTwips).value_or(float(defaultTwips));
}

void SetPlacement(const QString &section, const QString &key, float twips)
{
    WriteSettingText(section, key, RealText(twips));
}

// ---- Text forms -------------------------------------------------------------

std::optional<qint16> IntegerFromText(const QString &text)
{
    const std::optional<double> value = ParseNumber(text);
    return value ? RoundToInt16(*value) : std::nullopt;
}

std::optional<qint32> ColourFromText(const QString &text)
{
    const std::optional<double> value = ParseNumber(text);
    return value ? RoundToInt32(*value) : std::nullopt;
}

std::optional<bool> FlagFromText(const QString &text)
{
    const QString word = TrimBlanksView(text).toString();
    if (word.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0)
        return false;
    const std::optional<double> value = ParseNumber(word);
    if (!value)
        return std::nullopt;
    return *value != 0.0;
}

std::optional<float> RealFromText(const QString &text) { return ParseSingle(text); }

QString IntegerText(qint16 value) { return QString::number(value); }
QString ColourText(qint32 value) { return QString::number(value); }
QString FlagText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }
QString RealText(float value) { return FormatSingle(value); }

// ---- Options ----------------------------------------------------------------

QString DefaultPatFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Program Files\\Pat98");
#else
    QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (prefix.isEmpty())
        prefix = QDir::homePath() + QStringLiteral("/.wine");
    while (prefix.endsWith(u'/'))
        prefix.chop(1);
    return prefix + QStringLiteral("/drive_c/Program Files/Pat98");
#endif
}

QString GetPatFolder()
{
    QString folder = ReadSettingText(Section::option(), QStringLiteral("PatFolder")).value_or(DefaultPatFolder());
    const QChar separator = QDir::separator();
    if (!folder.endsWith(separator))
        folder += separator;
    return folder;
}

void SetPatFolder(const QString &folder) { WriteSettingText(Section::option(), QStringLiteral("PatFolder"), folder); }

bool GetAutoReload()
{
    return FlagFromText(ReadSettingText(Section::option(), QStringLiteral("AutoReload")).value_or(QString()))
        .value_or(true);
}

void SetAutoReload(bool on) { WriteSettingText(Section::option(), QStringLiteral("AutoReload"), FlagText(on)); }

bool GetAlertSound()
{
    return FlagFromText(ReadSettingText(Section::option(), QStringLiteral("AlertSound")).value_or(QString()))
        .value_or(false);
}

void SetAlertSound(bool on) { WriteSettingText(Section::option(), QStringLiteral("AlertSound"), FlagText(on)); }

QString GetPatFilePath(const QString &fileName) { return GetPatFolder() + fileName; }

namespace {

// Every horse number, 0 and numbers beyond 18 included, starts white.
qint32 defaultHorseNoColor(int) { return defaults().horseNoColor[0]; }

} // namespace

std::optional<qint32> TryGetHorseNoColor(int horse)
{
    return readTyped<qint32>(Section::horseNoColor(), QString::number(horse), ColourText(defaultHorseNoColor(horse)),
                             ColourFromText);
}

qint32 GetHorseNoColor(int horse) { return TryGetHorseNoColor(horse).value_or(defaultHorseNoColor(horse)); }

void SetHorseNoColor(int horse, qint32 colour)
{
    WriteSettingText(Section::horseNoColor(), QString::number(horse), ColourText(colour));
}

std::optional<qint16> TryGetDetectVal()
{
    return readTyped<qint16>(Section::autoJudge(), QStringLiteral("DetectVal"), IntegerText(defaults().detectVal),
                             IntegerFromText);
}

qint16 GetDetectVal() { return TryGetDetectVal().value_or(defaults().detectVal); }

void SetDetectVal(qint16 value)
{
    WriteSettingText(Section::autoJudge(), QStringLiteral("DetectVal"), IntegerText(value));
}

// Price model ------------------------------------------------------------------

namespace {

std::optional<qint16> choiceFromText(const QString &text)
{
    const std::optional<qint16> value = IntegerFromText(text);
    return value && *value >= 0 && *value <= 2 ? value : std::nullopt;
}

std::optional<double> realInRange(const QString &text, double upper)
{
    const std::optional<double> value = ParseNumber(text);
    return value && *value > 0.0 && *value <= upper ? value : std::nullopt;
}

} // namespace

std::optional<double> PayoutRateFromText(const QString &text) { return realInRange(text, 1.0); }
std::optional<double> LambdaFromText(const QString &text) { return realInRange(text, 2.0); }
QString ModelRealText(double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

#define MINUKURU_MODEL_OPTION(Name, Field, Type, FromText, ToText)                                            \
    std::optional<Type> TryGet##Name()                                                                        \
    {                                                                                                         \
        return readTyped<Type>(Section::option(), QStringLiteral(#Name), ToText(defaults().Field), FromText); \
    }                                                                                                         \
    void Set##Name(Type value) { WriteSettingText(Section::option(), QStringLiteral(#Name), ToText(value)); }

MINUKURU_MODEL_OPTION(PriceModel, priceModel, qint16, choiceFromText, IntegerText)
MINUKURU_MODEL_OPTION(WinProbability, winProbability, qint16, choiceFromText, IntegerText)
MINUKURU_MODEL_OPTION(PairPayoutRate, pairPayoutRate, double, PayoutRateFromText, ModelRealText)
MINUKURU_MODEL_OPTION(DiscountLambda2, discountLambda2, double, LambdaFromText, ModelRealText)
MINUKURU_MODEL_OPTION(DiscountLambda3, discountLambda3, double, LambdaFromText, ModelRealText)
#undef MINUKURU_MODEL_OPTION

// Level options --------------------------------------------------------------

namespace {

qint16 defaultDetectMin(BetType type, int level)
{
    if (!validLevel(level))
        return 0;
    return defaults().judge(type).detectMin[std::size_t(level - 1)];
}

qint16 defaultDetectMax(BetType type, int level)
{
    if (!validLevel(level))
        return 0;
    return defaults().judge(type).detectMax[std::size_t(level - 1)];
}

QString defaultDispChar(BetType type, int level)
{
    return validLevel(level) ? defaults().judge(type).dispChar[std::size_t(level - 1)] : QString();
}

template <typename T, typename Convert>
std::optional<T> readLevel(BetType type, int level, const char16_t *base, const QString &defaultText, Convert convert)
{
    const QString key = levelKey(level, base, type);
    if (!validLevel(level))
        return readTypedNoDefault<T>(Section::autoJudge(), key, convert);
    return readTyped<T>(Section::autoJudge(), key, defaultText, convert);
}

std::optional<QString> textAsIs(const QString &text) { return text; }

} // namespace

std::optional<qint16> TryGetDetectMin(BetType type, int level)
{
    return readLevel<qint16>(type, level, u"DetectMin", IntegerText(defaultDetectMin(type, level)), IntegerFromText);
}

qint16 GetDetectMin(BetType type, int level)
{
    return TryGetDetectMin(type, level).value_or(defaultDetectMin(type, level));
}

void SetDetectMin(BetType type, int level, qint16 value)
{
    WriteSettingText(Section::autoJudge(), levelKey(level, u"DetectMin", type), IntegerText(value));
}

std::optional<qint16> TryGetDetectMax(BetType type, int level)
{
    return readLevel<qint16>(type, level, u"DetectMax", IntegerText(defaultDetectMax(type, level)), IntegerFromText);
}

qint16 GetDetectMax(BetType type, int level)
{
    return TryGetDetectMax(type, level).value_or(defaultDetectMax(type, level));
}

void SetDetectMax(BetType type, int level, qint16 value)
{
    WriteSettingText(Section::autoJudge(), levelKey(level, u"DetectMax", type), IntegerText(value));
}

std::optional<QString> TryGetDispChar(BetType type, int level)
{
    return readLevel<QString>(type, level, u"DispChar", defaultDispChar(type, level), textAsIs);
}

QString GetDispChar(BetType type, int level)
{
    return TryGetDispChar(type, level).value_or(defaultDispChar(type, level));
}

void SetDispChar(BetType type, int level, const QString &mark)
{
    WriteSettingText(Section::autoJudge(), levelKey(level, u"DispChar", type), mark);
}

// Fixed-name twins -------------------------------------------------------------

#define MINUKURU_FIXED_OPTION(Name, Field, Type, FromText, ToText)                                                    \
    std::optional<Type> TryGet##Name(BetType type)                                                                    \
    {                                                                                                                 \
        return readTyped<Type>(Section::autoJudge(), fixedKey(u## #Name, type), ToText(defaults().judge(type).Field), \
                               FromText);                                                                             \
    }                                                                                                                 \
    Type Get##Name(BetType type) { return TryGet##Name(type).value_or(defaults().judge(type).Field); }                \
    void Set##Name(BetType type, Type value)                                                                          \
    {                                                                                                                 \
        WriteSettingText(Section::autoJudge(), fixedKey(u## #Name, type), ToText(value));                             \
    }

MINUKURU_FIXED_OPTION(DispSign, dispSign, qint16, IntegerFromText, IntegerText)
MINUKURU_FIXED_OPTION(PlusColor, plusColor, qint32, ColourFromText, ColourText)
MINUKURU_FIXED_OPTION(MinusColor, minusColor, qint32, ColourFromText, ColourText)
MINUKURU_FIXED_OPTION(IsIdealLimit, isIdealLimit, bool, FlagFromText, FlagText)
MINUKURU_FIXED_OPTION(IdealLimit, idealLimit, float, RealFromText, RealText)
MINUKURU_FIXED_OPTION(IsRealLimit, isRealLimit, bool, FlagFromText, FlagText)
MINUKURU_FIXED_OPTION(RealLimit, realLimit, float, RealFromText, RealText)
MINUKURU_FIXED_OPTION(IsTanRatioLimit, isTanRatioLimit, bool, FlagFromText, FlagText)
MINUKURU_FIXED_OPTION(TanRatioLimit, tanRatioLimit, float, RealFromText, RealText)
MINUKURU_FIXED_OPTION(IsFukuRatioLimit, isFukuRatioLimit, bool, FlagFromText, FlagText)
MINUKURU_FIXED_OPTION(FukuRatioLimit, fukuRatioLimit, float, RealFromText, RealText)
#undef MINUKURU_FIXED_OPTION

} // namespace CommonFunc
