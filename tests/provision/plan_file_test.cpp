// Plan files as a person's editor or spreadsheet saves them, read from a real file, and the
// problems the check finds in their rows.
#include <gtest/gtest.h>

#include <ostream>

#include "provision/plan_file.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

using namespace r7730;
using namespace r7730::provision;
using namespace std::string_literals;
using r7730::testing::TTempWorkingFolder;
using r7730::testing::WriteWholeFile;

namespace r7730::provision {
void PrintTo(const TPlanRow& row, std::ostream* out)
{
    *out << "row " << row.number << " line " << row.line << " label \"" << row.label.toStdString() << "\" mac \""
         << row.mac.toStdString() << "\"";
    for (const auto& [section, texts] : row.given)
        for (const auto& [key, text] : texts)
            *out << ' ' << SectionName(section).toStdString() << '.' << key.toStdString() << "=\"" << text.toStdString() << '"';
}
} // namespace r7730::provision

namespace {

TPlan ReadFile(const QByteArray& bytes)
{
    TTempWorkingFolder folder;
    EXPECT_TRUE(WriteWholeFile(folder.File("PLAN.csv"), bytes));
    return ReadPlanFile("PLAN.csv");
}

QString ErrorOfFile(const QByteArray& bytes)
{
    try {
        (void)ReadFile(bytes);
    } catch (const EPlanError& error) {
        return error.Text();
    }
    return "read without error";
}

TPlanRow Row(int number, int line, QString label, QString mac, std::map<TSection, TTexts> given = {})
{
    return TPlanRow{number, line, std::move(label), std::move(mac), std::move(given)};
}

} // namespace

TEST(PlanFile, ReadsTheRowsOfWhatEditorsAndSpreadsheetsSave)
{
    struct TCase {
        const char* what;
        QByteArray bytes;
        QString encoding;
        QStringList columns;
        std::vector<TPlanRow> rows;
    };
    const std::vector<TCase> cases = {
        {"quoted cells with commas, quotes and a line break; the row after starts two lines on",
         "label,ssid,password\n\"A, 1\",\"say \"\"hi\"\"\",\"two\nlines\"\nB2,\"\",x\n",
         "UTF-8",
         {"label", "ssid", "password"},
         {Row(1, 2, "A, 1", "", {{TSection::AccessPoint, {{"ssid", "say \"hi\""}, {"password", "two\nlines"}}}}),
          Row(2, 4, "B2", "", {{TSection::AccessPoint, {{"password", "x"}}}})}},
        {"CRLF and LF mixed, the last line without its line end",
         "label,ip\r\nA1,10.0.0.1\nA2,10.0.0.2\r\nA3,10.0.0.3",
         "UTF-8",
         {"label", "ip"},
         {Row(1, 2, "A1", "", {{TSection::Wan, {{"ip", "10.0.0.1"}}}}),
          Row(2, 3, "A2", "", {{TSection::Wan, {{"ip", "10.0.0.2"}}}}),
          Row(3, 4, "A3", "", {{TSection::Wan, {{"ip", "10.0.0.3"}}}})}},
        {"a UTF-8 byte-order mark, CRLF and a blank last line",
         "\xEF\xBB\xBFlabel,mask\r\nA1,255.255.255.0\r\n\r\n",
         "UTF-8",
         {"label", "mask"},
         {Row(1, 2, "A1", "", {{TSection::Wan, {{"mask", "255.255.255.0"}}}})}},
        {"a Korean SSID in UTF-8", "label,ssid\nA1,\xEB\xAC\xB4\xEC\x84\xA0\xEB\x9E\x9C\n", "UTF-8",
         {"label", "ssid"}, {Row(1, 2, "A1", "", {{TSection::AccessPoint, {{"ssid", "무선랜"}}}})}},
        {"a Korean SSID in CP949, as a Korean spreadsheet saves it", "label,ssid\nA1,\xB9\xAB\xBC\xB1\xB7\xA3\n",
         "CP949", {"label", "ssid"}, {Row(1, 2, "A1", "", {{TSection::AccessPoint, {{"ssid", "무선랜"}}}})}},
        {"blanks trimmed, but a quoted ssid and password keep theirs",
         " label , ip ,ssid,password\n  A1 ,  10.0.0.1 , \" my net \" ,  secret  \nA2, 10.0.0.2 ,  net  ,\"  pw \"\n",
         "UTF-8",
         {"label", "ip", "ssid", "password"},
         {Row(1, 2, "A1", "", {{TSection::Wan, {{"ip", "10.0.0.1"}}}, {TSection::AccessPoint, {{"ssid", " my net "}, {"password", "secret"}}}}),
          Row(2, 3, "A2", "", {{TSection::Wan, {{"ip", "10.0.0.2"}}}, {TSection::AccessPoint, {{"ssid", "net"}, {"password", "  pw "}}}})}},
        {"empty cells keep the unit's value; a MAC in any form is kept in one; a malformed one as written",
         "mac,label,ip,baud,flow\n00-1a-2b-3c-4d-5e,A1,,9600,\n001a2b3c4d5f ,,10.0.0.2,,rts/cts\n 00:1A:2B ,A3,,,\n",
         "UTF-8",
         {"mac", "label", "ip", "baud", "flow"},
         {Row(1, 2, "A1", "00:1A:2B:3C:4D:5E", {{TSection::Serial, {{"baud", "9600"}}}}),
          Row(2, 3, "", "00:1A:2B:3C:4D:5F", {{TSection::Wan, {{"ip", "10.0.0.2"}}}, {TSection::Serial, {{"flow", "rts/cts"}}}}),
          Row(3, 4, "A3", "00:1A:2B")}},
        {"blank lines and a spreadsheet's empty rows are no rows", "label,ip\n\nA2,10.0.0.2\n,\n ,\"\"\nA5,\n,\n,\n",
         "UTF-8", {"label", "ip"},
         {Row(1, 3, "A2", "", {{TSection::Wan, {{"ip", "10.0.0.2"}}}}), Row(2, 6, "A5", "")}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const TPlan plan = ReadFile(c.bytes);
        EXPECT_EQ(plan.path, "PLAN.csv");
        EXPECT_EQ(plan.encoding, c.encoding);
        EXPECT_EQ(plan.columns, c.columns);
        EXPECT_EQ(plan.rows, c.rows);
    }
    // The plan is known by its file's bytes, the byte-order mark and line ends included.
    EXPECT_EQ(ReadFile("label\nA1\n").sha256, "38f4f09c325c8a091ddba7740b4827edf7582ccb0404b5a8d712f1817ae7db61");
}

TEST(PlanFile, AFileThatIsNoPlanIsRefusedNamingItsLine)
{
    struct TCase {
        QByteArray bytes;
        QString error;
    };
    const std::vector<TCase> cases = {
        {"label,IP\nA1,10.0.0.1\n",
         "PLAN.csv line 1: unknown column \"IP\"; the columns are label, mac, ip, gateway, mask, mode, listen, expiry, "
         "target, baud, data, parity, stop, flow, ssid, password"},
        {"ip,label, ip\nA1,10.0.0.1,x\n", "PLAN.csv line 1: column ip appears twice"},
        {"label,,ip\nA1,x,10.0.0.1\n", "PLAN.csv line 1: column 2 has no name"},
        {"label,ip\nA1,10.0.0.1\nA2\nA3,10.0.0.3,x\n", "PLAN.csv line 3 (row 2): 1 cell where the column names give 2"},
        {"label,ssid\n\"A\n1\",x\nA2,x,y\n", "PLAN.csv line 4 (row 2): 3 cells where the column names give 2"},
        {"label,ssid\nA1,\"open\nA2,x\n", "PLAN.csv line 2: a quoted cell opens here and is never closed"},
        {"label,ssid\r\nA1,\"net\"x\r\n",
         "PLAN.csv line 2: text after the closing quote of a cell (a quote inside a quoted cell is written twice: \"\")"},
        {"", "PLAN.csv is empty: its first line names the columns, each line under it is a unit's row"},
        {"\xEF\xBB\xBF\r\n", "PLAN.csv is empty: its first line names the columns, each line under it is a unit's row"},
        {"label,ip\r\n", "PLAN.csv has no rows under its column names"},
        {"label,ip\r\n , \r\n,\r\n", "PLAN.csv has no rows under its column names"},
        {QByteArray("\xFF\xFEl\0a\0", 6), "PLAN.csv is UTF-16 text: save it as CSV in UTF-8 or CP949"},
        {QByteArray("l\0a\0b\0", 6), "PLAN.csv is UTF-16 text: save it as CSV in UTF-8 or CP949"},
        {"label\nA1\n\x80\x41\n", "PLAN.csv line 3 is neither UTF-8 nor CP949 text"},
        {"\xEF\xBB\xBFlabel\nA1\xB9\xAB\n", "PLAN.csv begins with the UTF-8 byte-order mark, but line 2 is not UTF-8 text"},
        {"label\r\nA1\r\n" + QByteArray(64 * 1024, 'x') + "\r\nA3\r\n", ""},
        {"label\nA1\n" + QByteArray(64 * 1024 + 1, 'x') + "\nA3\n", "PLAN.csv line 3 is longer than a line of a plan may be (64 KiB)"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ErrorOfFile(c.bytes), c.error.isEmpty() ? "read without error" : c.error) << c.bytes.left(80).toStdString();

    TTempWorkingFolder folder;
    ASSERT_TRUE(folder.MakeFolder("plans"));
    for (const auto& [path, error] : std::vector<std::pair<QString, QString>>{
             {"missing.csv", "cannot read the plan missing.csv: no such file"},
             {"plans", "cannot read the plan plans: not a file"}}) {
        try {
            (void)ReadPlanFile(path);
            ADD_FAILURE() << "read: " << path.toStdString();
        } catch (const EPlanError& thrown) {
            EXPECT_EQ(thrown.Text(), error);
        }
    }
}

TEST(PlanCheck, FindsEveryProblemOfEveryRowNamingItsLineAndColumn)
{
    struct TCase {
        const char* what;
        QByteArray bytes;
        bool matchByMac;
        QStringList problems;
        bool forceMasks = false;
    };
    const std::vector<TCase> cases = {
        {"a sound plan", "label,mac,ip,mask,ssid,password\nA1,00:1A:2B:3C:4D:5E,10.0.0.1,255.255.255.0,net,pw\n"
                         "A2,00:1A:2B:3C:4D:5F,10.0.0.2,,,\n",
         true, {}},
        {"refused values, each with the wording of set",
         "label,ip,listen,parity,ssid,password,target\n"
         "A1,10.0.0.300,0,mark,x,,10.0.0.1:80\n"
         "A2,10.0.0.2,80,even,\"  \",01234567890123456,10.0.0.1\n",
         false,
         {"PLAN.csv line 2 (row 1), column ip: each address field takes a whole number from 0 to 255",
          "PLAN.csv line 2 (row 1), column listen: the listen port takes a whole number from 1 to 65535",
          "PLAN.csv line 2 (row 1), column parity: takes one of none, odd, even",
          "PLAN.csv line 2 (row 1), column ssid: the SSID needs at least 2 bytes",
          "PLAN.csv line 3 (row 2), column password: the password takes at most 16 bytes",
          "PLAN.csv line 3 (row 2), column target: expects an address and port like 192.168.0.100:5000"}},
        {"a value with the byte 254 cannot be verified", "label,mask,gateway\nA1,255.255.254.0,10.0.0.253\nA2,,10.0.0.254\n",
         false,
         {"PLAN.csv line 2 (row 1), column mask: a value with the byte 254 can be stored but never read back (a reply "
          "ends at its first 0xFE); a plan cannot store unverified values",
          "PLAN.csv line 3 (row 2), column gateway: a value with the byte 254 can be stored but never read back (a "
          "reply ends at its first 0xFE); a plan cannot store unverified values"}},
        {"a text's character with the byte 254 is named", "label,ssid\nA1,2\xEC\xB8\xB5\n", false,
         {"PLAN.csv line 2 (row 1), column ssid: a text with \xEC\xB8\xB5 (C3 FE in CP949, the byte 254) can be stored but "
          "never read back (a reply ends at its first 0xFE); a plan cannot store unverified values"}},
        {"control characters in the SSID and password, quoted or not",
         QByteArray::fromStdString("label,ssid,password\nA1,a\0p,pw\nA2,\"ap\nx\",pw\nA3,net,\"p\tw\"\nA4,\"a\x1Fp\",p\x7Fw\n"s), false,
         {"PLAN.csv line 2 (row 1), column ssid: the SSID holds the control character 0x00 (character 2), which no SSID or "
          "password may carry",
          "PLAN.csv line 3 (row 2), column ssid: the SSID holds the control character 0x0A (character 3), which no SSID or "
          "password may carry",
          "PLAN.csv line 5 (row 3), column password: the password holds the control character 0x09 (character 2), which "
          "no SSID or password may carry",
          "PLAN.csv line 6 (row 4), column ssid: the SSID holds the control character 0x1F (character 2), which no SSID or "
          "password may carry",
          "PLAN.csv line 6 (row 4), column password: the password holds the control character 0x7F (character 2), which "
          "no SSID or password may carry"}},
        {"a mask that is none", "label,mask\nA1,255.0.255.0\nA2,0.0.0.0\nA3,255.255.255.255\nA4,255.255.240.0\n", false,
         {"PLAN.csv line 2 (row 1), column mask: 255.0.255.0 is no subnet mask: its ones are not contiguous (--force "
          "sends it all the same)",
          "PLAN.csv line 3 (row 2), column mask: 0.0.0.0 is no subnet mask: it leaves the device no network of its own "
          "(--force sends it all the same)"}},
        {"a mask that is none, forced", "label,mask\nA1,255.0.255.0\nA2,0.0.0.0\n", false, {}, true},
        {"a repeated label, address and MAC name the first row; addresses compare as numbers",
         "label,mac,ip\nA1,00-1a-2b-3c-4d-5e,10.0.0.5\nA2,,10.0.0.6\n\"A1\",001A2B3C4D5E,10.0.0.05\nA4,,10.0.0.6\n",
         false,
         {"PLAN.csv line 4 (row 3), column label: the label \"A1\" is also that of row 1 (line 2)",
          "PLAN.csv line 4 (row 3), column mac: the MAC 00:1A:2B:3C:4D:5E is also that of row 1 (line 2)",
          "PLAN.csv line 4 (row 3), column ip: the address 10.0.0.5 is also that of row 1 (line 2)",
          "PLAN.csv line 5 (row 4), column ip: the address 10.0.0.6 is also that of row 2 (line 3)"}},
        {"MACs: three forms accepted, mixed separators, short ones and other letters refused",
         "mac\n00:1A:2B:3C:4D:01\n00-1a-2b-3c-4d-02\n001A2B3C4D03\n00:1A-2B:3C:4D:04\n00:1A:2B:3C:4D\n001A2B3C4D0G\n", false,
         {"PLAN.csv line 5 (row 4), column mac: expects a MAC address like 00:1A:2B:3C:4D:5E",
          "PLAN.csv line 6 (row 5), column mac: expects a MAC address like 00:1A:2B:3C:4D:5E",
          "PLAN.csv line 7 (row 6), column mac: expects a MAC address like 00:1A:2B:3C:4D:5E"}},
        {"matched by MAC: every row needs one", "label,mac\nA1,00:1A:2B:3C:4D:5E\nA2,\n", true,
         {"PLAN.csv line 3 (row 2), column mac: no MAC: a plan matched by MAC needs a MAC in every row"}},
        {"matched by MAC without a mac column", "label,ip\nA1,10.0.0.1\n", true,
         {"PLAN.csv line 1, column mac: no mac column: a plan matched by MAC needs a MAC in every row"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const TPlan plan = ReadFile(c.bytes);
        QStringList problems;
        for (const TPlanProblem& problem : CheckPlan(plan, c.matchByMac, c.forceMasks))
            problems << ProblemText(plan.path, problem);
        EXPECT_EQ(problems, c.problems);
    }
}

TEST(PlanCheck, ARowsChangesAreItsSectionsInTheOrderApplied)
{
    const TPlan plan = ReadFile("label,baud,ssid,mask,ip,password\nA1,9600,net,255.0.0.0,10.0.0.1,pw\nA2,,,,,\n");
    EXPECT_EQ(RowChangesText(plan.rows[0]), "wan: ip, mask; ap: ssid, password; serial: baud");
    EXPECT_EQ(RowChangesText(plan.rows[1]), "nothing");
}
