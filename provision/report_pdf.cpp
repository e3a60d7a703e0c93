// The commissioning report as a PDF (see report_pdf.h).
#include "provision/report_pdf.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstring>
#include <optional>

namespace r7730::provision {
namespace {

// "<0001>" as a 16-bit code, when it is one.
std::optional<int> Code(QByteArrayView token)
{
    if (token.size() != 6 || !token.startsWith('<') || !token.endsWith('>'))
        return std::nullopt;
    bool ok = false;
    const int code = token.sliced(1, 4).toByteArray().toInt(&ok, 16);
    return ok ? std::optional<int>(code) : std::nullopt;
}

// The targets of one line of a text map: "<src> <dst>" in a bfchar block, "<lo> <hi> <dst>" or
// "<lo> <hi> [<dst> <dst> ...]" in a bfrange block. Each made a space when it is a control.
void BlanksAsSpacesInLine(char* line, qsizetype length, int sources)
{
    qsizetype at = 0;
    int token = 0;
    while (at < length) {
        while (at < length && (line[at] == ' ' || line[at] == '[' || line[at] == ']'))
            ++at;
        qsizetype end = at;
        while (end < length && line[end] != ' ' && line[end] != '[' && line[end] != ']')
            ++end;
        if (end > at && token++ >= sources)
            if (const std::optional<int> code = Code(QByteArrayView(line + at, end - at)); code && *code > 0 && *code < 0x20)
                std::memcpy(line + at, "<0020>", 6);
        at = end;
    }
}

// Qt names each glyph in a PDF's text maps by the lowest character the font draws with it. A font
// that draws the control characters with its blank (NanumGothic does) has every space read back
// as U+0001, which a text extractor drops ("Commissioningreport"). Such a glyph is a blank: its
// entry is made U+0020, in place and at the same length, so no offset in the file moves.
void ReadBlanksAsSpaces(QByteArray& pdf)
{
    static const QByteArray kMapStart = "begincmap";
    for (qsizetype map = pdf.indexOf(kMapStart); map >= 0; map = pdf.indexOf(kMapStart, map + 1)) {
        const qsizetype mapEnd = pdf.indexOf("endcmap", map);
        if (mapEnd < 0)
            return;
        int sources = 0; // tokens before the first target on a line of the current block
        for (qsizetype line = map; line < mapEnd;) {
            qsizetype lineEnd = pdf.indexOf('\n', line);
            if (lineEnd < 0 || lineEnd > mapEnd)
                lineEnd = mapEnd;
            const QByteArrayView text(pdf.constData() + line, lineEnd - line);
            if (text.endsWith("beginbfchar"))
                sources = 1;
            else if (text.endsWith("beginbfrange"))
                sources = 2;
            else if (text.endsWith("endbfchar") || text.endsWith("endbfrange"))
                sources = 0;
            else if (sources > 0)
                BlanksAsSpacesInLine(pdf.data() + line, lineEnd - line, sources);
            line = lineEnd + 1;
        }
        map = mapEnd;
    }
}

} // namespace

QString ReportPdfFontFamily()
{
    const QString preferred = QStringLiteral("NanumGothic");
    const QStringList korean = QFontDatabase::families(QFontDatabase::Korean);
    if (korean.contains(preferred) || korean.isEmpty())
        return preferred;
    return korean.first();
}

QByteArray ReportPdf(const QString& html)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 12, 12, 12),
                                         QPageLayout::Millimeter));
        writer.setCreator(QStringLiteral("r7730 commissioning report"));
        QTextDocument document;
        document.setDefaultFont(QFont(ReportPdfFontFamily(), 10));
        document.setHtml(html);
        writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
        document.print(&writer);
    }
    ReadBlanksAsSpaces(bytes);
    return bytes;
}

TReportFile ReportPdfFile(const TCommissioningReport& report)
{
    return {report.stem + QStringLiteral(".pdf"), ReportPdf(report.html)};
}

} // namespace r7730::provision
