#include "directory/remotelistfile.h"

#include "platform/fieldreader.h"
#include "platform/textfile.h"

RemoteListRead readRemoteListFile(const QString &path)
{
    RemoteListRead result;
    auto opened = openFieldFile(path, result.error, &result.missing);
    if (!opened)
        return result;
    FieldReader &reader = *opened;
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
    for (const QString &p : paths) {
        if (QString problem = quotedFieldProblem(QStringLiteral("路径"), p); !problem.isEmpty())
            return problem;
        data += quotedRecord({p});
    }
    return saveFileAtomically(path, data);
}
