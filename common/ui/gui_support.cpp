// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/ui/gui_support.h"

#include "common/ui/twips.h"

#include "common/colours.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPalette>
#include <QTimer>
#include <QTranslator>
#include <QWidget>

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

namespace {
bool g_toldNotSaved = false;
} // namespace

void warnIfOptionsNotSaved()
{
    const QString error = CommonFunc::SettingsWriteError();
    if (error.isEmpty())
        return;
    g_toldNotSaved = true;
    Messages::warning(Messages::settingsSaveFailedText(CommonFunc::SettingsFilePath(), error));
}

void warnOnceIfSettingsNotSaved()
{
    if (!g_toldNotSaved)
        warnIfOptionsNotSaved();
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

namespace {

// What restorePlacement read and where it put the window, for storePlacement.
constexpr char kPlacedTwips[] = "minukuruPlacedTwips";
constexpr char kPlacedAt[] = "minukuruPlacedAt";
// Where the placed corner lies from the frame's, once a window manager has
// framed the window: some put the frame at the point asked for, others the
// inside (and the frame a title bar above it).
constexpr char kPlacedFromFrame[] = "minukuruPlacedFromFrame";

// Notes kPlacedFromFrame at the first event that finds the window framed.
class FrameWatch final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = static_cast<QWidget *>(watched);
        // The frame may come after the window's last move, with its first paints.
        Q_UNUSED(event);
        if (window->isVisible() && window->frameGeometry().size() != window->size()) {
            window->removeEventFilter(this);
            deleteLater();
            // The inside where the frame was asked for: restorePlacement places
            // the inside's corner there, and so it is stored.  Where the window
            // manager put the window elsewhere, the frame's corner is stored.
            const QPoint placed = window->property(kPlacedAt).toRect().topLeft();
            const QPoint inside = window->geometry().topLeft() - window->frameGeometry().topLeft();
            if (placed == window->geometry().topLeft())
                window->setProperty(kPlacedFromFrame, inside);
        }
        return false;
    }
};

QPoint placedFromFrame(const QWidget *window) { return window->property(kPlacedFromFrame).toPoint(); }

} // namespace

void restorePlacement(QWidget *window, const QString &section, const Placement &defaults)
{
    namespace Settings = CommonFunc::Settings;
    const float left = Settings::Placement(section, QStringLiteral("Left"), defaults.left).get();
    const float top = Settings::Placement(section, QStringLiteral("Top"), defaults.top).get();
    const float height = Settings::Placement(section, QStringLiteral("Height"), defaults.height).get();
    const float width = Settings::Placement(section, QStringLiteral("Width"), defaults.width).get();
    window->move(Twips::toPixelsX(left, window), Twips::toPixelsY(top, window));
    window->resize(Twips::toPixelsX(width, window), Twips::toPixelsY(height, window));
    window->setProperty(kPlacedTwips, QVariantList {left, top, width, height});
    window->setProperty(kPlacedAt, QRect(window->pos(), window->size()));
    window->setProperty(kPlacedFromFrame, QVariant());
    static const QString watchName = QStringLiteral("minukuruFrameWatch");
    if (!window->findChild<QObject *>(watchName, Qt::FindDirectChildrenOnly)) {
        auto *watch = new FrameWatch(window);
        watch->setObjectName(watchName);
        window->installEventFilter(watch);
    }
}

void storePlacement(const QWidget *window, const QString &section)
{
    namespace Settings = CommonFunc::Settings;
    const QVariantList read = window->property(kPlacedTwips).toList();
    // The corner as restorePlacement places it, so that a moved window comes
    // back where it was left rather than a title bar higher each time.
    const QPoint corner = window->pos() + placedFromFrame(window);
    {
        const CommonFunc::SettingsBatch batch;
        if (read.size() == 4 && window->property(kPlacedAt).toRect() == QRect(corner, window->size())) {
            Settings::Placement(section, QStringLiteral("Left")).set(read[0].toFloat());
            Settings::Placement(section, QStringLiteral("Top")).set(read[1].toFloat());
            Settings::Placement(section, QStringLiteral("Width")).set(read[2].toFloat());
            Settings::Placement(section, QStringLiteral("Height")).set(read[3].toFloat());
        } else {
            Settings::Placement(section, QStringLiteral("Left")).set(float(Twips::fromPixelsX(corner.x(), window)));
            Settings::Placement(section, QStringLiteral("Top")).set(float(Twips::fromPixelsY(corner.y(), window)));
            Settings::Placement(section, QStringLiteral("Height"))
                .set(float(Twips::fromPixelsY(window->height(), window)));
            Settings::Placement(section, QStringLiteral("Width"))
                .set(float(Twips::fromPixelsX(window->width(), window)));
        }
    }
    warnOnceIfSettingsNotSaved();
}

void bringForward(QWidget *window)
{
    // A window behind the main one comes to the front; a newly shown one
    // is there already.
    if (window->isVisible() && !window->isMinimized())
        window->raise();
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->activateWindow();
}

void alertWhereFocused(QWidget *owner, const QString &text, int msecs)
{
    QWidget *active = QApplication::activeWindow();
    if (!active || active == owner->window()) {
        QApplication::alert(owner);
        return;
    }
    auto *notice = active->findChild<QLabel *>(QLatin1StringView(kAlertNoticeName), Qt::FindDirectChildrenOnly);
    if (!notice) {
        notice = new QLabel(active);
        notice->setObjectName(QLatin1StringView(kAlertNoticeName));
        notice->setAutoFillBackground(true);
        QPalette palette = notice->palette();
        palette.setColor(QPalette::Window, QColor(0xff, 0xff, 0xe1));
        palette.setColor(QPalette::WindowText, Qt::black);
        notice->setPalette(palette);
        notice->setFrameShape(QFrame::Box);
        notice->setMargin(2);
        auto *timer = new QTimer(notice);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, notice, &QWidget::hide);
    }
    notice->setText(text);
    notice->setToolTip(text);
    notice->setMaximumWidth(active->width());
    notice->adjustSize();
    notice->move(0, active->height() - notice->height());
    notice->raise();
    notice->show();
    notice->findChild<QTimer *>()->start(msecs);
}

} // namespace Gui
