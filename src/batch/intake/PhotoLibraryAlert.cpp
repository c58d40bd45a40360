#include "batch/intake/PhotoLibraryAlert.h"

#include "batch/alerts/AlertCatalog.h"

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
        AlertCatalog::libraryNotRead(QFileInfo(libraryPath).fileName()), asSentence(reason) };
}

PhotoLibraryAlert rowsLeftOutAlert(const QString& libraryPath, const QStringList& notes)
{
    QStringList sentences;
    for (const QString& note : notes)
        sentences.append(asSentence(note));
    return { PhotoLibraryAlert::Kind::RowsLeftOut,
        AlertCatalog::libraryNotReadCompletely(QFileInfo(libraryPath).fileName()), sentences.join(u' ') };
}
