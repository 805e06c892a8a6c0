#include "console/autostartfollower.h"

#include "console/consolesettings.h"
#include "platform/autostart.h"
#include "platform/dialogs.h"

AutostartFollower::AutostartFollower(ConsoleSettings &settings, Autostart &autostart,
                                     Dialogs &dialogs, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_autostart(autostart)
    , m_dialogs(dialogs)
{
    connect(&settings, &ConsoleSettings::loaded, this, &AutostartFollower::check);
    connect(&settings, &ConsoleSettings::changed, this, &AutostartFollower::follow);
    if (settings.isLoaded())
        check();
}

void AutostartFollower::check()
{
    m_known = true;
    m_on = m_settings.values().StartAtLogin;
    if (m_on && !m_autostart.startsAProgram())
        tell(m_autostart.setEnabled(true));
}

void AutostartFollower::follow()
{
    // Values in memory before the start-up read the store are defaults, not
    // the operator's choice.
    const bool on = m_settings.values().StartAtLogin;
    // Settings change for many reasons; the entry is touched only when this
    // one did, so a failure is told once, not at every change.
    if (!m_known || on == m_on)
        return;
    m_on = on;
    tell(m_autostart.setEnabled(on));
}

void AutostartFollower::tell(const QString &problem)
{
    if (!problem.isEmpty())
        m_dialogs.notify(problem, QStringLiteral("自动启动"), MsgIcon::Exclamation, nullptr);
}
