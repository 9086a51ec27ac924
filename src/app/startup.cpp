#include "startup.h"

#include "mapview/uColors.h"
#include "model/uSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TStartupDatabases OpenDatabases(const QString& appFolder)
{
    TStartupDatabases result;
    const QDir folder(appFolder);
    auto fail = [&](const QString& fatal, const QString& detail) {
        result.Custom.reset();
        result.Map.reset();
        result.Fatal = fatal;
        result.Detail = detail;
        return std::move(result);
    };

    QString error;
    result.Map = TDbConnection::Open(folder.filePath(MapDatabaseName), TOpenMode::ExistingOnly, &error);
    if (!result.Map)
        return fail(FatalMapDatabase, error);
    // Checked before anything is created, so a wrong map file ends the start untouched.
    const QString missing = schema::missingMapTableOrColumn(result.Map->Db());
    if (!missing.isEmpty()) {
        const QString message = QStringLiteral("map database: missing %1").arg(missing);
        return fail(message, message);
    }

    const QString customPath = folder.filePath(CustomDatabaseName);
    const bool existed = QFileInfo::exists(customPath);
    result.Custom
        = TDbConnection::Open(customPath, existed ? TOpenMode::ExistingOnly : TOpenMode::CreateIfMissing, &error);
    if (!result.Custom) {
        if (!existed)
            QFile::remove(customPath);
        return fail(FatalCustomDatabase, error);
    }
    if (!schema::ensureCustomSchema(result.Custom->Db(), &error)) {
        result.Custom.reset();
        if (!existed)
            QFile::remove(customPath);
        return fail(FatalCustomDatabase, QStringLiteral("%1: %2").arg(customPath, error));
    }
    result.CustomCreated = !existed;
    return result;
}

TStartupFiles::TStartupFiles(const QString& appFolder)
    : m_folder(appFolder), m_coloursExisted(QFileInfo::exists(ColorsFilePath(appFolder)))
{
}

void TStartupFiles::RemoveCreated() const
{
    if (!m_coloursExisted)
        QFile::remove(ColorsFilePath(m_folder));
    if (m_customCreated)
        QFile::remove(QDir(m_folder).filePath(CustomDatabaseName));
}
