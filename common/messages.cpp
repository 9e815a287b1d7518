// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/messages.h"

#include "common/text_util.h"

#include <QDir>

#include <cstdio>
#include <utility>

namespace Messages {

namespace {

class StandardErrorSink final : public Sink {
public:
    void show(const Message &message) override
    {
        // A message may quote a file name or a race's text.
        const QByteArray line = CommonFunc::VisibleText(message.text).toUtf8() + '\n';
        std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
        std::fflush(stderr);
    }
};

StandardErrorSink g_defaultSink;
Sink *g_sink = &g_defaultSink;
thread_local Sink *t_capture = nullptr;

} // namespace

QString programTitle() { return QStringLiteral(u"ミヌクル君super"); }
QString errorTitle() { return QStringLiteral(u"えらー"); }
QString optionsTitle() { return QStringLiteral(u"オプション設定"); }

QString formatMismatchText() { return QStringLiteral(u"ファイル形式が違います。"); }
QString readFailedText() { return QStringLiteral(u"ファイルの読み込みに失敗しました。"); }
QString saveFailedText() { return QStringLiteral(u"ファイルの保存に失敗しました。"); }

QString unmappedSavedText(const QString &path, const QString &characters)
{
    return QStringLiteral(u"%1 には Shift-JIS で表せない文字（%2）があり、「?」として保存しました。")
        .arg(QDir::toNativeSeparators(path), characters);
}

QString unmappedWrittenText(const QString &characters)
{
    return QStringLiteral(u"Shift-JIS で表せない文字（%1）を「?」として出力しました。").arg(characters);
}

QString settingsSaveFailedText(const QString &path, const QString &reason)
{
    return QStringLiteral(u"設定ファイル %1 に保存できませんでした。\n%2\n変更した設定はこの実行の間だけ有効です。")
        .arg(QDir::toNativeSeparators(path), reason);
}

Sink *setSink(Sink *sink)
{
    Sink *previous = g_sink;
    g_sink = sink ? sink : &g_defaultSink;
    return previous == &g_defaultSink ? nullptr : previous;
}

Sink *currentSink() { return g_sink; }

void show(Kind kind, const QString &text)
{
    Message message;
    message.kind = kind;
    message.text = text;
    switch (kind) {
    case Kind::Notice:
        message.title = programTitle();
        break;
    case Kind::Error:
        message.title = errorTitle();
        break;
    case Kind::Warning:
        message.title = optionsTitle();
        break;
    }
    show(message);
}

void show(const Message &message) { (t_capture ? t_capture : g_sink)->show(message); }

QStringList Held::texts() const
{
    QStringList list;
    for (const Message &message : messages)
        list.append(message.text);
    return list;
}

void Held::release()
{
    const QList<Message> kept = std::exchange(messages, {});
    for (const Message &message : kept)
        currentSink()->show(message);
}

ThreadCapture::ThreadCapture(Sink *sink)
    : m_previous(t_capture)
{
    t_capture = sink;
}

ThreadCapture::~ThreadCapture() { t_capture = m_previous; }

} // namespace Messages
