// SPDX-License-Identifier: GPL-3.0-or-later

#include "grids/ui/pair_matrix_window.h"

#include "app/race_sheet.h"
#include "common/text_convert.h"
#include "common/ui/gui_support.h"
#include "settings/settings_store.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QToolTip>

using namespace CommonFunc;

namespace {

constexpr int defaultLeft = 2400;
constexpr int defaultTop = 1500;
constexpr int defaultWidth = 8400;
constexpr int defaultHeight = 8400;

constexpr int kMargin = 6;    // pixels round the matrix
constexpr int kSmallest = 12; // a cell's side never goes below this

const QColor kLine(176, 176, 176);
const QColor kDiagonal(128, 128, 128);
const QColor kBlank(236, 236, 236);
const QColor kScratched(200, 200, 200);
const QColor kAxis(244, 244, 244);

QColor colourOf(qint32 colour)
{
    const auto c = quint32(colour);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

} // namespace

PairMatrixWindow::PairMatrixWindow(RaceSheet &sheet, SelectHandler onSelect, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_sheet(sheet)
    , m_onSelect(std::move(onSelect))
    , m_matrix(std::make_unique<DeviationMatrix>())
{
    setObjectName(QStringLiteral("frmPairMatrix"));
    setWindowTitle(QStringLiteral(u"ﾏﾄﾘｸｽ"));
    setFont(QFont(QStringLiteral(u"ＭＳ Ｐゴシック"), 9));
    // 18 horses at the smallest cells.
    const int least = kSmallest * (MaxHorses + 1) + 2 * kMargin;
    setMinimumSize(least, least);
    connect(&m_sheet, &RaceSheet::changed, this, &PairMatrixWindow::rebuild);
    rebuild();
}

PairMatrixWindow::~PairMatrixWindow()
{
    if (m_opened && !isMinimized())
        Gui::storePlacement(this, Section::pairMatrixWindow());
}

void PairMatrixWindow::open() { Gui::bringForward(this); }

void PairMatrixWindow::showEvent(QShowEvent *event)
{
    if (!m_opened && !event->spontaneous()) {
        m_opened = true;
        Gui::restorePlacement(this, Section::pairMatrixWindow(),
                              {defaultLeft, defaultTop, defaultWidth, defaultHeight});
    }
    QWidget::showEvent(event);
}

void PairMatrixWindow::rebuild()
{
    *m_matrix = m_sheet.analysis ? BuildDeviationMatrix(*m_sheet.analysis) : DeviationMatrix();
    update();
}

// The horses plus the axis band, as squares that fill the shorter side.
int PairMatrixWindow::cellSize() const
{
    const int n = m_matrix->horses + 1;
    const int side = std::min(width(), height()) - 2 * kMargin;
    return std::max(kSmallest, side / n);
}

QPoint PairMatrixWindow::origin() const
{
    const int size = cellSize();
    return {kMargin + size, kMargin + size};
}

QRect PairMatrixWindow::cellRect(int row, int column) const
{
    const int size = cellSize();
    const QPoint o = origin();
    return {o.x() + (column - 1) * size, o.y() + (row - 1) * size, size, size};
}

std::pair<int, int> PairMatrixWindow::cellAt(const QPoint &point) const
{
    const int size = cellSize();
    const QPoint o = origin();
    if (point.x() < o.x() || point.y() < o.y())
        return {0, 0};
    const int column = (point.x() - o.x()) / size + 1;
    const int row = (point.y() - o.y()) / size + 1;
    if (row > m_matrix->horses || column > m_matrix->horses || row == column)
        return {0, 0};
    return {row, column};
}

QString PairMatrixWindow::toolTipText(int row, int column) const
{
    if (row < 1 || column < 1 || row > m_matrix->horses || column > m_matrix->horses || row == column)
        return {};
    const BetType type = DeviationMatrixType(row, column);
    const DeviationCell &cell = m_matrix->at(row, column);
    QString text = PairGridHead(type) + MakePairLabel(std::min(row, column), std::max(row, column)).trimmed();
    if (cell.scratched)
        return text + u'\n' + ScratchedText();
    text += QStringLiteral(u"\n理論値 ") + cell.theoretical.trimmed();
    text += QStringLiteral(u"\n実際値 ") + cell.actual.trimmed();
    text += QStringLiteral(u"\n乖離％ ") + cell.deviationText.trimmed();
    if (!cell.mark.isEmpty())
        text += QStringLiteral(u"\n判定 ") + cell.mark;
    if (!cell.expectedValue.isEmpty())
        text += QStringLiteral(u"\n期待値 ") + cell.expectedValue;
    return text;
}

bool PairMatrixWindow::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const auto [row, column] = cellAt(help->pos());
        const QString text = toolTipText(row, column);
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this, cellRect(row, column));
        return true;
    }
    return QWidget::event(event);
}

void PairMatrixWindow::mousePressEvent(QMouseEvent *event)
{
    const auto [row, column] = cellAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || row == 0 || !m_onSelect) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_onSelect(DeviationMatrixType(row, column), std::min(row, column), std::max(row, column));
}

void PairMatrixWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const DeviationMatrix &m = *m_matrix;
    const int n = m.horses;
    const int size = cellSize();

    // Texts grow with the cells, up to a readable size.
    QFont numberFont = font();
    numberFont.setPixelSize(std::clamp(size * 2 / 5, 7, 16));
    numberFont.setBold(true);
    QFont smallFont = font();
    smallFont.setPixelSize(std::clamp(size * 3 / 10, 6, 12));
    QFont markFont = font();
    markFont.setPixelSize(std::clamp(size / 2, 7, 24));

    // The corner: which side holds which bet type.
    const QRect corner(kMargin, kMargin, size, size);
    painter.fillRect(corner, kAxis);
    painter.setPen(kLine);
    painter.drawLine(corner.topLeft(), corner.bottomRight());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(smallFont);
    painter.drawText(corner.adjusted(2, 1, -2, -1), Qt::AlignRight | Qt::AlignTop, QStringLiteral(u"馬連"));
    painter.drawText(corner.adjusted(2, 1, -2, -1), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral(u"ﾜｲﾄﾞ"));

    // The axes: horse number over its win popularity rank.
    for (int k = 1; k <= n; ++k) {
        const QRect top = cellRect(1, k).translated(0, -size);
        const QRect left = cellRect(k, 1).translated(-size, 0);
        const bool out = m.scratched[std::size_t(k)];
        const QString below = out ? ScratchedText() : m.popularity[std::size_t(k)];
        for (const QRect &r : {top, left}) {
            painter.fillRect(r, kAxis);
            painter.setPen(out ? kDiagonal : palette().color(QPalette::WindowText));
            painter.setFont(numberFont);
            painter.drawText(r.adjusted(0, 0, 0, -r.height() / 2 + 2), Qt::AlignHCenter | Qt::AlignBottom,
                             QString::number(k));
            if (!below.isEmpty()) {
                painter.setFont(smallFont);
                painter.drawText(r.adjusted(0, r.height() / 2, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                                 out ? below : QStringLiteral("(%1)").arg(below));
            }
        }
    }

    painter.setFont(markFont);
    for (int row = 1; row <= n; ++row) {
        for (int column = 1; column <= n; ++column) {
            const QRect r = cellRect(row, column);
            if (row == column) {
                painter.fillRect(r, kDiagonal);
                continue;
            }
            const DeviationCell &cell = m.at(row, column);
            if (cell.scratched) {
                painter.fillRect(r, kScratched);
                painter.fillRect(r, QBrush(kDiagonal, Qt::BDiagPattern));
                continue;
            }
            if (!cell.deviation) {
                painter.fillRect(r, kBlank);
                continue;
            }
            painter.fillRect(r, colourOf(DeviationColour(cell.step)));
            if (!cell.mark.isEmpty()) {
                painter.setPen(std::abs(cell.step) >= 4 ? Qt::white : Qt::black);
                painter.drawText(r, Qt::AlignCenter, cell.mark);
            }
        }
    }

    // Lines between the cells, the diagonal's edge drawn like the rest.
    painter.setPen(kLine);
    const QPoint o = origin();
    for (int k = 0; k <= n; ++k) {
        painter.drawLine(o.x() - size, o.y() + k * size, o.x() + n * size, o.y() + k * size);
        painter.drawLine(o.x() + k * size, o.y() - size, o.x() + k * size, o.y() + n * size);
    }
}
