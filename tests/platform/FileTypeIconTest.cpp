#include "platform/FileTypeIcon.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FileTypeIcon, namesTheTypesOwnIconThenItsFamilys)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString jpeg = dir.filePath(QStringLiteral("photo"));
    ASSERT_TRUE(QFile::copy(samplesDir() + QStringLiteral("/orientation/portrait_6.jpg"), jpeg));
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a note, not a photo\n");
    file.close();

    // Without an extension the content tells the type.
    EXPECT_EQ(FileTypeIcon::iconNames(jpeg), QStringList({ QStringLiteral("image-jpeg"), QStringLiteral("image-x-generic") }));
    EXPECT_EQ(FileTypeIcon::iconNames(text), QStringList({ QStringLiteral("text-plain"), QStringLiteral("text-x-generic") }));
    // A file that cannot be read is known by its name alone.
    EXPECT_EQ(FileTypeIcon::iconNames(dir.filePath(QStringLiteral("gone.tif"))).value(0), QStringLiteral("image-tiff"));
    // Nothing to go by: the names of an unknown type, never none.
    EXPECT_FALSE(FileTypeIcon::iconNames(dir.filePath(QStringLiteral("gone"))).isEmpty());
}
