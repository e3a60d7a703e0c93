// What an attempt's record says of its result and of a password.
#include <QTimeZone>
#include <gtest/gtest.h>

#include "provision/attempt.h"
#include "support/qt_printers.h"

using namespace r7730::provision;

TEST(AttemptTexts, AResultReadsBackAsItselfAndAPasswordOnlyAsItsLength)
{
    for (TAttemptResult result : {TAttemptResult::InProgress, TAttemptResult::Pass, TAttemptResult::Fail,
                                  TAttemptResult::Refused, TAttemptResult::Interrupted})
        EXPECT_EQ(ResultNamed(ResultText(result)), result);
    EXPECT_EQ(ResultNamed("pass"), std::nullopt);
    EXPECT_EQ(ResultText(TAttemptResult::InProgress), "IN PROGRESS");

    struct TCase {
        QString password;
        QString recorded;
    };
    for (const TCase& c : std::vector<TCase>{{"", "none"}, {"s3cret-pw", "set, 9 characters"}, {"비밀번호", "set, 4 characters"}})
        EXPECT_EQ(PasswordRecord(c.password), c.recorded);
}

TEST(AttemptTexts, AFieldIsRecordedAsSentAndReadBackWithAPasswordOnlyAsItsLengthAndTimesCarryTheirZone)
{
    TAttempt attempt;
    RecordFields(attempt, r7730::TSection::AccessPoint, {{"ssid", "line-ap"}, {"password", "s3cret-pw"}},
                 {{"ssid", "line-aq"}}, {"ssid", "password"});
    ASSERT_EQ(attempt.fields.size(), 2u);
    EXPECT_EQ(attempt.fields[0].key, "ssid");
    EXPECT_EQ(attempt.fields[0].sent, "line-ap");
    EXPECT_EQ(attempt.fields[0].readBack, "line-aq");
    EXPECT_TRUE(attempt.fields[0].differs);
    EXPECT_EQ(attempt.fields[1].sent, "set, 9 characters");
    EXPECT_EQ(attempt.fields[1].readBack, ""); // not reported back

    const QDateTime seoul(QDate(2025, 3, 14), QTime(9, 30, 15, 123), QTimeZone("Asia/Seoul"));
    EXPECT_EQ(InstantText(seoul), "2025-03-14T09:30:15.123+09:00");
    EXPECT_EQ(InstantText(QDateTime()), "");
}
