// What an attempt's record says of its result and of a password.
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
