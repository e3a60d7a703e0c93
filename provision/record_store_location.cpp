// Reading a record store's path or URL (see record_store_location.h).
#include "provision/record_store_location.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include "provision/record_store.h"
#include "shell/whole_file.h"

namespace r7730::provision {
namespace {

const QString kDefaultFile = QStringLiteral("provision.sqlite");

QString Decoded(const QString& text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

TStoreLocation SqliteLocation(const QString& url, const QString& workingFolder)
{
    TStoreLocation location;
    location.kind = TStoreKind::Sqlite;
    location.shown = url.isEmpty() ? kDefaultFile : url;
    const QString path = QDir(workingFolder).absoluteFilePath(url.isEmpty() ? kDefaultFile : url);
    const TWholeFileTarget target = WholeFileTarget(QDir::cleanPath(path).toStdString());
    if (!target.refusal.empty())
        throw EStoreError(QStringLiteral("The record store %1 is %2, not a SQLite file.")
                              .arg(location.shown, QString::fromStdString(target.refusal)));
    location.sqliteFile = QString::fromStdString(target.path);
    location.reportFolder = QFileInfo(path).absoluteDir().filePath(QStringLiteral("reports"));
    return location;
}

// "[::1]:5433", "db.example:5433", "%2Ftmp%2Fpg": the host and the port, still encoded.
void SplitHostPort(const QString& authority, QString& host, QString& port)
{
    const qsizetype colon = authority.lastIndexOf(u':');
    if (colon < 0 || (authority.startsWith(u'[') && colon < authority.indexOf(u']'))) {
        host = authority;
        return;
    }
    host = authority.left(colon);
    port = authority.mid(colon + 1);
}

int PortNumber(const QString& text, const QString& shown)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        throw EStoreError(QStringLiteral("The record store %1 names no usable port: \"%2\".").arg(shown, text));
    return port;
}

TStoreLocation PostgresLocation(const QRegularExpressionMatch& match, const QString& workingFolder)
{
    TStoreLocation location;
    location.kind = TStoreKind::Postgres;
    location.reportFolder = QDir(workingFolder).filePath(QStringLiteral("reports"));

    const QString userInfo = match.captured(2);
    const qsizetype colon = userInfo.indexOf(u':');
    const QString userPart = colon < 0 ? userInfo : userInfo.left(colon);
    location.user = Decoded(userPart);
    if (colon >= 0)
        location.password = Decoded(userInfo.mid(colon + 1));

    QString host, port;
    SplitHostPort(match.captured(3), host, port);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    location.host = Decoded(host);
    location.database = Decoded(match.captured(4));

    // Shown as given, less the password wherever it was written.
    QStringList shownParameters;
    for (const QString& parameter : match.captured(5).split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype equals = parameter.indexOf(u'=');
        const QString name = Decoded(parameter.left(equals));
        const QString value = equals < 0 ? QString() : Decoded(parameter.mid(equals + 1));
        if (name != QLatin1String("password"))
            shownParameters << parameter;
        if (name == QLatin1String("host"))
            location.host = value;
        else if (name == QLatin1String("port"))
            port = value;
        else if (name == QLatin1String("user"))
            location.user = value;
        else if (name == QLatin1String("password"))
            location.password = value;
        else if (name == QLatin1String("dbname"))
            location.database = value;
        else
            location.options << name + u'=' + value;
    }
    location.shown = match.captured(1) + QStringLiteral("://") + (match.hasCaptured(2) ? userPart + u'@' : QString())
                   + match.captured(3) + u'/' + match.captured(4)
                   + (shownParameters.isEmpty() ? QString() : u'?' + shownParameters.join(u'&'));
    if (!port.isEmpty())
        location.port = PortNumber(port, location.shown);
    // A server that does not answer must not hold a production line for minutes.
    if (location.options.filter(QStringLiteral("connect_timeout=")).isEmpty())
        location.options << QStringLiteral("connect_timeout=10");
    return location;
}

} // namespace

TStoreLocation StoreLocation(const QString& url, const QString& workingFolder)
{
    static const QRegularExpression postgres(
        QStringLiteral("^(postgres(?:ql)?)://(?:([^@/?]*)@)?([^/?]*)(?:/([^?]*))?(?:\\?(.*))?$"));
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    const QRegularExpressionMatch match = postgres.match(url);
    if (match.hasMatch())
        return PostgresLocation(match, workingFolder);
    if (scheme.match(url).hasMatch())
        throw EStoreError(QStringLiteral("The record store %1 is of a kind this program does not know: give a SQLite "
                                         "file's path or a postgresql:// URL.")
                              .arg(QString(url).replace(QRegularExpression(QStringLiteral("://[^@/]*@")),
                                                        QStringLiteral("://"))));
    return SqliteLocation(url, workingFolder);
}

bool StoreExists(const TStoreLocation& location)
{
    return location.kind == TStoreKind::Postgres || QFileInfo::exists(location.sqliteFile);
}

} // namespace r7730::provision
