// The event log: every line goes to the view and, while "Save Log File" is checked, to the
// daily file. A file that cannot be written never stops the handler that logged.
//
// The file gets each line at once. The view takes the lines in batches: a logged line waits,
// in order, for the view's next refresh, which comes a few milliseconds after the first waiting
// line and, under a stream of lines, at most 30 times a second. The refresh puts the waiting
// lines into the document in one insertion, scrolls to the last one and repaints the view and
// its scroll bar once. So a handler that logs and then fills fields pays only for the file,
// and a flood costs one insertion and one repaint per refresh instead of one per line. Code
// that reads the view's text first calls ShowWaitingLogLines.
//
// The view is emptied when it holds more than 500 displayed rows; a wrapped line counts once
// per row. The rule is applied line by line, as if each line went in on its own: a batch that
// crosses the limit keeps only its lines from the last emptying on. The rows of a line are read
// from the view's own layout of its block, which the view needs for painting anyway, so a line
// is laid out once and costs the same however full the view is. A change of the view's width
// recounts every line, at the next refresh.
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
#include <utility>

#include "shell/clock.h"
#include "window/form_main.h"
#include "protocol/code_page.h"
#include "ui_form_main.h"

namespace r7730 {
namespace {

constexpr int kMaxLogViewRows = 500;
// How many distinct line texts keep their row count; a flood repeats a handful of them.
constexpr qsizetype kRememberedLineTexts = 64;

// The first waiting line waits this long for the lines that follow it...
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

int TForm_main::LogViewRows(QTextBlock block)
{
    // A stream of replies logs the same lines again and again: a text already laid out at this
    // width takes as many rows again. The view is told the block's rows (its scroll range is
    // counted in rows) and lays the block out only if it comes to paint it.
    const QString text = block.text();
    if (const auto known = memoRowsByText_.constFind(text); known != memoRowsByText_.cend()) {
        block.setLineCount(*known);
        return *known;
    }
    // Lays the block out at the view's width unless the view already has (the view keeps
    // that layout for painting), then reads its rows.
    LayoutOf(*ui->Memo).blockBoundingRect(block);
    const int rows = std::max(1, block.layout()->lineCount());
    if (memoRowsByText_.size() >= kRememberedLineTexts)
        memoRowsByText_.clear();
    memoRowsByText_.insert(text, rows);
    return rows;
}

void TForm_main::RecountLogViewRows()
{
    QPlainTextEdit* memo = ui->Memo;
    memoWidth_ = LogViewTextWidth();
    memoRowsByText_.clear();
    // A hidden view sizes its viewport, and lays its text out for that width, only when it is
    // shown: hand the view and its viewport their pending resizes now, as showing would.
    if (!memo->isVisible() && memo->viewport()->width() != memoWidth_ + 2 * memo->document()->documentMargin()) {
        for (QWidget* widget : {static_cast<QWidget*>(memo), memo->viewport()}) {
            QResizeEvent resize(widget->size(), QSize());
            QCoreApplication::sendEvent(widget, &resize);
        }
    }
    memoRows_ = 0;
    if (memo->document()->isEmpty())
        return;
    for (QTextBlock block = memo->document()->begin(); block.isValid(); block = block.next())
        memoRows_ += LogViewRows(block);
}

bool TForm_main::eventFilter(QObject* watched, QEvent* event)
{
    // The view lays its text out again for its new width right after this filter; the rows
    // are recounted from that layout at the next refresh.
    if (watched == ui->Memo && event->type() == QEvent::Resize && LogViewTextWidth() != memoWidth_)
        memoRowsStale_ = true;
    return QWidget::eventFilter(watched, event);
}

void TForm_main::ScheduleLogViewRefresh()
{
    if (!logViewRefresh_) {
        logViewRefresh_ = new QTimer(this);
        logViewRefresh_->setObjectName(QStringLiteral("LogViewRefresh"));
        logViewRefresh_->setSingleShot(true);
        connect(logViewRefresh_, &QTimer::timeout, this, [this] { RunGuarded([this] { RefreshLogView(); }); });
    }
    if (logViewRefresh_->isActive())
        return;
    const auto sinceRefresh = std::chrono::steady_clock::now() - logViewRefreshedAt_;
    const auto frameLeft = sinceRefresh < kLogViewFrame
                               ? std::chrono::ceil<std::chrono::milliseconds>(kLogViewFrame - sinceRefresh)
                               : std::chrono::milliseconds(0);
    logViewRefresh_->start(std::max(kLogViewBatch, frameLeft));
}

void TForm_main::RefreshLogView()
{
    ShowWaitingLogLines();
    QPlainTextEdit* memo = ui->Memo;
    // What the held layout signals would have told the view, once: the document's new size.
    QAbstractTextDocumentLayout* layout = memo->document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
    memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
    memo->viewport()->update();
    logViewRefreshedAt_ = std::chrono::steady_clock::now();
}

void TForm_main::ShowWaitingLogLines()
{
    if (waitingLogLines_.isEmpty())
        return;
    if (memoRowsStale_) {
        memoRowsStale_ = false;
        RecountLogViewRows();
    }
    QTextDocument* document = ui->Memo->document();
    const bool wasEmpty = document->isEmpty();
    const int firstNewBlock = wasEmpty ? 0 : document->blockCount();
    QString text = waitingLogLines_.join(QChar(QChar::ParagraphSeparator));
    if (!wasEmpty)
        text.prepend(QChar(QChar::ParagraphSeparator));
    waitingLogLines_.clear();
    const QList<std::uint64_t> frames = std::exchange(waitingLineFrames_, {});
    // One cursor stays at the end: making one per batch and moving it there costs more than a
    // short batch itself.
    if (logEnd_.isNull() || logEnd_.document() != document || !logEnd_.atEnd()) {
        logEnd_ = QTextCursor(document);
        logEnd_.movePosition(QTextCursor::End);
    }
    {
        // The view is not told of the insertion line by line (it would lay the line before out
        // again and move its scroll bar); the refresh tells it the new size once.
        const QSignalBlocker quiet(document->documentLayout());
        logEnd_.insertText(text);
    }
    // Each new line, in order: a view already over the limit is emptied before it.
    int keepFrom = -1;
    qsizetype line = 0;
    for (QTextBlock block = document->findBlockByNumber(firstNewBlock); block.isValid(); block = block.next(), ++line) {
        if (line < frames.size() && frames[line] != 0)
            MarkLogLineFrame(block, frames[line]);
        if (memoRows_ > kMaxLogViewRows) {
            keepFrom = block.position();
            memoRows_ = 0;
        }
        memoRows_ += LogViewRows(block);
    }
    if (keepFrom > 0) {
        QTextCursor before(document);
        before.setPosition(keepFrom, QTextCursor::KeepAnchor);
        const QSignalBlocker quiet(document->documentLayout());
        before.removeSelectedText();
    }
}

void TForm_main::AddLogLine(const QString& message)
{
    // Control characters from a device's text are made visible: one message, one line.
    const QString visible = QString::fromStdU16String(VisibleControlCharacters(message.toStdU16String()));
    // One moment for the line's time and the daily file it goes to, even across midnight.
    const TLocalTime now = services_.clock.Now();
    const QString line = QString::fromStdString(FormatLogLine(now, visible.toStdString()));
    waitingLogLines_.append(line);
    waitingLineFrames_.append(FrameOfLogMessage(message));
    ScheduleLogViewRefresh();

    if (!ui->CB_SaveLogFile->isChecked())
        return;
    const std::string ansiLine = WideToAnsi(line.toStdU16String());
    if (auto notice = logFile_.Append(now, ansiLine)) {
        const QString noticeLine = QString::fromStdString(FormatLogLine(now, notice->text));
        // A gap's mark stands before the line, as in the file; a failure follows it.
        const qsizetype at = notice->beforeTheLine ? waitingLogLines_.size() - 1 : waitingLogLines_.size();
        waitingLogLines_.insert(at, noticeLine);
        waitingLineFrames_.insert(at, 0);
    }
}

void TForm_main::Btn_ClearClick()
{
    // Lines still waiting for the view were logged before the click: they go too.
    waitingLogLines_.clear();
    waitingLineFrames_.clear();
    ui->Memo->clear();
    memoRows_ = 0;
    ScheduleLogViewRefresh();
}

} // namespace r7730
