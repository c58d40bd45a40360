#include "batch/list/ThumbnailCache.h"

#include "support/TestSupport.h"

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs the event loop until no load is running (or ten seconds have passed).
bool waitForLoads(ThumbnailCache& cache)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (cache.loadingCount() == 0)
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return cache.loadingCount() == 0;
}

QString sample(const char* name)
{
    return samplesDir() + u'/' + QString::fromLatin1(name);
}

} // namespace

TEST(ThumbnailCache, loadsAThumbnailThatFitsTheRowAndNamesItsPath)
{
    ThumbnailCache cache;
    const QString path = sample("orientation/portrait_6.jpg");
    QStringList ready;
    QObject::connect(&cache, &ThumbnailCache::thumbnailReady, [&](const QString& p) { ready.append(p); });
    EXPECT_EQ(cache.state(path), ThumbnailCache::State::Missing);
    cache.request({ path });
    cache.request({ path }); // already loading: not loaded twice
    ASSERT_TRUE(waitForLoads(cache));
    EXPECT_EQ(ready, QStringList({ path }));
    const QImage image = cache.thumbnail(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_LE(image.width(), 96);
    EXPECT_LE(image.height(), 70);
    EXPECT_GT(image.height(), image.width()); // turned upright: a portrait
    EXPECT_EQ(cache.state(path), ThumbnailCache::State::Ready);
}

TEST(ThumbnailCache, marksAFileWithoutAnImageUnavailableAndTriesAgainWhenAsked)
{
    ThumbnailCache cache;
    const QString broken = sample("invalid/corrupted.jpg");
    const QString missing = QStringLiteral("/nowhere/photo.jpg");
    int unavailable = 0;
    QObject::connect(&cache, &ThumbnailCache::thumbnailUnavailable, [&] { ++unavailable; });
    cache.request({ missing });
    ASSERT_TRUE(waitForLoads(cache));
    EXPECT_EQ(cache.state(missing), ThumbnailCache::State::Unavailable);
    cache.request({ missing, broken });
    ASSERT_TRUE(waitForLoads(cache));
    EXPECT_GE(unavailable, 2);
    EXPECT_NE(cache.state(broken), ThumbnailCache::State::Loading);
}

TEST(ThumbnailCache, standsTheTypeIconInOnlyForAFileWithoutAPicture)
{
    ThumbnailCache cache;
    const QString photo = sample("orientation/portrait_6.jpg");
    const QString missing = QStringLiteral("/nowhere/photo.jpg");
    cache.request({ photo, missing });
    ASSERT_TRUE(waitForLoads(cache));
    EXPECT_TRUE(cache.typeIconNames(photo).isEmpty());
    EXPECT_EQ(cache.state(missing), ThumbnailCache::State::Unavailable);
    EXPECT_EQ(cache.typeIconNames(missing), QStringList({ QStringLiteral("image-jpeg"), QStringLiteral("image-x-generic") }));

    // Without an icon theme such a file shows a neutral photo file of ours: it is
    // editable, so it never gets the "not available" sign.
    using State = ThumbnailCache::State;
    EXPECT_EQ(ThumbnailCache::standInImageName(State::Unavailable, true), "photo_file.png");
    EXPECT_EQ(ThumbnailCache::standInImageName(State::Unavailable, false), "not_av_small.png");
    EXPECT_EQ(ThumbnailCache::standInImageName(State::Loading, false), "place_holder.png");
}

TEST(ThumbnailCache, staysWithinItsByteBound)
{
    const qint64 bound = 96 * 70 * 4 * 2; // room for two thumbnails at most
    ThumbnailCache cache(ThumbnailCache::defaultThumbnailSize(), bound);
    const QStringList paths { sample("camera/Canon_40D.jpg"), sample("camera/Nikon_D70.jpg"),
        sample("camera/Pentax_K10D.jpg"), sample("gps/DSCN0010.jpg") };
    cache.request(paths);
    ASSERT_TRUE(waitForLoads(cache));
    EXPECT_GT(cache.totalBytes(), 0);
    EXPECT_LE(cache.totalBytes(), bound);
    int cached = 0;
    for (const QString& path : paths)
        cached += cache.state(path) == ThumbnailCache::State::Ready;
    EXPECT_LT(cached, paths.size());
}
