// SPDX-License-Identifier: GPL-3.0-or-later
// The tree view inside the grid. It leaves painting and the grid's gestures to
// TreeGrid and keeps QTreeView's scrolling, expansion and selection.
#pragma once

#include <QTreeView>

namespace tidyfox::widgets {

class TreeGrid;

class GridView : public QTreeView
{
    Q_OBJECT
public:
    explicit GridView(TreeGrid *grid);

    // Height of every row, header rows included.
    int rowHeight() const;
    // Lays out the rows and scroll bars now rather than at the next event
    // loop pass, so that what the grid reports and shows is current.
    void settle();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void drawBranches(QPainter *, const QRect &, const QModelIndex &) const override {}
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    bool pressOnHeaderRow(const QModelIndex &index, int x);
    // The row at pos, the header kept at the top standing for its own row.
    QModelIndex rowAt(QPoint pos) const;

    TreeGrid *m_grid;
    bool m_headerGesture = false;
    bool m_ignoreRelease = false;
};

} // namespace tidyfox::widgets
