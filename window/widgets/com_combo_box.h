#pragma once
// TComComboBox: a drop-down list (no typing) of the possible values of one port setting, which
// writes the chosen value back into the port; TComSelect: its selection state, free of widgets.
//
// Principles of operation. ComProperty fills the list: the ports present for cpPort (each item's
// text is the port name that Port takes; its description, what the port is, shows beside it in
// the open list and as its tool tip), the text of every member of the setting's enumeration for
// the others (serial/com_text.h). Bound to a port, the box shows the port's current value
// (ShowPortSettings), which becomes the pending value; a pick by the user converts the picked
// text into the pending value; ApplyChoice writes it into the port, at once when AutoApply is
// on. A port name that the list does not hold (the default "COM1", a link to a pseudo-terminal)
// is offered in the list as it stands and selected, so a box left alone writes the same name
// back. RefreshPorts lists the ports again and keeps the pending choice. A port that is
// destroyed unbinds itself.
#include <QComboBox>
#include <QMetaObject>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "serial/com_port_description.h"
#include "serial/com_types.h"

namespace r7730 {

class TCustomComPort;

enum TComProperty { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

class TComSelect {
public:
    TCustomComPort* Port() const { return port_; }
    void SetPort(TCustomComPort* port) { port_ = port; }
    TComProperty Kind() const { return kind_; }
    void SetKind(TComProperty kind) { kind_ = kind; }
    bool AutoApply() const { return autoApply_; }
    void SetAutoApply(bool value) { autoApply_ = value; }

    // The texts the list offers for a setting's kind, in order ("" for cpPort and cpNone: the
    // port names come from the ports present).
    std::vector<std::string> ItemTexts() const;
    // The bound port's current value of the kind as text ("" without a port or a kind).
    std::string PortValueText() const;
    // Makes the text, converted for the kind, the pending value.
    void Choose(const std::string& text);
    // Writes the pending value of the kind into the bound port; nothing without one.
    void Apply() const;

    // The pending values, one per kind.
    const std::string& PendingPort() const { return pendingPort_; }
    TBaudRate PendingBaudRate() const { return pendingBaudRate_; }
    TDataBits PendingDataBits() const { return pendingDataBits_; }
    TStopBits PendingStopBits() const { return pendingStopBits_; }
    TParityBits PendingParity() const { return pendingParity_; }
    TFlowControl PendingFlowControl() const { return pendingFlowControl_; }

private:
    TCustomComPort* port_ = nullptr;
    TComProperty kind_ = cpNone;
    bool autoApply_ = false;
    // Until a value is shown or picked: an empty name and each enumeration's first member.
    std::string pendingPort_;
    TBaudRate pendingBaudRate_ = brCustom;
    TDataBits pendingDataBits_ = dbFive;
    TStopBits pendingStopBits_ = sbOneStopBit;
    TParityBits pendingParity_ = prNone;
    TFlowControl pendingFlowControl_ = fcHardware;
};

class TComComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit TComComboBox(QWidget* parent = nullptr);
    ~TComComboBox() override;

    TCustomComPort* ComPort() const { return select_.Port(); }
    void SetComPort(TCustomComPort* port);
    TComProperty ComProperty() const { return select_.Kind(); }
    // Fills the list; listing the ports may raise EComPort row 23 ("Registry error").
    void SetComProperty(TComProperty kind);
    // Lists the ports again (a port plugged or pulled), keeping the pending choice selected;
    // may raise like SetComProperty, and then the list stays as it was.
    void RefreshPorts();
    bool AutoApply() const { return select_.AutoApply(); }
    void SetAutoApply(bool value) { select_.SetAutoApply(value); }
    // Where the ports come from (DescribeComPorts when empty); set before ComProperty.
    void SetPortDescriber(TPortDescriber describer) { describer_ = std::move(describer); }

    // The selected item's text, "" when nothing is selected. Setting it selects the item with
    // that text, if there is one; otherwise nothing changes.
    QString Text() const;
    void SetText(const QString& text);

    // Selects the item that matches the bound port's current value (case ignored).
    void ShowPortSettings();
    // Writes the pending value into the bound port.
    void ApplyChoice();

    const TComSelect& Selection() const { return select_; }

    // An exception of an automatic apply (the user's pick runs straight from the event loop)
    // goes here; unbound, it is written with qWarning.
    std::function<void(std::exception_ptr error)> OnApplyError;

private:
    void ItemPicked(int index);
    void PortDestroyed();
    std::vector<TComPortDescription> DescribedPorts() const;
    void FillPortItems(const std::vector<TComPortDescription>& ports);
    void SelectPortName(const QString& name);

    TComSelect select_;
    TPortDescriber describer_;
    QMetaObject::Connection portDestroyed_;
    QString offeredName_; // the port's own name, added to the list because the list lacked it
};

} // namespace r7730
