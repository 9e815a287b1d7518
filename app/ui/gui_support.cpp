// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/gui_support.h"

#include "common/colours.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPalette>
#include <QTranslator>

namespace Gui {

QColor toQColor(qint32 colour, const QPalette &palette)
{
    switch (colour) {
    case CommonFunc::SystemColor::WindowBackground:
        return palette.color(QPalette::Base);
    case CommonFunc::SystemColor::WindowText:
        return palette.color(QPalette::Text);
    case CommonFunc::SystemColor::ButtonFace:
        return palette.color(QPalette::Button);
    default:
        break;
    }
    const auto c = quint32(colour);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

qint32 fromQColor(const QColor &colour) { return qint32(colour.red() + 256 * colour.green() + 65536 * colour.blue()); }

void registerFontSubstitutes()
{
    QFont::insertSubstitutions(QStringLiteral(u"ＭＳ ゴシック"),
                               {QStringLiteral("IPAGothic"), QStringLiteral(u"IPAゴシック")});
    QFont::insertSubstitutions(QStringLiteral(u"ＭＳ Ｐゴシック"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral(u"IPAPゴシック")});
}

void warnAboutSettingsFile()
{
    using CommonFunc::SettingsFileProblem;
    QString what;
    switch (CommonFunc::SettingsFileRefusal()) {
    case SettingsFileProblem::None:
        return;
    case SettingsFileProblem::NotRegularFile:
        what = QStringLiteral(u"設定ファイル %1 は通常のファイルではありません。");
        break;
    case SettingsFileProblem::Unreadable:
        what = QStringLiteral(u"設定ファイル %1 を読み込めません。");
        break;
    case SettingsFileProblem::NoWorkingCopy:
        what = QStringLiteral(u"設定ファイル %1 の作業用の写しを一時フォルダーに作れません。");
        break;
    }
    Messages::warning(what.arg(CommonFunc::SettingsFilePath())
                      + QStringLiteral(u"\n既定の設定で動作し、設定の変更は保存しません。"));
}

bool installQtTranslations()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void MessageBoxSink::show(const Messages::Message &message)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (message.kind == Messages::Kind::Error)
        icon = QMessageBox::Critical;
    else if (message.kind == Messages::Kind::Warning)
        icon = QMessageBox::Warning;
    QMessageBox box(icon, message.title, message.text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

} // namespace Gui
