#include "platform/UrlOpener.h"

#include <QDesktopServices>

bool DesktopUrlOpener::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

QString UrlOpener::notOpenedText(const QUrl& url)
{
    return QStringLiteral("The page %1 could not be opened: no web browser answered.").arg(url.toDisplayString());
}
