// Polling the signal strength on a timer: the timer, its switch and interval box, and their
// wiring. A tick sends the signal request without the question box of the button: a box coming
// back every few seconds would pile up.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include "window/form_main.h"
#include "window/message_id_hint.h"
#include "ui_form_main.h"
#include "ui_form_main_access_point.h"

namespace r7730 {
namespace {

constexpr int kSignalPollingMs = 3000;

} // namespace

// Made with the window, before the access point page is built: disconnecting stops it.
void TForm_main::CreateSignalPollingTimer()
{
    Timer_AutoQryRSSI = new QTimer(this);
    Timer_AutoQryRSSI->setObjectName(QStringLiteral("Timer_AutoQryRSSI"));
    Timer_AutoQryRSSI->setInterval(kSignalPollingMs);
    connect(Timer_AutoQryRSSI, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer_AutoQryRSSITimer(); }); });
}

void TForm_main::WireSignalPolling()
{
    const Ui::TPage_AccessPoint& page = *accessPointPage_;
    Wire(page.CB_RSSI_AutoChk, &TForm_main::CB_RSSI_AutoChkClick);
    connect(page.CB_Chk_RSSI_Interval, &QComboBox::currentIndexChanged, this,
            [this] { RunGuarded([this] { CB_Chk_RSSI_IntervalChange(); }); });
}

void TForm_main::CB_RSSI_AutoChkClick()
{
    if (accessPointPage_->CB_RSSI_AutoChk->isChecked())
        Timer_AutoQryRSSI->start();
    else
        Timer_AutoQryRSSI->stop();
}

void TForm_main::CB_Chk_RSSI_IntervalChange()
{
    Timer_AutoQryRSSI->setInterval(accessPointPage_->CB_Chk_RSSI_Interval->currentText().toInt() * 1000);
}

void TForm_main::Timer_AutoQryRSSITimer()
{
    link_.ReadRequest(HintedMessageId(*accessPointPage_->Btn_Get_CurrentAP_RSSI));
}

} // namespace r7730
