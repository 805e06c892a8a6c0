#include "directory/remotelistfile.h"

#include "platform/fieldreader.h"
#include "platform/textfile.h"

RemoteListRead readRemoteListFile(const QString &path)
{
    RemoteListRead result;
    const FileRead file = readWholeFile(path);
    if (!file.ok) {
        result.missing = file.missing;
        result.error = file.error;
        return result;
    }
    FieldReader reader(file.data);
    while (!reader.atEnd()) {
        QString entry;
        if (!reader.readText(entry)) {
            result.error = reader.errorText();
            return result;
        }
        result.paths.append(entry);
    }
    result.ok = true;
    return result;
}

QString writeRemoteListFile(const QString &path, const QStringList &paths)
{
    QByteArray data;
    for (const QString &p : paths)
        data += quotedRecord({p});
    return saveFileAtomically(path, data);
}
