#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "shell/profile_file.h"
#include "support/temp_folder.h"

using namespace r7730;
using namespace r7730::testing;

TEST(ProfileFile, MissingFileSectionOrKeyGivesTheDefaultAndAnEmptyValueStaysEmpty)
{
    TTempWorkingFolder folder;
    EXPECT_EQ(ReadProfileString("cfg/SETUP.INI", "EnvBoard", "ComPort", "COM1"), "COM1");
    folder.MakeFolder("cfg");
    ASSERT_TRUE(WriteWholeFile(folder.File("cfg/SETUP.INI"),
                               "[HTTPServer]\r\nPort=\r\n HomeDir = ./fw \r\n[envboard]\r\ncomport=/dev/ttyUSB0\r\n"));
    EXPECT_EQ(ReadProfileString("cfg/SETUP.INI", "HTTPServer", "Port", "8070"), "");
    EXPECT_EQ(ReadProfileString("cfg/SETUP.INI", "HTTPServer", "HomeDir", "./KavlorFW"), "./fw");
    EXPECT_EQ(ReadProfileString("cfg/SETUP.INI", "EnvBoard", "ComPort", "COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(ReadProfileString("cfg/SETUP.INI", "EnvBoard", "BaudRate", "115200"), "115200");
    EXPECT_EQ(ReadProfileString("cfg/SETUP.INI", "Download_WEB", "IP1", "127"), "127");
}

TEST(ProfileFile, WritingOneKeyKeepsEveryOtherLineCommentAndOrder)
{
    TTempWorkingFolder folder;
    folder.MakeFolder("cfg");
    ASSERT_TRUE(WriteWholeFile(folder.File("cfg/SETUP.INI"),
                               "; written by hand\n[EnvBoard]\nComPort=COM1\nBaudRate=9600\n\n[Mine]\nforeign=kept\n"));
    ASSERT_TRUE(WriteProfileString("cfg/SETUP.INI", "EnvBoard", "BaudRate", "115200"));
    ASSERT_TRUE(WriteProfileString("cfg/SETUP.INI", "EnvBoard", "Parity", "None"));
    ASSERT_TRUE(WriteProfileString("cfg/SETUP.INI", "HTTPServer", "Port", "8070"));
    EXPECT_EQ(ReadWholeFile(folder.File("cfg/SETUP.INI")),
              QByteArray("; written by hand\n[EnvBoard]\nComPort=COM1\nBaudRate=115200\nParity=None\n\n"
                         "[Mine]\nforeign=kept\n[HTTPServer]\nPort=8070\n"));
}

TEST(ProfileFile, ANewFileIsCreatedWithCrLfAndCp949TextSurvives)
{
    TTempWorkingFolder folder;
    folder.MakeFolder("cfg");
    ASSERT_TRUE(WriteProfileString("cfg/SETUP.INI", "Download_WEB", "File", "/\xC6\xDF\xBF\xFE.bin"));
    ASSERT_TRUE(WriteProfileString("cfg/SETUP.INI", "Download_WEB", "Port", "8070"));
    EXPECT_EQ(ReadWholeFile(folder.File("cfg/SETUP.INI")), QByteArray("[Download_WEB]\r\nFile=/\xC6\xDF\xBF\xFE.bin\r\nPort=8070\r\n"));
    EXPECT_EQ(ReadProfileString("cfg/SETUP.INI", "Download_WEB", "File", ""), "/\xC6\xDF\xBF\xFE.bin");
}

TEST(ProfileFile, AMissingFolderFailsTheWriteAndCreatesNothing)
{
    TTempWorkingFolder folder;
    EXPECT_FALSE(WriteProfileString("cfg/SETUP.INI", "EnvBoard", "ComPort", "COM1"));
    EXPECT_FALSE(QFile::exists(folder.File("cfg")));
}

TEST(ProfileFile, LinksAreWrittenThroughToARegularFileAndRefusedOtherwise)
{
    TTempWorkingFolder folder;
    folder.MakeFolder("cfg");
    folder.MakeFolder("shared");
    ASSERT_TRUE(WriteWholeFile(folder.File("victim.txt"), "keep me\n"));
    ASSERT_TRUE(WriteWholeFile(folder.File("shared/SETUP.INI"), "[EnvBoard]\r\nComPort=COM1\r\n"));
    const std::string ini = "cfg/SETUP.INI";

    // A link planted where a careless writer would put its new text is never followed.
    ASSERT_TRUE(QFile::link(folder.File("victim.txt"), folder.File("cfg/SETUP.INI.new")));
    // A settings file shared between working folders: the target changes, the link stays.
    ASSERT_TRUE(QFile::link(folder.File("shared/SETUP.INI"), folder.File("cfg/SETUP.INI")));
    EXPECT_TRUE(WriteProfileString(ini, "EnvBoard", "ComPort", "/dev/ttyUSB0"));
    EXPECT_EQ(ReadWholeFile(folder.File("shared/SETUP.INI")), "[EnvBoard]\r\nComPort=/dev/ttyUSB0\r\n");
    EXPECT_TRUE(QFileInfo(folder.File("cfg/SETUP.INI")).isSymLink());
    EXPECT_EQ(ReadWholeFile(folder.File("victim.txt")), "keep me\n");

    // A link to nothing or to a folder is refused and creates nothing.
    for (const char* target : {"missing/SETUP.INI", "shared"}) {
        QFile::remove(folder.File("cfg/SETUP.INI"));
        ASSERT_TRUE(QFile::link(folder.File(target), folder.File("cfg/SETUP.INI")));
        EXPECT_FALSE(WriteProfileString(ini, "EnvBoard", "ComPort", "COM2")) << target;
        EXPECT_FALSE(QFile::exists(folder.File("missing"))) << target;
    }
    EXPECT_EQ(QDir(folder.File("cfg")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(), 2)
        << "no temporary file is left behind";
}

TEST(ProfileFile, SectionsAndTheirKeysAreListedInFileOrder)
{
    TTempWorkingFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder.File("p.ini"),
                               "; header\nstray=before any section\n[wan]\nip = 10.0.0.5\n; note=not a key\n"
                               "mask=\"255.255.255.0\"\n\n[TCP]\nlisten=8080\nlisten=8081\n[Wan]\ngateway=10.0.0.1\n"));
    EXPECT_EQ(ReadProfileSections("p.ini"), (std::vector<std::string>{"wan", "TCP"}));
    using TEntries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(ReadProfileSection("p.ini", "WAN"),
              (TEntries{{"ip", "10.0.0.5"}, {"mask", "255.255.255.0"}, {"gateway", "10.0.0.1"}}));
    EXPECT_EQ(ReadProfileSection("p.ini", "tcp"), (TEntries{{"listen", "8080"}, {"listen", "8081"}}));
    EXPECT_TRUE(ReadProfileSection("p.ini", "ap").empty());
    EXPECT_TRUE(ReadProfileSections("missing.ini").empty());
}
