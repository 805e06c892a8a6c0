#include "platform/textfile.h"

#include "platform/gbk.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

FileRead readWholeFile(const QString &path)
{
    FileRead result;
    QFile file(path);
    if (!file.exists()) {
        result.missing = true;
        result.error = QStringLiteral("文件未找到：%1").arg(path);
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    result.data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        result.data.clear();
        return result;
    }
    result.ok = true;
    return result;
}

QString saveFileAtomically(const QString &path, const QByteArray &data)
{
    const QFileInfo info(path);
    // Judge by the owner's write bit, not by access(): an administrator may
    // write anywhere, but an operator who made a file read-only meant it.
    if (info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
        return QStringLiteral("文件只读：%1").arg(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(data) != data.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

QString quotedFieldSafe(QString field)
{
    field.replace(u'"', u'\'');
    return field;
}

QByteArray quotedRecord(const QStringList &fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += '"';
        line += toGbk(quotedFieldSafe(fields.at(i)));
        line += '"';
    }
    line += "\r\n";
    return line;
}
