// Reports of r7730ctl's units (see unit_report.h).
#include "cli/unit_report.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QThread>
#include <unistd.h>

#include "cli/session_wording.h"
#include "cli/failure.h"
#include "cli/read_back.h"
#include "provision/commissioning_report.h"
#include "provision/report_pdf.h"

namespace r7730::cli {

using namespace r7730::provision;

TReportWriter ReportWriter(const QString& folder, bool pdf)
{
    const TReportProgram program{QStringLiteral("r7730ctl"), QCoreApplication::applicationVersion()};
    return [folder, pdf, program](const TAttempt& attempt) {
        const TCommissioningReport report = MakeCommissioningReport(attempt, program);
        std::vector<TReportFile> files = ReportFiles(report);
        if (pdf) {
            TReportFile page;
            QCoreApplication* application = QCoreApplication::instance();
            QMetaObject::invokeMethod(application, [&] { page = ReportPdfFile(report); },
                                      QThread::currentThread() == application->thread() ? Qt::DirectConnection
                                                                                        : Qt::BlockingQueuedConnection);
            files.push_back(page);
        }
        try {
            return WriteReportFiles(folder, files);
        } catch (const EReportError& error) {
            throw std::runtime_error(error.Text().toStdString());
        }
    };
}

TUnitReport::TUnitReport(const QString& folder, const TCtlSession& session, const TStatusReply& status) : folder_(folder)
{
    attempt_.started = QDateTime::currentDateTime();
    attempt_.station = QSysInfo::machineHostName();
    attempt_.processId = ::getpid();
    attempt_.operatorName = QString::fromLocal8Bit(qgetenv("USER"));
    attempt_.port = RecordedPortName(session.PortName());
    attempt_.model = QString::fromStdU16String(status.deviceName);
    attempt_.mac = QString::fromStdU16String(status.macAddress);
    attempt_.firmwareBefore = attempt_.firmwareAfter = QString::fromStdU16String(status.version);
}

void TUnitReport::Add(const TPreparedChange& change, const TChangeReport* report)
{
    if (!report) {
        RecordFields(attempt_, change.section, change.before, change.before);
        return;
    }
    RecordFields(attempt_, change.section, change.sent, report->after, report->differs, change.unverified);
    attempt_.differs << report->differs;
    attempt_.steps.push_back({SectionName(change.section), report->backAfterSeconds});
}

void TUnitReport::Fail(const TPreparedChange& change, const QString& error)
{
    RecordFields(attempt_, change.section, change.sent, {}, {}, change.unverified);
    Fail(error);
}

QStringList TUnitReport::Write()
{
    if (folder_.isEmpty())
        return {};
    attempt_.ended = QDateTime::currentDateTime();
    attempt_.result = attempt_.differs.isEmpty() && attempt_.error.isEmpty() ? TAttemptResult::Pass : TAttemptResult::Fail;
    if (!attempt_.differs.isEmpty())
        attempt_.error = QStringLiteral("read back other than sent: %1").arg(attempt_.differs.join(", "));
    try {
        return ReportWriter(folder_, false)(attempt_);
    } catch (const std::exception& error) {
        throw TCliFailure(kExitDevice, QStringLiteral("the report was not written: %1").arg(QString::fromUtf8(error.what())));
    }
}

} // namespace r7730::cli
