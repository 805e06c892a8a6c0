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
    // Unbuffered, so that every byte is on its way to the disk when write()
    // says so: a buffered file took the bytes, met a full disk only at the
    // commit's flush, and renamed the cut file over the good one all the same.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    const qint64 written = file.write(data);
    if (written != data.size() || file.error() != QFileDevice::NoError) {
        const QString error = file.error() != QFileDevice::NoError
            ? file.errorString()
            : QStringLiteral("只写入了 %1 / %2 字节（磁盘已满？）").arg(written).arg(data.size());
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

namespace {

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

TextFault textFault(QStringView text, TextLayout layout)
{
    bool comma = false;
    bool quote = false;
    bool lineBreak = false;
    bool control = false;
    bool ascii = true;
    for (QChar c : text) {
        comma = comma || c == u',';
        quote = quote || c == u'"';
        lineBreak = lineBreak || isLineBreak(c);
        control = control || isControl(c);
        ascii = ascii && c.unicode() < 0x80;
    }
    if (comma && layout == TextLayout::Unquoted)
        return TextFault::Comma;
    if (quote && layout != TextLayout::Line)
        return TextFault::Quote;
    if (lineBreak)
        return TextFault::LineBreak;
    if (control)
        return TextFault::Control;
    // GBK holds ASCII as it is; only other text needs the converter.
    if (!ascii && !gbkCanHold(text))
        return TextFault::NotGbk;
    return TextFault::None;
}

QString controlCharacterText(QStringView text)
{
    for (QChar c : text) {
        if (isControl(c) && !isLineBreak(c))
            return QStringLiteral("控制字符（0x%1）")
                .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0'));
    }
    return {};
}

QString withoutEdgeBlanks(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text.at(start)))
        ++start;
    while (end > start && isBlank(text.at(end - 1)))
        --end;
    return text.sliced(start, end - start).toString();
}

bool hasEdgeBlanks(QStringView text)
{
    return !text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()));
}

QString quotedFieldProblem(const QString &what, const QString &field)
{
    switch (textFault(field, TextLayout::Quoted)) {
    case TextFault::Quote:
        return QStringLiteral("%1“%2”中含有双引号（\"），无法保存。").arg(what, field);
    case TextFault::LineBreak:
        return QStringLiteral("%1“%2”中含有换行，无法保存。").arg(what, field.simplified());
    case TextFault::Control:
        return QStringLiteral("%1“%2”中含有%3，无法保存。")
            .arg(what, field, controlCharacterText(field));
    case TextFault::NotGbk:
        return QStringLiteral("%1“%2”中含有GBK编码没有的字符，无法保存。").arg(what, field);
    case TextFault::Comma:
    case TextFault::None:
        break;
    }
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
