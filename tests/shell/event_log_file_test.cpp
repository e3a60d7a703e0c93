// The daily log file when the disk fills up: no torn line, and the gap is told once writing
// works again.
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

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

TEST(EventLogFile, ALineThatDoesNotFitIsTakenBackAndTheGapIsMarkedInTheFile)
{
    TTempWorkingFolder folder;
    folder.MakeFolder("Log");
    const TLocalTime day{2021, 3, 5, 14, 3, 27};
    const QString path = folder.File("Log/R7730Setup_20210305.log");
    TEventLogFile file;
    EXPECT_FALSE(file.Append(day, "first"));
    {
        TFileSizeLimit nearlyFull(10);
        const auto notice = file.Append({2021, 3, 5, 14, 3, 28}, "a line far too long to fit");
        ASSERT_TRUE(notice.has_value());
        EXPECT_NE(notice->text.find("Log file not written"), std::string::npos) << notice->text;
        EXPECT_FALSE(notice->beforeTheLine);
        EXPECT_FALSE(file.Append({2021, 3, 5, 14, 5, 10}, "another")) << "told once per run of failures";
        EXPECT_EQ(ReadWholeFile(path), "first\r\n");
    }
    const char* mark = "Log file written again; 2 lines logged from 14:03:28 to 14:05:10 are missing from it here "
                       "(they were shown in the view).";
    EXPECT_EQ(file.Append({2021, 3, 5, 14, 6, 0}, "third"), (TLogFileNotice{mark, true}));
    EXPECT_EQ(ReadWholeFile(path), QByteArray("first\r\n[14:06:00]  ") + mark + "\r\nthird\r\n");
}

TEST(EventLogFile, ANewLogFileIsItsOwnersOnly)
{
    TTempWorkingFolder folder;
    folder.MakeFolder("Log");
    const mode_t before = ::umask(0);
    TEventLogFile file;
    file.Append({2021, 3, 5, 14, 3, 27}, "ap password line");
    ::umask(before);
    struct stat status {};
    ASSERT_EQ(::stat(folder.File("Log/R7730Setup_20210305.log").toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
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
