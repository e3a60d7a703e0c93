// The event log: every line goes to the view and, while "Save Log File" is checked, to the
// daily file. A file that cannot be written never stops the handler that logged.
//
// The view is emptied when it holds more than 500 displayed rows; a wrapped line counts once
// per row. Rows are counted per line when it is added and recounted only when the view's
// width changes, so a line costs the same however full the view is.
#include <QCheckBox>
#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include "shell/clock.h"
#include "window/form_main.h"
#include "protocol/code_page.h"
#include "ui_form_main.h"

namespace r7730 {
namespace {

constexpr int kMaxLogViewRows = 500;

} // namespace

qreal TForm_main::LogViewTextWidth() const
{
    // Computed from the view's own size, which is right before the window is first shown
    // too (the viewport is sized only then); the scroll bar is always on.
    const QPlainTextEdit* memo = ui->Memo;
    return memo->contentsRect().width() - memo->verticalScrollBar()->sizeHint().width() -
           2 * memo->document()->documentMargin();
}

int TForm_main::DisplayedRows(const QString& line, qreal width) const
{
    if (line.isEmpty() || width <= 0)
        return 1;
    QTextLayout layout(line, ui->Memo->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int rows = 0;
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
        row.setLineWidth(width);
        ++rows;
    }
    layout.endLayout();
    return rows > 0 ? rows : 1;
}

void TForm_main::RecountLogViewRows()
{
    memoWidth_ = LogViewTextWidth();
    memoLineRows_.clear();
    memoRows_ = 0;
    if (ui->Memo->document()->isEmpty())
        return;
    for (QTextBlock block = ui->Memo->document()->begin(); block.isValid(); block = block.next()) {
        memoLineRows_.push_back(DisplayedRows(block.text(), memoWidth_));
        memoRows_ += memoLineRows_.back();
    }
}

bool TForm_main::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->Memo && event->type() == QEvent::Resize && LogViewTextWidth() != memoWidth_)
        RecountLogViewRows();
    return QWidget::eventFilter(watched, event);
}

void TForm_main::AppendToLogView(const QString& line)
{
    ui->Memo->appendPlainText(line);
    memoLineRows_.push_back(DisplayedRows(line, memoWidth_));
    memoRows_ += memoLineRows_.back();
    ui->Memo->verticalScrollBar()->setValue(ui->Memo->verticalScrollBar()->maximum());
}

void TForm_main::AddLogLine(const QString& message)
{
    if (memoRows_ > kMaxLogViewRows)
        Btn_ClearClick();
    const QString line = QString::fromStdString(FormatLogLine(services_.clock.Now(), message.toStdString()));
    AppendToLogView(line);

    if (!ui->CB_SaveLogFile->isChecked())
        return;
    const std::string ansiLine = WideToAnsi(line.toStdU16String());
    if (auto notice = logFile_.Append(services_.clock.Now(), ansiLine)) {
        // The notice goes to the view only: the file is what failed.
        AppendToLogView(QString::fromStdString(FormatLogLine(services_.clock.Now(), *notice)));
    }
}

void TForm_main::Btn_ClearClick()
{
    ui->Memo->clear();
    memoLineRows_.clear();
    memoRows_ = 0;
}

} // namespace r7730
