// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/GridRowModel.h"

#include <algorithm>

namespace tidyfox::widgets {

GridRowModel::GridRowModel(QObject *parent) : QAbstractItemModel(parent) {}

void GridRowModel::setSource(QAbstractItemModel *source)
{
    beginResetModel();
    for (const auto &connection : m_connections)
        disconnect(connection);
    m_connections.clear();
    m_source = source;
    if (source) {
        // The grid shows a data source that is built before it is bound; any
        // change of shape afterwards simply rebuilds the rows.
        auto begin = [this] { beginSourceChange(); };
        auto end = [this] { endSourceChange(); };
        m_connections = {
            connect(source, &QAbstractItemModel::modelAboutToBeReset, this, begin),
            connect(source, &QAbstractItemModel::modelReset, this, end),
            connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this, begin),
            connect(source, &QAbstractItemModel::rowsInserted, this, end),
            connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, begin),
            connect(source, &QAbstractItemModel::rowsRemoved, this, end),
            connect(source, &QAbstractItemModel::rowsAboutToBeMoved, this, begin),
            connect(source, &QAbstractItemModel::rowsMoved, this, end),
            connect(source, &QAbstractItemModel::columnsAboutToBeInserted, this, begin),
            connect(source, &QAbstractItemModel::columnsInserted, this, end),
            connect(source, &QAbstractItemModel::columnsAboutToBeRemoved, this, begin),
            connect(source, &QAbstractItemModel::columnsRemoved, this, end),
            connect(source, &QAbstractItemModel::columnsAboutToBeMoved, this, begin),
            connect(source, &QAbstractItemModel::columnsMoved, this, end),
            connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, begin),
            connect(source, &QAbstractItemModel::layoutChanged, this, end),
            connect(source, &QAbstractItemModel::dataChanged, this, &GridRowModel::forwardDataChanged),
            connect(source, &QObject::destroyed, this, [this] { setSource(nullptr); }),
        };
    }
    rebuild();
    endResetModel();
}

void GridRowModel::setShowChildren(bool show)
{
    if (show == m_showChildren)
        return;
    beginResetModel();
    m_showChildren = show;
    endResetModel();
}

void GridRowModel::setRowFilter(RowTest topHolds, RowTest childHolds)
{
    beginResetModel();
    m_topHolds = std::move(topHolds);
    m_childHolds = std::move(childHolds);
    rebuild();
    endResetModel();
}

void GridRowModel::rebuild()
{
    m_top.clear();
    m_viewRowOf.clear();
    const int rows = m_source ? m_source->rowCount() : 0;
    m_viewRowOf.assign(static_cast<size_t>(rows), -1);
    const bool filtering = m_topHolds && m_childHolds;
    for (int r = 0; r < rows; ++r) {
        TopRow top{r, false, {}};
        if (filtering) {
            const QModelIndex sourceTop = m_source->index(r, 0);
            if (!m_topHolds(sourceTop)) {
                top.filtered = true;
                const int children = m_source->rowCount(sourceTop);
                for (int c = 0; c < children; ++c) {
                    if (m_childHolds(m_source->index(c, 0, sourceTop)))
                        top.children.push_back(c);
                }
                if (top.children.empty())
                    continue;
            }
        }
        m_viewRowOf[static_cast<size_t>(r)] = static_cast<int>(m_top.size());
        m_top.push_back(std::move(top));
    }
}

int GridRowModel::sourceChildRow(const TopRow &top, int viewRow) const
{
    // View row 0 is the band's header row.
    if (viewRow < 1)
        return -1;
    if (!top.filtered)
        return viewRow - 1;
    return viewRow - 1 < int(top.children.size()) ? top.children[size_t(viewRow - 1)] : -1;
}

void GridRowModel::beginSourceChange()
{
    if (m_resetting)
        return;
    m_resetting = true;
    beginResetModel();
}

void GridRowModel::endSourceChange()
{
    if (!m_resetting)
        return;
    rebuild();
    m_resetting = false;
    endResetModel();
}

void GridRowModel::forwardDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    if (m_resetting)
        return;
    const QModelIndex first = fromSource(topLeft.siblingAtColumn(0));
    const QModelIndex last = fromSource(bottomRight.siblingAtColumn(0));
    if (first.isValid() && last.isValid())
        Q_EMIT dataChanged(first, last);
}

bool GridRowModel::isHeaderRow(const QModelIndex &index) const
{
    return index.isValid() && index.internalPointer() && index.row() == 0;
}

QModelIndex GridRowModel::toSource(const QModelIndex &index, int column) const
{
    if (!m_source || !index.isValid() || index.model() != this)
        return {};
    if (const TopRow *top = topOf(index)) {
        const int child = sourceChildRow(*top, index.row());
        return child < 0 ? QModelIndex() : m_source->index(child, column, m_source->index(top->row, 0));
    }
    if (index.row() >= int(m_top.size()))
        return {};
    return m_source->index(m_top[size_t(index.row())].row, column);
}

QModelIndex GridRowModel::fromSource(const QModelIndex &source) const
{
    if (!m_source || !source.isValid() || source.model() != m_source)
        return {};
    const auto viewRowOf = [this](int sourceTop) {
        return sourceTop >= 0 && sourceTop < int(m_viewRowOf.size()) ? m_viewRowOf[size_t(sourceTop)] : -1;
    };
    const QModelIndex sourceParent = source.parent();
    if (!sourceParent.isValid()) {
        const int row = viewRowOf(source.row());
        return row < 0 ? QModelIndex() : index(row, 0);
    }
    if (sourceParent.parent().isValid() || !m_showChildren)
        return {};
    const int parentRow = viewRowOf(sourceParent.row());
    if (parentRow < 0)
        return {};
    const TopRow &top = m_top[size_t(parentRow)];
    int row = source.row() + 1;
    if (top.filtered) {
        const auto found = std::lower_bound(top.children.begin(), top.children.end(), source.row());
        if (found == top.children.end() || *found != source.row())
            return {};
        row = int(found - top.children.begin()) + 1;
    }
    return index(row, 0, index(parentRow, 0));
}

QModelIndex GridRowModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0 || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, 0, nullptr);
    return createIndex(row, 0, const_cast<TopRow *>(&m_top[static_cast<size_t>(parent.row())]));
}

QModelIndex GridRowModel::parent(const QModelIndex &child) const
{
    if (const TopRow *top = child.isValid() ? topOf(child) : nullptr)
        return createIndex(int(top - m_top.data()), 0, nullptr);
    return {};
}

int GridRowModel::rowCount(const QModelIndex &parent) const
{
    if (!m_source)
        return 0;
    if (!parent.isValid())
        return static_cast<int>(m_top.size());
    if (parent.internalPointer() || !m_showChildren || parent.row() >= int(m_top.size()))
        return 0;
    const TopRow &top = m_top[size_t(parent.row())];
    const int children = top.filtered ? int(top.children.size()) : m_source->rowCount(m_source->index(top.row, 0));
    // The band's own header row comes first.
    return children > 0 ? children + 1 : 0;
}

int GridRowModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool GridRowModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant GridRowModel::data(const QModelIndex &, int) const
{
    // The grid paints the cells from the source itself.
    return {};
}

Qt::ItemFlags GridRowModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (!index.internalPointer())
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // A header row can be neither selected nor reached with the keyboard.
    if (index.row() == 0)
        return Qt::ItemNeverHasChildren;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace tidyfox::widgets
