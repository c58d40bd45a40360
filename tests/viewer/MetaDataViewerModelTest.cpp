#include "viewer/MetaDataViewerModel.h"

#include "form/DropDownTables.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Labels as "tag:code", so a test sees which tag each row asked for.
QString fakeLabel(int tag, const MetaDataObject& record)
{
    static const std::map<int, MetadataField> fields {
        { 0, MetadataField::CamSetting_Flash },
        { 1, MetadataField::CamSetting_Orientation },
        { 14, MetadataField::IPTC_CountryPrimaryLocationCode },
    };
    const auto found = fields.find(tag);
    const QString code = found == fields.end() ? QString() : record.field(found->second);
    return code.isEmpty() ? QString() : u"%1:%2"_s.arg(tag).arg(code);
}

QList<int> askedTags()
{
    QList<int> tags;
    for (const auto& row : MetaDataViewerModel::kRows) {
        if (row.kind == MetaDataViewerModel::RowKind::Option)
            tags.append(row.tag);
    }
    return tags;
}

QStringList rowTitles()
{
    QStringList titles;
    for (const MetaDataViewerModel::RowSpec& row : MetaDataViewerModel::kRows)
        titles.append(QString::fromLatin1(row.title));
    return titles;
}

int rowTitled(const char* title)
{
    return int(rowTitles().indexOf(QString::fromUtf8(title)));
}

class MetaDataViewerModelTest : public ::testing::Test {
protected:
    MetaDataViewerModel model { photos, fakeLabel };
    QList<std::shared_ptr<PhotoFile>> photos;

    static std::shared_ptr<PhotoFile> sample(const QString& relative)
    {
        return std::make_shared<PhotoFile>(samplesDir() + u"/"_s + relative, false);
    }
};

} // namespace

TEST(MetaDataViewerRows, sixtySevenTitlesInTheirOrder)
{
    const QStringList titles = rowTitles();
    ASSERT_EQ(titles.size(), 67);
    EXPECT_EQ(titles.first(), u"Artist"_s);
    EXPECT_EQ(titles.last(), u"Xmp Photoshop Creation Date"_s);
    EXPECT_EQ(titles.mid(9, 3), QStringList({ u"Date/Time Original"_s, u"Create Date"_s, u"Modify Date"_s }));
    EXPECT_EQ(titles.mid(16, 2), QStringList({ u"Focul Length"_s, u"Focul Length in 35mm Format"_s }));
    EXPECT_EQ(titles.mid(34, 6),
        QStringList({ u"GPS Lattitude"_s, u"GPS Lattitude Ref"_s, u"GPS Longitude"_s, u"GPS Longitude Ref"_s,
            u"GPS Altitude"_s, u"GPS Altitude Ref"_s }));
    EXPECT_EQ(
        titles.mid(53, 2), QStringList({ u"Country-Primary Location Name"_s, u"Country-Primary Location Code"_s }));
    EXPECT_EQ(titles.mid(62, 4),
        QStringList({ u"Xmp Creation Date"_s, u"Xmp Modify Date"_s, u"Xmp Latitutde"_s, u"Xmp Longitude"_s }));
    EXPECT_EQ(QSet<QString>(titles.begin(), titles.end()).size(), 67);
    // The coded rows, in row order, each ask for the label of their own drop-down tag.
    EXPECT_EQ(askedTags(), QList<int>({ 0, 1, 3, 4, 5, 6, 7, 8, 10, 11, 12, 14 }));
}

TEST(MetaDataViewerDates, showTheWallClockDateInTheUsersLocale)
{
    const QLocale english = QLocale::c();
    EXPECT_EQ(
        MetaDataViewerModel::localizedDate(u"2019:05:04 10:11:12"_s, false, english), u"May 04,2019 10:11:12 AM"_s);
    EXPECT_EQ(
        MetaDataViewerModel::localizedDate(u"2019:12:24 23:05:00"_s, false, english), u"Dec 24,2019 11:05:00 PM"_s);
    EXPECT_EQ(
        MetaDataViewerModel::localizedDate(u"2019:05:04 00:30:00"_s, false, english), u"May 04,2019 12:30:00 AM"_s);
    const QString german = MetaDataViewerModel::localizedDate(u"2019:03:04 10:11:12"_s, false, QLocale(u"de_DE"_s));
    EXPECT_TRUE(german.startsWith(u"März 04,2019 10:11:12"_s) || german.startsWith(u"Mär 04,2019 10:11:12"_s))
        << qPrintable(german);

    // 02:30 on the night the clocks spring forward still shows as 02:30.
    ScopedTimeZone berlin("Europe/Berlin");
    EXPECT_EQ(
        MetaDataViewerModel::localizedDate(u"2019:03:31 02:30:00"_s, false, english), u"Mar 31,2019 02:30:00 AM"_s);
}

TEST(MetaDataViewerDates, xmpDatesAreReadInTheirOwnForms)
{
    const QLocale english = QLocale::c();
    EXPECT_EQ(
        MetaDataViewerModel::localizedDate(u"2019-05-04T10:11:12"_s, true, english), u"May 04,2019 10:11:12 AM"_s);
    EXPECT_EQ(
        MetaDataViewerModel::localizedDate(u"2019-05-04T10:11:12.250"_s, true, english), u"May 04,2019 10:11:12 AM"_s);
    {
        ScopedTimeZone utc("UTC");
        EXPECT_EQ(
            MetaDataViewerModel::localizedDate(u"2019-05-04T10:11:12Z"_s, true, english), u"May 04,2019 10:11:12 AM"_s);
        EXPECT_EQ(MetaDataViewerModel::localizedDate(u"2019-05-04T10:11:12+02:00"_s, true, english),
            u"May 04,2019 08:11:12 AM"_s);
    }
    // An Exif-style text in an XMP field still reads.
    EXPECT_EQ(
        MetaDataViewerModel::localizedDate(u"2019:05:04 10:11:12"_s, true, english), u"May 04,2019 10:11:12 AM"_s);
}

TEST(MetaDataViewerDates, textsThatNoFormReadsShowNothing)
{
    for (const QString& text : { u""_s, u"yesterday"_s, u"2019:13:40 10:11:12"_s, u"2019-02-30T10:00:00"_s })
        EXPECT_EQ(MetaDataViewerModel::localizedDate(text, true, QLocale::c()), u""_s) << qPrintable(text);
}

TEST_F(MetaDataViewerModelTest, fillsEveryRowAndShowsDashesForEmptyValues)
{
    MetaDataObject record;
    record.setArtist(u"Zoë 山田"_s);
    record.setCamSetting_Flash(u"16"_s);
    record.setDate_Original(u"2019:05:04 10:11:12"_s);
    record.setDate_Modify(u"no date"_s);
    record.setXMP_ModifyDate(u"2020-01-02T03:04:05"_s);
    record.setIPTC_CountryPrimaryLocationCode(u"FRA"_s);
    PhotoFile photo;
    model.setLocale(QLocale::c());
    int shown = 0;
    QObject::connect(&model, &MetaDataViewerModel::photoShown, [&shown] { ++shown; });
    model.showPhoto(photo, record);

    EXPECT_EQ(shown, 1);
    ASSERT_EQ(model.rowCount(), 67);
    ASSERT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.valueAt(rowTitled("Artist")), u"Zoë 山田"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Image Description")), u"---"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Flash")), u"0:16"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Orientation")), u"---"_s); // no label for an empty code
    EXPECT_EQ(model.valueAt(rowTitled("Country-Primary Location Code")), u"14:FRA"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Date/Time Original")), u"May 04,2019 10:11:12 AM"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Modify Date")), u"---"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Xmp Modify Date")), u"Jan 02,2020 03:04:05 AM"_s);

    const QModelIndex value = model.index(0, MetaDataViewerModel::ValueColumn);
    EXPECT_EQ(model.data(model.index(0, MetaDataViewerModel::TitleColumn)).toString(), u"Artist"_s);
    EXPECT_EQ(model.data(value).toString(), u"Zoë 山田"_s);
    EXPECT_EQ(model.data(value, Qt::ToolTipRole).toString(), u"Zoë 山田"_s);
    EXPECT_FALSE(model.flags(value).testFlag(Qt::ItemIsEditable));
    EXPECT_EQ(model.location().title, u"No location found"_s);
}

TEST_F(MetaDataViewerModelTest, showsAPhotoOfTheBatchWithItsPositionNameSizeAndPath)
{
    photos = { sample(u"camera/Canon_40D.jpg"_s), sample(u"gps/DSCN0010.jpg"_s) };
    ASSERT_TRUE(model.setupViewNotification({ { u"selectedIndex"_s, 1 } }));
    EXPECT_EQ(model.currentIndex(), 1);
    EXPECT_EQ(model.imageName(), photos[1]->fileName);
    EXPECT_FALSE(model.imageName().isEmpty());
    EXPECT_EQ(model.imagePath(), photos[1]->fileURL);
    EXPECT_TRUE(model.imageSizeText().endsWith(u" | 640 X 480"_s)) << qPrintable(model.imageSizeText());
    EXPECT_TRUE(model.imageSizeText().contains(u"KB"_s)) << qPrintable(model.imageSizeText());
    EXPECT_EQ(model.location().kind, MetaDataViewerLocation::Kind::Pin);
    EXPECT_NEAR(model.location().latitude, 43.4674, 1e-3);
    EXPECT_NEAR(model.location().longitude, 11.8851, 1e-3);
    EXPECT_EQ(model.valueAt(rowTitled("Make")), u"NIKON"_s);

    ASSERT_TRUE(model.showPhotoAtIndex(0));
    EXPECT_EQ(model.location().title, u"No location found"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Make")), u"Canon"_s);
}

TEST_F(MetaDataViewerModelTest, anIndexBeyondTheListChangesNothing)
{
    photos = { sample(u"gps/DSCN0010.jpg"_s) };
    ASSERT_TRUE(model.showPhotoAtIndex(0));
    const QString shownValue = model.valueAt(rowTitled("Make"));
    int notices = 0;
    QObject::connect(&model, &MetaDataViewerModel::photoShown, [&notices] { ++notices; });
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&notices] { ++notices; });

    EXPECT_FALSE(model.setupViewNotification({ { u"selectedIndex"_s, 1 } }));
    EXPECT_FALSE(model.setupViewNotification({ { u"selectedIndex"_s, -1 } }));
    EXPECT_FALSE(model.setupViewNotification({ { u"selectedIndex"_s, u"first"_s } }));
    EXPECT_FALSE(model.setupViewNotification({}));
    EXPECT_FALSE(model.showPhotoAtIndex(1000));

    EXPECT_EQ(notices, 0);
    EXPECT_EQ(model.currentIndex(), 0);
    EXPECT_EQ(model.valueAt(rowTitled("Make")), shownValue);
    EXPECT_EQ(model.location().kind, MetaDataViewerLocation::Kind::Pin);
}

TEST_F(MetaDataViewerModelTest, theThumbnailOfAnEarlierPhotoIsDropped)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString copy = dir.filePath(u"photo.jpg"_s);
    ASSERT_TRUE(QFile::copy(samplesDir() + u"/gps/DSCN0010.jpg"_s, copy));
    photos = { std::make_shared<PhotoFile>(copy, false), sample(u"camera/Canon_40D.jpg"_s) };
    QList<QImage> ready;
    QObject::connect(&model, &MetaDataViewerModel::thumbnailReady,
        [&ready](const QImage& image, const QStringList&) { ready.append(image); });

    ASSERT_TRUE(model.showPhotoAtIndex(0));
    model.requestThumbnail(QSize(64, 64));
    ASSERT_TRUE(model.showPhotoAtIndex(1)); // before the first thumbnail arrives
    model.requestThumbnail(QSize(64, 64));
    // Both thumbnails are made; their hand-offs to this thread arrive as events.
    QThreadPool::globalInstance()->waitForDone();
    for (int pass = 0; pass < 5; ++pass)
        QCoreApplication::processEvents();
    ASSERT_EQ(ready.size(), 1);
    const QImage& image = ready.first();
    EXPECT_FALSE(image.isNull());
    EXPECT_LE(std::max(image.width(), image.height()), 64);
}

TEST(MetaDataViewerLabels, codedRowsShowTheFormsDropDownLabels)
{
    DropDownTables tables;
    ASSERT_TRUE(tables.loadCountries(QStringLiteral(VELLORAN_RESOURCES_DIR "/countries.json")));
    QList<std::shared_ptr<PhotoFile>> photos;
    MetaDataViewerModel model(
        photos, [&tables](int tag, const MetaDataObject& record) { return tables.getValueForOption(tag, record); });
    MetaDataObject record;
    record.setCamSetting_Flash(u"16"_s);
    record.setAdvCamSetting_MateringMode(u"255"_s);
    record.setGPS_AltitudeRef(u"1"_s);
    record.setGPS_LongitudeRef(u"W"_s);
    record.setAdvCamSetting_SensingMethod(u"2"_s);
    record.setCamSetting_Orientation(u"Leave Blank"_s);
    record.setIPTC_CountryPrimaryLocationCode(u"FRA"_s);
    model.showPhoto(PhotoFile(), record);

    EXPECT_EQ(model.valueAt(rowTitled("Flash")), u"Off, Did not fire"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Metering Mode")), u"Other"_s);
    EXPECT_EQ(model.valueAt(rowTitled("GPS Altitude Ref")), u"Below Sea Level"_s);
    EXPECT_EQ(model.valueAt(rowTitled("GPS Longitude Ref")), u"West"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Sensing Method")), u"One-chip color area"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Orientation")), u"---"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Country-Primary Location Code")), u"France"_s);
    EXPECT_EQ(model.valueAt(rowTitled("Exposure Mode")), u"---"_s);
}
