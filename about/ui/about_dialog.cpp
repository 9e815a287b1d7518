// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/ui/about_dialog.h"

#include "common/ui/twips.h"

#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <cmath>

#if !defined(MINUKURU_CONTACT_MAIL) || !defined(MINUKURU_HOMEPAGE)
#error "MINUKURU_CONTACT_MAIL and MINUKURU_HOMEPAGE come from the build"
#endif

namespace {

// Client area and places in twips.
constexpr int clientWidth = 5655;
constexpr int clientHeight = 4485;
constexpr int lineHeight = 285;

} // namespace

AboutDialog::AboutDialog(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral(u"ﾊﾞｰｼﾞｮﾝ情報 ミヌクル君 super"));
    setWindowIcon(programIcon());
    setFont(QFont(QStringLiteral(u"ＭＳ Ｐゴシック"), 9));
    setFixedSize(Twips::toPixelsX(clientWidth, this), Twips::toPixelsY(clientHeight, this));

    const auto place = [this](QWidget *w, const char *name, int left, int top, int width, int height) {
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(Twips::toPixelsX(left, this), Twips::toPixelsY(top, this), Twips::toPixelsX(width, this),
                       Twips::toPixelsY(height, this));
    };
    const auto label = [this, &place](const char *name, const QString &text, int left, int top, int width) {
        auto *l = new QLabel(text, this);
        l->setTextFormat(Qt::PlainText);
        place(l, name, left, top, width, lineHeight);
        return l;
    };

    auto *icon = new QLabel(this);
    icon->setPixmap(programPixmap());
    icon->setAlignment(Qt::AlignCenter);
    place(icon, "picIcon", 240, 240, 540, 540);

    label("lblTitle", QStringLiteral(u"ミヌクル君 super"), 1050, 240, 1710);
    label("lblVersion", QStringLiteral("Version 0.1.0"), 2820, 240, 1320);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    place(ok, "cmdOK", 4200, 240, 1260, 345);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    label("lblDescription_0", QStringLiteral(u"ミヌクルの馬券を見つけます。"), 1050, 960, 4365);
    label("lblDescription_1", QStringLiteral(u"回収率１００％超えると思います。"), 1050, 1320, 4365);
    label("lblDescription_2", QStringLiteral(u"なるべく締め切り直前オッズを使用して下さい。"), 1050, 1680, 4365);

    label("Text1", QStringLiteral("E-Mail  :"), 1050, 2520, 1410);
    label("Text3", QStringLiteral("HomePage  :"), 1050, 2880, 1410);

    // Drawn like links on the face colour, but only for reading and copying:
    // clicking them opens nothing.
    const auto address = [this, &place](const char *name, const QString &text, int top) {
        auto *field = new QLineEdit(text, this);
        field->setReadOnly(true);
        field->setFrame(false);
        field->setCursorPosition(0);
        QPalette colours = field->palette();
        colours.setColor(QPalette::Base, palette().color(QPalette::Window));
        colours.setColor(QPalette::Text, QColor(0, 0, 255));
        field->setPalette(colours);
        place(field, name, 2520, top, 2865, lineHeight);
    };
    address("txtMail", contactMail(), 2520);
    address("Text2", homePage(), 2880);

    // The licence, a line below the addresses.
    label("Text4", QStringLiteral("License  :"), 1050, 3240, 1410);
    QLabel *licence = label("lblLicense", licenseName(), 2520, 3240, 2865);
    licence->setToolTip(
        QStringLiteral(u"GNU General Public License バージョン3以降の条件で"
                       u"再配布・改変できます。無保証です。"));

    ok->setFocus();
}

QString AboutDialog::contactMail() { return QStringLiteral(MINUKURU_CONTACT_MAIL); }

QString AboutDialog::homePage() { return QStringLiteral(MINUKURU_HOMEPAGE); }

QString AboutDialog::licenseName() { return QStringLiteral("GPL-3.0-or-later"); }

QIcon AboutDialog::programIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48})
        icon.addPixmap(programPixmap(size));
    return icon;
}

QPixmap AboutDialog::programPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2e, 0x7d, 0x32));
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);

    // A horse-shoe open at the bottom, with four nail holes.
    const QRectF shoe(8, 6, 16, 19);
    painter.setPen(QPen(QColor(0xf2, 0xc1, 0x4e), 4.5, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(shoe, -50 * 16, 280 * 16);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x5d, 0x40, 0x37));
    const QPointF centre = shoe.center();
    for (const double degrees : {10.0, 60.0, 120.0, 170.0}) {
        const double radians = degrees * 3.14159265358979 / 180.0;
        const QPointF hole(centre.x() + shoe.width() / 2 * std::cos(radians),
                           centre.y() - shoe.height() / 2 * std::sin(radians));
        painter.drawEllipse(hole, 0.9, 0.9);
    }
    return pixmap;
}
