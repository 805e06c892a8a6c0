#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QObject;

enum class MsgIcon { None, Information, Exclamation, Error, Question };
// The classic sets of buttons a message box offers, and the buttons.
enum class MsgButtons {
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
    RetryCancel,
    AbortRetryIgnore,
    SaveDiscardCancel,
    Close,
};
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore, Save, Discard, Close };

// The buttons of a set, left to right; the one Enter presses (the first);
// the one Escape or the window's close box presses.
QList<MsgAnswer> offeredAnswers(MsgButtons buttons);
MsgAnswer defaultAnswer(MsgButtons buttons);
MsgAnswer escapeAnswer(MsgButtons buttons);

// Message boxes and file dialogs. Windows and cores ask through this
// interface so that tests can answer from a script.
//
// Every call names its context: the window it concerns (a window passes
// itself), over which the box stands and to which it is modal. A core that
// has no window passes nullptr, and its box stands over the main window.
class Dialogs
{
public:
    virtual ~Dialogs();

    // A question or message the operator asked for by a command: it waits
    // for the answer.
    virtual MsgAnswer message(const QString &text, const QString &title, MsgIcon icon,
                              MsgButtons buttons, QObject *context)
        = 0;
    // A message raised by a timer, the link or the start-up: shown with an OK
    // button and returns at once, so the ticks go on while it is on screen.
    // The same message already on screen (or waiting) is not shown a second
    // time. Notices for one window wait their turn, one box at a time.
    virtual void notify(const QString &text, const QString &title, MsgIcon icon, QObject *context)
        = 0;
    // A question raised by a timer, the link, a window's activation or a
    // focus change: shown at once over the window of context (the window the
    // operator works in when context is no widget) and returns without
    // waiting, so the ticks and the link go on while it is on screen. The
    // answer arrives later through answered, from the event loop and never
    // from inside this call; once context is gone the question goes with it
    // and nothing is called.
    virtual void ask(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                     QObject *context, std::function<void(MsgAnswer)> answered)
        = 0;
    // Filters use the classic "description|patterns|description|patterns" form.
    // An empty result means the operator cancelled.
    virtual QString openFileName(const QString &title, const QString &folder, const QString &filter,
                                 const QString &fileName, QObject *context)
        = 0;
    // openFileName without waiting, as ask(): chosen gets the path, empty
    // when the operator cancelled.
    virtual void askOpenFileName(const QString &title, const QString &folder, const QString &filter,
                                 const QString &fileName, QObject *context,
                                 std::function<void(const QString &)> chosen)
        = 0;
    // Several files chosen at once, in the order the dialog gives them;
    // empty when the operator cancelled.
    virtual QStringList openFileNames(const QString &title, const QString &folder,
                                      const QString &filter, QObject *context)
        = 0;
    virtual QString saveFileName(const QString &title, const QString &folder, const QString &filter,
                                 const QString &fileName, QObject *context)
        = 0;
    virtual QString chooseFolder(const QString &title, const QString &folder, QObject *context) = 0;
    virtual void beep() = 0;
};

// "MP3文件|*.mp3|WAV文件|*.wav" becomes "MP3文件 (*.mp3);;WAV文件 (*.wav)".
// Patterns separated by ";" become space separated, as Qt expects.
QString qtFileFilter(const QString &classicFilter);

// The file dialogs' default extension: a name typed without an extension
// gets suffix ("txt" makes "list" into "list.txt"). An empty path, a
// cancelled dialog, stays empty.
QString withDefaultSuffix(const QString &path, const QString &suffix);
