#include "batch/intake/PhotoIntakeWalk.h"

#include "support/PhotoLibraryFixtures.h"
#include "support/UndecodableNamedFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace PhotoLibraryFixtures;
using namespace Qt::Literals::StringLiterals;

namespace {

// Folder trees of empty files: the walk looks at names only, never inside a file.
class IntakeWalk : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    QString touch(const QString& relative) const
    {
        const QString file = path(relative);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly)) << qPrintable(file);
        return file;
    }

    QStringList walk(const QStringList& paths, PhotoIntakeWalk::Options options = {}, QSet<QString> inBatch = {})
    {
        PhotoIntakeWalk walk(std::move(inBatch), std::move(options), m_stop);
        QStringList accepted;
        walk.run(paths, [&](const QString& accepted_) {
            accepted.append(accepted_);
            if (m_stopAfter > 0 && accepted.size() == m_stopAfter)
                m_stop = true;
        });
        m_counts = walk.counts();
        m_limitExceeded = walk.limitExceeded();
        m_stopped = walk.stopped();
        return accepted;
    }

    QTemporaryDir m_dir;
    std::atomic<bool> m_stop { false };
    int m_stopAfter = 0;
    PhotoIntakeCounts m_counts;
    bool m_limitExceeded = false;
    bool m_stopped = false;
};

} // namespace

TEST_F(IntakeWalk, takesEachFolderDepthFirstInNameOrderAndSkipsHiddenEntries)
{
    touch("tree/b.jpg");
    touch("tree/a/z.jpg");
    touch("tree/a/.hidden.jpg");
    touch("tree/.cache/inside.jpg");
    touch("tree/C.jpg");
    touch("tree/c/y.jpg");

    EXPECT_EQ(walk({ path("tree") }),
        QStringList({ path("tree/C.jpg"), path("tree/a/z.jpg"), path("tree/b.jpg"), path("tree/c/y.jpg") }));
    EXPECT_EQ(m_counts, PhotoIntakeCounts());
}

TEST_F(IntakeWalk, offersAHiddenFileChosenByItself)
{
    const QString hidden = touch("folder/.hidden.jpg");
    EXPECT_EQ(walk({ hidden }), QStringList({ hidden }));
    EXPECT_EQ(walk({ path("folder") }), QStringList());
}

TEST_F(IntakeWalk, keepsNamesWithSpacesAndNonAsciiLettersAsTheyAre)
{
    const QString spaced = touch(QStringLiteral("Urlaub 2024/Strand am Meer.JPG"));
    const QString accented = touch(QStringLiteral("Urlaub 2024/Crémieux Ωμέγα 東京.jpg"));
    EXPECT_EQ(walk({ path(QStringLiteral("Urlaub 2024")) }), QStringList({ accented, spaced }));
}

TEST_F(IntakeWalk, refusesDuplicatesByTheirExactPathText)
{
    const QString inList = touch("a.jpg");
    const QString otherCase = touch("A.jpg");
    const QString fresh = touch("b.jpg");

    // The same file reached twice (itself and through its folder) comes in once.
    EXPECT_EQ(walk({ inList, otherCase, fresh, m_dir.path() }, {}, { inList }), QStringList({ otherCase, fresh }));
    EXPECT_EQ(m_counts.alreadyExistsPhotosCount, 4); // a.jpg twice, A.jpg and b.jpg once through the folder
    EXPECT_EQ(m_counts.damagedFileCount, 4);
    EXPECT_TRUE(m_counts.isPhotosAlreadyAdded);
    EXPECT_FALSE(m_counts.isPhotoFormatNotSupported);
}

TEST_F(IntakeWalk, countsRefusedTypesAndGoesOn)
{
    touch("f/notes.txt");
    touch("f/vector.eps");
    touch("f/photo.jpg");
    touch("f/README");
    EXPECT_EQ(walk({ path("f") }), QStringList({ path("f/photo.jpg") }));
    EXPECT_EQ(m_counts.damagedFileCount, 3);
    EXPECT_TRUE(m_counts.isPhotoFormatNotSupported);
    EXPECT_FALSE(m_counts.isPhotosAlreadyAdded);
}

TEST_F(IntakeWalk, refusesAFifoOrSocketNamedLikeAPhotoAndNamesEveryRefusedPath)
{
    touch("f/a.jpg");
    touch("f/b.webp");
    touch("f/notes.txt");
    const QString fifo = path("f/fifo.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString chosenFifo = path("chosen.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(chosenFifo).constData(), 0600), 0);
    // A link to a FIFO is refused as the FIFO itself.
    ASSERT_TRUE(QFile::link(fifo, path("f/link.jpg")));

    QStringList refused;
    PhotoIntakeWalk::Options options;
    options.onRefused = [&](const QString& file, PhotoVerdict verdict) {
        refused.append(QFileInfo(file).fileName() + u' ' + photoVerdictText(verdict, file));
    };
    EXPECT_EQ(walk({ path("f"), chosenFifo }, options), QStringList({ path("f/a.jpg") }));
    EXPECT_EQ(refused,
        QStringList({ u"b.webp Velloran cannot edit \".webp\" files"_s,
            u"fifo.jpg it is a named pipe (FIFO), socket or device, not a file"_s,
            u"link.jpg it is a named pipe (FIFO), socket or device, not a file"_s,
            u"notes.txt \".txt\" is not an image's extension"_s,
            u"chosen.jpg it is a named pipe (FIFO), socket or device, not a file"_s }));
    EXPECT_EQ(m_counts.damagedFileCount, 5);
    EXPECT_TRUE(m_counts.isPhotoFormatNotSupported);
}

TEST_F(IntakeWalk, refusesAFileWhoseNameIsNotUtf8AsAFileThatCannotBeAdded)
{
    touch("f/good.jpg");
    const UndecodableNamedFile bad(QFile::encodeName(path("f")) + "/bad\xff\xfe.jpg");
    ASSERT_TRUE(bad.isMade());

    EXPECT_EQ(walk({ path("f") }), QStringList({ path("f/good.jpg") }));
    EXPECT_EQ(m_counts.damagedFileCount, 1);
    EXPECT_TRUE(m_counts.isPhotoFormatNotSupported);
}

TEST_F(IntakeWalk, neverFollowsALinkToAFolderSoALoopEnds)
{
    touch("tree/a/photo.jpg");
    const QString file = touch("elsewhere/linked.jpg");
    ASSERT_TRUE(QFile::link(path("tree"), path("tree/a/loop")));
    ASSERT_TRUE(QFile::link(path("elsewhere"), path("tree/outside")));
    ASSERT_TRUE(QFile::link(file, path("tree/file-link.jpg")));

    EXPECT_EQ(walk({ path("tree") }), QStringList({ path("tree/a/photo.jpg"), path("tree/file-link.jpg") }));
    EXPECT_EQ(m_counts, PhotoIntakeCounts());
}

TEST_F(IntakeWalk, skipsOnlyTheFolderItCannotReadAndWalksItsSiblings)
{
    touch("tree/a.jpg");
    touch("tree/z.jpg");
    // A folder whose path is longer than the system accepts cannot be opened,
    // whoever runs the test. Built one level at a time through descriptors.
    int fd = ::open(QFile::encodeName(path("tree")).constData(), O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const QByteArray level(250, 'd');
    QList<int> fds { fd };
    for (int depth = 0; depth < 18; ++depth) {
        ASSERT_EQ(::mkdirat(fds.last(), level.constData(), 0755), 0);
        const int next = ::openat(fds.last(), level.constData(), O_DIRECTORY);
        ASSERT_GE(next, 0);
        fds.append(next);
    }
    const int photo = ::openat(fds.last(), "deep.jpg", O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(photo, 0);
    ::close(photo);

    EXPECT_EQ(walk({ path("tree") }), QStringList({ path("tree/a.jpg"), path("tree/z.jpg") }));
    EXPECT_EQ(m_counts.unreadableFolderCount, 1);

    // QTemporaryDir cannot reach that deep: take the chain down through the descriptors.
    ASSERT_EQ(::unlinkat(fds.last(), "deep.jpg", 0), 0);
    for (qsizetype i = fds.size() - 1; i > 0; --i) {
        ::close(fds.at(i));
        ASSERT_EQ(::unlinkat(fds.at(i - 1), level.constData(), AT_REMOVEDIR), 0);
    }
    ::close(fds.first());
}

TEST_F(IntakeWalk, endsAtTheLimitWithoutReadingFurtherPaths)
{
    touch("one/1.jpg");
    touch("one/2.jpg");
    touch("one/3.jpg");
    touch("one/x.txt");
    touch("two/4.jpg");
    PhotoIntakeWalk::Options options;
    options.maxPhotos = 2;

    EXPECT_EQ(walk({ path("one"), path("two") }, options), QStringList({ path("one/1.jpg"), path("one/2.jpg") }));
    EXPECT_TRUE(m_limitExceeded);
    EXPECT_EQ(m_counts.damagedFileCount, 0); // x.txt comes after the limit
}

TEST_F(IntakeWalk, stopsAfterThePhotoInHandAndReadsNoLaterFolder)
{
    touch("one/1.jpg");
    touch("one/2.jpg");
    touch("one/3.jpg");
    touch("two/4.jpg");
    m_stopAfter = 2;

    EXPECT_EQ(walk({ path("one"), path("two") }), QStringList({ path("one/1.jpg"), path("one/2.jpg") }));
    EXPECT_TRUE(m_stopped);
    EXPECT_FALSE(m_limitExceeded);
}

TEST_F(IntakeWalk, readsAPhotosLibraryChosenItselfButNotOneInsideAFolder)
{
    const QString library = path("pics/Family.photoslibrary");
    const QString master = touch("pics/Family.photoslibrary/Masters/2020/a.jpg");
    touch("pics/Family.photoslibrary/Masters/2020/b.jpg");
    const QString outside = touch("pics/loose.jpg");
    {
        SqliteDatabase db = createPhotosDatabase(library + QStringLiteral("/database/photos.db"));
        addPhotosMaster(db, "M1", "2020/a.jpg", 10);
        addPhotosMaster(db, "M2", "2020/gone.jpg", 10);
        // Two versions of one master: the second entry meets the duplicate test.
        addPhotosVersion(db, 1, "V1", "M1", "a.jpg", {});
        addPhotosVersion(db, 2, "V2", "M1", "a copy.jpg", {});
        addPhotosVersion(db, 3, "V3", "M2", "gone.jpg", {});
    }

    EXPECT_EQ(walk({ path("pics") }), QStringList({ outside }));
    EXPECT_EQ(m_counts, PhotoIntakeCounts());

    EXPECT_EQ(walk({ library }), QStringList({ master }));
    EXPECT_EQ(m_counts.alreadyExistsPhotosCount, 1);
    EXPECT_EQ(m_counts.damagedFileCount, 1); // the missing master is passed over without a count
}

TEST_F(IntakeWalk, readsAnOlderLibraryWithoutChangingTheCaseOfItsPath)
{
    const QString library = path("Old iPhoto.photolibrary");
    const QString image = touch("Old iPhoto.photolibrary/Masters/2012/Beach.jpg");
    {
        SqliteDatabase db = createOlderLibraryDatabase(library);
        addOlderFolder(db, "F1", "Summer");
        addOlderMaster(db, "M1", "2012/Beach.jpg");
        addOlderVersion(db, 1, "V1", "M1", "F1", "Beach");
    }
    writeXmlList(library + QStringLiteral("/AlbumData.xml"), library, { { "1", image, image } });

    EXPECT_EQ(walk({ library }), QStringList({ image }));
}

TEST_F(IntakeWalk, refusesWhatALibraryListsOutsideItself)
{
    const QString library = path("Family.photoslibrary");
    const QString master = touch("Family.photoslibrary/Masters/a.jpg");
    touch("outside/secret.jpg");
    touch("outside/linked.jpg");
    ASSERT_TRUE(QFile::link(path("outside/linked.jpg"), path("Family.photoslibrary/Masters/link.jpg")));
    {
        SqliteDatabase db = createPhotosDatabase(library + QStringLiteral("/database/photos.db"));
        addPhotosMaster(db, "M1", "a.jpg", 10);
        addPhotosMaster(db, "M2", "../../outside/secret.jpg", 10);
        addPhotosMaster(db, "M3", "link.jpg", 10);
        addPhotosVersion(db, 1, "V1", "M1", "a.jpg", {});
        addPhotosVersion(db, 2, "V2", "M2", "secret.jpg", {});
        addPhotosVersion(db, 3, "V3", "M3", "link.jpg", {});
    }
    EXPECT_EQ(walk({ library }), QStringList({ master }));
    EXPECT_EQ(m_counts.damagedFileCount, 2);
    EXPECT_EQ(m_counts.outsideLibraryCount, 2);
    EXPECT_FALSE(m_counts.isPhotoFormatNotSupported); // that reason is not theirs

    const QString older = path("Old.photolibrary");
    const QString image = touch("Old.photolibrary/Masters/Beach.jpg");
    {
        SqliteDatabase db = createOlderLibraryDatabase(older);
        addOlderFolder(db, "F1", "Summer");
        addOlderMaster(db, "M1", "Beach.jpg");
        addOlderMaster(db, "M2", "Secret.jpg");
        addOlderVersion(db, 1, "V1", "M1", "F1", "Beach");
        addOlderVersion(db, 2, "V2", "M2", "F1", "Secret");
    }
    const QString secret = path("outside/secret.jpg");
    writeXmlList(older + QStringLiteral("/AlbumData.xml"), older, { { "1", image, image }, { "2", secret, secret } });
    EXPECT_EQ(walk({ older }), QStringList({ image }));
    EXPECT_EQ(m_counts.damagedFileCount, 1);
    EXPECT_EQ(m_counts.outsideLibraryCount, 1);
}
