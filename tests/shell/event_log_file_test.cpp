// The daily log file when the disk fills up: no torn line, and the gap is told once writing
// works again.
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "shell/event_log_file.h"
#include "support/temp_folder.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

// Files may grow only to `bytes` while this lives, like a disk that is nearly full.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

} // namespace

TEST(EventLogFile, ALineThatDoesNotFitIsTakenBackAndTheGapIsToldLater)
{
    TTempWorkingFolder folder;
    folder.MakeFolder("Log");
    const TLocalTime day{2021, 3, 5, 14, 3, 27};
    const QString path = folder.File("Log/R7730Setup_20210305.log");
    TEventLogFile file;
    EXPECT_FALSE(file.Append(day, "first"));
    {
        TFileSizeLimit nearlyFull(10);
        const auto notice = file.Append(day, "a line far too long to fit");
        ASSERT_TRUE(notice.has_value());
        EXPECT_NE(notice->find("Log file not written"), std::string::npos) << *notice;
        EXPECT_FALSE(file.Append(day, "another")) << "told once per run of failures";
        EXPECT_EQ(ReadWholeFile(path), "first\r\n");
    }
    EXPECT_EQ(file.Append(day, "third"),
              "Log file written again; 2 lines are missing from it before this one (they are in this view).");
    EXPECT_EQ(ReadWholeFile(path), "first\r\nthird\r\n");
}

TEST(EventLogFile, ControlCharactersOfAMessageAreWrittenVisibly)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"res[6] = [Home\r\n]", u"res[6] = [Home\\r\\n]"},
        {u"a\tb\x01\x1F", u"a\\tb\\x01\\x1F"},
        {u"홈 AP 1", u"홈 AP 1"},
    };
    for (const auto& [message, visible] : cases)
        EXPECT_TRUE(VisibleControlCharacters(message) == visible);
}
