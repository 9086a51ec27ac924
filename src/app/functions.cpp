#include "functions.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QSaveFile>

#include <array>
#include <cmath>
#include <stdexcept>

namespace {

// Only a to z change case, so positions agree between the original and the folded text.
QChar asciiUpper(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') ? QChar(char16_t(u - (u'a' - u'A'))) : c;
}

qsizetype indexOfAsciiNoCase(const QString& text, const QString& search, qsizetype from)
{
    const qsizetype last = text.size() - search.size();
    for (qsizetype i = from; i <= last; ++i) {
        qsizetype k = 0;
        while (k < search.size() && asciiUpper(text[i + k]) == asciiUpper(search[k]))
            ++k;
        if (k == search.size())
            return i;
    }
    return -1;
}

std::array<quint64, 4> versionParts(const QString& version)
{
    std::array<quint64, 4> result {};
    if (version.isEmpty())
        return result;
    const QStringList parts = version.split(QLatin1Char('.'));
    const auto invalid
        = [&] { return std::runtime_error(("invalid version format: " + version).toStdString()); };
    if (parts.size() > int(result.size()))
        throw invalid();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        // Digits only: no sign, blanks or hex, which the number parser would let through.
        if (part.isEmpty() || part.size() > 18)
            throw invalid();
        for (QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                throw invalid();
        result[size_t(i)] = part.toULongLong();
    }
    return result;
}

std::runtime_error fileError(const QString& what, const QFileDevice& file)
{
    return std::runtime_error(
        QStringLiteral("%1 %2: %3").arg(what, file.fileName(), file.errorString()).toStdString());
}

} // namespace

QString ReplaceAllText(const QString& text, const QString& search, const QString& replacement)
{
    if (indexOfAsciiNoCase(replacement, search, 0) >= 0)
        throw std::invalid_argument("ReplaceAllText: the replacement contains the search text");
    QString result = text;
    qsizetype from = 0;
    qsizetype pos;
    while ((pos = indexOfAsciiNoCase(result, search, from)) >= 0) {
        result.replace(pos, search.size(), replacement);
        // The text before pos held no match, so a new one must reach into the replacement.
        from = std::max<qsizetype>(0, pos - search.size() + 1);
    }
    return result;
}

bool IsNewerVersion(const QString& a, const QString& b, int parts)
{
    Q_UNUSED(parts);
    // Part by part: a weighted sum lets a part above 254 overtake the next higher part.
    return versionParts(b) < versionParts(a);
}

double ParseLocaleNumber(const QString& text, const QLocale& locale)
{
    QString value = text;
    const QString group = locale.groupSeparator();
    const qsizetype at = group.isEmpty() ? -1 : value.indexOf(group);
    if (at >= 0)
        value.replace(at, group.size(), locale.decimalPoint());
    QLocale strict = locale;
    strict.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double result = strict.toDouble(value.trimmed(), &ok);
    return (ok && std::isfinite(result)) ? result : ParseLocaleNumberFailed;
}

void CopyFileContents(const QString& source, const QString& destination)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw fileError(QStringLiteral("cannot open"), in);
    const QFileInfo from(source), to(destination);
    if (to.exists() && from.canonicalFilePath() == to.canonicalFilePath())
        throw std::runtime_error(("cannot copy a file onto itself: " + source).toStdString());
    // Written beside the destination and renamed at the end, so a failed copy leaves it intact.
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        throw fileError(QStringLiteral("cannot create"), out);
    constexpr qint64 chunk = 1 << 16;
    while (!in.atEnd()) {
        const QByteArray data = in.read(chunk);
        if (data.isEmpty() && in.error() != QFileDevice::NoError)
            throw fileError(QStringLiteral("cannot read"), in);
        if (out.write(data) != data.size())
            throw fileError(QStringLiteral("cannot write"), out);
    }
    if (!out.commit())
        throw fileError(QStringLiteral("cannot write"), out);
}

QString SqlSafeText(const QString& text)
{
    return ReplaceAllText(text, QStringLiteral("\""), QStringLiteral("'"));
}

ShellOpenResult ShellOpen(const QString& address, const QString& parameters, const UrlOpener& opener)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return { false, QStringLiteral("no address to open") };
    const auto refuse = [&](const QString& why) {
        return ShellOpenResult { false, QStringLiteral("refused to open \"%1\": %2").arg(trimmed, why) };
    };
    if (!parameters.isEmpty())
        return refuse(QStringLiteral("parameters cannot be passed to a web address"));
    const QUrl url(trimmed, QUrl::TolerantMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return refuse(QStringLiteral("only http and https addresses are opened"));
    if (url.host().isEmpty())
        return refuse(QStringLiteral("the address names no host"));
    if (!opener)
        return { false, QStringLiteral("no browser to open \"%1\"").arg(trimmed) };
    if (!opener(url))
        return { false, QStringLiteral("could not open \"%1\"").arg(trimmed) };
    return { true, {} };
}

QStringList DefaultMachineIdFiles()
{
    return { QStringLiteral("/etc/machine-id"), QStringLiteral("/var/lib/dbus/machine-id") };
}

QString SystemDriveSerial(const QStringList& idFiles)
{
    bool readError = false;
    for (const QString& path : idFiles) {
        QFile file(path);
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly)) {
            readError = true;
            continue;
        }
        const QByteArray id = file.readLine(256).trimmed();
        if (file.error() != QFileDevice::NoError) {
            readError = true;
            continue;
        }
        if (id.isEmpty())
            continue;
        // Keyed so the value cannot be traced back to the machine id it comes from.
        const QByteArray mac
            = QMessageAuthenticationCode::hash("qormap machine serial", id, QCryptographicHash::Sha256);
        return QString::fromLatin1(mac.left(4).toHex()).toUpper();
    }
    return readError ? SerialReadError : SerialUnavailable;
}
