// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/messages.h"

#include <QColor>

class QPalette;
class QString;
class QWidget;

namespace Gui {

// A stored colour (red + 256 × green + 65536 × blue, or one of the system
// colours) as the palette shows it.
QColor toQColor(qint32 colour, const QPalette &palette);
qint32 fromQColor(const QColor &colour);

// The Japanese fonts the windows are designed for fall back to IPA fonts of
// the same metrics where Windows' own are missing.
void registerFontSubstitutes();

// Tells the user through Messages, once at start, that the settings file is
// refused and the window runs on the defaults without saving them.
void warnAboutSettingsFile();

// After the options the user chose are saved (the options dialog's OK): a
// failed write of the settings file is told in a box at once.
void warnIfOptionsNotSaved();
// After a save the user did not ask for (a window's placement at its close,
// a switch of the main window): a failed write is told once a run, and not
// at all after warnIfOptionsNotSaved has told it.
void warnOnceIfSettingsNotSaved();

// Qt's own dialogs and buttons (file dialogs, message box buttons, the
// colour dialog) speak Japanese like the program, whatever the locale.
// False when Qt's Japanese translations are not installed.
bool installQtTranslations();

// Where a tool window stands and how large it is, in twips, under a
// section of the settings store (Left, Top, Width, Height).  A window that
// was not moved or resized stores back exactly the twips it read, so that
// its place does not drift by a pixel's rounding at every close.
struct Placement {
    int left;
    int top;
    int width;
    int height;
};
void restorePlacement(QWidget *window, const QString &section, const Placement &defaults);
void storePlacement(const QWidget *window, const QString &section);

// Brings a tool window to the front, shown and active, from wherever it is.
void bringForward(QWidget *window);

// Tells the user of something new wherever the program's focus is: with
// another program active, the owner's task bar entry flashes; with another
// of the program's windows active, that window shows `text` along its
// bottom edge for `msecs`.  The owner shows it itself.
void alertWhereFocused(QWidget *owner, const QString &text, int msecs = 10000);
inline constexpr const char *kAlertNoticeName = "alertNotice";

// Answers the core's messages with message boxes owned by the active window.
class MessageBoxSink final : public Messages::Sink {
public:
    void show(const Messages::Message &message) override;
};

} // namespace Gui
