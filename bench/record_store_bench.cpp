// The record store's cost per attempt, printed, never asserted: N attempts each claimed and
// recorded (ClaimNext, then Finish with a few fields and steps: two transactions), on a SQLite
// file in WAL mode and on a local PostgreSQL server over its Unix socket (a private one that
// syncs its commits, as a real one does), each beside N plain INSERTs of a row of the same
// shape by the database's own client (sqlite3, psql), one transaction each.
// Usage: record_store_bench [attempts=1000]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

#include "provision/record_store.h"
#include "support/postgres_cluster.h"

using namespace r7730;
using namespace r7730::provision;
using r7730::testing::TPostgresCluster;

namespace {

const QByteArray kPlan = "be0c4b1e5f6a7d8c9e0f1a2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c4d5e6f7";

const char* kTable = "CREATE TABLE plain (plan TEXT, plan_row INTEGER, label TEXT, started TEXT, ended TEXT, "
                     "station TEXT, process_id BIGINT, operator TEXT, port TEXT, model TEXT, mac TEXT, "
                     "result TEXT, fields TEXT, steps TEXT);\n";

TPlan Plan(int rows)
{
    TPlan plan;
    plan.path = QStringLiteral("bench.csv");
    plan.sha256 = kPlan;
    plan.encoding = QStringLiteral("UTF-8");
    plan.columns = {QStringLiteral("label"), QStringLiteral("ip")};
    for (int number = 1; number <= rows; ++number) {
        TPlanRow row;
        row.number = number;
        row.line = number + 1;
        row.label = QStringLiteral("unit-%1").arg(number);
        plan.rows.push_back(row);
    }
    return plan;
}

// Seconds for every claim and finish.
double ClaimAndRecord(TRecordStore& store, int attempts)
{
    store.RegisterPlan(Plan(attempts));
    TAttempt attempt;
    attempt.planSha256 = kPlan;
    attempt.station = QStringLiteral("bench");
    attempt.processId = ::getpid();
    attempt.operatorName = QStringLiteral("bench");
    attempt.port = QStringLiteral("/dev/ttyUSB0");
    attempt.mac = QStringLiteral("00:1A:2B:3C:4D:5E");
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < attempts; ++i) {
        attempt.started = QDateTime::currentDateTime();
        const std::optional<TClaim> claim = store.ClaimNext(attempt);
        TAttempt done = attempt;
        done.id = claim->attemptId;
        done.planRow = claim->planRow;
        done.result = TAttemptResult::Pass;
        done.ended = QDateTime::currentDateTime();
        done.fields = {{TSection::Wan, "ip", "192.168.1.10", "192.168.1.10", false, false},
                       {TSection::AccessPoint, "password", "set, 8 characters", "", false, true}};
        done.steps = {{"read status", 0.2}, {"wan", 1.1}, {"record", 0.01}};
        store.Finish(done);
    }
    return clock.nsecsElapsed() / 1e9;
}

// The statements a client runs for the plain figure: one INSERT, one commit, per attempt.
QString PlainInserts(int count)
{
    QString sql;
    for (int i = 1; i <= count; ++i)
        sql += QStringLiteral("INSERT INTO plain VALUES ('%1', %2, 'unit-%2', '%3', '%3', 'bench', %4, 'bench', "
                              "'/dev/ttyUSB0', 'R7730', '00:1A:2B:3C:4D:5E', 'PASS', "
                              "'[{\"key\":\"ip\",\"section\":\"wan\",\"sent\":\"192.168.1.10\"}]', "
                              "'[{\"seconds\":0.2,\"step\":\"read status\"}]');\n")
                   .arg(QString::fromLatin1(kPlan))
                   .arg(i)
                   .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
                   .arg(::getpid());
    return sql;
}

// Seconds a client takes for script (given on its standard input), or -1 when it fails.
double RunClient(const QString& program, const QStringList& arguments, const QString& script)
{
    QProcess client;
    QElapsedTimer clock;
    clock.start();
    client.start(program, arguments);
    client.write(script.toUtf8());
    client.closeWriteChannel();
    if (!client.waitForFinished(600000) || client.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), client.readAllStandardError().constData());
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

void Print(const char* store, double recordSeconds, const char* client, double plainSeconds, int count)
{
    std::printf("  %-22s record store %7.2f s, %6.2f ms an attempt   %-7s %7.2f s, %6.2f ms an INSERT\n", store,
                recordSeconds, recordSeconds * 1000 / count, client, plainSeconds, plainSeconds * 1000 / count);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    std::printf("Record store, %d attempts claimed and recorded (ClaimNext + Finish), beside %d plain INSERTs by the "
                "database's own client:\n",
                count, count);
    try {
        QTemporaryDir folder;
        const double sqlite = ClaimAndRecord(*TRecordStore::Open(QString(), folder.path()), count);
        const QString plainFile = folder.filePath("plain.sqlite");
        RunClient("sqlite3", {plainFile}, QStringLiteral("PRAGMA journal_mode = WAL;\n") + QLatin1String(kTable));
        Print("SQLite file (WAL)", sqlite, "sqlite3", RunClient("sqlite3", {plainFile}, PlainInserts(count)), count);

        TPostgresCluster cluster(TPostgresCluster::TOptions{.shared = false, .durable = true});
        const QString database = cluster.CreateDatabase();
        if (database.isEmpty()) {
            std::printf("  PostgreSQL: no server (%s)\n", qPrintable(cluster.Error()));
            return 1;
        }
        const double postgres = ClaimAndRecord(*TRecordStore::Open(cluster.Url(database), folder.path()), count);
        const QStringList psql = cluster.ClientArguments() << "-X" << "-q" << "-v" << "ON_ERROR_STOP=1" << "-d" << database;
        RunClient(cluster.Tool("psql"), psql, QLatin1String(kTable));
        Print("PostgreSQL (socket)", postgres, "psql", RunClient(cluster.Tool("psql"), psql, PlainInserts(count)), count);
    } catch (const EStoreError& error) {
        std::printf("  the record store failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
