// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/ui/options_dialog.h"

#include "common/colours.h"
#include "common/ui/gui_support.h"
#include "common/ui/twips.h"
#include "settings/race_options.h"
#include "settings/ui/option_controls.h"
#include "support/message_recorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using CommonFunc::BetType;
namespace CF = CommonFunc;

namespace {

QString native(const QString &path) { return QDir::toNativeSeparators(QDir::cleanPath(path)); }

// "uma.min.3": level 3's lower bound of umaren; "wide.lim.1": the wide
// actual-price limit (limits and their check boxes count from 0).
QWidget *control(OptionsDialog &d, const QString &controlPath)
{
    const QStringList p = controlPath.split(u'.');
    if (p[0] == QStringLiteral("model"))
        return p[1] == QStringLiteral("rate") ? d.txtPairPayoutRate
            : p[1] == QStringLiteral("l2")    ? d.txtDiscountLambda2
                                              : d.txtDiscountLambda3;
    OptionsDialog::JudgeBlock &b = p[0] == QStringLiteral("uma") ? d.blockUma : d.blockWide;
    const auto item = size_t(p[2].toInt());
    if (p[1] == QStringLiteral("min"))
        return b.cmbDetectMin[item - 1];
    if (p[1] == QStringLiteral("max"))
        return b.cmbDetectMax[item - 1];
    if (p[1] == QStringLiteral("char"))
        return b.cmbDispChar[item - 1];
    if (p[1] == QStringLiteral("chk"))
        return b.chkDispOption[item];
    return b.cmbDispLimit[item];
}

QString textOf(OptionsDialog &d, const QString &controlPath)
{
    return qobject_cast<QComboBox *>(control(d, controlPath))->currentText();
}

// "uma.min.3=abc;uma.chk.1=0"
void applyEdits(OptionsDialog &d, const QString &edits)
{
    for (const QString &edit : edits.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = edit.indexOf(u'=');
        QWidget *w = control(d, edit.left(eq));
        if (auto *check = qobject_cast<QCheckBox *>(w))
            check->setChecked(edit.mid(eq + 1) == QStringLiteral("1"));
        else if (auto *line = qobject_cast<QLineEdit *>(w))
            line->setText(edit.mid(eq + 1));
        else
            qobject_cast<QComboBox *>(w)->setEditText(edit.mid(eq + 1));
    }
}

// Replaces what the box holds by typing, as the user would.
void typeInto(QComboBox *box, const QString &text)
{
    box->lineEdit()->selectAll();
    QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(box->lineEdit(), char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, box->lineEdit(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QString absent() { return QStringLiteral("<absent>"); }
QString stored(const QString &section, const QString &key)
{
    return CF::ReadSettingText(section, key).value_or(absent());
}
QString judge(const char *key) { return stored(CF::Section::autoJudge(), QString::fromLatin1(key)); }

QStringList optionKeys()
{
    QStringList keys = QSettings(CF::SettingsFilePath(), QSettings::IniFormat).allKeys();
    keys.removeIf([](const QString &k) { return k.startsWith(QStringLiteral("OptionWindow/")); });
    return keys;
}

} // namespace

class TestOptionsDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Gui::registerFontSubstitutes(); }
    void init();
    void cleanup();

    void loadShowsDefaults();
    void loadShowsStoredValues();
    void corruptValueSkipsOnlyThatControl();
    void layoutFits();

    void validation_data();
    void validation();
    void boundsStoreRoundedIntegers();
    void okWritesEveryOption();
    void okStoresEditedValues();
    void modelFrameSavesAndLoads();
    void encodingFrameSavesAndLoads();
    void untickedLimitThatIsNoNumberKeepsStoredValue();
    void cancelWritesNothing();
    void failedSaveSaysSoAtOnce();
    void keysCloseTheDialog();

    void colourPicker();
    void folderChooser();
    void driveChange();
    void position();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestOptionsDialog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    CF::SetSettingsFile(m_dir->filePath(QStringLiteral("settings.ini")));
}

void TestOptionsDialog::cleanup()
{
    CF::SetSettingsFile(QString());
    m_dir.reset();
}

// ---- Loading ----------------------------------------------------------------

void TestOptionsDialog::loadShowsDefaults()
{
    OptionsDialog d;
    QCOMPARE(d.windowTitle(), QStringLiteral(u"ｵﾌﾟｼｮﾝ"));
    const QString folder = CF::GetPatFolder();
    QCOMPARE(d.txtPatFolder->text(), QDir(folder).exists() ? native(folder) : folder);
    QCOMPARE(d.btnColor[17]->colour(), 16777215);
    QCOMPARE(d.cmbPopularDiff->currentText(), QStringLiteral("5"));
    QCOMPARE(d.cmbPopularDiff->count(), 17);
    const QList<std::pair<const char *, const char16_t *>> texts = {
        {"uma.min.4", u"100"},  {"uma.max.4", u"200"},   {"wide.min.4", u"50"},  {"wide.max.4", u"100"},
        {"uma.char.5", u"×"},   {"wide.char.1", u"◎"},   {"uma.lim.1", u"300"},  {"wide.lim.1", u"100"},
        {"uma.lim.0", u"1000"}, {"wide.lim.2", u"0.04"}, {"uma.lim.3", u"0.05"},
    };
    for (const auto &[controlPath, text] : texts)
        QCOMPARE(textOf(d, QString::fromLatin1(controlPath)), QString::fromUtf16(text));
    for (OptionsDialog::JudgeBlock *b : {&d.blockUma, &d.blockWide}) {
        QVERIFY(b->optDispSign[0]->isChecked());
        QCOMPARE(b->btnDispColor[0]->colour(), 0);
        QCOMPARE(b->btnDispColor[1]->colour(), 255);
        QVERIFY(b->chkDispOption[3]->isChecked());
        QCOMPARE(b->cmbDetectMin[0]->count(), 9);
        QCOMPARE(b->cmbDispChar[0]->count(), 12);
        QCOMPARE(b->cmbDispChar[0]->itemText(0), QStringLiteral(u"\u3000"));
        QCOMPARE(b->cmbDispLimit[2]->count(), 19);
    }
    QCOMPARE(d.blockUma.chkDispOption[2]->text(), QStringLiteral(u"単指示率"));
    QCOMPARE(d.blockUma.chkDispOption[3]->text(), QStringLiteral(u"複指示率"));
    QCOMPARE(d.blockWide.chkDispOption[2]->text(), QStringLiteral(u"単支持率"));
    QCOMPARE(d.blockWide.chkDispOption[3]->text(), QStringLiteral(u"複支持率"));
    QVERIFY(optionKeys().isEmpty()); // opening writes nothing
}

void TestOptionsDialog::loadShowsStoredValues()
{
    const QString folder = m_dir->filePath(QStringLiteral("Pat98"));
    QVERIFY(QDir().mkpath(folder));
    CF::SetPatFolder(folder + QDir::separator());
    CF::Settings::HorseNoColor(18).set(65280);
    CF::Settings::DetectVal().set(17);
    CF::Settings::DetectMin(BetType::Umaren, 3).set(150);
    CF::Settings::DispChar(BetType::Wide, 2).set(QStringLiteral(u"\u3000"));
    CF::Settings::DispSign(BetType::Wide).set(2);
    CF::Settings::MinusColor(BetType::Umaren).set(65535);
    CF::Settings::IsRealLimit(BetType::Wide).set(false);
    CF::Settings::TanRatioLimit(BetType::Wide).set(0.03f);

    OptionsDialog d;
    // The directory list writes the folder back without the separator.
    QCOMPARE(d.txtPatFolder->text(), native(folder));
    QCOMPARE(d.dirList->path(), native(folder));
    QVERIFY(native(folder).startsWith(d.drvList->drive()));
    QCOMPARE(d.btnColor[17]->colour(), 65280);
    QCOMPARE(d.cmbPopularDiff->currentText(), QStringLiteral("17"));
    QCOMPARE(textOf(d, QStringLiteral("uma.min.3")), QStringLiteral("150"));
    QCOMPARE(textOf(d, QStringLiteral("wide.char.2")), QStringLiteral(u"\u3000"));
    QVERIFY(d.blockWide.optDispSign[2]->isChecked());
    QVERIFY(d.blockUma.optDispSign[0]->isChecked());
    QCOMPARE(d.blockUma.btnDispColor[1]->shownColour(), QColor(255, 255, 0));
    QVERIFY(!d.blockWide.chkDispOption[1]->isChecked());
    QVERIFY(d.blockUma.chkDispOption[1]->isChecked());
    QCOMPARE(textOf(d, QStringLiteral("wide.lim.2")), QStringLiteral("0.03"));
}

void TestOptionsDialog::corruptValueSkipsOnlyThatControl()
{
    const QString aj = CF::Section::autoJudge();
    CF::WriteSettingText(CF::Section::horseNoColor(), QStringLiteral("7"), QStringLiteral("red"));
    CF::Settings::HorseNoColor(8).set(255);
    CF::WriteSettingText(aj, QStringLiteral("DetectVal"), QStringLiteral("x"));
    CF::WriteSettingText(aj, QStringLiteral("3DetectMinUma"), QStringLiteral("abc"));
    CF::Settings::DetectMax(BetType::Umaren, 3).set(250);
    CF::WriteSettingText(aj, QStringLiteral("1DetectMinWide"), QStringLiteral("40000"));
    CF::WriteSettingText(aj, QStringLiteral("DispSignWide"), QStringLiteral("7"));
    CF::WriteSettingText(aj, QStringLiteral("PlusColorUma"), QStringLiteral("zz"));
    CF::WriteSettingText(aj, QStringLiteral("IsRealLimitWide"), QStringLiteral("maybe"));
    CF::WriteSettingText(aj, QStringLiteral("RealLimitWide"), QStringLiteral("1e999"));

    OptionsDialog d;
    // The failing ones keep the form's own state...
    QCOMPARE(d.btnColor[6]->colour(), CF::SystemColor::ButtonFace);
    QCOMPARE(d.cmbPopularDiff->currentText(), QStringLiteral("5"));
    QCOMPARE(textOf(d, QStringLiteral("uma.min.3")), QString());
    QCOMPARE(textOf(d, QStringLiteral("wide.min.1")), QString());
    QVERIFY(d.blockWide.optDispSign[0]->isChecked());
    QCOMPARE(d.blockUma.btnDispColor[0]->colour(), CF::SystemColor::ButtonFace);
    QVERIFY(!d.blockWide.chkDispOption[1]->isChecked());
    QCOMPARE(textOf(d, QStringLiteral("wide.lim.1")), QString());
    // ...and the rest load on.
    QCOMPARE(d.btnColor[7]->colour(), 255);
    QCOMPARE(textOf(d, QStringLiteral("uma.max.3")), QStringLiteral("250"));
    QCOMPARE(textOf(d, QStringLiteral("wide.max.1")), QStringLiteral("1000"));
    QCOMPARE(d.blockUma.btnDispColor[1]->colour(), 255);
    QVERIFY(d.blockWide.chkDispOption[2]->isChecked());
    QCOMPARE(textOf(d, QStringLiteral("wide.lim.2")), QStringLiteral("0.04"));
}

void TestOptionsDialog::layoutFits()
{
    OptionsDialog d;
    // One row under the price model for what the grids show besides the prices.
    QCOMPARE(d.size(), QSize(Twips::toPixelsX(14535, &d), Twips::toPixelsY(8055, &d)));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    for (QWidget *w : d.findChildren<QWidget *>()) {
        QWidget *parent = w->parentWidget();
        if (!qobject_cast<QGroupBox *>(parent) && parent != &d)
            continue;
        QVERIFY2(parent->rect().contains(w->geometry()), qPrintable(w->objectName()));
        if (auto *label = qobject_cast<QLabel *>(w))
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
    }
    QVERIFY(d.btnOk->x() < d.btnCancel->x());

    // A number box shows its longest valid value whole: with the cursor at
    // the end, the first character has not scrolled out at the left.
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const auto showsWhole = [](QComboBox *box, const QString &text) {
        box->setEditText(text);
        QLineEdit *edit = box->lineEdit();
        edit->end(false);
        edit->repaint(); // the scroll is worked out while painting
        return edit->cursorPositionAt(QPoint(edit->contentsRect().left() + 3, edit->height() / 2)) == 0;
    };
    for (const OptionsDialog::JudgeBlock *b : {&d.blockUma, &d.blockWide}) {
        for (size_t i = 0; i < 5; ++i) {
            QVERIFY(showsWhole(b->cmbDetectMin[i], QStringLiteral("-32768")));
            QVERIFY(showsWhole(b->cmbDetectMax[i], QStringLiteral("-32768")));
        }
        for (size_t j = 0; j < 4; ++j)
            QVERIFY(showsWhole(b->cmbDispLimit[j], QStringLiteral("374625.0")));
    }
    QVERIFY(!showsWhole(d.blockUma.cmbDispLimit[0], QStringLiteral("3746250000.0")));
}

// ---- Validation -------------------------------------------------------------

void TestOptionsDialog::validation_data()
{
    QTest::addColumn<QString>("edits");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");

    const QString notNumber = QStringLiteral(u"数値を正しく入力して下さい。");
    const QString order = QStringLiteral(u"数値の大小関係を正しく入力して下さい。");
    auto row = [](const char *name, const char *edits, const QString &message, const char *focus) {
        QTest::newRow(name) << QString::fromLatin1(edits) << message << QString::fromLatin1(focus);
    };
    row("equal bounds", "uma.min.2=300;uma.max.2=300", order, "uma.min.2");
    row("lower above upper, wide", "wide.min.5=200", order, "wide.min.5");
    row("equal after rounding", "uma.min.1=150.5;uma.max.1=150", order, "uma.min.1");
    row("empty lower", "uma.min.3=", notNumber, "uma.min.3");
    row("umaren before wide", "wide.min.1=xyz;uma.min.3=abc", notNumber, "uma.min.3");
    row("bad upper", "uma.max.4=1o0", notNumber, "uma.max.4");
    row("bad upper before order", "uma.min.1=2000;uma.max.1=x", notNumber, "uma.max.1");
    row("lower beyond 16 bits", "uma.min.1=40000", notNumber, "uma.min.1");
    row("upper beyond 16 bits", "wide.max.2=-32769", notNumber, "wide.max.2");
    row("levels before limits", "uma.lim.0=;uma.min.5=abc", notNumber, "uma.min.5");
    row("umaren limits before wide levels", "uma.lim.1=;wide.min.1=x", notNumber, "uma.lim.1");
    row("ticked empty limit", "wide.lim.1=", notNumber, "wide.lim.1");
    row("ticked limit beyond single", "uma.lim.3=1e39", notNumber, "uma.lim.3");
    row("unticked limit not tested", "uma.chk.0=0;uma.lim.0=abc;wide.lim.2=--", notNumber, "wide.lim.2");
    row("payout rate above 1", "model.rate=1.2", notNumber, "model.rate");
    row("lambda above 2", "model.l2=2.01", notNumber, "model.l2");
    row("limits before the model", "model.rate=;wide.lim.1=", notNumber, "wide.lim.1");
}

void TestOptionsDialog::validation()
{
    QFETCH(QString, edits);
    QFETCH(QString, message);
    QFETCH(QString, focus);

    MessageRecorder recorder;
    OptionsDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    applyEdits(d, edits);
    d.txtPatFolder->setFocus();
    QTest::mouseClick(d.btnOk, Qt::LeftButton);

    QCOMPARE(recorder.messages.size(), 1);
    QCOMPARE(recorder.messages[0].text, message);
    QCOMPARE(recorder.messages[0].kind, Messages::Kind::Warning);
    QCOMPARE(recorder.messages[0].title, QStringLiteral(u"オプション設定"));
    QWidget *box = control(d, focus);
    QVERIFY2(box->isAncestorOf(QApplication::focusWidget()) || box == QApplication::focusWidget(), qPrintable(focus));
    QVERIFY(d.isVisible());
    QVERIFY(optionKeys().isEmpty());
}

void TestOptionsDialog::boundsStoreRoundedIntegers()
{
    MessageRecorder recorder;
    OptionsDialog d;
    // Ties to even, blanks allowed, overlapping levels accepted.
    applyEdits(d,
               QStringLiteral("uma.min.1=150.5;uma.max.1=151;uma.min.2= 2000 ;uma.max.2=2500;"
                              "wide.min.3=-1.5;wide.max.3=1e3"));
    QTest::mouseClick(d.btnOk, Qt::LeftButton);
    QVERIFY(recorder.messages.isEmpty());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(judge("1DetectMinUma"), QStringLiteral("150"));
    QCOMPARE(judge("1DetectMaxUma"), QStringLiteral("151"));
    QCOMPARE(judge("2DetectMinUma"), QStringLiteral("2000"));
    QCOMPARE(judge("3DetectMinWide"), QStringLiteral("-2"));
    QCOMPARE(judge("3DetectMaxWide"), QStringLiteral("1000"));
}

// ---- Saving -----------------------------------------------------------------

void TestOptionsDialog::okWritesEveryOption()
{
    {
        OptionsDialog d;
        QTest::mouseClick(d.btnOk, Qt::LeftButton);
    }
    // Untouched options are written too, each with its default.
    QCOMPARE(optionKeys().size(), 1 + 18 + 1 + 2 * (15 + 1 + 2 + 8));
    const QString folder = CF::DefaultPatFolder();
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("PatFolder")),
             QDir(folder).exists() ? native(folder) : folder + QDir::separator());
    QCOMPARE(stored(CF::Section::horseNoColor(), QStringLiteral("18")), QStringLiteral("16777215"));
    const QList<std::pair<const char *, const char16_t *>> expected = {
        {"DetectVal", u"5"},           {"5DetectMaxUma", u"100"},       {"4DetectMinWide", u"50"},
        {"3DispCharUma", u"▲"},        {"DispSignWide", u"0"},          {"MinusColorWide", u"255"},
        {"IsIdealLimitUma", u"True"},  {"RealLimitUma", u"300"},        {"RealLimitWide", u"100"},
        {"TanRatioLimitUma", u"0.04"}, {"FukuRatioLimitWide", u"0.05"},
    };
    for (const auto &[key, value] : expected)
        QCOMPARE(judge(key), QString::fromUtf16(value));
}

void TestOptionsDialog::modelFrameSavesAndLoads()
{
    {
        OptionsDialog d;
        QCOMPARE(d.cmbPriceModel->currentText(), QStringLiteral(u"標準"));
        QCOMPARE(d.txtPairPayoutRate->text(), QStringLiteral("0.775"));
        d.cmbPriceModel->setCurrentIndex(2);
        d.cmbWinProbability->setCurrentIndex(2);
        applyEdits(d, QStringLiteral("model.rate=1;model.l2=0.9"));
        QVERIFY(!d.chkShowPlacePrice->isChecked());
        QTest::mouseClick(d.btnOk, Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("ShowPlacePrice")), absent());
    {
        OptionsDialog d;
        QCOMPARE(d.chkShowPlacePrice->text(), QStringLiteral(u"複理論"));
        d.chkShowPlacePrice->setChecked(true);
        QTest::mouseClick(d.btnOk, Qt::LeftButton);
    }
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("ShowPlacePrice")), QStringLiteral("True"));
    QVERIFY(CF::ReadRaceOptions().showPlacePrice);
    // Keys that keep their defaults in a file without them stay out.
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("PriceModel")), QStringLiteral("2"));
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("WinProbability")), QStringLiteral("2"));
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("PairPayoutRate")), QStringLiteral("1"));
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("DiscountLambda2")), QStringLiteral("0.9"));
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("DiscountLambda3")), absent());
    OptionsDialog again;
    QCOMPARE(again.cmbPriceModel->currentIndex(), 2);
    QCOMPARE(again.cmbWinProbability->currentText(), QStringLiteral("Shin"));
    QCOMPARE(again.txtDiscountLambda2->text(), QStringLiteral("0.9"));
    QCOMPARE(again.txtDiscountLambda3->text(), QStringLiteral("0.65"));
    QVERIFY(again.chkShowPlacePrice->isChecked());
}

// CsvEncoding stays out of a file that never had it until UTF-8 is chosen;
// back to Shift-JIS it is written as 0.
void TestOptionsDialog::encodingFrameSavesAndLoads()
{
    const auto ok = [](OptionsDialog &d) {
        QTest::mouseClick(d.btnOk, Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
    };
    {
        OptionsDialog d;
        QCOMPARE(d.cmbCsvEncoding->currentText(), QStringLiteral("Shift-JIS"));
        ok(d);
    }
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("CsvEncoding")), absent());
    {
        OptionsDialog d;
        d.cmbCsvEncoding->setCurrentIndex(1);
        QCOMPARE(d.cmbCsvEncoding->currentText(), QStringLiteral(u"UTF-8 (BOM付き)"));
        ok(d);
    }
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("CsvEncoding")), QStringLiteral("1"));
    QCOMPARE(CF::CsvEncodingInForce(), CF::TextEncoding::Utf8);
    {
        OptionsDialog d;
        QCOMPARE(d.cmbCsvEncoding->currentIndex(), 1);
        d.cmbCsvEncoding->setCurrentIndex(0);
        ok(d);
    }
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("CsvEncoding")), QStringLiteral("0"));
}

void TestOptionsDialog::okStoresEditedValues()
{
    MessageRecorder recorder;
    OptionsDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));

    d.txtPatFolder->clear();
    QTest::keyClicks(d.txtPatFolder, QStringLiteral("D:\\no such\\"));
    QTest::keyClick(d.cmbPopularDiff, Qt::Key_Down); // 5 -> 6
    typeInto(d.blockUma.cmbDetectMin[4], QStringLiteral("30"));
    d.blockUma.cmbDispChar[0]->setCurrentIndex(0); // the blank mark
    typeInto(d.blockWide.cmbDispChar[4], QStringLiteral(u"危"));
    QTest::mouseClick(d.blockUma.optDispSign[1], Qt::LeftButton);
    QTest::mouseClick(d.blockWide.chkDispOption[3], Qt::LeftButton);
    typeInto(d.blockUma.cmbDispLimit[2], QStringLiteral("0.025"));
    d.blockWide.cmbDispLimit[1]->setCurrentIndex(18); // 9999.9

    QTest::mouseClick(d.btnOk, Qt::LeftButton);
    QVERIFY(recorder.messages.isEmpty());
    QVERIFY(!d.isVisible());
    // The folder goes in as typed.
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("PatFolder")), QStringLiteral("D:\\no such\\"));
    QCOMPARE(CF::Settings::DetectVal().get(), qint16(6));
    QCOMPARE(CF::Settings::DetectMin(BetType::Umaren, 5).get(), qint16(30));
    QCOMPARE(CF::Settings::DispChar(BetType::Umaren, 1).get(), QStringLiteral(u"\u3000"));
    QCOMPARE(CF::Settings::DispChar(BetType::Wide, 5).get(), QStringLiteral(u"危"));
    QCOMPARE(CF::Settings::DispSign(BetType::Umaren).get(), qint16(1));
    QCOMPARE(CF::Settings::IsFukuRatioLimit(BetType::Wide).get(), false);
    QCOMPARE(CF::Settings::TanRatioLimit(BetType::Umaren).get(), 0.025f);
    QCOMPARE(CF::Settings::RealLimit(BetType::Wide).get(), 9999.9f);
}

void TestOptionsDialog::untickedLimitThatIsNoNumberKeepsStoredValue()
{
    CF::Settings::RealLimit(BetType::Umaren).set(250);
    MessageRecorder recorder;
    OptionsDialog d;
    applyEdits(d, QStringLiteral("uma.chk.1=0;uma.lim.1=abc;wide.chk.0=0;wide.lim.0="));
    QTest::mouseClick(d.btnOk, Qt::LeftButton);
    QVERIFY(recorder.messages.isEmpty());
    QCOMPARE(judge("IsRealLimitUma"), QStringLiteral("False"));
    QCOMPARE(judge("RealLimitUma"), QStringLiteral("250"));
    QCOMPARE(judge("IdealLimitWide"), absent());
    QCOMPARE(judge("IdealLimitUma"), QStringLiteral("1000"));
}

void TestOptionsDialog::cancelWritesNothing()
{
    CF::Settings::HorseNoColor(3).set(255);
    const QStringList before = optionKeys();
    {
        OptionsDialog d;
        d.setColourPicker([](QWidget *, const QString &, const QColor &) { return QColor(0, 0, 255); });
        QTest::mouseClick(d.btnColor[2], Qt::LeftButton);
        QCOMPARE(d.btnColor[2]->colour(), 16711680);
        applyEdits(d, QStringLiteral("uma.min.1=abc;wide.chk.2=0"));
        QTest::mouseClick(d.btnCancel, Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }
    QCOMPARE(optionKeys(), before);
    OptionsDialog again;
    QCOMPARE(again.btnColor[2]->colour(), 255);
}

// Options that cannot be written (a folder that cannot be made, even by
// root) are told in one box at once, on every OK; they hold for the run.
// The placement the dialog stores as it closes says nothing more.
void TestOptionsDialog::failedSaveSaysSoAtOnce()
{
    const QString plain = m_dir->filePath(QStringLiteral("plain"));
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString path = plain + QStringLiteral("/settings.ini");
    CF::SetSettingsFile(path);
    MessageRecorder recorder;
    for (int round = 0; round < 2; ++round) {
        OptionsDialog d;
        applyEdits(d, QStringLiteral("uma.min.1=600"));
        QTest::mouseClick(d.btnOk, Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(recorder.messages.size(), round + 1);
        const Messages::Message &told = recorder.messages.last();
        QCOMPARE(told.kind, Messages::Kind::Warning);
        QVERIFY2(told.text.startsWith(QString::fromUtf16(u"設定ファイル ") + path
                                      + QString::fromUtf16(u" に保存できませんでした。\n")),
                 qPrintable(told.text));
        QVERIFY(told.text.endsWith(QString::fromUtf16(u"\n変更した設定はこの実行の間だけ有効です。")));
        QCOMPARE(CF::Settings::DetectMin(BetType::Umaren, 1).get(), qint16(600));
    }
    QVERIFY(!QFile::exists(path));
}

void TestOptionsDialog::keysCloseTheDialog()
{
    MessageRecorder recorder;
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        OptionsDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        typeInto(d.blockUma.cmbDetectMin[0], QStringLiteral("400"));
        d.blockUma.cmbDetectMin[0]->setFocus();
        // Even from an editable box, Esc cancels and Enter presses OK.
        QTest::keyClick(QApplication::focusWidget(), key);
        QVERIFY(!d.isVisible());
        QCOMPARE(CF::Settings::DetectMin(BetType::Umaren, 1).get(), qint16(key == Qt::Key_Escape ? 500 : 400));
        QCOMPARE(d.blockUma.cmbDetectMin[0]->count(), 9); // typing adds no entry
    }
    QVERIFY(recorder.messages.isEmpty());
}

// ---- Colours and folders ----------------------------------------------------

void TestOptionsDialog::colourPicker()
{
    CF::WriteSettingText(CF::Section::horseNoColor(), QStringLiteral("2"), QStringLiteral("bad"));
    OptionsDialog d;
    QStringList titles;
    QList<QColor> initials;
    QList<QWidget *> owners;
    std::optional<QColor> answer = QColor(0, 255, 0);
    d.setColourPicker([&](QWidget *owner, const QString &title, const QColor &initial) {
        owners.append(owner);
        titles.append(title);
        initials.append(initial);
        return answer;
    });

    QTest::mouseClick(d.btnColor[4], Qt::LeftButton);
    QCOMPARE(titles, QStringList {QStringLiteral(u"色の設定")});
    QCOMPARE(owners, QList<QWidget *> {&d});
    QCOMPARE(initials.value(0), QColor(Qt::white));
    QCOMPARE(d.btnColor[4]->colour(), 65280);

    answer.reset(); // cancelled: nothing changes
    QTest::mouseClick(d.blockWide.btnDispColor[1], Qt::LeftButton);
    QCOMPARE(initials.value(1), QColor(Qt::red));
    QCOMPARE(d.blockWide.btnDispColor[1]->colour(), 255);

    // Choosing the colour on show keeps a system colour as one.
    answer = d.btnColor[1]->shownColour();
    QTest::mouseClick(d.btnColor[1], Qt::LeftButton);
    QCOMPARE(d.btnColor[1]->colour(), CF::SystemColor::ButtonFace);

    answer = QColor(0x12, 0x34, 0x56);
    QTest::mouseClick(d.blockUma.btnDispColor[0], Qt::LeftButton);
    QCOMPARE(initials.value(3), QColor(Qt::black));

    QCOMPARE(stored(CF::Section::horseNoColor(), QStringLiteral("5")), absent()); // only OK stores
    QTest::mouseClick(d.btnOk, Qt::LeftButton);
    QCOMPARE(CF::Settings::HorseNoColor(5).get(), 65280);
    QCOMPARE(CF::Settings::HorseNoColor(2).get(), CF::SystemColor::ButtonFace);
    QCOMPARE(CF::Settings::MinusColor(BetType::Wide).get(), 255);
    QCOMPARE(CF::Settings::PlusColor(BetType::Umaren).get(), 0x12 + 256 * 0x34 + 65536 * 0x56);
}

void TestOptionsDialog::folderChooser()
{
    const QString root = m_dir->filePath(QStringLiteral("pat"));
    for (const char *sub : {"beta", "alpha/inner"})
        QVERIFY(QDir(root).mkpath(QString::fromLatin1(sub)));
    const QString alpha = root + QStringLiteral("/alpha");
    const QString beta = root + QStringLiteral("/beta");
    CF::SetPatFolder(root);

    OptionsDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QCOMPARE(d.txtPatFolder->text(), native(root));
    // Its subfolders, sorted, below it; its ancestors above.
    QTreeWidgetItem *current = d.dirList->currentItem();
    QCOMPARE(current->childCount(), 2);
    QCOMPARE(current->child(0)->text(0), QStringLiteral("alpha"));
    QVERIFY(d.dirList->itemFor(QDir::rootPath()));

    // A double click opens a folder and writes its path into the text box.
    const QRect rect = d.dirList->visualItemRect(d.dirList->itemFor(alpha));
    QTest::mouseClick(d.dirList->viewport(), Qt::LeftButton, {},
                      rect.center()); // mouseDClick sends only the second click
    QTest::mouseDClick(d.dirList->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(d.txtPatFolder->text(), native(alpha));
    QVERIFY(d.dirList->itemFor(alpha + QStringLiteral("/inner")));
    // So does Enter, here on the parent and then on a sibling.
    for (const QString &next : {root, beta}) {
        d.dirList->setCurrentItem(d.dirList->itemFor(next));
        QTest::keyClick(d.dirList, Qt::Key_Return);
        QCOMPARE(d.dirList->path(), native(next));
    }
    QTest::mouseClick(d.btnOk, Qt::LeftButton);
    // Stored without the trailing separator; the getter adds one.
    QCOMPARE(stored(CF::Section::option(), QStringLiteral("PatFolder")), native(beta));
    QCOMPARE(CF::GetPatFolder(), native(beta) + QDir::separator());

    // A folder that is gone stays in the box as stored.
    const QString missing = m_dir->filePath(QStringLiteral("gone"));
    CF::SetPatFolder(missing);
    OptionsDialog again;
    QCOMPARE(again.txtPatFolder->text(), missing + QDir::separator());
    QCOMPARE(again.dirList->path(), native(QDir::currentPath()));
}

void TestOptionsDialog::driveChange()
{
    const QString drive = m_dir->filePath(QStringLiteral("drive"));
    QVERIFY(QDir().mkpath(drive));
    MessageRecorder recorder;
    OptionsDialog d;
    QVERIFY(d.drvList->findData(native(QDir::rootPath())) >= 0);
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    // Stand-ins for a readable drive and one without a medium.
    d.drvList->addItem(QStringLiteral("drive"), native(drive));
    d.drvList->addItem(QStringLiteral("empty"), native(m_dir->filePath(QStringLiteral("no-medium"))));
    d.drvList->setCurrentIndex(d.drvList->count() - 3);

    QTest::keyClick(d.drvList, Qt::Key_Down);
    QCOMPARE(d.dirList->path(), native(drive));
    QCOMPARE(d.txtPatFolder->text(), native(drive));
    // The unreadable one: back to the directory list's drive, silently.
    QTest::keyClick(d.drvList, Qt::Key_Down);
    QCOMPARE(d.drvList->currentData().toString(), native(drive));
    QCOMPARE(d.drvList->drive(), native(drive));
    QCOMPARE(d.dirList->path(), native(drive));
    QVERIFY(recorder.messages.isEmpty());
}

// ---- Position ---------------------------------------------------------------

void TestOptionsDialog::position()
{
    const QString section = CF::Section::optionWindow();
    {
        OptionsDialog d;
        QCOMPARE(d.pos(), QPoint(Twips::toPixelsX(1500, &d), Twips::toPixelsY(1000, &d)));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.move(300, 200);
        QTest::mouseClick(d.btnCancel, Qt::LeftButton);
        QCOMPARE(CF::Settings::Placement(section, QStringLiteral("Left"), 0).get(), float(Twips::fromPixelsX(300, &d)));
    }
    {
        OptionsDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(d.pos(), QPoint(300, 200));
        d.move(40, 60);
        d.close(); // the close box
    }
    {
        // A left edge that does not read is skipped; the top edge applies.
        CF::WriteSettingText(section, QStringLiteral("Left"), QStringLiteral("left"));
        OptionsDialog d;
        QCOMPARE(d.pos().y(), 60);
        // Closing minimised stores nothing.
        d.showMinimized();
        d.move(0, 0);
        d.reject();
        QCOMPARE(stored(section, QStringLiteral("Left")), QStringLiteral("left"));
    }
}

QTEST_MAIN(TestOptionsDialog)
#include "test_options_dialog.moc"
