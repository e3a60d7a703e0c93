#pragma once
// TComSetupFrm: the modal port setup dialog, six TComComboBox rows (port, baud rate, data
// bits, stop bits, parity, flow control) and OK / Cancel; RunSetupDialog runs it for a port.
//
// The serial component has no widgets, so running the dialog for a port lives here: the boxes
// show the port's current values, and OK writes all six choices into the port between
// BeginSettingsUpdate and EndSettingsUpdate (an open port takes them in one go). Cancel,
// Escape or closing the dialog by its frame changes nothing.
//
// While it is open, the port list follows adapters plugged and pulled and simulators started and
// ended: the device folders are watched (inotify underneath, no polling) and the list is made
// again shortly after a change, with the user's pending choice kept. The open list keeps to the
// screen and scrolls, however many ports there are.
#include <QDialog>
#include <array>
#include <memory>
#include <string>

#include "serial/com_ports_list.h"
#include "window/widgets/com_combo_box.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace r7730 {

class TCustomComPort;
class TPortListWatch;

// Where the dialog's ports come from, and where they come and go.
struct TPortSource {
    TPortDescriber describe;               // DescribeComPorts when empty
    std::string devFolder = "/dev";        // watched with its serial/ and serial/by-id/ folders
    std::string simulatedFolder = kSimulatedDevicesFolder; // the working folder's simulators, watched too
};

class TComSetupFrm : public QDialog {
    Q_OBJECT

public:
    // Fills the six lists; listing the ports may raise EComPort row 23.
    explicit TComSetupFrm(const TPortSource& ports = {}, QWidget* parent = nullptr);
    ~TComSetupFrm() override;

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

private:
    void RefreshPorts();

    QTimer* refreshDelay_ = nullptr;
    std::unique_ptr<TPortListWatch> portListWatch_;
};

// Runs the setup dialog for port, modally. True when it closed with OK and the six choices
// were written into the port. A failure to list the ports raises EComPort row 23 before anything
// is shown.
bool RunSetupDialog(TCustomComPort& port, const TPortSource& ports = {});

} // namespace r7730
