#include "services/WriterFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <functional>
#include <optional>
#include <vector>

namespace {

using F = MetadataField;

const QString kProcessed = QStringLiteral("Processed Successfully");

// A JPEG with a little of everything the writer touches.
void fillPhoto(Exiv2::Image& image)
{
    Exiv2::ExifData& exif = image.exifData();
    exif["Exif.Image.Make"] = "Nikon";
    exif["Exif.Image.Model"] = "D70";
    exif["Exif.Image.Artist"] = "Old Artist";
    exif["Exif.Image.Copyright"] = "Old Copyright";
    exif["Exif.Image.DateTime"] = "2020:01:02 03:04:05";
    exif["Exif.Photo.DateTimeOriginal"] = "2020:01:02 03:04:05";
    exif["Exif.Photo.DateTimeDigitized"] = "2020:01:02 03:04:05";
    addExif(exif, "Exif.Photo.Flash", Exiv2::unsignedShort, "16");
    addExif(exif, "Exif.Photo.ColorSpace", Exiv2::unsignedShort, "1");
    addExif(exif, "Exif.Photo.FNumber", Exiv2::unsignedRational, "28/10");
    addExif(exif, "Exif.GPSInfo.GPSLatitude", Exiv2::unsignedRational, "10/1 0/1 0/1");
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.Photo.UserComment"] = "charset=Ascii old comment";
    addIptc(image.iptcData(), "Iptc.Application2.Keywords", "a");
    addIptc(image.iptcData(), "Iptc.Application2.Keywords", "b");
    addIptc(image.iptcData(), "Iptc.Application2.City", "Paris");
    image.xmpData()["Xmp.aux.Lens"] = "Old Lens";
    image.xmpData()["Xmp.exif.GPSLatitude"] = "10.0";
    image.xmpData()["Xmp.xmp.CreateDate"] = "2020-01-02T03:04:05";
}

class ExifWriterWriting : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString makePhoto(const QString& name = QStringLiteral("photo.jpg"))
    {
        const QString path = makeJpeg(m_dir, name);
        editMetadata(path, fillPhoto);
        return path;
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

} // namespace

// ---- Answer codes ----

TEST_F(ExifWriterWriting, aMissingSourceAnswersOneAfterReplacingCommas)
{
    PhotoFile photo;
    photo.filePath = path("gone.jpg");
    MetaDataObject settings;
    MetaDataObject onlyUpdated;
    edit(settings, { { F::CamSetting_FNumber, "2,8" }, { F::GPS_Lattitude, "1,2,3" }, { F::Artist, "a,b" } });
    edit(onlyUpdated, { { F::XMP_Longitude, "4,5" } });

    const MetadataWriteResult result
        = ExifWriter::sharedInstance().writeMetaDataToFilePath(photo, settings, path("out.jpg"), onlyUpdated, false);

    EXPECT_EQ(result, (MetadataWriteResult { 1, "This photo is not available at the Source location." }));
    EXPECT_EQ(settings.CamSetting_FNumber(), "2.8");
    EXPECT_EQ(settings.GPS_Lattitude(), "1.2.3");
    EXPECT_EQ(settings.Artist(), "a,b");
    EXPECT_EQ(onlyUpdated.XMP_Longitude(), "4.5");
    EXPECT_FALSE(QFileInfo::exists(path("out.jpg")));
}

TEST_F(ExifWriterWriting, anImmutableSourceEditedInPlaceAnswersEightAndIsLeftAsItWas)
{
    PhotoFile photo = photoAt(makePhoto());
    const QByteArray before = fileBytes(photo.filePath);
    const ScopedImmutable locked(photo.filePath);
    SKIP_UNLESS_IMMUTABLE(locked);
    EXPECT_TRUE(ExifWriter::sharedInstance().checkForLockedFile(photo.filePath));
    EXPECT_TRUE(ExifWriter::sharedInstance().checkForReadOnlyFilePath(photo.filePath));

    MetaDataObject settings;
    edit(settings, { { F::Artist, "Someone" } });
    const MetadataWriteResult result = writePhoto(photo, settings, photo.filePath);

    EXPECT_EQ(result, (MetadataWriteResult { 8, "Access denied to source file" }));
    EXPECT_EQ(fileBytes(photo.filePath), before);
    EXPECT_TRUE(photo.processedPath.isEmpty());
}

TEST_F(ExifWriterWriting, anImmutableFileAtTheOutputPathAnswersEightAndIsLeftAsItWas)
{
    PhotoFile photo = photoAt(makePhoto());
    ASSERT_TRUE(QFile::copy(photo.filePath, path("out.jpg")));
    const QByteArray before = fileBytes(path("out.jpg"));
    const ScopedImmutable locked(path("out.jpg"));
    SKIP_UNLESS_IMMUTABLE(locked);

    MetaDataObject settings;
    edit(settings, { { F::Artist, "Someone" } });
    const MetadataWriteResult result = writePhoto(photo, settings, path("out.jpg"));

    EXPECT_EQ(result, (MetadataWriteResult { 8, "Access denied to the file at the output path" }));
    EXPECT_EQ(fileBytes(path("out.jpg")), before);
}

TEST_F(ExifWriterWriting, aRestoreWithoutAnEarlierOutputAnswersTwo)
{
    PhotoFile photo = photoAt(makePhoto());
    MetaDataObject settings;
    const MetadataWriteResult result = writePhoto(photo, settings, path("ignored.jpg"), nullptr, true);
    EXPECT_EQ(result.errorFlag, 2);
    EXPECT_FALSE(result.errorMsg.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path("ignored.jpg")));
}

TEST_F(ExifWriterWriting, exiv2FailingOnACorruptPhotoEditedInPlaceLeavesItByteForByte)
{
    for (const QByteArray& bytes : { QByteArray("not a photo at all"), fileBytes(makePhoto()).left(40),
             QByteArray("\xff\xd8\xff\xe1\x7f\xff", 6) }) {
        const QString source = path("broken.jpg");
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        PhotoFile photo = photoAt(source);
        MetaDataObject settings;
        edit(settings, { { F::Artist, "Someone" } });

        const MetadataWriteResult result = writePhoto(photo, settings, source);

        EXPECT_EQ(result.errorFlag, 2);
        EXPECT_FALSE(result.errorMsg.isEmpty());
        EXPECT_EQ(fileBytes(source), bytes);
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "no temporary file stays";
    }
}

TEST(ExifWriterMessages, cleansExiv2sFileOpeningPrefixesAndErrnoSuffixes)
{
    const std::pair<const char*, const char*> cases[] = {
        { "/a/b.jpg: Failed to open the data source: No such file or directory (errno = 2)",
            "/a/b.jpg: No such file or directory." },
        { "Failed to open the data source: x (errno = 63)", "x." },
        { "Failed to open file (w+b): /a/b.jpg: Permission denied (errno = 13)", " /a/b.jpg: Permission denied." },
        { "This does not look like a JPEG image", "This does not look like a JPEG image" },
    };
    for (const auto& [message, cleaned] : cases)
        EXPECT_EQ(ExifWriter::cleanedErrorMessage(QString::fromUtf8(message)), QString::fromUtf8(cleaned));
}

// ---- The safe output ----

TEST_F(ExifWriterWriting, anOutputEqualToTheSourceReplacesItInOneStep)
{
    const QString source = makePhoto();
    PhotoFile photo = photoAt(source);
    MetaDataObject settings;
    edit(settings, { { F::Artist, "In Place" } });

    EXPECT_EQ(writePhoto(photo, settings, source), (MetadataWriteResult { 0, kProcessed }));

    EXPECT_EQ(readBack(source)->Artist(), "In Place");
    EXPECT_EQ(readBack(source)->Copyright(), "Old Copyright");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "photo.jpg" });
    EXPECT_EQ(photo.processedPath, source);
}

TEST_F(ExifWriterWriting, aReadOnlyOutputFolderAnswersTwoAndLosesNothing)
{
    const QString source = makePhoto();
    const QByteArray before = fileBytes(source);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("out")));
    const QString output = path("out/photo.jpg");
    const ScopedImmutable locked(path("out"));
    SKIP_UNLESS_IMMUTABLE(locked);
    PhotoFile photo = photoAt(source);
    MetaDataObject settings;
    edit(settings, { { F::Artist, "Nobody" } });

    const MetadataWriteResult result = writePhoto(photo, settings, output);

    EXPECT_EQ(result.errorFlag, 2);
    EXPECT_TRUE(result.errorMsg.contains(output)) << qPrintable(result.errorMsg);
    EXPECT_TRUE(QDir(path("out")).isEmpty());
    EXPECT_EQ(fileBytes(source), before);
}

TEST_F(ExifWriterWriting, anOutputFolderThatVanishedAnswersTwo)
{
    const QString source = makePhoto();
    const QByteArray before = fileBytes(source);
    PhotoFile photo = photoAt(source);
    MetaDataObject settings;

    const MetadataWriteResult result = writePhoto(photo, settings, path("vanished/photo.jpg"));

    EXPECT_EQ(result.errorFlag, 2);
    EXPECT_FALSE(QFileInfo::exists(path("vanished")));
    EXPECT_EQ(fileBytes(source), before);
}

TEST_F(ExifWriterWriting, anExistingOutputFileIsEditedNotReplacedByTheSource)
{
    PhotoFile photo = photoAt(makePhoto());
    const QString output = path("out.jpg");
    QFile::copy(photo.filePath, output);
    editMetadata(output, [](Exiv2::Image& image) { image.exifData()["Exif.Image.Software"] = "Only In Output"; });
    MetaDataObject settings;
    edit(settings, { { F::Artist, "New" } });

    EXPECT_EQ(writePhoto(photo, settings, output).errorFlag, 0);

    const auto written = readBack(output);
    EXPECT_EQ(written->Software(), "Only In Output");
    EXPECT_EQ(written->Artist(), "New");
    EXPECT_EQ(readBack(photo.filePath)->Artist(), "Old Artist");
}

TEST_F(ExifWriterWriting, aRestoreRewritesTheEarlierOutputAsACopyOfTheSourceWhateverTheRecordHolds)
{
    PhotoFile photo = photoAt(makePhoto());
    MetaDataObject settings;
    edit(settings, { { F::Software, "First Run" } });
    ASSERT_EQ(writePhoto(photo, settings, path("out.jpg")).errorFlag, 0);
    ASSERT_EQ(photo.processedPath, path("out.jpg"));

    // A restore's record is the selection's merged snapshot; none of it is written.
    MetaDataObject restore;
    edit(restore, { { F::Artist, "Restored" } });
    EXPECT_EQ(writePhoto(photo, restore, path("elsewhere.jpg"), nullptr, true).errorFlag, 0);

    EXPECT_EQ(fileBytes(path("out.jpg")), fileBytes(photo.filePath));
    EXPECT_FALSE(QFileInfo::exists(path("elsewhere.jpg")));
}

TEST_F(ExifWriterWriting, aRestoreReadsASourceThatBecameReadOnlyButNotAnOutputThatDid)
{
    PhotoFile photo = photoAt(makePhoto());
    MetaDataObject settings;
    edit(settings, { { F::Software, "First Run" } });
    ASSERT_EQ(writePhoto(photo, settings, path("out.jpg")).errorFlag, 0);
    const QByteArray earlier = fileBytes(path("out.jpg"));

    {
        const ScopedImmutable locked(path("out.jpg"));
        SKIP_UNLESS_IMMUTABLE(locked);
        MetaDataObject restore;
        EXPECT_EQ(writePhoto(photo, restore, QString(), nullptr, true).errorFlag, 8);
        EXPECT_EQ(fileBytes(path("out.jpg")), earlier);
    }
    // Locking and unlocking the output moved its change time: to the restore it is
    // an output changed since the run, so a new run writes it again first.
    ASSERT_EQ(writePhoto(photo, settings, path("out.jpg")).errorFlag, 0);
    const ScopedImmutable sourceLocked(photo.filePath);
    MetaDataObject restore;
    EXPECT_EQ(writePhoto(photo, restore, QString(), nullptr, true).errorFlag, 0);
    EXPECT_EQ(fileBytes(path("out.jpg")), fileBytes(photo.filePath));
}

// ---- Editing modes ----

TEST_F(ExifWriterWriting, modeZeroKeepsUneditedTagsAndErasesEmptiedOnes)
{
    PhotoFile photo = photoAt(makePhoto());
    MetaDataObject settings;
    settings.setUpdated(F::Copyright, true); // edited to empty
    settings.setUpdated(F::IPTC_Keywords, true);
    edit(settings, { { F::ImageDescription, "New Description" } });

    ASSERT_EQ(writePhoto(photo, settings, path("out.jpg")).errorFlag, 0);

    const QStringList keys = keysIn(path("out.jpg"));
    EXPECT_TRUE(keys.contains("Exif.Image.Artist"));
    EXPECT_FALSE(keys.contains("Exif.Image.Copyright"));
    EXPECT_FALSE(keys.contains("Iptc.Application2.Keywords"));
    EXPECT_TRUE(keys.contains("Iptc.Application2.City"));
    EXPECT_EQ(readBack(path("out.jpg"))->ImageDescription(), "New Description");
}

TEST_F(ExifWriterWriting, modeOneKeepsOnlyTheEditedFieldsAndTheDatesItsSettingsProduce)
{
    PhotoFile photo = photoAt(makePhoto());
    // The settings hold the whole record as read, as the form does.
    const auto settings = MetaDataObject::initWithObject(*photo.metadataObjectOriginal);
    settings->editingOption = MetaDataObject::ModifyEditedClearOthers;
    settings->dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecDate;
    settings->dateTimeConfigOriginalDate()->stringIncDecDay = QStringLiteral("1");
    settings->dateTimeConfigOriginalDate()->isIncDecMonthKeepOriginal = true;
    settings->dateTimeConfigOriginalDate()->isIncDecYearKeepOriginal = true;
    settings->dateTimeConfigModifyDate()->tagConfigureOption = DateTimeConfiguration::EmptyValue;
    MetaDataObject onlyUpdated;
    edit(onlyUpdated, { { F::Artist, "Only Me" } });
    settings->setArtist(QStringLiteral("Only Me"));

    ASSERT_EQ(writePhoto(photo, *settings, path("out.jpg"), &onlyUpdated).errorFlag, 0);

    const QStringList keys = keysIn(path("out.jpg"));
    const auto written = readBack(path("out.jpg"));
    EXPECT_EQ(written->Artist(), "Only Me");
    EXPECT_FALSE(keys.contains("Exif.Image.Copyright"));
    EXPECT_FALSE(keys.contains("Exif.Image.Make"));
    EXPECT_FALSE(keys.contains("Exif.Photo.Flash"));
    EXPECT_FALSE(keys.contains("Iptc.Application2.City"));
    EXPECT_FALSE(keys.contains("Xmp.aux.Lens"));
    EXPECT_FALSE(keys.contains("Exif.Image.DateTime")) << "an emptying setting leaves nothing to keep";
    EXPECT_EQ(written->Date_Original(), "2020:01:03 03:04:05") << "a date its setting produced survives";
    EXPECT_EQ(written->Date_Creation(), "2020:01:02 03:04:05") << "kept as first read";
    EXPECT_TRUE(keys.contains("Exif.Photo.ColorSpace")) << "no field writes the colour space";
}

TEST_F(ExifWriterWriting, datesLeftAsTheyAreAreTheOnesTheFileHoldsWhenItIsWritten)
{
    // Two runs in one process on the photo in place: a new original date, then
    // the artist alone. The second must not put back the date read at intake.
    const QString source = makePhoto();
    PhotoFile photo = photoAt(source);
    MetaDataObject dated;
    dated.dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::ChosenDate;
    dated.dateTimeConfigOriginalDate()->stringSelectedDate = QStringLiteral("2021:05:06 07:08:09");
    ASSERT_EQ(writePhoto(photo, dated, source).errorFlag, 0);
    ASSERT_EQ(readBack(source)->Date_Original(), "2021:05:06 07:08:09");
    MetaDataObject artist;
    edit(artist, { { F::Artist, "Second Run" } });
    ASSERT_EQ(writePhoto(photo, artist, source).errorFlag, 0);
    EXPECT_EQ(readBack(source)->Artist(), "Second Run");
    EXPECT_EQ(readBack(source)->Date_Original(), "2021:05:06 07:08:09");

    // A date another program changed after the photo was added.
    const QString other = makePhoto(QStringLiteral("other.jpg"));
    PhotoFile added = photoAt(other);
    editMetadata(other, [](Exiv2::Image& image) {
        image.exifData()["Exif.Photo.DateTimeDigitized"] = "2019:09:09 09:09:09";
        image.xmpData()["Xmp.xmp.CreateDate"] = "2019-09-09T09:09:09";
    });
    ASSERT_EQ(writePhoto(added, artist, path("out.jpg")).errorFlag, 0);
    const auto written = readBack(path("out.jpg"));
    EXPECT_EQ(written->Date_Creation(), "2019:09:09 09:09:09");
    EXPECT_EQ(written->XMP_CreationDate(), readBack(other)->XMP_CreationDate());
    EXPECT_EQ(written->Date_Original(), "2020:01:02 03:04:05");
}

// A date tag takes a date or nothing: a text in a date field, or a chosen date,
// that is not one refuses the photo, whichever way it is written.
TEST_F(ExifWriterWriting, aDateTagNeverTakesATextThatIsNotADate)
{
    struct Case {
        QString name;
        QString source;
        std::function<void(MetaDataObject&)> settings;
        QString shown;
    };
    const auto typed = [](F field, const QString& text) {
        return [field, text](MetaDataObject& settings) { edit(settings, { { field, text } }); };
    };
    const QString shift = QStringLiteral("Shift time by +1 hour, +1 minute, +1 second");
    const QString heic = path(QStringLiteral("phone.heic"));
    ASSERT_TRUE(QFile::copy(samplesDir() + QStringLiteral("/heif/IMG_3578.heic"), heic));
    const std::vector<Case> cases {
        // The photo holds this date: the setting's own date would have hidden the text.
        { "original", makePhoto(QStringLiteral("original.jpg")), typed(F::Date_Original, shift), shift },
        // The photo lacks this one.
        { "photoshop", makePhoto(QStringLiteral("photoshop.jpg")), typed(F::XMP_PhotoshopDateCreated, shift), shift },
        { "heic", heic, typed(F::XMP_PhotoshopDateCreated, shift), shift },
        { "chosen", makePhoto(QStringLiteral("chosen.jpg")),
            [](MetaDataObject& settings) {
                settings.dateTimeConfigXMPModifyDate()->tagConfigureOption = DateTimeConfiguration::ChosenDate;
                settings.dateTimeConfigXMPModifyDate()->stringSelectedDate = QStringLiteral("next Tuesday");
            },
            QStringLiteral("next Tuesday") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QByteArray before = fileBytes(c.source);
        PhotoFile photo = photoAt(c.source);
        MetaDataObject settings;
        c.settings(settings);
        const QString output = path(c.name + QStringLiteral("-out.") + QFileInfo(c.source).suffix());

        const MetadataWriteResult result = writePhoto(photo, settings, output);
        EXPECT_EQ(result.errorFlag, MetadataWriteResult::WriteFailed);
        EXPECT_TRUE(result.errorMsg.contains(c.shown)) << result.errorMsg.toStdString();
        EXPECT_FALSE(QFileInfo::exists(output));
        // In place, the photo stays as it was.
        EXPECT_EQ(writePhoto(photo, settings, c.source).errorFlag, MetadataWriteResult::WriteFailed);
        EXPECT_EQ(fileBytes(c.source), before);
    }
}

// A date field that shows its own setting in words leaves the tag to the setting:
// the words are never written.
TEST_F(ExifWriterWriting, aDateFieldShowingItsSettingIsWrittenAsTheSetting)
{
    PhotoFile photo = photoAt(makePhoto());
    MetaDataObject settings;
    DateTimeConfiguration& shift = *settings.dateTimeConfigOriginalDate();
    shift.tagConfigureOption = DateTimeConfiguration::IncDecTime;
    shift.isIncDecMinuteKeepOriginal = true;
    shift.isIncDecSecondKeepOriginal = true;
    edit(settings,
        { { F::Date_Original, shift.summaryText() },
            { F::XMP_PhotoshopDateCreated, DateTimeConfiguration::kKeepOriginalSummary },
            { F::XMP_CreationDate, DateTimeConfiguration::kKeepOriginalSummary } });

    ASSERT_EQ(writePhoto(photo, settings, path("out.jpg")).errorFlag, 0);

    const auto written = readBack(path("out.jpg"));
    EXPECT_EQ(written->Date_Original(), "2020:01:02 04:04:05");
    EXPECT_FALSE(keysIn(path("out.jpg")).contains("Xmp.photoshop.DateCreated"));
    EXPECT_EQ(written->XMP_CreationDate(), photo.metadataObjectOriginal->XMP_CreationDate());
}

// The three XMP dates in each ISO form XMP allows, shifted by an hour: each keeps
// its form, as exiftool reads it back; the Exif dates keep theirs. A date in no form
// is kept, and the photo, written, says so.
TEST_F(ExifWriterWriting, xmpDatesInEveryIsoFormAreChangedInTheirOwnForm)
{
    const QList<std::pair<QString, QString>> forms {
        { "2015-07-16T15:38:54+01:00", "2015:07:16 16:38:54+01:00" },
        { "2015-07-16T15:38:54Z", "2015:07:16 16:38:54Z" },
        { "2015-07-16T15:38:54.25", "2015:07:16 16:38:54.25" },
        { "2015-07-16T15:38:54.5-07:00", "2015:07:16 16:38:54.5-07:00" },
        { "2015-07-16T15:38", "2015:07:16 16:38" },
        { "2015-07-16", "2015:07:16" },
        { "2015-07-16T15:38:54+1:00", "2015:07:16 15:38:54+1:00" },
    };
    MetaDataObject settings;
    for (const DateSetting setting :
        { DateSetting::XMPCreationDate, DateSetting::XMPModifyDate, DateSetting::PhotoshopCreationDate }) {
        DateTimeConfiguration& shift = *settings.dateTimeConfig(setting);
        shift.tagConfigureOption = DateTimeConfiguration::IncDecTime;
        shift.isIncDecMinuteKeepOriginal = shift.isIncDecSecondKeepOriginal = true;
    }
    QStringList outputs;
    for (qsizetype i = 0; i < forms.size(); ++i) {
        const QString& form = forms[i].first;
        SCOPED_TRACE(form.toStdString());
        const QString source = makePhoto(QStringLiteral("form%1.jpg").arg(i));
        editMetadata(source, [&](Exiv2::Image& image) {
            for (const char* key : { "Xmp.xmp.CreateDate", "Xmp.xmp.ModifyDate", "Xmp.photoshop.DateCreated" })
                image.xmpData()[key] = form.toStdString();
        });
        PhotoFile photo = photoAt(source);
        outputs << path(QStringLiteral("out%1.jpg").arg(i));
        const MetadataWriteResult result = writePhoto(photo, settings, outputs.last());
        ASSERT_EQ(result.errorFlag, MetadataWriteResult::Processed);
        if (form.contains(QStringLiteral("+1:00"))) {
            ASSERT_EQ(result.warnings.size(), 3);
            EXPECT_TRUE(result.warnings[1].contains(QStringLiteral("Xmp.xmp.ModifyDate")))
                << result.warnings[1].toStdString();
            EXPECT_TRUE(result.warnings[1].contains(form));
        } else {
            EXPECT_TRUE(result.warnings.isEmpty()) << result.warnings.join(u'\n').toStdString();
        }
    }
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QMap<QString, QJsonObject> tags = exiftoolTags(outputs);
    for (qsizetype i = 0; i < forms.size(); ++i) {
        const QJsonObject& tagsOf = tags[QStringLiteral("out%1.jpg").arg(i)];
        for (const char* tag : { "XMP-xmp:CreateDate", "XMP-xmp:ModifyDate", "XMP-photoshop:DateCreated" })
            EXPECT_EQ(tagsOf.value(QLatin1StringView(tag)).toString(), forms[i].second) << tag;
        EXPECT_EQ(tagsOf.value(QStringLiteral("ExifIFD:DateTimeOriginal")).toString(), "2020:01:02 03:04:05");
    }
}

// The IPTC date is written on every kind that keeps IPTC; the IPTC date and the GPS
// date stamp take a date in their own form or refuse the photo.
TEST_F(ExifWriterWriting, theIptcDateAndTheGpsDateStampTakeDatesAlone)
{
    const QString tiff = path(QStringLiteral("photo.tiff"));
    ASSERT_TRUE(QFile::copy(QDir(samplesDir()).filePath(QStringLiteral("tiff/Arbitro.tiff")), tiff));
    QStringList outputs;
    for (const QString& source : { makePhoto(), tiff }) {
        PhotoFile photo = photoAt(source);
        MetaDataObject settings;
        edit(settings, { { F::IPTC_DateCreated, "2024-01-02" }, { F::GPS_DateStamp, "2024:01:03" } });
        outputs << path(QStringLiteral("dated-") + QFileInfo(source).fileName());
        ASSERT_EQ(writePhoto(photo, settings, outputs.last()).errorFlag, MetadataWriteResult::Processed);
        EXPECT_EQ(readBack(outputs.last())->IPTC_DateCreated(), "2024-01-02");

        for (const auto& [field, text] : std::initializer_list<std::pair<F, const char*>> {
                 { F::IPTC_DateCreated, "hello" }, { F::IPTC_DateCreated, "2024-02-30" }, { F::GPS_DateStamp, "hello" },
                 { F::GPS_DateStamp, "2024-01-03" } }) {
            MetaDataObject refused;
            edit(refused, { { field, text } });
            const MetadataWriteResult result
                = writePhoto(photo, refused, path(QStringLiteral("refused.") + QFileInfo(source).suffix()));
            EXPECT_EQ(result.errorFlag, MetadataWriteResult::WriteFailed) << text;
            EXPECT_TRUE(result.errorMsg.contains(QStringLiteral("\"%1\": it is not a date").arg(text)))
                << result.errorMsg.toStdString();
        }
    }
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    for (const QJsonObject& tags : exiftoolTags(outputs)) {
        EXPECT_EQ(tags.value(QStringLiteral("IPTC:DateCreated")).toString(), "2024:01:02");
        EXPECT_EQ(tags.value(QStringLiteral("GPS:GPSDateStamp")).toString(), "2024:01:03");
    }
}

TEST_F(ExifWriterWriting, theModificationTimeFollowsWhatTheFileHoldsWhenItIsWritten)
{
    // After the photo was added, another program changes its modify date (and
    // the file's time); a run editing only the artist must keep both, not put
    // back the date read at intake. The time a file without the date holds stays.
    ScopedTimeZone zone("Europe/Berlin");
    const QDateTime changed(QDate(2023, 4, 5), QTime(6, 7, 8));
    const QDateTime ownTime(QDate(2022, 2, 3), QTime(4, 5, 6));
    const auto setFileTime = [](const QString& file, const QDateTime& moment) {
        QFile opened(file);
        return opened.open(QIODevice::ReadWrite) && opened.setFileTime(moment, QFileDevice::FileModificationTime);
    };
    MetaDataObject artist;
    edit(artist, { { F::Artist, "Only Artist" } });
    for (const bool whole : { false, true }) {
        for (const bool inPlace : { true, false }) {
            SCOPED_TRACE(QStringLiteral("whole file %1, in place %2").arg(whole).arg(inPlace).toStdString());
            std::optional<ScopedWholeFileWrites> wholeFile;
            if (whole)
                wholeFile.emplace();
            const QString source = makePhoto(QStringLiteral("dated-%1-%2.jpg").arg(whole).arg(inPlace));
            PhotoFile photo = photoAt(source);
            editMetadata(
                source, [](Exiv2::Image& image) { image.exifData()["Exif.Image.DateTime"] = "2023:04:05 06:07:08"; });
            ASSERT_TRUE(setFileTime(source, changed));
            const QString output = inPlace ? source : path(QStringLiteral("out-%1.jpg").arg(whole));
            ASSERT_EQ(writePhoto(photo, artist, output).errorFlag, 0);
            EXPECT_EQ(readBack(output)->Artist(), "Only Artist");
            EXPECT_EQ(readBack(output)->Date_Modify(), "2023:04:05 06:07:08");
            EXPECT_EQ(QFileInfo(output).lastModified(), changed);

            const QString undated = makePhoto(QStringLiteral("undated-%1-%2.jpg").arg(whole).arg(inPlace));
            editMetadata(undated, [](Exiv2::Image& image) {
                image.exifData().erase(image.exifData().findKey(Exiv2::ExifKey("Exif.Image.DateTime")));
            });
            ASSERT_TRUE(setFileTime(undated, ownTime));
            PhotoFile withoutDate = photoAt(undated);
            const QString undatedOutput = inPlace ? undated : path(QStringLiteral("undated-out-%1.jpg").arg(whole));
            ASSERT_EQ(writePhoto(withoutDate, artist, undatedOutput).errorFlag, 0);
            EXPECT_EQ(readBack(undatedOutput)->Date_Modify(), "");
            EXPECT_EQ(QFileInfo(undatedOutput).lastModified(), ownTime);
        }
    }
}

TEST_F(ExifWriterWriting, leaveBlankErasesDropDownTagsInModesZeroAndOne)
{
    for (int mode : { 0, 1, 5 }) {
        SCOPED_TRACE(mode);
        PhotoFile photo = photoAt(makePhoto());
        MetaDataObject settings;
        settings.editingOption = mode;
        settings.setField(F::CamSetting_Flash, QStringLiteral("Leave Blank"));
        settings.setField(F::GPS_LattitudeRef, QStringLiteral("Leave Blank"));
        settings.setField(F::AdvCamSetting_ColorSpace, QStringLiteral("Leave Blank"));
        MetaDataObject onlyUpdated;
        onlyUpdated.setField(F::CamSetting_Flash, QStringLiteral("Leave Blank"));

        ASSERT_EQ(writePhoto(photo, settings, path("out.jpg"), &onlyUpdated).errorFlag, 0);

        const QStringList keys = keysIn(path("out.jpg"));
        EXPECT_FALSE(keys.contains("Exif.Photo.Flash"));
        EXPECT_FALSE(keys.contains("Exif.GPSInfo.GPSLatitudeRef"));
        EXPECT_TRUE(keys.contains("Exif.Photo.ColorSpace"));
        // Mode 0 and any unknown mode keep what was not edited.
        EXPECT_EQ(keys.contains("Exif.Image.Artist"), mode != 1);
        QFile::remove(path("out.jpg"));
    }
}

TEST_F(ExifWriterWriting, cleanModeRemovesTheGroupsOfItsFlags)
{
    struct Case {
        const char* name;
        bool exif, iptc, comment, gps, xmp;
        QStringList gone, kept;
        bool setsFileDate;
    };
    const Case cases[] = {
        { "exif.jpg", true, false, false, false, false,
            { "Exif.Image.Artist", "Exif.Photo.Flash", "Exif.Image.Make", "Exif.Image.Model", "Exif.Photo.UserComment",
                "Xmp.exif.GPSLatitude", "Exif.GPSInfo.GPSLatitude" },
            // The entries the standard requires stay, so that the photo remains valid Exif.
            { "Iptc.Application2.City", "Xmp.aux.Lens", "Exif.Photo.ColorSpace" }, false },
        { "iptc.jpg", false, true, false, false, false, { "Iptc.Application2.City", "Iptc.Application2.Keywords" },
            { "Exif.Image.Artist", "Xmp.aux.Lens" }, false },
        { "xmp.jpg", false, false, false, false, true, { "Xmp.aux.Lens", "Xmp.exif.GPSLatitude" },
            { "Exif.Image.Artist", "Iptc.Application2.City" }, false },
        { "comment_gps.jpg", false, false, true, true, false,
            { "Exif.Photo.UserComment", "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef",
                "Xmp.exif.GPSLatitude" },
            { "Exif.Image.Artist", "Exif.Image.Make", "Xmp.aux.Lens" }, true },
        { "none.jpg", false, false, false, false, false, {}, { "Exif.Image.Artist", "Exif.Photo.UserComment" }, true },
    };
    ScopedTimeZone zone("Europe/Berlin");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PhotoFile photo = photoAt(makePhoto(QString::fromLatin1(c.name)));
        MetaDataObject settings;
        settings.editingOption = MetaDataObject::CleanMetadataInfo;
        settings.clearExif = c.exif;
        settings.clearIPTC = c.iptc;
        settings.clearComment = c.comment;
        settings.clearGpsInfo = c.gps;
        settings.clearXMP = c.xmp;
        edit(settings, { { F::Artist, "Not Written" } });

        EXPECT_EQ(writePhoto(photo, settings, photo.filePath), (MetadataWriteResult { 0, kProcessed }));

        const QStringList keys = keysIn(photo.filePath);
        for (const QString& key : c.gone)
            EXPECT_FALSE(keys.contains(key)) << qPrintable(key);
        for (const QString& key : c.kept)
            EXPECT_TRUE(keys.contains(key)) << qPrintable(key);
        EXPECT_NE(readBack(photo.filePath)->Artist(), "Not Written");
        const bool dated = QFileInfo(photo.filePath).lastModified() == QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5));
        EXPECT_EQ(dated, c.setsFileDate);
    }
}

// ---- Raw files ----

class ExifWriterRaw : public ExifWriterWriting {
protected:
    // A TIFF named like a Nikon raw file, with the camera's make and model.
    PhotoFile rawPhoto(const QString& name, bool withMake = true)
    {
        const QString file = path(name);
        QFile::copy(QDir(samplesDir()).filePath(QStringLiteral("tiff/Arbitro.tiff")), file);
        QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        editMetadata(file, [withMake](Exiv2::Image& image) {
            if (withMake) {
                image.exifData()["Exif.Image.Make"] = "NIKON";
                image.exifData()["Exif.Image.Model"] = "D70";
            } else {
                ExifWriter::deleteKeysValuesFormExifData(image.exifData(), QStringLiteral("Exif.Image.Make"));
                ExifWriter::deleteKeysValuesFormExifData(image.exifData(), QStringLiteral("Exif.Image.Model"));
            }
        });
        return photoAt(file);
    }
};

TEST_F(ExifWriterRaw, keepsTheCameraOfARawFileUnlessTheRecordHoldsItsOwnValue)
{
    struct Case {
        const char* name;
        const char* make;
        bool emptied;
        int mode;
        int flag;
        const char* makeAfter; // nullptr: no Make tag
    };
    const Case cases[] = {
        { "same.NEF", "NIKON", false, 0, 0, "NIKON" },
        { "other.nef", "Canon", false, 0, 7, "NIKON" },
        { "emptied.nef", "", true, 0, 0, nullptr },
        { "modeone.nef", "NIKON", false, 1, 7, "NIKON" },
        { "notraw.tif", "Canon", false, 0, 0, "Canon" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PhotoFile photo = rawPhoto(QString::fromLatin1(c.name));
        MetaDataObject settings;
        settings.editingOption = c.mode;
        edit(settings, { { F::Cam_Make, QString::fromLatin1(c.make) }, { F::Artist, "Written" } });

        EXPECT_EQ(writePhoto(photo, settings, photo.filePath), (MetadataWriteResult { c.flag, kProcessed }));

        const auto written = readBack(photo.filePath);
        EXPECT_EQ(written->Artist(), "Written");
        EXPECT_EQ(keysIn(photo.filePath).contains("Exif.Image.Make"), c.makeAfter != nullptr);
        if (c.makeAfter != nullptr) {
            EXPECT_EQ(written->Cam_Make(), QString::fromLatin1(c.makeAfter));
        }
        if (c.mode == 1) {
            EXPECT_EQ(written->Cam_ModelName(), "D70");
        }
    }
}

TEST_F(ExifWriterRaw, comparingWithAMissingMakeAddsNoEmptyMakeTag)
{
    PhotoFile photo = rawPhoto(QStringLiteral("nomake.nef"), false);
    MetaDataObject settings;
    edit(settings, { { F::Cam_Make, "NIKON" } });

    EXPECT_EQ(writePhoto(photo, settings, photo.filePath).errorFlag, 7);
    EXPECT_FALSE(keysIn(photo.filePath).contains("Exif.Image.Make"));
}

TEST_F(ExifWriterRaw, cleanModeKeepsARawFilesCamera)
{
    PhotoFile photo = rawPhoto(QStringLiteral("clean.Nef"));
    MetaDataObject settings;
    settings.editingOption = MetaDataObject::CleanMetadataInfo;
    settings.clearExif = true;

    EXPECT_EQ(writePhoto(photo, settings, photo.filePath), (MetadataWriteResult { 7, kProcessed }));
    const QStringList keys = keysIn(photo.filePath);
    EXPECT_TRUE(keys.contains("Exif.Image.Make"));
    EXPECT_TRUE(keys.contains("Exif.Image.Model"));
    EXPECT_FALSE(keys.contains("Exif.Image.Artist"));
}

// ---- Values ----

TEST_F(ExifWriterWriting, aValueTheTagCannotHoldLeavesTheTagAsItWas)
{
    PhotoFile photo = photoAt(makePhoto());
    MetaDataObject settings;
    edit(settings,
        { { F::CamSetting_FNumber, "f/2.8 wide" }, { F::CamSetting_Flash, "bright" }, { F::GPS_Lattitude, "north" },
            { F::CamSetting_ISO, "400" } });

    ASSERT_EQ(writePhoto(photo, settings, path("out.jpg")).errorFlag, 0);

    const auto written = readBack(path("out.jpg"));
    EXPECT_EQ(written->CamSetting_FNumber(), "2.800000");
    EXPECT_EQ(written->CamSetting_Flash(), "16");
    EXPECT_EQ(written->GPS_Lattitude(), "10.000000");
    EXPECT_EQ(written->CamSetting_ISO(), "400");
    EXPECT_FALSE(keysIn(path("out.jpg")).contains("Exif.Photo.ExposureTime"));
}

TEST(ExifWriterKeys, deletesEveryKeywordAndNothingElse)
{
    Exiv2::IptcData iptc;
    for (const char* keyword : { "a", "b", "c" })
        addIptc(iptc, "Iptc.Application2.Keywords", keyword);
    addIptc(iptc, "Iptc.Application2.City", "Paris");

    EXPECT_TRUE(ExifWriter::deleteKeysValuesFormIptcData(iptc, QStringLiteral("Iptc.Application2.Keywords")));
    ASSERT_EQ(iptc.count(), 1);
    EXPECT_EQ(iptc.begin()->key(), "Iptc.Application2.City");

    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    EXPECT_FALSE(ExifWriter::deleteKeysValuesFormExifData(exif, QStringLiteral("Exif.Image.Artist")));
    EXPECT_FALSE(ExifWriter::deleteKeysValuesFormExifData(exif, QStringLiteral("Exif.NoSuchGroup.Thing")));
    EXPECT_FALSE(ExifWriter::deleteKeysValuesFormXmpData(xmp, QStringLiteral("Xmp.nosuchprefix.Thing")));
    EXPECT_TRUE(exif.empty());
}

TEST_F(ExifWriterWriting, iptcTextsAreDeclaredUtf8AndOlderLatin1DatasetsConverted)
{
    const QString source = makePhoto();
    editMetadata(source, [](Exiv2::Image& image) {
        addIptc(image.iptcData(), "Iptc.Application2.Credit", "Caf\xe9"); // Latin-1, no charset
    });
    PhotoFile photo = photoAt(source);
    MetaDataObject settings;
    edit(settings, { { F::IPTC_Source, QStringLiteral("Ёж") } });
    // Not marked edited, so the date pass leaves the record's own text in place.
    settings.setXMP_ModifyDate(QStringLiteral("2022:03:04 05:06:07"));

    ASSERT_EQ(writePhoto(photo, settings, source).errorFlag, 0);

    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(source.toStdString()).release());
    image->readMetadata();
    const auto iptcText = [&](const char* key) {
        const auto it = image->iptcData().findKey(Exiv2::IptcKey(key));
        return it == image->iptcData().end() ? std::string("(none)") : it->toString();
    };
    const auto xmp = image->xmpData().findKey(Exiv2::XmpKey("Xmp.xmp.ModifyDate"));
    EXPECT_EQ(iptcText("Iptc.Envelope.CharacterSet"), "\x1b%G");
    EXPECT_EQ(iptcText("Iptc.Application2.Credit"), "Caf\xc3\xa9");
    EXPECT_EQ(iptcText("Iptc.Application2.Source"), "\xd0\x81\xd0\xb6");
    ASSERT_NE(xmp, image->xmpData().end());
    EXPECT_EQ(xmp->toString(), "2022-03-04T05:06:07");
}
