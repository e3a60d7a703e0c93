// The commissioning report as a PDF (see report_pdf.h).
#include "provision/report_pdf.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

namespace r7730::provision {

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
    return bytes;
}

TReportFile ReportPdfFile(const TCommissioningReport& report)
{
    return {report.stem + QStringLiteral(".pdf"), ReportPdf(report.html)};
}

} // namespace r7730::provision
