#include "controls/Presenter.h"

#include <QCoreApplication>

AlertRequest AlertRequest::photosInTrash()
{
    AlertRequest alert;
    alert.objectName = QStringLiteral("alertTrash");
    alert.message = QCoreApplication::translate(
        "AlertRequest", "Photos in the trash cannot be added. Restore them from the trash first.");
    return alert;
}
