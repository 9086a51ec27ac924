#pragma once
// General routines shared by every subsystem: text replacement, version comparison,
// lenient number parsing, file copy, opening web addresses, the machine identifier.
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Replaces every occurrence of search (ASCII letters compared without case), scanning
// again from the start after each replacement. Throws std::invalid_argument when the
// replacement contains the search text, since the scan would never end.
QString ReplaceAllText(const QString& text, const QString& search, const QString& replacement);

// True when version a is newer than version b. Versions are up to four dot-separated
// non-negative decimal parts; missing parts are 0. Throws std::runtime_error
// "invalid version format: <version>" for anything else. parts has no effect.
bool IsNewerVersion(const QString& a, const QString& b, int parts = 4);

// Number in the given locale; the first thousands separator is taken as the decimal
// separator. Any failure gives ParseLocaleNumberFailed.
inline constexpr double ParseLocaleNumberFailed = -2147483647.0;
double ParseLocaleNumber(const QString& text, const QLocale& locale = QLocale());

// Copies all bytes of source to destination (created or overwritten as a whole).
// Throws std::runtime_error naming the file on any failure; the destination is left
// as it was when the copy fails.
void CopyFileContents(const QString& source, const QString& destination);

// The text rule for database values: every double quote becomes an apostrophe.
QString SqlSafeText(const QString& text);
// The value callers bind to a statement parameter: user text after the text rule.
inline QString SqlSafeValue(const QString& text)
{
    return SqlSafeText(text);
}

// Opens a URL in the user's browser; returns whether it was handed over.
using UrlOpener = std::function<bool(const QUrl&)>;

struct ShellOpenResult {
    bool ok = false;
    QString error; // why the address was refused or not opened; empty when ok
    explicit operator bool() const { return ok; }
};

// Opens a web address through opener. Only absolute http and https addresses with a
// host are accepted: addresses may come from a server, so local programs, files and
// other schemes are refused without calling opener. parameters must be empty (a web
// address carries its own query).
ShellOpenResult ShellOpen(const QString& address, const QString& parameters, const UrlOpener& opener);

// Machine identifier files tried in order by SystemDriveSerial.
QStringList DefaultMachineIdFiles();

inline const QString SerialUnavailable = QStringLiteral("E1E01001"); // no identifier found
inline const QString SerialReadError = QStringLiteral("E1E01002"); // identifier file unreadable

// A stable, anonymous machine identifier as 8 upper-case hexadecimal digits, derived
// from the first non-empty machine-id file by a keyed hash (the raw id never leaves).
QString SystemDriveSerial(const QStringList& idFiles = DefaultMachineIdFiles());
