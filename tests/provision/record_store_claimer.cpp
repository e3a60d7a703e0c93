// A second process on the record store for the concurrency test: registers the plan of N rows
// (so several of these make a new store at once), then claims rows until none is free, closing
// each as a PASS and printing its number on a line of its own.
//   record_store_claimer URL WORKING-FOLDER PLAN-SHA256 ROWS STATION
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>
#include <unistd.h>

#include "provision/record_store.h"
#include "record_store_test_plan.h"

using namespace r7730::provision;

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 6) {
        std::fprintf(stderr, "usage: record_store_claimer URL WORKING-FOLDER PLAN-SHA256 ROWS STATION\n");
        return 2;
    }
    try {
        const auto store = TRecordStore::Open(arguments[1], arguments[2]);
        const TPlan plan = r7730::testing::NumberedPlan(arguments[3].toLatin1(), arguments[4].toInt());
        store->RegisterPlan(plan);
        TAttempt attempt;
        attempt.planSha256 = plan.sha256;
        attempt.station = arguments[5];
        attempt.processId = ::getpid();
        while (true) {
            attempt.started = QDateTime::currentDateTime();
            const std::optional<TClaim> claim = store->ClaimNext(attempt);
            if (!claim)
                break;
            TAttempt done = attempt;
            done.id = claim->attemptId;
            done.planRow = claim->planRow;
            done.result = TAttemptResult::Pass;
            store->Finish(done);
            std::printf("%d\n", claim->planRow);
        }
    } catch (const EStoreError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
