// A record store's Qt SQL connection (see record_store_connection.h).
#include "provision/record_store_connection.h"

#include <QDeadlineTimer>
#include <QThread>

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <atomic>

#include "provision/record_store.h"

namespace r7730::provision {
namespace {

// Long enough for the other stations' claims on one PC to pass, short enough to report a store
// that someone holds locked.
constexpr int kSqliteBusyMilliseconds = 15000;

QString NextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("r7730-record-store-%1").arg(++counter);
}

} // namespace

QVariant TextValue(const QString& text)
{
    return text.isNull() ? QVariant(QString::fromLatin1("")) : QVariant(text);
}

TStoreConnection::TRegistration::TRegistration(const QString& driver)
    : name(NextConnectionName()), database(QSqlDatabase::addDatabase(driver, name))
{
}

TStoreConnection::TRegistration::~TRegistration()
{
    database.close();
    database = QSqlDatabase(); // the last handle goes before the name is removed
    QSqlDatabase::removeDatabase(name);
}

TStoreConnection::TStoreConnection(const TStoreLocation& location)
    : location_(location),
      registration_(location.kind == TStoreKind::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"))
{
    if (!registration_.database.isValid())
        throw EStoreError(QStringLiteral("Cannot open the record store %1: Qt has no %2 driver here (the package %3).")
                              .arg(location_.shown,
                                   Kind() == TStoreKind::Sqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL"),
                                   Kind() == TStoreKind::Sqlite ? QStringLiteral("libqt6sql6-sqlite")
                                                                : QStringLiteral("libqt6sql6-psql")));
    if (Kind() == TStoreKind::Sqlite)
        OpenSqlite();
    else
        OpenPostgres();
}

TStoreConnection::~TStoreConnection() = default;

void TStoreConnection::OpenSqlite()
{
    QSqlDatabase& database = registration_.database;
    database.setDatabaseName(location_.sqliteFile);
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyMilliseconds));
    if (!database.open())
        throw EStoreError(QStringLiteral("Cannot open the record store %1: %2").arg(location_.shown, database.lastError().text()));
    Execute(QStringLiteral("PRAGMA foreign_keys = ON"));
    // WAL lets the other processes read while one writes; the mode stays with the file.
    if (!SwitchToWal())
        throw EStoreError(QStringLiteral("The record store %1 cannot use a write-ahead log (WAL), which several "
                                         "processes need: is it on a network share?")
                              .arg(location_.shown));
}

bool TStoreConnection::SwitchToWal()
{
    // The switch needs the file alone for a moment, which the busy timeout does not wait for:
    // several processes making a new store at once may find it busy, so it is tried again.
    const QDeadlineTimer deadline(kSqliteBusyMilliseconds);
    while (true) {
        try {
            return Row(QStringLiteral("PRAGMA journal_mode"))->value(0).toString() == QLatin1String("wal")
                   || Row(QStringLiteral("PRAGMA journal_mode = WAL"))->value(0).toString() == QLatin1String("wal");
        } catch (const EStoreError&) {
            if (deadline.hasExpired())
                throw;
            QThread::msleep(20);
        }
    }
}

void TStoreConnection::OpenPostgres()
{
    QSqlDatabase& database = registration_.database;
    database.setHostName(location_.host);
    if (location_.port > 0)
        database.setPort(location_.port);
    database.setUserName(location_.user);
    database.setPassword(location_.password);
    database.setDatabaseName(location_.database);
    // A claim lives as long as this connection: keepalives on both ends notice a PC cut off
    // within a minute (10 s idle, then 3 probes 10 s apart), so its claims go and it knows.
    QStringList options = location_.options;
    for (const QString& keepalive : {QStringLiteral("keepalives=1"), QStringLiteral("keepalives_idle=10"),
                                     QStringLiteral("keepalives_interval=10"), QStringLiteral("keepalives_count=3")})
        if (std::none_of(options.begin(), options.end(), [&](const QString& given) {
                return given.section(u'=', 0, 0).trimmed() == keepalive.section(u'=', 0, 0);
            }))
            options << keepalive; // what the URL gives stays
    database.setConnectOptions(options.join(u';'));
    if (!database.open())
        throw EStoreError(QStringLiteral("Cannot open the record store %1: %2").arg(location_.shown, database.lastError().text()));
    // The server's side of the same (ignored on a Unix socket).
    Execute(QStringLiteral("SET tcp_keepalives_idle = 10"));
    Execute(QStringLiteral("SET tcp_keepalives_interval = 10"));
    Execute(QStringLiteral("SET tcp_keepalives_count = 3"));
}

template <typename TRead>
void TStoreConnection::Run(const QString& sql, const QVariantList& values, TRead&& read)
{
    QSqlQuery query(registration_.database);
    query.setForwardOnly(true);
    bool ok = false;
    if (values.isEmpty()) {
        ok = query.exec(sql); // statements PostgreSQL cannot prepare: BEGIN, COMMIT, CREATE
    } else {
        ok = query.prepare(sql);
        for (const QVariant& value : values)
            query.addBindValue(value);
        ok = ok && query.exec();
    }
    if (!ok)
        throw EStoreError(QStringLiteral("The record store %1 failed: %2").arg(location_.shown, query.lastError().text()));
    read(query);
    query.finish();
}

int TStoreConnection::Execute(const QString& sql, const QVariantList& values)
{
    int changed = 0;
    Run(sql, values, [&](QSqlQuery& query) { changed = query.numRowsAffected(); });
    return changed;
}

std::vector<QSqlRecord> TStoreConnection::Rows(const QString& sql, const QVariantList& values)
{
    std::vector<QSqlRecord> rows;
    Run(sql, values, [&](QSqlQuery& query) {
        while (query.next())
            rows.push_back(query.record());
    });
    return rows;
}

std::optional<QSqlRecord> TStoreConnection::Row(const QString& sql, const QVariantList& values)
{
    std::optional<QSqlRecord> row;
    Run(sql, values, [&](QSqlQuery& query) {
        if (query.next())
            row = query.record();
    });
    return row;
}

TStoreConnection::TWriteTransaction::TWriteTransaction(TStoreConnection& connection) : connection_(connection)
{
    connection_.Execute(connection_.Kind() == TStoreKind::Sqlite ? QStringLiteral("BEGIN IMMEDIATE")
                                                                 : QStringLiteral("BEGIN"));
}

TStoreConnection::TWriteTransaction::~TWriteTransaction()
{
    if (ended_)
        return;
    try {
        connection_.Execute(QStringLiteral("ROLLBACK"));
    } catch (const EStoreError&) {
        // the connection is gone; the server ends the transaction itself
    }
}

void TStoreConnection::TWriteTransaction::Commit()
{
    connection_.Execute(QStringLiteral("COMMIT"));
    ended_ = true;
}

} // namespace r7730::provision
