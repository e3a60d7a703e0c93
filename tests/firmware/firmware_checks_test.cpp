// What is refused before a download frame can go out: the file, its name, the address.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "firmware/download_name.h"
#include "firmware/firmware_image.h"
#include "firmware/request_route.h"
#include "firmware/serve_address.h"
#include "firmware/served_ranges.h"
#include "support/temp_folder.h"

using namespace r7730::firmware;
using r7730::TInterfaceNetwork;
using r7730::testing::WriteWholeFile;

namespace {

QByteArray Binary(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 37) & 0xFF);
    return bytes;
}

} // namespace

TEST(FirmwareImage, RefusesWhatIsNoImageAndSaysWhy)
{
    struct TCase {
        const char* name;
        QByteArray content; // empty with file=false: no file at all
        bool file;
        bool force;
        const char* refusal; // a part of the refusal; empty: accepted
    };
    const TCase cases[] = {
        {"missing", {}, false, false, "no such file"},
        {"empty", {}, true, false, "is empty"},
        {"oversize", Binary(1025), true, false, "has 1025 bytes, more than the 1024 allowed"},
        {"doctype", "<!DOCTYPE html>\n<html><body>Not found</body></html>", true, false,
         "it looks like an HTML page: it begins with \"<!DOCTYPE html>\""},
        {"html after blanks and a BOM", "\xEF\xBB\xBF\r\n  <html lang=\"ko\">", true, false, "an HTML page"},
        {"xml", "<?xml version=\"1.0\"?><a/>", true, false, "markup (HTML or XML)"},
        {"text", QByteArray("firmware v1.4 release notes\n").repeated(20), true, false,
         "it looks like text: its first 560 bytes hold no NUL byte and 100% of them are printable"},
        {"html forced", "<html></html>", true, true, ""},
        {"binary", Binary(1024), true, false, ""},
        {"binary without NUL", QByteArray(Binary(600)).replace('\0', '\x01'), true, false, ""},
    };
    for (const TCase& c : cases) {
        QTemporaryDir folder;
        const QString path = folder.filePath("fw.bin");
        if (c.file) {
            ASSERT_TRUE(WriteWholeFile(path, c.content));
        }
        const TImageCheck check = ReadFirmwareImage(path, 1024, c.force);
        if (*c.refusal == '\0') {
            ASSERT_TRUE(check.image) << c.name << ": " << check.refusal.toStdString();
            EXPECT_EQ(check.image->bytes, c.content) << c.name;
            EXPECT_EQ(check.image->baseName, "fw.bin");
        } else {
            EXPECT_FALSE(check.image) << c.name;
            EXPECT_TRUE(check.refusal.contains(QString::fromUtf8(c.refusal))) << c.name << ": " << check.refusal.toStdString();
        }
    }
    QTemporaryDir folder;
    EXPECT_TRUE(ReadFirmwareImage(folder.path(), 1024, false).refusal.endsWith("is not a regular file"));
}

TEST(FirmwareImage, IsHashedAsSha256)
{
    QTemporaryDir folder;
    ASSERT_TRUE(WriteWholeFile(folder.filePath("a.bin"), QByteArray("\x00\x01\x02", 3)));
    EXPECT_EQ(ReadFirmwareImage(folder.filePath("a.bin"), 1024, false).image->sha256,
              "ae4b3280e56e2faf83f414a6e3dabe9d5fbe18976544c05fed121accb85b53fc");
}

TEST(DownloadName, TravelsWholeInThe32ByteFieldOrIsRefused)
{
    struct TCase {
        const char* baseName; // UTF-8
        const char* ansi;     // the field's bytes; empty: refused
        const char* refusal;
    };
    const TCase cases[] = {
        {"R7730LX_v1.04.bin", "/R7730LX_v1.04.bin", ""},
        {"abcdefghijklmnopqrstuvwxyz01234", "/abcdefghijklmnopqrstuvwxyz01234", ""}, // 32 bytes
        {"abcdefghijklmnopqrstuvwxyz012345", "", "\"/abcdefghijklmnopqrstuvwxyz012345\" takes 33 bytes in the device's "
                                                "code page (CP949), more than the 32 of the download frame's file-name field: "},
        // 1 + 14 + 2 x 9 = 33 bytes: the 32nd is the first half of the last Hangul syllable.
        {"abcdefghijklmn펌웨어펌웨어펌웨어", "", "takes 33 bytes in the device's code page (CP949), more than the 32 of the "
                                              "download frame's file-name field, and cut there it would end in half a character"},
        {"펌웨어.bin", "/\xC6\xDF\xBF\xFE\xBE\xEE.bin", ""},
        {"fw☃.bin", "", "holds a character the device's code page (CP949) cannot carry"},
        {"my fw.bin", "", "holds \"U+0020\""},
        {"fw?.bin", "", "holds \"?\""},
        {"fw%41.bin", "", "holds \"%\""},
    };
    for (const TCase& c : cases) {
        const TDownloadName name = DownloadNameOf(QString::fromUtf8(c.baseName));
        EXPECT_EQ(name.ansi, c.ansi) << c.baseName;
        EXPECT_TRUE(name.refusal.contains(QString::fromUtf8(c.refusal))) << c.baseName << ": " << name.refusal.toStdString();
        EXPECT_EQ(name.refusal.isEmpty(), *c.refusal == '\0') << c.baseName;
    }
}

TEST(ServeAddress, IsThisPcsAddressInTheDevicesNetwork)
{
    const std::vector<TInterfaceNetwork> interfaces = {
        {"lo", "127.0.0.1", "255.0.0.0", true, true},
        {"wlan0", "10.1.0.7", "255.255.0.0", false, false}, // down
        {"eth0", "192.168.0.20", "255.255.255.0", true, false},
        {"eth1", "172.16.5.2", "255.255.255.0", true, false},
    };
    struct TCase {
        TOctets ip, mask;
        std::optional<TOctets> chosen;
    };
    const TCase cases[] = {
        {{192, 168, 0, 10}, {255, 255, 255, 0}, TOctets{192, 168, 0, 20}},
        {{172, 16, 5, 99}, {255, 255, 255, 0}, TOctets{172, 16, 5, 2}},
        {{127, 0, 0, 2}, {255, 0, 0, 0}, TOctets{127, 0, 0, 1}},
        {{192, 168, 0, 20}, {255, 255, 255, 255}, std::nullopt}, // the device's own address is no server
        {{10, 1, 0, 9}, {255, 255, 0, 0}, std::nullopt},         // only a down interface there
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ChooseServeAddress(c.ip, c.mask, interfaces).address, c.chosen) << DottedText(c.ip).toStdString();

    EXPECT_EQ(ChooseServeAddress({10, 1, 0, 9}, {255, 255, 0, 0}, interfaces).refusal,
              "no address of this PC can be reached from the device's network 10.1.0.0/16 (the device is 10.1.0.9): this PC's "
              "networks are 127.0.0.0/8 (lo, 127.0.0.1), 192.168.0.0/24 (eth0, 192.168.0.20), 172.16.5.0/24 (eth1, 172.16.5.2). "
              "Put the PC and the device on one network, or give the address with --serve ADDR");
    EXPECT_EQ(NetworkText({10, 1, 2, 3}, {255, 0, 255, 0}), "10.0.2.0 mask 255.0.255.0");
    // A mask of 0.0.0.0 takes in every address, this PC's loopback too: still no choice.
    EXPECT_EQ(ChooseServeAddress({192, 168, 0, 10}, {0, 0, 0, 0}, interfaces).address, (TOctets{192, 168, 0, 20}));
}

TEST(ServeAddress, RefusesAddressesNoDeviceFetchesFrom)
{
    struct TCase {
        TOctets address, device;
        const char* refusal; // empty: the device can fetch from it
    };
    const TCase cases[] = {
        {{0, 0, 0, 0}, {192, 168, 0, 10}, "0.0.0.0 names no address the device can fetch from (0.0.0.0/8 means \"this host\")"},
        {{255, 255, 255, 255}, {192, 168, 0, 10}, "255.255.255.255 is a broadcast address, which no device fetches from"},
        {{224, 0, 0, 1}, {192, 168, 0, 10}, "224.0.0.1 is a multicast address, which no device fetches from"},
        {{127, 0, 0, 1}, {192, 168, 0, 10}, "127.0.0.1 is this PC's loopback address, which the device at 192.168.0.10 cannot reach"},
        {{127, 0, 0, 1}, {127, 0, 0, 5}, ""},
        {{192, 168, 0, 20}, {192, 168, 0, 10}, ""},
    };
    for (const TCase& c : cases) {
        const QString refusal = UnfetchableAddress(c.address, c.device);
        if (*c.refusal == '\0')
            EXPECT_EQ(refusal, QString());
        else
            EXPECT_TRUE(refusal.startsWith(QString::fromUtf8(c.refusal))) << refusal.toStdString();
    }
}

TEST(RequestHead, GivesTheMethodTheDecodedPathAndTheRange)
{
    const std::optional<TRequestHead> head =
        ParseRequestHead("GET /R7730LX%5Fv1.04.bin?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nrAnGe:  bytes=0-9 \r\nX-Other: y");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->method, "GET");
    EXPECT_EQ(head->path, "/R7730LX_v1.04.bin");
    EXPECT_EQ(head->range, "bytes=0-9");
    EXPECT_EQ(ParseRequestHead("HEAD / HTTP/1.0")->range, std::nullopt);
    EXPECT_EQ(PercentDecoded("/%2e%2E/%zz%4"), "/../%zz%4");
    for (const char* notARequest : {"", "GET", "GET /", "GET / SPDY/3", " / HTTP/1.1", "hello world"})
        EXPECT_FALSE(ParseRequestHead(notARequest)) << notARequest;
}

TEST(RequestHead, RangesAreAnsweredWithOneSpanWithinTheFile)
{
    std::string twenty = "bytes=1-";
    for (int i = 1; i < 20; ++i)
        twenty += ",1-";
    struct TCase {
        std::optional<std::string> header;
        TRangeKind kind;
        std::uint64_t first, last;
    };
    const TCase cases[] = {
        {std::nullopt, TRangeKind::Whole, 0, 0},
        {"bytes=100-199", TRangeKind::Part, 100, 199},
        {"bytes=99995-400000", TRangeKind::Part, 99995, 99999},
        {"bytes=-10", TRangeKind::Part, 99990, 99999},
        {"bytes=-200000", TRangeKind::Part, 0, 99999},
        {"bytes=0-", TRangeKind::Part, 0, 99999},
        {twenty, TRangeKind::Part, 1, 99999},
        {"bytes=0-9, 50-59", TRangeKind::Part, 0, 59},
        {"bytes=0-9,200000-", TRangeKind::Part, 0, 9},
        {"bytes=99999999999999999999999-", TRangeKind::Unsatisfiable, 0, 0},
        {"bytes=400000-", TRangeKind::Unsatisfiable, 0, 0},
        {"bytes=5-1", TRangeKind::Unsatisfiable, 0, 0},
        {"bytes=-0", TRangeKind::Unsatisfiable, 0, 0},
        {"items=0-9", TRangeKind::Whole, 0, 0},
        {"bytes=abc", TRangeKind::Whole, 0, 0},
        {"bytes=1-2,x", TRangeKind::Whole, 0, 0},
        {"bytes=-", TRangeKind::Whole, 0, 0},
    };
    for (const TCase& c : cases) {
        const TRangeAnswer answer = AnswerRange(c.header, 100000);
        const std::string header = c.header.value_or("(none)");
        EXPECT_EQ(answer.kind, c.kind) << header;
        if (c.kind == TRangeKind::Part) {
            EXPECT_EQ(answer.first, c.first) << header;
            EXPECT_EQ(answer.last, c.last) << header;
        }
    }
}

TEST(ServedRanges, CoverTheFileOnlyWhenThePiecesJoinUp)
{
    TServedRanges ranges;
    ranges.Add(0, 100);
    ranges.Add(200, 100);
    EXPECT_EQ(ranges.Covered(), 200u);
    EXPECT_FALSE(ranges.Covers(300));
    ranges.Add(50, 100); // overlaps the first
    EXPECT_EQ(ranges.Covered(), 250u);
    ranges.Add(150, 50); // touches both
    EXPECT_EQ(ranges.Covered(), 300u);
    EXPECT_TRUE(ranges.Covers(300));
    EXPECT_FALSE(ranges.Covers(301));
}
