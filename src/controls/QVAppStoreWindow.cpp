#include "controls/QVAppStoreWindow.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWindow>

namespace {
constexpr int kTrafficLightSpacing = 0;
}

QVAppStoreWindow::QVAppStoreWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setMouseTracking(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kResizeBorder, kResizeBorder, kResizeBorder, kResizeBorder);
    layout->setSpacing(0);

    m_titleBarContainer = new QWidget(this);
    m_titleBarContainer->setObjectName(QStringLiteral("titleBarContainer"));
    m_titleBarContainer->setFixedHeight(qRound(m_titleBarHeight));
    layout->addWidget(m_titleBarContainer);

    m_titleLabel = new QLabel(m_titleBarContainer);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_contentView = new QWidget(this);
    m_contentView->setObjectName(QStringLiteral("contentView"));
    layout->addWidget(m_contentView, 1);
}

void QVAppStoreWindow::setTitleBarView(QWidget* view)
{
    if (view == m_titleBarView)
        return;
    if (m_titleBarView)
        m_titleBarView->hide();
    m_titleBarView = view;
    if (view) {
        view->setParent(m_titleBarContainer);
        view->show();
        view->lower();
    }
    layoutTitleBar();
}

void QVAppStoreWindow::setTitleBarHeight(double height)
{
    if (qFuzzyCompare(height, m_titleBarHeight))
        return;
    m_titleBarHeight = height;
    m_titleBarContainer->setFixedHeight(qRound(height));
    layoutTitleBar();
    update();
}

void QVAppStoreWindow::setCenterTrafficLightButtons(bool center)
{
    if (center == m_centerTrafficLightButtons)
        return;
    m_centerTrafficLightButtons = center;
    layoutTrafficLightButtons();
}

void QVAppStoreWindow::setTrafficLightButtonsLeftMargin(double margin)
{
    if (qFuzzyCompare(margin, m_trafficLightButtonsLeftMargin))
        return;
    m_trafficLightButtonsLeftMargin = margin;
    layoutTrafficLightButtons();
    update();
}

void QVAppStoreWindow::setShowsTitle(bool shows)
{
    if (shows == m_showsTitle)
        return;
    m_showsTitle = shows;
    m_titleLabel->setVisible(shows);
    update();
}

void QVAppStoreWindow::setTitle(const QString& title)
{
    setWindowTitle(title);
    m_titleLabel->setText(title);
}

void QVAppStoreWindow::setMinSize(const QSize& size)
{
    setMinimumSize(size);
    layoutTitleBar();
}

void QVAppStoreWindow::setMaxSize(const QSize& size)
{
    setMaximumSize(size);
    layoutTitleBar();
}

void QVAppStoreWindow::setTrafficLightButtons(const QList<QAbstractButton*>& buttons)
{
    m_trafficLightButtons.clear();
    for (QAbstractButton* button : buttons) {
        button->setParent(m_titleBarContainer);
        button->show();
        button->raise();
        m_trafficLightButtons.append(button);
    }
    layoutTrafficLightButtons();
}

QList<QAbstractButton*> QVAppStoreWindow::trafficLightButtons() const
{
    QList<QAbstractButton*> result;
    for (const auto& button : m_trafficLightButtons) {
        if (button)
            result.append(button);
    }
    return result;
}

void QVAppStoreWindow::setResizable(bool resizable)
{
    m_resizable = resizable;
    if (!resizable)
        unsetCursor();
}

bool QVAppStoreWindow::startSystemMove()
{
    QWindow* handle = windowHandle();
    return handle && handle->startSystemMove();
}

void QVAppStoreWindow::layoutTrafficLightButtons()
{
    int x = qRound(m_trafficLightButtonsLeftMargin);
    for (const auto& button : m_trafficLightButtons) {
        if (!button)
            continue;
        const QSize size = button->sizeHint();
        const int y = m_centerTrafficLightButtons ? (m_titleBarContainer->height() - size.height()) / 2
                                                  : qRound(m_trafficLightButtonsTopMargin);
        button->setGeometry(x, y, size.width(), size.height());
        button->raise();
        x += size.width() + kTrafficLightSpacing;
    }
}

void QVAppStoreWindow::layoutTitleBar()
{
    const QRect bar(QPoint(0, 0), m_titleBarContainer->size());
    if (m_titleBarView)
        m_titleBarView->setGeometry(bar);
    m_titleLabel->setGeometry(bar);
    m_titleLabel->raise();
    layoutTrafficLightButtons();
}

void QVAppStoreWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutTitleBar();
}

bool QVAppStoreWindow::event(QEvent* event)
{
    // The container is resized by the layout after the window; follow it.
    if (event->type() == QEvent::LayoutRequest) {
        const bool handled = QWidget::event(event);
        layoutTitleBar();
        return handled;
    }
    return QWidget::event(event);
}

void QVAppStoreWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit windowWillClose(this);
}

Qt::Edges QVAppStoreWindow::edgesAt(const QPoint& position) const
{
    Qt::Edges edges;
    if (position.x() < kResizeBorder)
        edges |= Qt::LeftEdge;
    if (position.x() >= width() - kResizeBorder)
        edges |= Qt::RightEdge;
    if (position.y() < kResizeBorder)
        edges |= Qt::TopEdge;
    if (position.y() >= height() - kResizeBorder)
        edges |= Qt::BottomEdge;
    return edges;
}

void QVAppStoreWindow::mousePressEvent(QMouseEvent* event)
{
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if (m_resizable && edges && event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemResize(edges);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void QVAppStoreWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_resizable) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        setCursor(Qt::SizeFDiagCursor);
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        setCursor(Qt::SizeBDiagCursor);
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        setCursor(Qt::SizeHorCursor);
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        setCursor(Qt::SizeVerCursor);
    else
        unsetCursor();
    QWidget::mouseMoveEvent(event);
}

void QVAppStoreWindow::paintEvent(QPaintEvent*)
{
    // Flat and opaque: the border is the window's frame colour.
    QPainter painter(this);
    painter.fillRect(rect(), QColor(12, 12, 12));
}
