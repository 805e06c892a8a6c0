#pragma once

#include "console/appsettings.h"

#include <QStringList>

class AppFolder;
class ProfileIni;
class UserStore;

// The loaders that fill AppSettings at start-up, in the order the main
// window calls them.
namespace SettingsLoader {

struct Outcome
{
    // True on the first run: the store was initialised, and the display
    // settings are not applied until the next start.
    bool firstRun = false;
    // Stored keys whose value could not be read; their read defaults apply and
    // the stored values are left as they are.
    QStringList unreadableKeys;
    // Problems worth a line in the system log (a config.ini that could not be written).
    QStringList warnings;
};

Outcome LoadSettings(UserStore &store, const ProfileIni &configIni, const AppFolder &folder,
                     AppSettings &settings);
// Writes the fifteen keys of section "setting" in their fixed order, in
// one write of the store's file (each write waits for the disk).
void SaveSettings(UserStore &store, const AppSettings &settings);
// Key "VCD" of section "DisplayMode": "1" or "0", written only when the
// file holds another value. Returns the empty text on success, else the
// system's description of the failure.
// The running options of section "operation" (as-run days kept,
// supervision, start at log-in). Unreadable values fall back to the defaults.
void LoadOperationOptions(const UserStore &store, AppSettings &settings);
void SaveOperationOptions(UserStore &store, const AppSettings &settings);
QString SaveShowVideo(const ProfileIni &configIni, bool showVideo);
void LoadDisplayOptions(const ProfileIni &configIni, AppSettings &settings);
void LoadSourceFrequencies(const AppFolder &folder, AppSettings &settings);
void LoadDeviceLeadTimes(const ProfileIni &configIni, AppSettings &settings);
void LoadNodeAddresses(const AppFolder &folder, AppSettings &settings);
void LoadGroupNames(const ProfileIni &configIni, AppSettings &settings);

// The classic text-to-boolean conversion: "True"/"False" in any letter case,
// or a number (0 is false). Anything else is not a boolean.
bool parseBoolean(const QString &text, bool *ok);
QString booleanText(bool value); // "True" or "False"

} // namespace SettingsLoader
