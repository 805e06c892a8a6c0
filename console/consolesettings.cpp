#include "console/consolesettings.h"

#include "console/settingsloader.h"
#include "platform/userstore.h"

#include <QDebug>

ConsoleSettings::ConsoleSettings(UserStore &store, const AppFolder &folder, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_folder(folder)
    , m_configIni(folder.file(QStringLiteral("\\config.ini")))
{
}

bool ConsoleSettings::loadStoredSettings()
{
    const SettingsLoader::Outcome outcome
        = SettingsLoader::LoadSettings(m_store, m_configIni, m_folder, m_values);
    for (const QString &w : outcome.warnings)
        qWarning() << w;
    if (!outcome.unreadableKeys.isEmpty())
        qWarning() << "settings that could not be read, defaults used:" << outcome.unreadableKeys;
    SettingsLoader::LoadDisplayOptions(m_configIni, m_values);
    SettingsLoader::LoadOperationOptions(m_store, m_values);
    m_loaded = true;
    m_firstRun = outcome.firstRun;
    Q_EMIT loaded(outcome.firstRun);
    Q_EMIT changed();
    return outcome.firstRun;
}

void ConsoleSettings::loadTables()
{
    SettingsLoader::LoadSourceFrequencies(m_folder, m_values);
    SettingsLoader::LoadDeviceLeadTimes(m_configIni, m_values);
    SettingsLoader::LoadNodeAddresses(m_folder, m_values);
    SettingsLoader::LoadGroupNames(m_configIni, m_values);
    Q_EMIT changed();
}

QStringList ConsoleSettings::apply(const AppSettings &values)
{
    m_values = values;
    QStringList failures;
    {
        const UserStore::Batch batch(m_store);
        SettingsLoader::SaveSettings(m_store, m_values);
        SettingsLoader::SaveOperationOptions(m_store, m_values);
    }
    if (const QString error = m_store.writeError(); !error.isEmpty())
        failures << error;
    if (const QString error = SettingsLoader::SaveShowVideo(m_configIni, m_values.ShowVideo);
        !error.isEmpty())
        failures << QStringLiteral("config.ini: %1").arg(error);
    for (const QString &f : std::as_const(failures))
        qWarning() << "settings not saved:" << f;
    Q_EMIT applied();
    Q_EMIT changed();
    return failures;
}

void ConsoleSettings::update(const AppSettings &values)
{
    m_values = values;
    Q_EMIT changed();
}

void ConsoleSettings::markVolumeAdjusted()
{
    // A text that never equals a clock time.
    m_values.VolumeAdjustTime = QStringLiteral("33:33:33");
    Q_EMIT changed();
}
