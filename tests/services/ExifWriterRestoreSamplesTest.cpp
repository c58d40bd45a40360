#include "services/WriterFixtures.h"
#include "support/TestSupport.h"

#include "platform/FileReplacer.h"
#include "platform/RestoreData.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

using F = MetadataField;

// The runs a photographer makes in place: both editing modes, each group the
// clean mode removes alone, a position and a shift of the dates.
enum class InPlaceRun { KeepOthers, ClearOthers, CleanExif, CleanIptc, CleanComment, CleanGps, CleanXmp, Gps, DateShift };

void configure(MetaDataObject& settings, InPlaceRun run)
{
    switch (run) {
    case InPlaceRun::KeepOthers:
    case InPlaceRun::ClearOthers:
        settings.editingOption = run == InPlaceRun::KeepOthers ? MetaDataObject::OnlyModifyEditedFields
                                                               : MetaDataObject::ModifyEditedClearOthers;
        edit(settings,
            { { F::Artist, u"Zoë"_s }, { F::IPTC_City, u"Москва"_s }, { F::IPTC_Keywords, u"sea,sun"_s },
                { F::CamSetting_FNumber, u"4"_s }, { F::XMP_Lens, u"Lens"_s } });
        return;
    case InPlaceRun::Gps:
        settings.editingOption = MetaDataObject::OnlyModifyEditedFields;
        edit(settings,
            { { F::GPS_Lattitude, u"48.8566"_s }, { F::GPS_LattitudeRef, u"N"_s }, { F::GPS_Longitude, u"2.3522"_s },
                { F::GPS_LongitudeRef, u"E"_s } });
        return;
    case InPlaceRun::DateShift:
        settings.editingOption = MetaDataObject::OnlyModifyEditedFields;
        settings.dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecTime;
        settings.dateTimeConfigOriginalDate()->stringIncDecHour = u"1"_s;
        return;
    default:
        settings.editingOption = MetaDataObject::CleanMetadataInfo;
        settings.clearExif = run == InPlaceRun::CleanExif;
        settings.clearIPTC = run == InPlaceRun::CleanIptc;
        settings.clearComment = run == InPlaceRun::CleanComment;
        settings.clearGpsInfo = run == InPlaceRun::CleanGps;
        settings.clearXMP = run == InPlaceRun::CleanXmp;
        return;
    }
}

class ExifWriterRestoreSamples : public testing::TestWithParam<InPlaceRun> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_cache.isValid());
        RestoreData::setBaseFolderForTesting(m_cache.path(), u"cache"_s);
    }
    void TearDown() override { RestoreData::setBaseFolderForTesting({}, {}); }

    QTemporaryDir m_cache;
};

} // namespace

// Every sample photo, written in place and restored, is byte for byte the photo
// it was; one the writer refused is untouched and has nothing to restore.
TEST_P(ExifWriterRestoreSamples, restoresEveryPhotoWrittenInPlaceByteForByte)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int written = 0;
    QDirIterator it(samplesDir(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo sample(it.next());
        if (sample.suffix() == "md"_L1)
            continue;
        const QString copy = dir.filePath(sample.dir().dirName() + u'_' + sample.fileName());
        ASSERT_TRUE(QFile::copy(sample.filePath(), copy));
        QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        SCOPED_TRACE(qPrintable(copy));
        const QByteArray before = fileBytes(copy);

        PhotoFile photo = photoAt(copy);
        MetaDataObject settings;
        configure(settings, GetParam());
        const MetadataWriteResult result = writePhoto(photo, settings, copy);
        if (result.errorFlag != MetadataWriteResult::Processed && result.errorFlag != MetadataWriteResult::RawCameraKept) {
            EXPECT_EQ(fileBytes(copy), before) << qPrintable(result.errorMsg);
            EXPECT_FALSE(photo.restorePoint);
            continue;
        }
        ++written;
        ASSERT_TRUE(photo.restorePoint);
        const QString dataPath = photo.restorePoint->dataPath;
        MetaDataObject nothing;
        const MetadataWriteResult restored = writePhoto(photo, nothing, copy, nullptr, true);
        EXPECT_EQ(restored, (MetadataWriteResult { MetadataWriteResult::Processed, u"Processed Successfully"_s }));
        EXPECT_TRUE(fileBytes(copy) == before) << "the restored photo differs";
        EXPECT_FALSE(photo.restorePoint);
        EXPECT_FALSE(QFile::exists(dataPath)) << "a used way back is removed";
    }
    EXPECT_GE(written, 60);
}

INSTANTIATE_TEST_SUITE_P(EachRun, ExifWriterRestoreSamples,
    testing::Values(InPlaceRun::KeepOthers, InPlaceRun::ClearOthers, InPlaceRun::CleanExif, InPlaceRun::CleanIptc,
        InPlaceRun::CleanComment, InPlaceRun::CleanGps, InPlaceRun::CleanXmp, InPlaceRun::Gps, InPlaceRun::DateShift));

namespace {

// A photo copied for a kill test, with its way back kept in the test's folder.
class ExifWriterRestoreKill : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        RestoreData::setBaseFolderForTesting(m_dir.path(), u"cache"_s);
        m_photo = m_dir.filePath("photo.jpg");
        ASSERT_TRUE(QFile::copy(QDir(samplesDir()).filePath("camera/Canon_40D.jpg"), m_photo));
        QFile(m_photo).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        m_old = fileBytes(m_photo);
        edit(m_settings, { { F::Artist, u"Zoë"_s } });
    }
    void TearDown() override
    {
        FileReplacer::setStageHookForTesting({});
        RestoreData::removeAll();
        RestoreData::setBaseFolderForTesting({}, {});
    }

    // Runs step in a child process that is killed where the hook says.
    static void killedAt(const std::function<bool(const QString&, FileReplacer::Stage)>& where,
        const std::function<void()>& step)
    {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileReplacer::setStageHookForTesting([&](const QString& path, FileReplacer::Stage stage) {
                if (where(path, stage))
                    ::raise(SIGKILL);
            });
            step();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child was not stopped at the hook";
    }

    QTemporaryDir m_dir;
    QString m_photo;
    QByteArray m_old;
    MetaDataObject m_settings;
};

} // namespace

// Killed after the way back was written but before it was flushed: the photo was
// not replaced, and a write afterwards keeps a way back that works.
TEST_F(ExifWriterRestoreKill, killedBeforeTheWayBackIsFlushedThePhotoIsTheOldOne)
{
    killedAt([](const QString& path, FileReplacer::Stage stage) {
        return path.endsWith(".restore"_L1) && stage == FileReplacer::Stage::BeforeFlush;
    },
        [&] {
            PhotoFile photo = photoAt(m_photo);
            writePhoto(photo, m_settings, m_photo);
        });
    EXPECT_TRUE(fileBytes(m_photo) == m_old);

    PhotoFile photo = photoAt(m_photo);
    ASSERT_EQ(writePhoto(photo, m_settings, m_photo).errorFlag, MetadataWriteResult::Processed);
    ASSERT_TRUE(photo.restorePoint);
    MetaDataObject nothing;
    EXPECT_EQ(writePhoto(photo, nothing, m_photo, nullptr, true).errorFlag, MetadataWriteResult::Processed);
    EXPECT_TRUE(fileBytes(m_photo) == m_old);
}

// Killed between the restore's write and its rename: the photo is still the
// edited one, and its way back still restores it.
TEST_F(ExifWriterRestoreKill, killedBeforeTheRestoresRenameTheWayBackStillWorks)
{
    PhotoFile photo = photoAt(m_photo);
    ASSERT_EQ(writePhoto(photo, m_settings, m_photo).errorFlag, MetadataWriteResult::Processed);
    const QByteArray edited = fileBytes(m_photo);
    ASSERT_FALSE(edited == m_old);
    killedAt([&](const QString& path, FileReplacer::Stage stage) {
        return path == m_photo && stage == FileReplacer::Stage::BeforeRename;
    },
        [&] {
            MetaDataObject nothing;
            writePhoto(photo, nothing, m_photo, nullptr, true);
        });
    EXPECT_TRUE(fileBytes(m_photo) == edited);
    ASSERT_TRUE(photo.restorePoint);
    MetaDataObject nothing;
    EXPECT_EQ(writePhoto(photo, nothing, m_photo, nullptr, true).errorFlag, MetadataWriteResult::Processed);
    EXPECT_TRUE(fileBytes(m_photo) == m_old);
}

// A photo changed by one byte of its image data since the run, its time put back,
// is not restored over: the restore says so and leaves it as it is.
TEST_F(ExifWriterRestoreKill, aPhotoWithOneImageByteChangedSinceTheRunIsNotRestored)
{
    PhotoFile photo = photoAt(m_photo);
    ASSERT_EQ(writePhoto(photo, m_settings, m_photo).errorFlag, MetadataWriteResult::Processed);
    ASSERT_TRUE(flipByteKeepingTime(m_photo, QFileInfo(m_photo).size() - 1000));
    const QByteArray changed = fileBytes(m_photo);
    MetaDataObject nothing;
    const MetadataWriteResult result = writePhoto(photo, nothing, m_photo, nullptr, true);
    EXPECT_EQ(result.errorFlag, MetadataWriteResult::WriteFailed);
    EXPECT_TRUE(result.errorMsg.contains("changed since the run")) << qPrintable(result.errorMsg);
    EXPECT_TRUE(fileBytes(m_photo) == changed);
}

// A way back that cannot be kept leaves the photo as it is, and says why.
TEST_F(ExifWriterRestoreKill, aPhotoWhoseWayBackCannotBeKeptIsNotChanged)
{
    RestoreData::setBaseFolderForTesting(m_dir.path(), u"photo.jpg/cache"_s);
    PhotoFile photo = photoAt(m_photo);
    const MetadataWriteResult result = writePhoto(photo, m_settings, m_photo);
    EXPECT_EQ(result.errorFlag, MetadataWriteResult::WriteFailed);
    EXPECT_TRUE(result.errorMsg.contains("could not be kept")) << qPrintable(result.errorMsg);
    EXPECT_TRUE(fileBytes(m_photo) == m_old);
    EXPECT_FALSE(photo.restorePoint);
}
