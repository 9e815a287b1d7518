// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/ui/options_dialog.h"

#include "common/messages.h"
#include "common/ui/gui_support.h"
#include "common/ui/twips.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"
#include "settings/ui/option_controls.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using CommonFunc::BetType;

namespace {

constexpr int kClientWidth = 14535;
constexpr int kClientHeight = 8055; // 6825 above the price model frame
constexpr int kBoxHeight = 315;

QString notNumberText() { return QStringLiteral(u"数値を正しく入力して下さい。"); }
QString boundOrderText() { return QStringLiteral(u"数値の大小関係を正しく入力して下さい。"); }

// Twips inside the parent, as the form is designed.
void place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(Twips::toPixelsX(left, widget), Twips::toPixelsY(top, widget), Twips::toPixelsX(width, widget),
                        Twips::toPixelsY(height, widget));
}

QLabel *addLabel(QWidget *parent, const QString &text, int left, int top, int width,
                 Qt::Alignment align = Qt::AlignLeft)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(align | Qt::AlignVCenter);
    place(label, left, top, width, kBoxHeight);
    return label;
}

QGroupBox *addFrame(QWidget *parent, const QString &title, int left, int top, int width, int height)
{
    auto *frame = new QGroupBox(title, parent);
    place(frame, left, top, width, height);
    return frame;
}

// A text field with a list to pick from; what is typed stays as typed.
QComboBox *addEditableCombo(QWidget *parent, const QStringList &entries, int left, int top, int width)
{
    auto *combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    combo->addItems(entries);
    combo->setCurrentIndex(-1);
    place(combo, left, top, width, kBoxHeight);
    return combo;
}

QStringList boundEntries()
{
    return {QStringLiteral("50"),  QStringLiteral("100"), QStringLiteral("150"),
            QStringLiteral("200"), QStringLiteral("250"), QStringLiteral("300"),
            QStringLiteral("400"), QStringLiteral("500"), QStringLiteral("1000")};
}

QStringList markEntries()
{
    return {QStringLiteral(u"\u3000"), QStringLiteral(u"◎"), QStringLiteral(u"○"),  QStringLiteral(u"▲"),
            QStringLiteral(u"△"),      QStringLiteral(u"×"), QStringLiteral(u"注"), QStringLiteral(u"※"),
            QStringLiteral(u"★"),      QStringLiteral(u"☆"), QStringLiteral(u"！"), QStringLiteral(u"？")};
}

QStringList limitEntries()
{
    QStringList entries;
    for (int hundreds = 1; hundreds <= 9; ++hundreds)
        entries.append(QString::number(hundreds * 100));
    for (int thousands = 1; thousands <= 9; ++thousands)
        entries.append(QString::number(thousands * 1000));
    entries.append(QStringLiteral("9999.9"));
    return entries;
}

// Loading skips an option whose stored text does not convert.
template <typename T, typename Apply>
void assign(const std::optional<T> &value, Apply apply)
{
    if (value)
        apply(*value);
}

} // namespace

OptionsDialog::OptionsDialog(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
    , m_colourPicker(&OptionsDialog::runColourDialog)
{
    setWindowTitle(QStringLiteral(u"ｵﾌﾟｼｮﾝ"));
    setFont(QFont(QStringLiteral(u"ＭＳ Ｐゴシック"), 9));
    setFixedSize(Twips::toPixelsX(kClientWidth, this), Twips::toPixelsY(kClientHeight, this));
    buildControls();

    connect(dirList, &FolderList::pathChanged, txtPatFolder, &QLineEdit::setText);
    connect(drvList, &DriveList::driveChanged, this, &OptionsDialog::drvList_Change);
    connect(btnOk, &QPushButton::clicked, this, &OptionsDialog::btnOk_Click);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto connectColour = [this](ColourButton *button) {
        connect(button, &QPushButton::clicked, this, [this, button] { pickColour(button); });
    };
    for (ColourButton *button : btnColor)
        connectColour(button);
    for (JudgeBlock *b : {&blockUma, &blockWide}) {
        for (ColourButton *button : b->btnDispColor)
            connectColour(button);
    }

    load();
}

void OptionsDialog::setColourPicker(ColourPicker picker) { m_colourPicker = std::move(picker); }

std::optional<QColor> OptionsDialog::runColourDialog(QWidget *parent, const QString &title, const QColor &initial)
{
    QColorDialog dialog(initial, parent);
    dialog.setWindowTitle(title);
    if (dialog.exec() != QDialog::Accepted || !dialog.selectedColor().isValid())
        return std::nullopt;
    return dialog.selectedColor();
}

// ---- Building ---------------------------------------------------------------

void OptionsDialog::buildControls()
{
    // Left column: the PAT folder and the horse-number colours.
    QGroupBox *frame1 = addFrame(this, QStringLiteral(u"PAT ﾌｫﾙﾀﾞ"), 120, 120, 4875, 3000);
    txtPatFolder = new QLineEdit(frame1);
    txtPatFolder->setObjectName(QStringLiteral("txtPatFolder"));
    place(txtPatFolder, 120, 300, 4635, 300);
    drvList = new DriveList(frame1);
    drvList->setObjectName(QStringLiteral("drvList"));
    place(drvList, 120, 690, 4635, kBoxHeight);
    dirList = new FolderList(frame1);
    dirList->setObjectName(QStringLiteral("dirList"));
    place(dirList, 120, 1095, 4635, 1785);
    // As the form starts: the process's current folder.
    dirList->setPath(QDir::currentPath());
    drvList->setDriveOf(dirList->path());

    QGroupBox *frame2 = addFrame(this, QStringLiteral(u"馬番別色分け"), 120, 3240, 4875, 3465);
    for (int i = 0; i < 18; ++i) {
        const int left = 120 + (i / 6) * 1545;
        const int top = 330 + (i % 6) * 510;
        addLabel(frame2, QString::number(i + 1) + QStringLiteral(u"番"), left, top, 510, Qt::AlignRight);
        btnColor[size_t(i)] = new ColourButton(frame2);
        btnColor[size_t(i)]->setObjectName(QStringLiteral("btnColor_") + QString::number(i));
        place(btnColor[size_t(i)], left + 570, top - 8, 855, 330);
    }

    // Middle column: the win/place threshold above the umaren block.
    QGroupBox *frame3 = addFrame(this, QStringLiteral(u"単複自動判定"), 5115, 120, 4590, 735);
    addLabel(frame3, QStringLiteral(u"単勝と複勝の人気の差が"), 120, 300, 2100);
    cmbPopularDiff = new QComboBox(frame3);
    cmbPopularDiff->setObjectName(QStringLiteral("cmbPopularDiff"));
    for (int n = 1; n <= 17; ++n)
        cmbPopularDiff->addItem(QString::number(n));
    // As the form starts: the store's default.
    cmbPopularDiff->setCurrentIndex(4);
    place(cmbPopularDiff, 2250, 300, 735, kBoxHeight);
    addLabel(frame3, QStringLiteral(u"以上を判定する"), 3060, 300, 1410);

    buildJudgeBlock(blockUma, BetType::Umaren, 5115, 975);

    // Right column: the buttons above the wide block.
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    place(btnOk, 11865, 360, 1215, 390);
    btnOk->setDefault(true);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral(u"ｷｬﾝｾﾙ"), this);
    place(btnCancel, 13200, 360, 1215, 390);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    buildJudgeBlock(blockWide, BetType::Wide, 9825, 975);

    buildModelFrame();
    buildEncodingFrame();
}

void OptionsDialog::buildModelFrame()
{
    QGroupBox *frame = addFrame(this, QStringLiteral(u"理論値モデル"), 120, 6825, 11460, 1110);
    auto combo = [frame](const char *name, const QStringList &items, int left, int width) {
        auto *box = new QComboBox(frame);
        box->setObjectName(QString::fromLatin1(name));
        box->addItems(items);
        place(box, left, 300, width, kBoxHeight);
        return box;
    };
    auto edit = [frame](const char *name, int left) {
        auto *box = new QLineEdit(frame);
        box->setObjectName(QString::fromLatin1(name));
        place(box, left, 300, 720, kBoxHeight);
        return box;
    };
    addLabel(frame, QStringLiteral(u"ﾓﾃﾞﾙ"), 120, 300, 540);
    cmbPriceModel = combo("cmbPriceModel",
                          {QStringLiteral(u"標準"), QStringLiteral(u"Harville"), QStringLiteral(u"割引Harville")}, 690,
                          1560);
    addLabel(frame, QStringLiteral(u"勝率"), 2310, 300, 480);
    cmbWinProbability = combo("cmbWinProbability",
                              {QStringLiteral(u"正規化"), QStringLiteral(u"べき乗"), QStringLiteral(u"Shin"),
                               QStringLiteral(u"補正累乗")},
                              2820, 1320);
    addLabel(frame, QStringLiteral(u"馬連・ﾜｲﾄﾞ払戻率"), 4200, 300, 1620);
    txtPairPayoutRate = edit("txtPairPayoutRate", 5850);
    addLabel(frame, QStringLiteral(u"割引 λ2"), 6630, 300, 750);
    txtDiscountLambda2 = edit("txtDiscountLambda2", 7410);
    addLabel(frame, QStringLiteral(u"λ3"), 8190, 300, 360);
    txtDiscountLambda3 = edit("txtDiscountLambda3", 8580);
    addLabel(frame, QStringLiteral(u"β"), 9360, 300, 300);
    txtWinPowerExponent = edit("txtWinPowerExponent", 9690);
    // What the grids show besides the prices, on a second row.
    addLabel(frame, QStringLiteral(u"表示"), 120, 690, 540);
    chkShowExpectedValue = new QCheckBox(QStringLiteral(u"期待値"), frame);
    chkShowExpectedValue->setObjectName(QStringLiteral("chkShowExpectedValue"));
    chkShowExpectedValue->setToolTip(QStringLiteral(u"馬連・ﾜｲﾄﾞの表に期待値の列を出す（ﾜｲﾄﾞは下限のｵｯｽﾞ）"));
    place(chkShowExpectedValue, 690, 690, 1080, kBoxHeight);
    chkShowPlacePrice = new QCheckBox(QStringLiteral(u"複理論"), frame);
    chkShowPlacePrice->setObjectName(QStringLiteral("chkShowPlacePrice"));
    chkShowPlacePrice->setToolTip(QStringLiteral(u"複勝人気順の表に理論上の複勝ｵｯｽﾞを表示する"));
    place(chkShowPlacePrice, 1890, 690, 1080, kBoxHeight);
    // As the form starts: the store's defaults.
    const CommonFunc::RaceOptions &d = CommonFunc::DefaultRaceOptions();
    cmbPriceModel->setCurrentIndex(d.priceModel);
    cmbWinProbability->setCurrentIndex(d.winProbability);
    txtPairPayoutRate->setText(CommonFunc::ModelRealText(d.pairPayoutRate));
    txtDiscountLambda2->setText(CommonFunc::ModelRealText(d.discountLambda2));
    txtDiscountLambda3->setText(CommonFunc::ModelRealText(d.discountLambda3));
    txtWinPowerExponent->setText(CommonFunc::ModelRealText(d.winPowerExponent));
    chkShowPlacePrice->setChecked(d.showPlacePrice);
    chkShowExpectedValue->setChecked(d.showExpectedValue);
}

void OptionsDialog::buildEncodingFrame()
{
    QGroupBox *frame = addFrame(this, QStringLiteral(u"CSV文字ｺｰﾄﾞ"), 11700, 6825, 2715, 1110);
    cmbCsvEncoding = new QComboBox(frame);
    cmbCsvEncoding->setObjectName(QStringLiteral("cmbCsvEncoding"));
    cmbCsvEncoding->addItems({QStringLiteral("Shift-JIS"), QStringLiteral(u"UTF-8 (BOM付き)")});
    place(cmbCsvEncoding, 120, 300, 2475, kBoxHeight);
    // As the form starts: the store's default.
    cmbCsvEncoding->setCurrentIndex(int(CommonFunc::DefaultRaceOptions().csvEncoding));
}

void OptionsDialog::buildJudgeBlock(JudgeBlock &b, BetType type, int left, int top)
{
    const CommonFunc::BetKind &kind = CommonFunc::KindOf(type);
    b.frame = addFrame(this, kind.name.toString() + QStringLiteral(u"自動判定"), left, top, 4590, 5730);
    QGroupBox *frame = b.frame;
    const QString suffix = kind.settingsSuffix + u'_';
    auto name = [&suffix](QWidget *widget, const char16_t *base, int item) {
        widget->setObjectName(QString::fromUtf16(base) + suffix + QString::number(item));
    };
    addLabel(frame, QStringLiteral(u"理論値と実際値の乖離％の絶対値が"), 120, 240, 4350);

    // The bound boxes are wide enough for any 16-bit bound ("-32768"), the
    // mark box and the labels only as wide as they need.
    for (int i = 0; i < 5; ++i) {
        const int rowTop = 570 + i * 405;
        const auto n = size_t(i);
        b.cmbDetectMin[n] = addEditableCombo(frame, boundEntries(), 120, rowTop, 1050);
        addLabel(frame, QStringLiteral(u"以上"), 1200, rowTop, 375);
        b.cmbDetectMax[n] = addEditableCombo(frame, boundEntries(), 1590, rowTop, 1050);
        addLabel(frame, QStringLiteral(u"未満を"), 2670, rowTop, 540);
        b.cmbDispChar[n] = addEditableCombo(frame, markEntries(), 3225, rowTop, 630);
        addLabel(frame, QStringLiteral(u"で表示"), 3885, rowTop, 570);
        name(b.cmbDetectMin[n], u"cmbDetectMin", i);
        name(b.cmbDetectMax[n], u"cmbDetectMax", i);
        name(b.cmbDispChar[n], u"cmbDispChar", i);
    }

    QGroupBox *frame5 = addFrame(frame, QStringLiteral(u"表示値の符号"), 120, 2640, 4350, 630);
    const int signLeft[3] = {150, 1290, 2850};
    const int signWidth[3] = {1095, 1515, 1440};
    const QString signText[3] = {QStringLiteral(u"±値表示"), QStringLiteral(u"＋値のみ表示"),
                                 QStringLiteral(u"－値のみ表示")};
    for (int i = 0; i < 3; ++i) {
        auto *option = new QRadioButton(signText[i], frame5);
        place(option, signLeft[i], 270, signWidth[i], 300);
        b.optDispSign[size_t(i)] = option;
        name(option, u"optDispSign", i);
    }
    b.optDispSign[0]->setChecked(true);

    QGroupBox *frame6 = addFrame(frame, QStringLiteral(u"表示色"), 120, 3375, 4350, 690);
    addLabel(frame6, QStringLiteral(u"＋値"), 150, 285, 420);
    b.btnDispColor[0] = new ColourButton(frame6);
    place(b.btnDispColor[0], 600, 270, 1200, 330);
    addLabel(frame6, QStringLiteral(u"－値"), 2250, 285, 420);
    b.btnDispColor[1] = new ColourButton(frame6);
    place(b.btnDispColor[1], 2700, 270, 1200, 330);
    name(b.btnDispColor[0], u"btnDispColor", 0);
    name(b.btnDispColor[1], u"btnDispColor", 1);

    // The umaren block has always read 指示率 where the wide one reads 支持率.
    const QString rateWord = kind.rateLimitWord.toString();
    const QString checkText[4] = {QStringLiteral(u"理論値"), QStringLiteral(u"実際値"), u'単' + rateWord,
                                  u'複' + rateWord};
    for (int j = 0; j < 4; ++j) {
        const int rowTop = 4170 + j * 375;
        const auto n = size_t(j);
        b.chkDispOption[n] = new QCheckBox(checkText[j], frame);
        place(b.chkDispOption[n], 120, rowTop, 1110, kBoxHeight);
        // Wide enough for the widest price a pair shows, 374625.0.
        b.cmbDispLimit[n] = addEditableCombo(frame, limitEntries(), 1260, rowTop, 1275);
        addLabel(frame, j < 2 ? QStringLiteral(u"以上は判定から除外") : QStringLiteral(u"未満絡みは判定から除外"), 2550,
                 rowTop, 1920);
        name(b.chkDispOption[n], u"chkDispOption", j);
        name(b.cmbDispLimit[n], u"cmbDispLimit", j);
    }
}

// ---- Loading ----------------------------------------------------------------

void OptionsDialog::load()
{
    namespace CF = CommonFunc;
    CF::RefreshSettings();

    QPoint at = pos();
    const std::optional<float> left =
        CF::Settings::Placement(CF::Section::optionWindow(), QStringLiteral("Left"), 1500).tryGet();
    const std::optional<float> top =
        CF::Settings::Placement(CF::Section::optionWindow(), QStringLiteral("Top"), 1000).tryGet();
    if (left)
        at.setX(Twips::toPixelsX(*left, this));
    if (top)
        at.setY(Twips::toPixelsY(*top, this));
    if (left || top)
        move(at);

    const CF::StoredOptions stored = CF::ReadStoredOptions();

    // The directory list writes its folder back into the text box, so the
    // box ends up showing it without the trailing separator.
    txtPatFolder->setText(stored.patFolder.value_or(QString()));
    dirList->setPath(txtPatFolder->text());
    drvList->setDriveOf(txtPatFolder->text());

    for (int n = 1; n <= 18; ++n)
        assign(stored.horseNoColor[size_t(n)], [&](qint32 c) { btnColor[size_t(n - 1)]->setColour(c); });

    assign(stored.detectVal, [&](qint16 v) {
        if (v >= 1 && v <= cmbPopularDiff->count())
            cmbPopularDiff->setCurrentIndex(v - 1);
    });

    assign(stored.priceModel, [&](qint16 v) { cmbPriceModel->setCurrentIndex(v); });
    assign(stored.winProbability, [&](qint16 v) { cmbWinProbability->setCurrentIndex(v); });
    assign(stored.pairPayoutRate, [&](double v) { txtPairPayoutRate->setText(CF::ModelRealText(v)); });
    assign(stored.discountLambda2, [&](double v) { txtDiscountLambda2->setText(CF::ModelRealText(v)); });
    assign(stored.discountLambda3, [&](double v) { txtDiscountLambda3->setText(CF::ModelRealText(v)); });
    assign(stored.winPowerExponent, [&](double v) { txtWinPowerExponent->setText(CF::ModelRealText(v)); });
    assign(stored.showPlacePrice, [&](bool on) { chkShowPlacePrice->setChecked(on); });
    assign(stored.csvEncoding, [&](CF::TextEncoding v) { cmbCsvEncoding->setCurrentIndex(int(v)); });
    assign(stored.showExpectedValue, [&](bool on) { chkShowExpectedValue->setChecked(on); });

    for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
        const BetType type = kind.type;
        JudgeBlock &b = block(type);
        const CF::StoredOptions::Judge &j = stored.judge(type);
        for (size_t i = 0; i < 5; ++i) {
            assign(j.detectMin[i], [&](qint16 v) { b.cmbDetectMin[i]->setEditText(QString::number(v)); });
            assign(j.detectMax[i], [&](qint16 v) { b.cmbDetectMax[i]->setEditText(QString::number(v)); });
            assign(j.dispChar[i], [&](const QString &m) { b.cmbDispChar[i]->setEditText(m); });
        }
        assign(j.dispSign, [&](qint16 v) {
            if (v >= 0 && v <= 2)
                b.optDispSign[size_t(v)]->setChecked(true);
        });
        assign(j.plusColor, [&](qint32 c) { b.btnDispColor[0]->setColour(c); });
        assign(j.minusColor, [&](qint32 c) { b.btnDispColor[1]->setColour(c); });
        const std::optional<bool> flags[4] = {j.isIdealLimit, j.isRealLimit, j.isTanRatioLimit, j.isFukuRatioLimit};
        const std::optional<float> limits[4] = {j.idealLimit, j.realLimit, j.tanRatioLimit, j.fukuRatioLimit};
        for (size_t k = 0; k < 4; ++k) {
            assign(flags[k], [&](bool on) { b.chkDispOption[k]->setChecked(on); });
            assign(limits[k], [&](float v) { b.cmbDispLimit[k]->setEditText(CF::RealText(v)); });
        }
    }
}

// ---- OK ---------------------------------------------------------------------

bool OptionsDialog::validateOptions()
{
    auto fail = [](QComboBox *box, const QString &text) {
        Messages::warning(text);
        box->setFocus(Qt::OtherFocusReason);
        return false;
    };
    for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
        const BetType type = kind.type;
        const JudgeBlock &b = block(type);
        for (size_t i = 0; i < 5; ++i) {
            // A bound must fit the store's 16-bit integer, not just be a number.
            const std::optional<qint16> lower = CommonFunc::IntegerFromText(b.cmbDetectMin[i]->currentText());
            if (!lower)
                return fail(b.cmbDetectMin[i], notNumberText());
            const std::optional<qint16> upper = CommonFunc::IntegerFromText(b.cmbDetectMax[i]->currentText());
            if (!upper)
                return fail(b.cmbDetectMax[i], notNumberText());
            if (*lower >= *upper)
                return fail(b.cmbDetectMin[i], boundOrderText());
        }
        for (size_t j = 0; j < 4; ++j) {
            if (b.chkDispOption[j]->isChecked() && !CommonFunc::RealFromText(b.cmbDispLimit[j]->currentText()))
                return fail(b.cmbDispLimit[j], notNumberText());
        }
    }
    const auto failEdit = [](QLineEdit *box) {
        Messages::warning(notNumberText());
        box->setFocus(Qt::OtherFocusReason);
        return false;
    };
    if (!CommonFunc::PayoutRateFromText(txtPairPayoutRate->text()))
        return failEdit(txtPairPayoutRate);
    for (QLineEdit *box : {txtDiscountLambda2, txtDiscountLambda3}) {
        if (!CommonFunc::LambdaFromText(box->text()))
            return failEdit(box);
    }
    if (!CommonFunc::WinPowerFromText(txtWinPowerExponent->text()))
        return failEdit(txtWinPowerExponent);
    return true;
}

void OptionsDialog::save()
{
    namespace CF = CommonFunc;
    // Fields left absent keep what the store has.
    CF::StoredOptions o;
    o.patFolder = txtPatFolder->text();
    for (int n = 1; n <= 18; ++n)
        o.horseNoColor[size_t(n)] = btnColor[size_t(n - 1)]->colour();
    o.detectVal = qint16(cmbPopularDiff->currentIndex() + 1);
    o.priceModel = qint16(cmbPriceModel->currentIndex());
    o.winProbability = qint16(cmbWinProbability->currentIndex());
    o.pairPayoutRate = CF::PayoutRateFromText(txtPairPayoutRate->text());
    o.discountLambda2 = CF::LambdaFromText(txtDiscountLambda2->text());
    o.discountLambda3 = CF::LambdaFromText(txtDiscountLambda3->text());
    o.winPowerExponent = CF::WinPowerFromText(txtWinPowerExponent->text());
    o.showPlacePrice = chkShowPlacePrice->isChecked();
    o.csvEncoding = CF::TextEncoding(cmbCsvEncoding->currentIndex());
    o.showExpectedValue = chkShowExpectedValue->isChecked();

    for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
        const BetType type = kind.type;
        const JudgeBlock &b = block(type);
        CF::StoredOptions::Judge &j = o.judge(type);
        for (size_t i = 0; i < 5; ++i) {
            // Validation has made sure both convert.
            j.detectMin[i] = CF::IntegerFromText(b.cmbDetectMin[i]->currentText()).value_or(0);
            j.detectMax[i] = CF::IntegerFromText(b.cmbDetectMax[i]->currentText()).value_or(0);
            j.dispChar[i] = b.cmbDispChar[i]->currentText();
        }
        for (qint16 i = 0; i < 3; ++i) {
            if (b.optDispSign[size_t(i)]->isChecked())
                j.dispSign = i;
        }
        j.plusColor = b.btnDispColor[0]->colour();
        j.minusColor = b.btnDispColor[1]->colour();
        j.isIdealLimit = b.chkDispOption[0]->isChecked();
        j.isRealLimit = b.chkDispOption[1]->isChecked();
        j.isTanRatioLimit = b.chkDispOption[2]->isChecked();
        j.isFukuRatioLimit = b.chkDispOption[3]->isChecked();
        // An unticked limit is not validated; one that is no number keeps
        // the value stored before.
        j.idealLimit = CF::RealFromText(b.cmbDispLimit[0]->currentText());
        j.realLimit = CF::RealFromText(b.cmbDispLimit[1]->currentText());
        j.tanRatioLimit = CF::RealFromText(b.cmbDispLimit[2]->currentText());
        j.fukuRatioLimit = CF::RealFromText(b.cmbDispLimit[3]->currentText());
    }
    CF::SaveOptions(o);
}

void OptionsDialog::btnOk_Click()
{
    if (!validateOptions())
        return;
    save();
    Gui::warnIfOptionsNotSaved();
    accept();
}

// ---- Colours and folders ----------------------------------------------------

void OptionsDialog::pickColour(ColourButton *button)
{
    if (!m_colourPicker)
        return;
    const QColor initial = button->shownColour();
    const std::optional<QColor> chosen = m_colourPicker(this, QStringLiteral(u"色の設定"), initial);
    // A system colour stays one unless a different colour was chosen.
    if (!chosen || !chosen->isValid() || chosen->rgb() == initial.rgb())
        return;
    button->setColour(Gui::fromQColor(*chosen));
}

void OptionsDialog::drvList_Change(const QString &root)
{
    if (!dirList->setPath(root))
        drvList->setDriveOf(dirList->path());
}

// ---- Closing ----------------------------------------------------------------

void OptionsDialog::done(int result)
{
    if (!isMinimized()) {
        namespace CF = CommonFunc;
        CF::Settings::Placement(CF::Section::optionWindow(), QStringLiteral("Left"))
            .set(float(Twips::fromPixelsX(x(), this)));
        CF::Settings::Placement(CF::Section::optionWindow(), QStringLiteral("Top"))
            .set(float(Twips::fromPixelsY(y(), this)));
        Gui::warnOnceIfSettingsNotSaved();
    }
    QDialog::done(result);
}
