#include "platform/OpenablePhotoPath.h"

#include "services/ExifWriter.h"
#include "services/Utils.h"
#include "batch/intake/PhotoIntake.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/BmffLayout.h"
#include "platform/Exiv2Adapter.h"
#include "platform/HeifFile.h"
#include "platform/ImageDataLayout.h"
#include "platform/ImageProperties.h"
#include "platform/VectorImageSize.h"
#include "support/FifoRelease.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <exiv2/exiv2.hpp>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

namespace {

// A FIFO named like a photo: opening it for reading blocks until someone writes.
class PhotoNamedFifo : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("IMG_0001.jpg"));
        ASSERT_EQ(mkfifo(QFile::encodeName(m_path).constData(), 0600), 0);
    }

    // Runs the call on a worker and fails if it is still blocked after a while; a
    // blocked call is then released by opening the FIFO's other end, so that a
    // regression fails instead of hanging the whole run.
    void expectReturnsPromptly(const char* what, const std::function<void()>& call)
    {
        QFuture<void> future = QtConcurrent::run(call);
        QDeadlineTimer deadline(5000);
        while (!future.isFinished() && !deadline.hasExpired())
            QThread::msleep(10);
        if (!future.isFinished()) {
            ADD_FAILURE() << what << " blocked on a FIFO";
            releaseFifosUntil({ m_path }, [&future] { return future.isFinished(); });
        }
    }

    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace

TEST(OpenablePhotoPath, onlyRegularFilesAreOpenableAndTheirPathIsAbsolute)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("a.jpg"));
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_EQ(openablePhotoPath(file), file);
    EXPECT_TRUE(openablePhotoPath(dir.path()).isEmpty());
    EXPECT_TRUE(openablePhotoPath(dir.filePath(QStringLiteral("missing.jpg"))).isEmpty());
    EXPECT_TRUE(openablePhotoPath(QString()).isEmpty());

    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(openablePhotoPath(QStringLiteral("a.jpg")), file);
    QDir::setCurrent(previous);
}

TEST_F(PhotoNamedFifo, neverBlocksTheReaders)
{
    EXPECT_TRUE(openablePhotoPath(m_path).isEmpty());
    expectReturnsPromptly(
        "the image properties", [this] { EXPECT_TRUE(ImageProperties::propertiesForFile(m_path).isEmpty()); });
    expectReturnsPromptly("the thumbnail",
        [this] { EXPECT_TRUE(Utils::sharedUtils().getThumbnailImageAtFilePath(m_path, QSizeF(96, 70)).isNull()); });
    expectReturnsPromptly("the metadata reader", [this] {
        MetaDataObject record;
        ExifWriter::sharedInstance().readMetaFromPath(m_path, record);
        EXPECT_TRUE(record.Artist().isEmpty());
    });
    expectReturnsPromptly(
        "the EPS size", [this] { EXPECT_TRUE(VectorImageSize::epsBoundingBoxSize(m_path).isEmpty()); });
    expectReturnsPromptly("the kind of the file", [this] { EXPECT_FALSE(ExifWriter::kindHeadOf(m_path)); });
    expectReturnsPromptly("the photo record", [this] {
        const PhotoFile photo(m_path, false);
        EXPECT_EQ(photo.width, 0);
    });
    expectReturnsPromptly("the HEIF reader", [this] {
        EXPECT_FALSE(HeifFile::hasHeifSignature(m_path));
        EXPECT_FALSE(HeifFile(m_path).isOpen());
    });
    expectReturnsPromptly("the image data checks", [this] {
        EXPECT_FALSE(ImageDataLayout::tiffDamage(m_path));
        EXPECT_FALSE(BmffLayout::missingPart(m_path));
    });
}

TEST_F(PhotoNamedFifo, isRefusedByTheBatchListWithTheReason)
{
    expectReturnsPromptly("the batch list's reader", [this] {
        try {
            PhotoIntake::readPhotoFile(m_path);
            ADD_FAILURE() << "a FIFO was taken into the list";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("FIFO"), std::string::npos) << error.what();
        }
    });
}

TEST_F(PhotoNamedFifo, putInThePlaceOfAPhotoAfterItWasLookedAtIsNeverOpenedByExiv2)
{
    // The name that was found to be a photo now stands for a FIFO: exiv2 must not
    // open it by the name.
    expectReturnsPromptly(
        "exiv2", [this] { EXPECT_EQ(Exiv2Adapter::openFile(m_path, m_path, Exiv2Adapter::Severity::Debug), nullptr); });
}

TEST(OpenRegularFile, refusesWhatIsNoRegularFileAndSaysWhat)
{
    QString why;
    EXPECT_EQ(openRegularFileForReading(QStringLiteral("/dev/zero"), &why), -1);
    EXPECT_TRUE(why.contains(QStringLiteral("device"))) << qPrintable(why);
    EXPECT_EQ(openRegularFileForReading(QDir::tempPath(), &why), -1);
    EXPECT_TRUE(why.contains(QStringLiteral("folder"))) << qPrintable(why);
    EXPECT_EQ(openRegularFileForReading(QStringLiteral("/nonexistent/a.jpg"), &why), -1);
    EXPECT_FALSE(why.isEmpty());

    // A regular file's descriptor blocks again, as reads from a file expect.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile photo(dir.filePath(QStringLiteral("a.jpg")));
    ASSERT_TRUE(photo.open(QIODevice::WriteOnly));
    photo.write("abc");
    photo.close();
    QFile again(photo.fileName());
    ASSERT_TRUE(openRegularFile(again, &why)) << qPrintable(why);
    EXPECT_EQ(::fcntl(again.handle(), F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(again.readAll(), QByteArrayLiteral("abc"));
}
