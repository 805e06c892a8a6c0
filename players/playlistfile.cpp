#include "players/playlistfile.h"

#include "platform/gbk.h"
#include "platform/textfile.h"

using namespace Qt::StringLiterals;

namespace {
QByteArray playlistLine(const QString &path)
{
    return toGbk(path) + "\r\n";
}
} // namespace

QString playlistLineEntry(QString line)
{
    line = line.trimmed();
    if (line.size() >= 2 && line.startsWith(u'"') && line.endsWith(u'"'))
        line = line.mid(1, line.size() - 2).trimmed();
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
    for (const QString &p : paths)
        data += playlistLine(p);
    return saveFileAtomically(path, data);
}

int unstorablePlaylistEntry(const QStringList &paths)
{
    for (int row = 0; row < paths.size(); ++row) {
        const QString &p = paths.at(row);
        if (p.contains(u'\n') || p.contains(u'\r') || !gbkCanHold(p) || playlistLineEntry(p) != p)
            return row;
    }
    return -1;
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
