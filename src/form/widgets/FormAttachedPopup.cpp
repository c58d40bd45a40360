#include "form/widgets/FormAttachedPopup.h"

#include "controls/MAAttachedWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QScreen>

FormAttachedPopup::FormAttachedPopup(QWidget* owner, const QString& windowName)
    : QObject(owner)
    , m_owner(owner)
    , m_windowName(windowName)
{
    m_enableTimer.setSingleShot(true);
    m_enableTimer.setInterval(kEnableButtonsDelayMs);
    connect(&m_enableTimer, &QTimer::timeout, this, [this] {
        for (const QPointer<QAbstractButton>& button : std::as_const(m_disabledButtons)) {
            if (button)
                button->setEnabled(true);
        }
        m_disabledButtons.clear();
    });
}

FormAttachedPopup::~FormAttachedPopup()
{
    discard();
}

void FormAttachedPopup::discard()
{
    qApp->removeEventFilter(this);
    m_view = nullptr;
    m_list = nullptr;
    m_chosen = nullptr;
    delete m_window;
}

void FormAttachedPopup::showList(
    QWidget* anchor, const QStringList& rows, int currentRow, std::function<void(int row)> chosen)
{
    dismissPanel();
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("tblPopupOptions"));
    list->setUniformItemSizes(true);
    list->setFrameShape(QFrame::NoFrame);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int widest = anchor->width();
    for (const QString& row : rows) {
        auto* item = new QListWidgetItem(row, list);
        item->setSizeHint(QSize(0, kRowHeight));
        widest = std::max(widest, list->fontMetrics().horizontalAdvance(row) + 32);
    }
    const int visible = std::clamp(static_cast<int>(rows.size()), 1, kMaxVisibleRows);
    list->resize(std::min(widest, 420), visible * kRowHeight + 2 * list->frameWidth());
    if (currentRow >= 0 && currentRow < rows.size()) {
        list->setCurrentRow(currentRow);
        list->scrollToItem(list->item(currentRow), QAbstractItemView::PositionAtCenter);
    }
    m_chosen = std::move(chosen);
    const auto pick = [this](QListWidgetItem* item) {
        if (!m_list)
            return;
        const int row = m_list->row(item);
        std::function<void(int)> handler = std::move(m_chosen);
        m_chosen = nullptr;
        dismissPanel();
        if (handler && row >= 0)
            handler(row);
    };
    connect(list, &QListWidget::itemClicked, this, pick);
    connect(list, &QListWidget::itemActivated, this, pick);
    m_list = list;
    open(anchor, list);
    list->setFocus();
}

void FormAttachedPopup::showView(QWidget* anchor, QWidget* view)
{
    dismissPanel();
    m_viewParent = view->parentWidget();
    m_view = view;
    view->adjustSize();
    view->show();
    open(anchor, view);
}

void FormAttachedPopup::open(QWidget* anchor, QWidget* view)
{
    QWidget* window = anchor->window();
    // Below the control, or above it where the screen ends too soon.
    const QScreen* screen = anchor->screen();
    const int bottom = anchor->mapToGlobal(QPoint(0, anchor->height())).y() + view->height() + 16;
    const bool above = screen && bottom > screen->availableGeometry().bottom()
        && anchor->mapToGlobal(QPoint(0, 0)).y() - view->height() - 16 >= screen->availableGeometry().top();
    const QPoint point = anchor->mapTo(window, QPoint(anchor->width() / 2, above ? 0 : anchor->height()));
    m_window = new MAAttachedWindow(view, point, window, above ? MAAttachedWindow::Above : MAAttachedWindow::Below, 2);
    m_window->setObjectName(m_windowName);
    m_window->setBorderColor(QColor(0, 0, 0, 90));
    m_window->setBackgroundColor(Qt::white);
    m_window->setCornerRadius(5);
    m_window->setHasArrow(1);
    m_window->setArrowHeight(8);
    m_window->show();
    m_window->raise();
    // Whoever listens switches its buttons first; what is still enabled then is ours
    // to disable and to enable again.
    emit openChanged(true);
    disableButtons();
    qApp->installEventFilter(this);
}

void FormAttachedPopup::dismissPanel()
{
    if (!m_window)
        return;
    qApp->removeEventFilter(this);
    MAAttachedWindow* window = m_window;
    m_window = nullptr;
    m_list = nullptr;
    m_chosen = nullptr;
    if (m_view) {
        m_view->hide();
        m_view->setParent(m_viewParent);
        m_view = nullptr;
    }
    window->hide();
    window->deleteLater();
    enableButtonsAfterDelay();
    emit openChanged(false);
}

void FormAttachedPopup::disableButtons()
{
    m_enableTimer.stop();
    QWidget* root = m_buttonsRoot ? m_buttonsRoot.data() : m_owner;
    const QList<QAbstractButton*> buttons = root->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
        if (!button->isEnabled() || (m_window && m_window->isAncestorOf(button)))
            continue;
        button->setEnabled(false);
        m_disabledButtons.append(button);
    }
}

void FormAttachedPopup::enableButtonsAfterDelay()
{
    m_enableTimer.start();
}

bool FormAttachedPopup::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (m_window && (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
        && watched->isWidgetType()) {
        QWidget* target = static_cast<QWidget*>(watched)->window();
        const bool inside = target == m_window
            || (m_companion && m_companion->attachedWindow() && target == m_companion->attachedWindow());
        if (!inside)
            dismissPanel();
    }
    return QObject::eventFilter(watched, event);
}
