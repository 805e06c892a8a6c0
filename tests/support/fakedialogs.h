#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>

// Records every message box and answers from a script; unscripted questions
// get the first button (Ok or Yes), unscripted file dialogs are cancelled.
class FakeDialogs final : public Dialogs
{
public:
    struct Shown
    {
        QString text;
        QString title;
        MsgIcon icon;
        MsgButtons buttons;
        bool waited = true; // false for a notice, which returns at once
    };

    MsgAnswer message(const QString &text, const QString &title, MsgIcon icon,
                      MsgButtons buttons) override;
    void notify(const QString &text, const QString &title, MsgIcon icon) override
    {
        shown.append({text, title, icon, MsgButtons::Ok, false});
    }
    QString openFileName(const QString &title, const QString &folder, const QString &filter,
                         const QString &fileName) override;
    QStringList openFileNames(const QString &title, const QString &folder,
                              const QString &filter) override;
    QString saveFileName(const QString &title, const QString &folder, const QString &filter,
                         const QString &fileName) override;
    QString chooseFolder(const QString &title, const QString &folder) override;
    void beep() override { ++beeps; }

    QList<Shown> shown;
    // A real modal box runs the events that are waiting while it is shown;
    // set this to have message() do the same.
    bool nestEventLoop = false;
    QStringList fileDialogFolders;
    QStringList fileDialogFilters;
    QQueue<MsgAnswer> answers;
    QQueue<QString> files; // answers of the file and folder dialogs
    QQueue<QStringList> fileLists; // answers of the dialogs that choose several files
    QStringList fileDialogTitles;
    int beeps = 0;
};
