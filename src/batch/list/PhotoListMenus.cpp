#include "batch/list/PhotoListMenus.h"

QStringList PhotoListMenus::rows(AttachPopupType type)
{
    switch (type) {
    case AttachPopupAddPhotos:
        return { QStringLiteral("Add Photos"), QStringLiteral("Add Folder") };
    case AttachPopupPhotoMenu:
        return { QStringLiteral("Show in File Manager"), QStringLiteral("Open With Image Viewer"), QStringLiteral("Get Info"),
            QStringLiteral("Mark/Unmark All"), QStringLiteral("Remove Photo") };
    case AttachPopupMetadataMoreOptions:
        return { QStringLiteral("Reset"), QStringLiteral("Clean Metadata") };
    default:
        return {};
    }
}

QSizeF PhotoListMenus::listSize(AttachPopupType type)
{
    return listSize(type, int(rows(type).size()));
}

QSizeF PhotoListMenus::listSize(AttachPopupType type, int rowCount)
{
    // Short lists fit their rows; longer ones scroll inside a fixed height.
    const float n = float(rowCount);
    switch (type) {
    case AttachPopupAddPhotos:
        return QSizeF(190.0, rowCount < 5 ? 30.0 * n + 6.0 : 90.0);
    case AttachPopupPhotoMenu:
        return QSizeF(190.0, rowCount < 7 ? double(30.0f * n + 13.0f) : 180.0);
    case AttachPopupMetadataMoreOptions:
        return QSizeF(150.0, rowCount < 6 ? double(30.0f * n + 6.0f) : 180.0);
    default:
        return QSizeF();
    }
}

QPointF PhotoListMenus::metadataMoreOptionsAnchor(QSizeF buttonSize)
{
    return QPointF(buttonSize.width() * 0.5, buttonSize.height() + 12.0);
}

QString PhotoListMenus::rowText(AttachPopupType type, int row)
{
    const QStringList list = rows(type);
    return row >= 0 && row < list.size() ? list.at(row) : QString();
}

bool PhotoListMenus::isMarkAllShortcut(Qt::KeyboardModifiers modifiers, int key, bool rightControlHeld)
{
    switch (key) {
    case Qt::Key_Control:
    case Qt::Key_Shift:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_unknown:
        return false;
    default:
        break;
    }
    // The keypad flag says where the key sits, not what is held.
    return (modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier && !rightControlHeld;
}
