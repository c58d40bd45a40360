#include "batch/naming/OutputPathBuilder.h"

#include "FakeGeocoder.h"
#include "batch/naming/GeoNamesGeocoder.h"
#include "batch/naming/LocationNamer.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>
#include <string>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kOutput = QStringLiteral("/home/ann/Pictures/Velloran");

struct PhotoSpec {
    QString path = QStringLiteral("/media/ann/CARD/DCIM/IMG_0012.JPG");
    double width = 4032;
    double height = 3024;
    QString original = QStringLiteral("2019:07:04 10:20:30");
    QString creation;
    QString modify;
    QString latitude, latitudeRef, longitude, longitudeRef;
    bool isIphotosNode = false;
};

PhotoFile makePhoto(const PhotoSpec& spec)
{
    PhotoFile photo;
    photo.filePath = spec.path;
    photo.fileName = spec.path.mid(spec.path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = photo.fileName.lastIndexOf(QLatin1Char('.'));
    photo.fileExtension = dot > 0 ? photo.fileName.mid(dot + 1) : QString();
    photo.width = spec.width;
    photo.height = spec.height;
    photo.isIphotosNode = spec.isIphotosNode;
    auto record = std::make_shared<MetaDataObject>();
    record->setDate_Original(spec.original);
    record->setDate_Creation(spec.creation);
    record->setDate_Modify(spec.modify);
    record->setGPS_Lattitude(spec.latitude);
    record->setGPS_LattitudeRef(spec.latitudeRef);
    record->setGPS_Longitude(spec.longitude);
    record->setGPS_LongitudeRef(spec.longitudeRef);
    photo.metadataObjectOriginal = record;
    return photo;
}

PhotoSpec inParis()
{
    PhotoSpec spec;
    spec.latitude = QStringLiteral("48.85");
    spec.latitudeRef = QStringLiteral("N");
    spec.longitude = QStringLiteral("2.35");
    spec.longitudeRef = QStringLiteral("E");
    return spec;
}

OutputRenamingOptions renaming()
{
    OutputRenamingOptions options;
    options.renamingOptionIndex = 1;
    options.ouptputFolderPathName = kOutput;
    return options;
}

std::shared_ptr<FakeGeocoder> parisGeocoder()
{
    auto geocoder = std::make_shared<FakeGeocoder>();
    geocoder->answer = [](double, double) {
        return FakeGeocoder::address({ { QStringLiteral("Name"), QStringLiteral("Rue X") },
            { QStringLiteral("City"), QStringLiteral("Paris") }, { QStringLiteral("State"), QStringLiteral("IDF") },
            { QStringLiteral("Country"), QStringLiteral("France") } });
    };
    return geocoder;
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QStringList messages(const OutputPath& output)
{
    QStringList list;
    for (const auto& warning : output.warnings)
        list.append(QString::number(warning->processStatus) + QLatin1Char(' ') + warning->processMsg);
    return list;
}

const QString kNoOriginal = QStringLiteral("10 EXIF Original Date/Time not found at the time of renaming!");

} // namespace

TEST(OutputPathBuilder, choosesTheFolderAndKeepsTheSourceNameWhenRenamingIsOff)
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    struct Case {
        const char* what;
        QString source;
        int sourceFolder;
        bool isIphotosNode;
        QString expected;
    };
    const Case cases[] = {
        { "into the output folder", QStringLiteral("/Volumes/x/IMG_1.JPG"), 0, false,
            kOutput + QStringLiteral("/IMG_1.JPG") },
        { "beside the source", QStringLiteral("/Volumes/x/IMG_1.JPG"), 1, false,
            QStringLiteral("/Volumes/x/IMG_1.JPG") },
        { "letters keep their case", QStringLiteral("/Media/Card/DCIM/Ferien Été.Heic"), 1, false,
            QStringLiteral("/Media/Card/DCIM/Ferien Été.Heic") },
        { "a file at the root", QStringLiteral("/IMG_1.JPG"), 1, false, QStringLiteral("/IMG_1.JPG") },
        { "no extension, no trailing dot", QStringLiteral("/Volumes/x/scan"), 0, false,
            kOutput + QStringLiteral("/scan") },
        { "only the last dot starts the extension", QStringLiteral("/Volumes/x/a.b.tif"), 0, false,
            kOutput + QStringLiteral("/a.b.tif") },
        { "a photo-library photo beside its source", QStringLiteral("/lib/masters/IMG_1.JPG"), 1, true,
            pictures + QStringLiteral("/PhotosLibrary_VelloranOutput/IMG_1.JPG") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Every token ticked and nothing to fill them: renaming off still warns of nothing.
        OutputRenamingOptions options = renaming();
        options.renamingOptionIndex = 0;
        options.sourseFolderSelected = c.sourceFolder;
        options.replaceFilenameCheck = options.addStringCheck = options.addEXIFDateTimeCheck = 1;
        options.addEXIFLocationCheck = options.appendWidthHeightCheck = 1;
        OutputPathBuilder builder(options, nullptr);
        PhotoSpec spec;
        spec.path = c.source;
        spec.original.clear();
        spec.isIphotosNode = c.isIphotosNode;
        const OutputPath output = builder.updatedPathWithSelectedSetting(makePhoto(spec), MetaDataObject());
        EXPECT_EQ(output.path, c.expected);
        EXPECT_TRUE(output.warnings.isEmpty()) << messages(output).join(QLatin1Char('|')).toStdString();
    }
}

TEST(OutputPathBuilder, joinsTheTokensWithoutSeparatorsOfTheirOwn)
{
    struct Case {
        const char* what;
        std::function<void(OutputRenamingOptions&)> set;
        PhotoSpec photo;
        QString expectedName;
        QStringList expectedWarnings;
    };
    const auto trip = [](OutputRenamingOptions& o) {
        o.replaceFilenameCheck = 1;
        o.replaceFilename.customNameValue = QStringLiteral("Trip");
        o.addStringCheck = 1;
        o.addString.addStringPrefixValue = QStringLiteral("A_");
        o.addString.addStringSuffixValue = QStringLiteral("_B");
        o.addEXIFDateTimeCheck = 1;
        o.addEXIFDateTime.formatValue = 15;
    };
    PhotoSpec noDates;
    noDates.original.clear();
    PhotoSpec nullInName;
    nullInName.path = QStringLiteral("/in/IMG(null)_7.JPG");
    PhotoSpec oddSize;
    oddSize.width = 1999.5;
    oddSize.height = 1000.4;
    PhotoSpec created;
    created.creation = QStringLiteral("2001:02:03 04:05:06");

    const Case cases[] = {
        { "date after the name",
            [&](auto& o) {
                trip(o);
                o.addEXIFDateTime.asValue = 1;
            },
            {}, QStringLiteral("A_Trip_B2019-07-04.JPG"), {} },
        { "date before the name", trip, {}, QStringLiteral("2019-07-04A_Trip_B.JPG"), {} },
        { "a position of 2 adds no date",
            [&](auto& o) {
                trip(o);
                o.addEXIFDateTime.asValue = 2;
            },
            {}, QStringLiteral("A_Trip_B.JPG"), {} },
        { "a format outside the table adds no date and no warning",
            [&](auto& o) {
                trip(o);
                o.addEXIFDateTime.formatValue = 25;
            },
            {}, QStringLiteral("A_Trip_B.JPG"), {} },
        { "a missing date is left out and reported", trip, noDates, QStringLiteral("A_Trip_B.JPG"), { kNoOriginal } },
        { "a type of 5 takes the creation date",
            [&](auto& o) {
                o.addEXIFDateTimeCheck = 1;
                o.addEXIFDateTime.typeValue = 5;
                o.addEXIFDateTime.formatValue = 19;
            },
            created, QStringLiteral("2001-02-03_04-05-06IMG_0012.JPG"), {} },
        { "a missing creation date names the creation date",
            [&](auto& o) {
                o.addEXIFDateTimeCheck = 1;
                o.addEXIFDateTime.typeValue = 1;
            },
            {}, QStringLiteral("IMG_0012.JPG"),
            { QStringLiteral("10 EXIF Creation Date/Time not found at the time of renaming!") } },
        { "a date that is no date is reported too", [&](auto& o) { o.addEXIFDateTimeCheck = 1; },
            [] {
                PhotoSpec s;
                s.original = QStringLiteral("yesterday");
                return s;
            }(),
            QStringLiteral("IMG_0012.JPG"), { kNoOriginal } },
        { "the pixel size", [](auto& o) { o.appendWidthHeightCheck = 1; }, {}, QStringLiteral("IMG_00124032X3024.JPG"),
            {} },
        { "the pixel size rounded", [](auto& o) { o.appendWidthHeightCheck = 1; }, oddSize,
            QStringLiteral("IMG_00122000X1000.JPG"), {} },
        { "(null) goes once a token applies", [](auto& o) { o.appendWidthHeightCheck = 1; }, nullInName,
            QStringLiteral("IMG_74032X3024.JPG"), {} },
        { "(null) stays without a token", [](auto&) {}, nullInName, QStringLiteral("IMG(null)_7.JPG"), {} },
        { "an empty custom name keeps the own name", [](auto& o) { o.replaceFilenameCheck = 1; }, {},
            QStringLiteral("IMG_0012.JPG"), {} },
        { "a prefix alone",
            [](auto& o) {
                o.addStringCheck = 1;
                o.addString.addStringPrefixValue = QStringLiteral("Été ");
            },
            {}, QStringLiteral("Été IMG_0012.JPG"), {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OutputRenamingOptions options = renaming();
        c.set(options);
        OutputPathBuilder builder(options, nullptr);
        const OutputPath output = builder.updatedPathWithSelectedSetting(makePhoto(c.photo), MetaDataObject());
        EXPECT_EQ(output.path, kOutput + QLatin1Char('/') + c.expectedName);
        EXPECT_EQ(messages(output), c.expectedWarnings);
        for (const auto& warning : output.warnings)
            EXPECT_EQ(warning->filePath, c.photo.path);
    }
}

TEST(OutputPathBuilder, namesWithTheDateAsTheBatchWillWriteIt)
{
    OutputRenamingOptions options = renaming();
    options.addEXIFDateTimeCheck = 1;
    options.addEXIFDateTime.typeValue = 2;
    options.addEXIFDateTime.formatValue = 15;
    PhotoSpec spec;
    spec.modify = QStringLiteral("2019:07:04 10:20:30");

    struct Case {
        const char* what;
        std::optional<int> option;
        std::optional<QString> selectedDate;
        QString expectedName;
        QStringList expectedWarnings;
    };
    const Case cases[] = {
        { "kept", DateTimeConfiguration::KeepOriginal, QStringLiteral("2024:01:01 00:00:00"),
            QStringLiteral("2019-07-04IMG_0012.JPG"), {} },
        { "a chosen date", DateTimeConfiguration::ChosenDate, QStringLiteral("2020:01:02 03:04:05"),
            QStringLiteral("2020-01-02IMG_0012.JPG"), {} },
        { "emptied", DateTimeConfiguration::EmptyValue, QStringLiteral("2020:01:02 03:04:05"),
            QStringLiteral("IMG_0012.JPG"),
            { QStringLiteral("10 EXIF Modify Date/Time not found at the time of renaming!") } },
        // Without a chosen date the settings are not applied at all.
        { "no chosen date", DateTimeConfiguration::EmptyValue, QString(), QStringLiteral("2019-07-04IMG_0012.JPG"),
            {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MetaDataObject settings;
        settings.dateTimeConfigModifyDate()->tagConfigureOption = c.option;
        settings.dateTimeConfigModifyDate()->stringSelectedDate = c.selectedDate;
        OutputPathBuilder builder(options, nullptr);
        const OutputPath output = builder.updatedPathWithSelectedSetting(makePhoto(spec), settings);
        EXPECT_EQ(nameOf(output.path), c.expectedName);
        EXPECT_EQ(messages(output), c.expectedWarnings);
    }
}

TEST(OutputPathBuilder, printsEveryDateFormatWithDigitsWhateverTheLocale)
{
    const std::string savedLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    const char* expected[] = {
        "04072019",
        "04072019_1020",
        "04072019_10-20",
        "04072019_102030",
        "04072019_10-20-30",
        "04-07-2019",
        "04-07-2019_1020",
        "04-07-2019_10-20",
        "04-07-2019_102030",
        "04-07-2019_10-20-30",
        "07-04-2019",
        "07-04-2019_1020",
        "07-04-2019_10-20",
        "07-04-2019_102030",
        "07-04-2019_10-20-30",
        "2019-07-04",
        "2019-07-04_1020",
        "2019-07-04_10-20",
        "2019-07-04_102030",
        "2019-07-04_10-20-30",
    };
    PhotoSpec spec;
    spec.path = QStringLiteral("/in/x.jpg");
    for (int format = 0; format < OutputNameDateFormats::kCount; ++format) {
        OutputRenamingOptions options = renaming();
        options.addEXIFDateTimeCheck = 1;
        options.addEXIFDateTime.asValue = 1;
        options.addEXIFDateTime.formatValue = format;
        OutputPathBuilder builder(options, nullptr);
        EXPECT_EQ(nameOf(builder.updatedPathWithSelectedSetting(makePhoto(spec), MetaDataObject()).path),
            QStringLiteral("x%1.jpg").arg(QLatin1StringView(expected[format])))
            << format;
    }

    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, savedLocale.c_str());
}

TEST(OutputPathBuilder, addsThePlaceNamesOfTheSignedPosition)
{
    struct Case {
        const char* what;
        PhotoSpec photo;
        AddEXIFLocation ticks;
        int requests;
        double latitude, longitude; // as asked
        QString expectedName;
        QStringList expectedWarnings;
    };
    PhotoSpec south = inParis();
    south.latitude = QStringLiteral("0.5");
    south.latitudeRef = QStringLiteral("s");
    south.longitudeRef = QStringLiteral("W");
    PhotoSpec onTheEquator = inParis();
    onTheEquator.latitude = QStringLiteral("0");
    PhotoSpec noGps = inParis();
    noGps.longitude.clear();
    AddEXIFLocation placeAndCountry;
    placeAndCountry.cityTick = placeAndCountry.stateTick = 0;
    const QString everyPart
        = QStringLiteral("11 EXIF GPS - Place,City,State,Country not found at the time of renaming!");

    const Case cases[] = {
        { "every part", inParis(), {}, 1, 48.85, 2.35,
            QStringLiteral("2019-07-04IMG_0012Rue-X_Paris_IDF_France4032X3024.JPG"), {} },
        { "two parts", inParis(), placeAndCountry, 1, 48.85, 2.35,
            QStringLiteral("2019-07-04IMG_0012Rue-X_France4032X3024.JPG"), {} },
        { "south and west are negative", south, {}, 1, -0.5, -2.35,
            QStringLiteral("2019-07-04IMG_0012Rue-X_Paris_IDF_France4032X3024.JPG"), {} },
        { "a zero latitude asks nothing", onTheEquator, {}, 0, 0, 0, QStringLiteral("2019-07-04IMG_00124032X3024.JPG"),
            { everyPart } },
        { "no longitude asks nothing", noGps, {}, 0, 0, 0, QStringLiteral("2019-07-04IMG_00124032X3024.JPG"),
            { everyPart } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto geocoder = parisGeocoder();
        double askedLatitude = 0, askedLongitude = 0;
        const auto answer = geocoder->answer;
        geocoder->answer = [&](double lat, double lon) {
            askedLatitude = lat;
            askedLongitude = lon;
            return answer(lat, lon);
        };
        OutputRenamingOptions options = renaming();
        options.addEXIFDateTimeCheck = options.addEXIFLocationCheck = options.appendWidthHeightCheck = 1;
        options.addEXIFDateTime.formatValue = 15;
        options.addEXIFLocation = c.ticks;
        OutputPathBuilder builder(options, std::make_shared<LocationNamer>(geocoder));
        const OutputPath output = builder.updatedPathWithSelectedSetting(makePhoto(c.photo), MetaDataObject());
        EXPECT_EQ(nameOf(output.path), c.expectedName);
        EXPECT_EQ(messages(output), c.expectedWarnings);
        EXPECT_EQ(geocoder->requests, c.requests);
        EXPECT_NEAR(askedLatitude, c.latitude, 1e-5);
        EXPECT_NEAR(askedLongitude, c.longitude, 1e-5);
    }
}

// The name tells the place of the position the run writes, not of the one the
// photo had when it was added.
TEST(OutputPathBuilder, namesThePlaceOfThePositionTheRunWrites)
{
    PhotoSpec noGps = inParis();
    noGps.latitude.clear();
    noGps.longitude.clear();
    OutputRenamingOptions options = renaming();
    options.addEXIFLocationCheck = 1;
    const auto nameFor = [&](const PhotoSpec& spec, const MetaDataObject& settings, double* asked = nullptr) {
        auto geocoder = parisGeocoder();
        const auto answer = geocoder->answer;
        geocoder->answer = [&](double lat, double lon) {
            if (asked)
                *asked = lat;
            return answer(lat, lon);
        };
        OutputPathBuilder builder(options, std::make_shared<LocationNamer>(geocoder));
        return nameOf(builder.updatedPathWithSelectedSetting(makePhoto(spec), settings).path);
    };

    MetaDataObject writesParis;
    writesParis.setGPS_Lattitude(QStringLiteral("48.85"));
    writesParis.setIsupdated_GPS_Lattitude(true);
    writesParis.setGPS_LattitudeRef(QStringLiteral("N"));
    writesParis.setIsupdated_GPS_LattitudeRef(true);
    writesParis.setGPS_Longitude(QStringLiteral("2.35"));
    writesParis.setIsupdated_GPS_Longitude(true);
    writesParis.setGPS_LongitudeRef(QStringLiteral("E"));
    writesParis.setIsupdated_GPS_LongitudeRef(true);
    EXPECT_EQ(nameFor(noGps, writesParis), "IMG_0012Rue-X_Paris_IDF_France.JPG");

    // Only the latitude edited: south of the equator, the photo's own longitude.
    MetaDataObject movesSouth;
    movesSouth.setGPS_LattitudeRef(QStringLiteral("S"));
    movesSouth.setIsupdated_GPS_LattitudeRef(true);
    double asked = 0;
    nameFor(inParis(), movesSouth, &asked);
    EXPECT_NEAR(asked, -48.85, 1e-5);

    MetaDataObject erased;
    erased.setGPS_Lattitude(QStringLiteral(""));
    erased.setIsupdated_GPS_Lattitude(true);
    EXPECT_EQ(nameFor(inParis(), erased), "IMG_0012.JPG") << "a removed position names no place";
    MetaDataObject cleaned;
    cleaned.editingOption = MetaDataObject::CleanMetadataInfo;
    cleaned.clearGpsInfo = true;
    EXPECT_EQ(nameFor(inParis(), cleaned), "IMG_0012.JPG");
    cleaned.clearGpsInfo = false;
    cleaned.clearExif = true; // the Exif group takes the GPS tags with it
    EXPECT_EQ(nameFor(inParis(), cleaned), "IMG_0012.JPG");
    cleaned.clearExif = false;
    cleaned.clearIPTC = true;
    EXPECT_EQ(nameFor(inParis(), cleaned), "IMG_0012Rue-X_Paris_IDF_France.JPG");
    MetaDataObject erasesOthers;
    erasesOthers.editingOption = MetaDataObject::ModifyEditedClearOthers;
    EXPECT_EQ(nameFor(inParis(), erasesOthers), "IMG_0012.JPG");
    EXPECT_EQ(nameFor(inParis(), MetaDataObject()), "IMG_0012Rue-X_Paris_IDF_France.JPG") << "nothing edited";

    // Mode 1 keeps what the edited-fields-only record holds, as the run hands it over.
    MetaDataObject keepsPosition;
    keepsPosition.editingOption = MetaDataObject::ModifyEditedClearOthers;
    MetaDataObject onlyUpdated;
    using F = MetadataField;
    for (const auto& [field, text] : { std::pair { F::GPS_Lattitude, u"48.85"_s }, { F::GPS_LattitudeRef, u"N"_s },
             { F::GPS_Longitude, u"2.35"_s }, { F::GPS_LongitudeRef, u"E"_s } })
        onlyUpdated.setField(field, text);
    auto geocoder = parisGeocoder();
    OutputPathBuilder builder(options, std::make_shared<LocationNamer>(geocoder));
    EXPECT_EQ(nameOf(builder.updatedPathWithSelectedSetting(makePhoto(inParis()), keepsPosition, &onlyUpdated).path),
        "IMG_0012Rue-X_Paris_IDF_France.JPG");
}

TEST(OutputPathBuilder, listsTheMissingPartsAfterTheDateWarning)
{
    auto geocoder = std::make_shared<FakeGeocoder>();
    geocoder->answer = [](double, double) {
        return FakeGeocoder::address({ { QStringLiteral("Name"), QStringLiteral("Rue X") },
            { QStringLiteral("State"), QStringLiteral("IDF") } });
    };
    OutputRenamingOptions options = renaming();
    options.addEXIFDateTimeCheck = options.addEXIFLocationCheck = 1;
    PhotoSpec spec = inParis();
    spec.original.clear();
    OutputPathBuilder builder(options, std::make_shared<LocationNamer>(geocoder));
    const OutputPath output = builder.updatedPathWithSelectedSetting(makePhoto(spec), MetaDataObject());
    EXPECT_EQ(nameOf(output.path), QStringLiteral("IMG_0012Rue-X_IDF.JPG"));
    EXPECT_EQ(messages(output),
        QStringList({ kNoOriginal, QStringLiteral("11 EXIF GPS - City,Country not found at the time of renaming!") }));
}

TEST(OutputPathBuilder, neverLetsANameLeadIntoAnotherFolder)
{
    auto geocoder = std::make_shared<FakeGeocoder>();
    geocoder->answer = [](double, double) {
        return FakeGeocoder::address({ { QStringLiteral("City"), QStringLiteral("Biel/Bienne") } });
    };
    AddEXIFLocation cityOnly;
    cityOnly.placeTick = cityOnly.stateTick = cityOnly.countryTick = 0;
    struct Case {
        const char* what;
        QString custom, prefix, suffix;
        bool location;
        QString expectedName;
    };
    const Case cases[] = {
        { "a custom name", QStringLiteral("../../etc/x"), {}, {}, false, QStringLiteral("..-..-etc-x.JPG") },
        { "a prefix and suffix", {}, QStringLiteral("a/"), QStringLiteral("/b"), false,
            QStringLiteral("a-IMG_0012-b.JPG") },
        { "a place name", {}, {}, {}, true, QStringLiteral("IMG_0012Biel-Bienne.JPG") },
        { "a NUL", QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b"), {}, {}, false, QStringLiteral("a-b.JPG") },
        { "a name of one dot", QStringLiteral("."), {}, {}, false, QStringLiteral("IMG_0012.JPG") },
        { "a name of two dots", QStringLiteral(".."), {}, {}, false, QStringLiteral("IMG_0012.JPG") },
        { "a prefix and suffix making two dots", {}, QStringLiteral("."), QStringLiteral("."), false,
            QStringLiteral(".IMG_0012..JPG") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OutputRenamingOptions options = renaming();
        options.replaceFilenameCheck = c.custom.isEmpty() ? 0 : 1;
        options.replaceFilename.customNameValue = c.custom;
        options.addStringCheck = c.prefix.isEmpty() && c.suffix.isEmpty() ? 0 : 1;
        options.addString.addStringPrefixValue = c.prefix;
        options.addString.addStringSuffixValue = c.suffix;
        options.addEXIFLocationCheck = c.location ? 1 : 0;
        options.addEXIFLocation = cityOnly;
        OutputPathBuilder builder(options, std::make_shared<LocationNamer>(geocoder));
        const OutputPath output = builder.updatedPathWithSelectedSetting(makePhoto(inParis()), MetaDataObject());
        EXPECT_EQ(output.path, kOutput + QLatin1Char('/') + c.expectedName);
    }
}

TEST(OutputPathBuilder, shortensANameTooLongForTheFileSystemKeepingDatePlaceAndSize)
{
    struct Case {
        const char* what;
        QString custom;
        QString extension;
    };
    const Case cases[] = {
        { "two-byte letters", QString(300, QChar(u'é')), QStringLiteral("JPG") },
        { "four-byte emoji", QString::fromUtf8("\xF0\x9F\x98\x80").repeated(100), QStringLiteral("jpeg") },
        { "no extension", QString(400, QLatin1Char('a')), QString() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OutputRenamingOptions options = renaming();
        options.replaceFilenameCheck = options.addEXIFDateTimeCheck = options.addEXIFLocationCheck = 1;
        options.appendWidthHeightCheck = 1;
        options.addEXIFDateTime.asValue = 1;
        options.addEXIFDateTime.formatValue = 15;
        options.replaceFilename.customNameValue = c.custom;
        OutputPathBuilder builder(options, std::make_shared<LocationNamer>(parisGeocoder()));
        PhotoSpec spec = inParis();
        spec.path
            = QStringLiteral("/in/IMG_0012") + (c.extension.isEmpty() ? QString() : QLatin1Char('.') + c.extension);

        for (int photo = 0; photo < 2; ++photo) {
            const OutputPath output = builder.updatedPathWithSelectedSetting(makePhoto(spec), MetaDataObject());
            const QString name = nameOf(output.path);
            const QByteArray bytes = name.toUtf8();
            EXPECT_LE(bytes.size(), 255);
            EXPECT_GT(bytes.size(), 240); // cut no more than needed
            EXPECT_EQ(QString::fromUtf8(bytes), name); // no character split in half
            const QString tail = QStringLiteral("2019-07-04Rue-X_Paris_IDF_France4032X3024")
                + (photo == 1 ? QStringLiteral(" (1)") : QString())
                + (c.extension.isEmpty() ? QString() : QLatin1Char('.') + c.extension);
            EXPECT_TRUE(name.endsWith(tail)) << name.toStdString();
            EXPECT_TRUE(name.startsWith(c.custom.left(10)));
            ASSERT_FALSE(output.warnings.isEmpty());
            EXPECT_EQ(output.warnings.first()->processStatus, PhotoRenameAdjusted);
            EXPECT_TRUE(output.warnings.first()->processMsg.startsWith(QStringLiteral("Output file name too long")));
        }
    }
}

TEST(OutputPathBuilder, givesEveryPhotoOfARunAPathOfItsOwn)
{
    struct Case {
        const char* what;
        std::function<void(OutputRenamingOptions&)> set;
        QStringList sources;
        QStringList expected;
        QStringList adjusted; // the photo each numbered output was first given to
    };
    const Case cases[] = {
        { "one name from two folders", [](auto&) {},
            { QStringLiteral("/a/IMG_0001.JPG"), QStringLiteral("/b/IMG_0001.JPG"), QStringLiteral("/c/IMG_0001.JPG") },
            { QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0001 (1).JPG"), QStringLiteral("IMG_0001 (2).JPG") },
            { {}, QStringLiteral("/a/IMG_0001.JPG"), QStringLiteral("/a/IMG_0001.JPG") } },
        { "one custom name",
            [](auto& o) {
                o.replaceFilenameCheck = 1;
                o.replaceFilename.customNameValue = QStringLiteral("Trip");
            },
            { QStringLiteral("/a/1.JPG"), QStringLiteral("/a/2.JPG") },
            { QStringLiteral("Trip.JPG"), QStringLiteral("Trip (1).JPG") }, { {}, QStringLiteral("/a/1.JPG") } },
        { "names differ only in case", [](auto&) {}, { QStringLiteral("/a/img.jpg"), QStringLiteral("/b/IMG.jpg") },
            { QStringLiteral("img.jpg"), QStringLiteral("IMG.jpg") }, { {}, {} } },
        { "a numbered name that is taken too", [](auto&) {},
            { QStringLiteral("/a/x (1).JPG"), QStringLiteral("/a/x.JPG"), QStringLiteral("/b/x.JPG") },
            { QStringLiteral("x (1).JPG"), QStringLiteral("x.JPG"), QStringLiteral("x (2).JPG") },
            { {}, {}, QStringLiteral("/a/x.JPG") } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OutputRenamingOptions options = renaming();
        c.set(options);
        OutputPathBuilder builder(options, nullptr);
        for (qsizetype i = 0; i < c.sources.size(); ++i) {
            PhotoSpec spec;
            spec.path = c.sources[i];
            const OutputPath output = builder.updatedPathWithSelectedSetting(makePhoto(spec), MetaDataObject());
            EXPECT_EQ(output.path, kOutput + QLatin1Char('/') + c.expected[i]);
            if (c.adjusted[i].isEmpty()) {
                EXPECT_TRUE(output.warnings.isEmpty());
                continue;
            }
            ASSERT_EQ(output.warnings.size(), 1);
            EXPECT_EQ(output.warnings[0]->processStatus, PhotoRenameAdjusted);
            EXPECT_EQ(output.warnings[0]->filePath, c.sources[i]);
            EXPECT_TRUE(output.warnings[0]->processMsg.contains(c.adjusted[i]));
            EXPECT_TRUE(output.warnings[0]->processMsg.contains(c.expected[i]));
        }
    }
}

TEST(OutputPathBuilder, neverAnswersTheSourceOfAnotherPhotoOfTheBatch)
{
    const QStringList batch { QStringLiteral("/photos/a.JPG"), QStringLiteral("/photos/b.JPG") };
    OutputRenamingOptions options = renaming();
    options.sourseFolderSelected = 1;
    options.replaceFilenameCheck = 1;
    options.replaceFilename.customNameValue = QStringLiteral("b");
    OutputPathBuilder renamingBuilder(options, nullptr, batch);
    PhotoSpec spec;
    spec.path = batch[0];
    const OutputPath output = renamingBuilder.updatedPathWithSelectedSetting(makePhoto(spec), MetaDataObject());
    EXPECT_EQ(output.path, QStringLiteral("/photos/b (1).JPG"));
    ASSERT_EQ(output.warnings.size(), 1);
    EXPECT_TRUE(output.warnings[0]->processMsg.contains(QStringLiteral("/photos/b.JPG")));

    // A photo written over its own source is the user's choice, not a collision.
    options.renamingOptionIndex = 0;
    OutputPathBuilder keepingBuilder(options, nullptr, batch);
    for (const QString& source : batch) {
        spec.path = source;
        const OutputPath own = keepingBuilder.updatedPathWithSelectedSetting(makePhoto(spec), MetaDataObject());
        EXPECT_EQ(own.path, source);
        EXPECT_TRUE(own.warnings.isEmpty());
    }
}

TEST(OutputPathBuilder, seesThroughSymbolicLinksToTheSourcesOfOtherPhotos)
{
    // The output folder is the photos' own folder reached through a link, and the
    // folder holds a link to b.JPG as well: neither may lead a.JPG's copy over b.JPG.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString real = dir.filePath(QStringLiteral("photos"));
    ASSERT_TRUE(QDir().mkpath(real));
    const QStringList batch { real + QStringLiteral("/a.JPG"), real + QStringLiteral("/b.JPG") };
    for (const QString& source : batch) {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString linkedFolder = dir.filePath(QStringLiteral("linked"));
    ASSERT_TRUE(QFile::link(real, linkedFolder));
    ASSERT_TRUE(QFile::link(batch[1], real + QStringLiteral("/c.JPG")));

    PhotoSpec spec;
    spec.path = batch[0];
    for (const char* custom : { "b", "c" }) {
        OutputRenamingOptions options = renaming();
        options.ouptputFolderPathName = linkedFolder;
        options.replaceFilenameCheck = 1;
        options.replaceFilename.customNameValue = QString::fromLatin1(custom);
        OutputPathBuilder builder(options, nullptr, batch);
        const OutputPath output = builder.updatedPathWithSelectedSetting(makePhoto(spec), MetaDataObject());
        EXPECT_EQ(output.path, linkedFolder + QStringLiteral("/%1 (1).JPG").arg(QLatin1String(custom))) << custom;
        EXPECT_EQ(output.warnings.size(), 1) << custom;
    }

    // Its own source, reached through the link, stays its own.
    OutputRenamingOptions keeping = renaming();
    keeping.ouptputFolderPathName = linkedFolder;
    OutputPathBuilder builder(keeping, nullptr, batch);
    const OutputPath own = builder.updatedPathWithSelectedSetting(makePhoto(spec), MetaDataObject());
    EXPECT_EQ(own.path, linkedFolder + QStringLiteral("/a.JPG"));
    EXPECT_TRUE(own.warnings.isEmpty());
}

// The whole path with the offline geocoder, in English names.
TEST(OutputPathBuilder, namesRealPlacesOfflineAndSaysThatStreetsAreUnknown)
{
    const std::string savedMessages = std::setlocale(LC_MESSAGES, nullptr);
    std::setlocale(LC_MESSAGES, "C");

    struct Case {
        const char* latitude;
        const char* latitudeRef;
        const char* longitude;
        const char* longitudeRef;
        QString expectedName;
    };
    const Case cases[] = {
        { "48.85", "N", "2.35", "E", QStringLiteral("IMG_0012Paris_Île-de-France-Region_France.JPG") },
        { "43.4675", "N", "11.885", "E", QStringLiteral("IMG_0012Arezzo_Tuscany_Italy.JPG") },
        { "47.1368", "N", "7.2468", "E", QStringLiteral("IMG_0012Biel-Bienne_Canton-of-Bern_Switzerland.JPG") },
        { "0.5", "N", "30", "W", QStringLiteral("IMG_0012.JPG") },
    };
    OutputRenamingOptions options = renaming();
    options.addEXIFLocationCheck = 1;
    OutputPathBuilder builder(options, std::make_shared<LocationNamer>(std::make_shared<GeoNamesGeocoder>()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.latitude);
        PhotoSpec spec;
        spec.latitude = QString::fromLatin1(c.latitude);
        spec.latitudeRef = QString::fromLatin1(c.latitudeRef);
        spec.longitude = QString::fromLatin1(c.longitude);
        spec.longitudeRef = QString::fromLatin1(c.longitudeRef);
        const OutputPath output = builder.updatedPathWithSelectedSetting(makePhoto(spec), MetaDataObject());
        EXPECT_EQ(nameOf(output.path), c.expectedName);
        ASSERT_EQ(output.warnings.size(), 1);
        EXPECT_EQ(output.warnings[0]->processStatus, PhotoRenameNoLocation);
        EXPECT_EQ(output.warnings[0]->processMsg,
            c.expectedName == QStringLiteral("IMG_0012.JPG")
                ? QStringLiteral("EXIF GPS - Place,City,State,Country not found at the time of renaming!")
                : QStringLiteral("EXIF GPS - Place not found at the time of renaming!"));
    }

    std::setlocale(LC_MESSAGES, savedMessages.c_str());
}
