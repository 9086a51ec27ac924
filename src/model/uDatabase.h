#pragma once
// Database connections and statements: one named Qt SQL connection per owner and thread,
// statements with bound values that throw on failure, and a scoped transaction.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <memory>
#include <stdexcept>

class EDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TOpenMode {
    ExistingOnly,    // never creates the file
    CreateIfMissing, // a missing file becomes an empty database
};

// Owns one Qt SQL connection to an SQLite file; closes and removes it on destruction.
// Use it only on the thread that opened it.
class TDbConnection {
public:
    // Opens path; on failure returns nullptr and sets error. A file that exists but is not an
    // SQLite database, or cannot be read, fails here rather than at the first statement.
    static std::unique_ptr<TDbConnection> Open(const QString& path, TOpenMode mode, QString* error);
    ~TDbConnection();
    TDbConnection(const TDbConnection&) = delete;
    TDbConnection& operator=(const TDbConnection&) = delete;

    QSqlDatabase Db() const { return QSqlDatabase::database(m_name, false); }
    const QString& Path() const { return m_path; }
    const QString& ConnectionName() const { return m_name; }

private:
    TDbConnection(QString name, QString path) : m_name(std::move(name)), m_path(std::move(path)) { }
    QString m_name;
    QString m_path;
};

// Prepares and runs sql with the values bound in order; throws EDatabaseError naming the
// statement and the database's error text.
QSqlQuery RunQuery(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// The first column of the first row, or an invalid QVariant when there is no row.
QVariant QueryScalar(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// A statement prepared once and run many times with new values; throws like RunQuery.
class TPreparedQuery {
public:
    TPreparedQuery(const QSqlDatabase& db, const QString& sql);
    QSqlQuery& Run(const QVariantList& values);

private:
    QSqlQuery m_query;
    QString m_sql;
};

struct sqlite3;
struct sqlite3_stmt;

// A forward-only reader straight on the SQLite handle of a Qt connection, for the bulk reads
// (systems, jumps, stations, agents) where Qt's per-row value cache costs more than the query.
// Same statement text, same rows. Use it on the connection's thread only.
class TRowReader {
public:
    TRowReader(const QSqlDatabase& db, const QString& sql);
    ~TRowReader();
    TRowReader(const TRowReader&) = delete;
    TRowReader& operator=(const TRowReader&) = delete;

    bool Next(); // throws EDatabaseError on a failing step
    qint32 Int(int column) const;
    double Double(int column) const;
    QString Text(int column) const;
    QVariant Value(int column) const; // as Qt SQL would give it: integer, real, text or null

private:
    [[noreturn]] void Fail(const QString& what) const;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    QString m_sql;
};

// Begins on construction; rolls back on destruction unless Commit() succeeded.
class TTransaction {
public:
    explicit TTransaction(QSqlDatabase db);
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;
    void Commit();

private:
    QSqlDatabase m_db;
    bool m_done = false;
};
