#pragma once
// TLogView: the log's read-only text view, in the log's fixed-pitch face from the moment it is
// made, taking the logged lines in batches and keeping itself to a number of displayed rows.
//
// A text view lays out its empty document as it is made, in the face it inherits. Made inside
// the window it would inherit the window's default face, which no control shows, and load it
// for that alone; so it is made on its own, given its face, and only then put in its parent.
//
// A logged line waits, in order, for the view's next refresh, which comes a few milliseconds
// after the first waiting line and, under a stream of lines, at most 30 times a second. The
// refresh puts the waiting lines into the document in one insertion, scrolls to the last one
// and repaints the view and its scroll bar once. So a handler that logs and then fills fields
// pays nothing for the view, and a flood costs one insertion and one repaint per refresh
// instead of one per line. Code that reads the view's text first calls ShowWaitingLines.
//
// The view is emptied when it holds more than 500 displayed rows; a wrapped line counts once
// per row. The rule is applied line by line, as if each line went in on its own: a batch that
// crosses the limit keeps only its lines from the last emptying on. The rows of a line are read
// from the view's own layout of its block, which the view needs for painting anyway, so a line
// is laid out once and costs the same however full the view is. A change of the view's width
// recounts every line, at the next refresh.
//
// A line may name the frame it shows (a frame store's sequence number); the name stays on the
// line in the view.
#include <QHash>
#include <QList>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextCursor>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

class QTimer;

namespace r7730 {

class TLogView : public QPlainTextEdit {
    Q_OBJECT

public:
    // Runs one refresh, inside the owner's guard.
    using TRefreshGuard = std::function<void(const std::function<void()>& refresh)>;

    explicit TLogView(QWidget* parent = nullptr);

    // The refreshes run inside this guard from now on (bare without one).
    void SetRefreshGuard(TRefreshGuard guard) { guard_ = std::move(guard); }
    // Counts the rows of what the view holds at its width now; for the owner once it has laid
    // itself out, before the first line.
    void RecountRows();

    // A line for the view's next refresh; frame: the frame it shows, 0 for none.
    void AppendLine(const QString& line, std::uint64_t frame = 0);
    // Puts the lines appended since the last refresh into the view now (the refresh does it a
    // few milliseconds later); for code that reads the view's text.
    void ShowWaitingLines();
    // Empties the view, with the lines still waiting for it.
    void ClearLines();
    // The displayed rows with every line appended so far in the view.
    int RowCount()
    {
        ShowWaitingLines();
        return rows_;
    }
    // The frame the line of this block shows, if it names one.
    static std::optional<std::uint64_t> FrameOfLine(const QTextBlock& block);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int RowsOf(QTextBlock block);
    qreal TextWidth() const;
    void ScheduleRefresh();
    void Refresh();

    TRefreshGuard guard_;
    // Lines that wait for the next refresh, in order, and the frame of each (0: none).
    QStringList waitingLines_;
    QList<std::uint64_t> waitingFrames_;
    // Displayed rows of the lines in the view, counted at rowsWidth_.
    int rows_ = 0;
    qreal rowsWidth_ = 0;
    // Rows of the line texts met last, at rowsWidth_.
    QHash<QString, int> rowsByText_;
    bool rowsStale_ = false;
    QTimer* refresh_ = nullptr; // made with the first line
    std::chrono::steady_clock::time_point refreshedAt_{};
    QTextCursor end_; // kept at the end of the document, where lines are added
};

} // namespace r7730
