#include "uDatabase.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <sqlite3.h>

#include <atomic>

namespace {

QString NextConnectionName()
{
    static std::atomic<int> counter { 0 };
    return QStringLiteral("qormap-%1").arg(++counter);
}

[[noreturn]] void Fail(const QString& what, const QSqlError& error)
{
    throw EDatabaseError((what + QStringLiteral(": ") + error.text()).toStdString());
}

} // namespace

std::unique_ptr<TDbConnection> TDbConnection::Open(const QString& path, TOpenMode mode, QString* error)
{
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return std::unique_ptr<TDbConnection>();
    };
    const QFileInfo info(path);
    if (mode == TOpenMode::ExistingOnly && !info.exists())
        return fail(QStringLiteral("%1: no such file").arg(path));
    if (info.exists() && (!info.isFile() || !info.isReadable()))
        return fail(QStringLiteral("%1: not a readable file").arg(path));

    std::unique_ptr<TDbConnection> conn(new TDbConnection(NextConnectionName(), path));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn->m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            return fail(QStringLiteral("%1: %2").arg(path, db.lastError().text()));
        // SQLite opens lazily; reading the schema proves the file is a database.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("select count(1) from sqlite_master")))
            return fail(QStringLiteral("%1: %2").arg(path, probe.lastError().text()));
    }
    return conn;
}

TDbConnection::~TDbConnection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlQuery RunQuery(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        Fail(sql, query.lastError());
    for (const QVariant& v : values)
        query.addBindValue(v);
    if (!query.exec())
        Fail(sql, query.lastError());
    return query;
}

QVariant QueryScalar(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery query = RunQuery(db, sql, values);
    return query.next() ? query.value(0) : QVariant();
}

TPreparedQuery::TPreparedQuery(const QSqlDatabase& db, const QString& sql) : m_query(db), m_sql(sql)
{
    m_query.setForwardOnly(true);
    if (!m_query.prepare(sql))
        Fail(sql, m_query.lastError());
}

QSqlQuery& TPreparedQuery::Run(const QVariantList& values)
{
    m_query.finish();
    for (int i = 0; i < values.size(); ++i)
        m_query.bindValue(i, values[i]);
    if (!m_query.exec())
        Fail(m_sql, m_query.lastError());
    return m_query;
}

TRowReader::TRowReader(const QSqlDatabase& db, const QString& sql) : m_sql(sql)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!db.isOpen() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw EDatabaseError((sql + QStringLiteral(": the connection is not an open SQLite database")).toStdString());
    m_db = *static_cast<sqlite3* const*>(handle.constData());
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &m_statement, nullptr) != SQLITE_OK)
        Fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
}

TRowReader::~TRowReader() { sqlite3_finalize(m_statement); }

void TRowReader::Fail(const QString& what) const
{
    throw EDatabaseError((m_sql + QStringLiteral(": ") + what).toStdString());
}

bool TRowReader::Next()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        Fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
    return false;
}

qint32 TRowReader::Int(int column) const { return qint32(sqlite3_column_int64(m_statement, column)); }
double TRowReader::Double(int column) const { return sqlite3_column_double(m_statement, column); }

QString TRowReader::Text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(m_statement, column)) : QString();
}

QVariant TRowReader::Value(int column) const
{
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(Double(column));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QVariant(Text(column));
    }
}

TTransaction::TTransaction(QSqlDatabase db) : m_db(std::move(db))
{
    if (!m_db.transaction())
        Fail(QStringLiteral("begin transaction"), m_db.lastError());
}

TTransaction::~TTransaction()
{
    if (!m_done)
        m_db.rollback();
}

void TTransaction::Commit()
{
    if (!m_db.commit())
        Fail(QStringLiteral("commit"), m_db.lastError());
    m_done = true;
}
