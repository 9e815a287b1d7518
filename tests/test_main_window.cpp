// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/race_analysis.h"
#include "app/ui/main_window.h"

#include "analysis/race_analysis.h"
#include "backtest/ui/backtest_window.h"
#include "common/text_convert.h"
#include "common/text_grid.h"
#include "common/ui/gui_support.h"
#include "common/ui/twips.h"
#include "grids/ui/pair_grid_view.h"
#include "patdata/jv_records.h"
#include "patdata/ui/select_file_window.h"
#include "settings/settings_store.h"
#include "support/backtest_races.h"
#include "support/message_recorder.h"
#include "support/race_files.h"
#include "tools/racegen/jv_writer.h"
#include "tools/racegen/pat_writer.h"
#include "tools/racegen/race_generator.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using namespace CommonFunc;

namespace {

QString u16(const char16_t *text) { return QString::fromUtf16(text); }

// An 18-horse race with pair odds near what the win odds imply.
RaceFiles bigRace()
{
    RaceFiles race;
    for (int k = 1; k <= 18; ++k) {
        const double tan = 1.5 + k * 1.7;
        race.horses.append({QString::number(tan, 'f', 1), QString::number(1.0 + k * 0.3, 'f', 1),
                            QString::number(1.5 + k * 0.5, 'f', 1), QStringLiteral("Horse") + QString::number(k)});
    }
    for (int i = 1; i <= 18; ++i)
        for (int j = i + 1; j <= 18; ++j)
            race.pairs.append({QString::number(i * j * 1.3 + 3, 'f', 1), QString::number(i + j * 0.4, 'f', 1),
                               QString::number(i + j * 0.6 + 1, 'f', 1)});
    return race;
}

QStringList columnTexts(const TextGrid &grid, int column)
{
    QStringList texts;
    for (int r = 1; r < grid.rows(); ++r)
        texts.append(grid.cell(r, column));
    return texts;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_racePath;

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void menusAndToolbar();
    void firstStartPlacement();
    void placementRoundTrip();
    void unmovedPlacementStoredExactly();
    void minimisedCloseStoresNothing();
    void openCommand();
    void openFailureKeepsTheRace();
    void opensRecordFiles();
    void saveCommand();
    void saveFailure();
    void viewWidths();
    void gridSwitchKeepsTopRow();
    void pairCellsShowWhole();
    void listSwitch();
    void headSortByMouseButton_data();
    void headSortByMouseButton();
    void pressInDataRowDoesNotSort();
    void headSortShowsFirstRow();
    void keysSortLikeHeadPresses_data();
    void keysSortLikeHeadPresses();
    void tabReachesOnlyShownControls_data();
    void tabReachesOnlyShownControls();
    void defaultPlacementShowsRanksAndLists();
    void placePriceColumn();
    void coloursReappliedAfterOptions();
    void settingsFileWarning();
    void failedSettingsSaveWarnsOnce();
    void backtestOpensItsRaces();
    void qtDialogsSpeakJapanese();
};

void TestMainWindow::initTestCase()
{
    // The fonts the program starts with.
    Gui::registerFontSubstitutes();
    QDir().mkpath(m_dir.filePath(QStringLiteral("pat")));
    m_racePath = bigRace().write(m_dir.filePath(QStringLiteral("pat")));
}

void TestMainWindow::init()
{
    const QString ini = m_dir.filePath(QStringLiteral("settings.ini"));
    QFile::remove(ini);
    SetSettingsFile(ini);
    SetPatFolder(m_dir.filePath(QStringLiteral("pat")));
}

void TestMainWindow::menusAndToolbar()
{
    MainWindow window;
    QCOMPARE(window.windowTitle(), u16(u"ミヌクル君super"));
    const QList<QAction *> menus = window.menuBar()->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), u16(u"ﾌｧｲﾙ(&F)"));
    QCOMPARE(menus[1]->text(), u16(u"ﾂｰﾙ(&T)"));
    QCOMPARE(menus[2]->text(), u16(u"ﾍﾙﾌﾟ(&H)"));
    QStringList file;
    for (QAction *a : menus[0]->menu()->actions())
        file.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(file,
             QStringList({u16(u"PATﾃﾞｰﾀを開く(&O)..."), u16(u"PATﾃﾞｰﾀ一覧(&L)..."), u16(u"CSV保存(&S)..."),
                          u16(u"ｵｯｽﾞ推移保存(&H)..."), QStringLiteral("-"), u16(u"自動更新(&A)"), u16(u"通知音(&B)"),
                          QStringLiteral("-"), u16(u"終了(&X)")}));
    const QList<QAction *> tool = menus[1]->menu()->actions();
    QCOMPARE(tool.size(), 6);
    QVERIFY(!tool[0]->isEnabled());
    QVERIFY(tool[1]->isSeparator());
    QCOMPARE(tool[2]->text(), u16(u"ｵﾌﾟｼｮﾝ(&O)..."));
    QCOMPARE(tool[3]->text(), u16(u"回収率検証(&B)..."));
    QCOMPARE(tool[4]->text(), u16(u"ﾏﾄﾘｸｽ(&M)..."));
    QCOMPARE(tool[5]->text(), u16(u"理論値ﾓﾃﾞﾙ推定(&F)..."));
    QCOMPARE(menus[2]->menu()->actions().first()->text(), u16(u"ﾊﾞｰｼﾞｮﾝ情報(&A).."));

    QStringList keys;
    QStringList tips;
    for (QAction *a : window.toolbar()->actions()) {
        if (a->isSeparator())
            continue;
        keys.append(a->data().toString());
        tips.append(a->toolTip());
    }
    QCOMPARE(keys,
             QStringList({QStringLiteral("Open"), QStringLiteral("List"), QStringLiteral("Save"),
                          QStringLiteral("Excel"), QStringLiteral("Option"), QStringLiteral("Matrix"),
                          QStringLiteral("About"), QStringLiteral("Follow")}));
    QCOMPARE(tips[3], u16(u"Excel に貼付"));
    QCOMPARE(tips[4], u16(u"ｵﾌﾟｼｮﾝ設定"));
    QVERIFY(!window.action(QStringLiteral("Excel"))->isEnabled());

    // Each key runs its menu command; an unknown key does nothing.
    int opened = 0;
    int options = 0;
    int about = 0;
    window.openFileDialog = [&](const QString &) {
        ++opened;
        return QString();
    };
    window.runOptionsDialog = [&](QWidget *) { ++options; };
    window.runAboutDialog = [&](QWidget *) { ++about; };
    window.action(QStringLiteral("Open"))->trigger();
    window.action(QStringLiteral("Option"))->trigger();
    window.action(QStringLiteral("About"))->trigger();
    window.toolbarButtonClick(QStringLiteral("Excel"));
    window.toolbarButtonClick(QStringLiteral("Nothing"));
    QCOMPARE(opened, 1);
    QCOMPARE(options, 1);
    QCOMPARE(about, 1);
}

void TestMainWindow::firstStartPlacement()
{
    MainWindow window;
    QCOMPARE(window.pos(), QPoint(Twips::toPixelsX(1000), Twips::toPixelsY(1000)));
    QCOMPARE(window.width(), Twips::toPixelsX(2880));
    QCOMPARE(window.height(), Twips::toPixelsY(7200));
    QVERIFY(window.sheet().sRaceFile.isEmpty());
    QCOMPARE(window.cellText(QStringLiteral("lblPopular"), 18), QStringLiteral("18"));
    QCOMPARE(window.cellText(QStringLiteral("lblTanOdds"), 1), QString());
}

void TestMainWindow::placementRoundTrip()
{
    const auto stored = [](const char *key) {
        return ReadSettingText(Section::mainWindow(), QString::fromLatin1(key)).value_or(QString());
    };
    {
        // The user moves and resizes the frame.
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize frame = window.frameGeometry().size() - window.size();
        window.move(Twips::toPixelsX(3000), Twips::toPixelsY(2000));
        window.resize(Twips::toPixelsX(15360) - frame.width(), Twips::toPixelsY(9000));
        window.close();
    }
    QCOMPARE(TextToInteger(stored("Width")), qint16(std::lround(Twips::fromPixelsX(Twips::toPixelsX(15360)))));
    QCOMPARE(TextToInteger(stored("Left")), qint16(std::lround(Twips::fromPixelsX(Twips::toPixelsX(3000)))));
    MainWindow again;
    QCOMPARE(again.width(), Twips::toPixelsX(15360));
    QCOMPARE(again.height(), Twips::toPixelsY(7200)); // the height is never remembered
}

void TestMainWindow::unmovedPlacementStoredExactly()
{
    // None of these is a whole number of pixels at 96 dpi.
    Settings::Placement(Section::mainWindow(), QStringLiteral("Left")).set(1000);
    Settings::Placement(Section::mainWindow(), QStringLiteral("Top")).set(2017);
    Settings::Placement(Section::mainWindow(), QStringLiteral("Width")).set(2885);
    const auto stored = [](const char *key) {
        return ReadSettingText(Section::mainWindow(), QString::fromLatin1(key)).value_or(QString());
    };
    for (int run = 0; run < 2; ++run) {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.close();
        QCOMPARE(stored("Left"), QStringLiteral("1000"));
        QCOMPARE(stored("Top"), QStringLiteral("2017"));
        QCOMPARE(stored("Width"), QStringLiteral("2885"));
    }
    {
        // A view button sets the width exactly too; a move is stored as moved.
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.detailButton(0)->click();
        window.move(window.pos() + QPoint(3, 0));
        window.close();
    }
    QCOMPARE(stored("Width"), QStringLiteral("10740"));
    QCOMPARE(stored("Left"), QString::number(Twips::fromPixelsX(Twips::toPixelsX(1000) + 3)));
    QCOMPARE(stored("Top"), QStringLiteral("2017"));
}

void TestMainWindow::minimisedCloseStoresNothing()
{
    Settings::Placement(Section::mainWindow(), QStringLiteral("Width")).set(10740);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(Twips::toPixelsX(2880), window.height());
    window.setWindowState(Qt::WindowMinimized);
    window.close();
    QCOMPARE(ReadSettingText(Section::mainWindow(), QStringLiteral("Width")),
             std::optional<QString>(QStringLiteral("10740")));
}

void TestMainWindow::openCommand()
{
    MainWindow window;
    QString startFolder;
    window.openFileDialog = [&](const QString &folder) {
        startFolder = folder;
        return m_racePath;
    };
    window.mnuFileOpen();
    QCOMPARE(startFolder, GetPatFolder());
    QCOMPARE(window.sheet().sRaceFile, m_racePath);
    QCOMPARE(window.cellText(QStringLiteral("lblHorseNum"), 0), QStringLiteral("18"));
    QCOMPARE(window.cellText(QStringLiteral("lblTanHorseNo"), 1), QStringLiteral("1"));
    QCOMPARE(window.sheet().grdUmaRen.rows(), 154);
    QCOMPARE(window.umarenView()->model()->rowCount(), 153);

    // Cancelling keeps the race on show.
    window.openFileDialog = [](const QString &) { return QString(); };
    window.mnuFileOpen();
    QCOMPARE(window.sheet().sRaceFile, m_racePath);
}

void TestMainWindow::openFailureKeepsTheRace()
{
    MainWindow window;
    window.UpdateFormFromSelection(m_racePath);
    MessageRecorder recorder;
    window.openFileDialog = [this](const QString &) { return m_dir.filePath(QStringLiteral("Zo-none.jra")); };
    window.mnuFileOpen();
    QCOMPARE(recorder.texts(), QStringList(u16(u"ファイルの読み込みに失敗しました。")));
    QCOMPARE(recorder.messages.first().title, u16(u"えらー"));
    QCOMPARE(window.sheet().sRaceFile, m_racePath);
}

// A record file of one race opens it, unfollowed; one of many lists its
// races, and a pick opens the race by its key.
void TestMainWindow::opensRecordFiles()
{
    RaceGen::MeetingOptions meeting;
    meeting.racesPerCourse = 1;
    const QList<RaceGen::GeneratedRace> races = RaceGen::GenerateMeeting(meeting);
    const QString one = m_dir.filePath(QStringLiteral("one.txt"));
    const QString many = m_dir.filePath(QStringLiteral("many.txt"));
    QVERIFY(RaceGen::WriteBytes(one, RaceGen::JvRecordsOf(races[0])));
    QVERIFY(RaceGen::WriteBytes(many, RaceGen::JvRecordsOf(races[0]) + RaceGen::JvRecordsOf(races[1])));
    const QString key = JvRecordIndexOf(one)->keys().first();

    MainWindow window;
    MessageRecorder recorder;
    window.openFileDialog = [&](const QString &) { return one; };
    window.mnuFileOpen();
    QCOMPARE(window.sheet().sRaceFile, one);
    QCOMPARE(window.sheet().analysis->raceKey, key);
    QCOMPARE(window.cellText(QStringLiteral("lblHorseNum"), 0), QString::number(races[0].horseCount));
    QVERIFY(!window.follower().isFollowing());

    window.openFileDialog = [&](const QString &) { return many; };
    window.mnuFileOpen();
    QCOMPARE(window.sheet().sRaceFile, one); // nothing opened yet
    QVERIFY(window.selectFileWindow() && window.selectFileWindow()->isVisible());
    QCOMPARE(window.selectFileWindow()->grid().rows(), 3);
    const QString second = window.selectFileWindow()->grid().cell(2, 7);
    window.UpdateFormFromSelection(many, second);
    QCOMPARE(window.sheet().sRaceFile, many);
    QCOMPARE(window.sheet().analysis->raceKey, second);
    QVERIFY(recorder.messages.isEmpty());
}

void TestMainWindow::saveCommand()
{
    MainWindow window;
    window.UpdateFormFromSelection(m_racePath);
    QString offered;
    const QString target = m_dir.filePath(QStringLiteral("out/saved.csv"));
    QDir().mkpath(m_dir.filePath(QStringLiteral("out")));
    window.saveFileDialog = [&](const QString &suggested) {
        offered = suggested;
        return target;
    };
    window.mnuFileCSV();
    QVERIFY(offered.endsWith(QStringLiteral("/Zo-0101A.csv")));
    QVERIFY(QFile::exists(target));
    // The next save starts in the folder of the last one.
    window.mnuFileCSV();
    QCOMPARE(offered, m_dir.filePath(QStringLiteral("out/Zo-0101A.csv")));

    // Cancelling writes nothing.
    QFile::remove(target);
    window.saveFileDialog = [](const QString &) { return QString(); };
    window.mnuFileCSV();
    QVERIFY(!QFile::exists(target));
}

void TestMainWindow::saveFailure()
{
    MainWindow window;
    window.UpdateFormFromSelection(m_racePath);
    MessageRecorder recorder;
    window.saveFileDialog = [this](const QString &) { return m_dir.path(); }; // a folder
    window.mnuFileCSV();
    QVERIFY(recorder.texts().size() >= 2);
    QCOMPARE(recorder.texts().last(), u16(u"ファイルの保存に失敗しました。"));
    QCOMPARE(recorder.messages.last().kind, Messages::Kind::Error);
}

void TestMainWindow::viewWidths()
{
    MainWindow window;
    const auto twips = [&] { return std::lround(window.widthTwips() / 10.0) * 10; };
    window.detailButton(0)->click();
    QCOMPARE(twips(), 10740);
    window.detailButton(1)->click();
    QCOMPARE(twips(), 15360);
    window.detailButton(0)->click(); // already wider: nothing changes
    QCOMPARE(twips(), 15360);
    window.summaryButton(1)->click();
    QCOMPARE(twips(), 10740);
    window.summaryButton(0)->click();
    QCOMPARE(twips(), 2880);
}

void TestMainWindow::gridSwitchKeepsTopRow()
{
    MainWindow window;
    window.setWidthTwips(MainWindow::FullWidth);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The row the user sees at the top, whatever the model says.
    const auto shownTop = [](PairGridView *view) { return view->rowAt(0) + 1; };
    const auto scrollTo = [](PairGridView *view, int row) { view->verticalScrollBar()->setValue(row - 1); };

    // Every load resets both grids, and the hidden one has never been laid
    // out since: the first switch after each load is the one that matters.
    for (int load = 0; load < 2; ++load) {
        window.betTypeOption(0)->click();
        window.UpdateFormFromSelection(m_racePath);
        QCoreApplication::processEvents();
        QVERIFY(!window.umarenView()->isHidden());
        QVERIFY(window.wideView()->isHidden());
        scrollTo(window.umarenView(), 40);
        QCOMPARE(window.umarenView()->state().topRow(), 40);
        window.betTypeOption(1)->click();
        QVERIFY(!window.wideView()->isHidden());
        QVERIFY(window.umarenView()->isHidden());
        QCOMPARE(window.wideView()->state().topRow(), 40);
        QCOMPARE(shownTop(window.wideView()), 40);

        // Choosing it again changes nothing.
        window.umarenView()->state().setTopRow(10);
        window.optBetTypeClick(1);
        QCOMPARE(shownTop(window.wideView()), 40);

        scrollTo(window.wideView(), 25);
        window.betTypeOption(0)->click();
        QVERIFY(!window.umarenView()->isHidden());
        QCOMPARE(window.umarenView()->state().topRow(), 25);
        QCOMPARE(shownTop(window.umarenView()), 25);
    }
}

void TestMainWindow::pairCellsShowWhole()
{
    MainWindow window;
    window.setWidthTwips(MainWindow::FullWidth);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // 小倉 11R: umaren prices up to 374625.0, deviations down to -3646.3.
    window.UpdateFormFromSelection(QStringLiteral(MINUKURU_SAMPLE_DIR "/Zo-03151011.jra"));
    QVERIFY(window.cellText(QStringLiteral("lblKaisai"), 0).startsWith(u16(u"小倉")));
    QVERIFY(window.sheet().grdUmaRen.rows() > 100);
    for (int index = 0; index < 2; ++index) {
        window.optBetTypeClick(index);
        PairGridView *view = index == 0 ? window.umarenView() : window.wideView();
        const TextGrid &grid = view->grid();
        for (int r = 1; r < grid.rows(); ++r) {
            for (int c = 0; c < grid.columns(); ++c)
                QCOMPARE(view->shownText(r, c), grid.cell(r, c));
        }
        // All eight columns within the view, and the view within the sheet.
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
        QVERIFY(view->geometry().right() < view->parentWidget()->width());
    }

    // The widest values that occur fit too.
    TextGrid &grid = window.sheet().grdWide;
    const QStringList widest = {QStringLiteral("18-18"),   QStringLiteral("374625.0"), QStringLiteral("99999.9"),
                                QStringLiteral("-9999.9"), QStringLiteral("0.750"),    u16(u"◎"),
                                QStringLiteral("153"),     QStringLiteral("-99")};
    for (int c = 0; c < 8; ++c) {
        grid.setCell(1, c, widest[c]);
        QCOMPARE(window.wideView()->shownText(1, c), widest[c]);
    }
    // A value wider still keeps its sign and leading digits.
    grid.setCell(1, 3, QStringLiteral("-374525.0"));
    const QString cut = window.wideView()->shownText(1, 3);
    QVERIFY2(cut.startsWith(QStringLiteral("-37")) && cut.endsWith(u'…'), qPrintable(cut));
}

void TestMainWindow::listSwitch()
{
    // Both lists start shown, and a choice only acts when its list is
    // hidden: the two lists stay side by side, and the choice is not shown.
    MainWindow window;
    QVERIFY(!window.resultOption(0)->isVisibleTo(&window));
    QVERIFY(!window.kaimeList()->isHidden());
    QVERIFY(!window.resultList()->isHidden());
    window.resultOption(1)->click();
    QVERIFY(window.resultOption(1)->isChecked());
    QVERIFY(!window.resultList()->isHidden());
    QVERIFY(!window.kaimeList()->isHidden());
    window.resultOption(0)->click();
    QVERIFY(!window.kaimeList()->isHidden());
    QVERIFY(!window.resultList()->isHidden());
}

void TestMainWindow::headSortByMouseButton_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("ascending");
    QTest::newRow("left on price") << int(Qt::LeftButton) << 2 << true;
    QTest::newRow("right on price") << int(Qt::RightButton) << 2 << false;
    QTest::newRow("middle on price") << int(Qt::MiddleButton) << 2 << false;
    QTest::newRow("left on label") << int(Qt::LeftButton) << 0 << true;
}

void TestMainWindow::headSortByMouseButton()
{
    QFETCH(int, button);
    QFETCH(int, column);
    QFETCH(bool, ascending);
    MainWindow window;
    window.resize(Twips::toPixelsX(15360), window.height());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.UpdateFormFromSelection(m_racePath);
    PairGridView *view = window.umarenView();
    QHeaderView *header = view->horizontalHeader();
    if (column == 0) // start from another order, then restore pair order
        window.sheet().grdUmaRen.sortByHeadClick(2, Qt::RightButton);
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::MouseButton(button), Qt::NoModifier, at);
    QTest::mouseRelease(header->viewport(), Qt::MouseButton(button), Qt::NoModifier, at);

    const QStringList texts = columnTexts(window.sheet().grdUmaRen, column);
    for (qsizetype r = 1; r < texts.size(); ++r) {
        if (column == 0) {
            QVERIFY(texts[r - 1] < texts[r]);
        } else {
            const double a = texts[r - 1].toDouble();
            const double b = texts[r].toDouble();
            QVERIFY2(ascending ? a <= b : a >= b, qPrintable(texts[r - 1] + u' ' + texts[r]));
        }
    }
    // The other grid keeps pair order.
    QCOMPARE(window.sheet().grdWide.cell(1, 0), QStringLiteral(" 1- 2"));
}

void TestMainWindow::headSortShowsFirstRow()
{
    MainWindow window;
    window.setWidthTwips(MainWindow::FullWidth);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.UpdateFormFromSelection(m_racePath);
    PairGridView *view = window.umarenView();
    view->state().setTopRow(40);
    QCOMPARE(view->rowAt(0), 39);
    QHeaderView *header = view->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(2) + header->sectionSize(2) / 2, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(view->state().topRow(), 1);
    QCOMPARE(view->rowAt(0), 0);
    QCOMPARE(view->verticalScrollBar()->value(), 0);
}

void TestMainWindow::keysSortLikeHeadPresses_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("column");
    QTest::newRow("Ctrl+Up, actual price") << int(Qt::Key_Up) << int(Qt::ControlModifier) << int(Qt::LeftButton) << 2;
    QTest::newRow("Ctrl+Down, deviation") << int(Qt::Key_Down) << int(Qt::ControlModifier) << int(Qt::RightButton) << 3;
    QTest::newRow("Ctrl+Shift+Down, rank")
        << int(Qt::Key_Down) << int(Qt::ControlModifier | Qt::ShiftModifier) << int(Qt::MiddleButton) << 6;
    QTest::newRow("Ctrl+Down, pair") << int(Qt::Key_Down) << int(Qt::ControlModifier) << int(Qt::RightButton) << 0;
}

void TestMainWindow::keysSortLikeHeadPresses()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, button);
    QFETCH(int, column);
    MainWindow window;
    window.setWidthTwips(MainWindow::FullWidth);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.UpdateFormFromSelection(m_racePath);
    PairGridView *view = window.umarenView();
    TextGrid &grid = window.sheet().grdUmaRen;
    view->state().setTopRow(30);
    view->state().setCurrentCell(30, column);
    QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    const QStringList byKey = columnTexts(grid, column);
    QCOMPARE(view->state().topRow(), 1);
    QCOMPARE(view->state().currentColumn(), column);

    grid.sortByHeadClick(0, Qt::LeftButton);
    grid.sortByHeadClick(column, Qt::MouseButton(button));
    QCOMPARE(byKey, columnTexts(grid, column));
    QVERIFY(byKey != columnTexts(window.sheet().grdWide, column)); // the key sorted something
    // A reload sorts again as the key did.
    view->reapplySort();
    QCOMPARE(columnTexts(grid, column), byKey);
}

void TestMainWindow::tabReachesOnlyShownControls_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("stops"); // the view buttons shown, then 馬連, the grid and the two lists
    QTest::newRow("summary") << int(MainWindow::SummaryWidth) << 1;
    QTest::newRow("detail") << int(MainWindow::DetailWidth) << 3;
    QTest::newRow("full") << int(MainWindow::FullWidth) << 8;
}

void TestMainWindow::tabReachesOnlyShownControls()
{
    QFETCH(int, width);
    QFETCH(int, stops);
    MainWindow window;
    window.setWidthTwips(width);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.UpdateFormFromSelection(m_racePath);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QWidget *area = window.findChild<QWidget *>(QStringLiteral("clientArea"));
    window.detailButton(0)->setFocus();
    QList<QWidget *> visited;
    for (int k = 0; k < 12 && !visited.contains(QApplication::focusWidget()); ++k) {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        visited.append(focus);
        // Never a control the window's edge cuts off.
        const QRect place(focus->mapTo(area, QPoint(0, 0)), focus->size());
        QVERIFY2(area->rect().contains(place),
                 qPrintable(focus->objectName() + u' ' + QLatin1StringView(focus->metaObject()->className())));
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(visited.size(), stops);
    // Tab leaves the grid at once, whatever its current cell.
    if (width == MainWindow::FullWidth) {
        QVERIFY(visited.contains(window.umarenView()));
        window.umarenView()->setFocus();
        QTest::keyClick(window.umarenView(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window.kaimeList());
    }
}

// Rank rows 1 to 18 and both lists within the window's inside, the 元データ
// frame below it.
void TestMainWindow::defaultPlacementShowsRanksAndLists()
{
    Settings::Placement(Section::mainWindow(), QStringLiteral("Width")).set(MainWindow::FullWidth);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.UpdateFormFromSelection(m_racePath);
    QCOMPARE(window.height(), Twips::toPixelsY(MainWindow::Height));
    const QWidget *central = window.centralWidget();
    const QRect inside(QPoint(0, 0), central->size());
    const auto shown = [&](const QWidget *widget) {
        return inside.contains(QRect(widget->mapTo(central, QPoint(0, 0)), widget->size()));
    };
    for (const char *column : {"lblPopular", "lblTanHorseNo", "lblFukuPopRatio"}) {
        for (int k : {1, 18}) {
            const auto *cell = window.findChild<QLabel *>(QString::fromLatin1(column) + u'_' + QString::number(k));
            QVERIFY(cell);
            QVERIFY2(shown(cell), column);
        }
    }
    QVERIFY(shown(window.kaimeList()));
    QVERIFY(shown(window.resultList()));
    const auto *source = window.findChild<QWidget *>(QStringLiteral("frameSource"));
    QVERIFY(source->mapTo(central, QPoint(0, 0)).y() >= central->height() - 2);
}

// With ShowPlacePrice the place table ends in 複理論 and still stops short
// of the pair grid; without it the table is as before.  A race loaded with
// the option keeps its columns until the next load.
void TestMainWindow::placePriceColumn()
{
    Settings::Placement(Section::mainWindow(), QStringLiteral("Width")).set(MainWindow::FullWidth);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto cell = [&window](const char *column, int k) {
        return window.findChild<QLabel *>(QString::fromLatin1(column) + u'_' + QString::number(k));
    };
    const auto at = [&window](const QWidget *widget) {
        return QRect(widget->mapTo(window.centralWidget(), QPoint(0, 0)), widget->size());
    };
    // The rank block's headings, not the 元データ frame's.
    const QWidget *area = cell("lblFukuPopRatio", 1)->parentWidget()->parentWidget();
    const auto headShown = [area](const QString &text) {
        for (const QLabel *label : area->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
            if (label->text() == text && label->isVisible())
                return true;
        }
        return false;
    };
    const QString priceHead = QStringLiteral(u"複理論");
    const QString rangeHead = QStringLiteral(u"複ｵｯｽﾞMin～Max    平均");
    window.UpdateFormFromSelection(m_racePath);
    QVERIFY(!headShown(priceHead) && headShown(rangeHead));
    const QRect ratio = at(cell("lblFukuPopRatio", 1));
    const QRect min = at(cell("lblFukuPopOddsMin", 18));
    QVERIFY(!cell("lblFukuPopPrice", 1)->isVisible());
    QCOMPARE(window.sheet().lblFukuPopPrice[1], QString());

    Settings::ShowPlacePrice().set(true);
    window.UpdateFormFromSelection(m_racePath);
    const QLabel *price = cell("lblFukuPopPrice", 1);
    QVERIFY(price->isVisible());
    QVERIFY(headShown(priceHead) && !headShown(rangeHead) && headShown(QStringLiteral(u"平均")));
    const HorseAnalysis &first = window.sheet().analysis->horses[std::size_t(window.sheet().HorseByFukuRank(1))];
    QVERIFY(first.placeChance);
    QCOMPARE(price->text(), first.placePrice.text());
    QVERIFY(at(price).right() < at(window.umarenView()).left());
    QVERIFY(at(price).left() >= at(cell("lblFukuPopRatio", 1)).right() - 2);
    QVERIFY(at(cell("lblFukuPopOddsMin", 18)).width() < min.width());
    // The numbers' columns follow one another, none cut off by the next.
    const char *numbers[] = {"lblFukuHorseName", "lblFukuPopOddsMin", "lblFukuPopOddsMax",
                             "lblFukuPopOdds",   "lblFukuPopRatio",   "lblFukuPopPrice"};
    for (std::size_t i = 1; i < std::size(numbers); ++i)
        QVERIFY2(std::abs(at(cell(numbers[i], 3)).left() - at(cell(numbers[i - 1], 3)).right()) <= 2, numbers[i]);
    QVERIFY(at(cell("lblFukuPopOdds", 3)).width()
            >= cell("lblFukuPopOdds", 3)->fontMetrics().horizontalAdvance(QStringLiteral("882.90")) + 4);
    QCOMPARE(cell("lblFukuPopOdds", 5)->text(), window.sheet().lblFukuPopOdds[5]);

    Settings::ShowPlacePrice().set(false);
    window.UpdateFormFromSelection(m_racePath);
    QVERIFY(!cell("lblFukuPopPrice", 1)->isVisible());
    QVERIFY(!headShown(priceHead) && headShown(rangeHead));
    QCOMPARE(at(cell("lblFukuPopRatio", 1)), ratio);
}

void TestMainWindow::pressInDataRowDoesNotSort()
{
    MainWindow window;
    window.resize(Twips::toPixelsX(15360), window.height());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.UpdateFormFromSelection(m_racePath);
    PairGridView *view = window.umarenView();
    const QStringList before = columnTexts(window.sheet().grdUmaRen, 0);
    const QRect cell = view->visualRect(view->model()->index(2, 2));
    QTest::mousePress(view->viewport(), Qt::RightButton, Qt::NoModifier, cell.center());
    QTest::mouseRelease(view->viewport(), Qt::RightButton, Qt::NoModifier, cell.center());
    QCOMPARE(columnTexts(window.sheet().grdUmaRen, 0), before);
}

void TestMainWindow::coloursReappliedAfterOptions()
{
    MainWindow window;
    window.UpdateFormFromSelection(m_racePath);
    const QString favourite = window.cellText(QStringLiteral("lblTanHorseNo"), 1);
    window.runOptionsDialog = [&](QWidget *) { Settings::HorseNoColor(favourite.toInt()).set(255); };
    const QString umarenFirst = window.sheet().grdUmaRen.cell(1, 3);
    window.mnuToolOption();
    QCOMPARE(window.sheet().tanHorseColours[1].back, 255);
    auto *label = window.findChild<QLabel *>(QStringLiteral("lblTanHorseNo_1"));
    QVERIFY(label);
    QCOMPARE(label->palette().color(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 255, 255));
    // The grids keep their state until the next load.
    QCOMPARE(window.sheet().grdUmaRen.cell(1, 3), umarenFirst);
}

// A refused settings file is named once in a warning; a usable one is not.
void TestMainWindow::settingsFileWarning()
{
    MessageRecorder recorder;
    Gui::warnAboutSettingsFile();
    QVERIFY(recorder.messages.isEmpty());

    const QString folder = m_dir.filePath(QStringLiteral("folder.ini"));
    QVERIFY(QDir().mkpath(folder));
    SetSettingsFile(folder);
    Gui::warnAboutSettingsFile();
    QCOMPARE(recorder.messages.size(), 1);
    QCOMPARE(recorder.messages[0].kind, Messages::Kind::Warning);
    QCOMPARE(recorder.messages[0].text,
             u16(u"設定ファイル ") + folder
                 + u16(u" は通常のファイルではありません。\n"
                       u"既定の設定で動作し、設定の変更は保存しません。"));
}

// A settings file that cannot be written loses the windows' placement and
// the switches: the first failure of the run says so, later ones do not.
void TestMainWindow::failedSettingsSaveWarnsOnce()
{
    const QString plain = m_dir.filePath(QStringLiteral("plain"));
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString path = plain + QStringLiteral("/settings.ini");
    SetSettingsFile(path);
    MessageRecorder recorder;
    {
        MainWindow window;
        window.show();
        window.action(QStringLiteral("mnuFileList"))->trigger();
        window.close();
    }
    QCOMPARE(recorder.messages.size(), 1);
    QCOMPARE(recorder.messages[0].kind, Messages::Kind::Warning);
    QVERIFY2(recorder.messages[0].text.startsWith(u16(u"設定ファイル ") + path + u16(u" に保存できませんでした。\n")),
             qPrintable(recorder.messages[0].text));
    {
        MainWindow window;
        window.show();
        window.action(QStringLiteral("mnuFileAlertSound"))->trigger();
        QVERIFY(Settings::AlertSound().get()); // for the run
        window.close();
    }
    QCOMPARE(recorder.messages.size(), 1);
    QVERIFY(!QFile::exists(path));
}

// The backtest window comes once from the menu, shows the race of a ledger
// row in the main window, and goes with it.
void TestMainWindow::backtestOpensItsRaces()
{
    const QString folder = m_dir.filePath(QStringLiteral("backtest"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());

    MainWindow window;
    window.show();
    window.action(QStringLiteral("mnuToolBacktest"))->trigger();
    BacktestWindow *backtest = window.backtestWindow();
    QVERIFY(backtest && backtest->isVisible());
    QCOMPARE(QDir(backtest->folder()), QDir(GetPatFolder()));

    backtest->setFolder(folder);
    backtest->start();
    QTRY_VERIFY_WITH_TIMEOUT(!backtest->isRunning(), 30000);
    auto *ledger = backtest->findChild<QTableView *>(QStringLiteral("grdLedger"));
    backtest->findChild<QTabWidget *>()->setCurrentWidget(ledger->parentWidget());
    const QPoint at = ledger->visualRect(ledger->model()->index(0, 0)).center();
    QTest::mouseClick(ledger->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(ledger->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(!window.sheet().sRaceFile.isEmpty());
    QCOMPARE(window.sheet().sRaceFile, backtest->ledger()[0].raceFile);

    window.action(QStringLiteral("mnuToolBacktest"))->trigger();
    QCOMPARE(window.backtestWindow(), backtest);
    window.close();
    QVERIFY(!window.backtestWindow());
}

void TestMainWindow::qtDialogsSpeakJapanese()
{
    QVERIFY(Gui::installQtTranslations());
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), u16(u"はい(&Y)"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), u16(u"アドレス:"));
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
