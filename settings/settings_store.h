// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/bet_type.h"

#include <QString>

#include <optional>

// The per-user settings store: an INI file addressed by section and key, with
// one typed getter and setter per option.  Getters read the store afresh and
// never write; a key that is absent yields its default.  For each option there
// is a TryGet* that reports a stored text that does not convert (nullopt) and
// a Get* that falls back to the default then.
namespace CommonFunc {

// Section names as the store addresses them ("Option\AutoJudge" nests
// "AutoJudge" under "Option").
namespace Section {
QString option();
QString horseNoColor();
QString autoJudge();
QString mainWindow();
QString optionWindow();
QString selectFileWindow();
QString backtestWindow();
QString pairMatrixWindow();
} // namespace Section

// ---- The store itself -------------------------------------------------------

// The file behind the store: MINUKURU_SETTINGS when set, else
// <user config folder>/ミヌクル君super/ミヌクル君super.ini.
QString SettingsFilePath();

// Redirects the store to another file for the rest of the run (or back to
// the default with an empty path).
void SetSettingsFile(const QString &path);

// Why the store leaves its file alone.  A file that does not exist yet is
// fine (the first write creates it); one that exists but is not a regular
// file after links are followed (a pipe would block the program; a folder, a
// device, a socket) or cannot be read is refused, and so is any file when
// the private working copy the store reads through cannot be made.  A
// refused file is never read nor written: the store gives the defaults and
// keeps what is set for the rest of the run.  The programs tell the user.
enum class SettingsFileProblem {
    None,
    NotRegularFile,
    Unreadable,
    NoWorkingCopy, // the temporary folder takes no files
};
SettingsFileProblem SettingsFileRefusal();

// Why the last write of the file failed, in the system's words: "" when it
// went through, or before any.  What was set still reads back for the run,
// and the next write tries it again.  A refused file is never written and
// has none.  The store tells no one; the window does.
QString SettingsWriteError();

// Re-reads the file when another process has changed it.  The program calls
// this before each race load and when the options dialog opens.
void RefreshSettings();

// Holds back the writing of the file while it lives, so that saving many
// options writes the file once; the last batch to end writes it.
class SettingsBatch {
public:
    SettingsBatch();
    ~SettingsBatch();
    SettingsBatch(const SettingsBatch &) = delete;
    SettingsBatch &operator=(const SettingsBatch &) = delete;
};

// Raw access: the stored text, nullopt when the key is absent.
std::optional<QString> ReadSettingText(const QString &section, const QString &key);
void WriteSettingText(const QString &section, const QString &key, const QString &text);

// Window placement, in twips.  Stored as reals; a text that is not a number
// reads as the default.
std::optional<float> TryGetPlacement(const QString &section, const QString &key, int defaultTwips);
float GetPlacement(const QString &section, const QString &key, int defaultTwips);
void SetPlacement(const QString &section, const QString &key, float twips);

// ---- Text forms -------------------------------------------------------------

std::optional<qint16> IntegerFromText(const QString &text);
std::optional<qint32> ColourFromText(const QString &text);
std::optional<bool> FlagFromText(const QString &text);
std::optional<float> RealFromText(const QString &text);
QString IntegerText(qint16 value);
QString ColourText(qint32 value);
QString FlagText(bool value);
QString RealText(float value);

// ---- Options ----------------------------------------------------------------

QString DefaultPatFolder();
QString GetPatFolder(); // always ends in the platform's separator
void SetPatFolder(const QString &folder);

// The window's own switches, outside the race options: following the race
// on show as its files change (on by default) and the beep on new value
// (off by default).  A text that does not convert reads as the default.
bool GetAutoReload();
void SetAutoReload(bool on);
bool GetAlertSound();
void SetAlertSound(bool on);
QString GetPatFilePath(const QString &fileName);

std::optional<qint32> TryGetHorseNoColor(int horse);
qint32 GetHorseNoColor(int horse);
void SetHorseNoColor(int horse, qint32 colour);

std::optional<qint16> TryGetDetectVal();
qint16 GetDetectVal();
void SetDetectVal(qint16 value);

// The price model (0 standard, 1 Harville, 2 discounted Harville) and its
// parameters, in [Option].  A stored text out of range reads as not converting.
std::optional<qint16> TryGetPriceModel();
void SetPriceModel(qint16 value);
std::optional<qint16> TryGetWinProbability(); // 0 normalised, 1 power, 2 Shin
void SetWinProbability(qint16 value);
std::optional<double> TryGetPairPayoutRate(); // in (0, 1]
void SetPairPayoutRate(double rate);
std::optional<double> TryGetDiscountLambda2(); // in (0, 2]
void SetDiscountLambda2(double lambda);
std::optional<double> TryGetDiscountLambda3();
void SetDiscountLambda3(double lambda);
std::optional<double> PayoutRateFromText(const QString &text);
std::optional<double> LambdaFromText(const QString &text);
QString ModelRealText(double value);

// The judgement options by bet type; levels run 1 to 5.  A level outside that
// range has no default: TryGet gives nullopt unless a value is stored.
std::optional<qint16> TryGetDetectMin(BetType type, int level);
qint16 GetDetectMin(BetType type, int level);
void SetDetectMin(BetType type, int level, qint16 value);
std::optional<qint16> TryGetDetectMax(BetType type, int level);
qint16 GetDetectMax(BetType type, int level);
void SetDetectMax(BetType type, int level, qint16 value);
std::optional<QString> TryGetDispChar(BetType type, int level);
QString GetDispChar(BetType type, int level);
void SetDispChar(BetType type, int level, const QString &mark);

std::optional<qint16> TryGetDispSign(BetType type);
qint16 GetDispSign(BetType type);
void SetDispSign(BetType type, qint16 value);
std::optional<qint32> TryGetPlusColor(BetType type);
qint32 GetPlusColor(BetType type);
void SetPlusColor(BetType type, qint32 colour);
std::optional<qint32> TryGetMinusColor(BetType type);
qint32 GetMinusColor(BetType type);
void SetMinusColor(BetType type, qint32 colour);

std::optional<bool> TryGetIsIdealLimit(BetType type);
bool GetIsIdealLimit(BetType type);
void SetIsIdealLimit(BetType type, bool on);
std::optional<float> TryGetIdealLimit(BetType type);
float GetIdealLimit(BetType type);
void SetIdealLimit(BetType type, float limit);

std::optional<bool> TryGetIsRealLimit(BetType type);
bool GetIsRealLimit(BetType type);
void SetIsRealLimit(BetType type, bool on);
std::optional<float> TryGetRealLimit(BetType type);
float GetRealLimit(BetType type);
void SetRealLimit(BetType type, float limit);

std::optional<bool> TryGetIsTanRatioLimit(BetType type);
bool GetIsTanRatioLimit(BetType type);
void SetIsTanRatioLimit(BetType type, bool on);
std::optional<float> TryGetTanRatioLimit(BetType type);
float GetTanRatioLimit(BetType type);
void SetTanRatioLimit(BetType type, float limit);

std::optional<bool> TryGetIsFukuRatioLimit(BetType type);
bool GetIsFukuRatioLimit(BetType type);
void SetIsFukuRatioLimit(BetType type, bool on);
std::optional<float> TryGetFukuRatioLimit(BetType type);
float GetFukuRatioLimit(BetType type);
void SetFukuRatioLimit(BetType type, float limit);

// The same options under their own names, one function per key.
#define MINUKURU_TWIN_ACCESSORS(Name, Type, Suffix, BT)                            \
    inline std::optional<Type> TryGet##Name##Suffix() { return TryGet##Name(BT); } \
    inline Type Get##Name##Suffix() { return Get##Name(BT); }                      \
    inline void Set##Name##Suffix(Type value) { Set##Name(BT, value); }
#define MINUKURU_TWIN_LEVEL_ACCESSORS(Name, Type, Suffix, BT)                                      \
    inline std::optional<Type> TryGet##Name##Suffix(int level) { return TryGet##Name(BT, level); } \
    inline Type Get##Name##Suffix(int level) { return Get##Name(BT, level); }                      \
    inline void Set##Name##Suffix(int level, const Type &value) { Set##Name(BT, level, value); }
#define MINUKURU_TWINS(Suffix, BT)                               \
    MINUKURU_TWIN_LEVEL_ACCESSORS(DetectMin, qint16, Suffix, BT) \
    MINUKURU_TWIN_LEVEL_ACCESSORS(DetectMax, qint16, Suffix, BT) \
    MINUKURU_TWIN_LEVEL_ACCESSORS(DispChar, QString, Suffix, BT) \
    MINUKURU_TWIN_ACCESSORS(DispSign, qint16, Suffix, BT)        \
    MINUKURU_TWIN_ACCESSORS(PlusColor, qint32, Suffix, BT)       \
    MINUKURU_TWIN_ACCESSORS(MinusColor, qint32, Suffix, BT)      \
    MINUKURU_TWIN_ACCESSORS(IsIdealLimit, bool, Suffix, BT)      \
    MINUKURU_TWIN_ACCESSORS(IdealLimit, float, Suffix, BT)       \
    MINUKURU_TWIN_ACCESSORS(IsRealLimit, bool, Suffix, BT)       \
    MINUKURU_TWIN_ACCESSORS(RealLimit, float, Suffix, BT)        \
    MINUKURU_TWIN_ACCESSORS(IsTanRatioLimit, bool, Suffix, BT)   \
    MINUKURU_TWIN_ACCESSORS(TanRatioLimit, float, Suffix, BT)    \
    MINUKURU_TWIN_ACCESSORS(IsFukuRatioLimit, bool, Suffix, BT)  \
    MINUKURU_TWIN_ACCESSORS(FukuRatioLimit, float, Suffix, BT)
MINUKURU_TWINS(Uma, BetType::Umaren)
MINUKURU_TWINS(Wide, BetType::Wide)
#undef MINUKURU_TWINS
#undef MINUKURU_TWIN_LEVEL_ACCESSORS
#undef MINUKURU_TWIN_ACCESSORS

} // namespace CommonFunc
