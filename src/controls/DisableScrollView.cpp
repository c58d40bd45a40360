#include "controls/DisableScrollView.h"

#include <QWheelEvent>

DisableScrollView::DisableScrollView(QWidget* parent)
    : QScrollArea(parent)
{
}

void DisableScrollView::wheelEvent(QWheelEvent* event)
{
    if (!m_scrollingEnabled) {
        event->ignore();
        return;
    }
    QScrollArea::wheelEvent(event);
}
