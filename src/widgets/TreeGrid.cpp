// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/TreeGrid.h"

#include "widgets/GridHeaderBar.h"
#include "widgets/GridLog.h"
#include "widgets/GridRoles.h"
#include "widgets/GridRowModel.h"
#include "widgets/GridView.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace tidyfox::widgets {

namespace {

constexpr int kSelectorWidth = 11;
constexpr int kEdgeGrip = 3;
constexpr int kDragThreshold = 4;

// The first colour that is set, from the most particular setting to the most general.
QColor pick(std::initializer_list<std::optional<QColor>> settings, const QColor &fallback)
{
    for (const auto &color : settings)
        if (color)
            return *color;
    return fallback;
}

} // namespace

TreeGrid::TreeGrid(QWidget *parent)
    : QWidget(parent), m_override(new GridSettings(this)), m_appearance(new GridAppearance(this)),
      m_scrollRegion(new GridScrollRegion(this))
{
    m_caption = new QLabel(this);
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setAutoFillBackground(true);
    m_caption->setBackgroundRole(QPalette::Button);
    m_caption->setForegroundRole(QPalette::ButtonText);
    m_caption->setVisible(false);

    m_view = new GridView(this);
    m_rows = new GridRowModel(this);
    m_view->setModel(m_rows);
    m_headerBar = new GridHeaderBar(this);
    m_headerBar->setVisible(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1); // room for the border
    layout->setSpacing(0);
    layout->addWidget(m_caption);
    layout->addWidget(m_headerBar);
    layout->addWidget(m_view, 1);
    setFocusProxy(m_view);

    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(QHeaderView::Fixed);
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_headerBar, qOverload<>(&QWidget::update));
    connect(m_rows, &QAbstractItemModel::modelReset, this, [this] {
        ++m_generation;
        // The bound data changed shape; its bands are set up again only when
        // their columns changed, so the settings made on them stay.
        if (m_source && bandShape() != currentBandShape()) {
            qCDebug(lcGrid) << "the data source changed its columns; the bands are set up again";
            rebuildBands();
        }
        settingsChanged();
    });
    settingsChanged();
}

TreeGrid::~TreeGrid()
{
    // The view must let go of the rows before the data behind them goes.
    m_view->setModel(nullptr);
    m_rows->setSource(nullptr);
}

QTreeView *TreeGrid::view() const
{
    return m_view;
}

void TreeGrid::setStackOrder(StackOrder order)
{
    const int position = static_cast<int>(order);
    if (position == 0)
        raise();
    else if (position == 1)
        lower();
    else
        throw GridError(GridError::InvalidValue, QStringLiteral("Invalid z-order position %1").arg(position));
}

QString TreeGrid::caption() const
{
    return m_caption->text();
}

void TreeGrid::setCaption(const QString &caption)
{
    m_caption->setText(caption);
    m_caption->setVisible(!caption.isEmpty());
}

void TreeGrid::setViewStyle(ViewStyle setting)
{
    const int style = static_cast<int>(setting);
    if (style != 0 && style != 1)
        throw GridError(GridError::InvalidValue, QStringLiteral("Invalid view style %1").arg(style));
    m_viewStyle = style;
    m_rows->setShowChildren(style == 1);
    settingsChanged();
}

void TreeGrid::setViewStyleBand(BandLayout setting)
{
    const int style = static_cast<int>(setting);
    if (style < 0 || style > 2)
        throw GridError(GridError::InvalidValue, QStringLiteral("Invalid band view style %1").arg(style));
    m_viewStyleBand = style;
}

void TreeGrid::refresh()
{
    settingsChanged();
}

void TreeGrid::setDataSource(std::shared_ptr<QAbstractItemModel> source)
{
    QAbstractItemModel *raw = source.get();
    bind(std::move(source), raw);
}

void TreeGrid::setDataSource(QAbstractItemModel *source)
{
    bind(nullptr, source);
}

void TreeGrid::setDataSource(std::nullptr_t)
{
    bind(nullptr, nullptr);
}

QAbstractItemModel *TreeGrid::dataSource() const
{
    return m_source;
}

void TreeGrid::bind(std::shared_ptr<QAbstractItemModel> owned, QAbstractItemModel *source)
{
    // The previous data stays alive until the view has let go of it.
    std::shared_ptr<QAbstractItemModel> previous = std::move(m_owned);
    m_owned = std::move(owned);
    m_source = source;
    m_activeRow = QPersistentModelIndex();
    m_activePosition = -1;
    m_bandPosition = {-1, -1};
    m_gesture = {};
    m_bands.clear();
    m_rows->setSource(source);
    rebuildBands();
    m_headerBar->setVisible(source != nullptr);
    settingsChanged();
}

void TreeGrid::filterRows(const QString &text, std::vector<int> topFields, std::vector<int> childFields)
{
    m_filter = {text.trimmed(), std::move(topFields), std::move(childFields)};
    applyFilter();
}

void TreeGrid::applyFilter()
{
    if (!m_source)
        return;
    GridRowModel::RowTest topHolds;
    GridRowModel::RowTest childHolds;
    if (!m_filter.text.isEmpty()) {
        const auto holds = [filter = m_filter](const QModelIndex &row, const std::vector<int> &fields) {
            for (const int field : fields) {
                if (row.siblingAtColumn(field)
                        .data(Qt::DisplayRole)
                        .toString()
                        .contains(filter.text, Qt::CaseInsensitive))
                    return true;
            }
            return false;
        };
        topHolds = [holds, fields = m_filter.topFields](const QModelIndex &row) { return holds(row, fields); };
        childHolds = [holds, fields = m_filter.childFields](const QModelIndex &row) { return holds(row, fields); };
    }
    // The rows change: the open playlists stay open, and the list starts at
    // its top again (the selection goes, as the rows it named may be gone).
    const Place kept = place(0);
    m_rows->setRowFilter(std::move(topHolds), std::move(childHolds));
    restorePlace({kept.openKeys, 0}, 0);
}

TreeGrid::Place TreeGrid::place(int keyPosition) const
{
    Place place;
    if (!m_source)
        return place;
    for (int r = 0; r < m_source->rowCount(); ++r) {
        const QModelIndex top = m_source->index(r, keyPosition);
        if (m_view->isExpanded(m_rows->fromSource(top.siblingAtColumn(0))))
            place.openKeys << top.data(Qt::DisplayRole).toString();
    }
    place.scrolledTo = m_view->verticalScrollBar()->value();
    return place;
}

void TreeGrid::restorePlace(const Place &place, int keyPosition)
{
    if (!m_source)
        return;
    for (int r = 0; r < m_source->rowCount(); ++r) {
        const QModelIndex top = m_source->index(r, keyPosition);
        if (place.openKeys.contains(top.data(Qt::DisplayRole).toString()))
            m_view->expand(m_rows->fromSource(top.siblingAtColumn(0)));
    }
    m_view->settle();
    m_view->verticalScrollBar()->setValue(place.scrolledTo);
}

std::pair<int, int> TreeGrid::bandShape() const
{
    if (!m_source)
        return {0, 0};
    const QVariant declared = m_source->headerData(0, Qt::Horizontal, GridRoles::ChildColumnCountRole);
    int childColumns = 0;
    if (declared.isValid())
        childColumns = declared.toInt();
    else if (m_source->rowCount() > 0)
        childColumns = m_source->columnCount(m_source->index(0, 0));
    return {m_source->columnCount(), std::max(childColumns, 0)};
}

std::pair<int, int> TreeGrid::currentBandShape() const
{
    return {bandCount() > 0 ? m_bands[0]->columnCount() : 0, bandCount() > 1 ? m_bands[1]->columnCount() : 0};
}

void TreeGrid::rebuildBands()
{
    m_bands.clear();
    if (!m_source)
        return;
    const auto [topColumns, childColumns] = bandShape();
    std::vector<QString> captions;
    for (int c = 0; c < topColumns; ++c)
        captions.push_back(m_source->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    m_bands.push_back(std::unique_ptr<GridBand>(new GridBand(this, 0, captions)));
    if (childColumns <= 0)
        return;
    captions.clear();
    for (int c = 0; c < childColumns; ++c) {
        const QVariant caption = m_source->headerData(c, Qt::Horizontal, GridRoles::ChildHeaderRole);
        captions.push_back(caption.isValid() ? caption.toString() : QString::number(c + 1));
    }
    m_bands.push_back(std::unique_ptr<GridBand>(new GridBand(this, 1, captions)));
}

void TreeGrid::requireData() const
{
    if (!m_source)
        throw GridError(GridError::NoDataSource, QStringLiteral("No data source is bound to the grid"));
}

GridBand &TreeGrid::band(int index)
{
    requireData();
    if (index < 0 || index >= bandCount())
        throw GridError(GridError::BandOutOfRange, QStringLiteral("The grid has no band %1").arg(index));
    return *m_bands[static_cast<size_t>(index)];
}

GridScrollRegion &TreeGrid::scrollRegion(int index)
{
    if (index != 0)
        throw GridError(GridError::ItemOutOfRange, QStringLiteral("The grid has no scroll region %1").arg(index));
    return *m_scrollRegion;
}

GridCell TreeGrid::activeCell() const
{
    if (!m_activeRow.isValid())
        return {};
    return GridCell(rowFor(m_activeRow), m_activePosition);
}

double TreeGrid::twipsPerPixel() const
{
    if (m_twipsPerPixel > 0)
        return m_twipsPerPixel;
    const QScreen *s = screen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

void TreeGrid::setTwipsPerPixel(double ratio)
{
    m_twipsPerPixel = ratio;
    settingsChanged();
}

int TreeGrid::pixelsFromTwips(int twips) const
{
    return static_cast<int>(std::lround(twips / twipsPerPixel()));
}

int TreeGrid::twipsFromPixels(int pixels) const
{
    return static_cast<int>(std::lround(pixels * twipsPerPixel()));
}

void TreeGrid::settingsChanged()
{
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Base, pick({m_appearance->backColor()}, QWidget::palette().color(QPalette::Base)));
    m_view->setPalette(palette);
    updateExtent();
    m_view->settle();
    m_view->viewport()->update();
    m_headerBar->update();
    update();
}

void TreeGrid::updateExtent()
{
    int extent = 0;
    const int shownBands = m_viewStyle == 1 ? bandCount() : std::min(bandCount(), 1);
    for (int band = 0; band < shownBands; ++band) {
        const auto shown = spans(band);
        const int cells = shown.empty() ? 0 : shown.back().x + shown.back().width;
        extent = std::max(extent, bandCellOrigin(band) + cells);
    }
    m_view->header()->resizeSection(0, extent + 1);
}

// Layout --------------------------------------------------------------------

int TreeGrid::indentation() const
{
    return m_view->indentation();
}

int TreeGrid::selectorWidth(int band) const
{
    if (band >= bandCount())
        return 0;
    int shown = static_cast<int>(m_bands[static_cast<size_t>(band)]->settings().rowSelectors());
    if (shown == 0)
        shown = static_cast<int>(m_override->rowSelectors());
    return shown == 2 ? kSelectorWidth : 0;
}

int TreeGrid::bandCellOrigin(int band) const
{
    return (band + 1) * indentation() + selectorWidth(band);
}

int TreeGrid::columnStart() const
{
    return m_view->header()->sectionViewportPosition(0);
}

std::vector<GridColumnSpan> TreeGrid::spans(int band) const
{
    std::vector<GridColumnSpan> result;
    if (band < 0 || band >= bandCount())
        return result;
    const GridBand &b = *m_bands[static_cast<size_t>(band)];
    int x = 0;
    for (int position : b.displayOrder()) {
        const GridColumn &column = b.column(position);
        if (column.isHidden())
            continue;
        const int width = pixelsFromTwips(column.width());
        result.push_back({position, x, width, column.displayEllipses() == Ellipsis::Shown});
        x += width;
    }
    return result;
}

int TreeGrid::spanAt(const std::vector<GridColumnSpan> &shown, int x) const
{
    for (size_t i = 0; i < shown.size(); ++i)
        if (x >= shown[i].x && x < shown[i].x + shown[i].width)
            return static_cast<int>(i);
    return -1;
}

GridBandColors TreeGrid::colors(int band) const
{
    const QPalette &pal = QWidget::palette();
    const GridSettings &b = band < bandCount() ? m_bands[static_cast<size_t>(band)]->settings() : *m_override;
    const GridSettings &g = *m_override;
    GridBandColors c;
    c.rowBack = pick({b.rowAppearance().backColor(), g.rowAppearance().backColor(), m_appearance->backColor()},
                     pal.color(QPalette::Base));
    c.rowFore = pick({b.rowAppearance().foreColor(), g.rowAppearance().foreColor(), m_appearance->foreColor()},
                     pal.color(QPalette::Text));
    c.headerBack =
        pick({b.headerAppearance().backColor(), g.headerAppearance().backColor()}, pal.color(QPalette::Button));
    c.headerFore =
        pick({b.headerAppearance().foreColor(), g.headerAppearance().foreColor()}, pal.color(QPalette::ButtonText));
    c.selectorBack = pick({b.rowSelectorAppearance().backColor(), g.rowSelectorAppearance().backColor()},
                          pal.color(QPalette::Button));
    c.highlight = pal.color(QPalette::Highlight);
    c.highlightText = pal.color(QPalette::HighlightedText);
    return c;
}

void TreeGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(pick({m_appearance->borderColor()}, QWidget::palette().color(QPalette::Mid)));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TreeGrid::paintViewRow(QPainter &painter, const QRect &rowRect, const QModelIndex &index) const
{
    const int band = GridRowModel::bandOf(index);
    if (band >= bandCount())
        return;
    const int start = columnStart();
    const GridBandColors c = colors(band);
    if (band == 0 && m_rows->hasChildren(index))
        paintExpander(painter, QRect(start, rowRect.top(), indentation(), rowRect.height()), m_view->isExpanded(index),
                      c.rowFore);
    if (m_rows->isHeaderRow(index)) {
        paintBandHeader(painter, band, rowRect);
        return;
    }
    const auto shown = spans(band);
    GridRowPicture row;
    row.cells = QRect(start + bandCellOrigin(band), rowRect.top(), 0, rowRect.height());
    row.selectorWidth = selectorWidth(band);
    row.spans = &shown;
    row.colors = &c;
    row.selected = m_view->selectionModel()->isSelected(index);
    row.marked = band == 1 && m_rows->toSource(index).data(GridRoles::RowMarkRole).toBool();
    row.current = index == m_activeRow;
    row.focus = m_view->hasFocus();
    for (size_t i = 0; i < shown.size(); ++i) {
        row.texts.push_back(m_rows->toSource(index, shown[i].position).data(Qt::DisplayRole).toString());
        if (row.current && shown[i].position == m_activePosition)
            row.activeSpan = static_cast<int>(i);
    }
    paintGridRow(painter, row);
}

void TreeGrid::paintBandHeader(QPainter &painter, int band, const QRect &rowRect) const
{
    const auto shown = spans(band);
    const GridBandColors c = colors(band);
    GridRowPicture row;
    row.cells = QRect(columnStart() + bandCellOrigin(band), rowRect.top(), 0, rowRect.height());
    row.selectorWidth = selectorWidth(band);
    row.spans = &shown;
    row.colors = &c;
    row.header = true;
    const GridBand &b = *m_bands[static_cast<size_t>(band)];
    for (const GridColumnSpan &span : shown)
        row.texts.push_back(b.column(span.position).header().caption());
    paintGridRow(painter, row);
}

QModelIndex TreeGrid::stuckHeader() const
{
    const QModelIndex top = m_view->indexAt(QPoint(0, 0));
    if (!top.isValid() || GridRowModel::bandOf(top) == 0 || m_rows->isHeaderRow(top))
        return {};
    return m_rows->index(0, 0, top.parent());
}

QString TreeGrid::tipAt(QPoint pos) const
{
    const QModelIndex index = m_view->indexAt(pos);
    if (!index.isValid() || m_rows->isHeaderRow(index) || (pos.y() < m_view->rowHeight() && stuckHeader().isValid()))
        return {};
    const int band = GridRowModel::bandOf(index);
    const auto shown = spans(band);
    const int x = pos.x() - columnStart() - bandCellOrigin(band);
    QString tip;
    if (const int span = spanAt(shown, x); span >= 0) {
        const GridColumnSpan &cell = shown[size_t(span)];
        const QString text = m_rows->toSource(index, cell.position).data(Qt::DisplayRole).toString();
        // As the painter leaves room for its margins.
        if (m_view->fontMetrics().horizontalAdvance(text) > cell.width - 7)
            tip = text;
    }
    if (band == 1 && m_rows->toSource(index).data(GridRoles::RowMarkRole).toBool()) {
        const QString mark = m_rows->toSource(index).data(GridRoles::RowMarkTextRole).toString();
        tip = tip.isEmpty() ? mark : tip + QLatin1Char('\n') + mark;
    }
    return tip;
}

// Rows, cells, selection ----------------------------------------------------

GridRow TreeGrid::rowFor(const QModelIndex &viewIndex) const
{
    return GridRow(const_cast<TreeGrid *>(this), m_rows->toSource(viewIndex), GridRowModel::bandOf(viewIndex));
}

QModelIndex TreeGrid::viewIndexOf(const GridRow &row) const
{
    return m_rows->fromSource(row.sourceIndex());
}

int TreeGrid::cellPosition(int band) const
{
    if (band < 0 || band >= bandCount())
        return 0;
    const GridBand &b = *m_bands[static_cast<size_t>(band)];
    const int remembered = m_bandPosition[static_cast<size_t>(std::min(band, 1))];
    if (remembered >= 0 && remembered < b.columnCount() && !b.column(remembered).isHidden())
        return remembered;
    const auto shown = spans(band);
    return shown.empty() ? 0 : shown.front().position;
}

bool TreeGrid::activate(const QModelIndex &viewIndex, int position)
{
    if (!viewIndex.isValid() || m_rows->isHeaderRow(viewIndex))
        return false;
    if (viewIndex == m_activeRow && position == m_activePosition)
        return true;
    const QPersistentModelIndex target(viewIndex);
    const GridCell cell(rowFor(viewIndex), position);
    if (m_allowActivation && !m_allowActivation(cell))
        return false;
    Q_EMIT cellActivating(cell);
    if (!target.isValid())
        return false;
    m_activeRow = target;
    m_activePosition = position;
    m_bandPosition[static_cast<size_t>(std::min(GridRowModel::bandOf(target), 1))] = position;
    m_view->viewport()->update();
    return true;
}

void TreeGrid::moveActiveCell(int step)
{
    if (!m_activeRow.isValid())
        return;
    const int band = GridRowModel::bandOf(m_activeRow);
    const auto shown = spans(band);
    auto it = std::find_if(shown.begin(), shown.end(),
                           [this](const GridColumnSpan &span) { return span.position == m_activePosition; });
    const int from = it == shown.end() ? -1 : static_cast<int>(it - shown.begin());
    const int to = from < 0 ? 0 : from + step;
    if (to < 0 || to >= static_cast<int>(shown.size()) || !activate(m_activeRow, shown[size_t(to)].position))
        return;
    // Bring the new active cell into view sideways.
    QScrollBar *bar = m_view->horizontalScrollBar();
    const int left = bandCellOrigin(band) + shown[size_t(to)].x;
    const int right = left + shown[size_t(to)].width;
    if (left < bar->value())
        bar->setValue(left);
    else if (right > bar->value() + m_view->viewport()->width())
        bar->setValue(right - m_view->viewport()->width());
}

GridRows TreeGrid::selectedRows()
{
    struct Picked
    {
        int top;
        int child;
        QModelIndex index;
    };
    std::vector<Picked> picked;
    const QItemSelection selection = m_view->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection) {
        const QModelIndex parent = range.parent();
        for (int r = range.top(); r <= range.bottom(); ++r) {
            const QModelIndex index = m_rows->index(r, 0, parent);
            if (!index.isValid() || m_rows->isHeaderRow(index))
                continue;
            picked.push_back(parent.isValid() ? Picked{parent.row(), r, index} : Picked{r, -1, index});
        }
    }
    // In the order the rows are shown; ranges may overlap.
    std::sort(picked.begin(), picked.end(),
              [](const Picked &a, const Picked &b) { return a.top != b.top ? a.top < b.top : a.child < b.child; });
    picked.erase(std::unique(picked.begin(), picked.end(),
                             [](const Picked &a, const Picked &b) { return a.top == b.top && a.child == b.child; }),
                 picked.end());
    std::vector<GridRow> rows;
    rows.reserve(picked.size());
    for (const Picked &p : picked)
        rows.push_back(rowFor(p.index));
    return GridRows(std::move(rows));
}

GridCells TreeGrid::selectedCells()
{
    std::vector<GridCell> cells;
    for (const GridRow &row : selectedRows())
        cells.push_back(GridCell(row, cellPosition(row.bandIndex())));
    return GridCells(std::move(cells));
}

void TreeGrid::requestRowDeletion()
{
    GridRows rows = selectedRows();
    if (rows.count() == 0)
        return;
    // Deleting is for whoever owns the data; the grid only asks.
    Q_EMIT rowDeletionRequested(rows, rows.item(0).bandIndex());
}

void TreeGrid::requestCellEdit()
{
    if (!m_activeRow.isValid())
        return;
    // The grid shows its data read-only: no cell is ever edited in place.
    Q_EMIT editRequested(activeCell());
}

void TreeGrid::scrollOneStep(int action)
{
    m_view->settle();
    QScrollBar *bar = m_view->verticalScrollBar();
    // 0 moves toward the top of the list (a wheel turned away from the
    // user), 1 toward its end.
    if (action == 0)
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (action == 1)
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    else
        throw GridError(GridError::InvalidValue, QStringLiteral("Invalid scroll action %1").arg(action));
}

void TreeGrid::collapseBand(int band)
{
    // Only playlist rows have children; one call closes them all without
    // laying the view out once per row.
    if (band == 0)
        m_view->collapseAll();
}

// Header gestures -------------------------------------------------------------

namespace {

int effective(int bandValue, int gridValue)
{
    return bandValue != 0 ? bandValue : gridValue;
}

} // namespace

bool TreeGrid::onColumnEdge(int band, int x) const
{
    if (band >= bandCount())
        return false;
    if (effective(static_cast<int>(m_bands[size_t(band)]->settings().allowColumnSizing()),
                  static_cast<int>(m_override->allowColumnSizing())) == static_cast<int>(ColumnSizing::Fixed))
        return false;
    for (const GridColumnSpan &span : spans(band))
        if (std::abs(x - (span.x + span.width)) <= kEdgeGrip)
            return true;
    return false;
}

void TreeGrid::headerPress(int band, int x)
{
    m_gesture = {};
    if (band >= bandCount())
        return;
    const auto shown = spans(band);
    if (onColumnEdge(band, x)) {
        for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
            if (std::abs(x - (it->x + it->width)) <= kEdgeGrip) {
                m_gesture = {band, it->position, true, false, x, it->width};
                return;
            }
        }
    }
    const int span = spanAt(shown, x);
    if (span >= 0)
        m_gesture = {band, shown[size_t(span)].position, false, false, x, 0};
}

void TreeGrid::headerMove(int x)
{
    if (m_gesture.band < 0 || m_gesture.band >= bandCount())
        return;
    if (m_gesture.resizing) {
        GridColumn &column = m_bands[size_t(m_gesture.band)]->column(m_gesture.position);
        column.setWidth(std::min(32767, twipsFromPixels(std::max(8, m_gesture.startWidth + x - m_gesture.pressX))));
        return;
    }
    if (std::abs(x - m_gesture.pressX) > kDragThreshold)
        m_gesture.moved = true;
}

void TreeGrid::headerRelease(int x, Qt::KeyboardModifiers modifiers)
{
    const HeaderGesture gesture = m_gesture;
    m_gesture = {};
    if (gesture.band < 0 || gesture.band >= bandCount() || gesture.resizing || !gesture.moved)
        return;
    const auto shown = spans(gesture.band);
    const int span = spanAt(shown, x);
    if (span < 0 || shown[size_t(span)].position == gesture.position)
        return;
    GridBand *band = m_bands[size_t(gesture.band)].get();
    if (m_allowColumnMove &&
        !m_allowColumnMove(band->column(gesture.position), band->column(shown[size_t(span)].position)))
        return;
    // The guard may have bound other data.
    const bool stillBound = gesture.band < bandCount() && m_bands[size_t(gesture.band)].get() == band;
    if (!stillBound)
        return;
    const bool swap = modifiers & Qt::ControlModifier;
    const int allowed = swap ? effective(static_cast<int>(band->settings().allowColumnSwapping()),
                                         static_cast<int>(m_override->allowColumnSwapping()))
                             : effective(static_cast<int>(band->settings().allowColumnMoving()),
                                         static_cast<int>(m_override->allowColumnMoving()));
    if (allowed == 2)
        return;
    std::vector<int> &order = band->m_order;
    const auto from = std::find(order.begin(), order.end(), gesture.position);
    const auto to = std::find(order.begin(), order.end(), shown[size_t(span)].position);
    if (swap) {
        std::iter_swap(from, to);
    } else if (from < to) {
        std::rotate(from, from + 1, to + 1);
    } else {
        std::rotate(to, from, from + 1);
    }
    settingsChanged();
}

} // namespace tidyfox::widgets
