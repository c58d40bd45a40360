#include "platform/SqliteDatabase.h"

#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>

TEST(SqliteDatabase, readsNullAsEmptyTextAndKeepsBoundTextVerbatim)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.db"));
    {
        SqliteDatabase db = SqliteDatabase::open(path, SqliteDatabase::OpenMode::ReadWriteCreate);
        ASSERT_TRUE(db.execute(QStringLiteral("CREATE TABLE t (a TEXT, b INTEGER)")));
        SqliteStatement insert = db.prepare(QStringLiteral("INSERT INTO t VALUES (?1, ?2)"));
        insert.bind(1, QStringLiteral("x'); DROP TABLE t; --  Ünïcødé"));
        insert.bind(2, qint64(1) << 40);
        ASSERT_EQ(insert.step(), SqliteStatement::Step::Done);
        insert.reset();
        insert.bindNull(1);
        insert.bindNull(2);
        ASSERT_EQ(insert.step(), SqliteStatement::Step::Done);
    }

    SqliteDatabase db = SqliteDatabase::open(path, SqliteDatabase::OpenMode::ReadOnly);
    SqliteStatement select = db.prepare(QStringLiteral("SELECT a, b FROM t ORDER BY rowid"));
    ASSERT_EQ(select.step(), SqliteStatement::Step::Row);
    EXPECT_EQ(select.columnText(0), QStringLiteral("x'); DROP TABLE t; --  Ünïcødé"));
    EXPECT_EQ(select.columnInt64(1), qint64(1) << 40);
    ASSERT_EQ(select.step(), SqliteStatement::Step::Row);
    EXPECT_TRUE(select.isNull(0));
    EXPECT_EQ(select.columnText(0), QString());
    EXPECT_EQ(select.columnInt64(1), 0);
    EXPECT_EQ(select.step(), SqliteStatement::Step::Done);
}

TEST(SqliteDatabase, readOnlyRefusesWritesAndMissingFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.db"));
    EXPECT_FALSE(SqliteDatabase::open(path, SqliteDatabase::OpenMode::ReadOnly).isOpen());

    SqliteDatabase::open(path, SqliteDatabase::OpenMode::ReadWriteCreate).execute(QStringLiteral("CREATE TABLE t (a)"));
    SqliteDatabase db = SqliteDatabase::open(path, SqliteDatabase::OpenMode::ReadOnly);
    ASSERT_TRUE(db.isOpen());
    EXPECT_FALSE(db.execute(QStringLiteral("INSERT INTO t VALUES (1)")));
    EXPECT_FALSE(db.errorMessage().isEmpty());
    SqliteStatement broken = db.prepare(QStringLiteral("SELECT nothing FROM nowhere"));
    EXPECT_FALSE(broken.isValid());
    EXPECT_EQ(broken.step(), SqliteStatement::Step::Error);
}

TEST(SqliteDatabase, guardedEndsAStatementAtTheStopTheDeadlineOrABoundAndSaysWhich)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.db"));
    SqliteDatabase::open(path, SqliteDatabase::OpenMode::ReadWriteCreate).execute(QStringLiteral("CREATE TABLE t (a)"));
    // A million distinct rows sorted: far more than 1 MiB of temporary storage.
    const QString heavy = QStringLiteral("WITH RECURSIVE r(n) AS (SELECT 1 UNION SELECT n + 1 FROM r LIMIT 1000000) "
                                         "SELECT n FROM r ORDER BY n DESC");

    std::atomic<bool> stop { false };
    SqliteDatabase db = SqliteDatabase::openGuarded(path, &stop, qint64(1) << 20);
    ASSERT_TRUE(db.isOpen());
    EXPECT_FALSE(db.execute(QStringLiteral("INSERT INTO t VALUES (1)"))); // read-only

    SqliteStatement bounded = db.prepare(heavy);
    EXPECT_EQ(bounded.step(), SqliteStatement::Step::Error);
    EXPECT_TRUE(bounded.exceededTemporaryStorage());
    EXPECT_FALSE(bounded.wasStopped());

    SqliteStatement light = db.prepare(QStringLiteral("SELECT count(*) FROM t"));
    ASSERT_EQ(light.step(), SqliteStatement::Step::Row);
    EXPECT_EQ(light.columnType(0), SqliteStatement::ColumnType::Integer);
    stop = true;
    SqliteStatement stopped = db.prepare(heavy);
    EXPECT_EQ(stopped.step(), SqliteStatement::Step::Error);
    EXPECT_TRUE(stopped.wasStopped());
    EXPECT_FALSE(stopped.exceededTemporaryStorage());

    // A deadline that has passed ends the statement too, and says so.
    SqliteDatabase late
        = SqliteDatabase::openGuarded(path, nullptr, SqliteDatabase::kMaxTemporaryBytes, QDeadlineTimer(0));
    SqliteStatement timedOut = late.prepare(heavy);
    EXPECT_EQ(timedOut.step(), SqliteStatement::Step::Error);
    EXPECT_TRUE(timedOut.passedDeadline());
    EXPECT_FALSE(timedOut.wasStopped() || timedOut.exceededTemporaryStorage());

    // No value longer than the bound is made, wherever it comes from.
    const QString longValue
        = QStringLiteral("SELECT length(replace(printf('%.1100c', 'a'), 'a', printf('%.1000c', 'b')))");
    SqliteDatabase guarded = SqliteDatabase::openGuarded(path, nullptr);
    SqliteStatement tooLong = guarded.prepare(longValue);
    EXPECT_EQ(tooLong.step(), SqliteStatement::Step::Error);
    EXPECT_TRUE(tooLong.exceededValueLength());

    // Unguarded, the same queries run to their end.
    SqliteDatabase plain = SqliteDatabase::open(path, SqliteDatabase::OpenMode::ReadOnly);
    SqliteStatement made = plain.prepare(longValue);
    ASSERT_EQ(made.step(), SqliteStatement::Step::Row);
    EXPECT_EQ(made.columnInt64(0), 1100000);
    SqliteStatement all = plain.prepare(heavy);
    ASSERT_EQ(all.step(), SqliteStatement::Step::Row);
    EXPECT_EQ(all.columnInt64(0), 1000000);
}
