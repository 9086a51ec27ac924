#pragma once
// The map's colour scheme: named colours kept as name=value lines in colors.cfg.
// Colours are 24-bit integers in 0x00BBGGRR form (red in the low byte).
#include <QColor>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

inline const QString ColorsFileName = QStringLiteral("colors.cfg");

// colors.cfg inside the application folder.
QString ColorsFilePath(const QString& appFolder);

// A colour identifier ("clRed") or an integer (decimal, or hexadecimal after $ or 0x)
// as a 0x00BBGGRR value; nothing for any other text.
std::optional<int> StringToColor(const QString& value);

QColor ToQColor(int colour);
int FromQColor(const QColor& colour);

class TColorObj {
public:
    TColorObj();

    // Receives each problem once: an unconvertible value, a file that cannot be written.
    std::function<void(const QString&)> OnWarning;

    // Remembers fileName; loads its lines, or resets to the defaults and creates it.
    void LoadFrom(const QString& fileName);
    void ResetToDefaults();
    // The colour of name: the current value, else the default, else clWhite. A value that
    // converts to no colour is reported once and its default is used.
    int GetColor(const QString& name);
    QStringList ColorNames() const;
    // Sets name to colour as a decimal integer, adding the line when name is missing.
    void SetColor(const QString& name, int colour);
    // Writes the current list to the remembered file; false (and error) on failure.
    bool Save(QString* error = nullptr) const;

    static const QStringList& DefaultList();
    const QStringList& CurrentList() const { return m_current; }
    QString FileName() const { return m_fileName; }

private:
    QStringList m_current;
    QString m_fileName;
    QSet<QString> m_reported; // bad lines already reported
};
