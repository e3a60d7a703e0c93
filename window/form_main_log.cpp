// The event log: every line goes to the view and, while "Save Log File" is checked, to the
// daily file. A file that cannot be written never stops the handler that logged.
//
// The view is emptied when it holds more than 500 displayed rows; a wrapped line counts once
// per row. The rows of a line are read from the view's own layout of its block, which the view
// needs for painting anyway, so a line is laid out once and costs the same however full the
// view is. A change of the view's width recounts every line, at the next line logged.
//
// Painting is batched: each line enters the document at once (the view's text is always
// complete and in order), but the view is held from repainting until a single refresh that
// scrolls to the last line and repaints the view and its scroll bar once. That refresh comes a
// few milliseconds after the first held line, and under a stream of lines at most 30 times a
// second, so a flood costs a repaint per refresh instead of one per line, and the fields a
// reply fills are painted without waiting for the log. While a line goes in, the view is not
// told of it (its layout's signals are held): it would lay the line before out again and move
// its scroll bar for each line, where the refresh tells it the new size once.
#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QCoreApplication>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "shell/clock.h"
#include "window/form_main.h"
#include "protocol/code_page.h"
#include "ui_form_main.h"

namespace r7730 {
namespace {

constexpr int kMaxLogViewRows = 500;

// The first held line waits this long for the lines that follow it...
constexpr std::chrono::milliseconds kLogViewBatch(4);
// ...and refreshes are at least two screen frames apart (30 a second): nobody reads a flood
// line by line, and each refresh repaints the whole view.
constexpr std::chrono::milliseconds kLogViewFrame(33);

QPlainTextDocumentLayout& LayoutOf(const QPlainTextEdit& memo)
{
    return *static_cast<QPlainTextDocumentLayout*>(memo.document()->documentLayout());
}

} // namespace

qreal TForm_main::LogViewTextWidth() const
{
    // Computed from the view's own size, which is right before the window is first shown
    // too (the viewport is sized only then); the scroll bar is always on.
    const QPlainTextEdit* memo = ui->Memo;
    return memo->contentsRect().width() - memo->verticalScrollBar()->sizeHint().width() -
           2 * memo->document()->documentMargin();
}

int TForm_main::LogViewRows(const QTextBlock& block) const
{
    // Lays the block out at the view's width unless the view already has (the view keeps
    // that layout for painting), then reads its rows.
    LayoutOf(*ui->Memo).blockBoundingRect(block);
    return std::max(1, block.layout()->lineCount());
}

void TForm_main::RecountLogViewRows()
{
    QPlainTextEdit* memo = ui->Memo;
    memoWidth_ = LogViewTextWidth();
    // A hidden view sizes its viewport, and lays its text out for that width, only when it is
    // shown: hand the view and its viewport their pending resizes now, as showing would.
    if (!memo->isVisible() && memo->viewport()->width() != memoWidth_ + 2 * memo->document()->documentMargin()) {
        for (QWidget* widget : {static_cast<QWidget*>(memo), memo->viewport()}) {
            QResizeEvent resize(widget->size(), QSize());
            QCoreApplication::sendEvent(widget, &resize);
        }
    }
    memoLineRows_.clear();
    memoRows_ = 0;
    if (memo->document()->isEmpty())
        return;
    for (QTextBlock block = memo->document()->begin(); block.isValid(); block = block.next()) {
        memoLineRows_.push_back(LogViewRows(block));
        memoRows_ += memoLineRows_.back();
    }
}

bool TForm_main::eventFilter(QObject* watched, QEvent* event)
{
    // The view lays its text out again for its new width right after this filter; the rows
    // are recounted from that layout when the next line comes.
    if (watched == ui->Memo && event->type() == QEvent::Resize && LogViewTextWidth() != memoWidth_)
        memoRowsStale_ = true;
    return QWidget::eventFilter(watched, event);
}

void TForm_main::HoldLogViewPainting()
{
    if (!logViewRefresh_) {
        logViewRefresh_ = new QTimer(this);
        logViewRefresh_->setObjectName(QStringLiteral("LogViewRefresh"));
        logViewRefresh_->setSingleShot(true);
        connect(logViewRefresh_, &QTimer::timeout, this, [this] { RunGuarded([this] { RefreshLogView(); }); });
    }
    if (logViewRefresh_->isActive())
        return;
    ui->Memo->setUpdatesEnabled(false);
    const auto sinceRefresh = std::chrono::steady_clock::now() - logViewRefreshedAt_;
    const auto frameLeft = sinceRefresh < kLogViewFrame
                               ? std::chrono::ceil<std::chrono::milliseconds>(kLogViewFrame - sinceRefresh)
                               : std::chrono::milliseconds(0);
    logViewRefresh_->start(std::max(kLogViewBatch, frameLeft));
}

void TForm_main::RefreshLogView()
{
    QPlainTextEdit* memo = ui->Memo;
    // What the held signals would have told the view, once: the document's new size.
    QAbstractTextDocumentLayout* layout = memo->document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
    memo->setUpdatesEnabled(true); // repaints the whole view, scroll bar included, once
    memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
    logViewRefreshedAt_ = std::chrono::steady_clock::now();
}

void TForm_main::AppendToLogView(const QString& line)
{
    HoldLogViewPainting();
    QTextDocument* document = ui->Memo->document();
    // One cursor stays at the end: making one per line and moving it there costs more than the
    // line itself.
    if (logEnd_.isNull() || logEnd_.document() != document || !logEnd_.atEnd()) {
        logEnd_ = QTextCursor(document);
        logEnd_.movePosition(QTextCursor::End);
    }
    {
        const QSignalBlocker quiet(document->documentLayout());
        logEnd_.insertText(document->isEmpty() ? line : QChar(QChar::ParagraphSeparator) + line);
    }
    memoLineRows_.push_back(LogViewRows(document->lastBlock()));
    memoRows_ += memoLineRows_.back();
}

void TForm_main::AddLogLine(const QString& message)
{
    if (memoRowsStale_) {
        memoRowsStale_ = false;
        RecountLogViewRows();
    }
    if (memoRows_ > kMaxLogViewRows)
        Btn_ClearClick();
    // Control characters from a device's text are made visible: one message, one line.
    const QString visible = QString::fromStdU16String(VisibleControlCharacters(message.toStdU16String()));
    // One moment for the line's time and the daily file it goes to, even across midnight.
    const TLocalTime now = services_.clock.Now();
    const QString line = QString::fromStdString(FormatLogLine(now, visible.toStdString()));
    AppendToLogView(line);

    if (!ui->CB_SaveLogFile->isChecked())
        return;
    const std::string ansiLine = WideToAnsi(line.toStdU16String());
    if (auto notice = logFile_.Append(now, ansiLine)) {
        // The notice goes to the view only: the file is what failed.
        AppendToLogView(QString::fromStdString(FormatLogLine(now, *notice)));
    }
}

void TForm_main::Btn_ClearClick()
{
    HoldLogViewPainting();
    ui->Memo->clear();
    memoLineRows_.clear();
    memoRows_ = 0;
}

} // namespace r7730
