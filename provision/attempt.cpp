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

QString PasswordRecord(const QString& password)
{
    if (password.isEmpty())
        return QStringLiteral("none");
    return QStringLiteral("set, %1 characters").arg(password.size());
}

} // namespace r7730::provision
