#include "platform/OpenablePhotoPath.h"

#include "Helper/ExifWriter.h"
#include "Helper/Utils.h"
#include "model/MetaDataObject.h"
#include "platform/ImageProperties.h"
#include "platform/VectorImageSize.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
            // The call may open the FIFO more than once: release it until it returns.
            while (!future.isFinished()) {
                const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
                QThread::msleep(10);
            }
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
}
