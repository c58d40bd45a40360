#include "platform/SqliteDatabase.h"

#include <sqlite3.h>

// What the progress handler of a guarded connection watches. Shared by the
// connection and its statements, so a statement can tell why it ended.
struct SqliteGuard {
    const std::atomic<bool>* stop = nullptr;
    qint64 maxTemporaryBytes = 0;
    QDeadlineTimer deadline;
    // SQLite's heap when the current statement began; its growth is what the
    // statement's temporary tables, sorts and materialized views hold.
    sqlite3_int64 heapAtStart = 0;
    bool stopped = false;
    bool exceededStorage = false;
    bool passedDeadline = false;

    void begin()
    {
        heapAtStart = sqlite3_memory_used();
        stopped = false;
        exceededStorage = false;
        passedDeadline = false;
    }
};

namespace {

// Called every kProgressSteps virtual-machine steps: a few thousand steps take well
// under a millisecond, so a stop or an overrun ends the statement at once.
constexpr int kProgressSteps = 4096;

int checkGuard(void* context)
{
    auto* guard = static_cast<SqliteGuard*>(context);
    if (guard->stop && guard->stop->load(std::memory_order_relaxed)) {
        guard->stopped = true;
        return 1;
    }
    // The heap is the process's, but only the library readers use SQLite, one
    // connection at a time: its growth is this statement's.
    if (sqlite3_memory_used() - guard->heapAtStart > guard->maxTemporaryBytes) {
        guard->exceededStorage = true;
        return 1;
    }
    if (guard->deadline.hasExpired()) {
        guard->passedDeadline = true;
        return 1;
    }
    return 0;
}

} // namespace

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

SqliteDatabase SqliteDatabase::openGuarded(
    const QString& path, const std::atomic<bool>* stop, qint64 maxTemporaryBytes, QDeadlineTimer deadline)
{
    SqliteDatabase database = open(path, OpenMode::ReadOnly);
    if (!database.m_db)
        return database;
    sqlite3* db = database.m_db.get();
    // A crafted schema must not reach outside the query: no writable schema, no
    // functions with side effects in its views and triggers.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    // A value that would pass the bound ends its statement with SQLITE_TOOBIG
    // (printf() gives NULL instead) before its memory is taken.
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
    // Temporary tables in memory, where the progress handler sees them grow, and
    // not in a file under TMPDIR that nothing bounds.
    if (!database.execute(QStringLiteral("PRAGMA temp_store=MEMORY"))) {
        database.m_db.reset();
        return database;
    }
    database.m_guard = std::make_shared<SqliteGuard>();
    database.m_guard->stop = stop;
    database.m_guard->maxTemporaryBytes = maxTemporaryBytes;
    database.m_guard->deadline = deadline;
    database.m_guard->begin();
    sqlite3_progress_handler(db, kProgressSteps, checkGuard, database.m_guard.get());
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
    statement.m_guard = m_guard;
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
    if (m_guard && !m_started)
        m_guard->begin();
    m_started = true;
    const int rc = sqlite3_step(m_stmt.get());
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::Done;
    m_error = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_stmt.get())));
    if (m_guard && rc == SQLITE_INTERRUPT) {
        m_stopped = m_guard->stopped;
        m_exceededStorage = m_guard->exceededStorage;
        m_passedDeadline = m_guard->passedDeadline;
    }
    m_exceededLength = m_guard && rc == SQLITE_TOOBIG;
    return Step::Error;
}

void SqliteStatement::reset()
{
    if (m_stmt)
        sqlite3_reset(m_stmt.get());
    m_started = false;
}

bool SqliteStatement::isNull(int column) const
{
    return !m_stmt || sqlite3_column_type(m_stmt.get(), column) == SQLITE_NULL;
}

SqliteStatement::ColumnType SqliteStatement::columnType(int column) const
{
    switch (m_stmt ? sqlite3_column_type(m_stmt.get(), column) : SQLITE_NULL) {
    case SQLITE_INTEGER:
        return ColumnType::Integer;
    case SQLITE_FLOAT:
        return ColumnType::Float;
    case SQLITE_TEXT:
        return ColumnType::Text;
    case SQLITE_BLOB:
        return ColumnType::Blob;
    default:
        return ColumnType::Null;
    }
}

QString SqliteStatement::columnName(int column) const
{
    const char* name = m_stmt ? sqlite3_column_name(m_stmt.get(), column) : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}

qsizetype SqliteStatement::columnBytes(int column) const
{
    return m_stmt ? qsizetype(sqlite3_column_bytes(m_stmt.get(), column)) : 0;
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
