#pragma once

class QWidget;

// Sizes and positions are kept in twips, 1440 to the inch of the screen's
// logical resolution.
namespace Twips {

int toPixelsX(double twips, const QWidget *widget = nullptr);
int toPixelsY(double twips, const QWidget *widget = nullptr);
double fromPixelsX(int pixels, const QWidget *widget = nullptr);
double fromPixelsY(int pixels, const QWidget *widget = nullptr);

} // namespace Twips
