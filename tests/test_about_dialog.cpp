// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/ui/about_dialog.h"

#include "common/ui/twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestAboutDialog : public QObject {
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void addressesAreReadOnlyBlueFields();
    void fixedSizeAndIcon();
    void okIsDefault();
    void keysClose_data();
    void keysClose();
    void modalRunEndsOnOk();
};

void TestAboutDialog::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("title") << QStringLiteral("lblTitle") << QStringLiteral(u"ミヌクル君 super");
    QTest::newRow("version") << QStringLiteral("lblVersion") << QStringLiteral("Version 0.1.0");
    QTest::newRow("description 0") << QStringLiteral("lblDescription_0")
                                   << QStringLiteral(u"ミヌクルの馬券を見つけます。");
    QTest::newRow("description 1") << QStringLiteral("lblDescription_1")
                                   << QStringLiteral(u"回収率１００％超えると思います。");
    QTest::newRow("description 2") << QStringLiteral("lblDescription_2")
                                   << QStringLiteral(u"なるべく締め切り直前オッズを使用して下さい。");
    QTest::newRow("mail caption") << QStringLiteral("Text1") << QStringLiteral("E-Mail  :");
    QTest::newRow("home page caption") << QStringLiteral("Text3") << QStringLiteral("HomePage  :");
    QTest::newRow("licence caption") << QStringLiteral("Text4") << QStringLiteral("License  :");
    QTest::newRow("licence") << QStringLiteral("lblLicense") << QStringLiteral("GPL-3.0-or-later");
}

void TestAboutDialog::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    AboutDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral(u"ﾊﾞｰｼﾞｮﾝ情報 ミヌクル君 super"));
    const QLabel *label = dialog.findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    // Every text fits its box.
    QVERIFY2(label->fontMetrics().horizontalAdvance(text) <= label->width(), qPrintable(name));
}

void TestAboutDialog::addressesAreReadOnlyBlueFields()
{
    AboutDialog dialog;
    const QLineEdit *mail = dialog.findChild<QLineEdit *>(QStringLiteral("txtMail"));
    const QLineEdit *home = dialog.findChild<QLineEdit *>(QStringLiteral("Text2"));
    QVERIFY(mail && home);
    QCOMPARE(mail->text(), AboutDialog::contactMail());
    QCOMPARE(home->text(), AboutDialog::homePage());
    QVERIFY(mail->text().contains(u'@'));
    QVERIFY(home->text().startsWith(QStringLiteral("http")));
    for (const QLineEdit *field : {mail, home}) {
        QVERIFY(field->isReadOnly());
        QCOMPARE(field->palette().color(QPalette::Text), QColor(0, 0, 255));
        QCOMPARE(field->palette().color(QPalette::Base), dialog.palette().color(QPalette::Window));
        QCOMPARE(field->width(), Twips::toPixelsX(2865, &dialog));
        QCOMPARE(field->x(), Twips::toPixelsX(2520, &dialog));
    }
}

void TestAboutDialog::fixedSizeAndIcon()
{
    AboutDialog dialog;
    const QSize size(Twips::toPixelsX(5655, &dialog), Twips::toPixelsY(4485, &dialog));
    QCOMPARE(dialog.size(), size);
    QCOMPARE(dialog.minimumSize(), size);
    QCOMPARE(dialog.maximumSize(), size);

    const QLabel *icon = dialog.findChild<QLabel *>(QStringLiteral("picIcon"));
    QVERIFY(icon);
    const QPixmap pixmap = icon->pixmap();
    QCOMPARE(pixmap.size(), QSize(32, 32));
    // Not a blank picture: the corner is clear, the middle painted.
    const QImage image = pixmap.toImage();
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(16, 28)), 255);
    QVERIFY(image.pixel(16, 28) != image.pixel(16, 6));
}

void TestAboutDialog::okIsDefault()
{
    AboutDialog dialog;
    QPushButton *ok = dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"));
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    dialog.show();
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

void TestAboutDialog::keysClose_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    for (const QString &focus :
         {QStringLiteral("cmdOK"), QStringLiteral("txtMail"), QStringLiteral("Text2"), QStringLiteral("frmAbout")}) {
        QTest::addRow("%s Enter", qPrintable(focus)) << focus << int(Qt::Key_Return);
        QTest::addRow("%s keypad Enter", qPrintable(focus)) << focus << int(Qt::Key_Enter);
        QTest::addRow("%s Esc", qPrintable(focus)) << focus << int(Qt::Key_Escape);
    }
}

void TestAboutDialog::keysClose()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    AboutDialog dialog;
    dialog.show();
    QWidget *target = focus == dialog.objectName() ? &dialog : dialog.findChild<QWidget *>(focus);
    QVERIFY(target);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QVERIFY(!dialog.isVisible());
}

void TestAboutDialog::modalRunEndsOnOk()
{
    AboutDialog dialog;
    QTimer::singleShot(0, &dialog, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Return); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
}

QTEST_MAIN(TestAboutDialog)
#include "test_about_dialog.moc"
