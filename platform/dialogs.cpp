#include "platform/dialogs.h"

#include <QFileInfo>
#include <QStringList>

Dialogs::~Dialogs() = default;

QString qtFileFilter(const QString &classicFilter)
{
    const QStringList parts = classicFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        filters.append(parts.at(i) + u" (" + patterns + u')');
    }
    if (parts.size() % 2 == 1 && !parts.last().isEmpty()) {
        // A lone pattern without a description.
        QString patterns = parts.last();
        patterns.replace(u';', u' ');
        filters.append(patterns);
    }
    return filters.join(u";;");
}

QString withDefaultSuffix(const QString &path, const QString &suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + u'.' + suffix;
}
