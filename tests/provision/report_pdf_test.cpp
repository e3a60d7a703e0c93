// The commissioning report's PDF: one A4 page whose fonts travel with it, Hangul included.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>

#include "provision/report_pdf.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

using namespace r7730;
using namespace r7730::provision;

namespace {

TAttempt Attempt(const QString& label, const QString& ssid)
{
    TAttempt attempt;
    attempt.id = 46;
    attempt.planSha256 = "5f0c4e2a9b7d3c1e8f6a4b2d0c9e7f5a3b1d8c6e4f2a0b9c7d5e3f1a8b6c4d2e";
    attempt.planRow = 3;
    attempt.label = label;
    attempt.started = QDateTime(QDate(2025, 3, 14), QTime(9, 30, 15, 123), QTimeZone(9 * 3600));
    attempt.ended = attempt.started.addSecs(47);
    attempt.operatorName = "김민수";
    attempt.port = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9XK3Q2L-if00-port0";
    attempt.model = "R7730LX";
    attempt.mac = "00:1A:2B:3C:4D:5E";
    attempt.firmwareBefore = attempt.firmwareAfter = "1.03";
    for (TSection section : {TSection::Wan, TSection::Tcp, TSection::Serial, TSection::AccessPoint})
        for (const QString& key : SectionKeys(section))
            attempt.fields.push_back({section, key, key == "ssid" ? ssid : "value of " + key, "value of " + key});
    attempt.result = TAttemptResult::Fail;
    attempt.error = QString("the unit stopped answering after the serial settings were saved; ").repeated(5);
    return attempt;
}

// The code points each embedded font's ToUnicode map gives, by the font's name.
std::map<QString, QSet<uint>> FontCharacters(const QByteArray& pdf)
{
    std::map<QString, QSet<uint>> fonts;
    static const QRegularExpression font(R"(/BaseFont /(\S+)[^>]*/ToUnicode (\d+) 0 R)");
    static const QRegularExpression code("<([0-9A-F]{4})>");
    for (const auto& match : font.globalMatch(QString::fromLatin1(pdf))) {
        const qsizetype begin = pdf.indexOf("\n" + match.captured(2).toLatin1() + " 0 obj");
        const QString map = QString::fromLatin1(pdf.mid(begin, pdf.indexOf("endcmap", begin) - begin));
        for (const auto& hex : code.globalMatch(map))
            fonts[match.captured(1)].insert(hex.captured(1).toUInt(nullptr, 16));
    }
    return fonts;
}

} // namespace

TEST(ReportPdf, OneA4PageWithTheKoreanTextInAnEmbeddedKoreanFont)
{
    if (QFontDatabase::families().contains("NanumGothic")) {
        EXPECT_EQ(ReportPdfFontFamily(), "NanumGothic");
    }
    const QString family = ReportPdfFontFamily().remove(' ');

    struct TCase {
        QString label;
        QString ssid;
        QString hangul; // what must be found in the Korean font
    };
    for (const TCase& c : std::vector<TCase>{{"포장라인 3호기", "공장_무선랜", "포장라인호기김민수공무선랜"},
                                             {QString("긴이름").repeated(22), "AP", "긴이름김민수"}}) {
        SCOPED_TRACE(c.label.toStdString());
        QTemporaryDir folder;
        const TCommissioningReport report = MakeCommissioningReport(Attempt(c.label, c.ssid), TReportProgram{"r7730ctl", "1.0"});
        const QStringList paths = WriteReportFiles(folder.path(), {ReportPdfFile(report)});
        ASSERT_EQ(paths, QStringList({folder.filePath("20250314-093015_" + c.label.left(64).replace(' ', '-') + "_46.pdf")}));
        const QByteArray pdf = r7730::testing::ReadWholeFile(paths[0]);

        EXPECT_TRUE(pdf.startsWith("%PDF-"));
        EXPECT_EQ(pdf.count("/Type /Page\n") + pdf.count("/Type /Page "), 1) << "one page, not the /Pages tree";
        EXPECT_TRUE(pdf.contains("/MediaBox [0 0 595.000000 842.000000]")) << "A4 in points";
        EXPECT_EQ(pdf.count("/FontFile2"), pdf.count("/Type /FontDescriptor")) << "every font embedded";
        QSet<uint> korean;
        for (const auto& [name, characters] : FontCharacters(pdf))
            if (name.contains(family))
                korean += characters;
        for (const uint c : c.hangul.toUcs4())
            EXPECT_TRUE(korean.contains(c)) << QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1).toStdString();
    }
}

TEST(ReportPdf, TheTextReadsAsOnThePageSpacesIncluded)
{
    const TCommissioningReport report = MakeCommissioningReport(Attempt("포장라인 3호기", "공장 무선랜"), TReportProgram{"r7730ctl", "1.0"});
    const QByteArray pdf = ReportPdfFile(report).bytes;
    // Every text map names its glyphs by printable characters: a blank is a space, not U+0001.
    static const QRegularExpression targets(R"(\[([^\]]*)\]|^<[0-9A-F]{4}> <[0-9A-F]{4}> (<[0-9A-F]{4}>)$)",
                                            QRegularExpression::MultilineOption);
    QSet<uint> characters;
    static const QRegularExpression code("<([0-9A-F]{4})>");
    for (const auto& match : targets.globalMatch(QString::fromLatin1(pdf)))
        for (const auto& hex : code.globalMatch(match.captured(1) + match.captured(2)))
            characters.insert(hex.captured(1).toUInt(nullptr, 16));
    EXPECT_TRUE(characters.contains(0x20));
    for (const uint c : characters)
        EXPECT_TRUE(c == 0 || c >= 0x20) << std::hex << c; // 0: the glyph for nothing

    // Read back as a text extractor reads it, where one is installed.
    const QString extractor = QStandardPaths::findExecutable("pdftotext");
    if (extractor.isEmpty())
        return;
    QTemporaryDir folder;
    ASSERT_TRUE(r7730::testing::WriteWholeFile(folder.filePath("report.pdf"), pdf));
    QProcess process;
    process.start(extractor, {folder.filePath("report.pdf"), "-"});
    ASSERT_TRUE(process.waitForFinished(10000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    for (const char* words : {"Commissioning report", "Plan row", "포장라인 3호기", "the unit stopped answering after the serial"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(words))) << words << "\n" << text.toStdString();
}
