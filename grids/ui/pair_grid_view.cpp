// SPDX-License-Identifier: GPL-3.0-or-later

#include "grids/ui/pair_grid_view.h"

#include "common/text_grid.h"
#include "common/ui/gui_support.h"

#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <cmath>

// Maps the stored colours to brushes; the pair column looks fixed.  May
// show one more column than the grid has, computed by the window.
class ChangeColumnProxy final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QString head;
    QFont boldFont;
    std::function<QString(int row)> text;
    std::function<bool(int row)> bold;

    int sourceColumns() const { return sourceModel() ? sourceModel()->columnCount() : 0; }
    bool hasExtra() const { return bool(text); }

    void setExtra(const QString &newHead, std::function<QString(int)> newText, std::function<bool(int)> newBold)
    {
        const bool adding = !hasExtra();
        if (adding)
            beginInsertColumns(QModelIndex(), sourceColumns(), sourceColumns());
        head = newHead;
        text = std::move(newText);
        bold = std::move(newBold);
        if (adding)
            endInsertColumns();
        else
            extraChanged();
    }
    void clearExtra()
    {
        if (!hasExtra())
            return;
        beginRemoveColumns(QModelIndex(), sourceColumns(), sourceColumns());
        text = nullptr;
        bold = nullptr;
        endRemoveColumns();
    }
    void extraChanged()
    {
        const int rows = rowCount();
        const int last = columnCount() - 1;
        if (rows > 0)
            emit dataChanged(index(0, 0), index(rows - 1, last));
        emit headerDataChanged(Qt::Horizontal, last, last);
    }

    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        if (parent.isValid())
            return 0;
        return sourceColumns() + (hasExtra() ? 1 : 0);
    }
    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override
    {
        if (isExtra(column) && !parent.isValid() && row >= 0 && row < rowCount())
            return createIndex(row, column);
        return QIdentityProxyModel::index(row, column, parent);
    }
    QModelIndex parent(const QModelIndex &child) const override
    {
        if (child.isValid() && isExtra(child.column()))
            return QModelIndex();
        return QIdentityProxyModel::parent(child);
    }
    QModelIndex sibling(int row, int column, const QModelIndex &idx) const override
    {
        return index(row, column, parent(idx));
    }
    QModelIndex mapToSource(const QModelIndex &proxy) const override
    {
        if (proxy.isValid() && isExtra(proxy.column()))
            return QModelIndex();
        return QIdentityProxyModel::mapToSource(proxy);
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (isExtra(index.column()))
            return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        return QIdentityProxyModel::flags(index);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && isExtra(section))
            return role == Qt::DisplayRole ? QVariant(head) : QVariant();
        return QIdentityProxyModel::headerData(section, orientation, role);
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::FontRole && bold && index.isValid() && bold(index.row() + 1))
            return boldFont;
        if (index.isValid() && isExtra(index.column())) {
            if (role == Qt::DisplayRole)
                return text(index.row() + 1);
            if (role == Qt::TextAlignmentRole)
                return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant();
        }
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

private:
    bool isExtra(int column) const { return hasExtra() && column == sourceColumns(); }
};

namespace {

// A pixel of room each side of a cell's text, narrower than the style's, so
// that the eight columns fit the view.
constexpr int kCellMargin = 1;

// Draws a cell's text as fittedText() cuts it.
class PairCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QString text = PairGridView::fittedText(cell.text, cell.fontMetrics, cell.rect.width());
        cell.text.clear();
        const QWidget *widget = cell.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

        QPalette::ColorGroup group = QPalette::Normal;
        if (!(cell.state & QStyle::State_Enabled))
            group = QPalette::Disabled;
        else if (!(cell.state & QStyle::State_Active))
            group = QPalette::Inactive;
        const QPalette::ColorRole role = cell.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                             : QPalette::Text;
        painter->save();
        painter->setFont(cell.font);
        painter->setPen(cell.palette.color(group, role));
        painter->drawText(cell.rect.adjusted(kCellMargin, 0, -kCellMargin, 0), int(cell.displayAlignment), text);
        painter->restore();
    }
};

// The head row, whose height a reset of the model (each race load) would
// have measured again from every head cell although only its texts count.
class PairHead final : public QHeaderView {
public:
    explicit PairHead(QWidget *parent)
        : QHeaderView(Qt::Horizontal, parent)
    {
    }

    QSize sizeHint() const override
    {
        QString key = font().key();
        for (int c = 0; model() && c < model()->columnCount(); ++c)
            key += u'\n' + model()->headerData(c, Qt::Horizontal).toString();
        auto hint = m_hints.find(key);
        if (hint == m_hints.end())
            hint = m_hints.insert(key, QHeaderView::sizeHint());
        return *hint;
    }

private:
    mutable QHash<QString, QSize> m_hints; // by font and heads
};

} // namespace

PairGridView::PairGridView(TextGrid &grid, QWidget *parent)
    : QTableView(parent)
    , m_grid(grid)
    , m_state(grid)
    , m_proxy(new ChangeColumnProxy(this))
{
    m_proxy->setSourceModel(&grid);
    setHorizontalHeader(new PairHead(this));
    setModel(m_proxy);
    setItemDelegate(new PairCellDelegate(this));
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
    // Tab leaves the grid for the next control; the arrows move within it.
    setTabKeyNavigation(false);

    connect(m_proxy, &QAbstractItemModel::columnsInserted, this, &PairGridView::placePairColumn);
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &PairGridView::placePairColumn);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &PairGridView::placePairColumn);
    connect(horizontalScrollBar(), &QScrollBar::rangeChanged, this, &PairGridView::placePairColumn);

    connect(&m_state, &GridState::topRowChanged, this, &PairGridView::showTopRow);
    connect(&m_state, &GridState::currentCellChanged, this, &PairGridView::showCurrentCell);
    // A reset loses the view's place: the state puts it back, and the view
    // its sideways place.
    connect(m_proxy, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_keepingSideways = true; });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_keepingSideways)
            m_sideways = value;
    });
    connect(m_proxy, &QAbstractItemModel::modelReset, this, [this] {
        showCurrentCell(m_state.currentRow(), m_state.currentColumn());
        showTopRow(m_state.topRow());
    });
    connect(&grid, &QAbstractItemModel::headerDataChanged, this, &PairGridView::fitColumnsToHeads);
    // After the view has taken in a reset, which rebuilds the head.
    connect(m_proxy, &QAbstractItemModel::modelReset, this, [this] {
        fitColumnsToHeads();
        m_keepingSideways = false;
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_syncing)
            return;
        const int row = rowAt(0);
        if (row >= 0)
            m_state.setTopRow(row + 1);
    });
    fitColumnsToHeads();
}

namespace {

// The widest of the longest texts: the values are digits and signs, so a
// longer text is the wider one, and only a few are measured.
qreal widestText(const QFontMetricsF &metrics, int rows, const std::function<QString(int row)> &text)
{
    qsizetype longest = 0;
    QStringList candidates;
    for (int r = 1; r < rows; ++r) {
        const QString t = text(r);
        if (t.size() > longest) {
            longest = t.size();
            candidates = {t};
        } else if (t.size() == longest && longest > 0 && candidates.size() < 8 && !candidates.contains(t)) {
            candidates.append(t);
        }
    }
    qreal width = 0;
    for (const QString &t : std::as_const(candidates))
        width = std::max(width, metrics.horizontalAdvance(t));
    return width;
}

} // namespace

void PairGridView::fitColumnsToHeads()
{
    // Each column wide enough for its head and for the widest value that
    // occurs: umaren prices reach 374625.0 (wide 124875.0), a scratched
    // pair's price is 99999.9, deviations reach -9999.9 and rank differences
    // stay within two digits.  The 変化 column leaves no room for those:
    // with it every column is as wide as its head and the race's own values,
    // so that all of them fit the view where the values allow.
    // clang-format off
    static const char16_t *const widest[] = {u"18-18", u"374625.0", u"99999.9", u"-9999.9",
                                             u"0.000", u"",         u"153",     u"-99"};
    // clang-format on
    const QFontMetricsF head(horizontalHeader()->font());
    const QFontMetricsF cells(font());
    const int room = 2 * kCellMargin + (showGrid() ? 1 : 0);
    const bool extra = m_proxy->hasExtra();
    const int rows = m_grid.rows();
    for (int c = 0; c < m_grid.columns(); ++c) {
        const qreal values = extra ? widestText(cells, rows, [this, c](int r) { return m_grid.cell(r, c); })
                                   : cells.horizontalAdvance(c < 8 ? QString::fromUtf16(widest[c]) : QString());
        const qreal width = std::max(head.horizontalAdvance(m_grid.cell(0, c)), values);
        setColumnWidth(c, int(std::ceil(width)) + room);
    }
    if (extra) {
        const qreal width = std::max(head.horizontalAdvance(m_proxy->head), widestText(cells, rows, m_proxy->text));
        setColumnWidth(m_grid.columns(), int(std::ceil(width)) + room);
    }
    // New widths give the sideways bar a new range: the user's place stays,
    // as far as the range allows.
    if (horizontalScrollBar()->value() != m_sideways) {
        const QScopedValueRollback keeping(m_keepingSideways, true);
        updateGeometries();
        horizontalScrollBar()->setValue(m_sideways);
    }
}

void PairGridView::showExtraColumn(const QString &head, std::function<QString(int row)> text,
                                   std::function<bool(int row)> bold)
{
    m_proxy->boldFont = font();
    m_proxy->boldFont.setBold(true);
    m_proxy->setExtra(head, std::move(text), std::move(bold));
    fitColumnsToHeads();
}

void PairGridView::hideExtraColumn()
{
    if (!m_proxy->hasExtra())
        return;
    m_proxy->clearExtra();
    fitColumnsToHeads();
}

bool PairGridView::hasExtraColumn() const { return m_proxy->hasExtra(); }

void PairGridView::extraColumnChanged() { m_proxy->extraChanged(); }

void PairGridView::reapplySort()
{
    if (m_lastSort) {
        m_state.setCurrentCell(m_state.currentRow(), m_lastSort->first);
        m_grid.sortByHeadClick(m_lastSort->first, m_lastSort->second);
    }
}

QString PairGridView::fittedText(const QString &text, const QFontMetrics &metrics, int width)
{
    return metrics.elidedText(text, Qt::ElideRight, width - 2 * kCellMargin);
}

QString PairGridView::shownText(int row, int column) const
{
    return fittedText(m_grid.cell(row, column), fontMetrics(), columnWidth(column) - (showGrid() ? 1 : 0));
}

void PairGridView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    placePairColumn();
}

void PairGridView::updateGeometries()
{
    QTableView::updateGeometries();
    placePairColumn();
}

void PairGridView::placePairColumn()
{
    const bool needed = horizontalScrollBar()->maximum() > 0;
    if (!m_pairColumn && (!needed || !selectionModel() || selectionModel()->model() != model()))
        return; // not needed, or the view is still being built
    if (!m_pairColumn) {
        // Made when first needed: most grids never scroll sideways.
        m_pairColumn = new QTableView(this);
        m_pairColumn->setObjectName(QStringLiteral("pairColumn"));
        m_pairColumn->setHorizontalHeader(new PairHead(m_pairColumn));
        m_pairColumn->setModel(m_proxy);
        m_pairColumn->setSelectionModel(selectionModel());
        m_pairColumn->setItemDelegate(new PairCellDelegate(m_pairColumn));
        m_pairColumn->setFont(font());
        m_pairColumn->setFocusPolicy(Qt::NoFocus);
        m_pairColumn->setFrameShape(QFrame::NoFrame);
        m_pairColumn->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_pairColumn->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_pairColumn->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_pairColumn->setWordWrap(false);
        m_pairColumn->setTextElideMode(Qt::ElideNone);
        m_pairColumn->verticalHeader()->hide();
        m_pairColumn->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_pairColumn->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
        m_pairColumn->horizontalHeader()->setHighlightSections(false);
        m_pairColumn->horizontalHeader()->setSectionsClickable(false);
        m_pairColumn->horizontalHeader()->setMinimumSectionSize(8);
        m_pairColumn->horizontalHeader()->setFont(font());
        m_pairColumn->horizontalHeader()->viewport()->installEventFilter(this);
        connect(verticalScrollBar(), &QScrollBar::valueChanged, m_pairColumn->verticalScrollBar(),
                &QScrollBar::setValue);
        connect(m_pairColumn->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(),
                &QScrollBar::setValue);
    }
    if (needed) {
        for (int c = 1; c < m_proxy->columnCount(); ++c)
            m_pairColumn->setColumnHidden(c, true);
        m_pairColumn->setColumnHidden(0, false);
        m_pairColumn->setColumnWidth(0, columnWidth(0));
        const int frame = frameWidth();
        m_pairColumn->setGeometry(frame, frame, columnWidth(0), horizontalHeader()->height() + viewport()->height());
        m_pairColumn->verticalScrollBar()->setValue(verticalScrollBar()->value());
    }
    if (m_pairColumn->isVisible() != needed)
        m_pairColumn->setVisible(needed);
}

bool PairGridView::eventFilter(QObject *watched, QEvent *event)
{
    QHeaderView *head = m_pairColumn && watched == m_pairColumn->horizontalHeader()->viewport()
        ? m_pairColumn->horizontalHeader()
        : horizontalHeader();
    if (watched == head->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        const int column = head->logicalIndexAt(press->position().toPoint());
        if (column >= 0) {
            sortByHead(column, press->button());
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

void PairGridView::sortByHead(int column, Qt::MouseButton button)
{
    if (column < 0 || column >= m_grid.columns())
        return;
    if (!(button & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)))
        return;
    m_lastSort = {column, button};
    m_state.setCurrentCell(m_state.currentRow(), column);
    m_grid.sortByHeadClick(column, button);
    // The sort's first row is what the user asked to see.
    m_state.setTopRow(1);
    showTopRow(1);
}

void PairGridView::keyPressEvent(QKeyEvent *event)
{
    // The three head presses from the keyboard, on the current column.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    Qt::MouseButton button = Qt::NoButton;
    if (event->key() == Qt::Key_Up && mods == Qt::ControlModifier)
        button = Qt::LeftButton;
    else if (event->key() == Qt::Key_Down && mods == Qt::ControlModifier)
        button = Qt::RightButton;
    else if (event->key() == Qt::Key_Down && mods == (Qt::ControlModifier | Qt::ShiftModifier))
        button = Qt::MiddleButton;
    if (button == Qt::NoButton) {
        QTableView::keyPressEvent(event);
        return;
    }
    const QModelIndex current = currentIndex();
    sortByHead(current.isValid() ? current.column() : m_state.currentColumn(), button);
    event->accept();
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
    showTopRow(m_state.topRow());
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
