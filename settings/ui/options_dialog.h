// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "settings/settings_store.h"

#include <QColor>
#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class ColourButton;
class DriveList;
class FolderList;

// The options dialog: shows every option of the settings store, writes them
// all back on OK and nothing on cancel, and remembers its position.  The
// caller runs exec(); whoever needs the new options reads the store again.
class OptionsDialog final : public QDialog {
    Q_OBJECT

public:
    // The platform's colour picker: the initial colour in, the chosen colour
    // out, nullopt when the user cancelled.
    using ColourPicker =
        std::function<std::optional<QColor>(QWidget *parent, const QString &title, const QColor &initial)>;

    explicit OptionsDialog(QWidget *parent = nullptr);

    // Replaces the colour picker (tests answer it without a real dialog).
    void setColourPicker(ColourPicker picker);
    static std::optional<QColor> runColourDialog(QWidget *parent, const QString &title, const QColor &initial);

    void done(int result) override;

    // The judgement block of one bet type; item i of each array is item i of
    // the control group.
    struct JudgeBlock {
        QGroupBox *frame = nullptr;
        std::array<QComboBox *, 5> cmbDetectMin {};
        std::array<QComboBox *, 5> cmbDetectMax {};
        std::array<QComboBox *, 5> cmbDispChar {};
        std::array<QRadioButton *, 3> optDispSign {};
        std::array<ColourButton *, 2> btnDispColor {}; // 0: plus, 1: minus
        std::array<QCheckBox *, 4> chkDispOption {};   // ideal, real, win support, place support
        std::array<QComboBox *, 4> cmbDispLimit {};
    };

    // The block of each bet kind.
    JudgeBlock &block(CommonFunc::BetType type)
    {
        return *std::array {&blockUma, &blockWide}[CommonFunc::IndexOf(type)];
    }

    // The controls, public so that the tests can drive them.
    QLineEdit *txtPatFolder = nullptr;
    DriveList *drvList = nullptr;
    FolderList *dirList = nullptr;
    std::array<ColourButton *, 18> btnColor {}; // item n - 1 for horse n
    QComboBox *cmbPopularDiff = nullptr;
    JudgeBlock blockUma;
    JudgeBlock blockWide;
    QComboBox *cmbPriceModel = nullptr;     // 標準, Harville, 割引Harville
    QComboBox *cmbWinProbability = nullptr; // 正規化, べき乗, Shin
    QLineEdit *txtPairPayoutRate = nullptr;
    QLineEdit *txtDiscountLambda2 = nullptr;
    QLineEdit *txtDiscountLambda3 = nullptr;
    QLineEdit *txtWinPowerExponent = nullptr;
    QCheckBox *chkShowPlacePrice = nullptr; // 複理論
    QCheckBox *chkShowExpectedValue = nullptr;
    QComboBox *cmbCsvEncoding = nullptr; // Shift-JIS, UTF-8 (BOM付き); item i is TextEncoding(i)
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void buildControls();
    void buildModelFrame();
    void buildEncodingFrame();
    void buildJudgeBlock(JudgeBlock &b, CommonFunc::BetType type, int left, int top);
    void load();
    bool validateOptions();
    void save();
    void btnOk_Click();
    void pickColour(ColourButton *button);
    void drvList_Change(const QString &root);

    ColourPicker m_colourPicker;
};
