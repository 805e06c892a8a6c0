#pragma once

#include "console/appsettings.h"
#include "platform/appfolder.h"
#include "platform/profileini.h"

#include <QObject>
#include <QStringList>

class UserStore;

// The one owner of the settings of the running console: it loads them at
// start-up, saves what the settings dialog applies, and announces every change,
// so that windows follow without asking each other.
class ConsoleSettings final : public QObject
{
    Q_OBJECT
public:
    ConsoleSettings(UserStore &store, const AppFolder &folder, QObject *parent = nullptr);

    const AppSettings &values() const { return m_values; }
    // Whether the start-up read the settings yet, and whether that was the first run.
    bool isLoaded() const { return m_loaded; }
    bool firstRun() const { return m_firstRun; }
    const ProfileIni &configIni() const { return m_configIni; }

    // The start-up's settings and display options; returns true on the first
    // run, when the display settings are not applied until the next start.
    bool loadStoredSettings();
    // The start-up tables: frequencies, lead times, node addresses, group names.
    void loadTables();

    // The settings dialog's Apply: stores the fifteen keys in their order and
    // "VCD" in config.ini, takes the values into memory and announces them.
    // Returns what could not be written (empty when everything was saved);
    // the values in memory are the new ones either way.
    QStringList apply(const AppSettings &values);
    // Takes new values into memory only (windows that save their own files).
    void update(const AppSettings &values);
    // The daily terminal-volume adjustment is done: not again until the next start.
    void markVolumeAdjusted();

Q_SIGNALS:
    // The stored settings were read at start-up (not on the first run).
    void loaded(bool firstRun);
    // The settings dialog applied new values.
    void applied();
    // Any change of the values in memory.
    void changed();

private:
    UserStore &m_store;
    AppFolder m_folder;
    ProfileIni m_configIni;
    AppSettings m_values;
    bool m_loaded = false;
    bool m_firstRun = false;
};
