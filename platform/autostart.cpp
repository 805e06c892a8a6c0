#include "platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

Autostart::~Autostart() = default;

XdgAutostart::XdgAutostart(const QString &folder, const QStringList &command)
    : m_folder(folder)
    , m_command(command)
{
}

QString XdgAutostart::defaultFolder()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base
        = QDir::isAbsolutePath(config) ? config : QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

QString XdgAutostart::entryPath() const
{
    return m_folder + QStringLiteral("/quellon.desktop");
}

QString XdgAutostart::execLine(const QStringList &command)
{
    QStringList words;
    for (const QString &argument : command) {
        QString word = argument;
        word.replace(u'%', QStringLiteral("%%"));
        static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
        const bool quote = word.isEmpty() || std::any_of(word.cbegin(), word.cend(), [](QChar c) {
                               return reserved.contains(c);
                           });
        if (quote) {
            QString quoted;
            for (QChar c : std::as_const(word)) {
                if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                    quoted.append(u'\\');
                quoted.append(c);
            }
            word = u'"' + quoted + u'"';
        }
        words.append(word);
    }
    return words.join(u' ');
}

QByteArray XdgAutostart::entryText(const QStringList &command)
{
    // The Exec value is itself a desktop-entry string, whose own escapes
    // double the backslashes that the quoting above put in.
    QString exec = execLine(command);
    exec.replace(u'\\', QStringLiteral("\\\\"));
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=QuellonQL-5300 数字广播控制台\n"
                                        "Comment=登录后自动启动广播控制台\n"
                                        "Exec=%1\n"
                                        "Icon=quellon\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(exec);
    return text.toUtf8();
}

bool XdgAutostart::isEnabled() const
{
    return QFileInfo::exists(entryPath());
}

QString XdgAutostart::programOf(const QByteArray &entry)
{
    static const QRegularExpression execKey(QStringLiteral("^Exec\\s*=\\s*(.*)$"));
    QString value;
    bool inMainGroup = false;
    for (const QString &line : QString::fromUtf8(entry).split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(u'[')) {
            inMainGroup = trimmed == u"[Desktop Entry]";
            continue;
        }
        if (const auto m = execKey.match(trimmed); inMainGroup && m.hasMatch()) {
            value = m.captured(1);
            break;
        }
    }
    // The key's own escapes first, then the quoting of the command line.
    QString exec;
    for (qsizetype i = 0; i < value.size(); ++i) {
        QChar c = value.at(i);
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar e = value.at(++i);
            c = e == u's'   ? QChar(u' ')
                : e == u'n' ? QChar(u'\n')
                : e == u't' ? QChar(u'\t')
                : e == u'r' ? QChar(u'\r')
                            : e;
        }
        exec.append(c);
    }
    QString program;
    qsizetype i = 0;
    while (i < exec.size() && exec.at(i).isSpace())
        ++i;
    if (i < exec.size() && exec.at(i) == u'"') {
        for (++i; i < exec.size() && exec.at(i) != u'"'; ++i) {
            if (exec.at(i) == u'\\' && i + 1 < exec.size())
                ++i;
            program.append(exec.at(i));
        }
    } else {
        for (; i < exec.size() && !exec.at(i).isSpace(); ++i)
            program.append(exec.at(i));
    }
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return program;
}

bool XdgAutostart::startsAProgram() const
{
    QFile entry(entryPath());
    if (!entry.open(QIODevice::ReadOnly))
        return false;
    const QString program = programOf(entry.readAll());
    if (program.isEmpty())
        return false;
    // A bare name is looked for on the path, as the session does.
    if (!program.contains(u'/'))
        return !QStandardPaths::findExecutable(program).isEmpty();
    const QFileInfo file(program);
    return file.isFile() && file.isExecutable();
}

QString XdgAutostart::setEnabled(bool on)
{
    const QString path = entryPath();
    if (!on) {
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return {};
        QFile entry(path);
        if (!entry.remove())
            return QStringLiteral("无法删除自动启动项 %1：%2").arg(path, entry.errorString());
        return {};
    }
    const QByteArray text = entryText(m_command);
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == text)
        return {};
    current.close();
    if (!QDir().mkpath(m_folder))
        return QStringLiteral("无法建立文件夹 %1，登录后不会自动启动").arg(m_folder);
    // Written whole or not at all: a session that reads a half-written entry
    // would start nothing, or something else.
    QSaveFile entry(path);
    if (!entry.open(QIODevice::WriteOnly) || entry.write(text) != text.size() || !entry.commit())
        return QStringLiteral("无法写入自动启动项 %1：%2，登录后不会自动启动")
            .arg(path, entry.errorString());
    return {};
}

QString consoleCommand(const QString &executablePath, const QString &binFolder)
{
    const QString own = QFileInfo(executablePath).canonicalFilePath();
    const QString onPath = QDir::cleanPath(binFolder + QStringLiteral("/quellon"));
    if (!own.isEmpty() && QFileInfo(onPath).canonicalFilePath() == own)
        return onPath;
    return own.isEmpty() ? QFileInfo(executablePath).absoluteFilePath() : own;
}
