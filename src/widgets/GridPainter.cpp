// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/GridPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPolygon>

namespace tidyfox::widgets {

namespace {

constexpr int kTextMargin = 3;
// Grid lines are a shade darker than what they separate.
constexpr int kLineDarkness = 125;

void paintSelector(QPainter &painter, const GridRowPicture &row)
{
    const QRect box(row.cells.left() - row.selectorWidth, row.cells.top(), row.selectorWidth, row.cells.height());
    const QColor back = row.header ? row.colors->headerBack : row.colors->selectorBack;
    painter.fillRect(box, back);
    painter.setPen(back.darker(kLineDarkness));
    painter.drawLine(box.topRight(), box.bottomRight());
    painter.drawLine(box.bottomLeft(), box.bottomRight());
    if (row.marked && !row.current) {
        // A small cross: the row's file is missing.
        const QPoint c = box.center();
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(QColor(0xb3, 0x26, 0x1e), 1.5));
        painter.drawLine(c + QPoint(-3, -3), c + QPoint(3, 3));
        painter.drawLine(c + QPoint(3, -3), c + QPoint(-3, 3));
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    if (!row.current || row.header)
        return;
    // A small arrow marks the row of the active cell.
    const int cx = box.center().x();
    const int cy = box.center().y();
    QPolygon arrow({QPoint(cx - 2, cy - 4), QPoint(cx + 2, cy), QPoint(cx - 2, cy + 4)});
    painter.setPen(Qt::NoPen);
    painter.setBrush(row.colors->rowFore);
    painter.drawPolygon(arrow);
    painter.setBrush(Qt::NoBrush);
}

} // namespace

void paintGridRow(QPainter &painter, const GridRowPicture &row)
{
    painter.save();
    if (row.selectorWidth > 0)
        paintSelector(painter, row);

    const GridBandColors &colors = *row.colors;
    QColor back = row.header ? colors.headerBack : colors.rowBack;
    QColor fore = row.header ? colors.headerFore : colors.rowFore;
    if (row.selected) {
        back = colors.highlight;
        fore = colors.highlightText;
    }
    QFont font = painter.font();
    if (row.header)
        font.setBold(true);
    font.setStrikeOut(row.marked);
    painter.setFont(font);
    const QFontMetrics metrics(font);

    for (size_t i = 0; i < row.spans->size(); ++i) {
        const GridColumnSpan &span = (*row.spans)[i];
        const QRect cell(row.cells.left() + span.x, row.cells.top(), span.width, row.cells.height());
        painter.fillRect(cell, back);
        painter.setPen(back.darker(kLineDarkness));
        painter.drawLine(cell.topRight(), cell.bottomRight());
        painter.drawLine(cell.bottomLeft(), cell.bottomRight());

        const QRect textRect = cell.adjusted(kTextMargin, 0, -kTextMargin - 1, -1);
        if (textRect.width() <= 0)
            continue;
        QString text = i < row.texts.size() ? row.texts[i] : QString();
        if (span.ellipses)
            text = metrics.elidedText(text, Qt::ElideRight, textRect.width());
        painter.setPen(fore);
        painter.setClipRect(textRect);
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        painter.setClipping(false);

        if (row.focus && static_cast<int>(i) == row.activeSpan) {
            QPen pen(fore, 1, Qt::DotLine);
            painter.setPen(pen);
            painter.drawRect(cell.adjusted(1, 1, -2, -2));
        }
    }
    painter.restore();
}

void paintExpander(QPainter &painter, const QRect &area, bool expanded, const QColor &color)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const QPointF c = QRectF(area).center();
    QPolygonF marker;
    if (expanded)
        marker << QPointF(c.x() - 4, c.y() - 2) << QPointF(c.x() + 4, c.y() - 2) << QPointF(c.x(), c.y() + 3);
    else
        marker << QPointF(c.x() - 2, c.y() - 4) << QPointF(c.x() + 3, c.y()) << QPointF(c.x() - 2, c.y() + 4);
    painter.drawPolygon(marker);
    painter.restore();
}

} // namespace tidyfox::widgets
