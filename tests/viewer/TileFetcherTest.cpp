#include "viewer/TileFetcher.h"

#include "support/LocalHttpServer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QList<TileKey> row(int count)
{
    QList<TileKey> keys;
    for (int x = 0; x < count; ++x)
        keys.append({ 5, x, 3 });
    return keys;
}

LocalHttpServer::Response tileAnswer(int delayMs = 0)
{
    LocalHttpServer::Response response;
    response.contentType = "image/png";
    response.body = LocalHttpServer::pngTile(0x336699);
    response.headers.append(std::pair<QByteArray, QByteArray>("Cache-Control", "max-age=86400"));
    response.delayMs = delayMs;
    return response;
}

} // namespace

TEST(TileFetcher, AsksPolitelyTwoAtATimeAndOnlyForWantedTiles)
{
    LocalHttpServer server([](const LocalHttpServer::Request&) { return tileAnswer(50); });
    QTemporaryDir cache;
    TileFetcher fetcher(server.baseUrl() + QStringLiteral("/{z}/{x}/{y}.png"), cache.path());
    QSignalSpy ready(&fetcher, &TileFetcher::tileReady);

    fetcher.request(row(6));
    EXPECT_LE(fetcher.requestsInFlight(), TileFetcher::kMaximumConnections);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.size() == 6; }, 10000));
    EXPECT_LE(server.mostConcurrentConnections(), 2);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 6);
    EXPECT_EQ(requests.first().path, QByteArray("/5/0/3.png"));
    EXPECT_TRUE(requests.first().headers.value("user-agent").startsWith("Velloran/"));
    EXPECT_FALSE(fetcher.tile({ 5, 0, 3 }).isNull());
    EXPECT_EQ(fetcher.tile({ 5, 0, 3 }).width(), 256);

    // Tiles in memory are not asked again; tiles the view left before their turn are not asked at all.
    fetcher.request(row(6) + QList<TileKey> { { 6, 0, 0 }, { 6, 1, 0 }, { 6, 2, 0 }, { 6, 3, 0 } });
    fetcher.request({ { 6, 0, 0 } });
    ASSERT_TRUE(QTest::qWaitFor([&] { return fetcher.requestsInFlight() == 0; }, 10000));
    EXPECT_LE(server.requestCount(), 6 + 2);
}

TEST(TileFetcher, FailedTileWaitsForItsBackOffInsteadOfLooping)
{
    LocalHttpServer server([](const LocalHttpServer::Request& request) {
        if (request.path.startsWith("/5/1/"))
            return LocalHttpServer::Response { 503, "text/plain", "busy", {}, 0 };
        return tileAnswer();
    });
    TileFetcher fetcher(server.baseUrl() + QStringLiteral("/{z}/{x}/{y}.png"), {});
    QSignalSpy failed(&fetcher, &TileFetcher::tileFailed);
    QSignalSpy ready(&fetcher, &TileFetcher::tileReady);

    fetcher.request(row(2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.size() == 1 && ready.size() == 1; }, 10000));
    EXPECT_TRUE(fetcher.tile({ 5, 1, 3 }).isNull());

    // The view asks again and again (every repaint): the failed tile is not.
    for (int i = 0; i < 20; ++i)
        fetcher.request(row(2));
    QTest::qWait(300);
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_EQ(failed.size(), 1);
}

TEST(TileFetcher, OfflineReadsTheDiskCacheAndNothingElse)
{
    QTemporaryDir cache;
    auto server = std::make_unique<LocalHttpServer>([](const LocalHttpServer::Request&) { return tileAnswer(); });
    const QString url = server->baseUrl() + QStringLiteral("/{z}/{x}/{y}.png");
    {
        TileFetcher fetcher(url, cache.path());
        QSignalSpy ready(&fetcher, &TileFetcher::tileReady);
        fetcher.request(row(1));
        ASSERT_TRUE(QTest::qWaitFor([&] { return ready.size() == 1; }, 10000));
    }
    EXPECT_EQ(server->requestCount(), 1);

    // A new start, offline: the cached tile comes from disk, the other is not asked anywhere.
    TileFetcher fetcher(url, cache.path());
    fetcher.setOnline(false);
    QSignalSpy ready(&fetcher, &TileFetcher::tileReady);
    QSignalSpy failed(&fetcher, &TileFetcher::tileFailed);
    fetcher.request(row(2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.size() == 1 && failed.size() == 1; }, 10000));
    EXPECT_FALSE(fetcher.tile({ 5, 0, 3 }).isNull());
    EXPECT_EQ(server->requestCount(), 1);

    // Back online, the missing tile is asked for at once.
    fetcher.setOnline(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.size() == 2; }, 10000));
    EXPECT_EQ(server->requestCount(), 2);
}
