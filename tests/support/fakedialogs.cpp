#include "fakedialogs.h"

#include <QEventLoop>
#include <QTimer>

MsgAnswer FakeDialogs::message(const QString &text, const QString &title, MsgIcon icon,
                               MsgButtons buttons)
{
    shown.append({text, title, icon, buttons, true});
    if (nestEventLoop) {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!answers.isEmpty())
        return answers.dequeue();
    return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgAnswer::Ok
                                                                        : MsgAnswer::Yes;
}

QString FakeDialogs::openFileName(const QString &title, const QString &folder,
                                  const QString &filter, const QString &)
{
    fileDialogTitles.append(title);
    fileDialogFolders.append(folder);
    fileDialogFilters.append(filter);
    return files.isEmpty() ? QString() : files.dequeue();
}

QStringList FakeDialogs::openFileNames(const QString &title, const QString &folder,
                                       const QString &filter)
{
    fileDialogTitles.append(title);
    fileDialogFolders.append(folder);
    fileDialogFilters.append(filter);
    return fileLists.isEmpty() ? QStringList() : fileLists.dequeue();
}

QString FakeDialogs::saveFileName(const QString &title, const QString &folder,
                                  const QString &filter, const QString &)
{
    fileDialogTitles.append(title);
    fileDialogFolders.append(folder);
    fileDialogFilters.append(filter);
    return files.isEmpty() ? QString() : files.dequeue();
}

QString FakeDialogs::chooseFolder(const QString &title, const QString &)
{
    fileDialogTitles.append(title);
    return files.isEmpty() ? QString() : files.dequeue();
}
