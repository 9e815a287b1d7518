// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/race_sheet.h"
#include "common/ui/twips.h"
#include "race/race_follower.h"
#include "race/race_history.h"

#include <QList>
#include <QMainWindow>

#include <array>
#include <functional>
#include <utility>

class BacktestWindow;
class PairGridView;
class PairMatrixWindow;
class ModelFitWindow;
class QAction;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QToolBar;
class SelectFileWindow;

// frmMain: the race on show, its pair grids and lists, the menus and the
// toolbar.  All values come from the core's race sheet.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int SummaryWidth = 2880; // twips
    static constexpr int DetailWidth = 10740;
    static constexpr int FullWidth = 15360;
    static constexpr int Height = 7200; // the client area's, without a window manager's frame

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    RaceSheet &sheet() { return m_sheet; }

    // Loads a win/place odds file as the race on show.
    // A race of a file of JV-Data records with its key; without one, a
    // record file of one race opens that race, one of many lists its races.
    void UpdateFormFromSelection(const QString &sFileName, const QString &raceKey = QString());

    // Menu and toolbar commands.
    void mnuFileOpen();
    void mnuFileList();
    void mnuFileCSV();
    void mnuFileHistory(); // ｵｯｽﾞ推移保存
    void mnuFileAutoReload(bool on);
    void mnuFileAlertSound(bool on);
    void mnuFileExit();
    void mnuToolOption();
    void mnuToolBacktest();
    void mnuToolMatrix();
    void mnuToolModelFit();
    void mnuHelpAbout();
    void toolbarButtonClick(const QString &key);

    // View switches; the index is the element of the control pressed.
    void btnDetailClick(int index);
    void btnSummaryClick(int index);
    void optBetTypeClick(int index);
    void optResultClick(int index);

    // Shows the pair of horses first < second in the grid of its bet type:
    // switches to that grid, makes the pair's row current and scrolls it into
    // view.  False when the grid has no such pair.
    bool selectPair(CommonFunc::BetType type, int first, int second);

    // Dialogs, replaceable so that tests need no real dialog.  Each returns
    // the chosen path, or "" when the user cancels.
    std::function<QString(const QString &folder)> openFileDialog;
    std::function<QString(const QString &suggestedPath)> saveFileDialog;
    std::function<void(QWidget *owner)> runOptionsDialog;
    std::function<void(QWidget *owner)> runAboutDialog;

    // The frame's width in twips, as stored (the client area's where the
    // platform reports no frame).
    double widthTwips() const;
    void setWidthTwips(double twips);

    PairGridView *umarenView() const { return m_umarenView; }
    PairGridView *wideView() const { return m_wideView; }
    // The grid view of each bet kind; the option buttons of optBetType are in the same order.
    PairGridView *viewOf(CommonFunc::BetType type) const
    {
        return std::array {m_umarenView, m_wideView}[CommonFunc::IndexOf(type)];
    }
    QListWidget *kaimeList() const { return m_kaime; }
    QListWidget *resultList() const { return m_result; }
    QAction *action(const QString &key) const;
    QToolBar *toolbar() const { return m_toolbar; }
    SelectFileWindow *selectFileWindow() const { return m_selectFile; }
    BacktestWindow *backtestWindow() const { return m_backtest; }
    PairMatrixWindow *matrixWindow() const { return m_matrix; }
    ModelFitWindow *modelFitWindow() const { return m_modelFit; }
    QPushButton *detailButton(int index) const { return m_btnDetail[std::size_t(index)]; }
    QPushButton *summaryButton(int index) const { return m_btnSummary[std::size_t(index)]; }
    QRadioButton *betTypeOption(int index) const { return m_optBetType[std::size_t(index)]; }
    QRadioButton *resultOption(int index) const { return m_optResult[std::size_t(index)]; }
    QString cellText(const QString &column, int index) const;

    RaceFollower &follower() { return m_follower; }
    const RaceHistory &history() const { return m_history; }
    QString statusText() const;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    using LabelColumn = std::array<QLabel *, CommonFunc::MaxHorses + 1>;

    void buildMenus();
    void buildSheet(QWidget *area);
    void buildRightBand(QWidget *area);
    void restorePlacement();
    QSize outerSize() const;
    void keepOuterSize();
    void fitSheet();
    void reachOnlyShownControls();
    void refresh();
    void layOutPlaceTable(bool withPrice);
    void followRace();
    void placeGridsAfterLoad();
    void raceReloaded(const CommonFunc::RaceData &data, int reload);
    void showChangeColumns();
    void alertNewValue();
    QLabel *cell(QWidget *parent, int left, int top, int width, Qt::Alignment alignment);
    QLabel *heading(QWidget *parent, const QString &text, int left, int top, int width);
    void place(QWidget *widget, int left, int top, int width, int height);
    LabelColumn column(QWidget *parent, const QString &name, int left, int top, int width, Qt::Alignment alignment);

    RaceSheet m_sheet;
    RaceFollower m_follower;
    RaceHistory m_history;
    QString m_lastSaveFolder;

    Twips::Kept m_left;
    Twips::Kept m_top;
    Twips::Kept m_width;
    QSize m_frameExtra {0, 0};
    QWidget *m_area = nullptr;
    QList<std::pair<QWidget *, Qt::FocusPolicy>> m_tabStops; // the sheet's controls, as built

    QToolBar *m_toolbar = nullptr;
    QMap<QString, QAction *> m_actions;

    QLabel *m_lblKaisai = nullptr;
    QLabel *m_lblRaceName = nullptr;
    QLabel *m_lblHorseNum = nullptr;
    QLabel *m_lblRaceTime = nullptr;
    QMap<QString, LabelColumn> m_columns;
    // The place table's columns from the names on, with their headings, and
    // the heading of the range as designed: 複理論 takes room from the others
    // while it is shown.
    static constexpr std::size_t PlaceColumns = 6;
    std::array<QWidget *, PlaceColumns> m_placeBoxes {};
    std::array<QLabel *, PlaceColumns> m_placeHeadings {};
    QLabel *m_placeRange = nullptr;
    bool m_placePriceShown = true;

    std::array<QPushButton *, 2> m_btnDetail {};
    std::array<QPushButton *, 2> m_btnSummary {};
    std::array<QRadioButton *, 2> m_optBetType {};
    std::array<QRadioButton *, 2> m_optResult {};
    PairGridView *m_umarenView = nullptr;
    PairGridView *m_wideView = nullptr;
    QListWidget *m_kaime = nullptr;
    QListWidget *m_result = nullptr;

    SelectFileWindow *m_selectFile = nullptr;
    BacktestWindow *m_backtest = nullptr;
    PairMatrixWindow *m_matrix = nullptr;
    ModelFitWindow *m_modelFit = nullptr;
};
