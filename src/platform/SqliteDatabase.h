#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <atomic>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

class SqliteStatement;
struct SqliteGuard;

// One SQLite connection, closed when the object goes. Photo libraries are only
// ever read: ReadOnly is what the readers use; ReadWriteCreate exists for the
// programs that build libraries (tests, benchmarks).
class SqliteDatabase {
public:
    enum class OpenMode { ReadOnly, ReadWriteCreate };

    // The temporary storage one guarded connection's queries may hold (256 MiB):
    // far above what reading the largest real library needs.
    static constexpr qint64 kMaxTemporaryBytes = qint64(256) << 20;
    // The longest text or binary value one guarded connection's queries may hold or
    // make (1 MiB), as SQLite's own length limit: a crafted view cannot have SQLite
    // build a value of a gigabyte before anything can look at it.
    static constexpr int kMaxValueBytes = 1 << 20;

    SqliteDatabase() = default;
    SqliteDatabase(SqliteDatabase&&) noexcept = default;
    SqliteDatabase& operator=(SqliteDatabase&&) noexcept = default;
    ~SqliteDatabase() = default;

    // Opening never throws; check isOpen() and errorMessage().
    static SqliteDatabase open(const QString& path, OpenMode mode);
    // Opens a database anyone may have crafted, read-only, so that no query over
    // it can run away: its schema's views and triggers get no functions with side
    // effects, no value longer than kMaxValueBytes is made or read, temporary tables
    // live in memory and a statement ends with an error once they pass
    // maxTemporaryBytes, and a statement also ends soon (well within a second) after
    // *stop turns true or the deadline passes. stop may be null; it must outlive the
    // connection.
    static SqliteDatabase openGuarded(const QString& path, const std::atomic<bool>* stop,
        qint64 maxTemporaryBytes = kMaxTemporaryBytes, QDeadlineTimer deadline = QDeadlineTimer::Forever);

    bool isOpen() const { return m_db != nullptr; }
    // The last failure of this connection (opening, compiling, stepping), "" when none.
    QString errorMessage() const { return m_error; }

    // A statement that is not valid() carries the compiler's message in errorMessage().
    SqliteStatement prepare(const QString& sql);
    // Runs one or more statements that take no parameters and return no rows.
    bool execute(const QString& sql);

private:
    friend class SqliteStatement;
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    std::unique_ptr<sqlite3, Closer> m_db;
    std::shared_ptr<SqliteGuard> m_guard; // before m_db goes, nothing uses it
    QString m_error;
};

// One compiled statement; finalized when the object goes. Parameters are
// numbered from 1, columns from 0, as in SQLite.
class SqliteStatement {
public:
    enum class Step { Row, Done, Error };
    // SQLite's storage classes.
    enum class ColumnType { Integer, Float, Text, Blob, Null };

    SqliteStatement() = default;
    SqliteStatement(SqliteStatement&&) noexcept = default;
    SqliteStatement& operator=(SqliteStatement&&) noexcept = default;
    ~SqliteStatement() = default;

    bool isValid() const { return m_stmt != nullptr; }
    QString errorMessage() const { return m_error; }

    void bind(int index, const QString& value);
    void bind(int index, qint64 value);
    void bindNull(int index);

    // After Error, errorMessage() tells why; stepping again is pointless.
    Step step();
    // After Error on a guarded connection: the stop flag ended the statement.
    bool wasStopped() const { return m_stopped; }
    // After Error on a guarded connection: the temporary storage passed its bound.
    bool exceededTemporaryStorage() const { return m_exceededStorage; }
    // After Error on a guarded connection: the connection's deadline passed.
    bool passedDeadline() const { return m_passedDeadline; }
    // After Error on a guarded connection: a value would be longer than kMaxValueBytes.
    bool exceededValueLength() const { return m_exceededLength; }
    // Makes the statement ready to run again; bound values stay.
    void reset();

    bool isNull(int column) const;
    // The storage class of the column's value in the current row.
    ColumnType columnType(int column) const;
    // The column's name as the statement gives it (its alias, when it has one).
    QString columnName(int column) const;
    // The length in bytes of the column's value as UTF-8 text, without copying it:
    // what a copy would cost is known before it is made.
    qsizetype columnBytes(int column) const;
    // NULL reads as "": callers that must tell them apart ask isNull().
    QString columnText(int column) const;
    qint64 columnInt64(int column) const;
    int columnInt(int column) const;

private:
    friend class SqliteDatabase;
    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const;
    };
    std::unique_ptr<sqlite3_stmt, Finalizer> m_stmt;
    std::shared_ptr<SqliteGuard> m_guard;
    QString m_error;
    bool m_started = false; // stepped since it was made or reset
    bool m_stopped = false;
    bool m_exceededStorage = false;
    bool m_passedDeadline = false;
    bool m_exceededLength = false;
};
