#include "platform/HeldFolder.h"
#include "platform/TemporaryNames.h"

#include "support/HoldingChild.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// Another run's folder, with a file in it; reports the folder's path.
QString folderWithACopy(const QString& parent)
{
    static std::unique_ptr<HeldFolder> folder;
    folder = std::make_unique<HeldFolder>(parent, u"run-"_s);
    QFile(folder->filePath(u"copy"_s)).open(QIODevice::WriteOnly);
    return folder->path();
}

} // namespace

// A folder whose maker is gone goes with all it holds, however recent, a link's
// target kept; a live maker's folder stays, in this process or another.
TEST(HeldFolder, foldersOfEndedRunsAreRemovedWhateverTheirAgeAndLiveOnesKept)
{
    QTemporaryDir parent;
    const QString outside = parent.filePath(u"photo.heic"_s);
    QFile(outside).open(QIODevice::WriteOnly);
    HoldingChild live([&] { return folderWithACopy(parent.path()); });
    const QString liveFolder = live.reported();
    ASSERT_TRUE(QFileInfo::exists(QDir(liveFolder).filePath(u"copy"_s)));

    const QString ended = parent.filePath(QString::fromLatin1(TemporaryNames::make("run-")));
    QDir().mkpath(ended + u"/inner"_s);
    QFile(ended + u"/inner/copy"_s).open(QIODevice::WriteOnly);
    QFile::link(outside, ended + u"/link.heic"_s);
    // Named as older versions named theirs: ours where it holds their lock record, else the user's.
    const QString olderEnded = parent.filePath(u"run-ab12CD"_s);
    QDir().mkpath(olderEnded);
    QFile(olderEnded + u"/owner.lock"_s).open(QIODevice::WriteOnly);
    const QString usersFolder = parent.filePath(u"run-backup"_s);
    QDir().mkpath(usersFolder);
    QFile(usersFolder + u"/notes.txt"_s).open(QIODevice::WriteOnly);
    const QString notOurs = parent.filePath(u"run-results"_s);
    const QString linked = parent.filePath(u"run-Link12"_s);
    QDir().mkpath(notOurs);
    QFile::link(parent.path(), linked);

    {
        const HeldFolder own(parent.path(), u"run-"_s);
        ASSERT_TRUE(own.isValid()) << own.errorString().toStdString();
        EXPECT_EQ(QFileInfo(own.path()).permissions() & 0x0077, 0);
        EXPECT_FALSE(QFileInfo::exists(ended));
        EXPECT_FALSE(QFileInfo::exists(olderEnded));
        EXPECT_TRUE(QFileInfo::exists(usersFolder + u"/notes.txt"_s));
        EXPECT_TRUE(QFileInfo::exists(outside));
        EXPECT_TRUE(QFileInfo::exists(liveFolder));
        EXPECT_TRUE(QFileInfo::exists(notOurs));
        EXPECT_TRUE(QFileInfo(linked).isSymLink());
        EXPECT_EQ(HeldFolder::removeAbandoned(parent.path(), u"run-"_s), 0);
        EXPECT_TRUE(QFileInfo(own.path()).isDir());

        // The other run is killed: its folder goes at the next look, ours stays.
        live.end();
        EXPECT_EQ(HeldFolder::removeAbandoned(parent.path(), u"run-"_s), 1);
        EXPECT_FALSE(QFileInfo::exists(liveFolder));
        EXPECT_TRUE(QFileInfo(own.path()).isDir());
    }
    EXPECT_EQ(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
        QStringList({ u"photo.heic"_s, u"run-backup"_s, u"run-Link12"_s, u"run-results"_s }));
}
