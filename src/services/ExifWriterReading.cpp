#include "base/Logging.h"
#include "base/Numbers.h"
#include "model/MetaDataObject.h"
#include "platform/Exiv2Adapter.h"
#include "platform/ImageProperties.h"
#include "platform/JpegSplice.h"
#include "platform/OpenablePhotoPath.h"
#include "services/ExifWriter.h"
#include "services/FieldTagTable.h"

#include <exiv2/exiv2.hpp>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// What one read found: a text for each field the read set, nothing for the others.
using FieldTexts = std::array<std::optional<QString>, kMetadataFieldCount>;

void setText(FieldTexts& texts, const FieldTagInfo& row, const QString& text)
{
    texts[fieldIndex(row.field)] = text;
}

QString lastItemOr(const MetadataValue& value, const QString& text)
{
    if (value.isTexts() && !value.texts().isEmpty())
        return value.texts().last();
    if (value.isNumbers() && !value.numbers().isEmpty())
        return QString::number(value.numbers().last(), 'g', 15);
    return text;
}

bool isRationalType(Exiv2::TypeId type)
{
    return type == Exiv2::unsignedRational || type == Exiv2::signedRational;
}

// Each Exif row's key as exiv2 spells it (ExifKey's own text), made once: building
// an ExifKey looks its tag up in exiv2's tables, too dear to repeat for every row
// of every photo. Empty for the rows of other families.
const std::array<std::string, kMetadataFieldCount>& exiv2ExifKeys()
{
    static const std::array<std::string, kMetadataFieldCount> keys = [] {
        std::array<std::string, kMetadataFieldCount> made;
        for (std::size_t row = 0; row < made.size(); ++row) {
            const char* key = fieldTagTable()[row].key;
            if (tagFamily(key) == TagFamily::Exif)
                made[row] = Exiv2::ExifKey(key).key();
        }
        return made;
    }();
    return keys;
}

void readExif(const Exiv2::ExifData& exifData, const FLTImageMetadata& formatter, FieldTexts& texts)
{
    const ExifWriter& writer = ExifWriter::sharedInstance();
    // Building a datum's key text is the costly part of findKey, which builds it for
    // every datum it passes on every lookup. Each is built once here instead; the
    // first datum with a key stands for it, as findKey answers the first.
    std::unordered_map<std::string, Exiv2::ExifData::const_iterator> firstByKey;
    for (auto it = exifData.begin(); it != exifData.end(); ++it)
        firstByKey.try_emplace(it->key(), it);
    // The field keeps the magnitude; a signed position without a reference letter
    // tells its hemisphere by its sign alone.
    QList<const FieldTagInfo*> negativeCoordinates;
    for (const FieldTagInfo& row : fieldTagTable()) {
        if (!row.isRead() || tagFamily(row.key) != TagFamily::Exif)
            continue;
        const auto found = firstByKey.find(exiv2ExifKeys()[fieldIndex(row.field)]);
        const auto it = found != firstByKey.end() ? found->second : exifData.end();
        MetadataValue value(QStringLiteral(""));
        QString text;
        if (it != exifData.end()) {
            // Some phones store their position, and some writers other rationals,
            // as signed rationals: they are numbers all the same.
            value = it->typeId() == Exiv2::signedRational ? FLTImageMetadata::rationalNumbers(*it)
                                                          : formatter.valueForExifMetadata(*it);
            text = value.valueText();
            // Only a rational can be a fraction; a text a person typed
            // ("70-200/2.8", "AC/DC") stays as it is.
            if (isRationalType(it->typeId()) && !value.isList())
                text = ExifWriter::exifFractionText(text);
        }
        qCDebug(lcMetadata).noquote() << row.key << "=" << text;

        switch (row.readRule) {
        case ReadRule::UserComment:
            // Cameras pad an empty comment with blanks; they are no comment.
            setText(texts, row, lastItemOr(value, text).trimmed());
            break;
        case ReadRule::GpsCoordinate:
            setText(texts, row, writer.extractGPSDataStringFromString(value).valueText());
            if (value.isNumbers() && Numbers::decimalDegrees(value.numbers()).value_or(0) < 0)
                negativeCoordinates.append(&row);
            break;
        default:
            setText(texts, row, value.isList() ? writer.extractStringFromArrVal(value).valueText() : text);
            break;
        }
    }
    for (const FieldTagInfo* row : negativeCoordinates) {
        std::optional<QString>& reference = texts[fieldIndex(*row->referenceField)];
        if (!reference || reference->isEmpty())
            reference = QString(QChar::fromLatin1(row->negativeReference));
    }
}

void readIptc(const Exiv2::IptcData& iptcData, const FLTImageMetadata& formatter, FieldTexts& texts)
{
    QStringList keywords;
    for (const Exiv2::Iptcdatum& datum : iptcData) {
        const FieldTagInfo* row = fieldTagInfoForKey(datum.key());
        if (row == nullptr || !row->isRead() || tagFamily(row->key) != TagFamily::Iptc)
            continue;
        if (row->readRule == ReadRule::IptcKeywords) {
            // Each keyword as it stands, untrimmed; repeats are dropped.
            const QString keyword = FLTImageMetadata::textFromBytes(datum.toString());
            if (!keywords.contains(keyword))
                keywords.append(keyword);
            setText(texts, *row, keywords.join(u','));
            continue;
        }
        // A dataset that repeats gives the text of its first occurrence.
        if (texts[fieldIndex(row->field)])
            continue;
        // IPTC datasets are texts, dates and integers, never fractions.
        setText(texts, *row, formatter.valueForIptcMetadata(datum).valueText());
    }
}

// The XMP datum with exactly this key text. Keys are compared as texts so that a
// key of a namespace exiv2 does not know is never built (building it throws); each
// datum's key text is made once per photo (keys), not once per field asked.
Exiv2::XmpData::const_iterator findXmp(
    const Exiv2::XmpData& xmpData, const std::vector<std::string>& keys, const char* key)
{
    auto it = xmpData.begin();
    for (const std::string& datumKey : keys) {
        if (datumKey == key)
            return it;
        ++it;
    }
    return xmpData.end();
}

void readXmp(const Exiv2::XmpData& xmpData, const FLTImageMetadata& formatter, FieldTexts& texts)
{
    const ExifWriter& writer = ExifWriter::sharedInstance();
    std::vector<std::string> keys;
    keys.reserve(std::size_t(xmpData.count()));
    for (const Exiv2::Xmpdatum& datum : xmpData)
        keys.push_back(datum.key());
    for (const FieldTagInfo& row : fieldTagTable()) {
        if (!row.isRead() || tagFamily(row.key) != TagFamily::Xmp)
            continue;
        const QString key = QString::fromLatin1(row.key);
        // The keyword is left alone unless the file has one.
        if (row.readRule == ReadRule::XmpLastItem && !writer.isPrismKeyExist(xmpData, formatter, key))
            continue;
        const auto it = findXmp(xmpData, keys, row.key);
        const MetadataValue value
            = it != xmpData.end() ? formatter.valueForXmpMetadata(*it) : MetadataValue(QStringLiteral(""));
        const QString text = value.valueText();
        qCDebug(lcMetadata).noquote() << key << "=" << text;

        switch (row.readRule) {
        case ReadRule::XmpLastItem:
            setText(texts, row, lastItemOr(value, text));
            break;
        case ReadRule::XmpCoordinate:
            setText(texts, row, ExifWriter::xmpCoordinateText(text));
            break;
        default:
            // Dates keep the form the XMP data holds them in.
            setText(texts, row, text);
            break;
        }
    }
}

// The photo opened by exiv2 for reading its metadata. Of a JPEG only the header
// goes into memory, as a write reads it (JpegSplice), and exiv2 reads it from
// there: exiv2 reads nothing of a JPEG after its header, and a header without an
// XMP packet is read without the XMP toolkit's lock, so such reads run side by
// side (see Exiv2Adapter::mayParseXmp). The image reads from splice's bytes. The
// XMP packet's parse is kept for the photo's write, which reads the same packet.
std::unique_ptr<Exiv2::Image> openForReading(
    const QString& openable, const QString& path, std::unique_ptr<JpegSplice>& splice)
{
    splice = JpegSplice::open(openable);
    if (splice)
        return Exiv2Adapter::openBuffer(splice->stub(), QStringLiteral("read metadata of"), path,
            Exiv2Adapter::Severity::Warning, Exiv2Adapter::XmpParse::KeptForLaterReads);
    return Exiv2Adapter::openFile(openable, path);
}

// One exiv2 open and parse of the photo at path: the record filled from it, and
// the properties that readProperties(path, image) answers of the same image.
template <typename Properties>
Properties readMetaAnd(const ExifWriter& reader, const QString& path, MetaDataObject& record,
    Properties (*readProperties)(const QString& path, Exiv2::Image* image))
{
    const QString openable = openablePhotoPath(path);
    if (openable.isEmpty()) {
        qCWarning(lcMetadata).noquote() << "Cannot read metadata: no file at" << path;
        return {};
    }
    std::unique_ptr<JpegSplice> splice;
    const std::unique_ptr<Exiv2::Image> image = openForReading(openable, path, splice);
    Properties properties = readProperties(path, image.get());
    if (image)
        reader.readMetaFromImage(path, *image, record);
    return properties;
}

} // namespace

MetaDataObject& ExifWriter::readMetaFromPath(const QString& path, MetaDataObject& record) const
{
    const QString openable = openablePhotoPath(path);
    if (openable.isEmpty()) {
        qCWarning(lcMetadata).noquote() << "Cannot read metadata: no file at" << path;
        return record;
    }
    std::unique_ptr<JpegSplice> splice;
    const std::unique_ptr<Exiv2::Image> image = openForReading(openable, path, splice);
    if (!image)
        return record;
    return readMetaFromImage(path, *image, record);
}

QVariantMap ExifWriter::readMetaAndPropertiesFromPath(const QString& path, MetaDataObject& record) const
{
    return readMetaAnd(*this, path, record, &ImageProperties::propertiesForImage);
}

ImageProperties::Shape ExifWriter::readMetaAndShapeFromPath(const QString& path, MetaDataObject& record) const
{
    return readMetaAnd(*this, path, record, &ImageProperties::shapeOfImage);
}

MetaDataObject& ExifWriter::readMetaFromImage(const QString& path, Exiv2::Image& image, MetaDataObject& record) const
{
    FieldTexts texts;
    const auto failure = Exiv2Adapter::run(
        QStringLiteral("read metadata of"), path,
        [&] {
            const FLTImageMetadata formatter;
            if (!image.exifData().empty())
                readExif(image.exifData(), formatter, texts);
            if (!image.iptcData().empty())
                readIptc(image.iptcData(), formatter, texts);
            if (!image.xmpData().empty())
                readXmp(image.xmpData(), formatter, texts);
        },
        Exiv2Adapter::Severity::Warning);
    if (failure)
        return record;

    // The record changes only once the whole read has succeeded.
    for (const MetadataFieldInfo& info : kMetadataFields) {
        if (const std::optional<QString>& text = texts[fieldIndex(info.field)])
            record.setField(info.field, *text);
    }
    for (const MetadataFieldInfo& info : kMetadataFields) {
        const QString& text = record.field(info.field);
        if (text.isNull() || text == u"(null)")
            record.setField(info.field, QStringLiteral(""));
    }
    return record;
}

// The record's constructor from a file is the reader's: src/model/ reads no files.
std::shared_ptr<MetaDataObject> MetaDataObject::initWithFile(const QString& path)
{
    auto record = std::make_shared<MetaDataObject>();
    ExifWriter::sharedInstance().readMetaFromPath(path, *record);
    return record;
}
