#include "window/widgets/dialogs.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <utility>

#include "window/widgets/program_title.h"

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

namespace {

// A question box that tells a close by its frame (which goes on, like Yes) from Escape and
// No (which cancel). A plain message box reports both as its escape button.
class TConfirmBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool ClosedByFrame() const { return closedByFrame_; }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (!clickedButton())
            closedByFrame_ = true;
        QMessageBox::closeEvent(event);
    }

private:
    bool closedByFrame_ = false;
};

} // namespace

TConfirmAnswer TMessageBoxDialogs::Confirm(const QString& text)
{
    if (unattended_)
        return TConfirmAnswer::No; // nobody to agree: nothing is sent
    TConfirmBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton, parent_);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    QMessageBox* const outer = std::exchange(question_, &box);
    questionWithdrawn_ = false;
    box.exec();
    question_ = outer;
    if (std::exchange(questionWithdrawn_, false))
        return TConfirmAnswer::No;
    if (unattended_)
        return TConfirmAnswer::No; // the program is being ended while the box was open
    if (box.ClosedByFrame())
        return TConfirmAnswer::Closed;
    return box.clickedButton() == yes ? TConfirmAnswer::Yes : TConfirmAnswer::No;
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

void TMessageBoxDialogs::WithdrawQuestion()
{
    if (!question_)
        return;
    questionWithdrawn_ = true;
    question_->reject();
}

} // namespace r7730
