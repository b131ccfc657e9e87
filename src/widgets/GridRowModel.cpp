#include "widgets/GridRowModel.h"

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

void GridRowModel::rebuild()
{
    m_top.clear();
    const int rows = m_source ? m_source->rowCount() : 0;
    m_top.reserve(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
        m_top.push_back({r});
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
        if (index.row() == 0)
            return {};
        return m_source->index(index.row() - 1, column, m_source->index(top->row, 0));
    }
    return m_source->index(index.row(), column);
}

QModelIndex GridRowModel::fromSource(const QModelIndex &source) const
{
    if (!m_source || !source.isValid() || source.model() != m_source)
        return {};
    const QModelIndex sourceParent = source.parent();
    if (!sourceParent.isValid())
        return index(source.row(), 0);
    if (sourceParent.parent().isValid() || !m_showChildren)
        return {};
    return index(source.row() + 1, 0, index(sourceParent.row(), 0));
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
        return createIndex(top->row, 0, nullptr);
    return {};
}

int GridRowModel::rowCount(const QModelIndex &parent) const
{
    if (!m_source)
        return 0;
    if (!parent.isValid())
        return static_cast<int>(m_top.size());
    if (parent.internalPointer() || !m_showChildren)
        return 0;
    const int children = m_source->rowCount(m_source->index(parent.row(), 0));
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
