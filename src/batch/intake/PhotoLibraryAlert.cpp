#include "batch/intake/PhotoLibraryAlert.h"

#include <QFileInfo>

namespace {

// The reason comes from the database library, in lower case: the alert shows it
// as a sentence of its own.
QString asSentence(QString text)
{
    text = text.trimmed();
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    if (!text.isEmpty() && !text.endsWith(u'.'))
        text += u'.';
    return text;
}

} // namespace

PhotoLibraryAlert unreadableLibraryAlert(const QString& libraryPath, const QString& reason)
{
    return { PhotoLibraryAlert::Kind::LibraryUnreadable,
        QStringLiteral("The photo library \"%1\" could not be read.").arg(QFileInfo(libraryPath).fileName()),
        asSentence(reason) };
}
