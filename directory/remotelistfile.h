#pragma once

#include <QString>
#include <QStringList>

struct RemoteListRead
{
    bool ok = false;
    bool missing = false;
    QStringList paths;
    QString error;
};

// rem_list.txt: one quoted path a line, in play order.
RemoteListRead readRemoteListFile(const QString &path);
QString writeRemoteListFile(const QString &path, const QStringList &paths);
