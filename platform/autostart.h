#pragma once

#include <QString>
#include <QStringList>

// Whether the console starts when the operator logs in to the desktop.
class Autostart
{
public:
    virtual ~Autostart();
    // Puts the entry in place (on) or removes it (off). Returns what went
    // wrong, in Chinese, empty when it is done.
    virtual QString setEnabled(bool on) = 0;
    virtual bool isEnabled() const = 0;
    // Whether the entry is there and still starts a program: one whose
    // program was moved or removed since starts nothing at log-in.
    virtual bool startsAProgram() const = 0;
};

// An XDG autostart entry, quellon.desktop in the given folder (normally
// $XDG_CONFIG_HOME/autostart, ~/.config/autostart when that is unset),
// which the desktop session reads at log-in.
class XdgAutostart final : public Autostart
{
public:
    // command: the program and its arguments, as they are to be started.
    XdgAutostart(const QString &folder, const QStringList &command);

    static QString defaultFolder();
    QString entryPath() const;
    QString setEnabled(bool on) override;
    bool isEnabled() const override;
    bool startsAProgram() const override;

    // The program an entry's text starts (its Exec key's first word, as a
    // desktop session reads it); empty when it names none.
    static QString programOf(const QByteArray &entry);

    // The text of the entry that starts command.
    static QByteArray entryText(const QStringList &command);
    // command as the Exec key of a desktop entry: each argument quoted when
    // it must be, "%" doubled.
    static QString execLine(const QStringList &command);

private:
    QString m_folder;
    QStringList m_command;
};

// The path by which to start this executable again: the command on the
// path (/usr/bin/quellon) when it leads to this executable, as an installed
// console does, else the executable's own absolute path.
QString consoleCommand(const QString &executablePath, const QString &binFolder);
