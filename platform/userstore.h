#pragma once

#include <QString>

class QSettings;

// The per-user store of the operator's choices: application "broadcast".
// Values are texts; section "setting" holds the settings dialog's choices,
// other sections (such as "ports") hold values of this Linux installation.
//
// Every value written reaches the disk at once, as the console may be
// switched off rather than closed; values written inside a Batch reach it
// together when the batch ends, in one write of the file.
class UserStore
{
public:
    virtual ~UserStore();

    virtual QString value(const QString &section, const QString &key,
                          const QString &defaultValue) const = 0;
    virtual void setValue(const QString &section, const QString &key, const QString &value) = 0;
    // Empty while every write so far reached the disk, else what went wrong.
    // Inside a batch, values written since it began have not been tried yet.
    virtual QString writeError() const { return {}; }

    QString setting(const QString &key, const QString &defaultValue) const
    {
        return value(QStringLiteral("setting"), key, defaultValue);
    }
    void setSetting(const QString &key, const QString &text)
    {
        setValue(QStringLiteral("setting"), key, text);
    }

    // Holds back the disk writes of the values set while it lives; they are
    // written when the outermost batch ends. A store that writes nothing
    // itself has nothing to hold back.
    class Batch
    {
    public:
        explicit Batch(UserStore &store)
            : m_store(store)
        {
            m_store.beginBatch();
        }
        ~Batch() { m_store.endBatch(); }
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        UserStore &m_store;
    };

protected:
    virtual void beginBatch() { }
    virtual void endBatch() { }
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

protected:
    void beginBatch() override;
    void endBatch() override;

private:
    QSettings *m_settings;
    int m_batchDepth = 0;
    bool m_held = false; // values set inside the batch that are not on disk yet
};
