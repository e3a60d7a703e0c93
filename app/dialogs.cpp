#include "app/dialogs.h"

#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "app/program_title.h"

namespace r7730 {

QString ErrorReportText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > 0x2E)
        return message + QLatin1Char('.');
    return message;
}

void TMessageBoxDialogs::Notice(const QString& text)
{
    if (unattended_) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kProgramTitle, text, QMessageBox::Ok, parent_);
    box.exec();
}

TConfirmAnswer TMessageBoxDialogs::Confirm(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton, parent_);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    if (box.clickedButton() == yes)
        return TConfirmAnswer::Yes;
    if (box.clickedButton() == no)
        return TConfirmAnswer::No;
    return TConfirmAnswer::Closed;
}

void TMessageBoxDialogs::ErrorReport(const QString& text)
{
    if (unattended_) {
        std::fprintf(stderr, "%s\n", qPrintable(ErrorReportText(text)));
        return;
    }
    QMessageBox box(QMessageBox::Critical, kProgramTitle, ErrorReportText(text), QMessageBox::Ok, parent_);
    box.exec();
}

} // namespace r7730
