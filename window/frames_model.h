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
    // The row of a frame, when the model holds it.
    std::optional<int> RowOf(std::uint64_t sequence) const;
    const TStoredFrame& FrameAt(int row) const { return store_.At(static_cast<std::size_t>(row)); }

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
