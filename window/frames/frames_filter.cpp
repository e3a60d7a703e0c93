#include "window/frames/frames_filter.h"

#include "protocol/frame_anatomy.h"

namespace r7730 {
namespace {

// Verdicts kept at most; a store of ever new frames forgets them wholesale.
constexpr std::size_t kRememberedVerdicts = 4096;

} // namespace

TFramesFilter::TFramesFilter(TFramesModel& model, QObject* parent) : QSortFilterProxyModel(parent), model_(model)
{
    setSourceModel(&model);
    setDynamicSortFilter(true);
}

bool TFramesFilter::SetFilter(const TFrameFilter& filter)
{
    QRegularExpression expression;
    if (!filter.text.isEmpty()) {
        const QString pattern = filter.regularExpression ? filter.text : QRegularExpression::escape(filter.text);
        expression = QRegularExpression(pattern, filter.regularExpression ? QRegularExpression::NoPatternOption
                                                                          : QRegularExpression::CaseInsensitiveOption);
        if (!expression.isValid())
            return false;
        expression.optimize();
    }
    filter_ = filter;
    expression_ = expression;
    verdicts_.clear();
    // The whole mapping anew, told as one change of layout: filtering again row by row would
    // tell the views of every removed and inserted range on its own, tens of thousands of them.
    invalidate();
    return true;
}

bool TFramesFilter::TextMatches(const std::shared_ptr<const TFrameContent>& content) const
{
    if (filter_.text.isEmpty())
        return true;
    if (const auto known = verdicts_.find(content.get()); known != verdicts_.end())
        return known->second.second;
    const bool matches = expression_.match(content->summary).hasMatch() || expression_.match(content->hex).hasMatch();
    if (verdicts_.size() >= kRememberedVerdicts)
        verdicts_.clear();
    verdicts_.emplace(content.get(), std::pair{content, matches});
    return matches;
}

bool TFramesFilter::Accepts(const TStoredFrame& frame) const
{
    if (filter_.direction && frame.direction != *filter_.direction)
        return false;
    if (filter_.errorsOnly && !IsError(frame.content->status))
        return false;
    if (filter_.hideRepeatedSignalPolls && frame.repeatedSignalPoll)
        return false;
    if (filter_.messageId) {
        const bool known = frame.kind == TFrameKind::Frame && !MessageName(frame.content->id).empty();
        if (*filter_.messageId == TFrameFilter::kOtherIds ? known : (!known || frame.content->id != *filter_.messageId))
            return false;
    }
    return TextMatches(frame.content);
}

bool TFramesFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const TStoredFrame* frame = model_.Frame(sourceRow);
    return frame && Accepts(*frame);
}

bool TFramesFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const TStoredFrame* first = model_.Frame(left.row());
    const TStoredFrame* second = model_.Frame(right.row());
    if (!first || !second) // a frame let go keeps its place by number until its row leaves
        return model_.SequenceAt(left.row()) < model_.SequenceAt(right.row());
    const TStoredFrame& a = *first;
    const TStoredFrame& b = *second;
    switch (left.column()) {
    case TFramesModel::ColLatency:
        return a.latency.value_or(std::chrono::microseconds(-1)) < b.latency.value_or(std::chrono::microseconds(-1));
    case TFramesModel::ColDirection: return a.direction < b.direction;
    case TFramesModel::ColMessage: return a.content->id < b.content->id;
    case TFramesModel::ColLength: return a.content->bytes.size() < b.content->bytes.size();
    case TFramesModel::ColSummary: return a.content->summary < b.content->summary;
    default: return a.sequence < b.sequence;
    }
}

} // namespace r7730
