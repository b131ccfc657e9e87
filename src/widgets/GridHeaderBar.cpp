// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/GridHeaderBar.h"

#include "widgets/GridView.h"
#include "widgets/TreeGrid.h"

#include <QMouseEvent>
#include <QPainter>

namespace tidyfox::widgets {

GridHeaderBar::GridHeaderBar(TreeGrid *grid) : QWidget(grid), m_grid(grid)
{
    setMouseTracking(true);
}

QSize GridHeaderBar::sizeHint() const
{
    return {0, m_grid->m_view->rowHeight()};
}

int GridHeaderBar::cellX(int x) const
{
    return x - m_grid->columnStart() - m_grid->bandCellOrigin(0);
}

void GridHeaderBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_grid->m_view->palette().color(QPalette::Base));
    if (m_grid->bandCount() > 0)
        m_grid->paintBandHeader(painter, 0, QRect(0, 0, width(), height()));
}

void GridHeaderBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_grid->bandCount() == 0)
        return;
    m_pressed = true;
    m_grid->headerPress(0, cellX(event->position().toPoint().x()));
}

void GridHeaderBar::mouseMoveEvent(QMouseEvent *event)
{
    const int x = cellX(event->position().toPoint().x());
    if (m_pressed) {
        m_grid->headerMove(x);
        return;
    }
    setCursor(m_grid->bandCount() > 0 && m_grid->onColumnEdge(0, x) ? Qt::SplitHCursor : Qt::ArrowCursor);
}

void GridHeaderBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    m_pressed = false;
    m_grid->headerRelease(cellX(event->position().toPoint().x()), event->modifiers());
}

} // namespace tidyfox::widgets
