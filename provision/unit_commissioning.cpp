// A plan row applied to one unit and verified (see unit_commissioning.h).
#include "provision/unit_commissioning.h"

#include <QElapsedTimer>

#include "device/apply_and_verify.h"
#include "device/device_session.h"
#include "device/section_change.h"
#include "device/settings_text_checks.h"

namespace r7730::provision {
namespace {

void Fail(TAttempt& attempt, const QString& error)
{
    attempt.result = TAttemptResult::Fail;
    attempt.error = error;
}

enum class TSectionOutcome { Held, Saved, Failed };

// One section: filled, checked, saved and read back.
TSectionOutcome ApplySection(TDeviceSession& session, TSection section, const TTexts& given, const TStatusReply& status,
                  TAttempt& attempt, const TStateReport& state, const std::function<QString()>& mayWrite)
{
    const QString name = SectionName(section);
    QElapsedTimer clock;
    clock.start();
    const std::optional<TTexts> current = ReadSectionTexts(session, section, status);
    if (!current) {
        Fail(attempt, QStringLiteral("%1: no answer to the read of the current access point").arg(name));
        return TSectionOutcome::Failed;
    }
    const auto prepared = PrepareSectionChange(section, given, *current, session.Link().StatusReceived());
    if (const auto* refusal = std::get_if<TSectionRefusal>(&prepared)) {
        if (refusal->kind == TSectionRefusal::TKind::NotReported)
            Fail(attempt, QStringLiteral("%1 %2: the unit reported none (its reply did not decode that far) and the "
                                         "plan gives none")
                              .arg(name, refusal->key));
        else
            // The plan's cells passed the check one by one, so the refusal comes from a value the
            // unit holds, or from the combination.
            Fail(attempt, QStringLiteral("%1: %2; nothing was sent").arg(name, refusal->setRefusal));
        return TSectionOutcome::Failed;
    }
    const TSectionChange& change = std::get<TSectionChange>(prepared);
    if (!change.Changes()) {
        RecordFields(attempt, section, change.sent, *current, {}, {});
        attempt.steps.push_back({name, static_cast<double>(clock.elapsed()) / 1000.0});
        return TSectionOutcome::Held;
    }
    if (const QString refusal = mayWrite(); !refusal.isEmpty()) {
        Fail(attempt, QStringLiteral("%1: %2; nothing was written").arg(name, refusal));
        return TSectionOutcome::Failed;
    }
    state(QStringLiteral("writing %1").arg(name));
    const TApplyResult result = ApplyAndVerify(session, change.value);
    // What another unit holds is no read-back of this one.
    const bool swapped = result.answeredAgain && QString::fromStdU16String(result.macAfter) != attempt.mac;
    RecordFields(attempt, section, result.sent, swapped ? TTexts() : result.readBack,
                 swapped ? QStringList() : result.differs, result.unverified);
    attempt.steps.push_back({name, static_cast<double>(clock.elapsed()) / 1000.0});
    if (session.Interrupted())
        return TSectionOutcome::Failed;
    if (!result.answeredAgain) {
        Fail(attempt, QStringLiteral("%1: the unit did not answer again within %2 s after the save")
                          .arg(name)
                          .arg(session.RebootWaitMs() / 1000.0));
        return TSectionOutcome::Failed;
    }
    if (swapped) {
        Fail(attempt, QStringLiteral("%1: another unit (MAC %2) answered after the save: this unit was taken away "
                                     "before it was verified")
                          .arg(name, QString::fromStdU16String(result.macAfter)));
        return TSectionOutcome::Failed;
    }
    if (!result.readBackAnswered) {
        Fail(attempt, QStringLiteral("%1: no answer to the read-back").arg(name));
        return TSectionOutcome::Failed;
    }
    // The answer it came back with tells the firmware it runs: no second status read.
    attempt.firmwareAfter = QString::fromStdU16String(result.versionAfter);
    if (!result.differs.isEmpty()) {
        attempt.differs << result.differs;
        Fail(attempt, QStringLiteral("%1: read back other than sent: %2").arg(name, result.differs.join(", ")));
        return TSectionOutcome::Failed;
    }
    return TSectionOutcome::Saved;
}

} // namespace

void CommissionUnit(TDeviceSession& session, const TPlanRow& row, const TStatusReply& status, TAttempt& attempt,
                    const TStateReport& state, const TWriteGate& mayWrite)
{
    attempt.firmwareAfter = attempt.firmwareBefore;
    bool gateAsked = false;
    // The gate is asked once: after it let the first save through, the others follow.
    const auto writeGate = [&]() -> QString {
        if (gateAsked || !mayWrite)
            return {};
        gateAsked = true;
        return mayWrite();
    };
    QString step;
    try {
        for (TSection section : kApplyOrder) {
            const auto given = row.given.find(section);
            if (given == row.given.end() || given->second.empty())
                continue;
            step = SectionName(section);
            const TSectionOutcome outcome = ApplySection(session, section, given->second, status, attempt, state, writeGate);
            if (session.Interrupted()) {
                attempt.result = TAttemptResult::Interrupted;
                attempt.error = QStringLiteral("interrupted while the %1 settings were applied").arg(SectionName(section));
                return;
            }
            if (outcome == TSectionOutcome::Failed)
                return;
        }
    } catch (const ESessionEnded& ended) {
        Fail(attempt, QStringLiteral("%1: %2").arg(step.isEmpty() ? QStringLiteral("read status") : step, ended.Text()));
        throw;
    }
    attempt.result = TAttemptResult::Pass;
}

} // namespace r7730::provision
