#pragma once

#include <QObject>

class Autostart;
class ConsoleSettings;
class Dialogs;

// Keeps the desktop's autostart entry as the setting "start at log-in"
// says: put in place when it is switched on, removed when it is switched
// off, and checked once the start-up has read the settings (the console may
// have moved since the entry was written).
class AutostartFollower final : public QObject
{
    Q_OBJECT
public:
    AutostartFollower(ConsoleSettings &settings, Autostart &autostart, Dialogs &dialogs,
                      QObject *parent = nullptr);

private:
    void follow(bool force);

    ConsoleSettings &m_settings;
    Autostart &m_autostart;
    Dialogs &m_dialogs;
    bool m_known = false;
    bool m_on = false;
};
