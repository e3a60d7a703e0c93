#pragma once
// The commissioning report's page as a PDF: one A4 page with its fonts embedded, for a printer
// or an archive that wants a fixed layout. A library of its own, as it needs Qt GUI (fonts, a
// paint device) where the rest of provision/ needs QtCore only.
//
// Principles of operation. The page (provision/report_page.h) is laid out by Qt's rich text on
// A4 with 12 mm margins and painted into a PDF that carries a subset of each font used. Hangul
// comes from NanumGothic when it is installed, otherwise from the first font the system lists
// for Korean. The caller makes the QGuiApplication (offscreen will do) before the first call.
#include <QByteArray>
#include <QString>

#include "provision/commissioning_report.h"

namespace r7730::provision {

// The family the PDF is set in: "NanumGothic", or the system's first Korean-capable family.
QString ReportPdfFontFamily();

// The page, rendered as PDF bytes.
QByteArray ReportPdf(const QString& html);

// stem.pdf, for WriteReportFiles beside ReportFiles(report).
TReportFile ReportPdfFile(const TCommissioningReport& report);

} // namespace r7730::provision
