// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <limits>

class QWidget;

// Sizes and positions are kept in twips, 1440 to the inch of the screen's
// logical resolution.
namespace Twips {

int toPixelsX(double twips, const QWidget *widget = nullptr);
int toPixelsY(double twips, const QWidget *widget = nullptr);
double fromPixelsX(int pixels, const QWidget *widget = nullptr);
double fromPixelsY(int pixels, const QWidget *widget = nullptr);

// A stored length and the whole pixels it was shown at.  While the window
// still has those pixels the length is stored back as read: converting the
// pixels back would drift (1000 twips are 66.67 pixels at 96 dpi, shown as
// 67, stored as 1005).
struct Kept {
    double twips = 0.0;
    int pixels = std::numeric_limits<int>::min();

    double storedFor(int pixelsNow, double twipsNow) const { return pixelsNow == pixels ? twips : twipsNow; }
};

} // namespace Twips
