#pragma once
// TFramesModel: the frame store as a table, one row per frame kept, oldest first.
//
// The store grows inside the link's steps; the model catches up when told to (Sync), in one
// removal of the frames let go and one insertion of the new ones, so a flood costs one update of
// the views per refresh instead of one per frame. Texts are made only for the rows a view paints.
#include <QAbstractTableModel>
#include <cstdint>
#include <optional>

#include "device/frame_store.h"

namespace r7730 {

class TFramesModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum TColumn { ColSequence, ColTime, ColLatency, ColDirection, ColMessage, ColLength, ColSummary, ColumnCount };

    explicit TFramesModel(const TFrameStore& store, QObject* parent = nullptr);

    const TFrameStore& Store() const { return store_; }
    // Brings the rows up to the store: the frames let go since the last call leave the top,
    // the new ones join the bottom.
    void Sync();
    // Removes the rows of the frames the store let go since the last call; the new frames wait
    // for Sync.
    void FollowEviction();
    // The row of a frame, when the model holds it.
    std::optional<int> RowOf(std::uint64_t sequence) const;
    // The frame number a row stands for.
    std::uint64_t SequenceAt(int row) const { return letGo_ + static_cast<std::uint64_t>(row) + 1; }
    // The frame of a row; none when the store let it go already.
    const TStoredFrame* Frame(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const TFrameStore& store_;
    std::uint64_t letGo_ = 0; // as far as the rows know
    int rows_ = 0;
};

// "0x41 A Current status read"; for dropped bytes "-".
QString MessageText(const TStoredFrame& frame);
// "14:03:27.123", local time.
QString TimeText(const TStoredFrame& frame);

} // namespace r7730
