#include "window/widgets/com_combo_box.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFrame>
#include <QLayout>
#include <QPainter>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <QtGlobal>

#include "serial/com_port.h"
#include "serial/com_text.h"

namespace r7730 {
namespace {

// A port item's description, drawn after its name in the open list, in the muted text colour.
constexpr int kSummaryRole = Qt::UserRole + 1;
const QString kSummaryGap = QStringLiteral("    ");

class TPortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QString summary = index.data(kSummaryRole).toString();
        if (summary.isEmpty())
            return;
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
        const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget);
        const int left = text.left() + item.fontMetrics.horizontalAdvance(item.text + kSummaryGap);
        painter->save();
        painter->setPen(item.palette.color(QPalette::Normal, (item.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                                  : QPalette::PlaceholderText));
        painter->drawText(QRect(left, text.top(), std::max(0, text.right() - left), text.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, summary);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString summary = index.data(kSummaryRole).toString();
        if (!summary.isEmpty())
            size.rwidth() += option.fontMetrics.horizontalAdvance(kSummaryGap + summary);
        return size;
    }
};

template <typename E>
void AddMemberTexts(std::vector<std::string>& texts, int count, std::string (*text)(E))
{
    for (int member = 0; member < count; ++member)
        texts.push_back(text(static_cast<E>(member)));
}

} // namespace

// --- TComSelect ----------------------------------------------------------------------------

std::vector<std::string> TComSelect::ItemTexts() const
{
    std::vector<std::string> texts;
    switch (kind_) {
    case cpNone:
    case cpPort:
        break;
    case cpBaudRate:
        AddMemberTexts<TBaudRate>(texts, kBaudRateCount, BaudRateText);
        break;
    case cpDataBits:
        AddMemberTexts<TDataBits>(texts, dbEight + 1, DataBitsText);
        break;
    case cpStopBits:
        AddMemberTexts<TStopBits>(texts, sbTwoStopBits + 1, StopBitsText);
        break;
    case cpParity:
        AddMemberTexts<TParityBits>(texts, prSpace + 1, ParityText);
        break;
    case cpFlowControl:
        AddMemberTexts<TFlowControl>(texts, fcCustom + 1, FlowControlText);
        break;
    }
    return texts;
}

std::string TComSelect::PortValueText() const
{
    if (!port_)
        return {};
    switch (kind_) {
    case cpNone:
        return {};
    case cpPort:
        return port_->Port();
    case cpBaudRate:
        return BaudRateText(port_->BaudRate());
    case cpDataBits:
        return DataBitsText(port_->DataBits());
    case cpStopBits:
        return StopBitsText(port_->StopBits());
    case cpParity:
        return ParityText(port_->Parity().Bits());
    case cpFlowControl:
        return FlowControlText(port_->FlowControl().FlowControl());
    }
    return {};
}

void TComSelect::Choose(const std::string& text)
{
    switch (kind_) {
    case cpNone:
        break;
    case cpPort:
        pendingPort_ = text;
        break;
    case cpBaudRate:
        pendingBaudRate_ = BaudRateFromText(text);
        break;
    case cpDataBits:
        pendingDataBits_ = DataBitsFromText(text);
        break;
    case cpStopBits:
        pendingStopBits_ = StopBitsFromText(text);
        break;
    case cpParity:
        pendingParity_ = ParityFromText(text);
        break;
    case cpFlowControl:
        pendingFlowControl_ = FlowControlFromText(text);
        break;
    }
}

void TComSelect::Apply() const
{
    if (!port_)
        return;
    switch (kind_) {
    case cpNone:
        break;
    case cpPort:
        port_->SetPort(pendingPort_);
        break;
    case cpBaudRate:
        port_->SetBaudRate(pendingBaudRate_);
        break;
    case cpDataBits:
        port_->SetDataBits(pendingDataBits_);
        break;
    case cpStopBits:
        port_->SetStopBits(pendingStopBits_);
        break;
    case cpParity:
        port_->Parity().SetBits(pendingParity_);
        break;
    case cpFlowControl:
        port_->FlowControl().SetFlowControl(pendingFlowControl_);
        break;
    }
}

// --- TComComboBox --------------------------------------------------------------------------

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    connect(this, &QComboBox::activated, this, [this](int index) { ItemPicked(index); });
}

TComComboBox::~TComComboBox()
{
    QObject::disconnect(portDestroyed_);
}

void TComComboBox::SetComProperty(TComProperty kind)
{
    select_.SetKind(kind);
    offeredName_.clear();
    clear();
    if (kind == cpPort) {
        setItemDelegate(new TPortItemDelegate(this));
        FillPortItems(DescribedPorts());
    }
    for (const std::string& text : select_.ItemTexts())
        addItem(QString::fromStdString(text));
    if (select_.Port())
        ShowPortSettings();
    else if (count() > 0)
        setCurrentIndex(0);
}

void TComComboBox::RefreshPorts()
{
    if (select_.Kind() != cpPort)
        return;
    const QString shown = Text();
    // Listed first, so a listing that fails leaves the list as it was.
    const std::vector<TComPortDescription> ports = DescribedPorts();
    const QSignalBlocker quiet(this); // the choice stays; only the list under it changes
    clear();
    offeredName_.clear();
    FillPortItems(ports);
    if (!shown.isEmpty())
        SelectPortName(shown);
    else if (count() > 0)
        setCurrentIndex(0);
}

std::vector<TComPortDescription> TComComboBox::DescribedPorts() const
{
    return describer_ ? describer_() : DescribeComPorts();
}

void TComComboBox::FillPortItems(const std::vector<TComPortDescription>& ports)
{
    int widest = 0;
    for (const TComPortDescription& port : ports) {
        const QString name = QString::fromStdString(port.path);
        const QString summary = QString::fromStdString(PortSummary(port));
        addItem(name);
        const int index = count() - 1;
        setItemData(index, summary, kSummaryRole);
        setItemData(index, port.stableLink.empty() ? summary : summary + '\n' + QString::fromStdString(port.stableLink),
                    Qt::ToolTipRole);
        widest = std::max(widest, fontMetrics().horizontalAdvance(name + kSummaryGap + summary));
    }
    // The open list is as wide as its widest line, wider than the box itself when need be, but
    // never wider than the screen (a longer line is cut at its right end; its tool tip has it
    // whole). However many ports there are, the list keeps to the screen's height and scrolls.
    int room = screen() ? screen()->availableGeometry().width() : QWIDGETSIZE_MAX;
    if (const auto* container = qobject_cast<const QFrame*>(view()->parentWidget())) {
        room -= 2 * container->frameWidth();
        if (const QLayout* layout = container->layout())
            room -= layout->contentsMargins().left() + layout->contentsMargins().right();
    }
    view()->setMinimumWidth(std::min(widest + 2 * style()->pixelMetric(QStyle::PM_ScrollBarExtent), room));
}

void TComComboBox::SelectPortName(const QString& name)
{
    int index = findText(name, Qt::MatchFixedString); // exact text, case ignored
    if (index < 0) {
        // A name missing from the list is offered as it stands: OK then keeps it.
        const int previous = offeredName_.isEmpty() ? -1 : findText(offeredName_, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (previous >= 0)
            removeItem(previous);
        insertItem(0, name);
        offeredName_ = name;
        index = 0;
    }
    setCurrentIndex(index);
}

void TComComboBox::SetComPort(TCustomComPort* port)
{
    if (port == select_.Port())
        return;
    QObject::disconnect(portDestroyed_);
    select_.SetPort(port);
    if (!port)
        return;
    portDestroyed_ = connect(port, &QObject::destroyed, this, [this] { PortDestroyed(); });
    ShowPortSettings();
}

void TComComboBox::PortDestroyed()
{
    select_.SetPort(nullptr);
    if (count() > 0)
        setCurrentIndex(0);
}

QString TComComboBox::Text() const
{
    return currentIndex() < 0 ? QString() : itemText(currentIndex());
}

void TComComboBox::SetText(const QString& text)
{
    const int index = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        setCurrentIndex(index);
}

void TComComboBox::ShowPortSettings()
{
    if (!select_.Port() || select_.Kind() == cpNone)
        return;
    const QString current = QString::fromStdString(select_.PortValueText());
    if (select_.Kind() == cpPort && !current.isEmpty())
        SelectPortName(current); // the port's own name, offered when the list lacks it
    else
        setCurrentIndex(findText(current, Qt::MatchFixedString)); // exact text, case ignored
    if (currentIndex() >= 0)
        select_.Choose(itemText(currentIndex()).toStdString());
}

void TComComboBox::ApplyChoice()
{
    select_.Apply();
}

void TComComboBox::ItemPicked(int index)
{
    if (index < 0)
        return;
    select_.Choose(itemText(index).toStdString());
    if (!select_.AutoApply())
        return;
    try {
        ApplyChoice();
    } catch (...) {
        if (OnApplyError)
            OnApplyError(std::current_exception());
        else
            qWarning("%s: the setting could not be applied", qPrintable(objectName()));
    }
}

} // namespace r7730
