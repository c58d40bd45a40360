#include "platform/FileReplacer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

TEST(FileReplacer, replacesOrCreatesTheFileAndLeavesNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("photo.jpg");
    EXPECT_EQ(FileReplacer::replace(target, "first", {}), std::nullopt);
    EXPECT_EQ(FileReplacer::replace(target, "second", {}), std::nullopt);
    EXPECT_EQ(bytesOf(target), "second");
    EXPECT_EQ(filesIn(dir.path()), QStringList { "photo.jpg" });
}

TEST(FileReplacer, aNewFileTakesTheModeOfItsModelAndAReplacedOneKeepsItsOwn)
{
    QTemporaryDir dir;
    const QString model = dir.filePath("model.jpg");
    ASSERT_EQ(FileReplacer::replace(model, "m", {}), std::nullopt);
    ASSERT_TRUE(QFile::setPermissions(model, QFile::ReadOwner | QFile::ReadGroup));
    const QString target = dir.filePath("new.jpg");
    ASSERT_EQ(FileReplacer::replace(target, "n", { model, std::nullopt }), std::nullopt);
    EXPECT_EQ(QFile::permissions(target) & 0x7777, QFile::permissions(model) & 0x7777);

    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    const QFileDevice::Permissions own = QFile::permissions(target);
    ASSERT_EQ(FileReplacer::replace(target, "again", { model, std::nullopt }), std::nullopt);
    EXPECT_EQ(QFile::permissions(target), own);
}

TEST(FileReplacer, setsTheModificationTimeWhenGiven)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("dated.jpg");
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(1577934245123);
    ASSERT_EQ(FileReplacer::replace(target, "x", { QString(), moment }), std::nullopt);
    EXPECT_EQ(QFileInfo(target).lastModified().toMSecsSinceEpoch(), moment.toMSecsSinceEpoch());
}

TEST(FileReplacer, failuresAnswerTheFileSystemsOwnTextAndTouchNothing)
{
    QTemporaryDir dir;
    EXPECT_EQ(FileReplacer::replace(dir.filePath("gone/photo.jpg"), "x", {}), QString("No such file or directory"));
    const QString longName = dir.filePath(QString(256, u'a'));
    EXPECT_EQ(FileReplacer::replace(longName, "x", {}), QString("File name too long"));
    // A target that is a folder cannot be replaced by a file.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_EQ(FileReplacer::replace(dir.filePath("folder"), "x", {}), QString("Is a directory"));
    EXPECT_EQ(filesIn(dir.path()), QStringList());
}

TEST(FileReplacer, aNameOf255BytesIsWritten)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QString(251, u'b') + ".jpg");
    EXPECT_EQ(FileReplacer::replace(target, "x", {}), std::nullopt);
    EXPECT_EQ(bytesOf(target), "x");
}
