#include "batch/list/PhotoListControls.h"

#include <QHash>

QString PhotoListControls::toolTip(const QString& objectName)
{
    static const QHash<QString, QString> tips {
        { QStringLiteral("btnRemovePhoto"), QStringLiteral("Click here to remove photos") },
        { QStringLiteral("btnAddPhoto"), QStringLiteral("Click here to add photos.") },
        { QStringLiteral("btnProcess"), QStringLiteral("Click here to start process") },
        { QStringLiteral("btnPresets"), QStringLiteral("Click here to add/edit presets") },
        { QStringLiteral("btnRestore"), QStringLiteral("Click here to restore exif data of processed files") },
        { QStringLiteral("btnReset"), QStringLiteral("Click here to reset edited data") },
        { QStringLiteral("btnNext"), QStringLiteral("Click for renaming option.") },
    };
    return tips.value(objectName);
}
