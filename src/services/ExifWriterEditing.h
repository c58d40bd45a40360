#pragma once

// The pieces of the writer that its files share: the field passes, the clear mode
// and the entries a new directory needs, and one photo's bytes
// through exiv2. Private to the writer's files in src/services; nothing else
// includes it.

#include "services/ExifWriter.h"
#include "services/FieldTagTable.h"
#include "services/MetadataVerification.h"
#include "platform/FileReplacer.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <exiv2/exiv2.hpp>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

class MetaDataObject;
class PhotoFile;

namespace ExifWriterEditing {

bool hasRawExtension(const PhotoFile& photo);

// ---- The field passes of the editing modes 0 and 1 (ExifWriterFieldPasses.cpp) ----

struct EditOutcome;

// Runs the passes over the image and answers the run status: 0, or 7 when a raw
// file's make or model was kept; a refusal when a date tag would take a text that
// is not a date (nothing is to be written then). held is the record read from the opened image
// before the edit: the dates the date pass keeps or shifts start from it rather
// than from the record read when the photo was added, so that a date changed
// since (by an earlier run, or by another program) is never put back.
EditOutcome runFieldPasses(Exiv2::Image& image, const PhotoFile& photo, const MetaDataObject& held,
    const MetaDataObject& settings, const MetaDataObject& onlyUpdated);

// What the passes finally do to a written field that no date setting decides: set
// its tag to text, erase it, or keep what the photo holds. The passes apply it, and
// whatever must know beforehand what a photo will hold asks it too.
struct FieldFate {
    enum Kind { Keep, Set, Erase } kind = Keep;
    QString text;
};
FieldFate fieldFate(const FieldTagInfo& row, const MetaDataObject& settings, const MetaDataObject& onlyUpdated,
    const MetaDataObject& held, bool isRaw);

// ---- The clear mode and the entries a new directory needs (ExifWriterClearing.cpp) ----

int clearMetadata(Exiv2::Image& image, const PhotoFile& photo, const MetaDataObject& settings, bool& setsFileDates);
// The Exif keys the clear of the Exif group takes (the entries a valid directory
// needs are then kept), without make and model.
const std::vector<std::string>& clearedExifKeys();
void addRequiredEntries(Exiv2::Image& image, const Exiv2::ExifData& before);

// ---- The XMP packet of an edit (ExifWriterXmpPacket.cpp) ----

// The packet of the edited XMP data, made by exiv2, with what the photo's own
// packet held and exiv2 would drop or change: its rdf:about, the empty items of
// language alternatives and the URIs it declared its namespaces with. Nothing when
// exiv2 cannot make the packet. readBackFollows: the photo's packet segment will be
// read back through an XMP worker (a JPEG's), which may then answer from this encode.
std::optional<std::string> xmpPacketKeepingOwnParts(
    const Exiv2::XmpData& xmpData, const std::string& ownPacket, bool readBackFollows = false);

// ---- IPTC values in their own bytes (ExifWriterIptcBytes.cpp) ----

// The IPTC data block of the edited data, with the bytes the original block held
// for every data set the edit did not target.
QByteArray iptcBlockKeepingBytes(
    const Exiv2::IptcData& iptcData, const std::set<std::string>& edited, QByteArrayView originalBlock);

// ---- One photo's bytes through exiv2 (ExifWriterInMemoryEdit.cpp) ----

// What an edit did to the opened photo: the run status, whether the photo's XMP
// packet text is to be written as the edit left it, and whether a directory the
// edit created gets the entries the Exif standard requires in it. A restore puts
// back what the photo held and adds nothing.
struct EditOutcome {
    int status = MetadataWriteResult::Processed;
    bool writesXmpPacket = false;
    bool addsRequiredEntries = true;
    // The IPTC data goes wherever the photo holds it, also from a JPEG's trailers,
    // which exiv2 does not read.
    bool clearsIptc = false;
    // Why the photo is not to be written; nothing is saved then.
    std::optional<QString> refusal;
    // What was asked and not done, while the rest is written.
    QStringList warnings;
    // The edit asks for a change of the Exif data (a tag set or erased, a rule
    // over an Exif date), or for the whole Exif group to go. Where the photo's
    // Exif block cannot be read whole, what was asked cannot be seen to be done:
    // the photo is refused, except that the whole group goes with a JPEG's Exif
    // segment (exifBlockEdit).
    bool changesExif = false;
    bool removesExif = false;
};

// What becomes of an edit of a photo whose Exif block cannot be read whole
// (exifBlockUnread); original holds at least the photo's metadata. Nothing when the
// block reads whole or the edit leaves it alone; else that the block goes whole
// (EditedKeys::exifBlockRemoved: the Exif data is then emptied in image), or the
// refusal, for the caller to give where the edit changed no Exif datum it read: a
// change it did make is judged by the verification, which keeps such a block.
struct UnreadExifEdit {
    std::optional<QString> refusal;
    bool removesBlock = false;
};
UnreadExifEdit exifBlockEdit(
    const EditOutcome& outcome, Exiv2::Image& image, const Exiv2::ExifData& read, QByteArrayView original);

using MetadataEdit = std::function<EditOutcome(Exiv2::Image& image)>;

struct EditedPhoto {
    int status = MetadataWriteResult::Processed;
    // exiv2's message when it failed; nothing was saved then.
    std::optional<QString> error;
    // Why the edited bytes were not saved: the edit cannot be made, or they did
    // not hold what they must.
    std::optional<QString> refusal;
    // The saver's message when the edited bytes could not be saved.
    std::optional<QString> saveError;
    // What the edit changed, and the photo's own values of it before.
    MetadataSnapshot before;
    EditedKeys edited;
    Exiv2::ByteOrder byteOrder = Exiv2::littleEndian;
    bool xmpPacketChanged = false;
    // What was asked and stays in the saved photo, each a sentence.
    QStringList warnings;

    // The edit gives the photo another XMP packet (or none): an XMP datum changed,
    // or the packet's text did.
    bool rewritesXmpPacket() const { return !edited.xmp.empty() || xmpPacketChanged; }
};

// Saves the edited bytes; answers the failure's text, or nothing. The bytes live
// only during the call.
using EditedBytesSaver = std::function<std::optional<QString>(QByteArrayView bytes)>;

EditedPhoto editedPhoto(
    QByteArrayView original, const QString& path, const MetadataEdit& edit, const EditedBytesSaver& save);
std::optional<EditedPhoto> editedHeaderOnly(const QString& basisPath, const QString& path, const MetadataEdit& edit,
    const QString& target, const FileReplacer::Options& options);

} // namespace ExifWriterEditing

namespace ExifWriterEditing {

// ---- One photo through exiftool (ExifWriterExifTool.cpp) ----

// The edit of a photo exiv2 cannot write (original holds the whole basis file):
// exiv2 reads the bytes and our edit runs on its copy as for any photo; exiftool
// applies what changed to the basis file, into a temporary file beside the target;
// those bytes are read back, verified as exiv2's own output would be, and saved
// at target through the replacer.
EditedPhoto editedThroughExifTool(QByteArrayView original, const QString& basisPath, const QString& path,
    const MetadataEdit& edit, const QString& target, const FileReplacer::Options& options);

} // namespace ExifWriterEditing
