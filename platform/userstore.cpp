#include "platform/userstore.h"

#include <QSettings>

UserStore::~UserStore() = default;

SettingsUserStore::SettingsUserStore()
    : m_settings(new QSettings(QStringLiteral("broadcast"), QStringLiteral("broadcast")))
{
}

SettingsUserStore::~SettingsUserStore()
{
    // QSettings writes what is still held when it goes.
    delete m_settings;
}

QString SettingsUserStore::fileName() const
{
    return m_settings->fileName();
}

QString SettingsUserStore::value(const QString &section, const QString &key,
                                 const QString &defaultValue) const
{
    const QVariant v = m_settings->value(section + u'/' + key);
    return v.isValid() ? v.toString() : defaultValue;
}

void SettingsUserStore::setValue(const QString &section, const QString &key, const QString &value)
{
    m_settings->setValue(section + u'/' + key, value);
    // Written at once: the console may be switched off rather than closed.
    // Each write replaces the whole file and waits for the disk, so a batch
    // of values waits once, at its end.
    if (m_batchDepth > 0)
        m_held = true;
    else
        m_settings->sync();
}

void SettingsUserStore::beginBatch()
{
    ++m_batchDepth;
}

void SettingsUserStore::endBatch()
{
    if (m_batchDepth == 0 || --m_batchDepth > 0)
        return;
    if (m_held) {
        m_held = false;
        m_settings->sync();
    }
}

QString SettingsUserStore::writeError() const
{
    switch (m_settings->status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("无法写入 %1").arg(m_settings->fileName());
    case QSettings::FormatError:
        return QStringLiteral("%1 的格式有误").arg(m_settings->fileName());
    }
    return {};
}
