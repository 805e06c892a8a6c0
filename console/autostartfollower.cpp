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
    connect(&settings, &ConsoleSettings::loaded, this, [this] { follow(true); });
    connect(&settings, &ConsoleSettings::changed, this, [this] { follow(false); });
    if (settings.isLoaded())
        follow(true);
}

void AutostartFollower::follow(bool force)
{
    const bool on = m_settings.values().StartAtLogin;
    // Settings change for many reasons; the entry is touched only when this
    // one did, so a failure is told once, not at every change.
    if (!force && m_known && on == m_on)
        return;
    m_known = true;
    m_on = on;
    const QString problem = m_autostart.setEnabled(on);
    if (!problem.isEmpty())
        m_dialogs.notify(problem, QStringLiteral("自动启动"), MsgIcon::Exclamation, nullptr);
}
