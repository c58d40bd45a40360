#include "services/ExifToolArguments.h"

#include "services/ExifWriter.h"
#include "platform/Exiv2Adapter.h"

#include <QRegularExpression>
#include <algorithm>
#include <exiv2/exiv2.hpp>
#include <map>
#include <set>

using namespace Qt::Literals::StringLiterals;

namespace {

// exiv2's Exif groups and exiftool's names for them.
const std::map<std::string, QString>& exifGroups()
{
    static const std::map<std::string, QString> groups { { "Image", u"IFD0"_s }, { "Photo", u"ExifIFD"_s },
        { "GPSInfo", u"GPS"_s }, { "Iop", u"InteropIFD"_s }, { "Thumbnail", u"IFD1"_s } };
    return groups;
}

// Where exiftool names a standard tag otherwise than exiv2 does (by tag number),
// for the tags exiftool writes. Every other standard tag has one name in both.
const std::map<std::string, QString>& renamedTags()
{
    static const std::map<std::string, QString> renamed {
        { "Image.NewSubfileType", u"SubfileType"_s },
        { "Image.SubfileType", u"OldSubfileType"_s },
        { "Image.ImageLength", u"ImageHeight"_s },
        { "Image.DateTime", u"ModifyDate"_s },
        { "Image.XMLPacket", u"ApplicationNotes"_s },
        { "Image.CFAPattern", u"CFAPattern2"_s },
        { "Image.ISOSpeedRatings", u"ISO"_s },
        { "Image.ExposureBiasValue", u"ExposureCompensation"_s },
        { "Image.SubjectLocation", u"SubjectArea"_s },
        { "Image.PrintImageMatching", u"PrintIM"_s },
        { "Image.LensInfo", u"DNGLensInfo"_s },
        { "Image.DNGPrivateData", u"DNGAdobeData"_s },
        { "Image.CameraCalibrationSignature", u"CameraCalibrationSig"_s },
        { "Image.ProfileCalibrationSignature", u"ProfileCalibrationSig"_s },
        { "Image.OriginalBestQualityFinalSize", u"OriginalBestQualitySize"_s },
        { "Photo.ISOSpeedRatings", u"ISO"_s },
        { "Photo.DateTimeDigitized", u"CreateDate"_s },
        { "Photo.ExposureBiasValue", u"ExposureCompensation"_s },
        { "Photo.Temperature", u"AmbientTemperature"_s },
        { "Photo.PixelXDimension", u"ExifImageWidth"_s },
        { "Photo.PixelYDimension", u"ExifImageHeight"_s },
        { "Photo.FocalLengthIn35mmFilm", u"FocalLengthIn35mmFormat"_s },
        { "Photo.CameraOwnerName", u"OwnerName"_s },
        { "Photo.BodySerialNumber", u"SerialNumber"_s },
        { "Photo.LensSpecification", u"LensInfo"_s },
        { "Photo.SourceImageNumberOfCompositeImage", u"CompositeImageCount"_s },
        { "Photo.SourceExposureTimesOfCompositeImage", u"CompositeImageExposureTimes"_s },
        { "Iop.InteroperabilityIndex", u"InteropIndex"_s },
        { "Iop.InteroperabilityVersion", u"InteropVersion"_s },
        { "Iop.RelatedImageLength", u"RelatedImageHeight"_s },
    };
    return renamed;
}

// Pointers, image data and blocks that belong to the file's layout: exiftool keeps
// them itself and takes no value for them.
bool isLayoutTag(const std::string& groupAndName)
{
    static const std::set<std::string> layout { "Image.ExifTag", "Image.GPSTag", "Image.IPTCNAA",
        "Image.ImageResources", "Image.InterColorProfile", "Image.SubIFDs", "Image.StripOffsets",
        "Image.StripByteCounts", "Image.TileOffsets", "Image.TileByteCounts", "Image.JPEGInterchangeFormat",
        "Image.JPEGInterchangeFormatLength", "Photo.InteroperabilityTag", "Photo.MakerNote",
        "Thumbnail.JPEGInterchangeFormat", "Thumbnail.JPEGInterchangeFormatLength", "Thumbnail.StripOffsets",
        "Thumbnail.StripByteCounts" };
    return layout.count(groupAndName) != 0;
}

bool isStandardKey(const std::string& key)
{
    const std::size_t first = key.find('.');
    const std::size_t second = key.find('.', first + 1);
    return first != std::string::npos && second != std::string::npos
        && exifGroups().count(key.substr(first + 1, second - first - 1)) != 0;
}

const Exiv2::Exifdatum* datumOf(const Exiv2::ExifData& data, const std::string& key)
{
    const auto it = std::find_if(
        data.begin(), data.end(), [&](const Exiv2::Exifdatum& datum) { return datum.key() == key; });
    return it == data.end() ? nullptr : &*it;
}

bool isPrintable(const std::string& bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

// "-GROUP:Name#=value" for one datum: numbers and raw texts, which no print
// conversion touches; the comment types go as text, exiftool choosing the
// character set as our passes do (ASCII when it suffices, else Unicode).
QString assignment(const QString& tag, const Exiv2::Exifdatum& datum)
{
    switch (datum.typeId()) {
    case Exiv2::asciiString: {
        std::string text = datum.toString();
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        // "-TAG=" would remove the tag; "^=" writes it empty.
        if (text.empty())
            return u"-%1^="_s.arg(tag);
        return u"-%1#=%2"_s.arg(tag, QString::fromUtf8(text));
    }
    case Exiv2::comment:
    case Exiv2::undefined: {
        if (const auto* comment = dynamic_cast<const Exiv2::CommentValue*>(&datum.value())) {
            const QString text = QString::fromUtf8(comment->comment());
            return text.isEmpty() ? u"-%1^="_s.arg(tag) : u"-%1=%2"_s.arg(tag, text);
        }
        std::string bytes(datum.size(), '\0');
        if (!bytes.empty())
            datum.copy(reinterpret_cast<Exiv2::byte*>(bytes.data()), Exiv2::littleEndian);
        if (isPrintable(bytes))
            return u"-%1#=%2"_s.arg(tag, QString::fromLatin1(bytes));
        // Texts with an ASCII character-set header (GPSProcessingMethod): exiftool
        // writes the header itself.
        static const std::string asciiHeader("ASCII\0\0\0", 8);
        if (bytes.rfind(asciiHeader, 0) == 0 && isPrintable(bytes.substr(8))) {
            const QString text = QString::fromLatin1(bytes.substr(8));
            return text.isEmpty() ? u"-%1^="_s.arg(tag) : u"-%1=%2"_s.arg(tag, text);
        }
        return u"-%1#=%2"_s.arg(tag, QString::fromStdString(datum.toString()));
    }
    default:
        return u"-%1#=%2"_s.arg(tag, QString::fromStdString(datum.toString()));
    }
}

bool holdsMakerNote(const Exiv2::ExifData& data)
{
    return std::any_of(data.begin(), data.end(), [](const Exiv2::Exifdatum& datum) {
        return datum.key() == "Exif.Photo.MakerNote" || !isStandardKey(datum.key());
    });
}

void addExifArguments(const MetadataSnapshot& expected, const EditedKeys& edited, ExifToolEdit& result)
{
    if (edited.exif.empty())
        return;
    if (expected.exif.empty()) {
        result.arguments << u"-EXIF:All="_s;
        return;
    }
    // A directory that the edit empties goes whole: exiftool keeps a directory's
    // mandatory entries (GPSVersionID) while any entry of it is asked to go alone.
    std::set<std::string> emptied;
    for (const std::string group : { "GPSInfo", "Iop", "Thumbnail" }) {
        const std::string prefix = "Exif." + group + '.';
        const auto inGroup = [&](const std::string& key) { return key.rfind(prefix, 0) == 0; };
        const bool edits = std::any_of(edited.exif.begin(), edited.exif.end(), inGroup);
        const bool keeps = std::any_of(expected.exif.begin(), expected.exif.end(),
            [&](const Exiv2::Exifdatum& datum) { return inGroup(datum.key()); });
        if (edits && !keeps) {
            emptied.insert(prefix);
            result.arguments << u"-%1:All="_s.arg(exifGroups().at(group));
        }
    }
    bool makerNoteChanged = false;
    for (const std::string& key : edited.exif) {
        if (key == "Exif.Photo.MakerNote" || !isStandardKey(key)) {
            makerNoteChanged = true;
            continue;
        }
        if (emptied.count(key.substr(0, key.find('.', 5) + 1)) != 0)
            continue;
        const std::optional<QString> tag = ExifToolArguments::exifToolTag(key);
        if (!tag) {
            result.refusal = u"The Exif tag %1 cannot be written to this photo; the photo was not changed."_s.arg(
                QString::fromStdString(key));
            return;
        }
        const Exiv2::Exifdatum* datum = datumOf(expected.exif, key);
        result.arguments << (datum ? assignment(*tag, *datum) : u"-%1="_s.arg(*tag));
    }
    // exiftool drops a GPS directory left with its version alone; what stays of
    // one that loses entries is written again, as it is.
    const bool gpsLoses = std::any_of(edited.exif.begin(), edited.exif.end(), [&](const std::string& key) {
        return key.rfind("Exif.GPSInfo.", 0) == 0 && datumOf(expected.exif, key) == nullptr;
    });
    if (gpsLoses && emptied.count("Exif.GPSInfo.") == 0) {
        for (const Exiv2::Exifdatum& datum : expected.exif) {
            const std::optional<QString> tag = ExifToolArguments::exifToolTag(datum.key());
            if (datum.groupName() == "GPSInfo" && edited.exif.count(datum.key()) == 0 && tag)
                result.arguments << assignment(*tag, datum);
        }
    }
    if (makerNoteChanged) {
        // A maker note is only ever removed whole here; its entries are the camera's.
        if (holdsMakerNote(expected.exif)) {
            result.refusal = u"The maker note cannot be changed in this photo; the photo was not changed."_s;
            return;
        }
        result.arguments << u"-MakerNotes:All="_s;
    }
}

void addXmpArguments(const MetadataSnapshot& before, const MetadataSnapshot& expected, const EditedKeys& edited,
    bool xmpAsPacket, ExifToolEdit& result)
{
    if (edited.xmp.empty() && expected.xmpPacket == before.xmpPacket)
        return;
    if (xmpAsPacket) {
        result.xmpPacket = expected.xmpPacket;
    } else if (!expected.xmp.empty()) {
        if (Exiv2Adapter::encodeXmp(result.xmpPacket, expected.xmp) > 1) {
            result.refusal = u"The XMP data could not be made; the photo was not changed."_s;
            return;
        }
    }
    if (result.xmpPacket.empty()) {
        result.arguments << u"-XMP:All="_s;
        return;
    }
    result.writesXmp = true;
    result.arguments << u"-XMP<="_s + QLatin1StringView(ExifToolArguments::kXmpFile);
}

void addIptcArguments(const MetadataSnapshot& expected, const EditedKeys& edited, bool holdsIptc, ExifToolEdit& result)
{
    if (edited.iptc.empty())
        return;
    if (!holdsIptc) {
        result.refusal = ExifWriter::keepsNoIptcRefusal();
        return;
    }
    if (expected.iptc.empty()) {
        result.arguments << u"-IPTC:All="_s;
        return;
    }
    const Exiv2::DataBuf block = Exiv2::IptcParser::encode(expected.iptc);
    result.iptcBlock = QByteArray(reinterpret_cast<const char*>(block.pData_), qsizetype(block.size_));
    result.writesIptc = true;
    result.arguments << u"-IPTC<="_s + QLatin1StringView(ExifToolArguments::kIptcFile);
}

} // namespace

namespace ExifToolArguments {

std::optional<QString> exifToolTag(const std::string& exiv2Key)
{
    if (!isStandardKey(exiv2Key))
        return std::nullopt;
    const std::size_t first = exiv2Key.find('.');
    const std::size_t second = exiv2Key.find('.', first + 1);
    const std::string group = exiv2Key.substr(first + 1, second - first - 1);
    const std::string name = exiv2Key.substr(second + 1);
    // The thumbnail's directory holds the same tags as the first one.
    const std::string table = group == "Thumbnail" ? "Image" : group;
    const std::string groupAndName = group + '.' + name;
    if (isLayoutTag(groupAndName) || isLayoutTag(table + '.' + name))
        return std::nullopt;
    const auto renamed = renamedTags().find(table + '.' + name);
    const QString tagName = renamed != renamedTags().end() ? renamed->second : QString::fromStdString(name);
    return exifGroups().at(group) + u':' + tagName;
}

ExifToolEdit editArguments(const MetadataSnapshot& before, const MetadataSnapshot& expected,
    const EditedKeys& edited, bool holdsIptc, bool xmpAsPacket)
{
    ExifToolEdit result;
    // Texts are UTF-8 everywhere, Exif ASCII tags included.
    result.arguments << u"-charset"_s << u"UTF8"_s << u"-charset"_s << u"exif=UTF8"_s;
    addIptcArguments(expected, edited, holdsIptc, result);
    if (!result.refusal)
        addExifArguments(expected, edited, result);
    if (!result.refusal)
        addXmpArguments(before, expected, edited, xmpAsPacket, result);
    return result;
}

QByteArray configText()
{
    // exiftool converts these through decimal degrees, metres or APEX values and
    // picks its own fractions on the way back; our passes have chosen the
    // fractions already.
    return QByteArrayLiteral(
        "%Image::ExifTool::UserDefined = (\n"
        "    'Image::ExifTool::GPS::Main' => {\n"
        "        0x0002 => { Name => 'GPSLatitude', Writable => 'rational64u', Count => 3 },\n"
        "        0x0004 => { Name => 'GPSLongitude', Writable => 'rational64u', Count => 3 },\n"
        "        0x0006 => { Name => 'GPSAltitude', Writable => 'rational64u' },\n"
        "        0x0014 => { Name => 'GPSDestLatitude', Writable => 'rational64u', Count => 3 },\n"
        "        0x0016 => { Name => 'GPSDestLongitude', Writable => 'rational64u', Count => 3 },\n"
        "    },\n"
        "    'Image::ExifTool::Exif::Main' => {\n"
        "        0x9201 => { Name => 'ShutterSpeedValue', Writable => 'rational64s', WriteGroup => 'ExifIFD' },\n"
        "        0x9202 => { Name => 'ApertureValue', Writable => 'rational64u', WriteGroup => 'ExifIFD' },\n"
        "    },\n"
        ");\n"
        "1;\n");
}

ReplyText replyText(const QString& errors, const QString& path)
{
    ReplyText text;
    QStringList problems;
    for (QString line : errors.split(u'\n', Qt::SkipEmptyParts)) {
        line = line.trimmed();
        // exiftool ends a line about a file with " - <its path>".
        const QString suffix = u" - "_s + path;
        if (!path.isEmpty() && line.endsWith(suffix))
            line.chop(suffix.size());
        if (line.startsWith(u"Warning: "_s))
            text.warnings << line.mid(9);
        else if (line.startsWith(u"Error: "_s))
            problems << line.mid(7);
        else if (!line.isEmpty())
            problems << line;
    }
    if (!problems.isEmpty())
        text.error = u"exiftool could not write this photo (%1); the photo was not changed."_s.arg(
            problems.join(u"; "_s));
    return text;
}

} // namespace ExifToolArguments
