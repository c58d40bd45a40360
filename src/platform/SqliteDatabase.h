#pragma once

#include <QString>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

class SqliteStatement;

// One SQLite connection, closed when the object goes. Photo libraries are only
// ever read: ReadOnly is what the readers use; ReadWriteCreate exists for the
// programs that build libraries (tests, benchmarks).
class SqliteDatabase {
public:
    enum class OpenMode { ReadOnly, ReadWriteCreate };

    SqliteDatabase() = default;
    SqliteDatabase(SqliteDatabase&&) noexcept = default;
    SqliteDatabase& operator=(SqliteDatabase&&) noexcept = default;
    ~SqliteDatabase() = default;

    // Opening never throws; check isOpen() and errorMessage().
    static SqliteDatabase open(const QString& path, OpenMode mode);

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
    QString m_error;
};

// One compiled statement; finalized when the object goes. Parameters are
// numbered from 1, columns from 0, as in SQLite.
class SqliteStatement {
public:
    enum class Step { Row, Done, Error };

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
    // Makes the statement ready to run again; bound values stay.
    void reset();

    bool isNull(int column) const;
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
    QString m_error;
};
