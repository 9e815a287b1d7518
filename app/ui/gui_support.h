// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/messages.h"

#include <QColor>

class QPalette;
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

// Qt's own dialogs and buttons (file dialogs, message box buttons, the
// colour dialog) speak Japanese like the program, whatever the locale.
// False when Qt's Japanese translations are not installed.
bool installQtTranslations();

// Answers the core's messages with message boxes owned by the active window.
class MessageBoxSink final : public Messages::Sink {
public:
    void show(const Messages::Message &message) override;
};

} // namespace Gui
