// SPDX-License-Identifier: GPL-3.0-or-later
// Painting one row of the grid: a data row or a band's header row, with its
// row selector and cells. The grid works out what to paint; this only draws.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <vector>

class QPainter;

namespace tidyfox::widgets {

// A shown column of a band: x is relative to the band's first cell.
struct GridColumnSpan
{
    int position;
    int x;
    int width;
    bool ellipses;
};

struct GridBandColors
{
    QColor rowBack;
    QColor rowFore;
    QColor headerBack;
    QColor headerFore;
    QColor selectorBack;
    QColor highlight;
    QColor highlightText;
};

struct GridRowPicture
{
    // cells.left() is where the band's first cell starts; the row selector,
    // when there is one, lies just left of it.
    QRect cells;
    int selectorWidth = 0;
    const std::vector<GridColumnSpan> *spans = nullptr;
    std::vector<QString> texts; // one per span
    const GridBandColors *colors = nullptr;
    bool header = false;
    bool selected = false;
    bool current = false; // the row of the active cell
    int activeSpan = -1;  // the span of the active cell
    bool focus = false;   // the grid has the keyboard focus
    bool marked = false;  // struck through, with a mark in its selector
};

void paintGridRow(QPainter &painter, const GridRowPicture &row);
// The open/closed marker of a row with children, centred in area.
void paintExpander(QPainter &painter, const QRect &area, bool expanded, const QColor &color);

} // namespace tidyfox::widgets
