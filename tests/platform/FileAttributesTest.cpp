#include "platform/FileAttributes.h"

#include "services/ExifWriter.h"
#include "services/WriterFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QString makeFile(const QTemporaryDir& dir, const QString& name)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write("x");
    return file.fileName();
}

} // namespace

TEST(FileAttributes, tellsWritableFromReadOnlyAndMissingFiles)
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, QStringLiteral("a.jpg"));
    const ExifWriter& writer = ExifWriter::sharedInstance();
    EXPECT_FALSE(writer.checkForReadOnlyFilePath(path));
    EXPECT_TRUE(writer.checkForReadOnlyFilePath(dir.filePath(QStringLiteral("missing.jpg"))));
    EXPECT_TRUE(writer.checkForReadOnlyFilePath(QString()));
    EXPECT_FALSE(writer.checkForLockedFile(dir.filePath(QStringLiteral("missing.jpg"))));
    EXPECT_FALSE(writer.checkForLockedFile(path));
    if (::geteuid() != 0) {
        QFile::setPermissions(path, QFile::ReadOwner);
        EXPECT_TRUE(writer.checkForReadOnlyFilePath(path));
    }
}

TEST(FileAttributes, seesTheImmutableFlagEvenForRoot)
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, QStringLiteral("a.jpg"));
    const ScopedImmutable locked(path);
    SKIP_UNLESS_IMMUTABLE(locked);
    EXPECT_TRUE(FileAttributes::isImmutable(path));
    EXPECT_FALSE(FileAttributes::isWritable(path));
    EXPECT_TRUE(ExifWriter::sharedInstance().checkForLockedFile(path));
}

TEST(FileAttributes, setsTheModificationTimeFromTheModifyDateOnly)
{
    ScopedTimeZone zone("Europe/Berlin");
    QTemporaryDir dir;
    const ExifWriter& writer = ExifWriter::sharedInstance();
    const QDateTime untouched(QDate(2001, 2, 3), QTime(4, 5, 6));
    struct Case {
        const char* creation;
        const char* modify;
        QDateTime expected;
    };
    const Case cases[] = {
        { "2020:01:01 00:00:00", "2020:01:02 03:04:05", QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)) },
        { "2021:01:01 00:00:00", "", untouched },
        { "", "2021-01-01T00:00:00", untouched },
        { "", "not a date", untouched },
        // A time the clocks skip in spring is moved past the gap, not lost.
        { "", "2021:03:28 02:30:00", QDateTime(QDate(2021, 3, 28), QTime(3, 30, 0)) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.modify);
        const QString path = makeFile(dir, QStringLiteral("dated.jpg"));
        ASSERT_TRUE(FileAttributes::setModificationTime(path, untouched));
        writer.upadteDateTimeOffileInSystem(
            path, MetaDataObject(), QString::fromLatin1(c.creation), QString::fromLatin1(c.modify));
        EXPECT_EQ(QFileInfo(path).lastModified(), c.expected);
    }
    EXPECT_FALSE(FileAttributes::setModificationTime(dir.filePath(QStringLiteral("missing")), untouched));
}

TEST(FileAttributes, tellsAFolderThatTakesNewFilesFromOneThatDoesNot)
{
    QTemporaryDir dir;
    const ExifWriter& writer = ExifWriter::sharedInstance();
    EXPECT_FALSE(writer.checkForReadOnlyParentFolderPath(dir.path()));
    EXPECT_FALSE(writer.checkForReadOnlyParentFolder({ { QStringLiteral("FolderPath"), dir.path() } }));
    EXPECT_TRUE(writer.checkForReadOnlyParentFolderPath(dir.filePath(QStringLiteral("missing"))));
    EXPECT_TRUE(writer.checkForReadOnlyParentFolderPath(makeFile(dir, QStringLiteral("a.jpg"))))
        << "a file is no folder to write into";
    EXPECT_TRUE(writer.checkForReadOnlyParentFolder({}));
    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(locked));
    const ScopedImmutable immutable(locked);
    SKIP_UNLESS_IMMUTABLE(immutable);
    EXPECT_TRUE(writer.checkForReadOnlyParentFolderPath(locked));
}

TEST(FileAttributes, theWritersDateConversionReadsOnePatternAndWritesAnother)
{
    const ExifWriter& writer = ExifWriter::sharedInstance();
    const QString exifPattern = QStringLiteral("yyyy:MM:dd HH:mm:ss");
    EXPECT_EQ(writer.convertedDate(QStringLiteral("2019:07:04 10:20:30"), exifPattern, QStringLiteral("dd-MM-yyyy")),
        QStringLiteral("04-07-2019"));
    EXPECT_EQ(writer.convertedDate(QString(), exifPattern, QStringLiteral("dd-MM-yyyy")), QString());
    EXPECT_EQ(writer.convertedDate(QStringLiteral("2019-07-04"), exifPattern, QStringLiteral("dd-MM-yyyy")), QString());
    // A text that does not read with the given pattern answers "", even where a
    // record date or an ISO date would have read.
    EXPECT_EQ(writer.convertedDate(
                  QStringLiteral("2019:07:04 10:20:30"), QStringLiteral("dd/MM/yyyy"), QStringLiteral("yyyy")),
        QString());
    EXPECT_EQ(writer.convertedDate(
                  QStringLiteral("2019-07-04 10:20:30"), QStringLiteral("dd/MM/yyyy"), QStringLiteral("yyyy")),
        QString());
}
