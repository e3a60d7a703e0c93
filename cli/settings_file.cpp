// Where r7730ctl finds the settings file (see settings_file.h).
#include "cli/settings_file.h"

#include <QFileInfo>

#include "device/port_defaults.h"

namespace r7730::cli {
namespace {

QString LauncherSettingsFile()
{
    const QString folder = LauncherWorkingFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/cfg/SETUP.INI");
}

} // namespace

QString LauncherWorkingFolder()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!dataHome.startsWith(QLatin1Char('/'))) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            return {};
        dataHome = home + QStringLiteral("/.local/share");
    }
    return dataHome + QStringLiteral("/r7730-setup");
}

TSettingsFile FindSettingsFile()
{
    const QString here = QString::fromLatin1(kProgramSettingsFile);
    if (QFileInfo::exists(here))
        return {here, true, QStringLiteral("."), false};
    const QString launchers = LauncherSettingsFile();
    if (!launchers.isEmpty() && QFileInfo::exists(launchers))
        return {launchers, true, LauncherWorkingFolder(), true};
    return {here, false, QStringLiteral("."), false};
}

QString SettingsFileNote(const TSettingsFile& settings)
{
    const QString here = QString::fromLatin1(kProgramSettingsFile);
    if (settings.launchers)
        return QStringLiteral("%1 (there is no %2 here: the launcher's working folder's)").arg(settings.path, here);
    if (settings.found)
        return settings.path;
    const QString launchers = LauncherSettingsFile();
    return launchers.isEmpty() ? QStringLiteral("none (no %1 here)").arg(here)
                               : QStringLiteral("none (neither %1 here nor %2)").arg(here, launchers);
}

QString SettingsFilePlaces(const TSettingsFile& settings)
{
    const QString launchers = LauncherSettingsFile();
    if (settings.found || launchers.isEmpty())
        return settings.path;
    return QStringLiteral("%1 or, without one, of %2").arg(settings.path, launchers);
}

} // namespace r7730::cli
