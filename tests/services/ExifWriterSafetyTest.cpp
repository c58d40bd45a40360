#include "services/MetadataVerification.h"
#include "services/WriterFixtures.h"
#include "platform/JpegExtendedXmp.h"
#include "support/TestSupport.h"
#include "support/UndecodableNamedFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using F = MetadataField;

// A packet exiv2 cannot parse: the same property twice on one element.
const QByteArray kBrokenXmp = R"(<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?>)"
                              R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF )"
                              R"(xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
                              R"(<rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/" )"
                              R"(xmp:Rating="3" xmp:Rating="4"/></rdf:RDF></x:xmpmeta><?xpacket end="w"?>)";

class ExifWriterSafety : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // A camera photo whose maker note exiv2 keeps, as a writable copy.
    QString cameraPhoto(const QString& name = QStringLiteral("photo.jpg"))
    {
        const QString copy = path(name);
        QFile::copy(QDir(samplesDir()).filePath(QStringLiteral("camera/Canon_40D.jpg")), copy);
        QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        return copy;
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

// Every tag exiftool finds, by group and name, but for the file system's own.
QJsonObject metadataOf(const QString& path)
{
    const QJsonArray files = QJsonDocument::fromJson(runExiftool({ "-j", "-a", "-G1", "-n", path })).array();
    QJsonObject tags = files.isEmpty() ? QJsonObject() : files.first().toObject();
    for (const QString& key : tags.keys()) {
        if (key == "SourceFile" || key.startsWith("System:") || key.startsWith("ExifTool:"))
            tags.remove(key);
    }
    return tags;
}

QString iptcByline(const QString& path)
{
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString()).release());
    image->readMetadata();
    const auto it = image->iptcData().findKey(Exiv2::IptcKey("Iptc.Application2.Byline"));
    return it == image->iptcData().end() ? QString() : QString::fromStdString(it->toString());
}

} // namespace

// ---- XMP that exiv2 cannot parse ----

TEST_F(ExifWriterSafety, anUnparseableXmpPacketIsKeptWhenNoXmpFieldChangesAndRefusedWhenOneMust)
{
    const QString photoPath = makeJpeg(m_dir);
    editMetadata(photoPath, [](Exiv2::Image& image) {
        image.writeXmpFromPacket(true);
        image.xmpPacket() = kBrokenXmp.toStdString();
    });
    ASSERT_TRUE(fileBytes(photoPath).contains(kBrokenXmp));

    PhotoFile photo = photoAt(photoPath);
    MetaDataObject artist;
    edit(artist, { { F::Artist, "Someone" } });
    EXPECT_EQ(writePhoto(photo, artist, photoPath).errorFlag, 0);
    EXPECT_TRUE(fileBytes(photoPath).contains(kBrokenXmp)) << "the packet is written back byte for byte";
    EXPECT_EQ(readBack(photoPath)->Artist(), "Someone");

    const QByteArray before = fileBytes(photoPath);
    MetaDataObject lens;
    edit(lens, { { F::XMP_Lens, "A Lens" } });
    const MetadataWriteResult refused = writePhoto(photo, lens, photoPath);
    EXPECT_EQ(refused.errorFlag, 2);
    EXPECT_TRUE(refused.errorMsg.contains("XMP data cannot be read")) << qPrintable(refused.errorMsg);
    EXPECT_EQ(fileBytes(photoPath), before);
}

// ---- The verification itself ----

namespace {

std::unique_ptr<Exiv2::Image> openedBytes(const QByteArray& bytes)
{
    std::unique_ptr<Exiv2::Image> image(
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.constData()), long(bytes.size()))
            .release());
    image->readMetadata();
    return image;
}

// What exiv2 writes of the image, as it writes it.
QByteArray writtenBytes(Exiv2::Image& image)
{
    image.writeMetadata();
    Exiv2::BasicIo& io = image.io();
    if (io.open() != 0)
        return {};
    const QByteArray written(reinterpret_cast<const char*>(io.mmap()), qsizetype(io.size()));
    io.munmap();
    io.close();
    return written;
}

} // namespace

// The written bytes of the Canon sample with one maker-note datum changed behind
// the edit's back, as a fault in exiv2 would change it.
TEST(MetadataVerification, refusesAMakerNoteChangedByAFaultAndAcceptsTheSameChangeWhenItWasAsked)
{
    const QByteArray original = fileBytes(QDir(samplesDir()).filePath("camera/Canon_PowerShot_S40.jpg"));
    const std::unique_ptr<Exiv2::Image> image = openedBytes(original);
    const MetadataSnapshot before = MetadataSnapshot::of(*image);
    const auto owner = image->exifData().findKey(Exiv2::ExifKey("Exif.CanonCs.Macro"));
    ASSERT_NE(owner, image->exifData().end());
    owner->setValue("1");
    const MetadataSnapshot changed = MetadataSnapshot::of(*image);
    const QByteArray written = writtenBytes(*image);

    // Not asked for: the written maker note differs from the photo's.
    EXPECT_EQ(verifyWrittenMetadata(before, before, {}, "canon.jpg", written),
        QStringLiteral("The maker note could not be kept, so the photo was not changed."));
    // Asked for: the same bytes are right.
    const EditedKeys edited = editedKeysBetween(before, changed);
    EXPECT_EQ(edited.exif, std::set<std::string>({ "Exif.CanonCs.Macro" }));
    EXPECT_EQ(verifyWrittenMetadata(before, changed, edited, "canon.jpg", written), std::nullopt);
    // Asked for something else: the datum does not hold what the edit asked.
    image->exifData().findKey(Exiv2::ExifKey("Exif.CanonCs.Macro"))->setValue("3");
    EXPECT_EQ(verifyWrittenMetadata(before, MetadataSnapshot::of(*image), edited, "canon.jpg", written),
        QStringLiteral("Exif.CanonCs.Macro could not be written as asked, so the photo was not changed."));
    EXPECT_EQ(verifyWrittenMetadata(before, before, {}, "canon.jpg", "no photo at all"),
        QStringLiteral("The written photo could not be read back, so the photo was not changed."));
}

// exiv2 copies extended XMP as it found it: with the packet cleared, the segments
// the verification is given must be gone; with the packet left, all there.
TEST(MetadataVerification, refusesExtendedXmpThatNoLongerAgreesWithThePacket)
{
    const QByteArray original = fileBytes(QDir(samplesDir()).filePath("makers/ExtendedXMP.jpg"));
    const std::unique_ptr<Exiv2::Image> image = openedBytes(original);
    const MetadataSnapshot before = MetadataSnapshot::of(*image);
    image->clearXmpData();
    image->clearXmpPacket();
    const MetadataSnapshot cleared = MetadataSnapshot::of(*image);
    const EditedKeys edited = editedKeysBetween(before, cleared);
    const QByteArray written = writtenBytes(*image);
    const std::optional<QByteArray> withoutExtension = JpegExtendedXmp::keepingOnly(written, {});
    ASSERT_TRUE(withoutExtension);

    EXPECT_EQ(verifyWrittenMetadata(before, cleared, edited, "extended.jpg", written, original),
        QStringLiteral("The extended XMP could not be made to agree with the XMP packet, so the photo was not "
                       "changed."));
    EXPECT_EQ(
        verifyWrittenMetadata(before, cleared, edited, "extended.jpg", *withoutExtension, original), std::nullopt);
    EXPECT_EQ(verifyWrittenMetadata(before, before, {}, "extended.jpg", original, original), std::nullopt);
    EXPECT_EQ(verifyWrittenMetadata(
                  before, before, {}, "extended.jpg", *JpegExtendedXmp::keepingOnly(original, {}), original),
        QStringLiteral("The extended XMP could not be kept, so the photo was not changed."));
}

// ---- What belongs to the file ----

TEST_F(ExifWriterSafety, anInPlaceEditKeepsModeOwnerGroupAndExtendedAttributesAndOtherLinksKeepTheOldContent)
{
    const QString photoPath = cameraPhoto();
    ASSERT_EQ(::chmod(QFile::encodeName(photoPath).constData(), 0640), 0);
    const bool ownerSet = ::chown(QFile::encodeName(photoPath).constData(), 1234, 5678) == 0;
    const bool attributeSet
        = ::setxattr(QFile::encodeName(photoPath).constData(), "user.velloran.test", "kept", 4, 0) == 0;
    ASSERT_EQ(::link(QFile::encodeName(photoPath).constData(), QFile::encodeName(path("other.jpg")).constData()), 0);
    const QByteArray before = fileBytes(photoPath);

    PhotoFile photo = photoAt(photoPath);
    MetaDataObject settings;
    edit(settings, { { F::Artist, "Someone" } });
    ASSERT_EQ(writePhoto(photo, settings, photoPath).errorFlag, 0);

    struct stat after { };
    ASSERT_EQ(::stat(QFile::encodeName(photoPath).constData(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    if (ownerSet) {
        EXPECT_EQ(after.st_uid, 1234u);
        EXPECT_EQ(after.st_gid, 5678u);
    }
    if (attributeSet) {
        char value[16] = {};
        EXPECT_EQ(::getxattr(QFile::encodeName(photoPath).constData(), "user.velloran.test", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
    EXPECT_EQ(readBack(photoPath)->Artist(), "Someone");
    EXPECT_EQ(fileBytes(path("other.jpg")), before) << "the other name keeps the old content";
    if (!ownerSet || !attributeSet)
        GTEST_SKIP() << "owner or extended attributes cannot be set here; the mode was checked";
}

// ---- Names ----

TEST_F(ExifWriterSafety, aNameOf255BytesIsWrittenInPlaceAndIntoAnotherFolder)
{
    const QString name = QString(251, u'a') + ".jpg";
    ASSERT_EQ(QFile::encodeName(name).size(), 255);
    const QString photoPath = cameraPhoto(name);
    ASSERT_TRUE(QFileInfo::exists(photoPath));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));

    PhotoFile photo = photoAt(photoPath);
    MetaDataObject settings;
    edit(settings, { { F::Artist, "Someone" } });
    EXPECT_EQ(writePhoto(photo, settings, photoPath), (MetadataWriteResult { 0, "Processed Successfully" }));
    EXPECT_EQ(writePhoto(photo, settings, path("out/" + name)), (MetadataWriteResult { 0, "Processed Successfully" }));
    EXPECT_EQ(readBack(path("out/" + name))->Artist(), "Someone");
    EXPECT_EQ(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), QStringList { name });
}

TEST_F(ExifWriterSafety, aNameThatIsNotUtf8IsReportedNotTakenForAMissingPhoto)
{
    ASSERT_TRUE(QFile::copy(cameraPhoto(), path("plain.jpg")));
    const UndecodableNamedFile odd(
        QFile::encodeName(m_dir.path()) + "/caf\xe9.jpg", QFile::encodeName(path("plain.jpg")));
    ASSERT_TRUE(odd.isMade());
    const QString listed = odd.listedPath();
    ASSERT_FALSE(listed.isEmpty());

    PhotoFile photo;
    photo.filePath = listed;
    MetaDataObject settings;
    edit(settings, { { F::Artist, "Someone" } });
    const MetadataWriteResult result = writePhoto(photo, settings, path("out.jpg"));
    EXPECT_EQ(result.errorFlag, 2);
    EXPECT_TRUE(result.errorMsg.contains("caf")) << qPrintable(result.errorMsg);
    EXPECT_TRUE(result.errorMsg.contains("not valid UTF-8")) << qPrintable(result.errorMsg);
}

// ---- A full disk ----

TEST_F(ExifWriterSafety, aFullFileSystemGivesItsOwnTextForEveryPhotoThatFailsAndLeavesNoTemporaryFile)
{
    const QString mountPoint = path("small");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("small"));
    if (QProcess::execute("mount", { "-t", "tmpfs", "-o", "size=512k", "tmpfs", mountPoint }) != 0)
        GTEST_SKIP() << "this test may not mount a small tmpfs (it needs root outside a restricted container)";
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", { mountPoint }); });

    const QString source = cameraPhoto();
    int failed = 0;
    for (int i = 0; i < 80; ++i) {
        PhotoFile photo = photoAt(source);
        MetaDataObject settings;
        edit(settings, { { F::Artist, "Someone" } });
        const MetadataWriteResult result = writePhoto(photo, settings, mountPoint + QString("/%1.jpg").arg(i));
        if (result.errorFlag != 0) {
            ++failed;
            EXPECT_EQ(result.errorFlag, 2);
            EXPECT_TRUE(result.errorMsg.contains("No space left on device")) << qPrintable(result.errorMsg);
        }
    }
    EXPECT_GT(failed, 0);
    for (const QString& entry : QDir(mountPoint).entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(entry.startsWith(".velloran-")) << qPrintable(entry);
}

// ---- IPTC limits ----

TEST_F(ExifWriterSafety, iptcTextsAreCutToTheirLimitWhereAUserPerceivedCharacterEnds)
{
    const QString photoPath = makeJpeg(m_dir);
    // A By-line holds 32 bytes: 25 letters and a family of three joined by
    // zero-width joiners (18 bytes) must lose the whole family, not a part.
    const QString family
        = QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7");
    PhotoFile photo = photoAt(photoPath);
    MetaDataObject settings;
    edit(settings, { { F::IPTC_ByLine, QString(25, u'a') + family } });
    ASSERT_EQ(writePhoto(photo, settings, photoPath).errorFlag, 0);
    EXPECT_EQ(readBack(photoPath)->IPTC_ByLine(), QString(25, u'a'));

    // A Latin-1 By-line of 32 bytes grows to 64 in UTF-8 when another IPTC field is
    // written; it is cut back to its limit.
    editMetadata(photoPath, [](Exiv2::Image& image) {
        image.iptcData().clear();
        addIptc(image.iptcData(), "Iptc.Application2.Byline", std::string(32, '\xe9'));
    });
    photo = photoAt(photoPath);
    MetaDataObject city;
    edit(city, { { F::IPTC_City, "Lyon" } });
    ASSERT_EQ(writePhoto(photo, city, photoPath).errorFlag, 0);
    EXPECT_EQ(iptcByline(photoPath), QString(16, u'é'));
    EXPECT_LE(iptcByline(photoPath).toUtf8().size(), 32);
}

// ---- New directories ----

TEST_F(ExifWriterSafety, directoriesTheWriterCreatesGetTheEntriesTheStandardRequires)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const QString photoPath = makeJpeg(m_dir, "bare.jpg", 40, 30);
    PhotoFile photo = photoAt(photoPath);
    MetaDataObject settings;
    edit(settings,
        { { F::Artist, "Someone" }, { F::CamSetting_FNumber, "4" }, { F::GPS_Lattitude, "12.5" },
            { F::GPS_LattitudeRef, "N" } });
    ASSERT_EQ(writePhoto(photo, settings, photoPath).errorFlag, 0);
    EXPECT_EQ(exiftoolWarnings({ photoPath }), QStringList()) << "no required entry is missing";
}

// ---- Access: only the file that is replaced must be writable ----

TEST_F(ExifWriterSafety, anImmutableSourceIsReadAndWrittenIntoAnotherFolder)
{
    const QString photoPath = cameraPhoto();
    const QByteArray before = fileBytes(photoPath);
    const ScopedImmutable locked(photoPath);
    SKIP_UNLESS_IMMUTABLE(locked);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("out"));

    PhotoFile photo = photoAt(photoPath);
    MetaDataObject settings;
    edit(settings, { { F::Artist, "Someone" } });
    EXPECT_EQ(
        writePhoto(photo, settings, path("out/photo.jpg")), (MetadataWriteResult { 0, "Processed Successfully" }));
    EXPECT_EQ(readBack(path("out/photo.jpg"))->Artist(), "Someone");
    EXPECT_EQ(fileBytes(photoPath), before);
}

// ---- Restore ----

// Two photos with different artists are edited as one selection: the restore's
// record (the merged snapshot) has no artist, and its texts must not reach them.
class ExifWriterRestore : public ExifWriterSafety {
protected:
    std::vector<PhotoFile> twoPhotos()
    {
        std::vector<PhotoFile> photos;
        for (const char* artist : { "Ann", "Bob" }) {
            const QString photoPath = cameraPhoto(QString("%1.jpg").arg(artist));
            editMetadata(photoPath, [artist](Exiv2::Image& image) {
                image.exifData()["Exif.Image.Artist"] = artist;
                image.exifData()["Exif.Image.ImageDescription"] = "trailing spaces   ";
                addExif(image.exifData(), "Exif.GPSInfo.GPSLatitude", Exiv2::unsignedRational, "48/1 51/1 2979/100");
                image.exifData()["Exif.GPSInfo.GPSLatitudeRef"] = "N";
            });
            QFile::copy(photoPath, path(QString("%1.pristine").arg(artist)));
            photos.push_back(photoAt(photoPath));
        }
        return photos;
    }

    // The selection's merged record: equal texts stay, differing ones are empty.
    static std::shared_ptr<MetaDataObject> snapshotOf(const std::vector<PhotoFile>& photos)
    {
        auto merged = std::make_shared<MetaDataObject>();
        for (const MetadataFieldInfo& info : kMetadataFields) {
            const QString first = photos.front().metadataObjectOriginal->field(info.field);
            bool same = true;
            for (const PhotoFile& photo : photos)
                same = same && photo.metadataObjectOriginal->field(info.field) == first;
            merged->setField(info.field, same ? first : QString());
        }
        return merged;
    }

    void runAndRestore(std::vector<PhotoFile>& photos, bool inPlace)
    {
        const std::shared_ptr<MetaDataObject> snapshot = snapshotOf(photos);
        ASSERT_EQ(snapshot->Artist(), "");
        // In place, two runs: the restore goes back to the photo as it was before the last one.
        for (int run = 0; run < (inPlace ? 2 : 1); ++run) {
            beforeLastRun.clear();
            for (PhotoFile& photo : photos) {
                beforeLastRun.push_back(fileBytes(photo.filePath));
                MetaDataObject settings;
                edit(settings,
                    { { F::Artist, run == 0 ? "Everyone" : "Again" }, { F::GPS_Lattitude, "1.5" },
                        { F::IPTC_City, "Lyon" }, { F::XMP_Lens, "Lens" } });
                if (run == 1)
                    edit(settings, { { F::Copyright, "Later" } });
                const QString output = inPlace ? photo.filePath : path("out_" + QFileInfo(photo.filePath).fileName());
                ASSERT_EQ(writePhoto(photo, settings, output).errorFlag, 0);
                ASSERT_EQ(readBack(output)->Artist(), run == 0 ? "Everyone" : "Again");
            }
        }
        for (PhotoFile& photo : photos) {
            MetaDataObject nothing;
            EXPECT_EQ(ExifWriter::sharedInstance()
                          .writeMetaDataToFilePath(photo, *snapshot, QString(), nothing, true)
                          .errorFlag,
                0);
        }
    }

    std::vector<QByteArray> beforeLastRun;
};

TEST_F(ExifWriterRestore, aRestoreIntoAnotherFolderGivesEachPhotoTheSourcesMetadata)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    std::vector<PhotoFile> photos = twoPhotos();
    runAndRestore(photos, false);
    for (const PhotoFile& photo : photos) {
        SCOPED_TRACE(qPrintable(photo.filePath));
        EXPECT_EQ(metadataOf(photo.processedPath), metadataOf(photo.filePath));
    }
}

// An output that another program changed after the run (one byte of its image
// data, its time put back) is kept, and the photo's message names it; an output
// left as the run wrote it is restored.
TEST_F(ExifWriterRestore, aRestoreIntoAnotherFolderKeepsAnOutputChangedSinceTheRun)
{
    std::vector<PhotoFile> photos = twoPhotos();
    for (PhotoFile& photo : photos) {
        MetaDataObject settings;
        edit(settings, { { F::Artist, "Everyone" } });
        ASSERT_EQ(writePhoto(photo, settings, path("out_" + QFileInfo(photo.filePath).fileName())).errorFlag, 0);
    }
    const QString changed = photos[0].processedPath;
    ASSERT_TRUE(flipByteKeepingTime(changed, QFileInfo(changed).size() - 10));
    const QByteArray later = fileBytes(changed);

    const std::shared_ptr<MetaDataObject> snapshot = snapshotOf(photos);
    std::vector<MetadataWriteResult> results;
    for (PhotoFile& photo : photos) {
        MetaDataObject nothing;
        results.push_back(
            ExifWriter::sharedInstance().writeMetaDataToFilePath(photo, *snapshot, QString(), nothing, true));
    }
    EXPECT_EQ(results[0].errorFlag, MetadataWriteResult::WriteFailed);
    EXPECT_TRUE(results[0].errorMsg.contains(changed) && results[0].errorMsg.contains("changed since the run"))
        << qPrintable(results[0].errorMsg);
    EXPECT_TRUE(fileBytes(changed) == later) << "the later change is kept";
    EXPECT_EQ(results[1].errorFlag, 0);
    EXPECT_TRUE(fileBytes(photos[1].processedPath) == fileBytes(photos[1].filePath));
}

TEST_F(ExifWriterRestore, aRestoreAfterInPlaceRunsPutsBackThePhotoAsItWasBeforeTheLastOne)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    std::vector<PhotoFile> photos = twoPhotos();
    runAndRestore(photos, true);
    for (std::size_t i = 0; i < photos.size(); ++i) {
        SCOPED_TRACE(qPrintable(photos[i].filePath));
        EXPECT_TRUE(fileBytes(photos[i].filePath) == beforeLastRun[i]);
        EXPECT_FALSE(photos[i].restorePoint) << "a finished restore leaves nothing to restore";
    }
}
