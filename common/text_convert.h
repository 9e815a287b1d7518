// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <utility>

// Conversions between the texts the program shows and stores and the numbers
// behind them.  A number text is: optional spaces, an optional sign, digits
// with an optional decimal point (".5" and "5." included), an optional
// exponent ("1e3"), optional spaces.  A period is the only decimal separator.
namespace CommonFunc {

// The number a whole text denotes; nullopt when the text is not a number or
// beyond double range.  A number too close to zero gives zero.
std::optional<double> ParseNumber(QStringView text);

// The single-precision number nearest to the decimal text (no detour through
// double); nullopt when the text is not a number or beyond float range.  A
// number too close to zero gives zero, its nearest float.
std::optional<float> ParseSingle(QStringView text);

// The leading number of a text: spaces are skipped, the longest number at the
// start is taken, and a text without one gives 0 ("ﾄﾘｹｼ" gives 0, " 9" gives 9).
double NumericValue(QStringView text);

// The same leading number as the nearest single-precision value.
float NumericValueSingle(QStringView text);

// The same readings of an odds text.  Odds are never below zero, so a
// negative number reads as a text that is not a number does: 0 for the
// leading number, nullopt for the strict one.
double OddsNumericValue(QStringView text);
float OddsNumericValueSingle(QStringView text);
std::optional<float> ParseOddsSingle(QStringView text);

// Rounds to the nearest integer, ties to even; nullopt outside the range.
std::optional<qint16> RoundToInt16(double value);
std::optional<qint32> RoundToInt32(double value);

// A text's single-precision number, 0 when it is not a number.  Never fails.
float OddsTextToValue(QStringView text);

// A text's 16-bit integer, 0 when it is not a number or out of range.
qint16 TextToInteger(QStringView text);

// " 1- 2" for (1, 2) and (2, 1); "10-18" for (10, 18).
QString MakePairLabel(int a, int b);
// The same label into out without making a text: false where a number
// needs more than two digits.
bool WritePairLabel(int a, int b, char16_t (&out)[5]);
// MakePairLabel's text without a text of its own: in buffer, or in wider
// for numbers beyond two digits; valid while both live.
QStringView PairLabelView(int a, int b, char16_t (&buffer)[5], QString &wider);

// The horses (smaller first) of the pair whose label, spaces trimmed, is
// `text` ("1- 2", "10-18"); nullopt for any other text.
std::optional<std::pair<int, int>> PairOfLabel(QStringView text);

// The shortest plain decimal text (never exponent form) with at most seven
// significant digits that reads back as the same float: 0.04f gives "0.04",
// 1000 gives "1000".  Negative zero gives "0"; NaN and infinities give "0".
QString FormatSingle(float value);

// FormatSingle(OddsTextToValue(text)): the value of a cell as the CSV writes
// it.  A plain decimal of at most six significant digits is rewritten
// directly, since every such decimal reads back from its float unchanged.
QString FormatSingleOfText(QStringView text);

} // namespace CommonFunc
