// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/GridView.h"

#include "widgets/GridRowModel.h"
#include "widgets/TreeGrid.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace tidyfox::widgets {

namespace {

constexpr int kRowPadding = 5;

// Every row is one line high; the view then lays out rows without asking each.
class UniformRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {1, option.fontMetrics.height() + kRowPadding};
    }
};

int shiftState(Qt::KeyboardModifiers modifiers)
{
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= 1;
    if (modifiers & Qt::ControlModifier)
        state |= 2;
    if (modifiers & Qt::AltModifier)
        state |= 4;
    return state;
}

} // namespace

GridView::GridView(TreeGrid *grid) : QTreeView(grid), m_grid(grid)
{
    setItemDelegate(new UniformRowDelegate(this));
    setUniformRowHeights(true);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setIndentation(12);
    setExpandsOnDoubleClick(false);
    setItemsExpandable(true);
    setAnimated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFocusPolicy(Qt::WheelFocus);
}

int GridView::rowHeight() const
{
    return fontMetrics().height() + kRowPadding;
}

void GridView::settle()
{
    executeDelayedItemsLayout();
    updateGeometries();
}

void GridView::paintEvent(QPaintEvent *event)
{
    QTreeView::paintEvent(event);
    if (!m_grid->stuckHeader().isValid())
        return;
    QPainter painter(viewport());
    const QRect row(0, 0, viewport()->width(), rowHeight());
    painter.fillRect(row, viewport()->palette().color(QPalette::Base));
    m_grid->paintBandHeader(painter, 1, row);
}

bool GridView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = m_grid->tipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QTreeView::viewportEvent(event);
}

QModelIndex GridView::rowAt(QPoint pos) const
{
    if (pos.y() >= 0 && pos.y() < rowHeight()) {
        if (const QModelIndex stuck = m_grid->stuckHeader(); stuck.isValid())
            return stuck;
    }
    return indexAt(pos);
}

void GridView::drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    m_grid->paintViewRow(*painter, QRect(0, option.rect.y(), viewport()->width(), option.rect.height()), index);
}

bool GridView::pressOnHeaderRow(const QModelIndex &index, int x)
{
    auto *rows = static_cast<GridRowModel *>(model());
    if (!rows->isHeaderRow(index))
        return false;
    m_grid->headerPress(1, x - m_grid->columnStart() - m_grid->bandCellOrigin(1));
    m_headerGesture = true;
    return true;
}

void GridView::mousePressEvent(QMouseEvent *event)
{
    m_ignoreRelease = true;
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = rowAt(pos);
    if (!index.isValid())
        return;
    if (event->button() == Qt::LeftButton && pressOnHeaderRow(index, pos.x()))
        return;
    auto *rows = static_cast<GridRowModel *>(model());
    if (rows->isHeaderRow(index))
        return;

    const int band = GridRowModel::bandOf(index);
    const int x = pos.x() - m_grid->columnStart();
    if (band == 0 && x >= 0 && x < indentation()) {
        // The open/closed marker of a playlist row.
        if (rows->hasChildren(index))
            setExpanded(index, !isExpanded(index));
        return;
    }

    int position = m_grid->cellPosition(band);
    const auto spans = m_grid->spans(band);
    if (const int span = m_grid->spanAt(spans, x - m_grid->bandCellOrigin(band)); span >= 0)
        position = spans[static_cast<size_t>(span)].position;
    if (!m_grid->activate(index, position))
        return;
    m_ignoreRelease = false;
    // A click must not scroll a half-shown row into view: the rows would move
    // between the two presses of a double-click, and the second would land on
    // another row. The keyboard still scrolls to the row it moves to.
    const bool scrolls = hasAutoScroll();
    setAutoScroll(false);
    QTreeView::mousePressEvent(event);
    setAutoScroll(scrolls);
}

void GridView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_headerGesture) {
        m_grid->headerMove(pos.x() - m_grid->columnStart() - m_grid->bandCellOrigin(1));
        return;
    }
    if (event->buttons() != Qt::NoButton)
        return; // no drag selection: selections grow with Shift and Ctrl
    const QModelIndex index = rowAt(pos);
    const bool edge = static_cast<GridRowModel *>(model())->isHeaderRow(index) &&
                      m_grid->onColumnEdge(1, pos.x() - m_grid->columnStart() - m_grid->bandCellOrigin(1));
    viewport()->setCursor(edge ? Qt::SplitHCursor : Qt::ArrowCursor);
    QTreeView::mouseMoveEvent(event);
}

void GridView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_headerGesture) {
        m_headerGesture = false;
        m_grid->headerRelease(event->position().toPoint().x() - m_grid->columnStart() - m_grid->bandCellOrigin(1),
                              event->modifiers());
        return;
    }
    if (m_ignoreRelease)
        return;
    QTreeView::mouseReleaseEvent(event);
}

void GridView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    Q_EMIT m_grid->doubleClicked();
}

void GridView::keyPressEvent(QKeyEvent *event)
{
    CursorAction action;
    switch (event->key()) {
    case Qt::Key_Up:
        action = MoveUp;
        break;
    case Qt::Key_Down:
        action = MoveDown;
        break;
    case Qt::Key_PageUp:
        action = MovePageUp;
        break;
    case Qt::Key_PageDown:
        action = MovePageDown;
        break;
    case Qt::Key_Home:
        action = MoveHome;
        break;
    case Qt::Key_End:
        action = MoveEnd;
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        m_grid->moveActiveCell(event->key() == Qt::Key_Left ? -1 : 1);
        event->accept();
        return;
    case Qt::Key_Delete:
        m_grid->requestRowDeletion();
        event->accept();
        return;
    case Qt::Key_F2:
        m_grid->requestCellEdit();
        event->accept();
        return;
    default:
        QTreeView::keyPressEvent(event);
        return;
    }
    const QModelIndex next = moveCursor(action, event->modifiers());
    if (next.isValid() && next != currentIndex() &&
        !m_grid->activate(next, m_grid->cellPosition(GridRowModel::bandOf(next)))) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void GridView::keyReleaseEvent(QKeyEvent *event)
{
    if (!event->isAutoRepeat())
        Q_EMIT m_grid->keyReleased(event->key(), shiftState(event->modifiers()));
    QTreeView::keyReleaseEvent(event);
}

} // namespace tidyfox::widgets
