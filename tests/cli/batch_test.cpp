// r7730ctl batch on a bench of simulated units: plans applied unit after unit on several ports,
// verified, recorded in a real SQLite file or a real PostgreSQL server, reported; a killed run
// resumed. What the units end up holding is read from the record the program keeps and from
// the reports it writes.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <set>

#include "cli/ctl_run.h"
#include "support/postgres_cluster.h"
#include "support/qt_printers.h"
#include "support/simulator_process.h"

using r7730::testing::SimulatorProcess;

namespace {

// Five units' rows: a sticker, an address and mask, a listen port, the access point to join.
const QByteArray kFiveUnitPlan = "label,ip,mask,listen,ssid,password\r\n"
                                 "A-01,10.1.0.1,255.255.0.0,5001,line-ap,s3cretPW!\r\n"
                                 "A-02,10.1.0.2,255.255.0.0,5002,line-ap,s3cretPW!\r\n"
                                 "A-03,10.1.0.3,255.255.0.0,5003,line-ap,s3cretPW!\r\n"
                                 "A-04,10.1.0.4,255.255.0.0,5004,line-ap,s3cretPW!\r\n"
                                 "A-05,10.1.0.5,255.255.0.0,5005,line-ap,s3cretPW!\r\n";

class Batch : public ::testing::Test {
protected:
    QString Plan(const QByteArray& csv)
    {
        QFile file(folder.filePath("plan.csv"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(csv);
        return file.fileName();
    }
    // A bench of units one after another on one port, each taken away soon after its last save
    // (options given override these); its frame log is kept with logged.
    QString Bench(std::vector<std::string> options, const std::string& takeAwayMs = "400", bool logged = false)
    {
        options.insert(options.begin(), {"--take-away-ms", takeAwayMs, "--next-unit-ms", "300"});
        if (!logged)
            options.insert(options.begin(), "--quiet");
        benches.push_back(std::make_unique<SimulatorProcess>(options));
        return QString::fromStdString(benches.back()->linkPath());
    }
    QStringList Ports(const QStringList& links)
    {
        QStringList arguments;
        for (const QString& link : links)
            arguments << "-p" << link;
        return arguments;
    }
    TRun Run(const QStringList& arguments) { return RunCtl(QStringList{"--timeout", "500"} + arguments, folder.path(), {}, 120000); }
    // r7730ctl started in the folder and left running once its output shows the text; false when
    // the text did not come within 20 s.
    bool StartUntil(QProcess& run, const QStringList& arguments, const char* text)
    {
        run.setWorkingDirectory(folder.path());
        run.start(QStringLiteral(R7730CTL_BINARY), QStringList{"--timeout", "500"} + arguments);
        return QTest::qWaitFor([&] {
            run.waitForReadyRead(100);
            return run.peek(1 << 20).contains(text);
        }, 20000);
    }
    // The record, one object per attempt, oldest first.
    QJsonArray Records(const QStringList& store = {})
    {
        const TRun run = RunCtl(QStringList{"records", "--json"} + store, folder.path());
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return QJsonDocument::fromJson(run.out.toUtf8()).array();
    }
    // Every file under the folder, read whole.
    std::map<QString, QByteArray> Files() const
    {
        std::map<QString, QByteArray> files;
        QDirIterator it(folder.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                files[file.fileName()] = file.readAll();
        }
        return files;
    }

    QTemporaryDir folder;
    std::vector<std::unique_ptr<SimulatorProcess>> benches;
};

QString Field(const QJsonObject& attempt, const QString& key, const char* which)
{
    for (const QJsonValue& field : attempt["fields"].toArray())
        if (field["key"] == key)
            return field[which].toString();
    return "(none)";
}

} // namespace

TEST_F(Batch, FiveUnitsOnTwoPortsAllPassHoldThePlanAndKeepThePasswordOutOfEveryFile)
{
    const QString plan = Plan(kFiveUnitPlan);
    const QStringList ports = {Bench({"--units", "3"}), Bench({"--units", "2", "--first-unit", "4"})};
    const TRun run = Run(QStringList{"-v", "batch", plan, "--operator", "kim", "--json"} + Ports(ports));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(run.out.count("\"result\":\"PASS\""), 5) << run.out.toStdString();
    // JSON Lines: every line one document, the last the totals.
    QJsonObject last;
    for (const QString& line : run.out.split('\n', Qt::SkipEmptyParts)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        ASSERT_TRUE(document.isObject()) << error.errorString().toStdString() << ": " << line.toStdString();
        last = document.object();
    }
    EXPECT_EQ(last["event"], "finished");
    EXPECT_EQ(last["passed"], 5);
    EXPECT_EQ(last["remaining"], 0);
    // The trace shows the frames that carry the password, with the password masked.
    EXPECT_TRUE(run.err.contains("tmpSSIDPW   : [16][****************]")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("TX 0x42 : [53][7E.35.42.50.20.")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("6C.69.6E.65.2D.61.70.**.**.**.**.**.**.**.**.**.**.**.**.**.**.**.**.FE.]"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("RX MSG ID:[0x49] LEN:[53]:[7E.35.49.50.20.")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("res[48] = [                         line-ap****************]\n")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("73.33.63.72.65.74.50.57.21")) << "the password's bytes in hex";

    const QJsonArray records = Records();
    ASSERT_EQ(records.size(), 5);
    struct TRow {
        QString label, ip, listen;
    };
    const std::map<int, TRow> expected = {{1, {"A-01", "10.1.0.1", "5001"}}, {2, {"A-02", "10.1.0.2", "5002"}},
                                          {3, {"A-03", "10.1.0.3", "5003"}}, {4, {"A-04", "10.1.0.4", "5004"}},
                                          {5, {"A-05", "10.1.0.5", "5005"}}};
    std::set<int> rows;
    std::set<QString> macs;
    for (const QJsonValue& value : records) {
        const QJsonObject attempt = value.toObject();
        const int row = attempt["plan_row"].toInt();
        rows.insert(row);
        macs.insert(attempt["mac"].toString());
        EXPECT_EQ(attempt["result"], "PASS") << attempt["error"].toString().toStdString();
        EXPECT_EQ(attempt["label"], expected.at(row).label);
        EXPECT_EQ(attempt["operator"], "kim");
        for (const auto& [key, text] : std::map<QString, QString>{{"ip", expected.at(row).ip},
                                                                  {"mask", "255.255.0.0"},
                                                                  {"listen", expected.at(row).listen},
                                                                  {"ssid", "line-ap"},
                                                                  {"password", "set, 9 characters"}}) {
            EXPECT_EQ(Field(attempt, key, "sent"), text) << key.toStdString();
            EXPECT_EQ(Field(attempt, key, "read_back"), text) << key.toStdString();
        }
    }
    EXPECT_EQ(rows, (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(macs.size(), 5u);

    int json = 0, html = 0;
    for (const auto& [path, bytes] : Files()) {
        json += path.contains("/reports/") && path.endsWith(".json");
        html += path.contains("/reports/") && path.endsWith(".html");
        EXPECT_FALSE(bytes.contains("s3cretPW!") && !path.endsWith("plan.csv")) << path.toStdString();
    }
    EXPECT_EQ(json, 5);
    EXPECT_EQ(html, 5);
    EXPECT_FALSE(run.out.contains("s3cretPW!") || run.err.contains("s3cretPW!"));

    // The same plan again: every row has passed, nothing is opened or written.
    const TRun again = Run(QStringList{"batch", plan, "--json"} + Ports(ports));
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(Records().size(), 5);
}

// The failed unit holds the row's address now: the row waits for that unit, never another.
TEST_F(Batch, AUnitStoringAWrongValueFailsByNameAndItsRowIsReservedForIt)
{
    const QString plan = Plan("label,ip\nB-01,10.2.0.1\nB-02,10.2.0.2\n");
    const QString port = Bench({"--units", "3", "--store-wrong", "1:ip"});
    const TRun run = Run({"batch", plan, "-p", port});
    EXPECT_EQ(run.exitCode, 3) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("FAIL B-01 (00:1A:2B:3C:4D:01), row 1: wan: read back other than sent: ip"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("row 1 (B-01) is reserved for the unit 00:1A:2B:3C:4D:01, which may hold its values"))
        << run.out.toStdString();

    const QJsonArray records = Records();
    ASSERT_EQ(records.size(), 2);
    const QStringList seen = {records[0]["result"].toString() + " " + records[0]["label"].toString(),
                              records[1]["result"].toString() + " " + records[1]["label"].toString()};
    EXPECT_EQ(seen, (QStringList{"FAIL B-01", "PASS B-02"}));
    EXPECT_EQ(records[0]["differs"].toArray(), QJsonArray{"ip"});
    EXPECT_EQ(Field(records[0].toObject(), "ip", "read_back"), "10.2.0.0");
}

TEST_F(Batch, AUnitSwappedBeforeItsReadBackFailsAndTheOtherUnitsValuesAreNeverTakenForIts)
{
    const QString plan = Plan("label,ip\nG-01,10.7.0.1\nG-02,10.7.0.2\n");
    // Each unit is taken away the moment it comes back from its reboot, and the next is there.
    const QString port = Bench({"--units", "2", "--next-unit-ms", "0", "--untouched-unit-ms", "5000"}, "0");
    const TRun run = Run({"batch", plan, "-p", port, "--stop-on-fail"});
    EXPECT_EQ(run.exitCode, 3) << run.out.toStdString() << run.err.toStdString();
    const QJsonArray records = Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0]["mac"], "00:1A:2B:3C:4D:01");
    EXPECT_EQ(records[0]["error"], "wan: another unit (MAC 00:1A:2B:3C:4D:02) answered after the save: this unit was "
                                   "taken away before it was verified");
    EXPECT_EQ(Field(records[0].toObject(), "ip", "read_back"), "");
}

TEST_F(Batch, MatchingByMacRefusesAUnitThePlanDoesNotName)
{
    const QString plan = Plan("label,mac,ip\nC-02,00-1a-2b-3c-4d-02,10.3.0.2\nC-03,001A2B3C4D03,10.3.0.3\n");
    const QString port = Bench({"--units", "3"});
    const TRun run = Run({"batch", plan, "-p", port, "--match", "mac"});
    EXPECT_EQ(run.exitCode, 3) << run.out.toStdString() << run.err.toStdString();
    const QJsonArray records = Records();
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[0]["result"], "REFUSED");
    EXPECT_EQ(records[0]["mac"], "00:1A:2B:3C:4D:01");
    EXPECT_EQ(records[0]["plan_row"], QJsonValue());
    EXPECT_TRUE(records[0]["fields"].toArray().isEmpty());
    EXPECT_EQ(records[1]["label"], "C-02");
    EXPECT_EQ(records[2]["label"], "C-03");
    EXPECT_EQ(Field(records[2].toObject(), "ip", "read_back"), "10.3.0.3");
}

TEST_F(Batch, ABadPlanIsRefusedWholeBeforeAnyPortOpensAndAGoodOneIsSummed)
{
    const QString port = Bench({"--units", "1"}, "400", true);
    const QString bad = Plan("label,ip,listen\nD-01,10.4.0.1,0\nD-01,10.4.0.300,5000\n");
    const TRun refused = Run({"batch", bad, "-p", port});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("line 3 (row 2), column label")) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("line 3 (row 2), column ip")) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("line 2 (row 1), column listen")) << refused.err.toStdString();
    // A status read after it is the first frame the unit ever saw.
    EXPECT_EQ(RunCtl({"-p", port, "--timeout", "500", "status"}, folder.path()).exitCode, 0);
    ASSERT_TRUE(benches.back()->logContains("RX 0x41"));
    EXPECT_EQ(QString::fromStdString(benches.back()->log()).count("RX 0x"), 1) << benches.back()->log();

    const QString good = Plan("label,ip\nD-01,10.4.0.1\n");
    const TRun checked = Run({"batch", good, "--check"});
    EXPECT_EQ(checked.exitCode, 0) << checked.err.toStdString();
    EXPECT_TRUE(checked.out.contains("wan: ip")) << checked.out.toStdString();
    EXPECT_FALSE(QFile::exists(folder.filePath("provision.sqlite")));
}

TEST_F(Batch, AReportFolderThatCannotBeWrittenEndsTheRunWith1AndWithoutATerminalEachStateIsALine)
{
    const QString plan = Plan("label,ip\nJ-01,10.9.0.1\n");
    // Slow reboots: the report folder is taken away while the unit restarts.
    const QString port = Bench({"--units", "1", "--reboot-ms", "2000"});
    const TRun early = Run({"batch", plan, "-p", port, "--report-dir", folder.filePath("plan.csv/reports")});
    EXPECT_EQ(early.exitCode, 1);
    EXPECT_EQ(early.err, "r7730ctl: cannot make the report folder " + folder.filePath("plan.csv/reports") +
                             ": Not a directory; no port was opened\n");
    EXPECT_TRUE(Records().isEmpty());

    QProcess run;
    ASSERT_TRUE(StartUntil(run, {"batch", plan, "-p", port}, "waiting for the unit to restart"));
    ASSERT_TRUE(QDir(folder.filePath("reports")).removeRecursively());
    ASSERT_TRUE(r7730::testing::WriteWholeFile(folder.filePath("reports"), "not a folder"));
    ASSERT_TRUE(run.waitForFinished(20000));
    EXPECT_EQ(run.exitCode(), 1);
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    for (const QString& line : {port + ": waiting for a unit", port + ": writing wan", port + ": PASS J-01: take it away",
                                QString("the reports of 1 unit were not written")})
        EXPECT_TRUE(out.contains(line + "\n")) << line.toStdString() << "\n" << out.toStdString();
    const QJsonArray records = Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0]["result"], "PASS");
}

TEST_F(Batch, AMistypedPortIsSaidAtOnceAndTheWaitEndsAtCtrlC)
{
    const QString plan = Plan("label,ip\nK-01,10.10.0.1\n");
    QProcess run;
    ASSERT_TRUE(StartUntil(run, {"batch", plan, "-p", "p1", "--json"}, "waiting for the port"));
    ::kill(static_cast<pid_t>(run.processId()), SIGINT);
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_EQ(run.exitCode(), 130);
    const QByteArray out = run.readAllStandardOutput();
    EXPECT_TRUE(out.contains("\"state\":\"waiting for the port /dev/p1 to appear\"")) << out.toStdString();
}

// Reading the record never makes a store, and a store no program can open is a usage error.
TEST_F(Batch, RecordsRefuseAMissingStoreAndAnUnknownKindOfStore)
{
    const QString plan = Plan("label,ip\nL-01,10.11.0.1\n");
    struct TCase {
        QStringList arguments;
        const char* message;
    };
    const TCase cases[] = {
        {{"records"}, "r7730ctl: there is no record store provision.sqlite: give --store with the store of a batch run\n"},
        {{"records", "--store", "nosuch.sqlite", "--csv"},
         "r7730ctl: there is no record store nosuch.sqlite: give --store with the store of a batch run\n"},
        {{"records", "--store", "mysql://kim:pw@db/line"},
         "r7730ctl: The record store mysql://db/line is of a kind this program does not know: give a SQLite file's path "
         "or a postgresql:// URL.\n"},
        {{"batch", plan, "-p", "p1", "--store", "mysql://db/line"},
         "r7730ctl: The record store mysql://db/line is of a kind this program does not know: give a SQLite file's path "
         "or a postgresql:// URL.\n"},
    };
    for (const TCase& c : cases) {
        const TRun run = RunCtl(c.arguments, folder.path());
        EXPECT_EQ(run.exitCode, 2) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.err, c.message);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"plan.csv"});
}

// Killed while its unit restarts: the claim goes back at once (on PostgreSQL with the killed
// process's connection, on SQLite with its process), reserved for that unit, which gets its row.
TEST_F(Batch, AKilledRunIsResumedWithNoAttemptLostOrDoubled)
{
    r7730::testing::TPostgresCluster& postgres = r7730::testing::TPostgresCluster::Shared();
    const QString database = postgres.CreateDatabase();
    ASSERT_FALSE(database.isEmpty()) << postgres.Error().toStdString();
    // One row: resumed, the run has only the killed run's row left, reserved for its unit.
    const QString plan = Plan("label,ip\nE-01,10.5.0.1\n");
    for (const QStringList& store : {QStringList(), QStringList{"--store", postgres.Url(database)}}) {
        // Slow reboots: the run is killed while its first unit restarts.
        const QString port = Bench({"--units", "2", "--reboot-ms", "3000"}, "3000");
        QProcess first;
        ASSERT_TRUE(StartUntil(first, QStringList{"batch", plan, "-p", port, "--json"} + store, "waiting for the unit to restart"));
        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        first.waitForFinished();

        const TRun resumed = Run(QStringList{"batch", plan, "-p", port} + store);
        EXPECT_EQ(resumed.exitCode, 0) << resumed.out.toStdString() << resumed.err.toStdString();
        EXPECT_TRUE(resumed.out.contains("row 1 (E-01) was taken back from its holder and is reserved for its unit"))
            << resumed.out.toStdString();
        const QJsonArray records = Records(store);
        QStringList seen;
        for (const QJsonValue& attempt : records)
            seen << attempt["result"].toString() + " " + attempt["label"].toString() + " " + attempt["mac"].toString().right(2);
        EXPECT_EQ(seen, (QStringList{"INTERRUPTED E-01 01", "PASS E-01 01"})) << store.join(' ').toStdString();
    }
}

TEST_F(Batch, CtrlCRecordsTheUnitInProgressAsInterruptedBeforeTheRunEnds)
{
    const QString plan = Plan("label,ip\nH-01,10.8.0.1\n");
    const QString port = Bench({"--units", "1", "--reboot-ms", "3000"}, "3000");
    QProcess run;
    ASSERT_TRUE(StartUntil(run, {"batch", plan, "-p", port, "--json"}, "waiting for the unit to restart"));
    ::kill(static_cast<pid_t>(run.processId()), SIGINT);
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_EQ(run.exitCode(), 130);
    const QJsonArray records = Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0]["result"], "INTERRUPTED");
    EXPECT_EQ(records[0]["error"], "interrupted while the wan settings were applied");
}

TEST_F(Batch, TwoProcessesSharingOnePostgresStoreClaimEveryRowOnce)
{
    r7730::testing::TPostgresCluster& postgres = r7730::testing::TPostgresCluster::Shared();
    const QString database = postgres.CreateDatabase();
    ASSERT_FALSE(database.isEmpty()) << postgres.Error().toStdString();
    const QStringList store = {"--store", postgres.Url(database)};
    const QString plan = Plan("label,ip\nF-01,10.6.0.1\nF-02,10.6.0.2\nF-03,10.6.0.3\nF-04,10.6.0.4\n");
    std::vector<std::unique_ptr<QProcess>> stations;
    for (const QString& port : {Bench({"--units", "4"}), Bench({"--units", "4", "--first-unit", "5"})}) {
        stations.push_back(std::make_unique<QProcess>());
        stations.back()->setWorkingDirectory(folder.path());
        stations.back()->start(QStringLiteral(R7730CTL_BINARY), QStringList{"--timeout", "500", "batch", plan, "-p", port} + store);
    }
    // What is left is the plan's, whichever station did the work: the last to end sees no row
    // left, the first at most the row the other held then.
    int remainingSum = 0, remainingLeast = 4;
    for (const auto& station : stations) {
        ASSERT_TRUE(station->waitForFinished(120000));
        EXPECT_EQ(station->exitCode(), 0) << station->readAllStandardError().toStdString();
        const QString out = QString::fromUtf8(station->readAllStandardOutput());
        const QRegularExpressionMatch totals = QRegularExpression("remaining (\\d+) ").match(out);
        ASSERT_TRUE(totals.hasMatch()) << out.toStdString();
        remainingSum += totals.captured(1).toInt();
        remainingLeast = std::min(remainingLeast, totals.captured(1).toInt());
    }
    EXPECT_EQ(remainingLeast, 0);
    EXPECT_LE(remainingSum, 1);
    const QJsonArray records = Records(store);
    std::multiset<int> rows;
    for (const QJsonValue& attempt : records) {
        EXPECT_EQ(attempt["result"], "PASS");
        rows.insert(attempt["plan_row"].toInt());
    }
    EXPECT_EQ(rows, (std::multiset<int>{1, 2, 3, 4}));
}

// Unplugging is the normal life of a line: the unit whose port goes is recorded and reported,
// its row waits for it, the station waits for its port, the other station goes on, and the run
// ends with its summary.
TEST_F(Batch, APortThatGoesAwayMidUnitEndsThatUnitFailAndTheRunGoesOn)
{
    const QString plan = Plan("label,ip\nJ-01,10.9.0.1\nJ-02,10.9.0.2\nJ-03,10.9.0.3\n");
    // The first bench's port vanishes right after its unit's save, and comes back after the unit
    // has been taken away.
    const QString vanishing = Bench({"--units", "1", "--hangup-after", "2", "--replug-ms", "2500"}, "300", true);
    const QString steady = Bench({"--units", "2", "--first-unit", "3", "--reboot-ms", "900"});
    const TRun run = Run({"batch", plan, "-p", vanishing, "-p", steady});
    EXPECT_EQ(run.exitCode, 3) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("pass 2  fail 1  ")) << run.out.toStdString();

    std::map<QString, QString> units;
    for (const QJsonValue& attempt : Records())
        units[attempt["mac"].toString().right(2)] += attempt["result"].toString() + " " + attempt["label"].toString() + " " +
                                                     attempt["error"].toString();
    const QString lostLabel = units["01"].section(' ', 1, 1);
    EXPECT_EQ(units, (std::map<QString, QString>{{"01", "FAIL " + lostLabel + " wan: the port went away"},
                                                 {"03", units["03"].left(4) == "PASS" ? units["03"] : "PASS"},
                                                 {"04", units["04"].left(4) == "PASS" ? units["04"] : "PASS"}}));
    EXPECT_FALSE(units["03"].contains(lostLabel) || units["04"].contains(lostLabel)) << "the lost unit's row went to no other";
    EXPECT_TRUE(run.out.contains(QStringLiteral("(%1) is reserved for the unit 00:1A:2B:3C:4D:01").arg(lostLabel)))
        << run.out.toStdString();
    int reports = 0;
    for (const auto& [path, bytes] : Files())
        reports += path.contains("_" + lostLabel + "_") && path.endsWith(".json") && bytes.contains(": the port went away");
    EXPECT_EQ(reports, 1);
    // The station opened the port again once it was back.
    const std::string log = benches.front()->log();
    const std::size_t replugged = log.find("plugged in again");
    ASSERT_NE(replugged, std::string::npos);
    EXPECT_NE(log.find("port opened by the program", replugged), std::string::npos) << log;
}

// A unit that failed after a write keeps its row; freed by the engineer, the row goes to the next
// unit, and failing there too it is held: the row itself is suspect now.
TEST_F(Batch, ARowFailingOnTwoUnitsIsHeldAndReleasesAreRecorded)
{
    const QString plan = Plan("label,ip\nK-01,10.10.0.1\n");
    struct TCase {
        QStringList arguments;
        int exitCode;
        QString said;
    };
    const auto expect = [&](const std::vector<TCase>& cases) {
        for (const TCase& c : cases) {
            const TRun run = c.arguments.front() == "batch" ? Run(c.arguments) : RunCtl(c.arguments, folder.path());
            EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
            EXPECT_TRUE((run.out + run.err).contains(c.said)) << (run.out + run.err).toStdString();
        }
    };
    expect({
        {{"batch", plan, "-p", Bench({"--units", "1", "--store-wrong", "ip"})}, 3,
         "row 1 (K-01) is reserved for the unit 00:1A:2B:3C:4D:01, which may hold its values"},
        {{"records", "release", "K-01"}, 0, "released row 1 (K-01) of plan "},
        {{"records", "release", "K-01"}, 2, "no row labelled K-01 is reserved or held; nothing was changed"},
        {{"batch", plan, "-p", Bench({"--units", "1", "--first-unit", "2", "--store-wrong", "ip"})}, 3,
         "row 1 (K-01) is held after failing on two units"},
        {{"records", "release", "K-01"}, 0, "held before"},
        {{"records", "release"}, 2, "records release needs one LABEL"},
        {{"records", "release", "K-01", "--store", "nosuch.sqlite"}, 2, "there is no record store nosuch.sqlite"},
    });
    QStringList seen;
    for (const QJsonValue& attempt : Records())
        seen << attempt["result"].toString() + " " + attempt["label"].toString() + " " + attempt["mac"].toString().right(2);
    EXPECT_EQ(seen, (QStringList{"FAIL K-01 01", "FAIL K-01 02"}));
    EXPECT_FALSE(QFile::exists(folder.filePath("nosuch.sqlite")));
}

// An edited plan file started again is a second plan in the store: what the first version
// passed is not given out again unless reissued, and --check warns of it.
TEST_F(Batch, AnEditedPlanDoesNotGiveOutWhatItsEarlierVersionPassed)
{
    const QString plan = Plan("label,ip\nL-01,10.11.0.1\n");
    ASSERT_EQ(Run({"batch", plan, "-p", Bench({"--units", "1"})}).exitCode, 0);
    Plan("label,ip\nL-01,10.11.0.1\nL-02,10.11.0.2\n");
    const QString port = Bench({"--units", "2", "--first-unit", "2"});

    const TRun checked = Run({"batch", plan, "--check"});
    EXPECT_EQ(checked.exitCode, 0);
    const TRun refused = Run({"batch", plan, "-p", port});
    EXPECT_EQ(refused.exitCode, 2);
    for (const QString& said : {checked.err, refused.err})
        EXPECT_TRUE(said.contains("an earlier version of this plan file has passed what it gives again") &&
                    said.contains("row 1: label L-01 passed as row 1 of"))
            << said.toStdString();
    EXPECT_FALSE(benches.back()->logContains("port opened by the program"));

    const TRun reissued = Run({"batch", plan, "-p", port, "--reissue"});
    EXPECT_EQ(reissued.exitCode, 0) << reissued.out.toStdString() << reissued.err.toStdString();
    EXPECT_TRUE(reissued.out.contains("PASS L-01 (00:1A:2B:3C:4D:02), row 1")) << reissued.out.toStdString();

    // The first unit comes to a run of another plan: it has passed, so it is refused; the next
    // unit takes the row.
    const TRun again = Run(
        {"batch", Plan("label,ip\nM-01,10.12.0.1\n"), "-p", Bench({"--units", "2", "--first-unit", "3", "--untouched-unit-ms", "300"})});
    EXPECT_EQ(again.exitCode, 3);
    EXPECT_TRUE(again.out.contains("the unit 00:1A:2B:3C:4D:03 has passed as L-02 of ")) << again.out.toStdString();
    EXPECT_TRUE(again.out.contains("PASS M-01 (00:1A:2B:3C:4D:04), row 1")) << again.out.toStdString();

    const TRun shortClaims = Run({"batch", plan, "-p", port, "--claim-timeout", "3"});
    EXPECT_EQ(shortClaims.exitCode, 2);
    EXPECT_TRUE(shortClaims.err.contains("--claim-timeout takes a whole number from 60 to 604800, not \"3\""));
}

// The store stops while a unit reboots: the unit's PASS goes into the journal, no new unit is
// taken while the store is away, and the PASS is recorded when it is back; no row goes twice.
TEST_F(Batch, AStoreThatStopsMidUnitLosesNoPassAndGivesNoRowTwice)
{
    r7730::testing::TPostgresCluster postgres({.shared = false});
    ASSERT_TRUE(postgres.Error().isEmpty()) << postgres.Error().toStdString();
    const QString database = postgres.CreateDatabase();
    const QStringList store = {"--store", postgres.Url(database)};
    const QString plan = Plan("label,ip\nN-01,10.13.0.1\nN-02,10.13.0.2\n");
    const QString port = Bench({"--units", "2", "--reboot-ms", "1500"}, "300");
    QProcess run;
    run.setWorkingDirectory(folder.path());
    run.start(QStringLiteral(R7730CTL_BINARY), QStringList{"--timeout", "500", "batch", plan, "-p", port, "--json"} + store);
    QByteArray out;
    const auto saw = [&](const QByteArray& text) {
        return QTest::qWaitFor([&] {
            run.waitForReadyRead(50);
            out += run.readAllStandardOutput();
            return out.contains(text);
        }, 30000);
    };
    ASSERT_TRUE(saw("waiting for the unit to restart")) << out.toStdString();
    ASSERT_TRUE(postgres.StopServer());
    ASSERT_TRUE(saw("is kept in the journal")) << out.toStdString();
    ASSERT_TRUE(saw("no new unit is taken until it answers")) << out.toStdString();
    ASSERT_TRUE(postgres.StartServer()) << postgres.Error().toStdString();
    ASSERT_TRUE(run.waitForFinished(60000));
    out += run.readAllStandardOutput();
    EXPECT_EQ(run.exitCode(), 0) << out.toStdString() << run.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains("1 attempt of the journal")) << out.toStdString();

    const QJsonArray records = Records(store);
    QStringList seen;
    for (const QJsonValue& attempt : records)
        seen << attempt["result"].toString() + " " + attempt["label"].toString() + " " + attempt["mac"].toString().right(2);
    EXPECT_EQ(seen, (QStringList{"PASS N-01 01", "PASS N-02 02"}));
}
