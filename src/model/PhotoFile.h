#pragma once

#include "model/MetaDataObject.h"
#include "model/MetadataRestorePoint.h"
#include "model/PhotoKind.h"

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QVariantMap>
#include <memory>

// The result of a photo's last batch run: 0 not processed, else the failing
// write code; 10 to 12 are renaming warnings, 13 a change the written photo did
// not get.
enum PhotoProcessStatus : int {
    PhotoNotProcessed = 0,
    PhotoRenameNoDate = 10,
    PhotoRenameNoLocation = 11,
    PhotoRenameAdjusted = 12, // the output name was shortened or given a number to stay unique
    PhotoChangeNotMade = 13, // written, but a change asked for could not be made (the message says which)
};

// One photo of the batch list: where the file is, its name parts and pixel size,
// the metadata record read from it, whether it is ticked,
// and what the last run did with it. A plain value holder; it is not archived.
class PhotoFile {
public:
    // An empty record, as the batch uses for its renaming warnings.
    PhotoFile() = default;

    // Reads the file's size, image properties (pixel size, orientation) and
    // metadata. Never fails: what cannot be read stays empty or 0, and a file
    // that is no image ends up with width and height 0. Defined with the metadata
    // reader (services/PhotoFileReading.cpp): this floor reads no files.
    PhotoFile(const QString& path, bool isIphoto);
    // The same with the kind already told from the file's first bytes, which the
    // intake has read for its own check (ExifWriter::kindOf).
    PhotoFile(const QString& path, bool isIphoto, const PhotoKind& photoKind);
    // What the batch list keeps: read as above, but without the image-property
    // dictionary (exifDict stays empty), of which the list keeps only the pixel
    // size and the orientation; reading the rest cost a sixth of an adding.
    struct ListedOnly { };
    PhotoFile(const QString& path, const PhotoKind& photoKind, ListedOnly);

    QString filePath;
    QString fileName;
    QString fileExtension; // without the dot; "" when there is none
    double width = 0; // as the photo is shown: swapped for the quarter-turn orientations
    double height = 0;
    QString fileSizeAsString;
    QDateTime fileCreationDate;
    QDateTime fileModifiedDate;
    QString fileContainerFolderName;
    QImage thumbnailImg;
    QString fileURL; // the same path text as filePath
    double rep_width = 0;
    double rep_height = 0;
    QString processInfoMessage;
    bool isIphotosNode = false;
    double fileSizeInBytes = 0;
    QVariantMap exifDict;
    int processStatus = PhotoNotProcessed;
    QString processMsg;
    QString processedPath;
    // Set by a write that changed the photo's own file (output = source): what a
    // restore puts back. Empty when the photo's file was never changed.
    std::shared_ptr<MetadataRestorePoint> restorePoint;
    // The records read from the photo are never changed once the photo is listed:
    // a run's snapshot and its writers share them with the list, and a photo that
    // a write changed gets new records.
    std::shared_ptr<const MetaDataObject> metadataObject;
    std::shared_ptr<const MetaDataObject> metadataObjectOriginal;
    bool isSelected = false;
    // Told once, as the photo enters the list: what the checks before a run read
    // instead of the file.
    PhotoKind kind;

private:
    // The file's name parts and size; the reading constructors share it.
    void takeNameAndSize(const QString& path);
    // The shown size from the pixel size and the orientation.
    void takeShape(double pixelWidth, double pixelHeight, int orientation);
};
