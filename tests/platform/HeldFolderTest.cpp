#include "platform/HeldFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// A child process that makes a held folder in parent, puts a file in it and waits
// for its end; answers its id and the folder's path.
std::pair<pid_t, QString> childHoldingAFolder(const QString& parent)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return { -1, QString() };
    const pid_t child = ::fork();
    if (child == 0) {
        const HeldFolder folder(parent, u"run-"_s);
        QFile(folder.filePath(u"copy"_s)).open(QIODevice::WriteOnly);
        const QByteArray path = QFile::encodeName(folder.path());
        (void)!::write(ready[1], path.constData(), size_t(path.size()));
        ::close(ready[1]);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char path[4096] = {};
    const ssize_t length = child > 0 ? ::read(ready[0], path, sizeof path - 1) : -1;
    ::close(ready[0]);
    return { child, length > 0 ? QFile::decodeName(QByteArray(path, length)) : QString() };
}

} // namespace

// A folder whose maker is gone goes with all it holds, however recent, a link's
// target kept; a live maker's folder stays, in this process or another.
TEST(HeldFolder, foldersOfEndedRunsAreRemovedWhateverTheirAgeAndLiveOnesKept)
{
    QTemporaryDir parent;
    const QString outside = parent.filePath(u"photo.heic"_s);
    QFile(outside).open(QIODevice::WriteOnly);
    const auto [live, liveFolder] = childHoldingAFolder(parent.path());
    ASSERT_GT(live, 0);
    ASSERT_TRUE(QFileInfo::exists(QDir(liveFolder).filePath(u"copy"_s)));

    const QString ended = parent.filePath(u"run-ab12CD"_s);
    QDir().mkpath(ended + u"/inner"_s);
    QFile(ended + u"/inner/copy"_s).open(QIODevice::WriteOnly);
    QFile::link(outside, ended + u"/link.heic"_s);
    const QString notOurs = parent.filePath(u"run-results"_s);
    const QString linked = parent.filePath(u"run-Link12"_s);
    QDir().mkpath(notOurs);
    QFile::link(parent.path(), linked);

    {
        const HeldFolder own(parent.path(), u"run-"_s);
        ASSERT_TRUE(own.isValid()) << own.errorString().toStdString();
        EXPECT_EQ(QFileInfo(own.path()).permissions() & 0x0077, 0);
        EXPECT_FALSE(QFileInfo::exists(ended));
        EXPECT_TRUE(QFileInfo::exists(outside));
        EXPECT_TRUE(QFileInfo::exists(liveFolder));
        EXPECT_TRUE(QFileInfo::exists(notOurs));
        EXPECT_TRUE(QFileInfo(linked).isSymLink());
        EXPECT_EQ(HeldFolder::removeAbandoned(parent.path(), u"run-"_s), 0);
        EXPECT_TRUE(QFileInfo(own.path()).isDir());

        // The other run is killed: its folder goes at the next look, ours stays.
        ::kill(live, SIGKILL);
        ::waitpid(live, nullptr, 0);
        EXPECT_EQ(HeldFolder::removeAbandoned(parent.path(), u"run-"_s), 1);
        EXPECT_FALSE(QFileInfo::exists(liveFolder));
        EXPECT_TRUE(QFileInfo(own.path()).isDir());
    }
    EXPECT_EQ(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
        QStringList({ u"photo.heic"_s, u"run-Link12"_s, u"run-results"_s }));
}
