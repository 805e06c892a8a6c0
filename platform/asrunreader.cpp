#include "platform/asrunreader.h"

#include "platform/asrunlog.h"

#include <QFile>
#include <QHash>
#include <QStringView>

namespace {

// "2026-12-07 07:30:05": digits where digits belong, the separators between.
bool isTimeText(QStringView s)
{
    constexpr QStringView shape = u"0000-00-00 00:00:00";
    if (s.size() != shape.size())
        return false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        if (shape.at(i) == u'0' ? c < u'0' || c > u'9' : c != shape.at(i).unicode())
            return false;
    }
    return true;
}

// A quoted field starting at from (on its opening quote): its text with the
// doubled quotes made single, and where it ends (just past its closing
// quote); -1 when the quote is never closed on this line.
qsizetype readQuoted(QStringView line, qsizetype from, QString &out)
{
    out.clear();
    qsizetype i = from + 1;
    qsizetype runStart = i;
    while (i < line.size()) {
        if (line.at(i) != u'"') {
            ++i;
            continue;
        }
        out += line.mid(runStart, i - runStart);
        if (i + 1 < line.size() && line.at(i + 1) == u'"') {
            out += u'"';
            i += 2;
            runStart = i;
            continue;
        }
        return i + 1;
    }
    return -1;
}

class LineReader
{
public:
    // False for a line that does not read as one event.
    bool read(QStringView line, AsRunEntry &entry)
    {
        const qsizetype firstComma = line.indexOf(u',');
        if (firstComma < 0 || !isTimeText(line.first(firstComma)))
            return false;
        qsizetype at = firstComma + 1;
        QStringView kind;
        if (at < line.size() && line.at(at) == u'"') {
            at = readQuoted(line, at, m_scratch);
            if (at < 0 || at >= line.size() || line.at(at) != u',')
                return false;
            entry.kind = shared(m_scratch);
            ++at;
        } else {
            const qsizetype comma = line.indexOf(u',', at);
            if (comma < 0)
                return false;
            entry.kind = shared(line.mid(at, comma - at));
            at = comma + 1;
        }
        if (at < line.size() && line.at(at) == u'"') {
            const qsizetype end = readQuoted(line, at, m_scratch);
            if (end != line.size())
                return false; // cut inside the quotes, or more after them
            entry.text = m_scratch;
        } else {
            // The writer quotes a text with a comma; one without quotes is
            // taken whole all the same.
            entry.text = line.mid(at).toString();
        }
        entry.time = line.first(firstComma).toString();
        return true;
    }

private:
    // The kinds are few and repeat on every line: one copy of each.
    QString shared(QStringView kind)
    {
        const auto it = m_kinds.constFind(kind);
        if (it != m_kinds.cend())
            return *it;
        QString copy = kind.toString();
        m_keep.append(copy); // the view in the table points into this copy
        m_kinds.insert(QStringView(m_keep.last()), copy);
        return copy;
    }

    QHash<QStringView, QString> m_kinds;
    QList<QString> m_keep;
    QString m_scratch;
};

} // namespace

AsRunDay parseAsRunDay(QByteArrayView data)
{
    AsRunDay day;
    QString all = QString::fromUtf8(data);
    QStringView rest(all);
    if (rest.startsWith(u'\xFEFF'))
        rest = rest.mid(1);
    // Usually about one line per hundred bytes.
    day.entries.reserve(data.size() / 100 + 1);
    LineReader reader;
    const QString header = AsRunLog::header();
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf(u'\n');
        const bool whole = end >= 0;
        QStringView line = whole ? rest.first(end) : rest;
        rest = whole ? rest.mid(end + 1) : QStringView();
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line == header)
            continue;
        AsRunEntry entry;
        if (reader.read(line, entry))
            day.entries.append(std::move(entry));
        else
            ++day.damaged;
    }
    return day;
}

AsRunDay readAsRunDay(const QString &path)
{
    QFile file(path);
    if (!file.exists()) {
        AsRunDay day;
        day.missing = true;
        return day;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        AsRunDay day;
        day.error = file.errorString();
        return day;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        AsRunDay day;
        day.error = file.errorString();
        return day;
    }
    return parseAsRunDay(data);
}
