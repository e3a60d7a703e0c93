// The settings file cfg/SETUP.INI: read once at the first activation, written at close.
// The port keys default to the program's default line (device/port_defaults.h), and the four
// line settings are always written back as it. All keys are written in one replacement of the
// file; values the user did not change go back byte for byte.
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

std::string Key(const char* section, const char* key)
{
    return std::string(section) + "/" + key;
}

} // namespace

QString TForm_main::ReadSetting(const char* section, const char* key, const char* defaultValue)
{
    const std::string bytes = ReadProfileString(kSettingsFile, section, key, defaultValue);
    const QString text = QString::fromStdString(AnsiToUtf8(bytes));
    loadedSettings_[Key(section, key)] = {bytes, text};
    return text;
}

TProfileEntry TForm_main::SettingToWrite(const char* section, const char* key, const QString& text) const
{
    // A text the user left as it was goes back as the bytes it was read from, so bytes that
    // are not CP949 (shown as replacement characters) survive a run.
    const auto loaded = loadedSettings_.find(Key(section, key));
    if (loaded != loadedSettings_.end() && loaded->second.text == text)
        return {section, key, loaded->second.bytes};
    return {section, key, WideToAnsi(text.toStdU16String())};
}

void TForm_main::LoadSettings()
{
    LoadPortSettings();
    // Back pages still to be built read theirs when they are.
    if (BackPagesBuilt())
        LoadEditBoxSettings();
}

void TForm_main::LoadPortSettings()
{
    const TPortSettingTexts& defaults = kDefaultPortTexts;
    TComPort& port = link_.Port();
    port.SetPort(ReadSetting("EnvBoard", "ComPort", defaults.port).toStdString());
    port.SetBaudRate(BaudRateFromText(ReadSetting("EnvBoard", "BaudRate", defaults.baudRate).toStdString()));
    port.SetDataBits(DataBitsFromText(ReadSetting("EnvBoard", "DataBits", defaults.dataBits).toStdString()));
    port.SetStopBits(StopBitsFromText(ReadSetting("EnvBoard", "StopBits", defaults.stopBits).toStdString()));
    port.Parity().SetBits(ParityFromText(ReadSetting("EnvBoard", "Parity", defaults.parity).toStdString()));
}

void TForm_main::LoadEditBoxSettings()
{
    for (const TEditBoxSetting& setting : kEditBoxSettings) {
        // The box keeps the whole text, even one longer than can be typed into it, up to the
        // most a line edit holds. A value left alone is what the box shows now, so even one
        // beyond that goes back whole.
        QLineEdit* box = findChild<QLineEdit*>(QString::fromLatin1(setting.editBox));
        box->setText(ReadSetting(setting.section, setting.key, setting.defaultValue));
        loadedSettings_[Key(setting.section, setting.key)].text = box->text();
    }
}

void TForm_main::SaveSettings()
{
    // The line itself always goes back to the default, whatever it was set to meanwhile.
    const TPortSettingTexts& defaults = kDefaultPortTexts;
    std::vector<TProfileEntry> entries = {
        SettingToWrite("EnvBoard", "ComPort", link_.PortName()),
        {"EnvBoard", "BaudRate", defaults.baudRate},
        {"EnvBoard", "DataBits", defaults.dataBits},
        {"EnvBoard", "StopBits", defaults.stopBits},
        {"EnvBoard", "Parity", defaults.parity},
    };
    for (const TEditBoxSetting& setting : kEditBoxSettings)
        entries.push_back(SettingToWrite(setting.section, setting.key,
                                         findChild<QLineEdit*>(QString::fromLatin1(setting.editBox))->text()));
    if (!WriteProfileStrings(kSettingsFile, entries))
        throw std::runtime_error(std::string("Unable to write to ") + kSettingsFile);
}

} // namespace r7730
