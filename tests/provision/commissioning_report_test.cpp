// The commissioning report as written into a real folder: its JSON, its page, its file names, a
// password that must never show, and the paths that cannot take a report.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>
#include <sys/stat.h>

#include "provision/commissioning_report.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

using namespace r7730;
using namespace r7730::provision;
using r7730::testing::ReadWholeFile;

namespace {

const TReportProgram kProgram{"r7730ctl", "1.0"};
const QString kPassword = QStringLiteral("Sup3r-Secret!");

QDateTime SeoulTime(int hour, int minute, int second, int ms)
{
    return QDateTime(QDate(2025, 3, 14), QTime(hour, minute, second, ms), QTimeZone(9 * 3600));
}

// A unit of the plan with every setting applied and read back equal.
TAttempt Passed(qint64 id, const QString& label)
{
    TAttempt attempt;
    attempt.id = id;
    attempt.planSha256 = "5f0c4e2a9b7d3c1e8f6a4b2d0c9e7f5a3b1d8c6e4f2a0b9c7d5e3f1a8b6c4d2e";
    attempt.planRow = 3;
    attempt.label = label;
    attempt.started = SeoulTime(9, 30, 15, 123);
    attempt.ended = SeoulTime(9, 31, 2, 456);
    attempt.station = "line3-pc";
    attempt.processId = 4711;
    attempt.operatorName = "kim";
    attempt.port = "/dev/serial/by-id/usb-FTDI_FT232R_A9XK-if00-port0";
    attempt.model = "R7730LX";
    attempt.mac = "00:1A:2B:3C:4D:5E";
    attempt.firmwareBefore = "1.03";
    attempt.firmwareAfter = "1.03";
    attempt.fields = {{TSection::Wan, "ip", "192.168.0.10", "192.168.0.10"},
                      {TSection::Serial, "baud", "115200", "115200"},
                      {TSection::AccessPoint, "ssid", "Factory-AP", "Factory-AP"},
                      {TSection::AccessPoint, "password", PasswordRecord(kPassword), PasswordRecord(kPassword)}};
    attempt.result = TAttemptResult::Pass;
    attempt.steps = {{"read status", 0.25}, {"wan", 1.5}};
    return attempt;
}

struct TCase {
    const char* name;
    TAttempt attempt;
    QString stem;
    QString result;      // the JSON's and the banner's
    QJsonValue planRow;  // null without a row
    QString error;
    QStringList differs;
    int same, differing, unverified; // marks on the page
    QString shownLabel;              // as the page's text holds it
};

std::vector<TCase> Cases()
{
    std::vector<TCase> cases;
    cases.push_back({"pass", Passed(42, "LINE-07"), "20250314-093015_LINE-07_42", "PASS", 3, "", {}, 4, 0, 0, "LINE-07"});

    TAttempt failed = Passed(43, "LINE-08");
    failed.fields[0].readBack = "192.168.0.1";
    failed.fields[0].differs = true;
    failed.differs = {"ip"};
    failed.result = TAttemptResult::Fail;
    failed.error = "ip read back as 192.168.0.1";
    cases.push_back({"fail", failed, "20250314-093015_LINE-08_43", "FAIL", 3, "ip read back as 192.168.0.1", {"ip"}, 3, 1, 0, "LINE-08"});

    TAttempt refused = Passed(44, "");
    refused.mac = "00:1A:2B:3C:4D:60";
    refused.planRow = 0;
    refused.fields.clear();
    refused.steps = {{"read status", 0.5}};
    refused.result = TAttemptResult::Refused;
    refused.error = "MAC 00:1A:2B:3C:4D:60 is not in the plan";
    cases.push_back({"refused", refused, "20250314-093015_00-1A-2B-3C-4D-60_44", "REFUSED", QJsonValue::Null,
                     "MAC 00:1A:2B:3C:4D:60 is not in the plan", {}, 0, 0, 0, ""});

    TAttempt interrupted = Passed(45, "LINE-09");
    interrupted.fields[2].sent = QString::fromUtf8("Factory\xc3\xbe");
    interrupted.fields[2].readBack.clear();
    interrupted.fields[2].unverified = true;
    interrupted.result = TAttemptResult::Interrupted;
    interrupted.error = "the unit stopped answering";
    cases.push_back({"interrupted", interrupted, "20250314-093015_LINE-09_45", "INTERRUPTED", 3, "the unit stopped answering",
                     {}, 3, 0, 1, "LINE-09"});

    TAttempt korean = Passed(46, "포장라인 3호기");
    korean.fields[2].sent = korean.fields[2].readBack = "공장_무선랜";
    cases.push_back({"korean", korean, "20250314-093015_포장라인-3호기_46", "PASS", 3, "", {}, 4, 0, 0, "포장라인 3호기"});

    TAttempt hostile = Passed(47, "<script>alert(1)</script>/../x");
    hostile.result = TAttemptResult::Fail;
    hostile.error = "label <b>bold</b> & more";
    cases.push_back({"hostile", hostile, "20250314-093015_-script-alert(1)--script--..-x_47", "FAIL", 3, "label <b>bold</b> & more",
                     {}, 4, 0, 0, "&lt;script&gt;alert(1)&lt;/script&gt;/../x"});
    return cases;
}

QString Sha256OfFile(const QString& path)
{
    return QString::fromLatin1(QCryptographicHash::hash(ReadWholeFile(path), QCryptographicHash::Sha256).toHex());
}

} // namespace

TEST(CommissioningReport, EachAttemptGivesItsJsonAndAPageThatShowsItSafely)
{
    QTemporaryDir folder;
    for (const TCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const QString reports = folder.filePath("reports/line3");
        const QStringList paths = WriteReportFiles(reports, ReportFiles(MakeCommissioningReport(c.attempt, kProgram)));
        ASSERT_EQ(paths, QStringList({reports + "/" + c.stem + ".json", reports + "/" + c.stem + ".html"}));

        const QJsonObject json = QJsonDocument::fromJson(ReadWholeFile(paths[0])).object();
        EXPECT_EQ(json["schema"].toString(), "r7730-commissioning-report");
        EXPECT_EQ(json["schema_version"].toInt(), 1);
        EXPECT_EQ(json["result"].toString(), c.result);
        EXPECT_EQ(json["label"].toString(), c.attempt.label);
        EXPECT_EQ(json["plan_row"], c.planRow);
        EXPECT_EQ(json["error"].toString(), c.error);
        EXPECT_EQ(json["differs"].toVariant().toStringList(), c.differs);
        EXPECT_EQ(json["fields"].toArray().size(), qsizetype(c.attempt.fields.size()));

        const QString page = QString::fromUtf8(ReadWholeFile(paths[1]));
        EXPECT_TRUE(page.contains("\"><tr><td>" + c.result + "</td></tr></table>"));
        EXPECT_EQ(page.count("class=\"mark same\">✓<"), c.same);
        EXPECT_EQ(page.count("class=\"mark differs\">✗<"), c.differing);
        EXPECT_EQ(page.count("class=\"mark unverified\">not verified<"), c.unverified);
        EXPECT_TRUE(page.contains("<td>" + c.shownLabel + "</td>"));
        EXPECT_TRUE(page.contains(c.error.toHtmlEscaped()));
        EXPECT_FALSE(page.contains("<script")) << "a label's tag is text, never markup";
        EXPECT_FALSE(page.contains("<b>"));
        EXPECT_FALSE(page.contains("http", Qt::CaseInsensitive));
        EXPECT_FALSE(page.contains("@import"));
        EXPECT_TRUE(page.contains("<meta charset=\"utf-8\">"));
        EXPECT_TRUE(page.contains("SHA-256 of the JSON report: " + Sha256OfFile(paths[0]) + "</p>"));
        for (const QString& path : paths)
            EXPECT_FALSE(ReadWholeFile(path).contains(kPassword.toUtf8())) << path.toStdString();
    }
}

TEST(CommissioningReport, JsonIsIndentedWithItsKeysInOneOrderAndTimesWithZoneAndMilliseconds)
{
    TAttempt attempt = Passed(42, "LINE-07");
    attempt.fields.resize(1);
    attempt.fields[0].differs = true;
    attempt.fields[0].readBack.clear();
    attempt.differs = {"ip"};
    attempt.result = TAttemptResult::Fail;
    attempt.error = "ip not reported";
    const QByteArray json = MakeCommissioningReport(attempt, kProgram).json;
    EXPECT_EQ(json, MakeCommissioningReport(attempt, kProgram).json);
    EXPECT_EQ(json.toStdString(), R"({
    "attempt_id": 42,
    "differs": [
        "ip"
    ],
    "ended": "2025-03-14T09:31:02.456+09:00",
    "error": "ip not reported",
    "fields": [
        {
            "differs": true,
            "key": "ip",
            "read_back": "",
            "section": "wan",
            "sent": "192.168.0.10",
            "unverified": false
        }
    ],
    "firmware_after": "1.03",
    "firmware_before": "1.03",
    "label": "LINE-07",
    "mac": "00:1A:2B:3C:4D:5E",
    "model": "R7730LX",
    "operator": "kim",
    "plan_row": 3,
    "plan_sha256": "5f0c4e2a9b7d3c1e8f6a4b2d0c9e7f5a3b1d8c6e4f2a0b9c7d5e3f1a8b6c4d2e",
    "port": "/dev/serial/by-id/usb-FTDI_FT232R_A9XK-if00-port0",
    "program": "r7730ctl",
    "program_version": "1.0",
    "result": "FAIL",
    "schema": "r7730-commissioning-report",
    "schema_version": 1,
    "started": "2025-03-14T09:30:15.123+09:00",
    "station": "line3-pc",
    "steps": [
        {
            "seconds": 0.25,
            "step": "read status"
        },
        {
            "seconds": 1.5,
            "step": "wan"
        }
    ]
}
)");
}

TEST(CommissioningReport, APasswordTextThatReachedTheAttemptIsShownOnlyAsItsRecord)
{
    TAttempt attempt = Passed(48, "LINE-10");
    attempt.fields[3].sent = kPassword;
    attempt.fields[3].readBack = "Sup3r-Secret";
    attempt.fields[3].differs = true;
    attempt.result = TAttemptResult::Fail;
    attempt.error = "password read back as Sup3r-Secret, sent Sup3r-Secret!";
    const TCommissioningReport report = MakeCommissioningReport(attempt, kProgram);
    for (const TReportFile& file : ReportFiles(report)) {
        EXPECT_FALSE(file.bytes.contains("Sup3r-Secret")) << file.name.toStdString();
        EXPECT_TRUE(file.bytes.contains("set, 13 characters")) << file.name.toStdString();
        EXPECT_TRUE(file.bytes.contains("set, 12 characters")) << file.name.toStdString();
    }
}

TEST(CommissioningReport, PathsThatCannotTakeAReportAreRefusedWithNothingWritten)
{
    QTemporaryDir folder;
    const TCommissioningReport report = MakeCommissioningReport(Passed(42, "LINE-07"), kProgram);
    ASSERT_TRUE(r7730::testing::WriteWholeFile(folder.filePath("plain"), "x"));
    ASSERT_TRUE(QDir(folder.path()).mkpath("fifo") && QDir(folder.path()).mkpath("folder/20250314-093015_LINE-07_42.json"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath("fifo/20250314-093015_LINE-07_42.html")).constData(), 0600), 0);

    struct TRefusal {
        QString folder;
        QString message;
    };
    for (const TRefusal& r : std::vector<TRefusal>{
             {"plain", "cannot write the report into %1/plain: it is a file, not a folder"},
             {"plain/sub", "cannot make the report folder %1/plain/sub: Not a directory"},
             {"fifo", "cannot write the report %1/fifo/20250314-093015_LINE-07_42.html: it is a FIFO, not a regular file"},
             {"folder", "cannot write the report %1/folder/20250314-093015_LINE-07_42.json: it is a folder, not a regular file"},
         }) {
        try {
            WriteReportFiles(folder.filePath(r.folder), ReportFiles(report));
            ADD_FAILURE() << r.folder.toStdString() << " was taken";
        } catch (const EReportError& error) {
            EXPECT_EQ(error.Text(), r.message.arg(folder.path()));
        }
    }
    EXPECT_EQ(QDir(folder.filePath("fifo")).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList({"20250314-093015_LINE-07_42.html"}));
}

TEST(CommissioningReport, AFirmwareUpdateAddsItsImageAndOnlyThen)
{
    TAttempt attempt = Passed(7, "LINE-07");
    const QJsonObject plain = QJsonDocument::fromJson(MakeCommissioningReport(attempt, kProgram).json).object();
    EXPECT_FALSE(plain.contains("firmware"));
    EXPECT_FALSE(MakeCommissioningReport(attempt, kProgram).html.contains("SHA-256</th>"));

    attempt.firmware = TFirmwareRecord{"R7730LX_v1.04.bin", 1048576, "027dfe6e", "http://127.0.0.1:8070/R7730LX_v1.04.bin", 1048576};
    const TCommissioningReport report = MakeCommissioningReport(attempt, kProgram);
    EXPECT_EQ(QJsonDocument::fromJson(report.json).object()["firmware"].toObject(),
              (QJsonObject{{"file", "R7730LX_v1.04.bin"},
                           {"size", 1048576},
                           {"sha256", "027dfe6e"},
                           {"url", "http://127.0.0.1:8070/R7730LX_v1.04.bin"},
                           {"bytes_served", 1048576}}));
    EXPECT_TRUE(report.html.contains("<tr><th>Image</th><td>R7730LX_v1.04.bin (1048576 bytes)</td><th>Served</th><td>1048576 "
                                     "bytes</td></tr>"))
        << report.html.toStdString();
}
