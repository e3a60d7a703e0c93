#pragma once
// TFramesFilter: which frames the frames window shows, and in what order.
//
// The filter reads the frame store itself, never the texts a view shows: the text (or regular
// expression) is looked for in a frame's summary and in its hex text as the log writes it
// ("7E.2B.41."); the direction, the message ID, errors only (any state but ok), and repeated
// signal polls hidden. Identical frames share one decoded content, and the text's verdict on a
// content is remembered until the text changes, so a filter over a flood of the same reply reads
// each distinct frame once.
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <memory>
#include <optional>
#include <unordered_map>

#include "window/frames/frames_model.h"

namespace r7730 {

struct TFrameFilter {
    QString text;                             // empty: any frame
    bool regularExpression = false;           // else a plain text, either case
    std::optional<TFrameDirection> direction; // empty: both
    std::optional<int> messageId;             // an ID; kOtherIds for the IDs the catalogue has not
    bool errorsOnly = false;
    bool hideRepeatedSignalPolls = false;

    static constexpr int kOtherIds = -1;
};

class TFramesFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit TFramesFilter(TFramesModel& model, QObject* parent = nullptr);

    // Applies the filter; false (and nothing changed) for a regular expression that does not
    // compile.
    bool SetFilter(const TFrameFilter& filter);
    const TFrameFilter& Filter() const { return filter_; }
    // Whether a frame passes, read from the store.
    bool Accepts(const TStoredFrame& frame) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    bool TextMatches(const std::shared_ptr<const TFrameContent>& content) const;

    TFramesModel& model_;
    TFrameFilter filter_;
    QRegularExpression expression_;
    mutable std::unordered_map<const TFrameContent*, std::pair<std::shared_ptr<const TFrameContent>, bool>> verdicts_;
};

} // namespace r7730
