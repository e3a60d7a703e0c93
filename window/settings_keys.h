#pragma once
// The keys of cfg/SETUP.INI that hold edit-box texts, in file order, with their defaults and
// the edit box each one fills. The EnvBoard keys (the serial port) are handled on their own.
namespace r7730 {

inline constexpr const char* kSettingsFile = "./cfg/SETUP.INI";

struct TEditBoxSetting {
    const char* section;
    const char* key;
    const char* defaultValue;
    const char* editBox; // object name
};

inline constexpr TEditBoxSetting kEditBoxSettings[] = {
    {"HTTPServer", "Port", "8070", "Edit_HttpSvr_Port"},
    {"HTTPServer", "HomeDir", "./KavlorFW", "Edit_HomeDir"},
    {"Download_WEB", "IP1", "127", "Edit_DL_IP1"},
    {"Download_WEB", "IP2", "0", "Edit_DL_IP2"},
    {"Download_WEB", "IP3", "0", "Edit_DL_IP3"},
    {"Download_WEB", "IP4", "1", "Edit_DL_IP4"},
    {"Download_WEB", "Port", "8070", "Edit_DL_Port"},
    {"Download_WEB", "File", "/R7730LX_v1.0.bin", "Edit_DL_File"},
    {"Download_TCP", "IP1", "192", "Edit_DL_Tcp_IP1"},
    {"Download_TCP", "IP2", "168", "Edit_DL_Tcp_IP2"},
    {"Download_TCP", "IP3", "88", "Edit_DL_Tcp_IP3"},
    {"Download_TCP", "IP4", "101", "Edit_DL_Tcp_IP4"},
    {"Download_TCP", "Port", "8071", "Edit_DL_Tcp_Port"},
};

} // namespace r7730
