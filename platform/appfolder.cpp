#include "platform/appfolder.h"

AppFolder::AppFolder(const QString &folder)
    : m_path(folder)
{
    m_path.replace(u'\\', u'/');
    while (m_path.endsWith(u'/'))
        m_path.chop(1);
}

QString AppFolder::file(const QString &name) const
{
    QString tail = name;
    tail.replace(u'\\', u'/');
    if (!tail.startsWith(u'/'))
        tail.prepend(u'/');
    return m_path + tail;
}

QString fileTitle(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return cut < 0 ? path : path.mid(cut + 1);
}
