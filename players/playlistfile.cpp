#include "players/playlistfile.h"

#include "platform/gbk.h"
#include "platform/textfile.h"

using namespace Qt::StringLiterals;

namespace {

bool isQuotedWhole(QStringView text)
{
    return text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"');
}

QByteArray playlistLine(const QString &path)
{
    // A blank at an end of a path would be dropped by the reader; between
    // double quotes it stays, as the old console's field reader kept it too.
    const QByteArray bytes = toGbk(path);
    return (hasEdgeBlanks(path) ? QByteArray('"' + bytes + '"') : bytes) + "\r\n";
}

} // namespace

QString playlistLineEntry(QString line)
{
    // Blanks and tabs, the ones the writer knows to quote: a blank of another
    // kind (U+3000) is part of the path.
    line = withoutEdgeBlanks(line);
    // What stands between the quotes is the path, blanks included.
    if (isQuotedWhole(line))
        line = line.mid(1, line.size() - 2);
    return line;
}

PlaylistRead readPlaylistFile(const QString &path)
{
    PlaylistRead result;
    const FileRead file = readWholeFile(path);
    if (!file.ok) {
        result.error = file.error;
        return result;
    }
    // A file that is not GBK text (a sound file picked by mistake, say)
    // would come back as paths of garbage, so it is refused whole.
    if (file.data.contains('\0')) {
        result.error = QStringLiteral("不是文本文件：%1").arg(path);
        return result;
    }
    std::optional<QString> decoded = fromGbkStrict(file.data);
    if (!decoded) {
        result.error = QStringLiteral("文件中有无法识别的文字：%1").arg(path);
        return result;
    }
    QString &text = *decoded;
    // CR LF as written, but a lone LF or CR ends a line too.
    text.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    for (QStringView line : QStringView(text).tokenize(u'\n')) {
        const QString entry = playlistLineEntry(line.toString());
        if (!entry.isEmpty())
            result.paths.append(entry);
    }
    result.ok = true;
    return result;
}

QString writePlaylistFile(const QString &path, const QStringList &paths)
{
    QByteArray data;
    for (qsizetype row = 0; row < paths.size(); ++row) {
        const QString &p = paths.at(row);
        if (const QString why = playlistEntryProblem(p); !why.isEmpty())
            return QStringLiteral("第%1项的路径%2，请删除这一项后再保存：\n%3")
                .arg(row + 1)
                .arg(why, p);
        data += playlistLine(p);
    }
    return saveFileAtomically(path, data);
}

QString playlistEntryProblem(const QString &path)
{
    switch (textFault(path, TextLayout::Line)) {
    case TextFault::LineBreak:
        return QStringLiteral("含有换行");
    case TextFault::Control:
        // The reader refuses a file with a NUL, and a tab is lost at an end.
        return u"含有"_s + controlCharacterText(path);
    case TextFault::NotGbk:
        return QStringLiteral("含有GBK编码没有的字符");
    case TextFault::Comma:
    case TextFault::Quote:
    case TextFault::None:
        break;
    }
    // The reader takes a pair of quotes around a line off.
    if (isQuotedWhole(path))
        return QStringLiteral("前后带有双引号");
    return {};
}

QString playlistEntryType(const QString &path)
{
    return path.right(3).toUpper();
}

int cdTrackNumber(const QString &path)
{
    if (!path.endsWith(u".cda", Qt::CaseInsensitive) || path.size() < 6)
        return 0;
    // The way the old console read the number: blanks are passed over and
    // digits taken up to the first other character ("5 " and " 5" are 5,
    // "k5" is no number at all).
    int track = 0;
    for (const QChar c : QStringView(path).sliced(path.size() - 6, 2)) {
        if (c == u' ')
            continue;
        if (c < u'0' || c > u'9')
            break;
        track = track * 10 + c.digitValue();
    }
    return track;
}

QString minutesSeconds(qint64 milliseconds)
{
    const qint64 seconds = std::max<qint64>(milliseconds, 0) / 1000;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString totalTimeText(qint64 seconds)
{
    return QStringLiteral("%1分%2秒")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
