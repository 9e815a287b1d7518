// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The core never opens a window: whatever the user must be told goes through
// the sink the program installs (message boxes, standard error, a recorder).
namespace Messages {

enum class Kind {
    Notice,  // plain OK box titled with the program's title
    Error,   // error icon, OK, titled "えらー"
    Warning, // warning icon, OK, titled "オプション設定"
};

struct Message {
    Kind kind = Kind::Notice;
    QString text;
    QString title;
};

class Sink {
public:
    virtual ~Sink() = default;
    virtual void show(const Message &message) = 0;
};

// The program's title, also the settings store's application name.
QString programTitle();
QString errorTitle();
QString optionsTitle();

// Common texts.
QString formatMismatchText();
QString readFailedText();
QString saveFailedText();
// A save that wrote characters without a code page 932 code as "?".
QString unmappedSavedText(const QString &path, const QString &characters);
QString unmappedWrittenText(const QString &characters); // to standard output
// The settings file could not be written; what was set holds for the run.
QString settingsSaveFailedText(const QString &path, const QString &reason);

// Installs a sink for the whole program; nullptr restores the default, which
// writes to standard error.  Returns the sink it replaced.
Sink *setSink(Sink *sink);

// The sink in force, the default one included; never null.  Lets a sink that
// filters messages pass the rest on.
Sink *currentSink();

void show(Kind kind, const QString &text);
// A message kept earlier, shown as it was (to the calling thread's capture, if any).
void show(const Message &message);
inline void notice(const QString &text) { show(Kind::Notice, text); }
inline void error(const QString &text) { show(Kind::Error, text); }
inline void warning(const QString &text) { show(Kind::Warning, text); }

// Keeps the messages it is shown, to be read, or passed on later to the sink
// in force then (after a busy cursor is gone, after a reason is printed).
class Held final : public Sink {
public:
    QList<Message> messages;

    void show(const Message &message) override { messages.append(message); }
    QStringList texts() const;
    // Shows the kept messages through the sink in force and forgets them.
    void release();
};

// Sends the messages shown on the calling thread, and only those, to `sink`
// for the life of the scope, ahead of the program's sink.  Lets work on
// another thread collect its own messages (a race read in a backtest).
class ThreadCapture {
public:
    explicit ThreadCapture(Sink *sink);
    ~ThreadCapture();
    ThreadCapture(const ThreadCapture &) = delete;
    ThreadCapture &operator=(const ThreadCapture &) = delete;

private:
    Sink *m_previous;
};

// Installs a sink for the life of the scope.
class ScopedSink {
public:
    explicit ScopedSink(Sink *sink)
        : m_previous(setSink(sink))
    {
    }
    ~ScopedSink() { setSink(m_previous); }
    ScopedSink(const ScopedSink &) = delete;
    ScopedSink &operator=(const ScopedSink &) = delete;

private:
    Sink *m_previous;
};

} // namespace Messages
