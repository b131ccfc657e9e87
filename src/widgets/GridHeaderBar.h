// SPDX-License-Identifier: GPL-3.0-or-later
// The header row of band 0, fixed above the grid's rows; it follows the rows
// sideways and passes header gestures to the grid.
#pragma once

#include <QWidget>

namespace tidyfox::widgets {

class TreeGrid;

class GridHeaderBar : public QWidget
{
    Q_OBJECT
public:
    explicit GridHeaderBar(TreeGrid *grid);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int cellX(int x) const;

    TreeGrid *m_grid;
    bool m_pressed = false;
};

} // namespace tidyfox::widgets
