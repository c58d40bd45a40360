#pragma once

#include "model/PhotoKind.h"
#include "platform/FLTImageMetadata.h"
#include "platform/ImageProperties.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

class MetaDataObject;
class PhotoFile;

namespace Exiv2 {
class ExifData;
class Image;
class IptcData;
class XmpData;
} // namespace Exiv2

// The answer of one photo's write: a code and the text the batch shows for it.
struct MetadataWriteResult {
    // The codes of errorFlag.
    enum Code : int {
        Processed = 0, // "Processed Successfully"
        SourceMissing = 1, // "This photo is not available at the Source location."
        WriteFailed = 2, // the reason, from exiv2 or the file system
        RawCameraKept = 7, // "Processed Successfully", a raw file's make and model kept
        AccessDenied = 8, // "Access denied to source file"
    };

    MetadataWriteResult() = default;
    MetadataWriteResult(int flag, QString message, QStringList notMade = {})
        : errorFlag(flag)
        , errorMsg(std::move(message))
        , warnings(std::move(notMade))
    {
    }

    int errorFlag = Processed;
    QString errorMsg;
    // A written photo's changes that were asked and could not be made, each a
    // sentence that names the tag and its value; the batch shows them as warnings.
    QStringList warnings;

    bool operator==(const MetadataWriteResult&) const = default;
};

// The metadata reader and writer over exiv2. It holds no state: one shared
// instance serves every thread, and every operation works on its arguments
// alone. Each group of operations lives in its own source file:
//   ExifWriter.cpp          the shared instance and the value texts of the reader
//   ExifWriterReading.cpp   reading a photo's metadata into a record
//   ExifWriterWriting.cpp   writing a record into a copy of a photo
//   ExifWriterFileDates.cpp file dates and access checks around a write
// exiv2 is called only inside the operation that needs it, and none of its
// exceptions leaves that operation.
class ExifWriter {
public:
    static ExifWriter& sharedInstance();

    ExifWriter(const ExifWriter&) = delete;
    ExifWriter& operator=(const ExifWriter&) = delete;

    // ---- Reading (ExifWriterReading.cpp) ----

    // Fills the record's text fields from the photo's Exif, IPTC and XMP data
    // through the keys of the field-to-tag table and answers the record. Only the
    // 80 text fields change; a field whose tag family the file lacks keeps its
    // text. Reading is a header read: no pixel is decoded. When the file cannot
    // be opened or its metadata is damaged, the failure is logged and the record
    // is answered untouched.
    MetaDataObject& readMetaFromPath(const QString& path, MetaDataObject& record) const;

    // The same read from a photo that exiv2 has already opened and read
    // (readMetadata done); path only names the photo in the log. A failure is
    // logged and leaves the record untouched.
    MetaDataObject& readMetaFromImage(const QString& path, Exiv2::Image& image, MetaDataObject& record) const;

    // One exiv2 open and parse of the photo for both of its readers: fills the
    // record as readMetaFromPath does and answers the image-property dictionary
    // that ImageProperties::propertiesForFile answers, with every fallback of that
    // dictionary (QImageReader and libheif sizes). A path that is no regular file
    // leaves the record untouched and answers an empty dictionary.
    QVariantMap readMetaAndPropertiesFromPath(const QString& path, MetaDataObject& record) const;
    // The same parse for the batch list: the record, and of the dictionary only
    // what the list keeps (ImageProperties::shapeOfImage).
    ImageProperties::Shape readMetaAndShapeFromPath(const QString& path, MetaDataObject& record) const;

    // ---- Writing (ExifWriterWriting.cpp) ----

    // Writes the settings record into the photo at newPath and answers the result;
    // with isForRestore it is restorePhoto, and the records and newPath play no
    // part.
    //
    // Decimal commas of both records become points first (also when the run then
    // stops). The source must exist (1). The file the write replaces (the source
    // when newPath is the source, else a file already at newPath) must be writable
    // and not immutable (8); a source that is only read may be read-only. The
    // starting point is the file already at newPath when there is one (it is
    // edited), else the source. Mode 2 removes the groups of the clear flags; the
    // other modes run the field passes, mode 1 then erases what onlyUpdated leaves
    // empty. The file's modification time follows the adjusted modify date of the
    // photo as first read, except after a clear run that removed the Exif, IPTC or
    // XMP group.
    //
    // The basis is read once and exiv2 writes the result into memory; those bytes
    // are read back and verified (every datum the edit did not target unchanged,
    // maker notes included, every targeted one as asked) before they go to a
    // temporary file in the output folder that is flushed and renamed over newPath.
    // Of a JPEG only the header segments are read and edited; its image data goes
    // from the basis to the temporary file inside the kernel (see JpegSplice), and
    // the new file is byte for byte the one the whole-file read would give.
    // A failure (2) leaves every file as it was: nothing is removed or truncated.
    // processedPath names newPath once the checks have passed. A write in place
    // gives the photo a restorePoint with its way back; a write to another file,
    // one with the mark of the output as written.
    MetadataWriteResult writeMetaDataToFilePath(PhotoFile& photo, MetaDataObject& settings, const QString& newPath,
        MetaDataObject& onlyUpdated, bool isForRestore) const;

    // The restore of a photo that an earlier run wrote (writeMetaDataToFilePath
    // with isForRestore calls it): afterwards the photo's processedPath holds the
    // source's own metadata. An output in another file becomes a fresh copy of the
    // source, into which nothing is written, only while it is still, untouched, the
    // file the run wrote (the mark in the photo's restorePoint): one changed since is
    // kept, and the answer names it. An output that was the source itself
    // gets back, value for value, what the runs changed, from the photo's
    // restorePoint, which is then cleared. Nothing to restore (no file was made,
    // the source was never changed) answers success and writes nothing.
    MetadataWriteResult restorePhoto(PhotoFile& photo) const;

    // HEIC, HEIF, AVIF and CR3 photos, which exiv2 reads but cannot write, and PNG
    // photos (whose Exif belongs in their eXIf chunk) take the same path with one
    // difference: our passes edit exiv2's copy in memory as for any photo, and
    // exiftool applies the changes to the file (ExifWriterExifTool.cpp). Which
    // exiftool runs: empty for the one on PATH (the default).
    static void setExifToolProgram(const QString& program);
    // Whether photos like the one starting with these bytes are written through exiftool.
    static bool isWrittenByExifTool(QByteArrayView head);
    // Whether the photo at path can be written at all, told from its first bytes
    // as the writer chooses its road: nothing when it can, else why not, for the
    // user. Not written: a file exiv2 knows no kind of or writes no metadata into
    // (SVG, XPM, PBM, a bare JPEG 2000 codestream, text, an XMP packet alone), an
    // empty file, a PNG, HEIC, HEIF, AVIF or CR3 file under another kind's name
    // (exiftool refuses it), and a HEIF or CR3 file whose image data is cut away.
    // A file that cannot be read answers nothing: its reading has its own words.
    static std::optional<QString> whyNotWritable(const QString& path);
    // The same from the file's first bytes as kindHeadOf read them.
    static std::optional<QString> whyNotWritable(const QString& path, const std::optional<QByteArray>& head);
    // The first bytes of the file at path, enough to tell its kind; nothing when
    // the file cannot be opened or read.
    static std::optional<QByteArray> kindHeadOf(const QString& path);
    // Whether photos like the one starting with these bytes can keep IPTC data. The
    // ISO base media containers (HEIC, HEIF, AVIF, CR3) and WebP have no place for it,
    // and no writer puts it there: an edit that would write IPTC into one is refused
    // whole, with keepsNoIptcRefusal.
    static bool keepsIptc(QByteArrayView head);
    static QString keepsNoIptcRefusal();
    // What the photo's record keeps of its kind (keepsIptc, and those kinds' name by
    // content: a base media file by its brands, a WebP by its RIFF header). Bytes
    // that cannot be read (none) count as keeping IPTC data: the write of such a
    // file fails with words of its own.
    static PhotoKind kindOf(QByteArrayView head);
    // Whether writing the settings record into a photo whose own record is held would
    // set an IPTC dataset, as the field passes decide it. Erasing one is left out: a
    // photo that keeps no IPTC data has none to erase, and the clear mode writes none.
    static bool editSetsIptc(const MetaDataObject& settings, const MetaDataObject& held);
    // Called as a photo enters the list: for one that exiftool will write, starts the
    // shared exiftool now, so that its start (a quarter of a second of processor
    // time) overlaps the rest of the intake rather than delaying the run.
    static void prepareWriterFor(const QString& path);

    // Turns every "," into "." in the 13 decimal fields that hold text; the edited
    // flags stay. Answers the record.
    MetaDataObject& replaceCommaValueToDot(MetaDataObject& record) const;

    // Erase one key from a container in place and answer whether anything went. An
    // IPTC key takes every dataset with that key (a dataset may repeat); Exif and
    // XMP hold a key once. A text that is no key of the family erases nothing.
    static bool deleteKeysValuesFormExifData(Exiv2::ExifData& exifData, const QString& key);
    static bool deleteKeysValuesFormIptcData(Exiv2::IptcData& iptcData, const QString& key);
    static bool deleteKeysValuesFormXmpData(Exiv2::XmpData& xmpData, const QString& key);

    // An exiv2 message without the file-opening prefixes, with " (errno = N)"
    // turned into ".".
    static QString cleanedErrorMessage(const QString& message);

    // ---- File dates and access checks (ExifWriterFileDates.cpp) ----

    // Whether the path may not be written (also when there is no file).
    bool checkForReadOnlyFilePath(const QString& path) const;

    // Whether the file carries the immutable flag; logs "File is locked" when it does.
    bool checkForLockedFile(const QString& path) const;

    // The same test as checkForReadOnlyFilePath for a folder: true when no new file
    // may be made in it (also when it does not exist).
    bool checkForReadOnlyParentFolderPath(const QString& folderPath) const;
    // The folder test on the dictionary's "FolderPath" text; a missing one counts as read-only.
    bool checkForReadOnlyParentFolder(const QVariantMap& folder) const;

    // The date text read with one pattern and written with the other; "" when it is
    // empty or does not read with inFormat. Unlike Utils::convertedDate, no other
    // pattern is tried.
    QString convertedDate(const QString& date, const QString& inFormat, const QString& convertedFormat) const;

    // Sets the file's modification time from modifyDate ("yyyy:MM:dd HH:mm:ss", a
    // local wall-clock time) when it reads as a date; otherwise the time stays. The
    // creation date cannot be set on Linux and is not. The record is not used.
    void upadteDateTimeOffileInSystem(const QString& path, const MetaDataObject& record, const QString& creationDate,
        const QString& modifyDate) const;

    // The moment a record date text names ("yyyy:MM:dd HH:mm:ss", local time), if
    // it reads as one.
    static std::optional<QDateTime> fileDateFromText(const QString& text);

    // ---- Value texts of the reader (ExifWriter.cpp) ----

    // Exif degrees, minutes and seconds (one to three numbers) as "%f" decimal
    // degrees, never negative: d + m/60 + s/3600 at full precision. No number,
    // four or more, or one that is not finite gives "". A value that is no list
    // is answered unchanged.
    MetadataValue extractGPSDataStringFromString(const MetadataValue& value) const;

    // A list's first number as "%f" text ("" for an empty list or a number that is
    // not finite); a value that is no list is answered unchanged.
    MetadataValue extractStringFromArrVal(const MetadataValue& value) const;

    // D°M'S" with an optional hemisphere letter after the seconds mark as decimal
    // degrees, negative for "W" and "S"; 0 unless the three marks stand in this
    // order.
    double getDegreesStringToDecimal(const QString& text) const;

    // Decimal degrees as the text D° M' S" of whole numbers, the seconds rounded
    // and the sign dropped (the hemisphere is shown apart): -48.8566 gives 48° 51' 24".
    QString getformattedLatnLongFromDoubleValue(double value) const;

    // Whether the XMP data holds a datum with exactly this key. Key texts are
    // compared, so a key of a namespace that exiv2 does not know is never built.
    bool isPrismKeyExist(const Exiv2::XmpData& xmpData, const FLTImageMetadata& formatter, const QString& key) const;

    // Whether the text, trimmed and without its "/" characters, holds only
    // decimal digits (an empty remainder counts).
    static bool isStringContansNumericValuesOnly(const QString& text);

    // A rational that a file stores as text ("28/10") as the "%f" text of its
    // quotient; anything else, a text typed by a person above all, stays.
    static QString exifFractionText(const QString& text);

    // An XMP GPS coordinate "DDD,MM.mmk" or "DDD,MM,SSk" as "%f" signed decimal
    // degrees; a text without "," (a plain decimal) stays.
    static QString xmpCoordinateText(const QString& text);

private:
    ExifWriter() = default;
};
