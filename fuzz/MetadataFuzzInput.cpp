#include "MetadataFuzzInput.h"

#include "services/ExifWriter.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/BmffItemRewrite.h"
#include "platform/BmffLayout.h"
#include "platform/ImageDataLayout.h"

#include <QDir>
#include <QFile>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace {

// A record that touches every kind of value the writer handles: Exif ASCII and
// rationals, a non-ASCII user comment, GPS, IPTC keywords and texts, XMP, and a
// shifted date.
std::shared_ptr<MetaDataObject> fuzzSettings(int mode)
{
    auto settings = std::make_shared<MetaDataObject>();
    settings->editingOption = mode;
    settings->setArtist(u"Fuzz Ärtist"_s);
    settings->setCopyright(u"(c) fuzz"_s);
    settings->setUserComment(u"Kommentar ✓ 😀"_s);
    settings->setCamSetting_FNumber(u"2.8"_s);
    settings->setAdvCamSetting_ExposureTime(u"1/250"_s);
    settings->setGPS_Lattitude(u"43.467"_s);
    settings->setGPS_LattitudeRef(u"N"_s);
    settings->setGPS_Longitude(u"11.885"_s);
    settings->setGPS_LongitudeRef(u"E"_s);
    settings->setIPTC_Keywords(u"one, zwei, 三"_s);
    settings->setIPTC_City(u"Lyon"_s);
    settings->setXMP_Lens(u"Fuzz 50mm"_s);
    for (const auto& info : kMetadataFields)
        settings->setUpdated(info.field, !settings->field(info.field).isEmpty());
    const auto& original = settings->dateTimeConfigOriginalDate();
    original->tagConfigureOption = DateTimeConfiguration::IncDecDate;
    original->stringIncDecDay = u"1"_s;
    if (mode == MetaDataObject::CleanMetadataInfo) {
        for (ClearFlag flag :
            { ClearFlag::Exif, ClearFlag::IPTC, ClearFlag::Comment, ClearFlag::GpsInfo, ClearFlag::XMP })
            settings->setClearFlag(flag, true);
        MetaDataObject::metadataObjectWithCleanInfoUpdation(*settings);
    }
    return settings;
}

} // namespace

void fuzzMetadataInput(const std::uint8_t* data, std::size_t size, const QString& workDir)
{
    // The walks to a HEIF file's Exif and XMP items and to a CR3 file's metadata
    // boxes, on every input: the reader takes them only where exiv2 found no such
    // data, found another image's, or tripped over the file.
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (BmffLayout::isBmff(bytes)) {
        BmffLayout::metadataItems(bytes);
        BmffLayout::canonRawMetadataFile(bytes);
        BmffLayout::canonRawXmp(bytes);
        // The writer's own rewrite of the items, with a longer Exif block and a
        // shorter packet: whatever it writes keeps the image data it found and
        // the other images' items, and reads back as written.
        const std::optional<QByteArrayView> tiff = BmffLayout::exifItem(bytes);
        const QByteArray longer = tiff ? tiff->toByteArray() + QByteArray(9, '\0') : QByteArray();
        const std::optional<QByteArray> written = BmffLayout::withMetadataItems(
            bytes, tiff ? std::optional<QByteArrayView>(longer) : std::nullopt, QByteArrayView("<x/>"));
        if (written
            && (ImageDataLayout::compare(bytes, *written).outcome == ImageDataLayout::Comparison::Differs
                || (tiff && BmffLayout::exifItem(*written) != QByteArrayView(longer))
                || BmffLayout::xmpItem(*written) != QByteArrayView("<x/>")
                || BmffLayout::metadataItems(*written).othersItems != BmffLayout::metadataItems(bytes).othersItems))
            std::abort();
    }
    // The image data walk of the verification before every replace (a base media
    // file's items and media data, a TIFF file's directories, a PNG's or WebP's
    // chunks), against the input itself and against the input cut short, as a
    // writer's output that lost its end would be.
    ImageDataLayout::compare(bytes, bytes);
    if (!bytes.isEmpty())
        ImageDataLayout::compare(bytes, bytes.first(bytes.size() - 1));

    const QDir dir(workDir);
    const QString source = dir.filePath(u"input.jpg"_s);
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }

    // The intake's refusal, which walks a TIFF file's directories in the file.
    ExifWriter::whyNotWritable(source);
    PhotoFile photo(source, false);
    ExifWriter& writer = ExifWriter::sharedInstance();
    QStringList outputs;
    for (int mode : { MetaDataObject::OnlyModifyEditedFields, MetaDataObject::ModifyEditedClearOthers,
             MetaDataObject::CleanMetadataInfo }) {
        const std::shared_ptr<MetaDataObject> settings = fuzzSettings(mode);
        const std::shared_ptr<MetaDataObject> onlyUpdated = MetaDataObject::editedFieldsOnlyCopy(*settings);
        const QString output = dir.filePath(u"output-%1.jpg"_s.arg(mode));
        outputs.append(output);
        writer.writeMetaDataToFilePath(photo, *settings, output, *onlyUpdated, false);
        // What was written must read back as well.
        MetaDataObject readBack;
        writer.readMetaFromPath(output, readBack);
    }

    // A restore of the last output from the source, with the record as first read.
    const std::shared_ptr<MetaDataObject> original = MetaDataObject::initWithObject(*photo.metadataObjectOriginal);
    const std::shared_ptr<MetaDataObject> nothing = std::make_shared<MetaDataObject>();
    photo.processedPath = outputs.last();
    writer.writeMetaDataToFilePath(photo, *original, QString(), *nothing, true);

    for (const QString& output : outputs)
        QFile::remove(output);
    QFile::remove(source);
}
