#include "app/ui/gui_support.h"

#include "common/colours.h"

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
