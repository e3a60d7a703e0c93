#pragma once
// TForm_Frames: the frames window. Every frame the link sent and received since start-up, from
// the frame store, in a table that a filter bar narrows; the selected frame decoded field by
// field beside its bytes, a field's bytes highlighted and a byte's field selected; what the
// filter shows exported as CSV or JSON Lines. One window, not modal; it catches up with the
// store a few times a second while it is shown, and follows the newest frame unless the user
// scrolled away from it. The table lets the frames the store lets go leave at once; when the
// selected frame is one of them, the details pane says it is gone.
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/frame_anatomy.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTableView;
class QTableWidget;
class QTimer;

namespace r7730 {

class IDialogs;
class TFrameStore;
class TFramesFilter;
class TFramesModel;
class THexView;
struct TStoredFrame;

class TForm_Frames : public QWidget {
    Q_OBJECT

public:
    TForm_Frames(TFrameStore& store, IDialogs& dialogs, QWidget* parent = nullptr);
    ~TForm_Frames() override;

    // Shows the window with the frame selected (the filter cleared when it hides the frame), or
    // at the newest frame.
    void ShowFrame(std::optional<std::uint64_t> sequence);
    // The frame of the selected row.
    std::optional<std::uint64_t> SelectedFrame() const;
    // Writes the frames the filter shows, in their order: CSV for a name ending in .csv, else JSON
    // Lines. Raises EInOutError when the file cannot be written.
    void ExportTo(const QString& path) const;
    // Catches up with the store now (the window does it a few milliseconds after new frames).
    void Refresh();

    // Handlers.
    void FilterChange();
    void Btn_FrameExportClick();
    void Grid_FramesSelect(const QModelIndex& current);
    void Grid_FrameFieldsSelect();
    void HexView_FrameByteClick(int offset);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void Wire();
    void FrameAdded();
    // Rows of the frames the store let go leave the table; the details of one say it is gone.
    void FollowEviction();
    void ClearFilter();
    void ShowDetails(const TStoredFrame* frame);
    void ShowCount();
    bool AtTail() const;

    TFrameStore& store_;
    IDialogs& dialogs_;
    TFramesModel* model_ = nullptr;
    TFramesFilter* filter_ = nullptr;
    QTimer* refresh_ = nullptr;
    // The selected frame's fields, row by row as the field list shows them.
    std::vector<TDecodedField> shownFields_;
    std::optional<std::uint64_t> shownFrame_; // the frame the details pane shows
    bool evicting_ = false;                   // rows leave: the selection moving is not the user's

    QLineEdit* Edit_FrameFilter = nullptr;
    QCheckBox* CB_FrameRegex = nullptr;
    QComboBox* CB_FrameDirection = nullptr;
    QComboBox* CB_FrameMessage = nullptr;
    QCheckBox* CB_FrameErrorsOnly = nullptr;
    QCheckBox* CB_FrameHideSignalPolls = nullptr;
    QPushButton* Btn_FrameExport = nullptr;
    QTableView* Grid_Frames = nullptr;
    QLabel* Lb_FrameDetail = nullptr;
    QTableWidget* Grid_FrameFields = nullptr;
    THexView* HexView_Frame = nullptr;
    QLabel* Lb_FrameCount = nullptr;
};

} // namespace r7730
