#include "window/widgets/log_view.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QPlainTextDocumentLayout>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextBlockUserData>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "window/widgets/fonts.h"

namespace r7730 {
namespace {

constexpr int kMaxRows = 500;
// How many distinct line texts keep their row count; a flood repeats a handful of them.
constexpr qsizetype kRememberedLineTexts = 64;

// The first waiting line waits this long for the lines that follow it...
constexpr std::chrono::milliseconds kBatch(4);
// ...and refreshes are at least two screen frames apart (30 a second): nobody reads a flood
// line by line, and each refresh repaints the whole view.
constexpr std::chrono::milliseconds kFrame(33);

// The frame a line shows, kept on the line's block.
class TLineFrame : public QTextBlockUserData {
public:
    explicit TLineFrame(std::uint64_t sequence) : sequence(sequence) {}
    const std::uint64_t sequence;
};

} // namespace

TLogView::TLogView(QWidget* parent) : QPlainTextEdit(nullptr)
{
    setFont(LogFont(12));
    setParent(parent);
}

qreal TLogView::TextWidth() const
{
    // Computed from the view's own size, which is right before the window is first shown
    // too (the viewport is sized only then); the scroll bar is always on.
    return contentsRect().width() - verticalScrollBar()->sizeHint().width() - 2 * document()->documentMargin();
}

int TLogView::RowsOf(QTextBlock block)
{
    // A stream of replies logs the same lines again and again: a text already laid out at this
    // width takes as many rows again. The view is told the block's rows (its scroll range is
    // counted in rows) and lays the block out only if it comes to paint it.
    const QString text = block.text();
    if (const auto known = rowsByText_.constFind(text); known != rowsByText_.cend()) {
        block.setLineCount(*known);
        return *known;
    }
    // Lays the block out at the view's width unless the view already has (the view keeps
    // that layout for painting), then reads its rows.
    static_cast<QPlainTextDocumentLayout*>(document()->documentLayout())->blockBoundingRect(block);
    const int rows = std::max(1, block.layout()->lineCount());
    if (rowsByText_.size() >= kRememberedLineTexts)
        rowsByText_.clear();
    rowsByText_.insert(text, rows);
    return rows;
}

void TLogView::RecountRows()
{
    rowsWidth_ = TextWidth();
    rowsStale_ = false;
    rowsByText_.clear();
    // A hidden view sizes its viewport, and lays its text out for that width, only when it is
    // shown: hand the view and its viewport their pending resizes now, as showing would.
    if (!isVisible() && viewport()->width() != rowsWidth_ + 2 * document()->documentMargin()) {
        for (QWidget* widget : {static_cast<QWidget*>(this), viewport()}) {
            QResizeEvent resize(widget->size(), QSize());
            QCoreApplication::sendEvent(widget, &resize);
        }
    }
    rows_ = 0;
    if (document()->isEmpty())
        return;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        rows_ += RowsOf(block);
}

void TLogView::resizeEvent(QResizeEvent* event)
{
    // The view lays its text out again for its new width now; the rows are recounted from that
    // layout at the next refresh.
    if (TextWidth() != rowsWidth_)
        rowsStale_ = true;
    QPlainTextEdit::resizeEvent(event);
}

void TLogView::ScheduleRefresh()
{
    if (!refresh_) {
        refresh_ = new QTimer(this);
        refresh_->setObjectName(QStringLiteral("LogViewRefresh"));
        refresh_->setSingleShot(true);
        connect(refresh_, &QTimer::timeout, this, [this] {
            if (guard_)
                guard_([this] { Refresh(); });
            else
                Refresh();
        });
    }
    if (refresh_->isActive())
        return;
    const auto sinceRefresh = std::chrono::steady_clock::now() - refreshedAt_;
    const auto frameLeft = sinceRefresh < kFrame ? std::chrono::ceil<std::chrono::milliseconds>(kFrame - sinceRefresh)
                                                 : std::chrono::milliseconds(0);
    refresh_->start(std::max(kBatch, frameLeft));
}

void TLogView::Refresh()
{
    ShowWaitingLines();
    // What the held layout signals would have told the view, once: the document's new size.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
    refreshedAt_ = std::chrono::steady_clock::now();
}

void TLogView::AppendLine(const QString& line, std::uint64_t frame)
{
    waitingLines_.append(line);
    waitingFrames_.append(frame);
    ScheduleRefresh();
}

void TLogView::ShowWaitingLines()
{
    if (waitingLines_.isEmpty())
        return;
    if (rowsStale_) {
        rowsStale_ = false;
        RecountRows();
    }
    QTextDocument* text = document();
    const bool wasEmpty = text->isEmpty();
    const int firstNewBlock = wasEmpty ? 0 : text->blockCount();
    QString lines = waitingLines_.join(QChar(QChar::ParagraphSeparator));
    if (!wasEmpty)
        lines.prepend(QChar(QChar::ParagraphSeparator));
    waitingLines_.clear();
    const QList<std::uint64_t> frames = std::exchange(waitingFrames_, {});
    // One cursor stays at the end: making one per batch and moving it there costs more than a
    // short batch itself.
    if (end_.isNull() || end_.document() != text || !end_.atEnd()) {
        end_ = QTextCursor(text);
        end_.movePosition(QTextCursor::End);
    }
    {
        // The view is not told of the insertion line by line (it would lay the line before out
        // again and move its scroll bar); the refresh tells it the new size once.
        const QSignalBlocker quiet(text->documentLayout());
        end_.insertText(lines);
    }
    // Each new line, in order: a view already over the limit is emptied before it.
    int keepFrom = -1;
    qsizetype line = 0;
    for (QTextBlock block = text->findBlockByNumber(firstNewBlock); block.isValid(); block = block.next(), ++line) {
        if (line < frames.size() && frames[line] != 0)
            block.setUserData(new TLineFrame(frames[line]));
        if (rows_ > kMaxRows) {
            keepFrom = block.position();
            rows_ = 0;
        }
        rows_ += RowsOf(block);
    }
    if (keepFrom > 0) {
        QTextCursor before(text);
        before.setPosition(keepFrom, QTextCursor::KeepAnchor);
        const QSignalBlocker quiet(text->documentLayout());
        before.removeSelectedText();
    }
}

void TLogView::ClearLines()
{
    waitingLines_.clear();
    waitingFrames_.clear();
    clear();
    rows_ = 0;
    ScheduleRefresh();
}

std::optional<std::uint64_t> TLogView::FrameOfLine(const QTextBlock& block)
{
    if (const auto* frame = dynamic_cast<const TLineFrame*>(block.userData()))
        return frame->sequence;
    return std::nullopt;
}

} // namespace r7730
