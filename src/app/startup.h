#pragma once
// Start-up decisions that need no window: opening the map and custom databases, and
// undoing what a failed start created.
#include "model/uDatabase.h"

#include <QString>

#include <memory>

inline const QString MapDatabaseName = QStringLiteral("map.db");
inline const QString CustomDatabaseName = QStringLiteral("custom.db");
inline const QString FatalMapDatabase = QStringLiteral("fatal: unable to open map database");
inline const QString FatalCustomDatabase = QStringLiteral("fatal: unable to open custom database");

struct TStartupDatabases {
    std::unique_ptr<TDbConnection> Map;
    std::unique_ptr<TDbConnection> Custom;
    QString Fatal;  // the message that ends the application; empty when both are open
    QString Detail; // what went wrong, for the error stream
    bool CustomCreated = false; // custom.db did not exist and was made with the full schema
};

// Opens appFolder's map.db (never created; it must hold every table and column the load
// reads) and then custom.db (created with the full schema when missing; an existing file
// gains its missing tables and is otherwise left alone). On failure both connections are
// closed, Fatal is set and a custom.db created here is removed again.
TStartupDatabases OpenDatabases(const QString& appFolder);

// Notes which files of the application folder a start may create before the universe has
// loaded, so that a failed start can remove them again and leave the folder as it was.
class TStartupFiles {
public:
    explicit TStartupFiles(const QString& appFolder);
    // Marks custom.db as made by this start.
    void SetCustomCreated(bool created) { m_customCreated = created; }
    // Removes what this start created; every connection to those files must be closed.
    void RemoveCreated() const;

private:
    QString m_folder;
    bool m_coloursExisted = false;
    bool m_customCreated = false;
};
