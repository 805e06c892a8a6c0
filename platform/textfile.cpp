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

QString quotedFieldProblem(const QString &what, const QString &field)
{
    if (field.contains(u'"'))
        return QStringLiteral("%1“%2”中含有双引号（\"），无法保存。").arg(what, field);
    if (field.contains(u'\r') || field.contains(u'\n'))
        return QStringLiteral("%1“%2”中含有换行，无法保存。").arg(what, field.simplified());
    if (!gbkCanHold(field))
        return QStringLiteral("%1“%2”中含有GBK编码没有的字符，无法保存。").arg(what, field);
    return {};
}

QByteArray quotedRecord(const QStringList &fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += '"';
        line += toGbk(fields.at(i));
        line += '"';
    }
    line += "\r\n";
    return line;
}
