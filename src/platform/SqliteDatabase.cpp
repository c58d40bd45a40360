#include "platform/SqliteDatabase.h"

#include <sqlite3.h>

void SqliteDatabase::Closer::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

void SqliteStatement::Finalizer::operator()(sqlite3_stmt* stmt) const
{
    sqlite3_finalize(stmt);
}

SqliteDatabase SqliteDatabase::open(const QString& path, OpenMode mode)
{
    SqliteDatabase database;
    const int flags = mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* handle = nullptr;
    const QByteArray utf8Path = path.toUtf8();
    const int rc = sqlite3_open_v2(utf8Path.constData(), &handle, flags, nullptr);
    if (rc != SQLITE_OK) {
        // Even a failed open may hand back a connection that carries the message.
        database.m_error = handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(handle);
        return database;
    }
    database.m_db.reset(handle);
    return database;
}

SqliteStatement SqliteDatabase::prepare(const QString& sql)
{
    SqliteStatement statement;
    if (!m_db) {
        statement.m_error = m_error.isEmpty() ? QStringLiteral("the database is not open") : m_error;
        return statement;
    }
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* handle = nullptr;
    if (sqlite3_prepare_v2(m_db.get(), utf8.constData(), static_cast<int>(utf8.size()), &handle, nullptr)
        != SQLITE_OK) {
        m_error = statement.m_error = QString::fromUtf8(sqlite3_errmsg(m_db.get()));
        sqlite3_finalize(handle);
        return statement;
    }
    statement.m_stmt.reset(handle);
    return statement;
}

bool SqliteDatabase::execute(const QString& sql)
{
    if (!m_db)
        return false;
    char* message = nullptr;
    if (sqlite3_exec(m_db.get(), sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        m_error = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errmsg(m_db.get()));
        sqlite3_free(message);
        return false;
    }
    return true;
}

void SqliteStatement::bind(int index, const QString& value)
{
    if (!m_stmt)
        return;
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text64(
        m_stmt.get(), index, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void SqliteStatement::bind(int index, qint64 value)
{
    if (m_stmt)
        sqlite3_bind_int64(m_stmt.get(), index, value);
}

void SqliteStatement::bindNull(int index)
{
    if (m_stmt)
        sqlite3_bind_null(m_stmt.get(), index);
}

SqliteStatement::Step SqliteStatement::step()
{
    if (!m_stmt)
        return Step::Error;
    const int rc = sqlite3_step(m_stmt.get());
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::Done;
    m_error = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_stmt.get())));
    return Step::Error;
}

void SqliteStatement::reset()
{
    if (m_stmt)
        sqlite3_reset(m_stmt.get());
}

bool SqliteStatement::isNull(int column) const
{
    return !m_stmt || sqlite3_column_type(m_stmt.get(), column) == SQLITE_NULL;
}

QString SqliteStatement::columnText(int column) const
{
    if (!m_stmt)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt.get(), column));
    if (!text)
        return {}; // NULL, and also a failed conversion (out of memory): both read as empty text
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt.get(), column));
}

qint64 SqliteStatement::columnInt64(int column) const
{
    return m_stmt ? sqlite3_column_int64(m_stmt.get(), column) : 0;
}

int SqliteStatement::columnInt(int column) const
{
    return m_stmt ? sqlite3_column_int(m_stmt.get(), column) : 0;
}
