// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/settings_store.h"

#include "common/file_checks.h"
#include "common/safe_save.h"
#include "common/text_convert.h"
#include "common/text_util.h"
#include "settings/ini_screen.h"
#include "settings/race_options.h"
#include "settings/scratch_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

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

// Writes a file of the scratch folder, which no one else sees: no need for a
// rename there.
bool writeScratchFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size();
}

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Why a copy could not be made or written: the system's reason where it
// gave one (a full disk), else just that.
QString noCopyText(int error)
{
    const QString copy = QStringLiteral("no working copy in the temporary folder ") + QDir::tempPath();
    return error != 0 ? copy + QStringLiteral(": ") + systemText(error) : copy;
}

using Values = QHash<QString, QVariant>;

Values valuesOf(const QSettings &settings)
{
    Values values;
    for (const QString &key : settings.allKeys()) {
        // Keys with an empty part ("S//n") are listed but not found.
        const QVariant value = settings.value(key);
        if (value.isValid())
            values.insert(key, value);
    }
    return values;
}

// What stands behind the store for one file.
//
// QSettings never reads the user's file: its INI reader decodes typed values,
// and a hostile one asks for gigabytes.  It reads a copy made by
// ScreenIniFile, which reads as the file does but holds only texts, and the
// store keeps what it read in memory.  A write lets QSettings set the values
// on a fresh copy of the file as it is then, and carries the result to the
// file under QSettings' own lock file.  What QSettings writes is its own
// rendering of what it read, so the file comes out as QSettings would have
// written it.  The copies live in a ScratchFolder for the moment they are
// needed, so that no copy of the user's settings outlives a run.
//
// A file that is refused is never read nor written: the values of the run
// live in memory.
class Backing {
public:
    explicit Backing(const QString &path)
        : m_path(QFileInfo(path).absoluteFilePath())
    {
        static bool cleaned = false;
        if (!std::exchange(cleaned, true) && !QDir::tempPath().isEmpty())
            RemoveStaleScratchFolders(QDir::tempPath());
        const FileRead read = readSettingsFile(m_path);
        m_problem = read.problem;
        if (m_problem == SettingsFileProblem::None && !takeFile(read.bytes))
            m_problem = SettingsFileProblem::NoWorkingCopy;
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
    const QString &writeError() const { return m_writeError; }

    QVariant value(const QString &key) const { return m_values.value(key); }

    void setValue(const QString &key, const QString &text)
    {
        m_values.insert(key, text);
        if (m_problem != SettingsFileProblem::None)
            return;
        if (!m_pending.contains(key))
            m_pendingOrder.append(key);
        m_pending.insert(key, text);
        m_unsynced = true;
    }

    void sync()
    {
        m_unsynced = false;
        if (m_problem != SettingsFileProblem::None)
            return;
        if (m_pending.isEmpty()) {
            const FileRead read = readSettingsFile(m_path);
            if (read.problem == SettingsFileProblem::None && read.bytes != m_fileBytes)
                takeFile(read.bytes);
            return;
        }
        m_writeError = write();
        if (m_writeError.isEmpty()) {
            m_pending.clear();
            m_pendingOrder.clear();
        }
    }

private:
    // Takes the values of the file's bytes, with those not yet written on top.
    bool takeFile(const QByteArray &fileBytes)
    {
        const ScratchFolder folder;
        if (!folder.isValid())
            return false;
        const QString copy = folder.filePath(QStringLiteral("copy.ini"));
        if (!writeScratchFile(copy, ScreenIniFile(fileBytes)))
            return false;
        Values values = valuesOf(QSettings(copy, QSettings::IniFormat));
        for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
            values.insert(it.key(), it.value());
        m_values = std::move(values);
        m_fileBytes = fileBytes;
        return true;
    }

    // The file with the values not yet written, as QSettings renders it, and
    // what it then holds.  On failure, error is the system's error number, or
    // 0 where it gave none.
    bool render(const QByteArray &fileBytes, QByteArray &bytes, Values &values, int &error) const
    {
        errno = 0;
        const ScratchFolder folder;
        const QString copy = folder.filePath(QStringLiteral("copy.ini"));
        if (!folder.isValid() || !writeScratchFile(copy, ScreenIniFile(fileBytes))) {
            error = errno;
            return false;
        }
        errno = 0;
        {
            // New sections go in the order their values were first set.
            QSettings settings(copy, QSettings::IniFormat);
            for (const QString &key : m_pendingOrder)
                settings.setValue(key, m_pending.value(key));
            // A FormatError only says that Qt skipped lines it could not read.
            settings.sync();
            if (settings.status() == QSettings::AccessError) {
                error = errno;
                return false;
            }
            values = valuesOf(settings);
        }
        QFile file(copy);
        if (!file.open(QIODevice::ReadOnly)) {
            error = errno;
            return false;
        }
        bytes = file.readAll();
        return file.error() == QFileDevice::NoError;
    }

    // Why the file could not be written, or "" when it was.
    QString write()
    {
        const QString folder = QFileInfo(m_path).absolutePath();
        errno = 0;
        if (!QDir().mkpath(folder)) {
            const QString cannot = QStringLiteral("cannot make the folder ") + QDir::toNativeSeparators(folder);
            return errno != 0 ? cannot + QStringLiteral(": ") + systemText(errno) : cannot;
        }
        QLockFile lock(m_path + QStringLiteral(".lock"));
        if (!lock.lock()) {
            return lock.error() == QLockFile::PermissionError
                ? systemText(EACCES)
                : QStringLiteral("the lock file %1 cannot be taken").arg(m_path + QStringLiteral(".lock"));
        }
        const FileRead read = readSettingsFile(m_path);
        // A file that has become something else meanwhile is left alone.
        if (read.problem == SettingsFileProblem::NotRegularFile)
            return QStringLiteral("not a regular file");
        if (read.problem == SettingsFileProblem::Unreadable)
            return QStringLiteral("cannot be read");
        // An existing file must take writing, as QSettings asks of it.
        if (read.exists) {
            QFile file(m_path);
            if (!file.open(QIODevice::ReadWrite))
                return file.errorString();
        }
        QByteArray bytes;
        Values values;
        int error = 0;
        if (!render(read.bytes, bytes, values, error))
            return noCopyText(error);
        // What the file holds now is taken, whether or not the write goes through.
        m_values = std::move(values);
        m_fileBytes = read.bytes;
        QString reason;
        if (!SaveFileSafely(m_path, bytes, &reason))
            return reason;
        if (!read.exists)
            QFile::setPermissions(m_path, QFile::permissions(m_path) | QFile::ReadOwner | QFile::WriteOwner);
        m_fileBytes = bytes;
        return QString();
    }

    QString m_path;
    SettingsFileProblem m_problem = SettingsFileProblem::None;
    Values m_values;        // the file's as last read or written, with those set on top
    QByteArray m_fileBytes; // the file as last read or written
    // Values set but not yet in the file, in the order first set (QSettings
    // places new sections in that order).
    QStringList m_pendingOrder;
    QHash<QString, QString> m_pending;
    bool m_unsynced = false;
    QString m_writeError;
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

QString SettingsWriteError() { return backing().writeError(); }

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
    // lose it; a failed write is kept for SettingsWriteError.
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
