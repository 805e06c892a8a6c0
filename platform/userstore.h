#pragma once

#include <QString>

class QSettings;

// The per-user store of the operator's choices: application "broadcast".
// Values are texts; section "setting" holds the settings dialog's choices,
// other sections (such as "ports") hold values of this Linux installation.
class UserStore
{
public:
    virtual ~UserStore();

    virtual QString value(const QString &section, const QString &key,
                          const QString &defaultValue) const = 0;
    virtual void setValue(const QString &section, const QString &key, const QString &value) = 0;
    // Empty while every write so far reached the disk, else what went wrong.
    virtual QString writeError() const { return {}; }

    QString setting(const QString &key, const QString &defaultValue) const
    {
        return value(QStringLiteral("setting"), key, defaultValue);
    }
    void setSetting(const QString &key, const QString &text)
    {
        setValue(QStringLiteral("setting"), key, text);
    }
};

// $XDG_CONFIG_HOME/broadcast/broadcast.conf through QSettings.
class SettingsUserStore final : public UserStore
{
public:
    SettingsUserStore();
    ~SettingsUserStore() override;

    QString fileName() const;
    QString value(const QString &section, const QString &key,
                  const QString &defaultValue) const override;
    void setValue(const QString &section, const QString &key, const QString &value) override;
    QString writeError() const override;

private:
    QSettings *m_settings;
};
