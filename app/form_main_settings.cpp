// The settings file cfg/SETUP.INI: read once at the first activation, written at close.
// Every start begins with 115200 baud, 8 data bits, 1 stop bit and no parity: those four keys
// are always written as these texts, whatever the port was set to while the program ran.
#include <QLineEdit>
#include <stdexcept>

#include "app/form_main.h"
#include "app/profile_file.h"
#include "app/settings_keys.h"
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
    ComPortEnvBoard->SetPort(Read("EnvBoard", "ComPort", "COM1"));
    ComPortEnvBoard->SetBaudRate(BaudRateFromText(Read("EnvBoard", "BaudRate", "115200")));
    ComPortEnvBoard->SetDataBits(DataBitsFromText(Read("EnvBoard", "DataBits", "8")));
    ComPortEnvBoard->SetStopBits(StopBitsFromText(Read("EnvBoard", "StopBits", "1")));
    ComPortEnvBoard->Parity().SetBits(ParityFromText(Read("EnvBoard", "Parity", "None")));
    for (const TEditBoxSetting& setting : kEditBoxSettings) {
        const QString text = QString::fromStdString(Read(setting.section, setting.key, setting.defaultValue));
        QLineEdit* box = findChild<QLineEdit*>(QString::fromLatin1(setting.editBox));
        box->setText(text);
        loadedSettingTexts_[box->objectName()] = text;
    }
}

void TForm_main::SaveSettings()
{
    Write("EnvBoard", "ComPort", QString::fromStdString(ComPortEnvBoard->Port()));
    Write("EnvBoard", "BaudRate", QStringLiteral("115200"));
    Write("EnvBoard", "DataBits", QStringLiteral("8"));
    Write("EnvBoard", "StopBits", QStringLiteral("1"));
    Write("EnvBoard", "Parity", QStringLiteral("None"));
    for (const TEditBoxSetting& setting : kEditBoxSettings) {
        const QLineEdit* box = findChild<QLineEdit*>(QString::fromLatin1(setting.editBox));
        const auto loaded = loadedSettingTexts_.find(box->objectName());
        const bool asLoaded = loaded != loadedSettingTexts_.end() && !box->isModified() &&
                              box->text() == loaded->second.left(box->maxLength());
        Write(setting.section, setting.key, asLoaded ? loaded->second : box->text());
    }
}

} // namespace r7730
