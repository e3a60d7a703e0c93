// Lines read with a cap, from real files and pipes: what a reader keeps of a line, and that no
// input, however long its line, is held whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "shell/text_lines.h"
#include "support/temp_folder.h"

using namespace r7730;
using namespace r7730::testing;
using namespace std::string_literals;

namespace {

struct TLineRead {
    std::string text;
    bool cut = false;
    bool ended = false;
    bool operator==(const TLineRead&) const = default;
};

void PrintTo(const TLineRead& line, std::ostream* out)
{
    *out << '"' << line.text << '"' << (line.cut ? " cut" : "") << (line.ended ? " ended" : "");
}

std::vector<TLineRead> AllLines(int fd, std::size_t cap)
{
    TCappedLineReader reader(fd, cap);
    std::vector<TLineRead> lines;
    while (const std::optional<TCappedLine> line = reader.Next())
        lines.push_back({std::string(line->text), line->cut, line->ended});
    return lines;
}

} // namespace

TEST(CappedLines, ALineLongerThanTheCapIsCutAndItsRestReadPast)
{
    struct TCase {
        const char* what;
        std::string text;
        std::vector<TLineRead> lines;
    };
    const std::string big(300 * 1024, 'y'); // past one block of the reader
    const std::vector<TCase> cases = {
        {"line ends kept apart", "a\nbb\r\n\nccc", {{"a", false, true}, {"bb\r", false, true}, {"", false, true}, {"ccc"}}},
        {"a line of the cap's length is whole", "01234567\n", {{"01234567", false, true}}},
        {"a longer line is cut", "0123456789\nx\n", {{"01234567", true}, {"x", false, true}}},
        {"a longer last line without a line feed", "x\n0123456789abc", {{"x", false, true}, {"01234567", true}}},
        {"NUL bytes are bytes", "a\0b\n"s, {{"a\0b"s, false, true}}},
        {"a cut line's rest spans blocks", "ab\n" + big + "\nlast", {{"ab", false, true}, {"yyyyyyyy", true}, {"last"}}},
        {"nothing", "", {}},
    };
    TTempWorkingFolder folder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteWholeFile("text", QByteArray::fromStdString(c.text)));
        const int fd = ::open("text", O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(AllLines(fd, 8), c.lines);
        ::close(fd);
    }
}

TEST(CappedLines, AnEndlessStreamIsNeverHeldWhole)
{
    // /dev/zero has no line end: the first line comes back cut at the cap.
    const int zero = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(zero, 0);
    TCappedLineReader endless(zero);
    const std::optional<TCappedLine> first = endless.Next();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->cut);
    EXPECT_EQ(first->text, std::string(kMaxTextLineBytes, '\0'));
    ::close(zero);

    // 16 MiB of NULs through a pipe, then a line: the reader reads past them to it.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    std::thread writer([in = pipeEnds[1]] {
        const std::string block(1024 * 1024, '\0');
        for (int i = 0; i < 16; ++i)
            if (::write(in, block.data(), block.size()) != static_cast<ssize_t>(block.size()))
                break;
        const std::string last = "\n[14:03:27]  last\n";
        (void)!::write(in, last.data(), last.size());
        ::close(in);
    });
    EXPECT_EQ(AllLines(pipeEnds[0], kMaxTextLineBytes),
              (std::vector<TLineRead>{{std::string(kMaxTextLineBytes, '\0'), true}, {"[14:03:27]  last", false, true}}));
    writer.join();
    ::close(pipeEnds[0]);
}

TEST(CappedLines, AFailedReadIsRaised)
{
    TTempWorkingFolder folder;
    ASSERT_TRUE(folder.MakeFolder("folder"));
    const int fd = ::open("folder", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    TCappedLineReader reader(fd);
    EXPECT_THROW(reader.Next(), std::system_error);
    ::close(fd);
}

TEST(CappedLines, TheFirstLineLongerThanTheCapIsFound)
{
    const struct {
        std::string text;
        int line;
    } cases[] = {
        {"", 0}, {"abcd\nabcd\r\nabcd", 0}, {"abcd\nabcde\nabcdef", 2}, {"ab\n\nabcdefgh", 3}, {"abcd\r\r\n", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstLineLongerThan(c.text, 4), c.line) << c.text;
}
