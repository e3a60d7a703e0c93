#pragma once
// Which controls Connect and Disconnect switch. At start the window has its designed states;
// after Connect the device panels and command buttons are usable and the port settings, the
// Connect and exit buttons are not; Disconnect turns that round again.
namespace r7730 {

struct TConnectionControl {
    const char* objectName;
    bool enabledWhenConnected;
    bool enabledWhenDisconnected;
};

inline constexpr TConnectionControl kConnectionControls[] = {
    {"ButtonStart", false, true},
    {"ButtonStop", true, false},
    {"BtnExit", false, true},
    {"Btn_ComSetup", false, true},
    {"Panel_Info_Default", true, false},
    {"Panel_Info_Wan", true, false},
    {"Panel_Info_Server", true, false},
    {"Panel_Info_Serial", true, false},
    {"Panel_Info_CurrentAP", true, false},
    {"Panel_Info_AvailAP", true, false},
    {"Btn_CurrentStatus", true, false},
    {"Btn_FactoryReset", true, false},
    {"Btn_SystemReboot", true, false},
    {"Btn_Search_AP", true, false},
    {"Btn_Get_CurrentAP", true, false},
    {"Btn_Get_CurrentAP_RSSI", true, false},
    {"Btn_Save_Config_Wan", true, false},
    {"Btn_ping", true, false},
    {"Btn_Save_Config_Server", true, false},
    {"Btn_Save_Config_Serial", true, false},
    {"CB_RSSI_AutoChk", true, false},
    {"Panel_Info_Flash", true, false},
    {"Panel_Info_FW_Http", true, false},
    {"Btn_FlashSaveInt", true, false},
    {"Btn_FlashErase", true, false},
};

} // namespace r7730
