#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Why the acceptance rules refused a path (or that they took it).
enum class PhotoVerdict {
    Accepted,
    AlreadyInBatch, // the exact path text is in the batch list or was added earlier in this adding
    NotAnImage, // its type is no image and its extension is not one of the additional ones
    Unsupported, // its extension is one we cannot edit
    FilteredOut, // it does not end with the adding's file-type filter
    UndecodableName, // its name is not UTF-8: no text path could open it again
    OutsideLibrary, // a photo library lists it, but it lies outside that library's folder
    NotAFile, // a FIFO, socket or device stands under the name: reading it could block for ever
};

// Why a path was not taken, in words for the user; "" for Accepted.
QString photoVerdictText(PhotoVerdict verdict, const QString& path);

// The rules that decide whether one path may become a photo of the batch list,
// in their order: duplicate, image type (or an additional extension), not an
// unsupported extension, the file-type filter. They look at the path text only,
// never at the file. One object per walk: it keeps the type of each extension it
// has looked up, so it is not shared between threads.
class PhotoAcceptance {
public:
    // Compared exactly as written.
    static const QStringList& additionalImageExtensions();
    // Compared with the extension in upper case.
    static const QStringList& unsupportedImageExtensions();

    // The add panels' name filters: the kinds of photo an adding takes, then every file.
    static QStringList addPhotosNameFilters();

    // The text after the last dot of the last path component; "" when there is none.
    static QString extensionOf(const QString& path);

    // fileType "ALL" takes every path; any other text must end the path (case-sensitive).
    explicit PhotoAcceptance(QString fileType = QStringLiteral("ALL"));

    // Whether the extension's type is an image type: the type found from the name
    // alone is image/* or inherits from one.
    bool isImageExtension(const QString& extension);

    // The rules without the duplicate test.
    PhotoVerdict typeVerdict(const QString& path);

private:
    QString m_fileType;
    QHash<QString, bool> m_imageExtensions;
};
