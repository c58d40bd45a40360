#pragma once

#include "batch/list/AttachPopupType.h"

#include <QPointF>
#include <QSizeF>
#include <QStringList>
#include <Qt>

// The photo list's three drop-down menus (add photos, photo menu, metadata
// options) as data, and the keyboard rule of the list.
class PhotoListMenus {
public:
    enum AddPhotosRow { AddPhotos = 0, AddFolder = 1 };
    enum PhotoMenuRow { ShowInFileManager = 0, OpenWithImageViewer = 1, GetInfo = 2, MarkUnmarkAll = 3, RemovePhoto = 4 };
    enum MetadataMenuRow { Reset = 0, CleanMetadata = 1 };

    static constexpr double kRowHeight = 30.0;

    // The rows of a menu; empty for a type that is none of the three.
    static QStringList rows(AttachPopupType type);
    // The size of the menu's list for its rows: add photos 190 x 66, the photo
    // menu 190 x 163, metadata options 150 x 66. Empty for other types.
    static QSizeF listSize(AttachPopupType type);
    static QSizeF listSize(AttachPopupType type, int rowCount);
    // Where the metadata options list points, in the coordinates of the button that
    // opens it: the middle of its width, 12 points below its lower edge.
    static QPointF metadataMoreOptionsAnchor(QSizeF buttonSize);
    // The text of a menu row; "" for a row the menu does not have.
    static QString rowText(AttachPopupType type, int row);

    // Mark/Unmark All from the keyboard: Ctrl held alone (no Shift, Alt or Meta)
    // with a key that is not itself a modifier. A right Ctrl is refused when the
    // caller can tell it is the one held.
    static bool isMarkAllShortcut(Qt::KeyboardModifiers modifiers, int key, bool rightControlHeld = false);
};
