#include "viewer/MetaDataViewerModel.h"

#include "services/Utils.h"
#include "base/DatePattern.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/FileTypeIcon.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>

using namespace Qt::StringLiterals;

namespace {

using Kind = MetaDataViewerModel::RowKind;
using F = MetadataField;

constexpr MetaDataViewerModel::RowSpec field(const char* title, MetadataField f)
{
    return { title, Kind::Field, f, -1 };
}
constexpr MetaDataViewerModel::RowSpec option(const char* title, int tag)
{
    return { title, Kind::Option, F::Artist, tag };
}
constexpr MetaDataViewerModel::RowSpec date(const char* title, MetadataField f)
{
    return { title, Kind::Date, f, -1 };
}
constexpr MetaDataViewerModel::RowSpec xmpDate(const char* title, MetadataField f)
{
    return { title, Kind::XmpDate, f, -1 };
}

const QString kRecordDatePattern = u"yyyy:MM:dd HH:mm:ss"_s;
const QString kXmpDatePattern = u"yyyy-MM-dd HH:mm:ss"_s;
// Qt's own letters, for the user's locale only: month abbreviation, day, comma,
// year, 12-hour time with the day period.
const QString kShownDateFormat = u"MMM dd,yyyy hh:mm:ss AP"_s;

} // namespace

// The titles keep these spellings on purpose ("Focul", "Lattitude", "Latitutde").
const std::array<MetaDataViewerModel::RowSpec, MetaDataViewerModel::kRowCount> MetaDataViewerModel::kRows = {
    field("Artist", F::Artist),
    field("Image Description", F::ImageDescription),
    field("Copyright", F::Copyright),
    field("Software", F::Software),
    field("User Comment", F::UserComment),
    field("Make", F::Cam_Make),
    field("Model Name", F::Cam_ModelName),
    field("Owner Name", F::Cam_OwnerName),
    field("Serial Number", F::Cam_SerialNumber),
    date("Date/Time Original", F::Date_Original),
    date("Create Date", F::Date_Creation),
    date("Modify Date", F::Date_Modify),
    field("ISO", F::CamSetting_ISO),
    field("F Number", F::CamSetting_FNumber),
    field("Aperture Value", F::CamSetting_Aperture),
    field("Shutter Speed Value", F::CamSetting_ShutterSpeed),
    field("Focul Length", F::CamSetting_FocalLength),
    field("Focul Length in 35mm Format", F::CamSetting_FocalLengthIn35mmFormat),
    field("Exposure Compensation", F::CamSetting_ExposureCompensation),
    option("Flash", 0),
    option("Orientation", 1),
    option("Exposure Mode", 3),
    option("Exposure Program", 4),
    field("Exposure Time", F::AdvCamSetting_ExposureTime),
    option("Metering Mode", 5),
    option("Scene Capture Type", 6),
    field("White Balance", F::AdvCamSetting_WhiteBalance),
    field("Saturation", F::AdvCamSetting_Saturation),
    option("Sensing Method", 7),
    field("Sharpness", F::AdvCamSetting_Sharpness),
    option("Subject Distance range", 8),
    field("Lens Make", F::Lens_LensMake),
    field("Lens Model", F::Lens_LensModel),
    field("Lens Serial Number", F::Lens_LensSerialNumber),
    field("GPS Lattitude", F::GPS_Lattitude),
    option("GPS Lattitude Ref", 10),
    field("GPS Longitude", F::GPS_Longitude),
    option("GPS Longitude Ref", 11),
    field("GPS Altitude", F::GPS_Altitude),
    option("GPS Altitude Ref", 12),
    field("By-line", F::IPTC_ByLine),
    field("By-line Title", F::IPTC_ByLineTitle),
    field("Copyright Notice", F::IPTC_CopyrightNotice),
    field("Headline", F::IPTC_Headline),
    field("Caption-Abstract", F::IPTC_CaptionAbstract),
    field("Writer-Editor", F::IPTC_WriterEditor),
    field("Object Name", F::IPTC_ObjectName),
    field("Category", F::IPTC_Category),
    field("Supplemental Categories", F::IPTC_SupplementalCategories),
    field("Keywords", F::IPTC_Keywords),
    field("Sub-Location", F::IPTC_SubLocation),
    field("City", F::IPTC_City),
    field("Province-State", F::IPTC_ProvinceState),
    field("Country-Primary Location Name", F::IPTC_CountryPrimaryLocationName),
    option("Country-Primary Location Code", 14),
    field("Original Transmission Ref", F::IPTC_OriginalTransmissionRef),
    field("Special Instructions", F::IPTC_SpecialInstructions),
    field("Credit", F::IPTC_Credit),
    field("Source", F::IPTC_Source),
    field("Xmp Serial Number", F::XMP_SerialNumber),
    field("Xmp Lens", F::XMP_Lens),
    field("Xmp Keyword", F::XMP_Keyword),
    xmpDate("Xmp Creation Date", F::XMP_CreationDate),
    xmpDate("Xmp Modify Date", F::XMP_ModifyDate),
    field("Xmp Latitutde", F::XMP_Latitude),
    field("Xmp Longitude", F::XMP_Longitude),
    xmpDate("Xmp Photoshop Creation Date", F::XMP_PhotoshopDateCreated),
};

MetaDataViewerModel::MetaDataViewerModel(
    const QList<std::shared_ptr<PhotoFile>>& photos, LabelForOption labelForOption, QObject* parent)
    : QAbstractTableModel(parent)
    , m_photos(photos)
    , m_labelForOption(std::move(labelForOption))
{
}

MetaDataViewerModel::~MetaDataViewerModel() = default;

bool MetaDataViewerModel::setupViewNotification(const QVariantMap& userInfo)
{
    const QVariant value = userInfo.value(u"selectedIndex"_s);
    bool ok = false;
    const qlonglong index = value.toLongLong(&ok);
    if (!ok)
        return false;
    return showPhotoAtIndex(index);
}

bool MetaDataViewerModel::showPhotoAtIndex(qsizetype index)
{
    if (index < 0 || index >= m_photos.size() || !m_photos[index])
        return false;
    const PhotoFile& photo = *m_photos[index];
    const auto record = MetaDataObject::initWithFile(photo.filePath);
    showPhoto(photo, *record);
    m_currentIndex = index;
    return true;
}

void MetaDataViewerModel::showPhoto(const PhotoFile& photo, const MetaDataObject& record)
{
    beginResetModel();
    ++m_generation;
    m_currentIndex = -1;
    m_imageName = photo.fileName;
    const qint64 bytes = QFileInfo(photo.filePath).size();
    m_imageSizeText = u"%1 | %2"_s.arg(Utils::sharedUtils().unitStringFromBytes(double(bytes), 0),
        u"%1 X %2"_s.arg(int(photo.width)).arg(int(photo.height)));
    m_imagePath = photo.fileURL;

    m_values.clear();
    m_values.reserve(kRowCount);
    for (const RowSpec& row : kRows) {
        const QString value = rowValue(row, record);
        m_values.append(value.isEmpty() ? kEmptyValue : value);
    }
    m_location = MetaDataViewerLocation::fromRecord(record);
    endResetModel();
    emit photoShown();
}

QString MetaDataViewerModel::rowValue(const RowSpec& row, const MetaDataObject& record) const
{
    switch (row.kind) {
    case RowKind::Field:
        return record.field(row.field);
    case RowKind::Option:
        return m_labelForOption ? m_labelForOption(row.tag, record) : QString();
    case RowKind::Date:
        return localizedDate(record.field(row.field), false, m_locale);
    case RowKind::XmpDate:
        return localizedDate(record.field(row.field), true, m_locale);
    }
    return {};
}

QString MetaDataViewerModel::localizedDate(const QString& text, bool isXmpDate, const QLocale& locale)
{
    if (text.isEmpty())
        return QString(u""_s);
    QString input = text;
    if (isXmpDate)
        input.replace(u'T', u' ');
    // The shared converter knows the fallback forms (offsets, milliseconds, "Z");
    // it answers the wall-clock date in the record's own form.
    const QString normalised = Utils::sharedUtils().convertedDate(
        input, isXmpDate ? kXmpDatePattern : kRecordDatePattern, kRecordDatePattern);
    const auto wallClock = DatePattern(kRecordDatePattern).read(normalised);
    if (!wallClock)
        return QString(u""_s);
    // A wall-clock time prints its own fields, whatever the machine's zone.
    return locale.toString(*wallClock, kShownDateFormat);
}

void MetaDataViewerModel::requestThumbnail(QSize size)
{
    if (m_imagePath.isEmpty())
        return;
    const quint64 generation = m_generation;
    const QString path = m_imagePath;
    using Thumbnail = std::pair<QImage, QStringList>;
    auto* watcher = new QFutureWatcher<Thumbnail>(this);
    connect(watcher, &QFutureWatcher<Thumbnail>::finished, this, [this, watcher, generation] {
        if (generation == m_generation) {
            const Thumbnail result = watcher->result();
            emit thumbnailReady(result.first, result.second);
        }
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run([path, size] {
        Thumbnail result { Utils::sharedUtils().getThumbnailImageAtFilePath(path, QSizeF(size)), {} };
        if (result.first.isNull())
            result.second = FileTypeIcon::iconNames(path);
        return result;
    }));
}

QString MetaDataViewerModel::titleAt(int row) const
{
    return row >= 0 && row < m_values.size() ? QString::fromLatin1(kRows[row].title) : QString();
}

QString MetaDataViewerModel::valueAt(int row) const
{
    return row >= 0 && row < m_values.size() ? m_values[row] : QString();
}

int MetaDataViewerModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_values.size());
}

int MetaDataViewerModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant MetaDataViewerModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_values.size())
        return {};
    const bool isValue = index.column() == ValueColumn;
    if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && isValue))
        return isValue ? valueAt(index.row()) : titleAt(index.row());
    return {};
}
