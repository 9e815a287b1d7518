// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/bet_type.h"
#include "common/text_encoding.h"
#include "settings/setting.h"

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
QString modelFitWindow();
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
// device, a socket) or cannot be read is refused, and so is any file that
// holds anything when the private working copy the store reads through
// cannot be made (an empty file needs none until it is written).  A
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

// A number that changes whenever what the store reads back may have: a
// value set, the file read again or written, another file taken.  What is
// made from the store's values can be kept while it stays the same.
quint64 SettingsGeneration();

// Holds back the writing of the file while it lives, so that saving many
// options writes the file once; the last batch to end writes it.
class SettingsBatch {
public:
    SettingsBatch();
    ~SettingsBatch();
    SettingsBatch(const SettingsBatch &) = delete;
    SettingsBatch &operator=(const SettingsBatch &) = delete;
};

// Raw access: the stored text, nullopt when the key is absent (setting.h
// declares them for the settings).
std::optional<QString> ReadSettingText(const QString &section, const QString &key);
void WriteSettingText(const QString &section, const QString &key, const QString &text);

// ---- Text forms -------------------------------------------------------------

std::optional<qint16> IntegerFromText(const QString &text);
std::optional<qint32> ColourFromText(const QString &text);
std::optional<bool> FlagFromText(const QString &text);
std::optional<float> RealFromText(const QString &text);
QString IntegerText(qint16 value);
QString ColourText(qint32 value);
QString FlagText(bool value);
QString RealText(float value);
std::optional<double> PayoutRateFromText(const QString &text); // in (0, 1]
std::optional<double> LambdaFromText(const QString &text);     // in (0, 2]
std::optional<double> WinPowerFromText(const QString &text);   // in (0, 5]
QString ModelRealText(double value);

// ---- The settings -----------------------------------------------------------

// Every key with its type and default.  The options of a bet kind are made
// from its row of kBetKinds: their keys end in its settings suffix.
namespace Settings {

Setting<QString> PatFolder(); // as stored; GetPatFolder adds the separator
// The window's own switches, outside the race options: following the race
// on show as its files change (on by default) and the beep on new value.
Setting<bool> AutoReload();
Setting<bool> AlertSound();

Setting<qint32> HorseNoColor(int horse); // 0 colours an empty horse-number cell
Setting<qint16> DetectVal();

// The price model (0 standard, 1 Harville, 2 discounted Harville) and its
// parameters.  A stored text out of range does not convert.
Setting<qint16> PriceModel();
Setting<qint16> WinProbability();   // 0 normalised, 1 power, 2 Shin, 3 corrected power
Setting<double> WinPowerExponent(); // β of method 3
Setting<double> PairPayoutRate();
Setting<double> DiscountLambda2();
Setting<double> DiscountLambda3();
// The theoretical place price (複理論) beside the place odds.
Setting<bool> ShowPlacePrice();

// The encoding of the CSV, the ledger and the odds history.
Setting<TextEncoding> CsvEncoding();

// The 期待値 column of the pair grids, `show` and the ledger, and the
// matrix's line of it; off by default.
Setting<bool> ShowExpectedValue();

// The judgement options of a bet kind; levels run 1 to 5, and a level
// outside that range has no default.
Setting<qint16> DetectMin(BetType type, int level);
Setting<qint16> DetectMax(BetType type, int level);
Setting<QString> DispChar(BetType type, int level);
Setting<qint16> DispSign(BetType type);
Setting<qint32> PlusColor(BetType type);
Setting<qint32> MinusColor(BetType type);
Setting<bool> IsIdealLimit(BetType type);
Setting<float> IdealLimit(BetType type);
Setting<bool> IsRealLimit(BetType type);
Setting<float> RealLimit(BetType type);
Setting<bool> IsTanRatioLimit(BetType type);
Setting<float> TanRatioLimit(BetType type);
Setting<bool> IsFukuRatioLimit(BetType type);
Setting<float> FukuRatioLimit(BetType type);

// Window placement in twips, stored as a real; a text that is not a number
// reads as the default.
Setting<float> Placement(const QString &section, const QString &key, int defaultTwips = 0);

} // namespace Settings

QString DefaultPatFolder();
QString GetPatFolder(); // always ends in the platform's separator
void SetPatFolder(const QString &folder);
QString GetPatFilePath(const QString &fileName);

} // namespace CommonFunc
