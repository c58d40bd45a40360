#include "controls/AttachedPopupTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>

namespace {

// The arrow, the bubble's margins and a little air between the list and the
// window's edge.
constexpr int kBubbleAllowance = 16;

const QString kListStyle
    = QStringLiteral("QListWidget { background: transparent; color: #28241c; outline: 0; }"
                     "QListWidget::item { height: %1px; padding-left: 8px; background: transparent; }"
                     "QListWidget::item:hover { background: #e8e0cc; }"
                     "QListWidget::item:selected { background: #d6c9a6; color: #28241c; }");

} // namespace

AttachedPopupTable::AttachedPopupTable(QObject* parent)
    : QObject(parent)
{
    m_enableTimer.setSingleShot(true);
    m_enableTimer.setInterval(kEnableButtonsDelayMs);
    connect(&m_enableTimer, &QTimer::timeout, this, &AttachedPopupTable::releaseButtons);
}

void AttachedPopupTable::releaseButtons()
{
    m_enableTimer.stop();
    for (const QPointer<QAbstractButton>& button : std::as_const(m_disabledButtons)) {
        if (button)
            button->setEnabled(true);
    }
    m_disabledButtons.clear();
    emit buttonsReleased();
}

AttachedPopupTable::~AttachedPopupTable()
{
    discard();
}

void AttachedPopupTable::open(
    QWidget* anchor, const QStringList& rows, std::function<void(int row)> chosen, const ListOptions& options)
{
    dismissPanel();
    if (!anchor)
        return;
    auto* list = new QListWidget;
    list->setObjectName(m_tableName);
    list->setUniformItemSizes(true);
    list->setFrameShape(QFrame::NoFrame);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setStyleSheet(kListStyle.arg(kRowHeight));
    for (const QString& row : rows)
        (new QListWidgetItem(row, list))->setSizeHint(QSize(0, kRowHeight));
    list->setFixedSize(options.size.isEmpty() ? fittedSize(anchor, *list) : options.size);
    if (options.currentRow >= 0 && options.currentRow < list->count()) {
        list->setCurrentRow(options.currentRow);
        list->scrollToItem(list->item(options.currentRow), QAbstractItemView::PositionAtCenter);
    } else {
        // Without a current row set, a list view makes its first row current when it
        // takes the keyboard: Down starts at the first row, and Return chooses nothing
        // unasked.
        list->setCurrentIndex(QModelIndex());
    }
    // A click picks a row, and so does Return on the current row; a style that
    // activates on a click reports both, and the second finds the list closed.
    const auto pick = [this](QListWidgetItem* item) {
        if (m_list && item)
            choose(m_list->row(item));
    };
    connect(list, &QListWidget::itemClicked, this, pick);
    connect(list, &QListWidget::itemActivated, this, pick);
    m_list = list;
    m_type = options.type;
    m_chosen = std::move(chosen);
    attach(anchor, list, options.point);
}

void AttachedPopupTable::showView(QWidget* anchor, QWidget* view)
{
    dismissPanel();
    if (!anchor || !view)
        return;
    m_viewParent = view->parentWidget();
    m_view = view;
    view->adjustSize();
    view->show();
    // A panel taller than the window (a small screen, a large scale) scrolls inside
    // its bubble, so its last rows can still be reached.
    QWidget* shown = view;
    const int room = anchor->window()->height() - 2 * kBubbleAllowance;
    if (room > 0 && view->height() > room) {
        auto* scroll = new QScrollArea;
        scroll->setObjectName(QStringLiteral("scrollAttachedView"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        scroll->setWidget(view);
        scroll->setFixedSize(view->width() + scroll->verticalScrollBar()->sizeHint().width(), room);
        m_scroll = scroll;
        shown = scroll;
    }
    attach(anchor, shown, std::nullopt);
}

QSize AttachedPopupTable::fittedSize(QWidget* anchor, const QListWidget& list) const
{
    int widest = anchor->width();
    for (int row = 0; row < list.count(); ++row)
        widest = std::max(widest, list.fontMetrics().horizontalAdvance(list.item(row)->text()) + 32);
    const int visible = std::clamp(list.count(), 1, kMaxVisibleRows);
    return QSize(std::min(widest, kMaxFittedWidth), visible * kRowHeight + 2 * list.frameWidth());
}

void AttachedPopupTable::attach(QWidget* anchor, QWidget* view, const std::optional<QPoint>& point)
{
    QWidget* window = anchor->window();
    const QPoint belowPoint = point.value_or(QPoint(anchor->width() / 2, anchor->height()));
    const QPoint abovePoint = point.value_or(QPoint(anchor->width() / 2, 0));
    // Below the control, or above it where the window ends too soon and there is room.
    // Where neither side has room (a tall panel by a field half way down a small
    // window) it goes beside the control, on the side with more room, and slides up
    // or down to lie inside the window: its arrow still points at the control.
    const int bottom = anchor->mapTo(window, belowPoint).y() + view->height() + kBubbleAllowance;
    const int top = anchor->mapTo(window, abovePoint).y() - view->height() - kBubbleAllowance;
    int side = MAAttachedWindow::Below;
    QPoint at = anchor->mapTo(window, belowPoint);
    if (bottom > window->height() && top >= 0) {
        side = MAAttachedWindow::Above;
        at = anchor->mapTo(window, abovePoint);
    } else if (bottom > window->height()) {
        const QPoint left = anchor->mapTo(window, QPoint(0, anchor->height() / 2));
        const QPoint right = anchor->mapTo(window, QPoint(anchor->width(), anchor->height() / 2));
        const bool onTheLeft = left.x() >= window->width() - right.x();
        side = onTheLeft ? MAAttachedWindow::Left : MAAttachedWindow::Right;
        at = onTheLeft ? left : right;
    }
    m_window = new MAAttachedWindow(view, at, window, side, 2);
    m_window->setObjectName(m_windowName);
    // The bubble holds the keyboard while it is open; Escape closes it, and the
    // keyboard goes back to the control that opened it.
    m_window->setFocusReturn(anchor);
    connect(m_window, &MAAttachedWindow::dismissRequested, this, &AttachedPopupTable::dismissPanel);
    m_anchor = anchor;
    m_window->setBorderColor(QColor(0, 0, 0, 90));
    m_window->setBackgroundColor(Qt::white);
    m_window->setCornerRadius(5);
    m_window->setHasArrow(1);
    m_window->setArrowHeight(8);
    m_window->show();
    m_window->raise();
    m_enableTimer.stop();
    // Whoever listens switches its buttons first; what is still enabled then is ours
    // to disable and to enable again.
    emit openChanged(true);
    disableButtons();
    qApp->installEventFilter(this);
}

void AttachedPopupTable::choose(int row)
{
    if (!m_window || !m_list || row < 0 || row >= m_list->count())
        return;
    std::function<void(int)> chosen = std::move(m_chosen);
    m_chosen = nullptr;
    dismissPanel();
    if (chosen)
        chosen(row);
}

void AttachedPopupTable::dismissPanel()
{
    if (!m_window)
        return;
    qApp->removeEventFilter(this);
    MAAttachedWindow* window = m_window;
    // Hidden first, it hands the keyboard back before its view goes back to its owner.
    window->hide();
    m_window = nullptr;
    m_list = nullptr;
    m_type = -1;
    m_chosen = nullptr;
    if (m_scroll)
        m_scroll->takeWidget();
    m_scroll = nullptr;
    if (m_view) {
        m_view->hide();
        m_view->setParent(m_viewParent);
        m_view = nullptr;
    }
    window->deleteLater();
    m_enableTimer.start();
    emit openChanged(false);
}

void AttachedPopupTable::discard()
{
    qApp->removeEventFilter(this);
    m_enableTimer.stop();
    m_list = nullptr;
    m_view = nullptr;
    m_type = -1;
    m_chosen = nullptr;
    delete m_window;
}

void AttachedPopupTable::disableButtons()
{
    if (!m_buttonsRoot)
        return;
    const QList<QAbstractButton*> buttons = m_buttonsRoot->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
        if (!button->isEnabled() || (m_window && m_window->isAncestorOf(button))
            || button->property(kStaysEnabledProperty).toBool())
            continue;
        button->setEnabled(false);
        m_disabledButtons.append(button);
    }
}

bool AttachedPopupTable::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (!m_window || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    // The bubbles are children of their windows: a press is inside when it lands in one.
    const auto within = [](const QWidget* bubble, const QWidget* widget) {
        return bubble && (widget == bubble || bubble->isAncestorOf(widget));
    };
    const QWidget* target = static_cast<QWidget*>(watched);
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        const bool inside
            = within(m_window, target) || (m_companion && within(m_companion->attachedWindow(), target));
        if (inside)
            return QObject::eventFilter(watched, event);
        // A press on the control that opened the pop-up only closes it: going on, it
        // would open it again at once.
        const bool onAnchor = within(m_anchor, target);
        dismissPanel();
        if (onAnchor)
            return true;
        // Anywhere else the press also does what it was aimed at: the buttons come
        // back before it reaches one.
        releaseButtons();
    }
    return QObject::eventFilter(watched, event);
}
