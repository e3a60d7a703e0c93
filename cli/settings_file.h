#pragma once
// The settings file r7730ctl takes its port and line from: ./cfg/SETUP.INI of the working folder,
// as the window takes it; without one, the SETUP.INI of the per-user working folder that the
// package's launcher (r7730-setup-start) starts the window in, so r7730ctl run anywhere finds
// the port the window last used. That folder is $XDG_DATA_HOME/r7730-setup when XDG_DATA_HOME
// is an absolute path, else $HOME/.local/share/r7730-setup, exactly as the launcher makes it.
#include <QString>

namespace r7730::cli {

struct TSettingsFile {
    QString path;          // the file to read: ./cfg/SETUP.INI when neither is there
    bool found = false;    // the file is there
    QString folder;        // the working folder it belongs to, for its relative port paths: "."
                           // or the launcher's
    bool launchers = false; // the launcher's working folder's file
};

// The launcher's per-user working folder; empty when neither XDG_DATA_HOME nor HOME says where.
QString LauncherWorkingFolder();

TSettingsFile FindSettingsFile();

// Which file was read, for -v.
QString SettingsFileNote(const TSettingsFile& settings);
// Where a port is set for r7730ctl: the file read, or when there is none, the places it looks.
QString SettingsFilePlaces(const TSettingsFile& settings);

} // namespace r7730::cli
