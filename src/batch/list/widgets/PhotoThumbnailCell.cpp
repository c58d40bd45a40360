#include "batch/list/widgets/PhotoThumbnailCell.h"

#include "base/Logging.h"
#include "batch/list/PhotoListModel.h"
#include "batch/list/ThumbnailCache.h"
#include "controls/ImageNamed.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

const QColor kNameColour(40, 36, 28);
const QColor kPathColour(100, 90, 72);
const QColor kMarkedRowColour(232, 224, 204);
const QColor kSeparatorColour(226, 220, 206);
const QColor kCurrentRowColour(58, 118, 214);

} // namespace

PhotoThumbnailCell::PhotoThumbnailCell(QWidget* container, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_container(container)
{
    m_clickTimer.setSingleShot(true);
    m_clickTimer.setInterval(kClickDelayMs);
    connect(&m_clickTimer, &QTimer::timeout, this, &PhotoThumbnailCell::btnClicked);
}

QRect PhotoThumbnailCell::checkBoxRect(const QRect& row)
{
    return QRect(row.left() + 8, row.top() + (row.height() - 18) / 2, 18, 18);
}

QRect PhotoThumbnailCell::thumbnailRect(const QRect& row)
{
    return QRect(row.left() + 34, row.top() + 3, 46, row.height() - 6);
}

QRect PhotoThumbnailCell::infoButtonRect(const QRect& row)
{
    return QRect(row.right() - 27, row.top() + (row.height() - 20) / 2, 20, 20);
}

QSize PhotoThumbnailCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width() > 0 ? option.rect.width() : 200, kRowHeight);
}

void PhotoThumbnailCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect row = option.rect;
    const bool marked = index.data(PhotoListModel::IsSelectedRole).toBool();
    if (marked)
        painter->fillRect(row, kMarkedRowColour);
    painter->setPen(kSeparatorColour);
    painter->drawLine(row.bottomLeft(), row.bottomRight());
    // The keyboard's current row, while the list has the focus.
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(kCurrentRowColour, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(row).adjusted(1, 1, -1, -1));
    }

    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QRect check = checkBoxRect(row);
    painter->drawPixmap(check,
        imageNamed(
            marked ? QStringLiteral("checked_icon.png") : QStringLiteral("unchecked_icon.png"), check.size(), ratio));

    // The thumbnail, or what stands in for it; never a file read here.
    const QRect frame = thumbnailRect(row);
    const QImage thumbnail = index.data(PhotoListModel::ThumbnailRole).value<QImage>();
    if (!thumbnail.isNull()) {
        const QSize fitted = thumbnail.size().scaled(frame.size(), Qt::KeepAspectRatio);
        const QRect target(frame.left() + (frame.width() - fitted.width()) / 2,
            frame.top() + (frame.height() - fitted.height()) / 2, fitted.width(), fitted.height());
        painter->drawImage(target, thumbnail);
    } else {
        const QStringList iconNames = index.data(PhotoListModel::TypeIconNamesRole).toStringList();
        // No icon of the type in the theme: the row shows our picture of a photo file.
        if (const QIcon icon = fileTypeIcon(iconNames); !icon.isNull()) {
            icon.paint(painter, frame);
        } else {
            const auto state = ThumbnailCache::State(index.data(PhotoListModel::ThumbnailStateRole).toInt());
            const QString name = ThumbnailCache::standInImageName(state, !iconNames.isEmpty());
            painter->drawPixmap(frame, imageNamed(name, frame.size(), ratio));
        }
    }

    const QRect info = infoButtonRect(row);
    const int textLeft = frame.right() + 10;
    const QRect nameRect(textLeft, row.top() + 3, info.left() - 6 - textLeft, row.height() / 2 - 3);
    const QRect pathRect(textLeft, row.top() + row.height() / 2, nameRect.width(), row.height() / 2 - 3);
    QFont nameFont = option.font;
    nameFont.setBold(true);
    painter->setFont(nameFont);
    painter->setPen(kNameColour);
    const QString name = index.data(PhotoListModel::FileNameRole).toString();
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignBottom,
        QFontMetrics(nameFont).elidedText(name, Qt::ElideMiddle, nameRect.width()));
    QFont pathFont = option.font;
    pathFont.setPointSizeF(pathFont.pointSizeF() * 0.85);
    painter->setFont(pathFont);
    painter->setPen(kPathColour);
    const QString path = index.data(PhotoListModel::FilePathRole).toString();
    painter->drawText(pathRect, Qt::AlignLeft | Qt::AlignTop,
        QFontMetrics(pathFont).elidedText(path, Qt::ElideMiddle, pathRect.width()));

    // "More options": three dots in a ring.
    painter->setPen(QPen(kPathColour, 1.2));
    painter->setBrush(Qt::NoBrush);
    painter->drawEllipse(QRectF(info).adjusted(1, 1, -1, -1));
    painter->setBrush(kPathColour);
    const QPointF centre = QRectF(info).center();
    for (int dot = -1; dot <= 1; ++dot)
        painter->drawEllipse(centre + QPointF(dot * 4.5, 0), 1.4, 1.4);
    painter->restore();
}

bool PhotoThumbnailCell::editorEvent(
    QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint position = mouse->position().toPoint();
    auto* view = qobject_cast<QAbstractItemView*>(const_cast<QWidget*>(option.widget));
    QWidget* from = view ? view->viewport() : nullptr;
    auto toContainer = [&](const QPoint& point) {
        return from && m_container && m_container->isAncestorOf(from) ? from->mapTo(m_container, point) : point;
    };

    if (mouse->button() == Qt::RightButton) {
        if (type == QEvent::MouseButtonPress)
            emit infoTapped(toContainer(position), index.row(), true);
        return true;
    }
    if (mouse->button() != Qt::LeftButton)
        return false;
    if (type == QEvent::MouseButtonRelease)
        return checkBoxRect(option.rect).contains(position) || infoButtonRect(option.rect).contains(position);

    if (infoButtonRect(option.rect).contains(position)) {
        if (type == QEvent::MouseButtonPress)
            emit infoTapped(toContainer(infoButtonRect(option.rect).bottomLeft()), index.row(), false);
        return true;
    }
    if (!checkBoxRect(option.rect).contains(position))
        return true; // a row selection means nothing in this list

    // Each press restarts the wait; a press that follows a pending one on the same
    // photo counts up, so a double or triple click ends in one report.
    const bool samePhoto = m_clickTimer.isActive() && m_clickIndex == QPersistentModelIndex(index);
    m_clickCount = samePhoto ? m_clickCount + 1 : (type == QEvent::MouseButtonDblClick ? 2 : 1);
    m_clickIndex = QPersistentModelIndex(index);
    m_clickTimer.start();
    return true;
}

void PhotoThumbnailCell::btnClicked()
{
    const int count = m_clickCount;
    const QPersistentModelIndex index = m_clickIndex;
    m_clickCount = 0;
    m_clickIndex = QPersistentModelIndex();
    qCDebug(lcBatch) << "click count =" << count;
    if (!index.isValid())
        return; // the photo left the list meanwhile
    if (count == 1)
        emit checkBoxSelected(index);
    else
        emit cellDoubleClicked(index);
}

bool PhotoThumbnailCell::helpEvent(
    QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && view && infoButtonRect(option.rect).contains(event->pos())) {
        QToolTip::showText(event->globalPos(), tr("More options"), view);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
