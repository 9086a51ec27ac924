#pragma once
// An SQLite connection of its own for a test, closed and removed when it goes out of scope.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

class SqliteFile {
public:
    explicit SqliteFile(const QString& path, const QString& options = {})
        : m_name(QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(options);
        db.open();
    }
    ~SqliteFile()
    {
        db().close();
        QSqlDatabase::removeDatabase(m_name);
    }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

    // The first column of the first row of a statement with bound values; invalid on error or no row.
    QVariant value(const QString& statement, const QVariantList& binds = {}) const
    {
        QSqlQuery q(db());
        q.prepare(statement);
        for (const QVariant& v : binds)
            q.addBindValue(v);
        if (!q.exec() || !q.next())
            return {};
        return q.value(0);
    }

    bool exec(const QString& statement, const QVariantList& binds = {}) const
    {
        QSqlQuery q(db());
        if (!q.prepare(statement))
            return false;
        for (const QVariant& v : binds)
            q.addBindValue(v);
        return q.exec();
    }

private:
    QString m_name;
};
