// The texts of an attempt's result and of a password (see attempt.h).
#include "provision/attempt.h"

#include <array>
#include <utility>

namespace r7730::provision {
namespace {

constexpr std::array<std::pair<TAttemptResult, const char*>, 5> kResultTexts = {{
    {TAttemptResult::InProgress, "IN PROGRESS"},
    {TAttemptResult::Pass, "PASS"},
    {TAttemptResult::Fail, "FAIL"},
    {TAttemptResult::Refused, "REFUSED"},
    {TAttemptResult::Interrupted, "INTERRUPTED"},
}};

} // namespace

QString ResultText(TAttemptResult result)
{
    for (const auto& [value, text] : kResultTexts)
        if (value == result)
            return QString::fromLatin1(text);
    return QString();
}

std::optional<TAttemptResult> ResultNamed(const QString& text)
{
    for (const auto& [value, name] : kResultTexts)
        if (text == QLatin1String(name))
            return value;
    return std::nullopt;
}

QString InstantText(const QDateTime& time)
{
    if (!time.isValid())
        return QString();
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QString PasswordRecord(const QString& password)
{
    if (password.isEmpty())
        return QStringLiteral("none");
    return QStringLiteral("set, %1 characters").arg(password.size());
}

void RecordFields(TAttempt& attempt, TSection section, const TTexts& sent, const TTexts& readBack,
                  const QStringList& differs, const QStringList& unverified)
{
    const auto recorded = [](const QString& key, const QString& text) {
        return key == QLatin1String("password") ? PasswordRecord(text) : text;
    };
    for (const QString& key : SectionKeys(section)) {
        const auto given = sent.find(key);
        const auto held = readBack.find(key);
        attempt.fields.push_back({section, key, given == sent.end() ? QString() : recorded(key, given->second),
                                  held == readBack.end() ? QString() : recorded(key, held->second),
                                  differs.contains(key), unverified.contains(key)});
    }
}

} // namespace r7730::provision
