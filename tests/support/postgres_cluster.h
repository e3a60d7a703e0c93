#pragma once
// A real PostgreSQL server for tests and benchmarks, reached only through its Unix socket.
//
// The server a test run shares when R7730_TEST_PGHOST names its socket folder (the user is
// R7730_TEST_PGUSER, or the client's default), else a private one: made with initdb in a fresh
// temporary folder, listening on no TCP address, run by an unprivileged user (nobody, when the
// tests run as root) and stopped and removed with this object. The private server gets the
// parent-death signal, so a test that crashes or is killed does not leave it running; start it
// from the main thread, whose end is what that signal follows.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <sys/types.h>

namespace r7730::testing {

class TPostgresCluster {
public:
    struct TOptions {
        bool shared = true;   // use R7730_TEST_PGHOST when it is set
        bool durable = false; // a private server that syncs its commits to disk
    };
    explicit TPostgresCluster(TOptions options);
    TPostgresCluster() : TPostgresCluster(TOptions{}) {}
    ~TPostgresCluster();
    TPostgresCluster(const TPostgresCluster&) = delete;
    TPostgresCluster& operator=(const TPostgresCluster&) = delete;

    // The server of this test program, started on first use, stopped at its exit.
    static TPostgresCluster& Shared();

    // Empty when the server is there; else why it is not (the tools' own words).
    QString Error() const { return error_; }
    QString SocketFolder() const { return socketFolder_; }
    QString User() const { return user_; }

    // "postgresql://r7730@%2Ftmp%2Fr7730-pg-x%2Fsocket/database": for TRecordStore::Open.
    QString Url(const QString& database) const;
    // A new empty database under a name no other test takes; empty when it cannot be made
    // (then Error() says why).
    QString CreateDatabase();
    void DropDatabase(const QString& database);

    // A client program of the server's version (psql, createdb, ...), and the arguments that
    // point it at this server.
    QString Tool(const QString& name) const;
    QStringList ClientArguments() const;
    // Runs a client program to its end; returns its exit code (-1 when it could not run) and
    // puts its standard output and error in output.
    int Run(const QString& tool, const QStringList& arguments, QString* output = nullptr) const;

    // A private server stopped with a fast shutdown (its clients cut off), its data kept, and
    // started again: a store that goes away and comes back. False for the shared server, or
    // when it is already so.
    bool StopServer();
    bool StartServer();

private:
    void StartPrivate(bool durable);
    void StopPrivate();

    QString binFolder_;
    QString socketFolder_;
    QString user_;
    QString error_;
    std::unique_ptr<QTemporaryDir> scratch_;
    pid_t server_ = -1;
    bool durable_ = false;
};

// A fresh database of the shared server for one test, dropped at its end.
class TPostgresDatabase {
public:
    explicit TPostgresDatabase(TPostgresCluster& cluster = TPostgresCluster::Shared())
        : cluster_(cluster), name_(cluster.CreateDatabase())
    {
    }
    ~TPostgresDatabase()
    {
        if (!name_.isEmpty())
            cluster_.DropDatabase(name_);
    }
    TPostgresDatabase(const TPostgresDatabase&) = delete;
    TPostgresDatabase& operator=(const TPostgresDatabase&) = delete;

    bool Ready() const { return !name_.isEmpty(); }
    QString Error() const { return cluster_.Error(); }
    QString Name() const { return name_; }
    QString Url() const { return cluster_.Url(name_); }

private:
    TPostgresCluster& cluster_;
    QString name_;
};

} // namespace r7730::testing
