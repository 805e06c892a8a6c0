#pragma once

#include "platform/userstore.h"

#include <QHash>
#include <QList>

// A per-user store in memory that remembers the order of writes.
class MemoryUserStore final : public UserStore
{
public:
    QString value(const QString &section, const QString &key,
                  const QString &defaultValue) const override
    {
        return values.value(section + u'/' + key, defaultValue);
    }
    void setValue(const QString &section, const QString &key, const QString &value) override
    {
        values.insert(section + u'/' + key, value);
        writes.append(key);
    }

    QHash<QString, QString> values;
    QStringList writes;
};
