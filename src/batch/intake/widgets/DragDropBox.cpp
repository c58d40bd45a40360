#include "batch/intake/widgets/DragDropBox.h"

#include "base/Logging.h"
#include "batch/alerts/AlertCatalog.h"
#include "controls/Presenter.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

DragDropBox::DragDropBox(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("leftBox"));
    setAcceptDrops(true);
}

void DragDropBox::setDraggingEnable(bool enable)
{
    setAcceptDrops(enable);
    if (!enable && m_dragInside) {
        m_dragInside = false;
        update();
    }
}

void DragDropBox::dragEnterEvent(QDragEnterEvent* event)
{
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    m_dragInside = true;
    update();
}

void DragDropBox::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_dragInside = false;
    update();
    QFrame::dragLeaveEvent(event);
}

void DragDropBox::dropEvent(QDropEvent* event)
{
    m_dragInside = false;
    update();
    if (performDrop(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

bool DragDropBox::performDrop(const QMimeData* data)
{
    // Image data is looked at first: a drag that offers a picture is not a drop of files.
    if (data && (data->hasImage() || data->hasFormat(QStringLiteral("image/tiff"))))
        return false;
    QStringList paths;
    if (data && data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile())
                paths.append(url.toLocalFile());
        }
    }
    if (paths.isEmpty()) {
        if (Presenter* presenter = m_presenter ? m_presenter() : nullptr)
            presenter->presentAlert(window(), AlertCatalog::pasteError(), {});
        return false;
    }
    qCInfo(lcBatch) << "drag drop path =" << paths.first();
    emit filesDropped(paths);
    return true;
}

void DragDropBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (!m_dragInside)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(120, 150, 90), 3));
    painter.setBrush(QColor(120, 150, 90, 30));
    painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 8, 8);
}
