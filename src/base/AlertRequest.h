#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// An alert: a message with buttons, the first of which is the default. The texts
// come from AlertCatalog; the presenter draws it.
struct AlertRequest {
    QString objectName;
    QString title;
    QString message;
    QString informativeText;
    QStringList buttons { QCoreApplication::translate("AlertRequest", "OK") };
    enum class Icon { None, Information, Warning, Critical } icon = Icon::None;
};
