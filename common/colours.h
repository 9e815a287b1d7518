// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

namespace CommonFunc {

// Colours as the race sheet and the settings store keep them: red + 256 ×
// green + 65536 × blue.
namespace Colour {
constexpr qint32 White = 16777215;
constexpr qint32 Black = 0;
constexpr qint32 Red = 255;
constexpr qint32 Green = 65280;
} // namespace Colour

// Colours that stand for the system's colours (as the platform's colour
// values do); a view maps them to its palette.
namespace SystemColor {
constexpr qint32 WindowBackground = qint32(0x80000005u);
constexpr qint32 WindowText = qint32(0x80000008u);
constexpr qint32 ButtonFace = qint32(0x8000000Fu);
} // namespace SystemColor

} // namespace CommonFunc
