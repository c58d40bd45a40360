#include "controls/UniformListView.h"

#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

UniformListView::UniformListView(QWidget* parent)
    : QAbstractItemView(parent)
{
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int UniformListView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int UniformListView::rowHeight() const
{
    if (m_rowHeight <= 0)
        m_rowHeight = measuredRowHeight();
    return m_rowHeight;
}

int UniformListView::measuredRowHeight() const
{
    if (rowCount() == 0)
        return 0;
    const QModelIndex first = model()->index(0, 0, rootIndex());
    QAbstractItemDelegate* delegate = itemDelegateForIndex(first);
    if (!delegate)
        return 0;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = QRect(0, 0, viewport()->width(), 0);
    return std::max(0, delegate->sizeHint(option, first).height());
}

int UniformListView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

QRect UniformListView::rowRect(int row, int height) const
{
    return QRect(0, row * height - verticalOffset(), viewport()->width(), height);
}

std::pair<int, int> UniformListView::rowsBetween(int top, int bottom, int height) const
{
    const int rows = rowCount();
    if (height <= 0 || rows == 0 || bottom < top)
        return { 0, -1 };
    const int offset = verticalOffset();
    const int first = std::max(0, (top + offset) / height);
    const int last = std::min(rows - 1, (bottom + offset) / height);
    return { first, last };
}

QRect UniformListView::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.parent() != rootIndex() || index.column() != 0 || index.row() >= rowCount())
        return {};
    return rowRect(index.row(), rowHeight());
}

QModelIndex UniformListView::indexAt(const QPoint& point) const
{
    if (point.x() < 0 || point.x() >= viewport()->width() || point.y() < 0)
        return {};
    const auto [first, last] = rowsBetween(point.y(), point.y(), rowHeight());
    return first <= last ? model()->index(first, 0, rootIndex()) : QModelIndex();
}

void UniformListView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    // A reset waits for the next turn to set the scroll range and the rows' height;
    // this scroll cannot.
    executeDelayedItemsLayout();
    const QRect row = visualRect(index);
    if (!row.isValid())
        return;
    const int height = viewport()->height();
    const int top = row.top() + verticalOffset();
    int value = verticalOffset();
    switch (hint) {
    case EnsureVisible:
        if (top < value)
            value = top;
        else if (top + row.height() > value + height)
            value = top + row.height() - height;
        break;
    case PositionAtTop:
        value = top;
        break;
    case PositionAtBottom:
        value = top + row.height() - height;
        break;
    case PositionAtCenter:
        value = top - (height - row.height()) / 2;
        break;
    }
    verticalScrollBar()->setValue(value);
}

QModelIndex UniformListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int rows = rowCount();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0, rootIndex());
    const int height = rowHeight();
    const int page = height > 0 ? std::max(1, viewport()->height() / height) : 1;
    int row = current.row();
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= page;
        break;
    case MovePageDown:
        row += page;
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    case MoveLeft:
    case MoveRight:
        break;
    }
    return model()->index(std::clamp(row, 0, rows - 1), 0, rootIndex());
}

void UniformListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    if (!selectionModel())
        return;
    const QRect area = rect.normalized();
    const auto [first, last] = rowsBetween(area.top(), area.bottom(), rowHeight());
    QItemSelection selection;
    if (first <= last)
        selection.select(model()->index(first, 0, rootIndex()), model()->index(last, 0, rootIndex()));
    selectionModel()->select(selection, command);
}

QRegion UniformListView::visualRegionForSelection(const QItemSelection& selection) const
{
    QRegion region;
    const QRect shown = viewport()->rect();
    const int height = rowHeight();
    for (const QItemSelectionRange& range : selection) {
        if (range.parent() != rootIndex() || range.left() > 0)
            continue;
        const QRect top = rowRect(range.top(), height);
        const QRect bottom = rowRect(range.bottom(), height);
        region += QRect(top.topLeft(), bottom.bottomRight()).intersected(shown);
    }
    return region;
}

void UniformListView::paintEvent(QPaintEvent* event)
{
    const int height = rowHeight();
    const auto [first, last] = rowsBetween(event->rect().top(), event->rect().bottom(), height);
    if (first > last)
        return;
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State state = option.state;
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QItemSelectionModel* selections = selectionModel();
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        option.rect = rowRect(row, height);
        option.state = state;
        if (selections && selections->isSelected(index))
            option.state |= QStyle::State_Selected;
        if ((state & QStyle::State_Enabled) && !(model()->flags(index) & Qt::ItemIsEnabled)) {
            option.state &= ~QStyle::State_Enabled;
            option.palette.setCurrentColorGroup(QPalette::Disabled);
        } else if (state & QStyle::State_Enabled) {
            option.palette.setCurrentColorGroup(QPalette::Normal);
        }
        if (focus && index == current)
            option.state |= QStyle::State_HasFocus;
        if (QAbstractItemDelegate* delegate = itemDelegateForIndex(index))
            delegate->paint(&painter, option, index);
    }
}

void UniformListView::updateGeometries()
{
    // Every layout (a reset, a new delegate, a font or style change) measures again.
    m_rowHeight = measuredRowHeight();
    const int height = m_rowHeight;
    const qint64 contents = qint64(rowCount()) * height;
    QScrollBar* bar = verticalScrollBar();
    bar->setSingleStep(std::max(1, height));
    bar->setPageStep(viewport()->height());
    bar->setRange(0, int(std::clamp<qint64>(contents - viewport()->height(), 0, INT_MAX)));
    horizontalScrollBar()->setRange(0, 0);
    QAbstractItemView::updateGeometries();
}

void UniformListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    // The base class asks every row of a range for its place, 100,000 of them when
    // every photo is ticked; only the shown rows are drawn, and the view holds no
    // editors. An assistive tool is still told of the whole range.
    if (QAccessible::isActive() || topLeft.row() == bottomRight.row() || topLeft.parent() != rootIndex()) {
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const auto [first, last] = rowsBetween(0, viewport()->height() - 1, rowHeight());
    const int from = std::max(first, topLeft.row());
    const int to = std::min(last, bottomRight.row());
    if (from <= to)
        QAbstractItemView::dataChanged(model()->index(from, 0, rootIndex()), model()->index(to, 0, rootIndex()), roles);
}

void UniformListView::rowsInserted(const QModelIndex& parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex())
        return;
    updateGeometries();
    // Rows that land below the viewport change nothing in it; rows that land in it
    // move the ones after them down.
    const int top = rowRect(start, rowHeight()).top();
    if (top < viewport()->height())
        viewport()->update(QRect(0, std::max(0, top), viewport()->width(), viewport()->height()));
}

void UniformListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
    // The rows are still there: the scroll range and the paint follow once they are gone.
    if (parent == rootIndex())
        scheduleDelayedItemsLayout();
}
