#include "services/ExifBlockRewrite.h"
#include "services/ExifWriterEditing.h"
#include "services/MetadataVerification.h"
#include "base/Logging.h"
#include "platform/Exiv2Adapter.h"
#include "platform/ImageDataLayout.h"
#include "platform/JpegExifSegment.h"
#include "platform/JpegExtendedXmp.h"
#include "platform/JpegSplice.h"
#include "platform/JpegTrailer.h"
#include "platform/PhotoshopIptcDigest.h"

#include <QByteArray>
#include <exiv2/exiv2.hpp>
#include <memory>

using namespace Qt::Literals::StringLiterals;
using namespace ExifWriterEditing;

namespace {

bool isParsableXmp(const std::string& packet)
{
    if (packet.empty())
        return true;
    Exiv2::XmpData parsed;
    return Exiv2Adapter::decodeXmp(parsed, packet) == 0;
}

// The photo's own XMP packet. exiv2 leaves a TIFF file's out of the image's packet
// and keeps it as the Exif datum of its tag 700.
std::string ownXmpPacket(const MetadataSnapshot& before)
{
    if (!before.xmpPacket.empty())
        return before.xmpPacket;
    const auto datum = before.exif.findKey(Exiv2::ExifKey("Exif.Image.XMLPacket"));
    if (datum == before.exif.end() || datum->size() == 0)
        return {};
    std::string packet(datum->size(), '\0');
    datum->copy(reinterpret_cast<Exiv2::byte*>(packet.data()), Exiv2::bigEndian);
    return packet;
}

// exiv2 would make the new packet itself, without the photo's own about and
// empty alternatives; a JPEG is given one that keeps them. exiv2's TIFF writer
// takes no packet made outside it, so a TIFF file's is answered, to go into its
// block afterwards (withExifBlockEditedInPlace).
std::string keepOwnXmpParts(Exiv2::Image& image, QByteArrayView original, bool isJpeg, const MetadataSnapshot& before)
{
    const bool isTiff = original.startsWith("II") || original.startsWith("MM");
    if (!(isJpeg || isTiff) || image.xmpData().empty())
        return {};
    std::optional<std::string> packet = xmpPacketKeepingOwnParts(image.xmpData(), ownXmpPacket(before), isJpeg);
    if (!packet || !isJpeg)
        return packet.value_or(std::string());
    // Told first to write from the packet, exiv2 hands its packet out without
    // serialising the data once more, on this thread and outside the toolkit's lock.
    image.writeXmpFromPacket(true);
    image.xmpPacket() = std::move(*packet);
    return {};
}

// A JPEG written by exiv2 with its IPTC data in the photo's own bytes where the
// edit leaves them; nothing when no step changed the written bytes.
std::optional<QByteArray> withOwnIptcBytes(QByteArrayView written, QByteArrayView original,
    const Exiv2::IptcData& expected, const std::set<std::string>& editedIptc)
{
    // exiv2 encodes the IPTC data anew whatever changed (a time gains an
    // offset, an empty dataset goes, Photoshop's digest turns stale); untouched
    // IPTC data goes back as it was.
    if (editedIptc.empty())
        return JpegExifSegment::withPhotoshopSegmentOf(written, original);
    // Cleared IPTC data takes Photoshop's digest of it along; exiv2 leaves it,
    // describing data that is gone.
    if (expected.empty())
        return PhotoshopIptcDigest::withoutOrphanedDigest(written);
    // exiv2 encodes every IPTC value anew and leaves out empty ones; what the
    // edit did not target goes back in the photo's own bytes.
    std::optional<QByteArray> rebuilt;
    if (const std::optional<QByteArrayView> block = PhotoshopIptcDigest::iptcDataOf(original))
        rebuilt = PhotoshopIptcDigest::withIptcData(written, iptcBlockKeepingBytes(expected, editedIptc, *block));
    std::optional<QByteArray> digested
        = PhotoshopIptcDigest::updated(rebuilt ? QByteArrayView(*rebuilt) : written, original);
    return digested ? std::move(digested) : std::move(rebuilt);
}

// What exiv2 is given as the Exif data of a JPEG whose Exif block goes into the
// written file from the photo's own (as it was, or edited where it lies): one entry,
// so that exiv2 still writes an Exif segment where it places one, and the segment's
// block is replaced afterwards. Encoding the whole data would be work thrown away.
Exiv2::ExifData exifStandIn()
{
    Exiv2::ExifData standIn;
    standIn["Exif.Image.Orientation"] = std::uint16_t(1);
    return standIn;
}

// The IPTC data a clear leaves in a trailer of the saved bytes, which exiftool
// still finds there: a JPEG's trailer that cannot be read or is of a kind not
// rewritten, or any of a TIFF file's, whose trailers exiv2 copies as they are.
std::optional<QString> iptcLeftInTrailer(QByteArrayView saved)
{
    std::optional<JpegTrailer::KeptIptc> kept;
    const ImageDataLayout::Kind kind = ImageDataLayout::kindOf(saved);
    switch (kind) {
    case ImageDataLayout::Kind::Jpeg:
        if (const std::optional<qsizetype> scan = ImageDataLayout::jpegScanStart(saved))
            kept = JpegTrailer::iptcKeptIn(saved, *scan, true);
        break;
    case ImageDataLayout::Kind::Tiff:
        kept = JpegTrailer::iptcKeptIn(saved, 0, false);
        break;
    default:
        break;
    }
    if (!kept)
        return std::nullopt;
    const QString why = kept->unreadable      ? u"its directory cannot be read"_s
        : kind == ImageDataLayout::Kind::Tiff ? u"a TIFF file's trailers are not rewritten"_s
                                              : u"such a trailer is not rewritten"_s;
    return u"The IPTC data in the photo's %1 trailer could not be removed: %2."_s.arg(kept->trailer, why);
}

} // namespace

namespace ExifWriterEditing {

UnreadExifEdit exifBlockEdit(
    const EditOutcome& outcome, Exiv2::Image& image, const Exiv2::ExifData& read, QByteArrayView original)
{
    if (!(outcome.changesExif || outcome.removesExif) || !exifBlockUnread(read, original))
        return {};
    // A JPEG's Exif segment can go whole. A TIFF file's block is the file itself
    // (its first directory describes the image), and a HEIF or PNG file's Exif is
    // written by exiftool, which cannot read it either.
    if (outcome.removesExif && ImageDataLayout::kindOf(original) == ImageDataLayout::Kind::Jpeg) {
        image.exifData().clear();
        return { std::nullopt, true };
    }
    return { damagedExifRefusal(), false };
}

// The photo's bytes with the edit applied, all in memory: exiv2 reads the bytes
// once, writes the new file into its own buffer, and that buffer is read back and
// verified before the saver gets it, so that the photo is not copied once more on
// its way out. An XMP packet that the edit leaves alone is written back as it was
// read, byte for byte, also when exiv2 cannot parse it. An edit that changes no
// datum writes no metadata: the photo's own bytes are saved as they came, since
// exiv2 would still lay them out anew (segments reordered, IPTC times given an
// offset, an empty dataset dropped).
EditedPhoto editedPhoto(
    QByteArrayView original, const QString& path, const MetadataEdit& edit, const EditedBytesSaver& save)
{
    EditedPhoto result;
    MetadataSnapshot expected;
    ComparableValues beforeValues;
    ComparableValues expectedValues;
    bool isJpeg = false;
    bool changesNothing = false;
    // The packet a TIFF file's tag 700 takes in place of exiv2's.
    std::string tiffXmpPacket;
    // A JPEG's own Exif segment goes into the written file (no Exif datum changed),
    // or its own block edited where it lies; exiv2 then writes only a stand-in.
    bool givesStandIn = false;
    std::optional<QByteArray> ownExifBlock;
    // What a clear of IPTC left in a trailer of the saved bytes.
    std::optional<QString> savedIptcLeft;
    const auto editImage = [&](Exiv2::Image& image) {
        result.before = MetadataSnapshot::of(image);
        if (image.byteOrder() != Exiv2::invalidByteOrder)
            result.byteOrder = image.byteOrder();
        isJpeg = image.mimeType() == "image/jpeg";

        const EditOutcome outcome = edit(image);
        result.status = outcome.status;
        if (outcome.refusal) {
            result.refusal = outcome.refusal;
            return false;
        }
        const UnreadExifEdit unread = exifBlockEdit(outcome, image, result.before.exif, original);
        if (outcome.addsRequiredEntries)
            addRequiredEntries(image, result.before.exif);
        expected = MetadataSnapshot::of(image);
        beforeValues = ComparableValues::of(result.before);
        expectedValues = ComparableValues::of(expected);
        result.edited = editedKeysBetween(beforeValues, expectedValues);
        result.edited.exifBlockRemoved = unread.removesBlock;
        if (unread.refusal && result.edited.exif.empty()) {
            result.refusal = unread.refusal;
            return false;
        }
        result.edited.iptcInTrailers = outcome.clearsIptc;
        result.xmpPacketChanged = expected.xmpPacket != result.before.xmpPacket;
        changesNothing = result.edited.exif.empty() && !unread.removesBlock && result.edited.iptc.empty()
            && !result.rewritesXmpPacket();
        if (changesNothing)
            return false;
        // exiv2 would drop the datasets silently, and the read-back refuse the photo
        // in its own words.
        if (!result.edited.iptc.empty() && !ExifWriter::keepsIptc(original)) {
            result.refusal = ExifWriter::keepsNoIptcRefusal();
            return false;
        }
        const bool keepsPacket = outcome.writesXmpPacket || !result.rewritesXmpPacket();
        image.writeXmpFromPacket(keepsPacket);
        // XMP data decoded from this very packet shows it parsable without parsing it
        // again (a packet that cannot be read leaves no data).
        const bool readFromPacket
            = !result.before.xmp.empty() && result.before.xmp.xmpPacket() == result.before.xmpPacket;
        if (!keepsPacket && !result.edited.xmp.empty() && !readFromPacket && !isParsableXmp(result.before.xmpPacket)) {
            result.refusal = u"The photo's XMP data cannot be read, so its XMP fields cannot be changed; the photo "
                             u"was not changed."_s;
            return false;
        }
        if (!keepsPacket)
            tiffXmpPacket = keepOwnXmpParts(image, original, isJpeg, result.before);
        // exiv2 drops only the first Exif segment it meets and puts its own after the
        // last APP0 segment: behind a second Exif segment, the stand-in would stay in
        // the file next to the block put back. Only a photo with one is given it.
        // A block of which exiv2 read nothing it would drop: left alone, it is kept.
        const bool keepsUnreadBlock = expected.exif.empty() && result.edited.exif.empty()
            && !result.edited.exifBlockRemoved && exifBlockUnread(result.before.exif, original);
        if (isJpeg && (!expected.exif.empty() || keepsUnreadBlock) && JpegExifSegment::findSole(original)) {
            if (!result.edited.exif.empty())
                ownExifBlock = jpegExifBlockEditedInPlace(original, expected.exif, result.edited.exif);
            givesStandIn = result.edited.exif.empty() || ownExifBlock;
            if (givesStandIn)
                image.setExifData(exifStandIn());
        }
        return true;
    };
    const auto saveBytes = [&](QByteArrayView written) {
        // exiv2 lays some Exif blocks out anew even when no Exif datum changed, and
        // a maker note can lose its inner offsets that way; an untouched block goes
        // back as it was, and an edited one is edited where it lies.
        // Where exiv2 wrote the stand-in, a splice that fails leaves it in the file, and
        // the verification below refuses the photo: it finds the Exif data gone.
        const std::optional<JpegExifSegment> standIn
            = givesStandIn ? JpegExifSegment::findSole(written) : std::nullopt;
        if (givesStandIn && !standIn) {
            result.refusal = u"The photo's Exif data could not be kept as it was, so the photo was not changed."_s;
            return;
        }
        std::optional<QByteArray> spliced;
        if (ownExifBlock) {
            spliced = JpegExifSegment::withTiffBlock(written, *standIn, *ownExifBlock);
        } else if (result.edited.exif.empty() && isJpeg) {
            spliced = JpegExifSegment::withExifSegmentOf(written, original);
        } else {
            EmbeddedEdits embedded { !result.edited.iptc.empty(), result.rewritesXmpPacket(), tiffXmpPacket, {} };
            if (embedded.iptc && !expected.iptc.empty())
                embedded.iptcBlock = [&](QByteArrayView block) {
                    return iptcBlockKeepingBytes(expected.iptc, result.edited.iptc, block);
                };
            spliced = withExifBlockEditedInPlace(written, original, expected.exif, result.edited.exif, embedded);
        }
        if (spliced)
            written = *spliced;
        std::optional<QByteArray> iptcKept;
        if (isJpeg) {
            iptcKept = withOwnIptcBytes(written, original, expected.iptc, result.edited.iptc);
            if (iptcKept)
                written = *iptcKept;
        }
        // exiv2 copies the extension segments whatever it did to the packet; those
        // the new packet (or its removal) does not name would be left to readers as
        // stray data.
        std::optional<QByteArray> extensionKept;
        if (isJpeg && result.rewritesXmpPacket()) {
            extensionKept = JpegExtendedXmp::keepingOnly(written, extendedXmpGuidOf(expected.xmp));
            if (extensionKept)
                written = *extensionKept;
        }
        // exiv2 copies a JPEG's trailers as they were, wherever the new header puts
        // them: their own offsets move with them, and a clear takes their IPTC data.
        std::optional<QByteArray> trailersMoved;
        if (isJpeg) {
            trailersMoved = JpegTrailer::carriedOver(written, original, result.edited.iptcInTrailers);
            if (trailersMoved)
                written = *trailersMoved;
        }
        result.refusal = verifyWrittenMetadata(
            result.before, beforeValues, expected, expectedValues, result.edited, path, written, original);
        if (!result.refusal)
            result.saveError = save(written);
        if (!result.refusal && result.edited.iptcInTrailers)
            savedIptcLeft = iptcLeftInTrailer(written);
    };
    result.error = Exiv2Adapter::editInMemory(original, path, editImage, saveBytes);
    // Nothing exiv2 reads changes, but a clear still takes the IPTC data of the
    // trailers.
    const std::optional<QByteArray> trailersCleared
        = changesNothing && !result.error && isJpeg && result.edited.iptcInTrailers
        ? JpegTrailer::carriedOver(original, original, true)
        : std::nullopt;
    if (trailersCleared) {
        result.refusal = verifyWrittenMetadata(
            result.before, beforeValues, expected, expectedValues, result.edited, path, *trailersCleared, original);
        if (!result.refusal)
            result.saveError = save(*trailersCleared);
        if (!result.refusal)
            savedIptcLeft = iptcLeftInTrailer(*trailersCleared);
    } else if (changesNothing && !result.error) {
        result.saveError = save(original);
        if (result.edited.iptcInTrailers)
            savedIptcLeft = iptcLeftInTrailer(original);
    }
    if (savedIptcLeft && !result.saveError) {
        qCWarning(lcMetadata).noquote() << "Not cleaned:" << path << "-" << *savedIptcLeft;
        result.warnings.append(*savedIptcLeft);
    }
    if (result.refusal)
        qCWarning(lcMetadata).noquote() << "Not written:" << path << "-" << *result.refusal;
    return result;
}

// The edit of a JPEG of which only the header passes through memory (see
// JpegSplice): exiv2 edits and the verification reads the header, and the new
// file is the edited header followed by the basis file's image data, copied by
// the kernel into the replacer's temporary file. Nothing when the photo is to be
// read whole instead: it is no JPEG whose layout allows the split, or exiv2's
// output cannot be split as expected (nothing was written then).
std::optional<EditedPhoto> editedHeaderOnly(const QString& basisPath, const QString& path, const MetadataEdit& edit,
    const QString& target, const FileReplacer::Options& options)
{
    const std::unique_ptr<JpegSplice> splice = JpegSplice::open(basisPath);
    if (!splice)
        return std::nullopt;
    bool splits = true;
    const auto save = [&](QByteArrayView bytes) -> std::optional<QString> {
        const std::optional<QByteArrayView> header = splice->headerOf(bytes);
        if (!header) {
            splits = false;
            return std::nullopt;
        }
        // Copied only now: the edit may have set the file's dates in them.
        // The header goes as the replacer's bytes, so that what follows them is
        // plainly the photo's own end.
        FileReplacer::Options withImageData = options;
        withImageData.append = [&](int fd) { return splice->writeTo(fd, {}); };
        return FileReplacer::replace(target, *header, withImageData);
    };
    EditedPhoto edited = editedPhoto(splice->stub(), path, edit, save);
    if (!splits) {
        qCInfo(lcMetadata).noquote() << "Read whole:" << basisPath << "- its edited header cannot be split off";
        return std::nullopt;
    }
    return edited;
}

} // namespace ExifWriterEditing
