// The event log: every line goes to the log view and, while "Save Log File" is checked, to the
// daily file. A file that cannot be written never stops the handler that logged.
//
// The file gets each line at once; the view takes the lines in batches (widgets/log_view.h).
#include <QCheckBox>

#include "protocol/code_page.h"
#include "shell/clock.h"
#include "window/form_main.h"
#include "window/widgets/log_view.h"
#include "ui_form_main.h"

namespace r7730 {

void TForm_main::ShowWaitingLogLines()
{
    ui->Memo->ShowWaitingLines();
}

void TForm_main::AddLogLine(const QString& message, std::uint64_t frame)
{
    // Control characters from a device's text are made visible: one message, one line.
    const QString visible = QString::fromStdU16String(VisibleControlCharacters(message.toStdU16String()));
    // One moment for the line's time and the daily file it goes to, even across midnight.
    const TLocalTime now = services_.clock.Now();
    const QString line = QString::fromStdString(FormatLogLine(now, visible.toStdString()));
    std::optional<TLogFileNotice> notice;
    if (ui->CB_SaveLogFile->isChecked())
        notice = logFile_.Append(now, WideToAnsi(line.toStdU16String()));
    // A gap's mark stands before the line, as in the file; a failure follows it.
    const auto showNotice = [&] { ui->Memo->AppendLine(QString::fromStdString(FormatLogLine(now, notice->text))); };
    if (notice && notice->beforeTheLine)
        showNotice();
    ui->Memo->AppendLine(line, frame);
    if (notice && !notice->beforeTheLine)
        showNotice();
}

void TForm_main::Btn_ClearClick()
{
    // Lines still waiting for the view were logged before the click: they go too.
    ui->Memo->ClearLines();
}

} // namespace r7730
