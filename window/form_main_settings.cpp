// The settings file cfg/SETUP.INI: read once at the first activation, written at close.
// The port keys default to the program's default line (device/port_defaults.h), and the four
// line settings are always written back as it.
#include <QLineEdit>
#include <stdexcept>

#include "device/port_defaults.h"
#include "window/form_main.h"
#include "shell/profile_file.h"
#include "window/settings_keys.h"
#include "protocol/code_page.h"
#include "serial/com_text.h"

namespace r7730 {
namespace {

std::string Read(const char* section, const char* key, const char* defaultValue)
{
    return AnsiToUtf8(ReadProfileString(kSettingsFile, section, key, defaultValue));
}

void Write(const char* section, const char* key, const QString& value)
{
    if (!WriteProfileString(kSettingsFile, section, key, WideToAnsi(value.toStdU16String())))
        throw std::runtime_error(std::string("Unable to write to ") + kSettingsFile);
}

} // namespace

void TForm_main::LoadSettings()
{
    const TPortSettingTexts& defaults = kDefaultPortTexts;
    TComPort& port = link_.Port();
    port.SetPort(Read("EnvBoard", "ComPort", defaults.port));
    port.SetBaudRate(BaudRateFromText(Read("EnvBoard", "BaudRate", defaults.baudRate)));
    port.SetDataBits(DataBitsFromText(Read("EnvBoard", "DataBits", defaults.dataBits)));
    port.SetStopBits(StopBitsFromText(Read("EnvBoard", "StopBits", defaults.stopBits)));
    port.Parity().SetBits(ParityFromText(Read("EnvBoard", "Parity", defaults.parity)));
    for (const TEditBoxSetting& setting : kEditBoxSettings) {
        const QString text = QString::fromStdString(Read(setting.section, setting.key, setting.defaultValue));
        // The box keeps the whole text, even one longer than can be typed into it.
        findChild<QLineEdit*>(QString::fromLatin1(setting.editBox))->setText(text);
    }
}

void TForm_main::SaveSettings()
{
    // The line itself always goes back to the default, whatever it was set to meanwhile.
    const TPortSettingTexts& defaults = kDefaultPortTexts;
    Write("EnvBoard", "ComPort", link_.PortName());
    Write("EnvBoard", "BaudRate", QString::fromLatin1(defaults.baudRate));
    Write("EnvBoard", "DataBits", QString::fromLatin1(defaults.dataBits));
    Write("EnvBoard", "StopBits", QString::fromLatin1(defaults.stopBits));
    Write("EnvBoard", "Parity", QString::fromLatin1(defaults.parity));
    for (const TEditBoxSetting& setting : kEditBoxSettings) {
        Write(setting.section, setting.key, findChild<QLineEdit*>(QString::fromLatin1(setting.editBox))->text());
    }
}

} // namespace r7730
