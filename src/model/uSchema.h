#pragma once
// The one place naming every table and column of the map and custom databases,
// with the statements that create them and checks that an existing file has them.
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace schema {

struct TableSpec {
    QString name;
    QStringList columns;
};

// Every table and column of the map database, spelt as the application's statements spell them.
const QList<TableSpec>& mapTables();
// Every table and column of the custom database.
const QList<TableSpec>& customTables();

// CREATE TABLE statements for the map database, one per table of mapTables().
QStringList mapCreateStatements();
// CREATE INDEX statements that speed up the loaders' joins and lookups; run after bulk inserts.
QStringList mapIndexStatements();
// CREATE TABLE IF NOT EXISTS statements for the custom database, one per table of customTables().
QStringList customCreateStatements();

// Adds the custom tables missing from an open custom database, in one transaction; existing
// tables and their rows are left untouched. False with the database's error text on failure.
bool ensureCustomSchema(QSqlDatabase db, QString* error);

// The first table, or "table.column", of mapTables() missing from db; empty when all are there.
QString missingMapTableOrColumn(QSqlDatabase db);

} // namespace schema
