// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/settings_store.h"

#include "common/file_checks.h"
#include "common/safe_save.h"
#include "common/text_convert.h"
#include "common/text_util.h"
#include "settings/ini_screen.h"
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

#include <array>
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
QString modelFitWindow() { return QStringLiteral("ModelFitWindow"); }
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

// Before the run's first working copy, the folders that killed runs left
// go: a run that needs no copy leaves the temporary folder unread.
void removeStaleScratchFoldersOnce()
{
    static bool cleaned = false;
    if (!std::exchange(cleaned, true) && !QDir::tempPath().isEmpty())
        RemoveStaleScratchFolders(QDir::tempPath());
}

// Changes with every change of what a store reads back (see
// SettingsGeneration); a new store takes a new number too.
quint64 g_generation = 1;

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
        ++g_generation;
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
    bool hasValues() const { return !m_values.isEmpty(); }

    void setValue(const QString &key, const QString &text)
    {
        m_values.insert(key, text);
        ++g_generation;
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
        const QByteArray screened = ScreenIniFile(fileBytes);
        Values values;
        // An empty file (or none: a user who never changed an option) holds
        // no values, and needs neither a copy nor Qt's reader.
        if (!screened.isEmpty()) {
            removeStaleScratchFoldersOnce();
            const ScratchFolder folder;
            if (!folder.isValid())
                return false;
            const QString copy = folder.filePath(QStringLiteral("copy.ini"));
            if (!writeScratchFile(copy, screened))
                return false;
            values = valuesOf(QSettings(copy, QSettings::IniFormat));
        }
        for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
            values.insert(it.key(), it.value());
        m_values = std::move(values);
        ++g_generation;
        m_fileBytes = fileBytes;
        return true;
    }

    // The file with the values not yet written, as QSettings renders it, and
    // what it then holds.  On failure, error is the system's error number, or
    // 0 where it gave none.
    bool render(const QByteArray &fileBytes, QByteArray &bytes, Values &values, int &error) const
    {
        removeStaleScratchFoldersOnce();
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
        ++g_generation;
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

quint64 SettingsGeneration()
{
    backing(); // a store made now takes its number first
    return g_generation;
}

std::optional<QString> ReadSettingText(const QString &section, const QString &key)
{
    const Backing &b = backing();
    if (!b.hasValues())
        return std::nullopt; // no key to make: a file of defaults is the common case
    const QVariant value = b.value(settingsKey(section, key));
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

// ---- The settings -----------------------------------------------------------

namespace {

std::optional<QString> textAsIs(const QString &text) { return text; }
QString textItself(const QString &text) { return text; }
QString integerText(const qint16 &value) { return IntegerText(value); }
QString colourText(const qint32 &value) { return ColourText(value); }
QString flagText(const bool &value) { return FlagText(value); }
QString realText(const float &value) { return RealText(value); }
QString modelRealText(const double &value) { return ModelRealText(value); }

std::optional<qint16> choiceFromText(const QString &text)
{
    const std::optional<qint16> value = IntegerFromText(text);
    return value && *value >= 0 && *value <= 2 ? value : std::nullopt;
}

std::optional<qint16> winChoiceFromText(const QString &text)
{
    const std::optional<qint16> value = IntegerFromText(text);
    return value && *value >= 0 && *value <= 3 ? value : std::nullopt;
}

std::optional<double> realInRange(const QString &text, double upper)
{
    const std::optional<double> value = ParseNumber(text);
    return value && *value > 0.0 && *value <= upper ? value : std::nullopt;
}

const TextForm<QString> kText {textAsIs, textItself};
const TextForm<qint16> kInteger {IntegerFromText, integerText};
const TextForm<qint16> kChoice {choiceFromText, integerText};
const TextForm<qint16> kWinChoice {winChoiceFromText, integerText};
const TextForm<qint32> kColour {ColourFromText, colourText};
const TextForm<bool> kFlag {FlagFromText, flagText};
const TextForm<float> kReal {RealFromText, realText};
const TextForm<double> kPayoutRate {PayoutRateFromText, modelRealText};
const TextForm<double> kLambda {LambdaFromText, modelRealText};
const TextForm<double> kWinPower {WinPowerFromText, modelRealText};

std::optional<TextEncoding> encodingFromText(const QString &text)
{
    const std::optional<qint16> value = IntegerFromText(text);
    if (value == qint16(TextEncoding::ShiftJis) || value == qint16(TextEncoding::Utf8))
        return TextEncoding(*value);
    return std::nullopt;
}
QString encodingText(const TextEncoding &value) { return IntegerText(qint16(value)); }
const TextForm<TextEncoding> kEncoding {encodingFromText, encodingText};

// What the options of each bet kind start from; the rest is alike.
struct JudgeDefaults {
    std::array<qint16, 5> detectMin;
    std::array<qint16, 5> detectMax;
    float realLimit;
};
constexpr std::array<JudgeDefaults, kBetKindCount> kJudgeDefaults {{
    {{500, 300, 200, 100, 50}, {1000, 500, 300, 200, 100}, 300.0f}, // umaren
    {{300, 200, 100, 50, 30}, {1000, 300, 200, 100, 50}, 100.0f},   // wide
}};
const char16_t *const kMarks[5] = {u"◎", u"○", u"▲", u"△", u"×"};

bool validLevel(int level) { return level >= 1 && level <= 5; }

QString kindKey(const char *base, BetType type) { return QLatin1StringView(base) + KindOf(type).settingsSuffix; }

// "1DetectMinUma": made in one piece, as a hundred keys are at every start.
QString levelKey(int level, const char *base, BetType type)
{
    if (level < 0 || level > 9)
        return QString::number(level) + kindKey(base, type);
    const QLatin1StringView name(base);
    const QLatin1StringView suffix = KindOf(type).settingsSuffix;
    QString key;
    key.reserve(1 + name.size() + suffix.size());
    key += QLatin1Char(char('0' + level));
    key += name;
    key += suffix;
    return key;
}

template <typename T>
std::optional<T> levelDefault(int level, const std::array<T, 5> &values)
{
    return validLevel(level) ? std::optional<T>(values[std::size_t(level - 1)]) : std::nullopt;
}

template <typename T>
Setting<T> judge(const char *base, BetType type, T fallback, const TextForm<T> &form)
{
    return {Section::autoJudge(), kindKey(base, type), fallback, form};
}

// The price model's keys came after the others.
template <typename T>
Setting<T> model(const char *key, T fallback, const TextForm<T> &form)
{
    return {Section::option(), QLatin1StringView(key), fallback, form, Setting<T>::Writing::OnlyWhenSet};
}

} // namespace

namespace Settings {

Setting<QString> PatFolder() { return {Section::option(), QStringLiteral("PatFolder"), DefaultPatFolder(), kText}; }
Setting<bool> AutoReload() { return {Section::option(), QStringLiteral("AutoReload"), true, kFlag}; }
Setting<bool> AlertSound() { return {Section::option(), QStringLiteral("AlertSound"), false, kFlag}; }

// Every horse number, 0 and numbers beyond 18 included, starts white.
Setting<qint32> HorseNoColor(int horse) { return {Section::horseNoColor(), QString::number(horse), 16777215, kColour}; }
Setting<qint16> DetectVal() { return {Section::autoJudge(), QStringLiteral("DetectVal"), 5, kInteger}; }

Setting<qint16> PriceModel() { return model<qint16>("PriceModel", 0, kChoice); }
Setting<qint16> WinProbability() { return model<qint16>("WinProbability", 0, kWinChoice); }
Setting<double> WinPowerExponent() { return model("WinPowerExponent", 1.0, kWinPower); }
Setting<double> PairPayoutRate() { return model("PairPayoutRate", 0.775, kPayoutRate); } // since June 2014
Setting<double> DiscountLambda2() { return model("DiscountLambda2", 0.81, kLambda); }    // Benter's fit
Setting<double> DiscountLambda3() { return model("DiscountLambda3", 0.65, kLambda); }
Setting<bool> ShowPlacePrice() { return model("ShowPlacePrice", false, kFlag); }
// Newer than the model's keys, and as theirs written only once set.
Setting<TextEncoding> CsvEncoding() { return model("CsvEncoding", TextEncoding::ShiftJis, kEncoding); }
Setting<bool> ShowExpectedValue() { return model("ShowExpectedValue", false, kFlag); }

Setting<qint16> DetectMin(BetType type, int level)
{
    return {Section::autoJudge(), levelKey(level, "DetectMin", type),
            levelDefault(level, kJudgeDefaults[IndexOf(type)].detectMin), kInteger};
}

Setting<qint16> DetectMax(BetType type, int level)
{
    return {Section::autoJudge(), levelKey(level, "DetectMax", type),
            levelDefault(level, kJudgeDefaults[IndexOf(type)].detectMax), kInteger};
}

Setting<QString> DispChar(BetType type, int level)
{
    const std::optional<QString> mark = validLevel(level) ? std::optional(QString::fromUtf16(kMarks[level - 1]))
                                                          : std::nullopt;
    return {Section::autoJudge(), levelKey(level, "DispChar", type), mark, kText};
}

Setting<qint16> DispSign(BetType type) { return judge<qint16>("DispSign", type, 0, kInteger); }
Setting<qint32> PlusColor(BetType type) { return judge<qint32>("PlusColor", type, 0, kColour); }
Setting<qint32> MinusColor(BetType type) { return judge<qint32>("MinusColor", type, 255, kColour); }
Setting<bool> IsIdealLimit(BetType type) { return judge("IsIdealLimit", type, true, kFlag); }
Setting<float> IdealLimit(BetType type) { return judge("IdealLimit", type, 1000.0f, kReal); }
Setting<bool> IsRealLimit(BetType type) { return judge("IsRealLimit", type, true, kFlag); }
Setting<float> RealLimit(BetType type)
{
    return judge("RealLimit", type, kJudgeDefaults[IndexOf(type)].realLimit, kReal);
}
Setting<bool> IsTanRatioLimit(BetType type) { return judge("IsTanRatioLimit", type, true, kFlag); }
Setting<float> TanRatioLimit(BetType type) { return judge("TanRatioLimit", type, 0.04f, kReal); }
Setting<bool> IsFukuRatioLimit(BetType type) { return judge("IsFukuRatioLimit", type, true, kFlag); }
Setting<float> FukuRatioLimit(BetType type) { return judge("FukuRatioLimit", type, 0.05f, kReal); }

Setting<float> Placement(const QString &section, const QString &key, int defaultTwips)
{
    return {section, key, float(defaultTwips), kReal};
}

} // namespace Settings

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
    QString folder = Settings::PatFolder().get();
    const QChar separator = QDir::separator();
    if (!folder.endsWith(separator))
        folder += separator;
    return folder;
}

void SetPatFolder(const QString &folder) { Settings::PatFolder().set(folder); }

QString GetPatFilePath(const QString &fileName) { return GetPatFolder() + fileName; }

std::optional<double> PayoutRateFromText(const QString &text) { return realInRange(text, 1.0); }
std::optional<double> LambdaFromText(const QString &text) { return realInRange(text, 2.0); }
std::optional<double> WinPowerFromText(const QString &text) { return realInRange(text, 5.0); }
QString ModelRealText(double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

} // namespace CommonFunc
