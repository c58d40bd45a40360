#pragma once

#include <QAbstractItemView>
#include <utility>

// A list of rows of one height, one above the other, as wide as the view: what the
// photo list needs for a batch of any length. Every row's place follows from its
// number, so nothing is laid out row by row: rows added below the visible ones cost
// a new scroll range and nothing else, and a paint draws only the rows it shows.
// (A list view lays out and repaints every row again for each insertion, which at
// 100,000 photos held the window for tens of milliseconds at every hand-off of an
// adding.)
//
// The height is the delegate's size hint for the first row. Hidden rows, wrapping,
// a grid and moving rows are not offered.
class UniformListView : public QAbstractItemView {
    Q_OBJECT
public:
    explicit UniformListView(QWidget* parent = nullptr);

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

    // The height of every row, in pixels (0 without rows or a delegate), as measured
    // at the last layout.
    int rowHeight() const;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;

    void paintEvent(QPaintEvent* event) override;
    void updateGeometries() override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles = {}) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

private:
    int rowCount() const;
    int measuredRowHeight() const;
    // The row's rectangle in the viewport's coordinates, for rows of that height.
    QRect rowRect(int row, int height) const;
    // The rows that meet the viewport's lines from top to bottom, or an empty range.
    std::pair<int, int> rowsBetween(int top, int bottom, int height) const;

    // Asked for every row a change covers, so kept from one layout to the next.
    mutable int m_rowHeight = 0;
};
