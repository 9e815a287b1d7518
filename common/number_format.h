// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The numeric pictures of the program's display texts.  Values are rounded
// from the exact binary value of the double, a tie half away from zero.
namespace CommonFunc {

// "0.000" (3), "0.00" (2), "###0.0" (1): at least one integer digit, exactly
// `decimals` decimals, no grouping.  A negative value keeps its sign when it
// rounds to zero (-0.04 gives "-0.0"); negative zero gives "0.0".  NaN and
// infinities give "" (a value that cannot be computed leaves its cell empty).
// decimals must lie between 0 and 30.
QString FormatFixed(double value, int decimals);

// "+###0.0;-###0.0;0.0": the section is chosen by the sign of the unrounded
// value, so 0.04 gives "+0.0", -0.04 "-0.0" and only zero (of either sign)
// "0.0".  NaN and infinities give "".
QString FormatDeviation(double value);

} // namespace CommonFunc
