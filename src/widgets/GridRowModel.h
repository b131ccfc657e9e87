// SPDX-License-Identifier: GPL-3.0-or-later
// The rows the grid's view shows, over a bound two-level data source: the
// source's top rows (band 0), and under each of them a header row for band 1
// followed by the source's child rows. It has one column: the grid paints a
// row's cells itself, since each band has its own columns and widths.
//
// Child indexes carry a pointer to their parent's entry as internal id. Small
// integer ids hash badly in Qt's index hashes and made expanding a large
// playlist hundreds of times slower.
//
// A row filter leaves out the rows it does not hold, here rather than in the
// view: hiding thousands of rows in a QTreeView one by one (a persistent
// index each) took seconds.
#pragma once

#include <QAbstractItemModel>
#include <QPointer>
#include <functional>
#include <vector>

namespace tidyfox::widgets {

class GridRowModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit GridRowModel(QObject *parent = nullptr);

    void setSource(QAbstractItemModel *source);
    QAbstractItemModel *source() const { return m_source; }
    // Without children only band 0 is shown.
    void setShowChildren(bool show);
    // Which source rows show: a top row when it holds or one of its children
    // does, a child when it or its top row holds. Empty functions show all.
    using RowTest = std::function<bool(const QModelIndex &sourceRow)>;
    void setRowFilter(RowTest topHolds, RowTest childHolds);

    bool isHeaderRow(const QModelIndex &index) const;
    // 0 for a top row, 1 for a child or header row.
    static int bandOf(const QModelIndex &index) { return index.internalPointer() ? 1 : 0; }
    // The source index of a data row in the given column; invalid for a header row.
    QModelIndex toSource(const QModelIndex &index, int column = 0) const;
    QModelIndex fromSource(const QModelIndex &source) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct TopRow
    {
        int row = 0;           // in the source
        bool filtered = false; // only the children below show
        std::vector<int> children;
    };
    int sourceChildRow(const TopRow &top, int viewRow) const;

    void rebuild();
    void beginSourceChange();
    void endSourceChange();
    void forwardDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    const TopRow *topOf(const QModelIndex &index) const { return static_cast<const TopRow *>(index.internalPointer()); }

    QPointer<QAbstractItemModel> m_source;
    std::vector<QMetaObject::Connection> m_connections;
    // One entry per source top row; its address is the id of that row's children.
    std::vector<TopRow> m_top;
    std::vector<int> m_viewRowOf; // the view row of each source top row, -1 when left out
    RowTest m_topHolds;
    RowTest m_childHolds;
    bool m_showChildren = true;
    bool m_resetting = false;
};

} // namespace tidyfox::widgets
