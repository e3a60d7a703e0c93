// Whole files on the real file system: where they may go, and what a write leaves behind.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "shell/whole_file.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

using namespace r7730;
using namespace r7730::testing;

TEST(WholeFile, OnlyANewPathARegularFileOrALinkToOneTakesAWholeFile)
{
    TTempWorkingFolder folder;
    folder.MakeFolder("folder");
    ASSERT_TRUE(WriteWholeFile("file", "old\n"));
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "socket");
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(listener);
    for (const auto& [link, target] : {std::pair{"to-file", "file"}, {"to-fifo", "fifo"}, {"to-nothing", "missing"}})
        ASSERT_TRUE(QFile::link(target, link));

    const std::string resolved = QFileInfo("file").canonicalFilePath().toStdString();
    struct TCase {
        const char* path;
        std::string target;
        bool exists;
        std::string refusal;
    };
    const std::vector<TCase> cases = {
        {"new", "new", false, ""},
        {"file", "file", true, ""},
        {"to-file", resolved, true, ""},
        {"folder", "folder", false, "a folder"},
        {"fifo", "fifo", false, "a FIFO"},
        {"socket", "socket", false, "a socket"},
        {"to-fifo", resolved.substr(0, resolved.size() - 4) + "fifo", false, "a link to a FIFO"},
        {"to-nothing", "to-nothing", false, "a link to nothing"},
    };
    for (const TCase& expected : cases) {
        const TWholeFileTarget target = WholeFileTarget(expected.path);
        EXPECT_EQ(target.refusal, expected.refusal) << expected.path;
        EXPECT_EQ(target.exists, expected.exists) << expected.path;
        if (expected.refusal.empty()) {
            EXPECT_EQ(target.path, expected.target) << expected.path;
        } else {
            EXPECT_FALSE(WriteWholeFile(expected.path, "new\n", std::nullopt)) << expected.path;
        }
    }

    // Through the link the file is replaced with the permissions asked for; the link stays.
    ASSERT_TRUE(WriteWholeFile("to-file", "new\n", 0600));
    EXPECT_TRUE(QFileInfo("to-file").isSymLink());
    EXPECT_EQ(ReadWholeFile("file"), "new\n");
    EXPECT_EQ(QFile::permissions("file"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                                              QFileDevice::WriteUser);
    EXPECT_EQ(QDir(".").entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks), QStringList{"file"})
        << "no temporary file is left behind";
}

TEST(WholeFile, AGrowingFileKeepsEveryPieceUntilItTakesTheTargetsPlace)
{
    TTempWorkingFolder folder;
    ASSERT_TRUE(WriteWholeFile("survey.csv", "old\n"));
    ASSERT_EQ(::chmod("survey.csv", 0640), 0);
    const auto hidden = [] { return QDir(".").entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name); };

    // Killed before its end: the partial file holds every piece, the target is untouched, and
    // the next writer finds what was left.
    {
        TGrowingWholeFile growing;
        ASSERT_TRUE(growing.Begin("survey.csv", std::nullopt));
        ASSERT_TRUE(growing.Append("time,kind\r\n"));
        ASSERT_TRUE(growing.Append("10:00,poll\r\n"));
        const QString partial = QString::fromStdString(growing.PartialPath());
        EXPECT_TRUE(partial.startsWith("./.survey.csv.partial-")) << partial.toStdString();
        EXPECT_EQ(ReadWholeFile(partial), "time,kind\r\n10:00,poll\r\n");
        EXPECT_EQ(ReadWholeFile("survey.csv"), "old\n");
    }
    const std::vector<std::string> left = PartialFilesOf("survey.csv");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(ReadWholeFile(QString::fromStdString(left[0])), "time,kind\r\n10:00,poll\r\n");
    EXPECT_TRUE(PartialFilesOf("other.csv").empty());

    // Finished: in the target's place with its permissions; abandoned: gone.
    TGrowingWholeFile growing;
    ASSERT_TRUE(growing.Begin("survey.csv", std::nullopt));
    ASSERT_TRUE(growing.Append("new\n"));
    ASSERT_TRUE(growing.Finish());
    EXPECT_EQ(ReadWholeFile("survey.csv"), "new\n");
    EXPECT_EQ(QFileInfo("survey.csv").permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup), QFileDevice::ReadGroup);
    EXPECT_FALSE(growing.Append("more\n"));
    ASSERT_TRUE(growing.Begin("abandoned.csv", std::nullopt));
    growing.Abandon();
    EXPECT_FALSE(QFile::exists("abandoned.csv"));
    EXPECT_EQ(PartialFilesOf("survey.csv"), left) << "the earlier partial file stays for its owner to take";

    // A folder made where the target was to go: the partial file stays, open and whole.
    ASSERT_TRUE(growing.Begin("taken.csv", std::nullopt));
    ASSERT_TRUE(growing.Append("kept\n"));
    folder.MakeFolder("taken.csv");
    EXPECT_FALSE(growing.Finish());
    EXPECT_TRUE(growing.Append("more\n"));
    EXPECT_EQ(ReadWholeFile(QString::fromStdString(growing.PartialPath())), "kept\nmore\n");
    growing.Abandon();
    EXPECT_EQ(hidden().size(), 2) << hidden().join(' ').toStdString();
}

TEST(WholeFile, AGrowingFileRefusesWhatIsNotARegularFileWithoutOpeningIt)
{
    TTempWorkingFolder folder;
    folder.MakeFolder("folder");
    // Nobody reads the FIFO: opening it for writing would block for ever.
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    ASSERT_TRUE(QFile::link("fifo", "to-fifo"));
    ASSERT_TRUE(QFile::link("folder", "to-folder"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"folder", "it is a folder, not a regular file"},
        {"fifo", "it is a FIFO, not a regular file"},
        {"to-fifo", "it is a link to a FIFO, not a regular file"},
        {"to-folder", "it is a link to a folder, not a regular file"},
        {"missing/file.csv", "No such file or directory"},
    };
    for (const auto& [path, failure] : cases) {
        TGrowingWholeFile growing;
        EXPECT_FALSE(growing.Begin(path, std::nullopt)) << path;
        EXPECT_EQ(WholeFileFailure(path, errno), failure) << path;
        EXPECT_FALSE(growing.IsOpen());
    }
    EXPECT_EQ(QDir(".").entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks).size(), 1) << "only the FIFO";
}
