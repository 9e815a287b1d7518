// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/ui/select_file_window.h"

#include "common/ui/twips.h"
#include "patdata/file_list.h"
#include "patdata/jv_records.h"
#include "settings/settings_store.h"
#include "support/message_recorder.h"
#include "support/pat_bytes.h"
#include "tools/racegen/jv_writer.h"
#include "tools/racegen/pat_writer.h"
#include "tools/racegen/race_generator.h"

#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace CommonFunc;

namespace {

const QString pickRow = QStringLiteral(u"行を選んでちょ");

PatBytes::Header race(const QString &course, const QString &kai, const QString &nichi, const QString &raceNo)
{
    PatBytes::Header h;
    h.course = course;
    h.kai = kai;
    h.nichi = nichi;
    h.raceNo = raceNo;
    return h;
}

QStringList column(const TextGrid &grid, int c)
{
    QStringList texts;
    for (int r = 1; r < grid.rows(); ++r)
        texts.append(grid.cell(r, c));
    return texts;
}

} // namespace

class TestSelectFileWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder;
    int m_case = 0;
    QStringList m_picked;
    std::unique_ptr<SelectFileWindow> m_window;

    bool writeRace(const QString &name, const PatBytes::Header &h)
    {
        return PatBytes::write(m_folder + u'/' + name, PatBytes::patHeader(h));
    }
    // Three races of one day, written out of order, and a sibling the list
    // must pass over.
    void writeDay()
    {
        QVERIFY(
            writeRace(QStringLiteral("Zo-0512.jra"),
                      race(QStringLiteral(u"東京"), QStringLiteral(" 5"), QStringLiteral(" 8"), QStringLiteral("12"))));
        QVERIFY(
            writeRace(QStringLiteral("Zo-0502.jra"),
                      race(QStringLiteral(u"東京"), QStringLiteral(" 5"), QStringLiteral(" 8"), QStringLiteral(" 2"))));
        QVERIFY(
            writeRace(QStringLiteral("Zo-0411.jra"),
                      race(QStringLiteral(u"京都"), QStringLiteral(" 4"), QStringLiteral(" 2"), QStringLiteral("11"))));
        QVERIFY(
            writeRace(QStringLiteral("Uo-0512.jra"),
                      race(QStringLiteral(u"東京"), QStringLiteral(" 5"), QStringLiteral(" 8"), QStringLiteral("12"))));
    }

    SelectFileWindow &openWindow()
    {
        m_window = std::make_unique<SelectFileWindow>([this](const QString &path, const QString &raceKey) {
            m_picked.append(raceKey.isEmpty() ? path : RaceReference(path, raceKey));
        });
        m_window->open();
        return *m_window;
    }
    QTableView *view() const { return m_window->findChild<QTableView *>(QStringLiteral("grdFileList")); }
    QPushButton *button(const char *name) const
    {
        return m_window->findChild<QPushButton *>(QString::fromLatin1(name));
    }
    QPoint rowCentre(int gridRow) const { return view()->visualRect(m_window->grid().index(gridRow - 1, 4)).center(); }
    void clickRow(int gridRow) { QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, rowCentre(gridRow)); }
    // As the system delivers it: a click, then the second press as a double click.
    void doubleClick(QPoint at)
    {
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, at);
    }
    int gridRowOf(const QString &fileName) const { return int(column(m_window->grid(), 7).indexOf(fileName)) + 1; }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listsTheFolder();
    void plainShowAlsoLists();
    void badHeaderIsSkippedAndReportedOnce();
    void missingFolderGivesHeadingOnly();
    void selectWithoutRow();
    void deselectedRowIsNoPick();
    void selectByButton();
    void selectByDoubleClick();
    void listsARecordFile();
    void closeAndReopenKeepsListAndRow();
    void updateRebuilds();
    void newRacesAppearByThemselves();
    void ownRefreshesRaiseNoBox();
    void enterPicksTheRow();
    void resizeRule_data();
    void resizeRule();
    void placementRoundTrip();
    void placementRoundTripRunAfterRun();
    void minimisedKeepsStoredPlacement();
};

void TestSelectFileWindow::initTestCase() { QVERIFY(m_dir.isValid()); }

// A fresh store and PAT folder per test.
void TestSelectFileWindow::init()
{
    ++m_case;
    SetSettingsFile(m_dir.filePath(QStringLiteral("settings%1.ini").arg(m_case)));
    m_folder = m_dir.filePath(QStringLiteral("pat%1").arg(m_case));
    QVERIFY(QDir().mkpath(m_folder));
    SetPatFolder(m_folder);
    m_picked.clear();
}

void TestSelectFileWindow::cleanup() { m_window.reset(); }

void TestSelectFileWindow::listsTheFolder()
{
    writeDay();
    SelectFileWindow &w = openWindow();
    QCOMPARE(w.windowTitle(), QStringLiteral(u"PATﾌｧｲﾙの選択"));
    QVERIFY(w.isVisible());

    const TextGrid &grid = w.grid();
    QCOMPARE(grid.rows(), 4);
    const auto columns = FileListColumns();
    for (int c = 0; c < FileListColumnCount; ++c) {
        QCOMPARE(grid.cell(0, c), columns[std::size_t(c)].heading);
        QCOMPARE(view()->model()->headerData(c, Qt::Horizontal).toString(), columns[std::size_t(c)].heading);
        QCOMPARE(view()->columnWidth(c), Twips::toPixelsX(columns[std::size_t(c)].widthTwips, &w));
    }
    // Rows as the core builds them: by course, meeting, then race as text.
    const QList<FileListRow> expected = BuildFileList(GetPatFolder());
    QCOMPARE(expected.size(), 3);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < FileListColumnCount; ++c)
            QCOMPARE(grid.cell(r + 1, c), expected[r].cells[std::size_t(c)]);
    }
    QCOMPARE(column(grid, 0), (QStringList {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(column(grid, 7),
             (QStringList {QStringLiteral("Zo-0411.jra"), QStringLiteral("Zo-0512.jra"),
                           QStringLiteral("Zo-0502.jra")}));
    QCOMPARE(view()->model()->rowCount(), 3);

    QCOMPARE(m_window->state().currentRow(), 0);
    QVERIFY(!view()->selectionModel()->hasSelection());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(button("btnUpdate")->isEnabled() && button("btnSelect")->isEnabled() && button("btnClose")->isEnabled());
}

void TestSelectFileWindow::plainShowAlsoLists()
{
    writeDay();
    m_window = std::make_unique<SelectFileWindow>(nullptr);
    m_window->show();
    QTRY_COMPARE(m_window->grid().rows(), 4);
    // At the default placement of an empty store.
    const QWidget *w = m_window.get();
    QCOMPARE(w->pos(), QPoint(Twips::toPixelsX(1500, w), Twips::toPixelsY(1000, w)));
    QCOMPARE(w->size(), QSize(Twips::toPixelsX(7635, w), Twips::toPixelsY(6180, w)));
}

void TestSelectFileWindow::badHeaderIsSkippedAndReportedOnce()
{
    writeDay();
    PatBytes::Header wrong = race(QStringLiteral(u"中山"), QStringLiteral(" 1"), QStringLiteral(" 1"),
                                  QStringLiteral(" 1"));
    wrong.formatCode = QStringLiteral("9");
    QVERIFY(writeRace(QStringLiteral("Zo-0101.jra"), wrong));
    QVERIFY(writeRace(QStringLiteral("Zo-0102.jra"), wrong));
    QVERIFY(PatBytes::write(m_folder + QStringLiteral("/Zo-short.jra"), QByteArray(20, ' ')));

    MessageRecorder recorder;
    SelectFileWindow &w = openWindow();
    QCOMPARE(w.grid().rows(), 4);
    QCOMPARE(recorder.texts(), QStringList {Messages::formatMismatchText()});
    QCOMPARE(recorder.messages.first().kind, Messages::Kind::Notice);
}

void TestSelectFileWindow::missingFolderGivesHeadingOnly()
{
    SetPatFolder(m_folder + QStringLiteral("/not-there"));
    MessageRecorder recorder;
    SelectFileWindow &w = openWindow();
    QCOMPARE(w.grid().rows(), 1);
    QCOMPARE(w.grid().cell(0, 7), QStringLiteral(u"ﾌｧｲﾙ名"));
    QVERIFY(recorder.messages.isEmpty());

    QTest::mouseClick(button("btnSelect"), Qt::LeftButton);
    QCOMPARE(recorder.texts(), QStringList {pickRow});
    QVERIFY(m_picked.isEmpty());
}

void TestSelectFileWindow::selectWithoutRow()
{
    writeDay();
    MessageRecorder recorder;
    SelectFileWindow &w = openWindow();
    QTest::mouseClick(button("btnSelect"), Qt::LeftButton);
    QCOMPARE(recorder.texts(), QStringList {pickRow});
    QCOMPARE(recorder.messages.first().kind, Messages::Kind::Notice);

    // A rebuild drops the pick made before it.
    clickRow(2);
    QCOMPARE(w.state().currentRow(), 2);
    QTest::mouseClick(button("btnUpdate"), Qt::LeftButton);
    QCOMPARE(w.state().currentRow(), 0);
    QVERIFY(!view()->selectionModel()->hasSelection());
    recorder.clear();
    QTest::mouseClick(button("btnSelect"), Qt::LeftButton);
    QCOMPARE(recorder.texts(), QStringList {pickRow});
    QVERIFY(m_picked.isEmpty());
}

void TestSelectFileWindow::deselectedRowIsNoPick()
{
    writeDay();
    MessageRecorder recorder;
    SelectFileWindow &w = openWindow();
    clickRow(2);
    QCOMPARE(w.state().currentRow(), 2);
    // Ctrl+click takes the highlight off the row but leaves the cursor on it.
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(2));
    QVERIFY(!view()->selectionModel()->hasSelection());
    QCOMPARE(w.state().currentRow(), 0);
    QTest::mouseClick(button("btnSelect"), Qt::LeftButton);
    QCOMPARE(recorder.texts(), QStringList {pickRow});
    QVERIFY(m_picked.isEmpty());
}

void TestSelectFileWindow::selectByButton()
{
    writeDay();
    MessageRecorder recorder;
    SelectFileWindow &w = openWindow();
    const int row = gridRowOf(QStringLiteral("Zo-0502.jra"));
    clickRow(row);
    QTest::mouseClick(button("btnSelect"), Qt::LeftButton);
    QCOMPARE(m_picked, QStringList {GetPatFilePath(QStringLiteral("Zo-0502.jra"))});
    QCOMPARE(QFileInfo(m_picked.first()).canonicalFilePath(),
             QFileInfo(m_folder + QStringLiteral("/Zo-0502.jra")).canonicalFilePath());

    // The list stays with its row for the next pick.
    QVERIFY(w.isVisible());
    QCOMPARE(w.state().currentRow(), row);
    clickRow(gridRowOf(QStringLiteral("Zo-0411.jra")));
    QTest::mouseClick(button("btnSelect"), Qt::LeftButton);
    QCOMPARE(m_picked.size(), 2);
    QCOMPARE(m_picked.last(), GetPatFilePath(QStringLiteral("Zo-0411.jra")));
    QVERIFY(recorder.messages.isEmpty());
}

// A file of JV-Data records lists its races, in key order with their key as
// the file name; a pick names the file and the key; open() goes back to the
// PAT folder.
void TestSelectFileWindow::listsARecordFile()
{
    writeDay();
    RaceGen::MeetingOptions meeting;
    meeting.racesPerCourse = 2;
    QByteArray records;
    for (const RaceGen::GeneratedRace &race : RaceGen::GenerateMeeting(meeting))
        records += RaceGen::JvRecordsOf(race);
    const QString file = m_dir.filePath(QStringLiteral("records%1.txt").arg(m_case));
    QVERIFY(RaceGen::WriteBytes(file, records));
    const QStringList keys = JvRecordIndexOf(file)->keys();
    QCOMPARE(keys.size(), 6);

    MessageRecorder recorder;
    SelectFileWindow &w = openWindow();
    w.openRecordFile(file);
    QCOMPARE(column(w.grid(), 7), keys);
    QCOMPARE(column(w.grid(), 0).first(), QStringLiteral("1"));
    clickRow(2);
    QTest::mouseClick(button("btnSelect"), Qt::LeftButton);
    QCOMPARE(m_picked, QStringList {RaceReference(file, keys[1])});
    w.UpdateList(); // the same file again
    QCOMPARE(column(w.grid(), 7), keys);
    w.open();
    QCOMPARE(column(w.grid(), 7).size(), 3);
    QVERIFY(recorder.messages.isEmpty());
}

void TestSelectFileWindow::selectByDoubleClick()
{
    writeDay();
    MessageRecorder recorder;
    SelectFileWindow &w = openWindow();
    const int row = gridRowOf(QStringLiteral("Zo-0512.jra"));
    doubleClick(rowCentre(row));
    QCOMPARE(m_picked, QStringList {GetPatFilePath(QStringLiteral("Zo-0512.jra"))});
    QCOMPARE(w.state().currentRow(), row);

    // Below the last row there is no file to pick.
    const QPoint below(rowCentre(3).x(), view()->viewport()->height() - 2);
    QVERIFY(!view()->indexAt(below).isValid());
    doubleClick(below);
    QCOMPARE(m_picked.size(), 1);
    QVERIFY(recorder.messages.isEmpty());
}

void TestSelectFileWindow::closeAndReopenKeepsListAndRow()
{
    writeDay();
    SelectFileWindow &w = openWindow();
    const int row = gridRowOf(QStringLiteral("Zo-0512.jra"));
    clickRow(row);
    QTest::mouseClick(button("btnClose"), Qt::LeftButton);
    QVERIFY(!w.isVisible());

    // Showing again does not read the folder.
    QVERIFY(writeRace(QStringLiteral("Zo-0601.jra"),
                      race(QStringLiteral(u"阪神"), QStringLiteral(" 1"), QStringLiteral(" 1"), QStringLiteral(" 1"))));
    w.open();
    QVERIFY(w.isVisible());
    QCOMPARE(w.grid().rows(), 4);
    QCOMPARE(w.state().currentRow(), row);
    QCOMPARE(view()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(view()->selectionModel()->selectedRows().first().row(), row - 1);
    QTest::mouseClick(button("btnSelect"), Qt::LeftButton);
    QCOMPARE(m_picked, QStringList {GetPatFilePath(QStringLiteral("Zo-0512.jra"))});
}

void TestSelectFileWindow::updateRebuilds()
{
    writeDay();
    SelectFileWindow &w = openWindow();
    QVERIFY(writeRace(QStringLiteral("Zo-0601.jra"),
                      race(QStringLiteral(u"阪神"), QStringLiteral(" 1"), QStringLiteral(" 1"), QStringLiteral(" 1"))));
    QVERIFY(QFile::remove(m_folder + QStringLiteral("/Zo-0411.jra")));
    QTest::mouseClick(button("btnUpdate"), Qt::LeftButton);
    QCOMPARE(w.grid().rows(), 4);
    QCOMPARE(column(w.grid(), 7),
             (QStringList {QStringLiteral("Zo-0512.jra"), QStringLiteral("Zo-0502.jra"),
                           QStringLiteral("Zo-0601.jra")}));
    QCOMPARE(column(w.grid(), 0), (QStringList {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(view()->model()->rowCount(), 3);

    // The public operation does the same.
    QVERIFY(QFile::remove(m_folder + QStringLiteral("/Zo-0601.jra")));
    w.UpdateList();
    QCOMPARE(w.grid().rows(), 3);
}

void TestSelectFileWindow::newRacesAppearByThemselves()
{
    writeDay();
    SelectFileWindow &w = openWindow();
    clickRow(gridRowOf(QStringLiteral("Zo-0502.jra")));
    // A new race sorts in before the chosen one; the choice moves with it.
    QVERIFY(writeRace(QStringLiteral("Zo-0501.jra"),
                      race(QStringLiteral(u"東京"), QStringLiteral(" 5"), QStringLiteral(" 8"), QStringLiteral(" 1"))));
    QTRY_COMPARE_WITH_TIMEOUT(w.grid().rows(), 5, 10000);
    QCOMPARE(w.grid().cell(w.state().currentRow(), 7), QStringLiteral("Zo-0502.jra"));
    QTest::mouseClick(button("btnSelect"), Qt::LeftButton);
    QCOMPARE(m_picked, QStringList {m_folder + QStringLiteral("/Zo-0502.jra")});

    // Hidden, it leaves the list as it is.
    w.hide();
    QVERIFY(writeRace(QStringLiteral("Zo-0503.jra"),
                      race(QStringLiteral(u"東京"), QStringLiteral(" 5"), QStringLiteral(" 8"), QStringLiteral(" 3"))));
    QTest::qWait(1000);
    QCOMPARE(w.grid().rows(), 5);
}

void TestSelectFileWindow::ownRefreshesRaiseNoBox()
{
    writeDay();
    MessageRecorder recorder;
    SelectFileWindow &w = openWindow();
    QVERIFY(w.statusText().isEmpty());
    PatBytes::Header wrong = race(QStringLiteral(u"中山"), QStringLiteral(" 1"), QStringLiteral(" 1"),
                                  QStringLiteral(" 1"));
    wrong.formatCode = QStringLiteral("9");
    QVERIFY(writeRace(QStringLiteral("Zo-0101.jra"), wrong));
    QTRY_VERIFY_WITH_TIMEOUT(!w.statusText().isEmpty(), 10000);
    QCOMPARE(w.statusText(), Messages::formatMismatchText() + QStringLiteral(" Zo-0101.jra"));
    // A later change of the folder lists the new race, still without a box.
    QVERIFY(writeRace(QStringLiteral("Zo-0501.jra"),
                      race(QStringLiteral(u"東京"), QStringLiteral(" 5"), QStringLiteral(" 8"), QStringLiteral(" 1"))));
    QTRY_COMPARE_WITH_TIMEOUT(w.grid().rows(), 5, 10000);
    QVERIFY(recorder.texts().isEmpty());
    QCOMPARE(w.statusText(), Messages::formatMismatchText() + QStringLiteral(" Zo-0101.jra"));

    // Asked for, the listing says it in a box once, and the line is cleared.
    QTest::mouseClick(button("btnUpdate"), Qt::LeftButton);
    QCOMPARE(recorder.texts(), QStringList {Messages::formatMismatchText()});
    QVERIFY(w.statusText().isEmpty());
    QCOMPARE(w.grid().rows(), 5);
}

void TestSelectFileWindow::enterPicksTheRow()
{
    writeDay();
    MessageRecorder recorder;
    SelectFileWindow &w = openWindow();
    QVERIFY(button("btnSelect")->isDefault());
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_Return);
    QCOMPARE(recorder.texts(), QStringList {QStringLiteral(u"行を選んでちょ")});
    const int row = gridRowOf(QStringLiteral("Zo-0411.jra"));
    clickRow(row);
    QTest::keyClick(view(), Qt::Key_Down); // the arrows move the row
    QTest::keyClick(view(), Qt::Key_Enter);
    QCOMPARE(w.state().currentRow(), row + 1);
    QCOMPARE(m_picked, QStringList {GetPatFilePath(w.grid().cell(row + 1, 7))});
    // On a button Enter presses that button.
    button("btnClose")->setFocus();
    QTest::keyClick(button("btnClose"), Qt::Key_Return);
    QVERIFY(!w.isVisible());
    QCOMPARE(m_picked.size(), 1);
}

void TestSelectFileWindow::resizeRule_data()
{
    QTest::addColumn<int>("heightTwips");
    QTest::addColumn<bool>("applies");
    QTest::newRow("default") << 6180 << true;
    QTest::newRow("taller") << 9000 << true;
    QTest::newRow("grid gone") << 1125 << true;
    QTest::newRow("too low") << 600 << false;
}

void TestSelectFileWindow::resizeRule()
{
    QFETCH(int, heightTwips);
    QFETCH(bool, applies);
    SelectFileWindow &w = openWindow();
    w.resize(w.width(), Twips::toPixelsY(4500, &w));
    const QRect gridBefore = view()->geometry();
    const QRect buttonBefore = button("btnClose")->geometry();

    w.resize(w.width(), Twips::toPixelsY(heightTwips, &w));
    QCOMPARE(w.height(), Twips::toPixelsY(heightTwips, &w));
    if (!applies) {
        QCOMPARE(view()->geometry(), gridBefore);
        QCOMPARE(button("btnClose")->geometry(), buttonBefore);
        return;
    }
    const double h = Twips::fromPixelsY(w.height(), &w);
    QCOMPARE(view()->geometry(), QRect(0, 0, Twips::toPixelsX(7455, &w), Twips::toPixelsY(h - 1125, &w)));
    const int top = Twips::toPixelsY(h - 900, &w);
    const QSize size(Twips::toPixelsX(1335, &w), Twips::toPixelsY(375, &w));
    QCOMPARE(button("btnUpdate")->geometry(), QRect(QPoint(Twips::toPixelsX(360, &w), top), size));
    QCOMPARE(button("btnSelect")->geometry(), QRect(QPoint(Twips::toPixelsX(3720, &w), top), size));
    QCOMPARE(button("btnClose")->geometry(), QRect(QPoint(Twips::toPixelsX(5400, &w), top), size));
}

void TestSelectFileWindow::placementRoundTrip()
{
    const QString section = Section::selectFileWindow();
    {
        SelectFileWindow &w = openWindow();
        w.move(Twips::toPixelsX(3000, &w), Twips::toPixelsY(2250, &w));
        w.resize(Twips::toPixelsX(9000, &w), Twips::toPixelsY(7500, &w));
        m_window.reset(); // unloading stores it
    }
    QCOMPARE(Settings::Placement(section, QStringLiteral("Left"), 0).get(), 3000.0f);
    QCOMPARE(Settings::Placement(section, QStringLiteral("Top"), 0).get(), 2250.0f);
    QCOMPARE(Settings::Placement(section, QStringLiteral("Width"), 0).get(), 9000.0f);
    QCOMPARE(Settings::Placement(section, QStringLiteral("Height"), 0).get(), 7500.0f);

    SelectFileWindow &again = openWindow();
    QCOMPARE(again.pos(), QPoint(Twips::toPixelsX(3000, &again), Twips::toPixelsY(2250, &again)));
    QCOMPARE(again.size(), QSize(Twips::toPixelsX(9000, &again), Twips::toPixelsY(7500, &again)));
}

// Run after run the window comes back where it was left, not a frame's
// width off each time; a move is stored as moved.
void TestSelectFileWindow::placementRoundTripRunAfterRun()
{
    const QString section = Section::selectFileWindow();
    QPoint frame;
    for (int run = 0; run < 4; ++run) {
        SelectFileWindow w(nullptr);
        w.open();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        if (run > 0)
            QCOMPARE(w.frameGeometry().topLeft(), frame + QPoint(0, run == 3 ? 30 : 0));
        frame = w.frameGeometry().topLeft();
        if (run == 2)
            w.move(w.pos() + QPoint(0, 30));
        QCOMPARE(Settings::Placement(section, QStringLiteral("Left"), 1500).get(), 1500.0f);
    }
    QCOMPARE(Settings::Placement(section, QStringLiteral("Top"), 0).get(),
             float(Twips::fromPixelsY(Twips::toPixelsY(1000) + 30)));
}

void TestSelectFileWindow::minimisedKeepsStoredPlacement()
{
    const QString section = Section::selectFileWindow();
    Settings::Placement(section, QStringLiteral("Left")).set(2400);
    Settings::Placement(section, QStringLiteral("Width")).set(8100);

    // A window that was never opened has no placement of its own.
    m_window = std::make_unique<SelectFileWindow>(nullptr);
    m_window.reset();
    QVERIFY(!ReadSettingText(section, QStringLiteral("Top")));

    SelectFileWindow &w = openWindow();
    w.move(Twips::toPixelsX(600, &w), w.y());
    w.showMinimized();
    QVERIFY(w.isMinimized());
    m_window.reset();
    QCOMPARE(Settings::Placement(section, QStringLiteral("Left"), 0).get(), 2400.0f);
    QCOMPARE(Settings::Placement(section, QStringLiteral("Width"), 0).get(), 8100.0f);
    QVERIFY(!ReadSettingText(section, QStringLiteral("Top")));
}

QTEST_MAIN(TestSelectFileWindow)
#include "test_select_file_window.moc"
