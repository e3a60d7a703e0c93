// A section's present values read and a change prepared over them (see section_change.h).
#include "device/section_change.h"

#include "device/device_session.h"
#include "device/settings_text_checks.h"

namespace r7730 {

std::optional<TTexts> ReadSectionTexts(TDeviceSession& session, TSection section, const TStatusReply& status)
{
    if (section != TSection::AccessPoint)
        return TextsOfStatus(section, status);
    const std::optional<TCurrentApReply> accessPoint = session.ReadCurrentAp();
    if (!accessPoint)
        return std::nullopt;
    return TextsOfAccessPoint(*accessPoint);
}

std::variant<TSectionChange, TSectionRefusal> PrepareSectionChange(TSection section, const TTexts& given,
                                                                   const TTexts& current, bool statusReceived)
{
    using TKind = TSectionRefusal::TKind;
    TTexts complete = current;
    for (const auto& [key, text] : given)
        complete[key] = text;
    for (const QString& key : SectionKeys(section))
        if (!complete.count(key))
            return TSectionRefusal{TKind::NotReported, key, {}, {}, {}};

    const TCheckedTexts checked = CheckTexts(section, complete, statusReceived);
    if (!checked.value) {
        for (const QString& key : SectionKeys(section)) {
            if (given.count(key))
                continue;
            const QString refusal = RefusalOfKey(section, key, current.at(key));
            if (!refusal.isEmpty())
                return TSectionRefusal{TKind::HeldRefused, key, current.at(key), refusal, checked.refusal};
        }
        return TSectionRefusal{TKind::SetRefused, {}, {}, checked.refusal, checked.refusal};
    }
    TSectionChange change;
    change.section = section;
    change.given = given;
    change.before = current;
    change.value = *checked.value;
    change.sent = TextsOfValue(change.value);
    change.unverified = UnreadableKeys(change.value);
    return change;
}

} // namespace r7730
