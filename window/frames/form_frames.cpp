#include "window/frames/form_frames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>

#include "device/frame_export.h"
#include "device/frame_store.h"
#include "protocol/frame_anatomy.h"
#include "shell/event_log_file.h"
#include "shell/whole_file.h"
#include "window/frames/frames_filter.h"
#include "window/frames/frames_model.h"
#include "window/widgets/dialogs.h"
#include "window/widgets/fonts.h"
#include "window/widgets/hex_view.h"

namespace r7730 {
namespace {

// New frames reach the table at most this often: nobody reads a flood frame by frame.
constexpr int kRefreshMs = 100;

enum TFieldColumn { ColFieldOffset, ColFieldLength, ColFieldName, ColFieldHex, ColFieldValue, ColFieldCount };

QTableWidgetItem* Cell(const QString& text, bool number = false)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

TForm_Frames::TForm_Frames(TFrameStore& store, IDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("Form_Frames"));
    setWindowTitle(QStringLiteral("Frames"));
    model_ = new TFramesModel(store_, this);
    filter_ = new TFramesFilter(*model_, this);
    refresh_ = new QTimer(this);
    refresh_->setSingleShot(true);
    refresh_->setInterval(kRefreshMs);
    BuildControls();
    Wire();
    resize(1120, 700);
    store_.SetAddedCallback([this] { FrameAdded(); });
}

TForm_Frames::~TForm_Frames()
{
    store_.SetAddedCallback({});
}

void TForm_Frames::BuildControls()
{
    const auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    Edit_FrameFilter = named(new QLineEdit(this), "Edit_FrameFilter");
    Edit_FrameFilter->setPlaceholderText(QStringLiteral("Filter: text in the summary or the hex (7E.2B.41.)"));
    Edit_FrameFilter->setClearButtonEnabled(true);
    Edit_FrameFilter->setMinimumWidth(240);
    CB_FrameRegex = named(new QCheckBox(QStringLiteral("Regular expression"), this), "CB_FrameRegex");
    CB_FrameDirection = named(new QComboBox(this), "CB_FrameDirection");
    CB_FrameDirection->addItems({QStringLiteral("TX and RX"), QStringLiteral("TX"), QStringLiteral("RX")});
    CB_FrameMessage = named(new QComboBox(this), "CB_FrameMessage");
    CB_FrameMessage->addItem(QStringLiteral("All messages"));
    std::vector<std::uint8_t> ids;
    for (const TMessageLayout& layout : MessageLayouts())
        if (std::find(ids.begin(), ids.end(), layout.id) == ids.end()) {
            ids.push_back(layout.id);
            CB_FrameMessage->addItem(QStringLiteral("%1 %2 %3")
                                         .arg(IdText(layout.id), QChar(layout.id),
                                              QString::fromLatin1(layout.name.data(), qsizetype(layout.name.size()))),
                                     int(layout.id));
        }
    CB_FrameMessage->addItem(QStringLiteral("Other IDs"), TFrameFilter::kOtherIds);
    CB_FrameMessage->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CB_FrameMessage->setMinimumContentsLength(16);
    CB_FrameErrorsOnly = named(new QCheckBox(QStringLiteral("Errors only"), this), "CB_FrameErrorsOnly");
    CB_FrameHideSignalPolls = named(new QCheckBox(QStringLiteral("Hide repeated signal polls"), this), "CB_FrameHideSignalPolls");
    Btn_FrameExport = named(new QPushButton(QStringLiteral("Export…"), this), "Btn_FrameExport");
    Btn_FrameExport->setToolTip(QStringLiteral("The frames shown, as CSV (.csv) or JSON Lines (.jsonl)"));

    Grid_Frames = named(new QTableView(this), "Grid_Frames");
    Grid_Frames->setModel(filter_);
    Grid_Frames->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_Frames->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_Frames->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_Frames->setWordWrap(false);
    Grid_Frames->verticalHeader()->hide();
    Grid_Frames->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid_Frames->verticalHeader()->setDefaultSectionSize(Grid_Frames->fontMetrics().height() + 4);
    Grid_Frames->horizontalHeader()->setStretchLastSection(true);
    Grid_Frames->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    Grid_Frames->setSortingEnabled(true);
    const int widths[] = {60, 95, 70, 40, 210, 55};
    for (int column = 0; column < int(std::size(widths)); ++column)
        Grid_Frames->setColumnWidth(column, widths[column]);

    Lb_FrameDetail = named(new QLabel(this), "Lb_FrameDetail");
    Lb_FrameDetail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Lb_FrameDetail->setWordWrap(true);
    Grid_FrameFields = named(new QTableWidget(0, ColFieldCount, this), "Grid_FrameFields");
    Grid_FrameFields->setHorizontalHeaderLabels({QStringLiteral("Offset"), QStringLiteral("Len"), QStringLiteral("Field"),
                                                  QStringLiteral("Hex"), QStringLiteral("Value")});
    Grid_FrameFields->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_FrameFields->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_FrameFields->verticalHeader()->hide();
    Grid_FrameFields->verticalHeader()->setDefaultSectionSize(Grid_FrameFields->fontMetrics().height() + 4);
    Grid_FrameFields->horizontalHeader()->setStretchLastSection(true);
    Grid_FrameFields->setWordWrap(false);
    const int fieldWidths[] = {50, 35, 130, 130};
    for (int column = 0; column < int(std::size(fieldWidths)); ++column)
        Grid_FrameFields->setColumnWidth(column, fieldWidths[column]);
    HexView_Frame = named(new THexView(this), "HexView_Frame");
    Lb_FrameCount = named(new QLabel(this), "Lb_FrameCount");

    auto* filterBar = new QHBoxLayout;
    filterBar->addWidget(Edit_FrameFilter, 1);
    for (QWidget* control : std::initializer_list<QWidget*>{CB_FrameRegex, CB_FrameDirection, CB_FrameMessage, CB_FrameErrorsOnly,
                                                            CB_FrameHideSignalPolls, Btn_FrameExport})
        filterBar->addWidget(control);

    auto* details = new QSplitter(Qt::Horizontal);
    details->addWidget(Grid_FrameFields);
    details->addWidget(HexView_Frame);
    // The dump is never cut: the field list takes what is left.
    HexView_Frame->setMinimumWidth(HexView_Frame->sizeHint().width());
    details->setStretchFactor(0, 1);
    details->setStretchFactor(1, 0);
    details->setCollapsible(1, false);
    auto* detailsPane = new QWidget;
    auto* detailsLayout = new QVBoxLayout(detailsPane);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    detailsLayout->addWidget(Lb_FrameDetail);
    detailsLayout->addWidget(details, 1);
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(Grid_Frames);
    split->addWidget(detailsPane);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterBar);
    layout->addWidget(split, 1);
    layout->addWidget(Lb_FrameCount);
}

void TForm_Frames::Wire()
{
    connect(refresh_, &QTimer::timeout, this, &TForm_Frames::Refresh);
    connect(Edit_FrameFilter, &QLineEdit::textChanged, this, &TForm_Frames::FilterChange);
    connect(CB_FrameRegex, &QCheckBox::toggled, this, &TForm_Frames::FilterChange);
    connect(CB_FrameErrorsOnly, &QCheckBox::toggled, this, &TForm_Frames::FilterChange);
    connect(CB_FrameHideSignalPolls, &QCheckBox::toggled, this, &TForm_Frames::FilterChange);
    connect(CB_FrameDirection, &QComboBox::currentIndexChanged, this, &TForm_Frames::FilterChange);
    connect(CB_FrameMessage, &QComboBox::currentIndexChanged, this, &TForm_Frames::FilterChange);
    connect(Btn_FrameExport, &QPushButton::clicked, this, &TForm_Frames::Btn_FrameExportClick);
    connect(Grid_Frames->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &TForm_Frames::Grid_FramesSelect);
    connect(Grid_FrameFields, &QTableWidget::itemSelectionChanged, this, &TForm_Frames::Grid_FrameFieldsSelect);
    connect(HexView_Frame, &THexView::ByteClicked, this, &TForm_Frames::HexView_FrameByteClick);
    connect(filter_, &QAbstractItemModel::rowsInserted, this, &TForm_Frames::ShowCount);
    connect(filter_, &QAbstractItemModel::rowsRemoved, this, &TForm_Frames::ShowCount);
    connect(filter_, &QAbstractItemModel::modelReset, this, &TForm_Frames::ShowCount);
    connect(filter_, &QAbstractItemModel::layoutChanged, this, &TForm_Frames::ShowCount);
}

void TForm_Frames::FrameAdded()
{
    try {
        FollowEviction();
        if (isVisible() && !refresh_->isActive())
            refresh_->start();
    } catch (...) {
        // Told inside the link's step: the next refresh catches up instead.
    }
}

void TForm_Frames::FollowEviction()
{
    const std::uint64_t letGo = store_.LetGo();
    const bool shownGone = shownFrame_ && *shownFrame_ <= letGo;
    {
        evicting_ = true;
        const auto done = qScopeGuard([this] { evicting_ = false; });
        model_->FollowEviction();
        if (shownGone)
            Grid_Frames->selectionModel()->clear();
    }
    if (!shownGone)
        return;
    const std::uint64_t gone = *shownFrame_;
    ShowDetails(nullptr);
    Lb_FrameDetail->setText(QStringLiteral("#%1 is gone: the %2 oldest frames were let go (the newest %3 are kept)")
                                .arg(gone)
                                .arg(letGo)
                                .arg(store_.Capacity()));
}

void TForm_Frames::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Refresh();
}

bool TForm_Frames::AtTail() const
{
    const QScrollBar* bar = Grid_Frames->verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void TForm_Frames::Refresh()
{
    const bool follow = AtTail();
    FollowEviction();
    model_->Sync();
    if (follow)
        Grid_Frames->scrollToBottom();
    ShowCount();
}

void TForm_Frames::ShowCount()
{
    QString text = QStringLiteral("%1 of %2 frames shown").arg(filter_->rowCount()).arg(model_->rowCount());
    if (store_.LetGo() > 0)
        text += QStringLiteral("; %1 older frames let go (the newest %2 are kept)").arg(store_.LetGo()).arg(store_.Capacity());
    Lb_FrameCount->setText(text);
}

void TForm_Frames::FilterChange()
{
    TFrameFilter filter;
    filter.text = Edit_FrameFilter->text();
    filter.regularExpression = CB_FrameRegex->isChecked();
    if (CB_FrameDirection->currentIndex() > 0)
        filter.direction = CB_FrameDirection->currentIndex() == 1 ? TFrameDirection::Sent : TFrameDirection::Received;
    if (CB_FrameMessage->currentIndex() > 0)
        filter.messageId = CB_FrameMessage->currentData().toInt();
    filter.errorsOnly = CB_FrameErrorsOnly->isChecked();
    filter.hideRepeatedSignalPolls = CB_FrameHideSignalPolls->isChecked();
    const bool follow = AtTail();
    const bool valid = filter_->SetFilter(filter);
    // A regular expression being typed is often briefly invalid: the last valid one stays.
    Edit_FrameFilter->setStyleSheet(valid ? QString() : QStringLiteral("color: #C00000"));
    Edit_FrameFilter->setToolTip(valid ? QString() : QStringLiteral("Not a valid regular expression"));
    if (follow)
        Grid_Frames->scrollToBottom();
    ShowCount();
}

void TForm_Frames::ClearFilter()
{
    {
        // One change of filter for them all, not one per control.
        const QSignalBlocker blockers[] = {QSignalBlocker(Edit_FrameFilter), QSignalBlocker(CB_FrameDirection),
                                           QSignalBlocker(CB_FrameMessage), QSignalBlocker(CB_FrameErrorsOnly),
                                           QSignalBlocker(CB_FrameHideSignalPolls)};
        Edit_FrameFilter->clear();
        CB_FrameDirection->setCurrentIndex(0);
        CB_FrameMessage->setCurrentIndex(0);
        CB_FrameErrorsOnly->setChecked(false);
        CB_FrameHideSignalPolls->setChecked(false);
    }
    FilterChange();
}

void TForm_Frames::ShowFrame(std::optional<std::uint64_t> sequence)
{
    show();
    raise();
    activateWindow();
    Refresh();
    const std::optional<int> row = sequence ? model_->RowOf(*sequence) : std::nullopt;
    if (!row)
        return;
    const TStoredFrame* frame = model_->Frame(*row);
    if (frame && !filter_->Accepts(*frame))
        ClearFilter();
    const QModelIndex index = filter_->mapFromSource(model_->index(*row, TFramesModel::ColSummary));
    Grid_Frames->setCurrentIndex(index);
    Grid_Frames->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

std::optional<std::uint64_t> TForm_Frames::SelectedFrame() const
{
    const QModelIndex current = Grid_Frames->currentIndex();
    if (!current.isValid())
        return std::nullopt;
    return model_->SequenceAt(filter_->mapToSource(current).row());
}

void TForm_Frames::Grid_FramesSelect(const QModelIndex& current)
{
    if (evicting_)
        return;
    ShowDetails(current.isValid() ? model_->Frame(filter_->mapToSource(current).row()) : nullptr);
}

void TForm_Frames::ShowDetails(const TStoredFrame* frame)
{
    Grid_FrameFields->setRowCount(0);
    shownFields_.clear();
    shownFrame_ = frame ? std::optional<std::uint64_t>(frame->sequence) : std::nullopt;
    if (!frame) {
        Lb_FrameDetail->clear();
        HexView_Frame->SetBytes({});
        return;
    }
    const TFrameContent& content = *frame->content;
    QString detail = QStringLiteral("#%1  %2  %3  %4  %5")
                         .arg(frame->sequence)
                         .arg(DirectionText(frame->direction), TimeText(*frame), StatusText(content.status), MessageText(*frame));
    if (frame->answers)
        detail += QStringLiteral("  answers #%1").arg(*frame->answers);
    if (frame->latency)
        detail += QStringLiteral(" after %1 ms").arg(static_cast<double>(frame->latency->count()) / 1000.0, 0, 'f', 1);
    Lb_FrameDetail->setText(detail + QStringLiteral("\n") + content.summary);
    HexView_Frame->SetBytes(content.bytes);

    std::vector<TDecodedField>& fields = shownFields_;
    if (frame->kind == TFrameKind::Frame)
        fields = DecodeFields(SideOf(frame->direction), content.bytes);
    else
        fields.push_back({0, int(content.bytes.size()), StatusText(content.status).toStdString() + " bytes", TFieldKind::Byte,
                          SpacedHex(content.bytes)});
    Grid_FrameFields->setRowCount(int(fields.size()));
    const std::span<const std::uint8_t> bytes = content.bytes;
    for (int row = 0; row < int(fields.size()); ++row) {
        const TDecodedField& field = fields[std::size_t(row)];
        Grid_FrameFields->setItem(row, ColFieldOffset, Cell(QString::number(field.offset), true));
        Grid_FrameFields->setItem(row, ColFieldLength, Cell(QString::number(field.length), true));
        Grid_FrameFields->setItem(row, ColFieldName, Cell(QString::fromStdString(field.name)));
        Grid_FrameFields->setItem(row, ColFieldHex, Cell(QString::fromLatin1(SpacedHex(bytes.subspan(std::size_t(field.offset), std::size_t(field.length))))));
        Grid_FrameFields->setItem(row, ColFieldValue, Cell(QString::fromStdString(field.value)));
    }
}

void TForm_Frames::Grid_FrameFieldsSelect()
{
    const int row = Grid_FrameFields->currentRow();
    if (row < 0 || row >= int(shownFields_.size()) || Grid_FrameFields->selectedItems().isEmpty()) {
        HexView_Frame->SetHighlight(0, 0);
        return;
    }
    const TDecodedField& field = shownFields_[std::size_t(row)];
    HexView_Frame->SetHighlight(field.offset, field.length);
}

void TForm_Frames::HexView_FrameByteClick(int offset)
{
    for (int row = 0; row < int(shownFields_.size()); ++row) {
        const TDecodedField& field = shownFields_[std::size_t(row)];
        if (offset >= field.offset && offset < field.offset + field.length) {
            Grid_FrameFields->selectRow(row);
            Grid_FrameFields->scrollToItem(Grid_FrameFields->item(row, ColFieldName));
            return;
        }
    }
}

void TForm_Frames::ExportTo(const QString& path) const
{
    // Written beside the file and renamed over it at the end: a failure leaves the old file.
    const std::string name = QFile::encodeName(path).toStdString();
    TGrowingWholeFile file;
    const auto fail = [&] {
        const int error = errno;
        file.Abandon();
        throw EInOutError(WholeFileFailure(name, error), error);
    };
    if (!file.Begin(name, std::nullopt))
        fail();
    const bool csv = path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
    QByteArray out = csv ? CsvHeader() : QByteArray();
    for (int row = 0; row < filter_->rowCount(); ++row) {
        const TStoredFrame* frame = model_->Frame(filter_->mapToSource(filter_->index(row, 0)).row());
        if (!frame)
            continue; // let go since the table last caught up
        const TFrameRecord record = RecordOf(*frame);
        out += csv ? CsvRecord(record) : JsonLine(record);
        if (out.size() > (1 << 20)) {
            if (!file.Append(out.toStdString()))
                fail();
            out.clear();
        }
    }
    if (!file.Append(out.toStdString()) || !file.Finish())
        fail();
}

void TForm_Frames::Btn_FrameExportClick()
{
    QString selected;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export frames"), QStringLiteral("frames.csv"),
                                                      QStringLiteral("CSV (*.csv);;JSON Lines (*.jsonl)"), &selected);
    if (path.isEmpty())
        return;
    try {
        ExportTo(path);
    } catch (const std::exception& error) {
        dialogs_.Notice(QStringLiteral("%1: %2").arg(path, QString::fromUtf8(error.what())));
    }
}

} // namespace r7730
