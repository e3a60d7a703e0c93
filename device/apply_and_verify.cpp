// A save sent, waited for, read back and compared (see apply_and_verify.h).
#include "device/apply_and_verify.h"

#include <QElapsedTimer>

#include "device/device_session.h"
#include "device/section_change.h"

namespace r7730 {
namespace {

void Send(TDeviceLink& link, const TSettingsValue& value)
{
    if (const auto* wan = std::get_if<TWanSettings>(&value))
        link.SaveWanSettings(*wan);
    else if (const auto* tcp = std::get_if<TTcpSettings>(&value))
        link.SaveTcpSettings(*tcp);
    else if (const auto* serial = std::get_if<TSerialSettings>(&value))
        link.SaveSerialSettings(*serial);
    else
        link.SetAccessPoint(std::get<TAccessPoint>(value));
}

} // namespace

TApplyResult ApplyAndVerify(TDeviceSession& session, const TSettingsValue& value)
{
    TApplyResult result;
    result.section = SectionOf(value);
    result.sent = TextsOfValue(value);
    result.unverified = UnreadableKeys(value);

    QElapsedTimer clock;
    clock.start();
    Send(session.Link(), value);
    result.sendMs = clock.elapsed();
    const TReturn back = session.AwaitReturn(session.RebootWaitMs());
    std::optional<TStatusReply> status = back.status;
    result.rebootSeen = back.silenceSeen;
    if (const auto* serial = std::get_if<TSerialSettings>(&value); serial && !status) {
        session.Link().MoveLine(*serial);
        result.movedLine = true;
        status = session.ReadStatus();
    }
    if (!status)
        return result;
    result.answeredAgain = true;
    result.macAfter = status->macAddress;
    result.versionAfter = status->version;
    result.backAfterMs = clock.elapsed();

    // The status reply the device returned with is the read-back of its own sections.
    std::optional<TTexts> readBack = ReadSectionTexts(session, result.section, *status);
    result.readBackMs = clock.elapsed() - result.backAfterMs;
    if (!readBack)
        return result;
    result.readBack = std::move(*readBack);
    result.readBackAnswered = true;
    for (const QString& key : SectionKeys(result.section)) {
        if (result.unverified.contains(key))
            continue;
        const auto held = result.readBack.find(key);
        if (held == result.readBack.end() || held->second != result.sent.at(key))
            result.differs << key;
    }
    return result;
}

} // namespace r7730
