#pragma once
// TComSetupFrm: the modal port setup dialog, six TComComboBox rows (port, baud rate, data
// bits, stop bits, parity, flow control) and OK / Cancel; RunSetupDialog runs it for a port.
//
// The serial component has no widgets, so running the dialog for a port lives here: the boxes
// show the port's current values, and OK writes all six choices into the port between
// BeginSettingsUpdate and EndSettingsUpdate (an open port takes them in one go). Cancel,
// Escape or closing the dialog by its frame changes nothing.
#include <QDialog>
#include <array>

#include "window/com_combo_box.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace r7730 {

class TCustomComPort;

class TComSetupFrm : public QDialog {
    Q_OBJECT

public:
    // Fills the six lists; listing the port names may raise EComPort row 23.
    explicit TComSetupFrm(const TPortLister& portLister = {}, QWidget* parent = nullptr);

    // The six boxes in row order: Port, Baud rate, Data bits, Stop bits, Parity, Flow control.
    std::array<TComComboBox*, 6> Boxes() const;

    QGroupBox* GroupSettings = nullptr;
    TComComboBox* ComboPort = nullptr;
    TComComboBox* ComboBaudRate = nullptr;
    TComComboBox* ComboDataBits = nullptr;
    TComComboBox* ComboStopBits = nullptr;
    TComComboBox* ComboParity = nullptr;
    TComComboBox* ComboFlowControl = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;
};

// Runs the setup dialog for port, modally. True when it closed with OK and the six choices
// were written into the port. Port names come from portLister (the system's ports when empty);
// a failure to list them raises EComPort row 23 before anything is shown.
bool RunSetupDialog(TCustomComPort& port, const TPortLister& portLister = {});

} // namespace r7730
