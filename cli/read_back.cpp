// One section's change: checked, filled from the device, sent, waited for, read back and
// compared (see read_back.h).
#include "cli/read_back.h"

#include "cli/session_wording.h"
#include "cli/failure.h"
#include "device/apply_and_verify.h"

namespace r7730::cli {
namespace {

QString Seconds(int ms)
{
    return QString::number(ms / 1000.0, 'g', 3);
}

} // namespace

void CheckGiven(TSection section, const TTexts& given, bool noVerify, bool forceMask, const TKeyNamer& name)
{
    for (const QString& key : SectionKeys(section)) {
        const auto found = given.find(key);
        if (found == given.end())
            continue;
        TSettingsValue value;
        const QString refusal = RefusalOfGiven(section, key, found->second, forceMask, &value);
        if (!refusal.isEmpty())
            throw TCliFailure(kExitRefused, QStringLiteral("%1: %2; nothing was sent").arg(name.given(key, found->second), refusal));
        if (!noVerify && UnreadableKeys(value).contains(key))
            throw TCliFailure(kExitRefused,
                              QStringLiteral("%1: %2 can be stored but never read back (a reply ends at its first "
                                             "0xFE); add --no-verify to store it unverified")
                                  .arg(name.given(key, found->second), UnreadableValueWording(key, found->second)));
    }
}

TPreparedChange Prepare(TSection section, const TTexts& given, const TTexts& current, bool statusReceived,
                        const TKeyNamer& name)
{
    auto prepared = PrepareSectionChange(section, given, current, statusReceived);
    if (auto* change = std::get_if<TSectionChange>(&prepared))
        return std::move(*change);
    const TSectionRefusal& refusal = std::get<TSectionRefusal>(prepared);
    switch (refusal.kind) {
    case TSectionRefusal::TKind::NotReported:
        throw TCliFailure(kExitDevice, QStringLiteral("the device reported no %1 (its reply did not decode that far); give "
                                                      "%2 to set one")
                                           .arg(refusal.key, name.toGive(refusal.key)));
    case TSectionRefusal::TKind::HeldRefused:
        throw TCliFailure(kExitRefused, QStringLiteral("the device holds %1 %2, which the checks refuse (%3); nothing was "
                                                       "sent: give %4 to replace it")
                                            .arg(refusal.key, refusal.held, refusal.why, name.toGive(refusal.key)));
    case TSectionRefusal::TKind::SetRefused:
        break;
    }
    throw TCliFailure(kExitRefused, QStringLiteral("the %1 settings are refused: %2; nothing was sent")
                                        .arg(SectionName(section), refusal.why));
}

TChangeReport Apply(TCtlSession& session, const TPreparedChange& change)
{
    const QString portLine = session.LineText();
    const int waitMs = session.RebootWaitMs();
    const TApplyResult result = session.Run([&] { return ApplyAndVerify(session.Device(), change.value); });

    TChangeReport report;
    if (std::holds_alternative<TSerialSettings>(change.value)) {
        if (!result.movedLine) {
            report.lineNote = QStringLiteral("the device answered on the port's line %1").arg(portLine);
        } else {
            if (!result.answeredAgain)
                throw TCliFailure(kExitDevice, QStringLiteral("the device answered neither on the port's line %1 within "
                                                              "%2 s nor once on its new line %3")
                                                   .arg(portLine, Seconds(waitMs), session.LineText()));
            report.lineNote = QStringLiteral("no answer on the port's line %1 within %2 s; the device answered on its "
                                             "new line %3: the setup link itself moved. Set the port to that line "
                                             "([EnvBoard] of %4, or the window's port setup) to reach it again")
                                  .arg(portLine, Seconds(waitMs), session.LineText(),
                                       session.SettingsFile().path);
        }
    }
    if (!result.answeredAgain) {
        QString message = QStringLiteral("the device did not answer a status read within %1 s after the %2 save")
                              .arg(Seconds(waitMs), SectionName(change.section));
        if (!change.unverified.isEmpty())
            message += QStringLiteral(" (the unverified %1 may cut its replies short)").arg(change.unverified.join(", "));
        throw TCliFailure(kExitDevice, message);
    }
    report.backAfterSeconds = static_cast<double>(result.backAfterMs) / 1000.0;
    report.rebootSeen = result.rebootSeen;
    if (!result.readBackAnswered)
        session.NoAnswer("current access point");
    report.after = result.readBack;
    report.differs = result.differs;
    return report;
}

} // namespace r7730::cli
