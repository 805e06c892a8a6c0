#pragma once

#include <QObject>

class Autostart;
class ConsoleSettings;
class Dialogs;

// Keeps the desktop's autostart entry as the operator switches the setting
// "start at log-in": put in place when it is switched on, removed when it
// is switched off. The start-up leaves an entry alone (another start, with
// another data folder, must not take over the log-in start; an entry the
// operator keeps with the setting off is his), and only mends one the
// setting wants that is missing or starts nothing.
class AutostartFollower final : public QObject
{
    Q_OBJECT
public:
    AutostartFollower(ConsoleSettings &settings, Autostart &autostart, Dialogs &dialogs,
                      QObject *parent = nullptr);

private:
    void check();
    void follow();
    void tell(const QString &problem);

    ConsoleSettings &m_settings;
    Autostart &m_autostart;
    Dialogs &m_dialogs;
    bool m_known = false;
    bool m_on = false;
};
