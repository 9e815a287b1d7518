// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/sheet_view.h"
#include "app/ui/main_window.h"
#include "common/text_convert.h"
#include "common/text_grid.h"
#include "common/ui/gui_support.h"
#include "common/ui/twips.h"
#include "grids/pair_matrix.h"
#include "grids/ui/pair_grid_view.h"
#include "grids/ui/pair_matrix_window.h"
#include "settings/settings_store.h"
#include "support/race_files.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using namespace CommonFunc;

namespace {

// `count` runners whose pair odds stray from the win odds both ways, so the
// matrix has cells of both signs and several steps.
RaceFiles race(int count)
{
    RaceFiles race;
    for (int k = 1; k <= count; ++k) {
        race.horses.append({QString::number(1.5 + k * 1.7, 'f', 1), QString::number(1.0 + k * 0.3, 'f', 1),
                            QString::number(1.5 + k * 0.5, 'f', 1), QStringLiteral("Horse") + QString::number(k)});
    }
    for (int i = 1; i <= count; ++i)
        for (int j = i + 1; j <= count; ++j)
            race.pairs.append({QString::number((i + j) % 3 == 0 ? i * j * 9.0 : i * j * 0.6 + 3, 'f', 1),
                               QString::number(i + j * 0.4, 'f', 1), QString::number(i + j * 0.6 + 1, 'f', 1)});
    return race;
}

QColor colourOf(qint32 colour) { return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

} // namespace

class TestPairMatrixWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_race2;
    QString m_race18;

    static PairMatrixWindow &openMatrix(MainWindow &window)
    {
        window.action(QStringLiteral("mnuToolMatrix"))->trigger();
        return *window.matrixWindow();
    }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void renders_data();
    void renders();
    void clickSelectsThePairInItsGrid();
    void followsANewRace();
    void placementRoundTrip();
    void toolbarFitsTheNarrowView();
};

void TestPairMatrixWindow::initTestCase()
{
    Gui::registerFontSubstitutes();
    for (const auto &[count, path] : {std::pair {2, &m_race2}, std::pair {18, &m_race18}}) {
        const QString folder = m_dir.filePath(QStringLiteral("race%1").arg(count));
        QDir().mkpath(folder);
        *path = race(count).write(folder);
    }
}

void TestPairMatrixWindow::init()
{
    const QString ini = m_dir.filePath(QStringLiteral("settings.ini"));
    QFile::remove(ini);
    SetSettingsFile(ini);
}

void TestPairMatrixWindow::renders_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("no race") << 0;
    QTest::newRow("2 horses") << 2;
    QTest::newRow("18 horses") << 18;
}

// Every cell is painted in its step's colour, also at the smallest size.
void TestPairMatrixWindow::renders()
{
    QFETCH(int, count);
    MainWindow window;
    if (count > 0)
        window.UpdateFormFromSelection(count == 2 ? m_race2 : m_race18);
    PairMatrixWindow &matrix = openMatrix(window);
    QCOMPARE(matrix.matrix().horses, count);
    for (const QSize &size : {QSize(520, 480), QSize(100, 100)}) {
        matrix.resize(size);
        QImage image(matrix.size(), QImage::Format_ARGB32);
        matrix.render(&image);
        int steps = 0; // bit step + 5 for every step seen
        for (int row = 1; row <= count; ++row) {
            for (int column = 1; column <= count; ++column) {
                const DeviationCell &cell = matrix.matrix().at(row, column);
                if (row == column || !cell.deviation)
                    continue;
                const QPoint inside = matrix.cellRect(row, column).topLeft() + QPoint(2, 2);
                QVERIFY(image.rect().contains(inside));
                QCOMPARE(image.pixelColor(inside), colourOf(DeviationColour(cell.step)));
                steps |= 1 << (cell.step + 5);
            }
        }
        QVERIFY(count < 18 || ((steps & 0x1F) && (steps & 0x7C0))); // both signs
    }
}

void TestPairMatrixWindow::clickSelectsThePairInItsGrid()
{
    MainWindow window;
    window.show();
    window.UpdateFormFromSelection(m_race18);
    // Rows out of pair order: the pair is found by its label.
    window.sheet().grdUmaRen.sortByHeadClick(PairActual, Qt::RightButton);
    window.sheet().grdWide.sortByHeadClick(PairDeviation, Qt::LeftButton);
    PairMatrixWindow &matrix = openMatrix(window);
    matrix.resize(600, 600);
    QVERIFY(QTest::qWaitForWindowExposed(&matrix));

    const QString label = MakePairLabel(3, 17);
    // Below the diagonal: wide, with the view switched from umaren.
    QVERIFY(window.betTypeOption(0)->isChecked());
    QTest::mouseClick(&matrix, Qt::LeftButton, {}, matrix.cellRect(17, 3).center());
    QVERIFY(window.betTypeOption(1)->isChecked());
    QVERIFY(window.wideView()->isVisible());
    TextGrid &wide = window.sheet().grdWide;
    QCOMPARE(wide.cell(window.wideView()->state().currentRow(), PairLabel), label);
    const QModelIndex index = window.wideView()->currentIndex();
    QCOMPARE(index.row(), window.wideView()->state().currentRow() - 1);
    QVERIFY(window.wideView()->viewport()->rect().intersects(window.wideView()->visualRect(index)));

    // Above it: umaren, back again.
    QTest::mouseClick(&matrix, Qt::LeftButton, {}, matrix.cellRect(3, 17).center());
    QVERIFY(window.betTypeOption(0)->isChecked());
    QVERIFY(window.umarenView()->isVisible());
    TextGrid &umaren = window.sheet().grdUmaRen;
    QCOMPARE(umaren.cell(window.umarenView()->state().currentRow(), PairLabel), label);
    QVERIFY(window.umarenView()->viewport()->rect().intersects(
        window.umarenView()->visualRect(window.umarenView()->currentIndex())));

    const int row = window.umarenView()->state().currentRow();
    const QString tip = QStringLiteral(u"馬連 3-17\n理論値 %1\n実際値 %2\n乖離％ %3")
                            .arg(umaren.cell(row, PairTheoretical).trimmed(), umaren.cell(row, PairActual).trimmed(),
                                 umaren.cell(row, PairDeviation).trimmed());
    QVERIFY2(matrix.toolTipText(3, 17).startsWith(tip), qPrintable(matrix.toolTipText(3, 17)));
    // The diagonal and the axes are no pair.
    QCOMPARE(matrix.cellAt(matrix.cellRect(5, 5).center()), std::make_pair(0, 0));
    QCOMPARE(matrix.cellAt(matrix.cellRect(1, 5).center() - QPoint(0, 40)), std::make_pair(0, 0));
}

void TestPairMatrixWindow::followsANewRace()
{
    MainWindow window;
    window.UpdateFormFromSelection(m_race2);
    PairMatrixWindow &matrix = openMatrix(window);
    QCOMPARE(matrix.matrix().horses, 2);

    window.UpdateFormFromSelection(m_race18);
    QCOMPARE(matrix.matrix().horses, 18);
    const TextGrid &umaren = window.sheet().grdUmaRen;
    QCOMPARE(matrix.matrix().at(17, 18).actual,
             umaren.cell(FindPairRow(window.sheet(), BetType::Umaren, 17, 18), PairActual));
    QCOMPARE(matrix.matrix().at(1, 2).theoretical,
             umaren.cell(FindPairRow(window.sheet(), BetType::Umaren, 1, 2), PairTheoretical));
}

void TestPairMatrixWindow::placementRoundTrip()
{
    const QString section = Section::pairMatrixWindow();
    {
        MainWindow window;
        PairMatrixWindow &matrix = openMatrix(window);
        matrix.move(Twips::toPixelsX(3000, &matrix), Twips::toPixelsY(2250, &matrix));
        matrix.resize(Twips::toPixelsX(7500, &matrix), Twips::toPixelsY(6000, &matrix));
        window.close(); // closing the main window stores it
    }
    QCOMPARE(Settings::Placement(section, QStringLiteral("Left"), 0).get(), 3000.0f);
    QCOMPARE(Settings::Placement(section, QStringLiteral("Top"), 0).get(), 2250.0f);
    QCOMPARE(Settings::Placement(section, QStringLiteral("Width"), 0).get(), 7500.0f);
    QCOMPARE(Settings::Placement(section, QStringLiteral("Height"), 0).get(), 6000.0f);

    MainWindow window;
    PairMatrixWindow &again = openMatrix(window);
    QCOMPARE(again.pos(), QPoint(Twips::toPixelsX(3000, &again), Twips::toPixelsY(2250, &again)));
    QCOMPARE(again.size(), QSize(Twips::toPixelsX(7500, &again), Twips::toPixelsY(6000, &again)));
    // Opened again, it is the same window.
    window.toolbarButtonClick(QStringLiteral("Matrix"));
    QCOMPARE(window.matrixWindow(), &again);
}

// In the narrowest view every toolbar button still shows, none in the overflow.
void TestPairMatrixWindow::toolbarFitsTheNarrowView()
{
    MainWindow window;
    window.show();
    window.btnSummaryClick(0);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(qAbs(window.widthTwips() - MainWindow::SummaryWidth) < 20);
    QToolBar *bar = window.toolbar();
    int buttons = 0;
    for (QAction *action : bar->actions()) {
        if (action->isSeparator())
            continue;
        QWidget *button = bar->widgetForAction(action);
        QVERIFY2(button && button->isVisible() && bar->rect().contains(button->geometry()),
                 qPrintable(action->data().toString()));
        ++buttons;
    }
    QCOMPARE(buttons, 8);
}

QTEST_MAIN(TestPairMatrixWindow)
#include "test_pair_matrix_window.moc"
