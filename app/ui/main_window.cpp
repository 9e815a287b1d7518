// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/main_window.h"

#include "about/ui/about_dialog.h"
#include "analysis/race_analysis.h"
#include "app/sheet_cells.h"
#include "app/sheet_view.h"
#include "app/ui/toolbar_icons.h"
#include "backtest/ui/backtest_window.h"
#include "backtest/ui/model_fit_window.h"
#include "common/messages.h"
#include "common/text_util.h"
#include "common/ui/gui_support.h"
#include "common/ui/twips.h"
#include "export/csv_export.h"
#include "export/csv_file.h"
#include "export/save_guard.h"
#include "grids/pair_matrix.h"
#include "grids/ui/pair_grid_view.h"
#include "grids/ui/pair_matrix_window.h"
#include "patdata/jv_records.h"
#include "patdata/pat_files.h"
#include "patdata/ui/select_file_window.h"
#include "race/race_loader.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"
#include "settings/ui/options_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

using namespace CommonFunc;

namespace {

// The layout's tops are given from the top of the window's client area, in
// which the toolbar takes the first band.
constexpr int kToolbarBand = 420;
constexpr int kRowHeight = 240;
constexpr int kRankTop = 2100;
constexpr int kFrameTop = 6660;

// Left, Top and Width place the window's frame; Height is the client area's,
// menu bar to status bar, with no window manager's title bar or border in it
// (without a window manager the two are the same).  The design's frame
// takes 60 twips a side and, above the client area, a caption and a menu
// bar of 285 each.  The sheet shows what that client area would hold,
// whatever frame the platform draws, so that nothing beyond a view's edge
// peeks in.
constexpr int kDesignFrameWidth = 120;
constexpr int kDesignFrameHeight = 690;

// The toolbar's buttons by key, with the command each runs (none for Excel)
// and the picture: the style's, or one the program draws where the style has
// none that fits.
struct ToolbarButton {
    const char *key;
    const char16_t *tip;
    QStyle::StandardPixmap icon;
    QIcon (*drawn)();
    void (MainWindow::*command)();
};
const ToolbarButton kToolbarButtons[] = {
    {"Open", u"PATﾃﾞｰﾀを開く", QStyle::SP_DialogOpenButton, nullptr, &MainWindow::mnuFileOpen},
    {"List", u"PATﾃﾞｰﾀ一覧", QStyle::SP_FileDialogDetailedView, nullptr, &MainWindow::mnuFileList},
    {"Save", u"CSV保存", QStyle::SP_DialogSaveButton, nullptr, &MainWindow::mnuFileCSV},
    {"Excel", u"Excel に貼付", QStyle::SP_FileDialogListView, nullptr, nullptr},
    {"Option", u"ｵﾌﾟｼｮﾝ設定", QStyle::SP_CustomBase, &ToolbarIcons::options, &MainWindow::mnuToolOption},
    {"Matrix", u"ﾏﾄﾘｸｽ", QStyle::SP_CustomBase, &ToolbarIcons::matrix, &MainWindow::mnuToolMatrix},
    {"About", u"ﾊﾞｰｼﾞｮﾝ情報", QStyle::SP_MessageBoxInformation, nullptr, &MainWindow::mnuHelpAbout},
    {"Follow", u"自動更新", QStyle::SP_BrowserReload, nullptr, nullptr},
};

// The place table from its names on, as designed (item 0) and with 複理論
// (item 1): the numbers' columns then narrow, 平均 least, since "882.90" must
// fit, and the names give up a little, so that the table still ends where
// the pair grids begin.  Neighbouring cells share their 15-twip frame line.
struct PlaceColumn {
    const char *cells;
    const char16_t *head;
    std::array<int, 2> left;
    std::array<int, 2> width;
    bool withPriceOnly;     // the column
    bool headWithPriceOnly; // its own heading; as designed 複ｵｯｽﾞMin～Max 平均 spans three
};
constexpr PlaceColumn kPlaceColumns[] = {
    {"lblFukuHorseName", u"複勝人気順　馬名", {6420, 6420}, {1515, 1365}, false, false},
    {"lblFukuPopOddsMin", u"Min", {7920, 7770}, {675, 555}, false, true},
    {"lblFukuPopOddsMax", u"Max", {8580, 8310}, {675, 555}, false, true},
    {"lblFukuPopOdds", u"平均", {9240, 8850}, {675, 645}, false, true},
    {"lblFukuPopRatio", u"支持率", {9900, 9480}, {675, 555}, false, false},
    {"lblFukuPopPrice", u"複理論", {10560, 10020}, {675, 555}, true, true},
};

// Qt greys a disabled icon, which leaves a black and white one looking
// enabled: the disabled form is faded as well.
QIcon withFadedDisabled(const QIcon &icon, const QSize &size)
{
    QIcon result;
    for (const QSize &s : {size, size * 2}) {
        const QPixmap normal = icon.pixmap(s);
        QPixmap faded(normal.size());
        faded.fill(Qt::transparent);
        QPainter painter(&faded);
        painter.setOpacity(0.35);
        painter.drawPixmap(0, 0, icon.pixmap(s, QIcon::Disabled));
        painter.end();
        result.addPixmap(normal, QIcon::Normal);
        result.addPixmap(faded, QIcon::Disabled);
    }
    return result;
}

// A name starts this far in from its cell's frame, as Qt indents it at the
// designed font.
constexpr int kCellIndent = 3;

// A horse name wider than its cell is drawn condensed rather than cut:
// nine double-byte characters need about nine tenths of their width.
void fitNameToCell(QLabel *label)
{
    label->setIndent(kCellIndent);
    QFont font = label->font();
    font.setStretch(100);
    // The names come padded with blanks, which need not show.
    QStringView name = label->text();
    while (!name.isEmpty() && name.back().isSpace())
        name.chop(1);
    const int room = label->contentsRect().width() - kCellIndent;
    const int natural = QFontMetrics(font).horizontalAdvance(name.toString());
    if (natural > room) {
        for (int stretch = 100 * room / natural; stretch > 50; --stretch) {
            font.setStretch(stretch);
            if (QFontMetrics(font).horizontalAdvance(name.toString()) <= room)
                break;
        }
    }
    if (font != label->font())
        label->setFont(font);
}

// A list's lines, replaced only when they changed.
void setLines(QListWidget *list, const QStringList &lines)
{
    bool same = list->count() == lines.size();
    for (int k = 0; same && k < list->count(); ++k)
        same = list->item(k)->text() == lines[k];
    if (same)
        return;
    list->clear();
    list->addItems(lines);
}

QString qtFilter(const QString &filter)
{
    // "text (pattern)|pattern" -> "text (pattern)"
    return filter.section(u'|', 0, 0);
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(Messages::programTitle());
    setWindowIcon(AboutDialog::programIcon());
    m_lastSaveFolder = QDir::currentPath();

    openFileDialog = [this](const QString &folder) {
        // The PAT terminal's files first, the default; record files by any name.
        return QFileDialog::getOpenFileName(this, QStringLiteral(u"開く"), folder,
                                            qtFilter(GetOddsFileFilter()) + QStringLiteral(";;")
                                                + qtFilter(GetRecordFileFilter()));
    };
    saveFileDialog = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral(u"名前を付けて保存"), suggested,
                                            QStringLiteral(u"CSV(カンマ区切り) (*.csv)"));
    };
    runOptionsDialog = [](QWidget *owner) {
        OptionsDialog dialog(owner);
        dialog.exec();
    };
    runAboutDialog = [](QWidget *owner) {
        AboutDialog dialog(owner);
        dialog.exec();
    };

    buildMenus();
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *area = new QWidget(central);
    area->setObjectName(QStringLiteral("clientArea"));
    area->setFont(QFont(QStringLiteral(u"ＭＳ Ｐゴシック"), 9));
    m_area = area;
    buildSheet(area);
    buildRightBand(area);

    connect(&m_sheet, &RaceSheet::changed, this, &MainWindow::refresh);
    connect(&m_follower, &RaceFollower::reloaded, this, &MainWindow::raceReloaded);
    connect(&m_follower, &RaceFollower::reloadFailed, this, [this](const QString &reason) {
        statusBar()->showMessage(QStringLiteral(u"ｵｯｽﾞ更新失敗 ") + QTime::currentTime().toString(u"HH:mm:ss") + u' '
                                 + reason);
    });
    connect(&m_follower, &RaceFollower::followingStopped, this, [this](const QString &reason) {
        statusBar()->showMessage(QStringLiteral(u"ｵｯｽﾞ更新停止 ") + QTime::currentTime().toString(u"HH:mm:ss") + u' '
                                 + reason);
    });
    connect(&m_follower, &RaceFollower::filesMissing, this, [this] {
        statusBar()->showMessage(QStringLiteral(u"ﾌｧｲﾙが見つかりません ") + QTime::currentTime().toString(u"HH:mm:ss"));
    });
    // The status bar takes the band below the lists, inside the designed
    // height: the window keeps its size and stored placement.
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setFont(area->font());
    restorePlacement();
    fitSheet();
    ClearRaceSheet(m_sheet);
}

MainWindow::~MainWindow() = default;

// ---- Building ---------------------------------------------------------------

void MainWindow::buildMenus()
{
    const auto add = [this](QMenu *menu, const QString &key, const QString &text, void (MainWindow::*slot)()) {
        QAction *action = menu->addAction(text);
        m_actions.insert(key, action);
        if (slot)
            connect(action, &QAction::triggered, this, slot);
        return action;
    };

    QMenu *file = menuBar()->addMenu(QStringLiteral(u"ﾌｧｲﾙ(&F)"));
    add(file, QStringLiteral("mnuFileOpen"), QStringLiteral(u"PATﾃﾞｰﾀを開く(&O)..."), &MainWindow::mnuFileOpen);
    add(file, QStringLiteral("mnuFileList"), QStringLiteral(u"PATﾃﾞｰﾀ一覧(&L)..."), &MainWindow::mnuFileList);
    add(file, QStringLiteral("mnuFileCSV"), QStringLiteral(u"CSV保存(&S)..."), &MainWindow::mnuFileCSV);
    add(file, QStringLiteral("mnuFileHistory"), QStringLiteral(u"ｵｯｽﾞ推移保存(&H)..."), &MainWindow::mnuFileHistory);
    file->addSeparator();
    QAction *follow = add(file, QStringLiteral("mnuFileAutoReload"), QStringLiteral(u"自動更新(&A)"), nullptr);
    follow->setCheckable(true);
    follow->setChecked(Settings::AutoReload().get());
    connect(follow, &QAction::toggled, this, &MainWindow::mnuFileAutoReload);
    QAction *sound = add(file, QStringLiteral("mnuFileAlertSound"), QStringLiteral(u"通知音(&B)"), nullptr);
    sound->setCheckable(true);
    sound->setChecked(Settings::AlertSound().get());
    connect(sound, &QAction::toggled, this, &MainWindow::mnuFileAlertSound);
    file->addSeparator();
    add(file, QStringLiteral("mnuFileExit"), QStringLiteral(u"終了(&X)"), &MainWindow::mnuFileExit);

    // The Excel entry carries no command: it is shown disabled.
    QMenu *tool = menuBar()->addMenu(QStringLiteral(u"ﾂｰﾙ(&T)"));
    add(tool, QStringLiteral("mnuToolExcel"), QStringLiteral(u"Excel に貼付(&E)..."), nullptr)->setEnabled(false);
    QAction *bar = tool->addSeparator();
    bar->setEnabled(false);
    add(tool, QStringLiteral("mnuToolOption"), QStringLiteral(u"ｵﾌﾟｼｮﾝ(&O)..."), &MainWindow::mnuToolOption);
    add(tool, QStringLiteral("mnuToolBacktest"), QStringLiteral(u"回収率検証(&B)..."), &MainWindow::mnuToolBacktest);
    add(tool, QStringLiteral("mnuToolMatrix"), QStringLiteral(u"ﾏﾄﾘｸｽ(&M)..."), &MainWindow::mnuToolMatrix);
    add(tool, QStringLiteral("mnuToolModelFit"), QStringLiteral(u"理論値ﾓﾃﾞﾙ推定(&F)..."),
        &MainWindow::mnuToolModelFit);

    QMenu *help = menuBar()->addMenu(QStringLiteral(u"ﾍﾙﾌﾟ(&H)"));
    add(help, QStringLiteral("mnuHelpAbout"), QStringLiteral(u"ﾊﾞｰｼﾞｮﾝ情報(&A).."), &MainWindow::mnuHelpAbout);

    m_toolbar = addToolBar(QStringLiteral("Toolbar1"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    // Small icons, as designed: all eight buttons fit the narrow view.
    const QSize iconSize(16, 16);
    m_toolbar->setIconSize(iconSize);
    for (const ToolbarButton &b : kToolbarButtons) {
        const QString key = QString::fromLatin1(b.key);
        const QIcon icon = b.drawn ? b.drawn() : style()->standardIcon(b.icon);
        QAction *action = m_toolbar->addAction(withFadedDisabled(icon, iconSize), QString::fromUtf16(b.tip));
        action->setToolTip(QString::fromUtf16(b.tip));
        action->setData(key);
        action->setObjectName(QStringLiteral("Toolbar1_") + key);
        if (key == u"Excel")
            action->setEnabled(false);
        // Buttons hug their icons, so that all eight fit the narrow view.
        if (QWidget *button = m_toolbar->widgetForAction(action))
            button->setMaximumWidth(iconSize.width() + 2);
        if (key == u"Follow") {
            // A switch, kept in step with the ﾌｧｲﾙ menu's entry.
            action->setCheckable(true);
            action->setChecked(m_actions.value(QStringLiteral("mnuFileAutoReload"))->isChecked());
            connect(action, &QAction::toggled, this, &MainWindow::mnuFileAutoReload);
            continue;
        }
        connect(action, &QAction::triggered, this, [this, key] { toolbarButtonClick(key); });
        if (key == u"Save" || key == u"Excel")
            m_toolbar->addSeparator();
    }
}

void MainWindow::place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(Twips::toPixelsX(left, this), Twips::toPixelsY(top, this), Twips::toPixelsX(width, this),
                        Twips::toPixelsY(height, this));
}

QLabel *MainWindow::cell(QWidget *parent, int left, int top, int width, Qt::Alignment alignment)
{
    auto *label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setAutoFillBackground(true);
    label->setFont(QFont(QStringLiteral(u"ＭＳ ゴシック"), 9));
    label->setTextFormat(Qt::PlainText);
    place(label, left, top, width, kRowHeight);
    return label;
}

QLabel *MainWindow::heading(QWidget *parent, const QString &text, int left, int top, int width)
{
    auto *label = new QLabel(text, parent);
    label->setFont(QFont(QStringLiteral(u"ＭＳ Ｐゴシック"), 9));
    label->setAlignment(Qt::AlignCenter);
    place(label, left, top, width, kRowHeight);
    return label;
}

MainWindow::LabelColumn MainWindow::column(QWidget *parent, const QString &name, int left, int top, int width,
                                           Qt::Alignment alignment)
{
    // The column's cells in a box of their own, at exactly the places they
    // would have in the parent: painting one cell then weighs it against its
    // column, not against every cell of the sheet.
    auto *box = new QWidget(parent);
    box->setObjectName(name);
    LabelColumn labels {};
    QRect cells;
    for (int k = 1; k <= MaxHorses; ++k) {
        QLabel *label = cell(box, left, top + kRowHeight * (k - 1), width, alignment);
        label->setObjectName(name + u'_' + QString::number(k));
        labels[std::size_t(k)] = label;
        cells |= label->geometry();
    }
    box->setGeometry(cells);
    for (QLabel *label : labels) {
        if (label)
            label->move(label->pos() - cells.topLeft());
    }
    m_columns.insert(name, labels);
    return labels;
}

void MainWindow::buildSheet(QWidget *area)
{
    const int shift = -kToolbarBand;
    heading(area, QStringLiteral(u"開催"), 60, 480 + shift, 480);
    heading(area, QStringLiteral(u"ﾚｰｽ"), 60, 720 + shift, 480);
    heading(area, QStringLiteral(u"頭数"), 60, 960 + shift, 480);
    heading(area, QStringLiteral(u"発走時刻"), 2940, 480 + shift, 840);
    m_lblKaisai = cell(area, 540, 480 + shift, 2340, Qt::AlignLeft);
    m_lblRaceName = cell(area, 540, 720 + shift, 3960, Qt::AlignLeft);
    m_lblHorseNum = cell(area, 540, 960 + shift, 480, Qt::AlignRight);
    m_lblRaceTime = cell(area, 3780, 480 + shift, 720, Qt::AlignCenter);
    for (QLabel *label : {m_lblKaisai, m_lblRaceName, m_lblHorseNum, m_lblRaceTime})
        label->setFrameStyle(QFrame::NoFrame);

    const auto texts = [](const char16_t *text) { return QString::fromUtf16(text); };
    const Qt::Alignment right = Qt::AlignRight;
    const Qt::Alignment left = Qt::AlignLeft;
    const Qt::Alignment centre = Qt::AlignHCenter;

    struct Column {
        RaceSheet::Column RaceSheet::*cells;
        int left;
        int width;
        const char16_t *head;
        Qt::Alignment alignment;
    };
    const Column byRank[] = {
        {&RaceSheet::lblPopular, 420, 480, u"人気", right},
        {&RaceSheet::lblAutoJudge, 900, 495, u"判定", centre},
        {&RaceSheet::lblTanHorseNo, 1380, 675, u"単馬番", right},
        {&RaceSheet::lblFukuHorseNo, 2040, 675, u"複馬番", right},
        {&RaceSheet::lblTanHorseName, 2820, 1515, u"単勝人気順　馬名", left},
        {&RaceSheet::lblTanPopOdds, 4320, 675, u"単ｵｯｽﾞ", right},
        {&RaceSheet::lblTanPopRatio, 4980, 675, u"支持率", right},
        {&RaceSheet::lblTanFukuRatio, 5640, 675, u"単：複", right},
    };
    const int headTop = kRankTop - kRowHeight + shift;
    for (const Column &c : byRank) {
        column(area, SheetCells::nameOf(c.cells), c.left, kRankTop + shift, c.width, c.alignment);
        if (c.head)
            heading(area, texts(c.head), c.left, headTop, c.width);
    }
    for (std::size_t i = 0; i < std::size(kPlaceColumns); ++i) {
        const PlaceColumn &c = kPlaceColumns[i];
        const LabelColumn labels = column(area, QLatin1StringView(c.cells), c.left[0], kRankTop + shift, c.width[0],
                                          i == 0 ? left : right);
        m_placeBoxes[i] = labels[1]->parentWidget();
        m_placeHeadings[i] = heading(area, texts(c.head), c.left[0], headTop, c.width[0]);
    }
    m_placeRange = heading(area, texts(u"複ｵｯｽﾞMin～Max    平均"), 7920, headTop, 1995);
    layOutPlaceTable(false);

    // The by-horse block lies below the window's opening height: the working
    // store of the raw and derived values, seen when the window is enlarged.
    auto *frame = new QGroupBox(texts(u"元データ"), area);
    frame->setObjectName(QStringLiteral("frameSource"));
    place(frame, 120, kFrameTop + shift, 7920, 720 + MaxHorses * kRowHeight + 120);
    const Column byHorse[] = {
        {&RaceSheet::lblHorseName, 240, 1755, u"馬名", left},
        {&RaceSheet::lblTanOdds, 2040, 735, u"単ｵｯｽﾞ", right},
        {&RaceSheet::lblTanPopular, 2820, 495, u"人気", right},
        {&RaceSheet::lblTanRatio, 3360, 675, u"支持率", right},
        {&RaceSheet::lblFukuOddsMin, 4260, 675, nullptr, right},
        {&RaceSheet::lblFukuOddsMax, 4980, 735, nullptr, right},
        {&RaceSheet::lblFukuOdds, 5760, 735, nullptr, right},
        {&RaceSheet::lblFukuPopular, 6540, 495, u"人気", right},
        {&RaceSheet::lblFukuRatio, 7080, 675, u"支持率", right},
    };
    for (const Column &c : byHorse) {
        column(frame, SheetCells::nameOf(c.cells), c.left, 720, c.width, c.alignment);
        if (c.head)
            heading(frame, texts(c.head), c.left, 480, c.width);
    }
    heading(frame, texts(u"複ｵｯｽﾞMin～Max    平均"), 4260, 480, 2235);

    const auto button = [this, area](const char16_t *text, int leftTwips, int width) {
        auto *b = new QPushButton(QString::fromUtf16(text), area);
        place(b, leftTwips, 1260 - kToolbarBand, width, 375);
        return b;
    };
    m_btnDetail[0] = button(u"詳細情報 >>", 1500, 1215);
    m_btnSummary[0] = button(u"<< 概要", 2820, 1215);
    m_btnDetail[1] = button(u"さらにドン！>>", 9180, 1395);
    m_btnSummary[1] = button(u"<< 戻る", 10740, 1215);
    for (int i = 0; i < 2; ++i) {
        connect(m_btnDetail[std::size_t(i)], &QPushButton::clicked, this, [this, i] { btnDetailClick(i); });
        connect(m_btnSummary[std::size_t(i)], &QPushButton::clicked, this, [this, i] { btnSummaryClick(i); });
    }
}

void MainWindow::buildRightBand(QWidget *area)
{
    const int shift = -kToolbarBand;
    auto *betFrame = new QGroupBox(QStringLiteral(u"表示オッズ"), area);
    place(betFrame, 12120, 960 + shift, 2235, 735);
    m_optBetType[0] = new QRadioButton(QStringLiteral(u"馬連"), betFrame);
    m_optBetType[1] = new QRadioButton(QStringLiteral(u"ﾜｲﾄﾞ"), betFrame);
    place(m_optBetType[0], 240, 240, 795, 315);
    place(m_optBetType[1], 1200, 240, 795, 315);
    m_optBetType[0]->setChecked(true);

    // The list choice shows a hidden list.  Both lists fit side by side and
    // start shown, so it could never change what is on screen: the frame is
    // kept, with its rule, but not shown.
    auto *resultFrame = new QGroupBox(area);
    resultFrame->hide();
    place(resultFrame, 10620, 450 + shift, 3375, 495);
    m_optResult[0] = new QRadioButton(QStringLiteral(u"買い目表示"), resultFrame);
    m_optResult[1] = new QRadioButton(QStringLiteral(u"競争結果表示"), resultFrame);
    place(m_optResult[0], 240, 120, 1335, 255);
    place(m_optResult[1], 1620, 120, 1455, 255);
    m_optResult[0]->setChecked(true);
    for (int i = 0; i < 2; ++i) {
        connect(m_optBetType[std::size_t(i)], &QRadioButton::clicked, this, [this, i] { optBetTypeClick(i); });
        connect(m_optResult[std::size_t(i)], &QRadioButton::clicked, this, [this, i] { optResultClick(i); });
    }

    m_umarenView = new PairGridView(m_sheet.grdUmaRen, area);
    m_umarenView->setObjectName(QStringLiteral("grdUmaRen"));
    m_wideView = new PairGridView(m_sheet.grdWide, area);
    m_wideView->setObjectName(QStringLiteral("grdWide"));
    place(m_umarenView, 10620, 1740 + shift, 4620, 2835);
    place(m_wideView, 10620, 1740 + shift, 4620, 2835);
    m_wideView->hide();

    const QFont listFont(QStringLiteral(u"ＭＳ ゴシック"), 9);
    heading(area, QStringLiteral(u"推奨買い目"), 10740, 4860 + shift, 1755)
        ->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    heading(area, QStringLiteral(u"競争結果"), 12960, 4860 + shift, 975)
        ->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_kaime = new QListWidget(area);
    m_kaime->setObjectName(QStringLiteral("lstKaime"));
    m_kaime->setFont(listFont);
    place(m_kaime, 10680, 5160 + shift, 2175, 1320);
    m_result = new QListWidget(area);
    m_result->setObjectName(QStringLiteral("lstRaceResult"));
    m_result->setFont(listFont);
    place(m_result, 12900, 5160 + shift, 2295, 1320);
}

// ---- Placement ----------------------------------------------------------------

double MainWindow::widthTwips() const { return Twips::fromPixelsX(frameGeometry().width(), this); }

void MainWindow::setWidthTwips(double twips)
{
    const int outer = Twips::toPixelsX(twips, this);
    resize(outer - m_frameExtra.width(), height());
    m_width = {twips, outer};
}

QSize MainWindow::outerSize() const { return size() + m_frameExtra; }

void MainWindow::restorePlacement()
{
    const float left = Settings::Placement(Section::mainWindow(), QStringLiteral("Left"), 1000).get();
    const float top = Settings::Placement(Section::mainWindow(), QStringLiteral("Top"), 1000).get();
    move(Twips::toPixelsX(left, this), Twips::toPixelsY(top, this));
    m_left = {left, x()};
    m_top = {top, y()};
    float width = Settings::Placement(Section::mainWindow(), QStringLiteral("Width"), SummaryWidth).get();
    if (!(width > 0.0f))
        width = SummaryWidth;
    // The height is never remembered.
    resize(Twips::toPixelsX(width, this), Twips::toPixelsY(Height, this));
    m_width = {width, Twips::toPixelsX(width, this)};
}

void MainWindow::keepOuterSize()
{
    // The platform reports the frame only once it has drawn one: the client
    // area gives way in width, so that the frame keeps the stored width.  The
    // height is the client area's, so that a title bar hides none of the sheet.
    const QSize extra = frameGeometry().size() - size();
    if (extra == m_frameExtra)
        return;
    const int outerWidth = outerSize().width();
    m_frameExtra = extra;
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        resize(outerWidth - extra.width(), height());
    fitSheet();
}

void MainWindow::fitSheet()
{
    m_area->setGeometry(0, 0, outerSize().width() - Twips::toPixelsX(kDesignFrameWidth, this),
                        height() - Twips::toPixelsY(kDesignFrameHeight + kToolbarBand, this));
    reachOnlyShownControls();
}

// Tab goes only to the controls the view shows whole: one cut off by the
// window's edge takes no focus until the window is wide enough for it.
void MainWindow::reachOnlyShownControls()
{
    if (m_tabStops.isEmpty()) {
        for (QWidget *widget : m_area->findChildren<QWidget *>()) {
            if (widget->focusPolicy() & Qt::TabFocus)
                m_tabStops.append({widget, widget->focusPolicy()});
        }
    }
    const QRect shown = m_area->rect();
    for (const auto &[widget, policy] : std::as_const(m_tabStops)) {
        const QRect place(widget->mapTo(m_area, QPoint(0, 0)), widget->size());
        const Qt::FocusPolicy wanted = shown.contains(place) ? policy : Qt::NoFocus;
        if (widget->focusPolicy() != wanted)
            widget->setFocusPolicy(wanted);
    }
}

bool MainWindow::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::WindowStateChange:
        keepOuterSize();
        if (event->type() == QEvent::Resize)
            fitSheet();
        break;
    default:
        break;
    }
    return handled;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The other windows go first, so that they store their placement.
    if (m_selectFile) {
        m_selectFile->close();
        delete m_selectFile;
        m_selectFile = nullptr;
    }
    if (m_backtest) {
        m_backtest->close(); // stops a run
        delete m_backtest;
        m_backtest = nullptr;
    }
    if (m_matrix) {
        m_matrix->close();
        delete m_matrix;
        m_matrix = nullptr;
    }
    if (!isMinimized()) {
        const QRect frame = frameGeometry();
        Settings::Placement(Section::mainWindow(), QStringLiteral("Left"))
            .set(float(m_left.storedFor(frame.x(), Twips::fromPixelsX(frame.x(), this))));
        Settings::Placement(Section::mainWindow(), QStringLiteral("Top"))
            .set(float(m_top.storedFor(frame.y(), Twips::fromPixelsY(frame.y(), this))));
        Settings::Placement(Section::mainWindow(), QStringLiteral("Width"))
            .set(float(m_width.storedFor(frame.width(), widthTwips())));
        Gui::warnOnceIfSettingsNotSaved();
    }
    event->accept();
}

// ---- Commands -----------------------------------------------------------------

void MainWindow::UpdateFormFromSelection(const QString &sFileName, const QString &raceKey)
{
    QString key = raceKey;
    if (key.isEmpty() && !IsPatFileName(QFileInfo(sFileName).fileName()) && IsJvRecordFile(sFileName)) {
        const std::shared_ptr<const JvRecordIndex> index = JvRecordIndexOf(sFileName);
        if (!index || index->races.size() != 1) {
            mnuFileList();
            m_selectFile->openRecordFile(sFileName);
            return;
        }
        key = index->races.front().keyText();
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool loaded = LoadRace(m_sheet, sFileName, key);
    QApplication::restoreOverrideCursor();
    if (!loaded)
        return; // the race on show, if any, goes on being followed
    placeGridsAfterLoad();
    // A race opened by hand starts afresh: no sort to repeat, a new baseline.
    m_umarenView->forgetSort();
    m_wideView->forgetSort();
    m_umarenView->hideExtraColumn();
    m_wideView->hideExtraColumn();
    m_history.clear();
    m_history.add(m_sheet, QDateTime::currentDateTime());
    statusBar()->clearMessage();
    followRace();
}

// A load leaves each grid at its first row, its current cell where the fill
// and the hit marking leave it.
void MainWindow::placeGridsAfterLoad()
{
    for (const BetKind &kind : kBetKinds) {
        GridState &state = viewOf(kind.type)->state();
        state.setTopRow(1);
        const GridCell cell = LoadedCurrentCell(m_sheet, kind.type);
        state.setCurrentCell(cell.row, cell.column);
    }
}

void MainWindow::followRace()
{
    // A race of a record file is history: nothing rewrites it.
    if (m_actions.value(QStringLiteral("mnuFileAutoReload"))->isChecked() && m_sheet.analysis
        && !m_sheet.sRaceFile.isEmpty() && m_sheet.analysis->raceKey.isEmpty())
        m_follower.follow(m_sheet.sRaceFile, RaceFollower::FilesRead(*m_sheet.analysis));
    else
        m_follower.stop();
}

void MainWindow::raceReloaded(const RaceData &data, int reload)
{
    RefreshSettings();
    const RaceOptions options = ReadRaceOptions();
    const int umarenTop = m_umarenView->state().topRow();
    const int wideTop = m_wideView->state().topRow();
    PutRaceOnSheet(m_sheet, data, options);
    placeGridsAfterLoad();
    m_umarenView->reapplySort();
    m_wideView->reapplySort();
    m_umarenView->state().setTopRow(umarenTop);
    m_wideView->state().setTopRow(wideTop);
    m_history.add(m_sheet, QDateTime::currentDateTime());
    showChangeColumns();
    statusBar()->showMessage(QStringLiteral(u"ｵｯｽﾞ更新 ") + QTime::currentTime().toString(u"HH:mm:ss")
                             + QStringLiteral(u" （%1回目）").arg(reload));
    alertNewValue();
}

void MainWindow::showChangeColumns()
{
    for (const BetKind &kind : kBetKinds) {
        const BetType type = kind.type;
        PairGridView *view = viewOf(type);
        const TextGrid *grid = &view->grid();
        const std::shared_ptr<const RaceAnalysis> race = m_sheet.analysis;
        // The pair a row shows, by its key: the user may have sorted the grid.
        const auto pairAt = [race, grid, type](int row) -> const PairAnalysis * {
            const int key = grid->rowKey(row);
            return race && key >= 0 && key < race->pairsOf(type).size() ? &race->pairsOf(type)[key] : nullptr;
        };
        const auto text = [this, pairAt, type](int row) {
            const PairAnalysis *pair = pairAt(row);
            const std::optional<double> change = pair ? m_history.deviationChange(type, pair->first, pair->second)
                                                      : std::nullopt;
            return change ? DeviationChangeText(*change) : QString();
        };
        const auto bold = [this, pairAt, type](int row) {
            const PairAnalysis *pair = pairAt(row);
            return pair && m_history.markChanged(type, pair->first, pair->second);
        };
        view->showExtraColumn(QStringLiteral(u"変化"), text, bold);
    }
}

// New value is told without a box: the status bar, a beep, and wherever the
// program's focus is (the task bar, or the window in front).
void MainWindow::alertNewValue()
{
    const QString news = m_history.newsText();
    if (news.isEmpty())
        return;
    statusBar()->showMessage(statusBar()->currentMessage() + QStringLiteral(u"  新着 ") + news);
    Gui::alertWhereFocused(this, QStringLiteral(u"新着 ") + news);
    if (m_actions.value(QStringLiteral("mnuFileAlertSound"))->isChecked())
        QApplication::beep();
}

QString MainWindow::statusText() const { return statusBar()->currentMessage(); }

void MainWindow::mnuFileAutoReload(bool on)
{
    for (QAction *action : {m_actions.value(QStringLiteral("mnuFileAutoReload")), action(QStringLiteral("Follow"))}) {
        if (action && action->isChecked() != on)
            action->setChecked(on);
    }
    if (Settings::AutoReload().get() != on) {
        Settings::AutoReload().set(on);
        Gui::warnOnceIfSettingsNotSaved();
    }
    // Turned off and on again, the race on show is followed on from where it
    // was, and what changed meanwhile is read at once.
    if (!on)
        m_follower.pause();
    else if (m_follower.isPaused())
        m_follower.resume();
    else if (!m_follower.isFollowing())
        followRace();
}

void MainWindow::mnuFileAlertSound(bool on)
{
    if (Settings::AlertSound().get() != on) {
        Settings::AlertSound().set(on);
        Gui::warnOnceIfSettingsNotSaved();
    }
}

void MainWindow::mnuFileHistory()
{
    if (m_history.size() == 0)
        return;
    const QString base = QFileInfo(m_sheet.sRaceFile).completeBaseName();
    const QString path = saveFileDialog(QDir(m_lastSaveFolder).filePath(base + QStringLiteral(u"_推移.csv")));
    if (path.isEmpty())
        return;
    m_lastSaveFolder = QFileInfo(path).absolutePath();
    // As the race CSV is saved, and never under a race file's name.
    QString error = RaceFileNameRefusal(path);
    QString warning;
    const QStringList untouchable = QFileInfo::exists(path) ? RaceFilesOf(m_sheet, path) : QStringList();
    if (error.isEmpty() && m_history.csv().save(path, &error, untouchable, &warning)) {
        if (!warning.isEmpty())
            Messages::notice(warning);
        return;
    }
    Messages::notice(error);
    Messages::error(Messages::saveFailedText());
}

void MainWindow::mnuFileOpen()
{
    const QString path = openFileDialog(GetPatFolder());
    if (path.isEmpty())
        return;
    UpdateFormFromSelection(path);
}

void MainWindow::mnuFileList()
{
    if (!m_selectFile) {
        m_selectFile = new SelectFileWindow([this](const QString &path,
                                                   const QString &raceKey) { UpdateFormFromSelection(path, raceKey); },
                                            this);
    }
    m_selectFile->open();
}

void MainWindow::mnuFileCSV()
{
    QString name = SuggestedCsvName(m_sheet);
    if (name.isEmpty())
        name = QStringLiteral("minukuru.csv");
    const QString path = saveFileDialog(QDir(m_lastSaveFolder).filePath(name));
    if (path.isEmpty())
        return;
    m_lastSaveFolder = QFileInfo(path).absolutePath();
    if (!WriteCsvFile(m_sheet, path))
        Messages::error(Messages::saveFailedText());
}

void MainWindow::mnuFileExit() { close(); }

void MainWindow::mnuToolOption()
{
    runOptionsDialog(this);
    ColorHorseNumbers(m_sheet, ReadRaceOptions());
    m_sheet.notifyChanged();
}

void MainWindow::mnuToolBacktest()
{
    if (!m_backtest) {
        m_backtest = new BacktestWindow(
            [this](const QString &path, const QString &raceKey) {
                UpdateFormFromSelection(path, raceKey);
                // The race comes to the front over the report it was picked from.
                raise();
                activateWindow();
            },
            this);
    }
    m_backtest->open();
}

void MainWindow::mnuToolModelFit()
{
    if (!m_modelFit)
        m_modelFit = new ModelFitWindow(this);
    m_modelFit->open();
}

void MainWindow::mnuToolMatrix()
{
    if (!m_matrix) {
        m_matrix = new PairMatrixWindow(
            m_sheet, [this](BetType type, int first, int second) { selectPair(type, first, second); }, this);
    }
    m_matrix->open();
}

void MainWindow::mnuHelpAbout() { runAboutDialog(this); }

void MainWindow::toolbarButtonClick(const QString &key)
{
    for (const ToolbarButton &b : kToolbarButtons) {
        if (key == QLatin1StringView(b.key) && b.command)
            (this->*b.command)();
    }
}

QAction *MainWindow::action(const QString &key) const
{
    if (QAction *menu = m_actions.value(key))
        return menu;
    return findChild<QAction *>(QStringLiteral("Toolbar1_") + key);
}

// ---- View switching ---------------------------------------------------------

void MainWindow::btnDetailClick(int index)
{
    if (index == 0) {
        if (widthTwips() < DetailWidth - 0.5)
            setWidthTwips(DetailWidth);
    } else {
        setWidthTwips(FullWidth);
    }
}

void MainWindow::btnSummaryClick(int index) { setWidthTwips(index == 1 ? DetailWidth : SummaryWidth); }

void MainWindow::optBetTypeClick(int index)
{
    PairGridView *chosen = index == 1 ? m_wideView : m_umarenView;
    PairGridView *other = index == 1 ? m_umarenView : m_wideView;
    m_optBetType[std::size_t(index)]->setChecked(true);
    if (!chosen->isHidden())
        return;
    chosen->state().setTopRow(other->state().topRow());
    chosen->show();
    other->hide();
}

bool MainWindow::selectPair(BetType type, int first, int second)
{
    const int row = FindPairRow(m_sheet, type, first, second);
    if (row == 0)
        return false;
    optBetTypeClick(int(IndexOf(type)));
    PairGridView *view = viewOf(type);
    view->state().setCurrentCell(row, PairLabel);
    view->scrollTo(view->currentIndex());
    return true;
}

void MainWindow::optResultClick(int index)
{
    QListWidget *chosen = index == 1 ? m_result : m_kaime;
    QListWidget *other = index == 1 ? m_kaime : m_result;
    m_optResult[std::size_t(index)]->setChecked(true);
    if (!chosen->isHidden())
        return;
    chosen->show();
    other->hide();
}

// ---- Showing the sheet ------------------------------------------------------------

QString MainWindow::cellText(const QString &name, int index) const
{
    if (name == u"lblKaisai")
        return m_lblKaisai->text();
    if (name == u"lblRaceName")
        return m_lblRaceName->text();
    if (name == u"lblHorseNum")
        return m_lblHorseNum->text();
    if (name == u"lblRaceTime")
        return m_lblRaceTime->text();
    const auto it = m_columns.find(name);
    if (it == m_columns.end() || index < 1 || index > MaxHorses)
        return QString();
    return (*it)[std::size_t(index)]->text();
}

void MainWindow::layOutPlaceTable(bool withPrice)
{
    static_assert(std::size(kPlaceColumns) == PlaceColumns);
    if (withPrice == m_placePriceShown)
        return;
    m_placePriceShown = withPrice;
    const std::size_t layout = withPrice ? 1 : 0;
    QFont headFont = m_placeRange->font();
    if (withPrice)
        headFont.setStretch(88); // the narrowed heads, 支持率 and 複理論 side by side, keep a gap
    for (std::size_t i = 0; i < std::size(kPlaceColumns); ++i) {
        const PlaceColumn &c = kPlaceColumns[i];
        const int left = Twips::toPixelsX(c.left[layout], this);
        const int width = Twips::toPixelsX(c.width[layout], this);
        QWidget *box = m_placeBoxes[i];
        box->setGeometry(left, box->y(), width, box->height());
        for (QLabel *label : box->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
            label->setGeometry(0, label->y(), width, label->height());
            if (i == 0)
                fitNameToCell(label);
        }
        box->setVisible(withPrice || !c.withPriceOnly);
        QLabel *head = m_placeHeadings[i];
        head->setGeometry(left, head->y(), width, head->height());
        head->setFont(headFont);
        head->setVisible(withPrice || !c.headWithPriceOnly);
    }
    m_placeRange->setVisible(!withPrice);
}

void MainWindow::refresh()
{
    layOutPlaceTable(m_sheet.analysis && m_sheet.analysis->options.showPlacePrice);
    const RaceSheet &s = m_sheet;
    m_lblKaisai->setText(s.lblKaisai);
    m_lblRaceName->setText(s.lblRaceName);
    m_lblHorseNum->setText(s.lblHorseNum);
    m_lblRaceTime->setText(s.lblRaceTime);

    // Only what changed: a reload changes few cells, and each change of a
    // label's text or colours lays it out and paints it again.
    QSet<QLabel *> renamed;
    for (const SheetCells::Column &column : SheetCells::kColumns) {
        const LabelColumn &labels = m_columns[QLatin1StringView(column.name)];
        for (int k = 1; k <= MaxHorses; ++k) {
            QLabel *label = labels[std::size_t(k)];
            const QString &text = (s.*column.member)[k];
            if (label->text() != text) {
                label->setText(text);
                renamed.insert(label);
            }
        }
    }

    const QPalette base = QApplication::palette();
    const auto paint = [&base](QLabel *label, const RaceSheet::CellColours &colours) {
        const QColor back = Gui::toQColor(colours.back, base);
        const QColor text = Gui::toQColor(colours.text, base);
        QPalette palette = label->palette();
        if (palette.color(QPalette::Window) == back && palette.color(QPalette::WindowText) == text)
            return;
        palette.setColor(QPalette::Window, back);
        palette.setColor(QPalette::WindowText, text);
        label->setPalette(palette);
    };
    for (const char *name : {"lblHorseName", "lblTanHorseName", "lblFukuHorseName"}) {
        for (QLabel *label : m_columns[QLatin1StringView(name)]) {
            if (label && renamed.contains(label))
                fitNameToCell(label);
        }
    }
    for (int k = 1; k <= MaxHorses; ++k) {
        const auto i = std::size_t(k);
        paint(m_columns[QStringLiteral("lblTanHorseNo")][i], s.tanHorseColours[k]);
        paint(m_columns[QStringLiteral("lblTanHorseName")][i], s.tanHorseColours[k]);
        paint(m_columns[QStringLiteral("lblFukuHorseNo")][i], s.fukuHorseColours[k]);
        paint(m_columns[QStringLiteral("lblFukuHorseName")][i], s.fukuHorseColours[k]);
    }

    setLines(m_kaime, s.lstKaime);
    setLines(m_result, s.lstRaceResult);
}
