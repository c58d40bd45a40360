#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Points the home trash into a temporary folder for one test.
class TrashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_oldDataHome = qgetenv("XDG_DATA_HOME");
        m_hadDataHome = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dataHome().toUtf8());
        ASSERT_TRUE(QDir().mkpath(dataHome() + "/Trash/files/Holiday"));
        ASSERT_TRUE(QDir().mkpath(m_root.path() + "/photos"));
    }
    void TearDown() override
    {
        if (m_hadDataHome)
            qputenv("XDG_DATA_HOME", m_oldDataHome);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    QString dataHome() const { return m_root.path() + "/data"; }

    QTemporaryDir m_root;
    QByteArray m_oldDataHome;
    bool m_hadDataHome = false;
};

} // namespace

TEST_F(TrashTest, findsFilesAndFoldersInTheHomeTrash)
{
    EXPECT_TRUE(isPathInTrash(dataHome() + "/Trash/files/Holiday/IMG_1.jpg"));
    EXPECT_TRUE(isPathInTrash(dataHome() + "/Trash/files/Holiday"));
    EXPECT_TRUE(isPathInTrash(dataHome() + "/Trash"));
    // Spelt with dots and doubled slashes, as panels sometimes hand paths over.
    EXPECT_TRUE(isPathInTrash(dataHome() + "/Trash/files/../files//Holiday/a.jpg"));
}

TEST_F(TrashTest, leavesPathsOutsideTheTrashAlone)
{
    EXPECT_FALSE(isPathInTrash(m_root.path() + "/photos/IMG_1.jpg"));
    EXPECT_FALSE(isPathInTrash(dataHome() + "/Trashcan/a.jpg")); // a sibling that only starts alike
    EXPECT_FALSE(isPathInTrash(dataHome()));
    EXPECT_FALSE(isPathInTrash(QString()));
}

TEST_F(TrashTest, aListIsInTheTrashWhenAnyOfItsPathsIs)
{
    const QString outside = m_root.path() + "/photos/IMG_1.jpg";
    const QString inside = dataHome() + "/Trash/files/Holiday/IMG_1.jpg";
    EXPECT_TRUE(anyPathInTrash({ outside, inside })); // not only the first path counts
    EXPECT_TRUE(anyPathInTrash({ inside, outside }));
    EXPECT_FALSE(anyPathInTrash({ outside, m_root.path() + "/photos" }));
    EXPECT_FALSE(anyPathInTrash({}));
}

TEST_F(TrashTest, comparesTheLettersCaseSensitively)
{
    // On Linux "trash" is another folder than "Trash".
    EXPECT_FALSE(isPathInTrash(dataHome() + "/trash/files/a.jpg"));
    EXPECT_FALSE(isPathInTrash(dataHome() + "/TRASH/files/a.jpg"));
}

TEST_F(TrashTest, aLinkIntoTheTrashCountsAsInIt)
{
    const QString link = m_root.path() + "/photos/link";
    ASSERT_TRUE(QFile::link(dataHome() + "/Trash/files/Holiday", link));
    EXPECT_TRUE(isPathInTrash(link));
}

TEST_F(TrashTest, namesTheTrashFoldersAtTheTopOfTheVolume)
{
    const QString path = m_root.path() + "/photos/IMG_1.jpg";
    const QString top = QStorageInfo(m_root.path()).rootPath();
    const QString uid = QString::number(::getuid());
    const QStringList trashes = trashDirectoriesForPath(path);
    ASSERT_EQ(trashes.size(), 3);
    EXPECT_EQ(trashes[0], dataHome() + "/Trash");
    EXPECT_EQ(trashes[1], QDir::cleanPath(top + "/.Trash-" + uid));
    EXPECT_EQ(trashes[2], QDir::cleanPath(top + "/.Trash/" + uid));
    EXPECT_TRUE(isPathInTrash(trashes[1] + "/files/IMG_1.jpg"));
    EXPECT_TRUE(isPathInTrash(trashes[2] + "/files/IMG_1.jpg"));
    EXPECT_FALSE(isPathInTrash(QDir::cleanPath(top + "/.Trash-" + uid + "x/files/IMG_1.jpg")));
}

TEST_F(TrashTest, ignoresARelativeDataHome)
{
    qputenv("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(trashDirectoriesForPath("/tmp/x.jpg").first(), QDir::homePath() + "/.local/share/Trash");
}
