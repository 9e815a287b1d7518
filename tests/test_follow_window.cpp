// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/main_window.h"
#include "common/text_grid.h"
#include "common/ui/gui_support.h"
#include "common/ui/twips.h"
#include "grids/ui/pair_grid_view.h"
#include "grids/ui/pair_matrix_window.h"
#include "race/race_history.h"
#include "settings/settings_store.h"
#include "support/file_bytes.h"
#include "support/message_recorder.h"
#include "support/race_files.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <unistd.h>

using namespace CommonFunc;

namespace {

// An 18-horse race; `factor` scales the pair odds of the first forty pairs, which
// moves their deviations and marks.
RaceFiles race(double factor = 1.0)
{
    RaceFiles r;
    for (int k = 1; k <= 18; ++k)
        r.horses.append({QString::number(1.5 + k * 1.7, 'f', 1), QString::number(1.0 + k * 0.3, 'f', 1),
                         QString::number(1.5 + k * 0.5, 'f', 1), QStringLiteral("Horse") + QString::number(k)});
    int n = 0;
    for (int i = 1; i <= 18; ++i)
        for (int j = i + 1; j <= 18; ++j) {
            const double scale = n++ < 40 ? factor : 1.0;
            r.pairs.append({QString::number((i * j * 1.3 + 3) * scale, 'f', 1),
                            QString::number((i + j * 0.4) * scale, 'f', 1),
                            QString::number((i + j * 0.6 + 1) * scale, 'f', 1)});
        }
    return r;
}

struct Shown {
    QString deviation;
    QString mark;
    bool operator==(const Shown &) const = default;
};

QMap<QString, Shown> umarenByPair(const TextGrid &grid)
{
    QMap<QString, Shown> pairs;
    for (int r = 1; r < grid.rows(); ++r)
        pairs.insert(grid.cell(r, PairLabel), {grid.cell(r, PairDeviation), grid.cell(r, PairMark).trimmed()});
    return pairs;
}

} // namespace

class TestFollowWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { Gui::registerFontSubstitutes(); }
    void init()
    {
        const QString ini = m_dir.filePath(QStringLiteral("settings.ini"));
        QFile::remove(ini);
        SetSettingsFile(ini);
    }
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void sheetFollowsItsFiles();
    void failedReloadKeepsTheRace();
    void switchedOff();
    void alertShowsWhereTheFocusIs();
    void changeColumnFitsBesideTheOthers();
    void historySaveSaysWhy_data();
    void historySaveSaysWhy();
};

void TestFollowWindow::sheetFollowsItsFiles()
{
    QTemporaryDir folder;
    const QString path = race().write(folder.path());
    MessageRecorder recorder;
    MainWindow window;
    window.resize(Twips::toPixelsX(MainWindow::FullWidth), window.height());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize size = window.size();
    window.UpdateFormFromSelection(path);
    PairGridView *view = window.umarenView();
    TextGrid &grid = window.sheet().grdUmaRen;
    QCOMPARE(view->model()->columnCount(), 8);

    // Sorted by a press on the 実際値 head, scrolled down.
    QHeaderView *header = view->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(PairActual) + header->sectionSize(PairActual) / 2,
                    header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::RightButton, Qt::NoModifier, at);
    QTest::mouseRelease(header->viewport(), Qt::RightButton, Qt::NoModifier, at);
    view->state().setTopRow(20);
    const QMap<QString, Shown> before = umarenByPair(grid);

    race(0.25).write(folder.path());
    QTRY_COMPARE_WITH_TIMEOUT(window.follower().reloadCount(), 1, 20000);
    const QMap<QString, Shown> after = umarenByPair(grid);
    QVERIFY(after != before);
    QCOMPARE(view->state().topRow(), 20);
    for (int r = 2; r < grid.rows(); ++r)
        QVERIFY(grid.cell(r - 1, PairActual).toDouble() >= grid.cell(r, PairActual).toDouble());
    QCOMPARE(window.size(), size);
    QVERIFY(window.statusText().startsWith(QString::fromUtf16(u"ｵｯｽﾞ更新 ")));
    QVERIFY(window.statusText().contains(QString::fromUtf16(u"（1回目）")));
    // Pairs newly at level 1 or 2 are told in the status bar.
    const QList<RaceHistory::MarkChange> top = window.history().newTopMarks();
    QVERIFY(!top.isEmpty());
    QVERIFY(window.statusText().contains(QString::fromUtf16(u"新着 ")));
    QVERIFY(window.statusText().contains(top.first().label + top.first().after));
    QVERIFY(window.statusText().endsWith(QString::fromUtf16(u"新着 ") + window.history().newsText()));

    // The 変化 column and the bold marks, row by row.
    QAbstractItemModel *model = view->model();
    QCOMPARE(model->columnCount(), 9);
    QCOMPARE(model->headerData(8, Qt::Horizontal).toString(), QString::fromUtf16(u"変化"));
    // Every cell whole, 変化 included.
    for (int r = 1; r < grid.rows(); ++r) {
        for (int c = 0; c < grid.columns(); ++c)
            QCOMPARE(view->shownText(r, c), grid.cell(r, c));
    }
    // This race's prices leave no room for 変化: the view scrolls sideways,
    // and stays where it was scrolled through the next reload.
    QScrollBar *sideways = view->horizontalScrollBar();
    QVERIFY(sideways->maximum() > 0);
    sideways->setValue(sideways->maximum());
    // The pair labels stay in sight over the left edge.
    const auto *pairs = view->findChild<QTableView *>(QStringLiteral("pairColumn"));
    QVERIFY(pairs && pairs->isVisible());
    QCOMPARE(pairs->width(), header->sectionSize(PairLabel));
    QCOMPARE(pairs->rowAt(0), view->rowAt(0));
    QCOMPARE(pairs->model()->index(0, PairLabel).data().toString(), grid.cell(1, PairLabel));
    for (int c = 1; c < model->columnCount(); ++c)
        QVERIFY(pairs->isColumnHidden(c));
    int bold = 0;
    for (int r = 1; r < grid.rows(); ++r) {
        const QString label = grid.cell(r, PairLabel);
        const double change = after[label].deviation.toDouble() - before[label].deviation.toDouble();
        QCOMPARE(model->index(r - 1, 8).data().toString(), DeviationChangeText(change));
        const bool changed = after[label].mark != before[label].mark;
        QCOMPARE(model->index(r - 1, PairMark).data(Qt::FontRole).value<QFont>().bold(), changed);
        bold += changed;
    }
    QVERIFY(bold > 0);
    // The model keeps its eight columns.
    QCOMPARE(grid.columnCount(), 8);

    race().write(folder.path());
    QTRY_COMPARE_WITH_TIMEOUT(window.follower().reloadCount(), 2, 20000);
    QVERIFY(recorder.messages.isEmpty());
    QTRY_COMPARE(sideways->value(), sideways->maximum());
    // Back to the first prices: nothing moved since the baseline.
    QCOMPARE(model->index(0, 8).data().toString(), QStringLiteral("0.0"));

    // The history as CSV: a head line and one line per load and pair.
    const QString saved = folder.filePath(QStringLiteral("history.csv"));
    window.saveFileDialog = [&saved](const QString &) { return saved; };
    window.action(QStringLiteral("mnuFileHistory"))->trigger();
    const QList<QByteArray> lines = readAll(saved).split('\n');
    QCOMPARE(lines.size() - 1, 1 + 3 * 2 * 153);
    QVERIFY(lines[1].endsWith("\r"));
}

// Races of the sample day whose values leave room (13 of its 35 with pair
// odds): with
// 変化 all nine columns fit the view, so no sideways bar takes a row.
void TestFollowWindow::changeColumnFitsBesideTheOthers()
{
    const QDir samples(QStringLiteral(MINUKURU_SAMPLE_DIR));
    for (const QString &race : {QStringLiteral("03150604.jra"), QStringLiteral("03151008.jra")}) {
        QTemporaryDir folder;
        for (const QString &name : samples.entryList({u'*' + race}, QDir::Files))
            QVERIFY(QFile::copy(samples.filePath(name), folder.filePath(name)));
        const QString zo = folder.filePath(QStringLiteral("Zo-") + race);
        MainWindow window;
        window.setWidthTwips(MainWindow::FullWidth);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.UpdateFormFromSelection(zo);
        const QByteArray bytes = readAll(zo);
        QFile out(zo);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size());
        out.close();
        QTRY_COMPARE_WITH_TIMEOUT(window.follower().reloadCount(), 1, 20000);
        for (const BetKind &kind : kBetKinds) {
            window.optBetTypeClick(int(IndexOf(kind.type)));
            PairGridView *view = window.viewOf(kind.type);
            QCOMPARE(view->model()->columnCount(), 9);
            QVERIFY(view->grid().rows() > 20);
            QTRY_COMPARE(view->horizontalScrollBar()->maximum(), 0); // once the view has laid itself out
            const auto *pairs = view->findChild<QTableView *>(QStringLiteral("pairColumn"));
            QVERIFY(!pairs || !pairs->isVisible());
            for (int r = 1; r < view->grid().rows(); ++r) {
                for (int c = 0; c < view->grid().columns(); ++c)
                    QCOMPARE(view->shownText(r, c), view->grid().cell(r, c));
            }
        }
    }
}

void TestFollowWindow::failedReloadKeepsTheRace()
{
    QTemporaryDir folder;
    const QString path = race().write(folder.path());
    MessageRecorder recorder;
    MainWindow window;
    window.UpdateFormFromSelection(path);
    const QString first = window.sheet().grdUmaRen.cell(1, PairActual);
    QFile zo(path);
    QVERIFY(zo.open(QIODevice::WriteOnly | QIODevice::Truncate));
    zo.write("Z");
    zo.close();
    QTRY_VERIFY_WITH_TIMEOUT(window.statusText().startsWith(QString::fromUtf16(u"ｵｯｽﾞ更新失敗 ")), 20000);
    QVERIFY(recorder.messages.isEmpty());
    QCOMPARE(window.sheet().grdUmaRen.cell(1, PairActual), first);
    QCOMPARE(window.umarenView()->model()->columnCount(), 8);

    // Deleted, then back.
    for (const QString &name : QDir(folder.path()).entryList(QDir::Files))
        QFile::remove(folder.filePath(name));
    QTRY_VERIFY_WITH_TIMEOUT(window.statusText().startsWith(QString::fromUtf16(u"ﾌｧｲﾙが見つかりません")), 20000);
    race(2.0).write(folder.path());
    QTRY_COMPARE_WITH_TIMEOUT(window.follower().reloadCount(), 1, 20000);
    QVERIFY(window.sheet().grdUmaRen.cell(1, PairActual) != first);
    QVERIFY(recorder.messages.isEmpty());

    // An explicit open still tells the user.
    window.UpdateFormFromSelection(folder.filePath(QStringLiteral("Zo-none.jra")));
    QVERIFY(!recorder.messages.isEmpty());
}

void TestFollowWindow::switchedOff()
{
    QTemporaryDir folder;
    const QString path = race().write(folder.path());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QAction *menu = window.action(QStringLiteral("mnuFileAutoReload"));
    QAction *button = window.action(QStringLiteral("Follow"));
    QVERIFY(menu->isChecked() && button->isChecked());
    // The narrow view shows every button, the switch included.
    const auto shown = [&window](const char *key) {
        return window.toolbar()->widgetForAction(window.action(QString::fromLatin1(key)))->isVisible();
    };
    QVERIFY(shown("About"));
    QVERIFY(shown("Follow"));
    // The status bar sits below the lists, inside the designed height.
    QListWidget *list = window.kaimeList();
    QVERIFY(list->mapTo(&window, QPoint(0, list->height())).y() <= window.findChild<QStatusBar *>()->y());
    window.btnDetailClick(0);
    QTRY_VERIFY(shown("Follow"));
    button->trigger();
    QVERIFY(!menu->isChecked());
    QVERIFY(!Settings::AutoReload().get());
    window.UpdateFormFromSelection(path);
    QVERIFY(!window.follower().isFollowing());
    menu->trigger();
    QVERIFY(button->isChecked() && Settings::AutoReload().get());
    QVERIFY(window.follower().isFollowing());

    // Rewritten while switched off: read as soon as it is on again.
    button->trigger();
    race(0.5).write(folder.path());
    QTest::qWait(500);
    QCOMPARE(window.follower().reloadCount(), 0);
    button->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(window.follower().reloadCount(), 1, 20000);
}

// With the matrix in front, the news shows along its bottom edge too.
void TestFollowWindow::alertShowsWhereTheFocusIs()
{
    QTemporaryDir folder;
    const QString path = race().write(folder.path());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.UpdateFormFromSelection(path);
    window.action(QStringLiteral("mnuToolMatrix"))->trigger();
    QWidget *matrix = window.matrixWindow();
    QVERIFY(matrix);
    matrix->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(matrix));

    race(0.25).write(folder.path());
    QTRY_COMPARE_WITH_TIMEOUT(window.follower().reloadCount(), 1, 20000);
    const QString news = window.history().newsText();
    QVERIFY(!news.isEmpty());
    auto *notice = matrix->findChild<QLabel *>(QLatin1StringView(Gui::kAlertNoticeName));
    QVERIFY(notice && notice->isVisible());
    QCOMPARE(notice->text(), QString::fromUtf16(u"新着 ") + news);
    QCOMPARE(notice->geometry().bottom(), matrix->rect().bottom());
    // The main window in front shows it in its status bar only.
    QVERIFY(!window.findChild<QLabel *>(QLatin1StringView(Gui::kAlertNoticeName), Qt::FindDirectChildrenOnly));
}

// The odds history is saved as the race CSV is: never over a race file
// (by name, or as one of the race's own by another name), the reason told
// before the failure; marks without a Shift-JIS code are named.
void TestFollowWindow::historySaveSaysWhy_data()
{
    QTest::addColumn<QString>("target");  // in the race's folder
    QTest::addColumn<QString>("refusal"); // %1 the target; "" the system's reason
    QTest::newRow("the race's odds file")
        << QStringLiteral("Zo-0101A.jra")
        << QString::fromUtf16(u"%1 はレースのファイルの名前なので、保存しませんでした。");
    QTest::newRow("the race's pair odds file by another name")
        << QStringLiteral("pairs.csv")
        << QString::fromUtf16(u"%1 は開いているレースのファイルなので、上書きしませんでした。");
    QTest::newRow("a folder that is not there") << QStringLiteral("none/history.csv") << QString();
}

void TestFollowWindow::historySaveSaysWhy()
{
    QFETCH(QString, target);
    QFETCH(QString, refusal);
    QTemporaryDir folder;
    const QString path = race().write(folder.path());
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("Zo-0101A.jra"));
    QCOMPARE(::link(QFile::encodeName(folder.filePath(QStringLiteral("Uo-0101A.jra"))).constData(),
                    QFile::encodeName(folder.filePath(QStringLiteral("pairs.csv"))).constData()),
             0);
    const QList<QByteArray> before = folderSnapshot(folder.path());
    MainWindow window;
    window.UpdateFormFromSelection(path);
    QString saved = folder.filePath(target);
    window.saveFileDialog = [&saved](const QString &) { return saved; };
    MessageRecorder recorder;
    window.action(QStringLiteral("mnuFileHistory"))->trigger();

    QCOMPARE(recorder.messages.size(), 2);
    QCOMPARE(recorder.messages[0].kind, Messages::Kind::Notice);
    if (refusal.isEmpty())
        QVERIFY(!recorder.messages[0].text.isEmpty());
    else
        QCOMPARE(recorder.messages[0].text, refusal.arg(saved));
    QCOMPARE(recorder.messages[1].text, Messages::saveFailedText());
    QCOMPARE(recorder.messages[1].kind, Messages::Kind::Error);
    QCOMPARE(folderSnapshot(folder.path()), before);

    // A mark that code page 932 lacks is written as "?", and said so.
    for (int level = 1; level <= 5; ++level) {
        Settings::DispChar(BetType::Umaren, level).set(QString::fromUtf16(u"😀"));
        Settings::DispChar(BetType::Wide, level).set(QString::fromUtf16(u"😀"));
    }
    window.UpdateFormFromSelection(path);
    saved = folder.filePath(QStringLiteral("history.csv"));
    recorder.clear();
    window.action(QStringLiteral("mnuFileHistory"))->trigger();
    QCOMPARE(recorder.texts(), QStringList {Messages::unmappedSavedText(saved, QString::fromUtf16(u"😀"))});
    QVERIFY(readAll(saved).contains("\"?\"\r\n"));
}

QTEST_MAIN(TestFollowWindow)
#include "test_follow_window.moc"
