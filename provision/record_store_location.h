#pragma once
// Where a record store lives, read from the text a user gives: nothing (provision.sqlite in the
// working folder), a SQLite file's path, or a PostgreSQL URL
// "postgresql://[user[:password]@]host[:port]/dbname[?name=value&...]" whose host may be a socket
// folder, percent-encoded ("%2Ftmp%2Fpg") or as "?host=/tmp/pg". A password is kept for the
// connection only: the text shown in messages never carries it.
#include <QString>
#include <QStringList>

namespace r7730::provision {

enum class TStoreKind { Sqlite, Postgres };

struct TStoreLocation {
    TStoreKind kind = TStoreKind::Sqlite;
    QString shown;        // the path or URL as given, without a password
    QString reportFolder; // `reports/` beside a SQLite file, in the working folder else

    QString sqliteFile; // the file SQLite opens: the path, or the file its link leads to

    QString host; // a name, an address or a socket folder; empty for the client's default
    int port = -1;
    QString user;
    QString password;
    QString database;
    QStringList options; // further "name=value" parameters for the PostgreSQL client
};

// Raises EStoreError for a text that names no store this program can open, and for a SQLite
// path that exists and is no regular file (nor a link to one): a folder, a device, a FIFO.
TStoreLocation StoreLocation(const QString& url, const QString& workingFolder);

// Whether there is a store to read at the location: its SQLite file exists (opening a store
// makes the file). A PostgreSQL database is taken to be there: its server says when it is not.
bool StoreExists(const TStoreLocation& location);

} // namespace r7730::provision
