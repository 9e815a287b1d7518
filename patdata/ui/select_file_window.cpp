// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/ui/select_file_window.h"

#include "common/messages.h"
#include "common/ui/gui_support.h"
#include "common/ui/twips.h"
#include "patdata/file_list.h"
#include "patdata/folder_index.h"
#include "patdata/pat_files.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QTableView>

namespace {

constexpr int fileNameColumn = 7;

// Places in twips.
constexpr int gridWidth = 7455;
constexpr int gridBottomMargin = 1125;  // window height - grid height
constexpr int buttonBottomMargin = 900; // window height - button top
constexpr int buttonWidth = 1335;
constexpr int buttonHeight = 375;
constexpr int updateLeft = 360;
constexpr int selectLeft = 3720;
constexpr int closeLeft = 5400;
constexpr int gap = 120;
constexpr int statusBottomMargin = 480; // window height - status line top
constexpr int statusHeight = 255;

constexpr int defaultLeft = 1500;
constexpr int defaultTop = 1000;
constexpr int defaultHeight = 6180;
constexpr int defaultWidth = 7635;

} // namespace

SelectFileWindow::SelectFileWindow(SelectHandler onSelect, QWidget *owner)
    : QWidget(owner, Qt::Tool)
    , m_onSelect(std::move(onSelect))
    , m_grid(CommonFunc::FileListColumnCount)
    , m_state(m_grid)
{
    setObjectName(QStringLiteral("frmSelectFile"));
    setWindowTitle(QStringLiteral(u"PATﾌｧｲﾙの選択"));

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("grdFileList"));
    m_view->setModel(&m_grid);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_view->horizontalHeader()->setSectionsClickable(false);
    m_view->horizontalHeader()->setHighlightSections(false);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setSortingEnabled(false);
    // Compact rows as in a grid; long texts are cut at the column edge.
    m_view->setTextElideMode(Qt::ElideNone);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);

    const auto button = [this](const char *name, const char16_t *caption) {
        auto *b = new QPushButton(QString::fromUtf16(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    m_update = button("btnUpdate", u"最新を反映");
    m_select = button("btnSelect", u"決定");
    m_close = button("btnClose", u"閉じる");
    // Enter presses the button that has the focus; in the grid it picks the
    // row, so 決定 is drawn as the default.
    for (QPushButton *b : {m_update, m_select, m_close})
        b->setAutoDefault(true);
    m_select->setDefault(true);
    m_view->installEventFilter(this);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextFormat(Qt::PlainText);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgListing"));
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->hide();

    connect(m_update, &QPushButton::clicked, this, &SelectFileWindow::UpdateList);
    connect(m_select, &QPushButton::clicked, this, &SelectFileWindow::selectFile);
    connect(m_close, &QPushButton::clicked, this, &QWidget::hide);
    connect(m_view, &QAbstractItemView::doubleClicked, this, &SelectFileWindow::selectFile);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SelectFileWindow::syncGridFromView);
    connect(&m_state, &GridState::currentCellChanged, this, [this](int row, int) { syncViewFromGrid(row); });

    m_grid.reset(heads(), alignments(), 0);
    const auto columns = CommonFunc::FileListColumns();
    for (int c = 0; c < CommonFunc::FileListColumnCount; ++c)
        m_view->setColumnWidth(c, Twips::toPixelsX(columns[std::size_t(c)].widthTwips, this));

    // The terminal writes a race's files one after the other: one listing
    // once the folder has been quiet a moment.
    m_folderQuiet.setSingleShot(true);
    m_folderQuiet.setInterval(300);
    connect(&m_folderWatch, &QFileSystemWatcher::directoryChanged, this, [this] { m_folderQuiet.start(); });
    connect(&m_folderQuiet, &QTimer::timeout, this, &SelectFileWindow::folderChanged);
}

QStringList SelectFileWindow::heads()
{
    QStringList heads;
    for (const auto &column : CommonFunc::FileListColumns())
        heads.append(column.heading);
    return heads;
}

QList<TextGrid::Alignment> SelectFileWindow::alignments()
{
    return QList<TextGrid::Alignment>(CommonFunc::FileListColumnCount, TextGrid::Alignment::Left);
}

QStringList SelectFileWindow::racesIn(const QString &folder)
{
    const CommonFunc::FolderIndex index = CommonFunc::FolderIndex::of(folder);
    QStringList races;
    for (const int i : index.filesInOrdinalOrder()) {
        if (index.isOddsFile(i))
            races.append(index.name(i));
    }
    return races;
}

void SelectFileWindow::watchFolder(bool on)
{
    if (!m_folderWatch.directories().isEmpty())
        m_folderWatch.removePaths(m_folderWatch.directories());
    m_folderQuiet.stop();
    if (on && QFileInfo::exists(CommonFunc::GetPatFolder()))
        m_folderWatch.addPath(CommonFunc::GetPatFolder());
}

// Rewrites of races already listed change nothing in the list: only a new
// or vanished race rebuilds it, with the user's row kept.
void SelectFileWindow::folderChanged()
{
    if (m_busy || !isVisible() || !m_recordFile.isEmpty())
        return;
    if (racesIn(CommonFunc::GetPatFolder()) == m_listedRaces)
        return;
    const int row = m_state.currentRow();
    const QString chosen = row >= 1 ? m_grid.cell(row, fileNameColumn) : QString();
    const int column = m_state.currentColumn();
    const int top = m_state.topRow();
    listFolder(true);
    if (chosen.isEmpty())
        return;
    for (int r = 1; r < m_grid.rows(); ++r) {
        if (m_grid.cell(r, fileNameColumn) == chosen) {
            m_state.setTopRow(top);
            m_state.setCurrentCell(r, column);
            m_view->selectRow(r - 1);
            break;
        }
    }
}

void SelectFileWindow::hideEvent(QHideEvent *event)
{
    watchFolder(false);
    QWidget::hideEvent(event);
}

SelectFileWindow::~SelectFileWindow()
{
    storePlacement();
    // The view goes before the grid it shows.
    delete m_view;
    m_view = nullptr;
}

void SelectFileWindow::open()
{
    const bool wasRecordFile = !m_recordFile.isEmpty();
    m_recordFile.clear();
    Gui::bringForward(this);
    buildPendingList();
    if (wasRecordFile && m_opened)
        listFolder(false);
}

void SelectFileWindow::openRecordFile(const QString &path)
{
    m_recordFile = path;
    Gui::bringForward(this);
    if (m_listPending)
        buildPendingList();
    else
        listFolder(false);
}

void SelectFileWindow::showEvent(QShowEvent *event)
{
    if (!m_opened && !event->spontaneous()) {
        m_opened = true;
        restorePlacement();
        m_listPending = true;
        // open() builds the list straight after showing; a plain show()
        // gets it on the next turn of the event loop, with the window and
        // its busy bar already on screen.
        QMetaObject::invokeMethod(this, &SelectFileWindow::buildPendingList, Qt::QueuedConnection);
    }
    watchFolder(true);
    QWidget::showEvent(event);
}

void SelectFileWindow::buildPendingList()
{
    if (!m_listPending)
        return;
    m_listPending = false;
    UpdateList();
}

void SelectFileWindow::setBusy(bool busy)
{
    m_busy = busy;
    m_update->setEnabled(!busy);
    m_select->setEnabled(!busy);
    m_close->setEnabled(!busy);
    m_progress->setVisible(busy);
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // Let the cursor, the bar and the greyed buttons reach the screen
        // before the listing holds the thread; clicks wait until it is done.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void SelectFileWindow::UpdateList() { listFolder(false); }

QString SelectFileWindow::statusText() const { return m_status->text(); }

void SelectFileWindow::listFolder(bool automatic)
{
    if (m_busy)
        return;

    // What the listing wants to tell the user waits until the busy cursor
    // is gone, so a message box does not come up under an hourglass.
    Messages::Held deferred;
    {
        setBusy(true);
        struct Done {
            SelectFileWindow *window;
            ~Done() { window->setBusy(false); }
        } done {this};

        QList<CommonFunc::FileListRow> rows;
        {
            const Messages::ScopedSink scope(&deferred);
            // Repaint between files of a large folder; clicks wait until the end.
            const auto repaint = [](int) { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
            if (m_recordFile.isEmpty()) {
                m_listedRaces = racesIn(CommonFunc::GetPatFolder());
                rows = CommonFunc::BuildFileList(CommonFunc::GetPatFolder(), repaint);
            } else {
                m_listedRaces.clear();
                rows = CommonFunc::BuildRecordFileList(m_recordFile, repaint);
            }
        }

        m_grid.reset(heads(), alignments(), int(rows.size()), [rows](int key, TextGrid::Row &cells) {
            for (int c = 0; c < CommonFunc::FileListColumnCount; ++c)
                cells[c].text = rows[key].cells[std::size_t(c)];
        });
        m_state.setCurrentCell(0, 0);
        m_state.setTopRow(1);
        const auto columns = CommonFunc::FileListColumns();
        for (int c = 0; c < CommonFunc::FileListColumnCount; ++c)
            m_view->setColumnWidth(c, Twips::toPixelsX(columns[std::size_t(c)].widthTwips, this));
        m_view->scrollToTop();
    }
    if (!automatic) {
        m_status->clear();
        deferred.release();
        return;
    }
    // A refresh nobody asked for raises no box, at each change of the folder
    // again: the line names the races it left out.
    if (!deferred.texts().contains(Messages::formatMismatchText())) {
        m_status->clear();
        return;
    }
    QStringList listed;
    for (int r = 1; r < m_grid.rows(); ++r)
        listed.append(m_grid.cell(r, fileNameColumn));
    QStringList missing;
    for (const QString &name : std::as_const(m_listedRaces)) {
        if (!listed.contains(name))
            missing.append(name);
    }
    m_status->setText(Messages::formatMismatchText() + u' ' + missing.join(u' '));
}

bool SelectFileWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            selectFile();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SelectFileWindow::selectFile()
{
    if (m_busy)
        return;
    const int row = m_state.currentRow();
    if (row < 1) {
        Messages::notice(QStringLiteral(u"行を選んでちょ"));
        return;
    }
    if (!m_recordFile.isEmpty()) {
        if (m_onSelect)
            m_onSelect(m_recordFile, m_grid.cell(row, fileNameColumn));
        return;
    }
    const QString path = CommonFunc::GetPatFilePath(m_grid.cell(row, fileNameColumn));
    if (m_onSelect)
        m_onSelect(path, QString());
}

// The grid's current row is the selected file row; with none selected it is
// the heading row.  A view that only gained focus has a current index but no
// selection, and must not count as a pick.
void SelectFileWindow::syncGridFromView()
{
    if (m_syncing)
        return;
    const QScopedValueRollback guard(m_syncing, true);
    const QModelIndexList selected = m_view->selectionModel()->selectedRows();
    const int row = selected.isEmpty() ? 0 : selected.first().row() + 1;
    const QModelIndex current = m_view->currentIndex();
    m_state.setCurrentCell(row, current.isValid() ? current.column() : 0);
}

void SelectFileWindow::syncViewFromGrid(int row)
{
    if (m_syncing)
        return;
    const QScopedValueRollback guard(m_syncing, true);
    QItemSelectionModel *selection = m_view->selectionModel();
    if (row < 1) {
        selection->clear();
        return;
    }
    selection->setCurrentIndex(m_grid.index(row - 1, m_state.currentColumn()),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void SelectFileWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyLayout();
}

void SelectFileWindow::applyLayout()
{
    if (isMinimized())
        return;
    const double height = Twips::fromPixelsY(this->height(), this);
    const double gridHeight = height - gridBottomMargin;
    const double buttonTop = height - buttonBottomMargin;
    if (gridHeight < 0 || buttonTop < 0)
        return;

    m_view->setGeometry(0, 0, Twips::toPixelsX(gridWidth, this), Twips::toPixelsY(gridHeight, this));
    const int top = Twips::toPixelsY(buttonTop, this);
    const int w = Twips::toPixelsX(buttonWidth, this);
    const int h = Twips::toPixelsY(buttonHeight, this);
    m_update->setGeometry(Twips::toPixelsX(updateLeft, this), top, w, h);
    m_select->setGeometry(Twips::toPixelsX(selectLeft, this), top, w, h);
    m_close->setGeometry(Twips::toPixelsX(closeLeft, this), top, w, h);
    // The bar sits in the gap between "最新を反映" and "決定".
    const int barLeft = updateLeft + buttonWidth + gap;
    m_progress->setGeometry(Twips::toPixelsX(barLeft, this), top, Twips::toPixelsX(selectLeft - gap - barLeft, this),
                            h);
    m_status->setGeometry(Twips::toPixelsX(updateLeft, this), Twips::toPixelsY(height - statusBottomMargin, this),
                          Twips::toPixelsX(gridWidth - updateLeft, this), Twips::toPixelsY(statusHeight, this));
}

// Left and Top are the frame's corner, Width and Height the inside of the
// window, so that a stored placement comes back without growing by the frame.
void SelectFileWindow::restorePlacement()
{
    Gui::restorePlacement(this, CommonFunc::Section::selectFileWindow(),
                          {defaultLeft, defaultTop, defaultWidth, defaultHeight});
    applyLayout();
}

void SelectFileWindow::storePlacement() const
{
    if (m_opened && !isMinimized())
        Gui::storePlacement(this, CommonFunc::Section::selectFileWindow());
}
