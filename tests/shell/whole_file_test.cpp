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
