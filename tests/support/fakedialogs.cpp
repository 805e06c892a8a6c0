#include "fakedialogs.h"

MsgAnswer FakeDialogs::message(const QString &text, const QString &title, MsgIcon icon,
                               MsgButtons buttons)
{
    shown.append({text, title, icon, buttons, true});
    if (!answers.isEmpty())
        return answers.dequeue();
    return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgAnswer::Ok
                                                                        : MsgAnswer::Yes;
}

QString FakeDialogs::openFileName(const QString &title, const QString &, const QString &,
                                  const QString &)
{
    fileDialogTitles.append(title);
    return files.isEmpty() ? QString() : files.dequeue();
}

QString FakeDialogs::saveFileName(const QString &title, const QString &, const QString &,
                                  const QString &)
{
    fileDialogTitles.append(title);
    return files.isEmpty() ? QString() : files.dequeue();
}

QString FakeDialogs::chooseFolder(const QString &title, const QString &)
{
    fileDialogTitles.append(title);
    return files.isEmpty() ? QString() : files.dequeue();
}
