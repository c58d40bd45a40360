#include "platform/SqliteDatabase.h"

#include <QTemporaryDir>
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
