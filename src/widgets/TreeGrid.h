// SPDX-License-Identifier: GPL-3.0-or-later
// The library grid: a hierarchical grid over a QTreeView, bound to a two-level
// data source (top rows are band 0, their children band 1, columns by
// position). Each band has its own columns, widths, header row, colours and
// row selectors; the grid paints the rows itself.
//
// Its members carry the names the window's code uses (Caption, Bands,
// Columns, Override, Selected, ScrollRegions, ...). Calls that cannot be
// carried out throw GridError.
//
// User gestures and the events they raise:
//   click or keyboard move to a cell   BeforeCellActivate (cancel keeps the old active cell)
//   double-click                       DblClick (rows are opened with the marker, '+', '-' or by a handler)
//   key released                       KeyUp
//   header cell dragged onto another   BeforeColPosChanged; uncancelled, the column moves
//                                      (with Ctrl: the two swap) where the band allows it
//   Delete key                         BeforeRowsDeleted; the grid never deletes rows itself
//   F2 on the active cell              BeforeEnterEditMode; the grid never edits cells
//   dragging a header cell's right edge  resizes the column where AllowColSizing allows it
//
// A child band's header row stays in view at the top while its rows are
// scrolled past it; text cut short is shown whole in a tip; child rows the
// data marks (GridRoles::RowMarkRole) are drawn struck through.
#pragma once

#include "widgets/GridError.h"
#include "widgets/GridPainter.h"
#include "widgets/TreeGridSelection.h"
#include "widgets/TreeGridSettings.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAbstractItemModel;
class QLabel;
class QTreeView;

namespace tidyfox::widgets {

class GridRowModel;
class GridView;
class GridHeaderBar;

class TreeGrid : public QWidget
{
    Q_OBJECT
public:
    // The width a column has until it is given one, in twips.
    static constexpr int kDefaultColumnWidth = 900;

    explicit TreeGrid(QWidget *parent = nullptr);
    ~TreeGrid() override;

    enum class StackOrder { Front = 0, Back = 1 };
    void setStackOrder(StackOrder order);

    QString caption() const;
    void setCaption(const QString &caption);
    enum class ViewStyle { SingleBand = 0, MultiBand = 1 };
    // How bands are laid out when several show; kept, the grid draws one way.
    enum class BandLayout { Vertical = 0, Horizontal = 1, OutlookGroupBy = 2 };
    // MultiBand shows both bands as a hierarchy; SingleBand shows band 0 only.
    ViewStyle viewStyle() const { return ViewStyle(m_viewStyle); }
    void setViewStyle(ViewStyle style);
    BandLayout viewStyleBand() const { return BandLayout(m_viewStyleBand); }
    void setViewStyleBand(BandLayout layout);
    void refresh();

    // Binding replaces the bands and their columns with fresh ones for the new
    // data; the grid-wide Override and Appearance stay. The shared form keeps
    // the data alive while the grid shows it.
    void setDataSource(std::shared_ptr<QAbstractItemModel> source);
    void setDataSource(QAbstractItemModel *source);
    void setDataSource(std::nullptr_t);
    QAbstractItemModel *dataSource() const;

    GridSettings &settings() { return *m_override; }
    GridAppearance &appearance() { return *m_appearance; }
    GridBand &band(int index);
    int bandCount() const { return static_cast<int>(m_bands.size()); }
    GridSelection selection() { return GridSelection(this); }
    GridScrollRegion &scrollRegion(int index);
    // The active cell; an empty row (row().sourceIndex() invalid) when there is none.
    GridCell activeCell() const;

    // Twips per pixel for column widths; by default 1440 / the screen's logical DPI.
    double twipsPerPixel() const;
    void setTwipsPerPixel(double ratio);
    int pixelsFromTwips(int twips) const;
    int twipsFromPixels(int pixels) const;

    // The view inside, for focus handling and tests.
    QTreeView *view() const;

    // Shows only the rows that hold text (letter case aside) in one of the
    // given fields: a top row when it or one of its children does, a child
    // when it or its top row does. Empty text shows every row. It holds for
    // data bound later too, until it is changed. A change of it clears the
    // selection (its rows may no longer show) and keeps the open rows open.
    void filterRows(const QString &text, std::vector<int> topFields, std::vector<int> childFields);

    // Which top rows are open and how far the rows are scrolled, the top rows
    // named by their field at keyPosition, so that the same rows can be shown
    // again over new data.
    struct Place
    {
        QStringList openKeys;
        int scrolledTo = 0;
    };
    Place place(int keyPosition) const;
    void restorePlace(const Place &place, int keyPosition);

    // Asked before a gesture changes anything: a guard that says no leaves the
    // grid as it was. Without a guard the gesture goes ahead.
    using ActivationGuard = std::function<bool(const GridCell &cell)>;
    using ColumnMoveGuard = std::function<bool(const GridColumn &moved, const GridColumn &onto)>;
    void setActivationGuard(ActivationGuard allow) { m_allowActivation = std::move(allow); }
    void setColumnMoveGuard(ColumnMoveGuard allow) { m_allowColumnMove = std::move(allow); }

Q_SIGNALS:
    // The cell is about to become the active one (its guard has let it).
    void cellActivating(const tidyfox::widgets::GridCell &cell);
    void doubleClicked();
    void keyReleased(int keyCode, int shift);
    // The grid never deletes rows or edits cells itself: it only says what
    // the user asked for.
    void rowDeletionRequested(const tidyfox::widgets::GridRows &rows, int band);
    void editRequested(const tidyfox::widgets::GridCell &cell);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    friend class GridAppearance;
    friend class GridSettings;
    friend class GridColumnHeader;
    friend class GridColumn;
    friend class GridBand;
    friend class GridScrollRegion;
    friend class GridRow;
    friend class GridCell;
    friend class GridSelection;
    friend class GridView;
    friend class GridHeaderBar;

    struct RowFilter
    {
        QString text;
        std::vector<int> topFields;
        std::vector<int> childFields;
    };

    struct HeaderGesture
    {
        int band = -1;
        int position = -1;
        bool resizing = false;
        bool moved = false;
        int pressX = 0;
        int startWidth = 0;
    };

    void bind(std::shared_ptr<QAbstractItemModel> owned, QAbstractItemModel *source);
    void rebuildBands();
    // Column counts of band 0 and band 1: of the bound data, and of the bands set up.
    std::pair<int, int> bandShape() const;
    std::pair<int, int> currentBandShape() const;
    void settingsChanged();
    void updateExtent();
    void requireData() const;
    void applyFilter();

    // Layout and colours, for painting and hit tests.
    int indentation() const;
    int selectorWidth(int band) const;
    int bandCellOrigin(int band) const; // from the view's column start
    int columnStart() const;            // the view's column start in viewport x
    std::vector<GridColumnSpan> spans(int band) const;
    GridBandColors colors(int band) const;
    int spanAt(const std::vector<GridColumnSpan> &spans, int x) const;
    void paintViewRow(QPainter &painter, const QRect &rowRect, const QModelIndex &index) const;
    void paintBandHeader(QPainter &painter, int band, const QRect &rowRect) const;
    // The band-1 header row to keep at the top of the rows: that of the
    // playlist whose tracks start the view; invalid when its own shows.
    QModelIndex stuckHeader() const;
    // The whole text of the cell at pos (in the view's viewport) when it is
    // cut short, and why a marked row is marked; empty for nothing to tell.
    QString tipAt(QPoint pos) const;

    // Rows, cells and the active cell.
    GridRow rowFor(const QModelIndex &viewIndex) const;
    QModelIndex viewIndexOf(const GridRow &row) const;
    int cellPosition(int band) const;
    bool activate(const QModelIndex &viewIndex, int position);
    QModelIndex activeIndex() const { return m_activeRow; }
    int activePosition() const { return m_activePosition; }
    void moveActiveCell(int step);
    GridCells selectedCells();
    GridRows selectedRows();
    void requestRowDeletion();
    void requestCellEdit();
    void scrollOneStep(int action);
    void collapseBand(int band);

    // Header gestures (x is relative to the band's first cell).
    void headerPress(int band, int x);
    void headerMove(int x);
    void headerRelease(int x, Qt::KeyboardModifiers modifiers);
    bool onColumnEdge(int band, int x) const;

    QLabel *m_caption;
    GridHeaderBar *m_headerBar;
    GridView *m_view;
    GridRowModel *m_rows;

    std::shared_ptr<QAbstractItemModel> m_owned;
    QPointer<QAbstractItemModel> m_source;
    std::vector<std::unique_ptr<GridBand>> m_bands;
    std::unique_ptr<GridSettings> m_override;
    std::unique_ptr<GridAppearance> m_appearance;
    std::unique_ptr<GridScrollRegion> m_scrollRegion;
    ActivationGuard m_allowActivation;
    ColumnMoveGuard m_allowColumnMove;

    // Counts bindings and changes of the data's shape; rows handed out
    // before the last one are no longer valid.
    std::uint64_t m_generation = 0;
    int m_viewStyle = 1;
    int m_viewStyleBand = 0;
    double m_twipsPerPixel = 0;
    QPersistentModelIndex m_activeRow;
    int m_activePosition = -1;
    std::array<int, 2> m_bandPosition{-1, -1};
    HeaderGesture m_gesture;
    RowFilter m_filter;
};

} // namespace tidyfox::widgets
