// The frames inspector: the frame store watches the link from the start, and the frames window
// opens from the log view's menu on the frame of the line under the pointer, or by Ctrl+I on the
// frame of the line the view's cursor is in.
#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextBlock>
#include <QTextBlockUserData>

#include "protocol/frame_log_line.h"
#include "window/frames/form_frames.h"
#include "window/form_main.h"
#include "ui_form_main.h"

namespace r7730 {
namespace {

const QKeySequence kInspectFramesKey(Qt::CTRL | Qt::Key_I);

// The frame a log view line shows, kept on the line's block.
class TLineFrame : public QTextBlockUserData {
public:
    explicit TLineFrame(std::uint64_t sequence) : sequence(sequence) {}
    const std::uint64_t sequence;
};

} // namespace

void TForm_main::WireFrameInspector()
{
    link_.AddFrameObserver(frameStore_);
    ui->Memo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->Memo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { RunGuarded([this, pos] { MemoContextPopup(pos); }); });
    auto* shortcut = new QShortcut(kInspectFramesKey, this);
    connect(shortcut, &QShortcut::activated, this, [this] {
        RunGuarded([this] { InspectFrames(ui->Memo->hasFocus() ? LogLineFrame(ui->Memo->textCursor().block()) : std::nullopt); });
    });
}

void TForm_main::MemoContextPopup(const QPoint& pos)
{
    QMenu* menu = ui->Memo->createStandardContextMenu(pos);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    QAction* inspect = menu->addAction(QStringLiteral("Inspect frames…"));
    inspect->setObjectName(QStringLiteral("Act_InspectFrames"));
    inspect->setShortcut(kInspectFramesKey);
    const std::optional<std::uint64_t> sequence = LogLineFrame(ui->Memo->cursorForPosition(pos).block());
    connect(inspect, &QAction::triggered, this, [this, sequence] { RunGuarded([this, sequence] { InspectFrames(sequence); }); });
    menu->popup(ui->Memo->viewport()->mapToGlobal(pos));
}

void TForm_main::InspectFrames(std::optional<std::uint64_t> sequence)
{
    if (!framesForm_)
        framesForm_ = new TForm_Frames(frameStore_, services_.dialogs, this);
    framesForm_->ShowFrame(sequence);
}

std::uint64_t TForm_main::FrameOfLogMessage(const QString& message) const
{
    // Only the link's TX and RX lines start so; nothing else is read.
    if (!message.startsWith(QLatin1String("TX 0x")) && !message.startsWith(QLatin1String("RX MSG")))
        return 0;
    const std::optional<TLoggedFrame> logged = ReadFrameLogLine(message.toStdString());
    const TStoredFrame* newest = frameStore_.Newest();
    if (!logged || !newest || newest->kind != TFrameKind::Frame || SideOf(newest->direction) != logged->side ||
        newest->content->bytes != logged->bytes)
        return 0;
    return newest->sequence;
}

void TForm_main::MarkLogLineFrame(QTextBlock block, std::uint64_t sequence)
{
    block.setUserData(new TLineFrame(sequence));
}

std::optional<std::uint64_t> TForm_main::LogLineFrame(const QTextBlock& block)
{
    if (const auto* frame = dynamic_cast<const TLineFrame*>(block.userData()))
        return frame->sequence;
    return std::nullopt;
}

} // namespace r7730
