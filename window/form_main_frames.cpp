// The frames inspector: the frame store watches the link from the start, and the frames window
// opens from the log view's menu on the frame of the line under the pointer, or by Ctrl+I on the
// frame of the line the view's cursor is in.
#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextBlock>
#include <algorithm>

#include "window/frames/form_frames.h"
#include "window/form_main.h"
#include "window/widgets/log_view.h"
#include "ui_form_main.h"

namespace r7730 {
namespace {

const QKeySequence kInspectFramesKey(Qt::CTRL | Qt::Key_I);

} // namespace

void TForm_main::WireFrameInspector()
{
    link_.AddFrameObserver(frameStore_);
    ui->Memo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->Memo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { RunGuarded([this, pos] { MemoContextPopup(pos); }); });
    auto* shortcut = new QShortcut(kInspectFramesKey, this);
    connect(shortcut, &QShortcut::activated, this, [this] {
        RunGuarded([this] { InspectFrames(ui->Memo->hasFocus() ? TLogView::FrameOfLine(ui->Memo->textCursor().block()) : std::nullopt); });
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
    const std::optional<std::uint64_t> sequence = TLogView::FrameOfLine(ui->Memo->cursorForPosition(pos).block());
    connect(inspect, &QAction::triggered, this, [this, sequence] { RunGuarded([this, sequence] { InspectFrames(sequence); }); });
    menu->popup(ui->Memo->viewport()->mapToGlobal(pos));
}

void TForm_main::InspectFrames(std::optional<std::uint64_t> sequence)
{
    if (!framesForm_)
        framesForm_ = new TForm_Frames(frameStore_, services_.dialogs, this);
    framesForm_->ShowFrame(sequence);
}

std::uint64_t TForm_main::StoredFrameOf(const TShownFrame& frame) const
{
    // The store was handed the frame just before its line: then it is the newest frame kept.
    const TStoredFrame* newest = frameStore_.Newest();
    if (!newest || newest->kind != TFrameKind::Frame || newest->direction != frame.direction ||
        !std::ranges::equal(newest->content->bytes, frame.bytes))
        return 0;
    return newest->sequence;
}

} // namespace r7730
