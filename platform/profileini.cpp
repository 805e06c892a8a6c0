#include "platform/profileini.h"

#include "platform/gbk.h"
#include "platform/textfile.h"

#include <QList>

namespace {

// Lines without their LF; a CR stays part of the line so that untouched
// lines are written back byte for byte.
QList<QByteArray> splitLines(const QByteArray &data)
{
    QList<QByteArray> lines = data.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the text after the final line end
    return lines;
}

// The section name of a "[name]" line, or a null text for any other line.
QString sectionOf(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (t.size() < 2 || t.at(0) != '[')
        return {};
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return {};
    return fromGbk(t.mid(1, close - 1)).trimmed();
}

bool keyMatches(const QByteArray &line, const QString &key, QByteArray *valueOut)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return false;
    const QString name = fromGbk(line.left(eq)).trimmed();
    if (name.compare(key, Qt::CaseInsensitive) != 0)
        return false;
    if (valueOut)
        *valueOut = line.mid(eq + 1).trimmed();
    return true;
}

bool sameName(const QString &a, const QString &b)
{
    return !a.isNull() && a.compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

ProfileIni::ProfileIni(QString path)
    : m_path(std::move(path))
{
}

QString ProfileIni::getString(const QString &section, const QString &key,
                              const QString &defaultValue, int bufferSize) const
{
    const qsizetype maxBytes = bufferSize > 0 ? bufferSize - 1 : 0;
    const auto cut
        = [maxBytes](const QByteArray &bytes) { return fromGbk(cutGbk(bytes, maxBytes)); };

    const FileRead file = readWholeFile(m_path);
    if (!file.ok)
        return cut(toGbk(defaultValue));

    bool inSection = false;
    for (const QByteArray &line : splitLines(file.data)) {
        const QString name = sectionOf(line);
        if (!name.isNull()) {
            if (inSection)
                break; // only the first section of that name counts
            inSection = sameName(name, section);
            continue;
        }
        QByteArray value;
        if (inSection && keyMatches(line, key, &value)) {
            // A value written between double quotes loses them.
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return cut(value);
        }
    }
    return cut(toGbk(defaultValue));
}

namespace {

// What a name or value cannot hold in an INI file: a line break would start a
// line of its own (even a section of its own), another control character
// would not read back (a NUL ends a profile string, a tab is lost at the
// ends), a character without a GBK code would come back as "?".
QString fieldProblem(const QString &what, const QString &text)
{
    switch (textFault(text, TextLayout::Line)) {
    case TextFault::LineBreak:
        return QStringLiteral("%1“%2”中有换行，配置文件放不下，没有保存。")
            .arg(what, text.simplified());
    case TextFault::Control:
        return QStringLiteral("%1“%2”中有%3，配置文件放不下，没有保存。")
            .arg(what, text, controlCharacterText(text));
    case TextFault::NotGbk:
        return QStringLiteral("%1“%2”中有GBK编码没有的字符，配置文件放不下，没有保存。")
            .arg(what, text);
    case TextFault::Comma:
    case TextFault::Quote:
    case TextFault::None:
        break;
    }
    return {};
}

// A value as it stands after "=". The reader drops the blanks around a value
// and one pair of double quotes around it, as the profile-string call always
// did; a value that would lose either is written between double quotes, which
// that call takes off again.
QByteArray valueText(const QString &value)
{
    const bool quoted = value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"');
    if (hasEdgeBlanks(value) || quoted)
        return '"' + toGbk(value) + '"';
    return toGbk(value);
}

} // namespace

QString ProfileIni::textProblem(const QString &section, const QString &key, const QString &value)
{
    for (const QString &problem :
         {fieldProblem(QStringLiteral("节名"), section), fieldProblem(QStringLiteral("键名"), key),
          fieldProblem(QStringLiteral("值"), value)}) {
        if (!problem.isEmpty())
            return problem;
    }
    // A "]" inside a section name, also as the second byte of a GBK character
    // (沒 is 9B 5D), ends the name early: the section would never be found
    // again and every write would add another copy.
    if (toGbk(section).contains(']'))
        return QStringLiteral("节名“%1”在配置文件中无法区分（含“]”），没有保存。").arg(section);
    if (key.contains(u'=') || key.trimmed().isEmpty())
        return QStringLiteral("键名“%1”不能为空，也不能含“=”，没有保存。").arg(key);
    return {};
}

QString ProfileIni::writeString(const QString &section, const QString &key,
                                const QString &value) const
{
    if (QString problem = textProblem(section, key, value); !problem.isEmpty())
        return problem;
    const FileRead file = readWholeFile(m_path);
    if (!file.ok && !file.missing)
        return file.error;

    QList<QByteArray> lines = splitLines(file.data);
    const QByteArray newLine = toGbk(key) + '=' + valueText(value) + '\r';

    qsizetype sectionStart = -1; // index of the header line
    qsizetype lastInSection = -1; // last non-blank line of the section
    bool replaced = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString name = sectionOf(lines.at(i));
        if (!name.isNull()) {
            if (sectionStart >= 0)
                break;
            if (sameName(name, section)) {
                sectionStart = i;
                lastInSection = i;
            }
            continue;
        }
        if (sectionStart < 0)
            continue;
        if (keyMatches(lines.at(i), key, nullptr)) {
            lines[i] = newLine;
            replaced = true;
            break;
        }
        if (!lines.at(i).trimmed().isEmpty())
            lastInSection = i;
    }

    if (!replaced) {
        if (sectionStart >= 0) {
            lines.insert(lastInSection + 1, newLine);
        } else {
            lines.append('[' + toGbk(section) + "]\r");
            lines.append(newLine);
        }
    }

    QByteArray data;
    for (const QByteArray &line : std::as_const(lines)) {
        data += line;
        data += '\n';
    }
    return saveFileAtomically(m_path, data);
}
