#include "grids/ui/pair_grid_view.h"

#include "app/ui/gui_support.h"
#include "common/text_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QMouseEvent>
#include <QScrollBar>

namespace {

// Maps the stored colours to brushes; the pair column looks fixed.
class ColourProxy final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::ForegroundRole || role == Qt::BackgroundRole) {
            const int source = role == Qt::ForegroundRole ? TextGrid::TextColorRole : TextGrid::BackColorRole;
            const QVariant colour = QIdentityProxyModel::data(index, source);
            const QPalette palette = QApplication::palette();
            if (colour.isValid())
                return QBrush(Gui::toQColor(colour.toInt(), palette));
            if (role == Qt::BackgroundRole && index.column() == 0)
                return QBrush(palette.color(QPalette::Button));
            return QVariant();
        }
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

PairGridView::PairGridView(TextGrid &grid, QWidget *parent)
    : QTableView(parent)
    , m_grid(grid)
    , m_proxy(new ColourProxy(this))
{
    m_proxy->setSourceModel(&grid);
    setModel(m_proxy);
    setFont(QFont(QStringLiteral(u"ＭＳ ゴシック"), 9));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setMinimumSectionSize(8);
    horizontalHeader()->setFont(font());
    horizontalHeader()->viewport()->installEventFilter(this);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    connect(&grid, &TextGrid::topRowChanged, this, &PairGridView::showTopRow);
    connect(&grid, &TextGrid::currentCellChanged, this, &PairGridView::showCurrentCell);
    connect(&grid, &QAbstractItemModel::headerDataChanged, this, &PairGridView::fitColumnsToHeads);
    // After the view has taken in a reset, which rebuilds the head.
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &PairGridView::fitColumnsToHeads);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_syncing)
            return;
        const int row = rowAt(0);
        if (row >= 0)
            m_grid.setTopRow(row + 1);
    });
    fitColumnsToHeads();
}

void PairGridView::fitColumnsToHeads()
{
    // Each column just wide enough for its head or its widest usual value.
    static const char *const samples[] = {"18-18", "99999.9", "99999.9", "+999.9", "0.000", "", "153", "-99"};
    const QFontMetrics head(horizontalHeader()->font());
    const QFontMetrics cells(font());
    for (int c = 0; c < m_grid.columns(); ++c) {
        const QString sample = c < 8 ? QString::fromLatin1(samples[c]) : QString();
        const int width = std::max(head.horizontalAdvance(m_grid.cell(0, c)), cells.horizontalAdvance(sample));
        setColumnWidth(c, width + 5);
    }
}

bool PairGridView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        const int column = horizontalHeader()->logicalIndexAt(press->position().toPoint());
        if (column >= 0) {
            m_grid.sortByHeadClick(column, press->button());
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

bool PairGridView::event(QEvent *event)
{
    if (event->type() != QEvent::Show)
        return QTableView::event(event);
    // On show Qt scrolls to the current cell, which the fill leaves on the
    // last row; the grid's top row wins.
    m_syncing = true;
    const bool handled = QTableView::event(event);
    m_syncing = false;
    showTopRow(m_grid.topRow());
    return handled;
}

void PairGridView::showTopRow(int row)
{
    // A hidden view has no scroll range after a reset (Qt lays items out only
    // while visible), so scrolling it would clamp the row away: it takes the
    // grid's top row when shown.
    if (row < 1 || row >= m_grid.rows() || !isVisible())
        return;
    m_syncing = true;
    executeDelayedItemsLayout();
    verticalScrollBar()->setValue(row - 1);
    scrollTo(model()->index(row - 1, 0), QAbstractItemView::PositionAtTop);
    m_syncing = false;
}

void PairGridView::showCurrentCell(int row, int column)
{
    if (row < 1 || row >= m_grid.rows())
        return;
    // Moving the current cell does not scroll: the grid keeps its top row.
    m_syncing = true;
    const int scrolled = verticalScrollBar()->value();
    // Current, not selected: a hit's colour must stay visible.
    selectionModel()->setCurrentIndex(model()->index(row - 1, column), QItemSelectionModel::NoUpdate);
    verticalScrollBar()->setValue(scrolled);
    m_syncing = false;
}
