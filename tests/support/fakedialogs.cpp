#include "fakedialogs.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {
// Calls back from the event loop, as a dialog's answer arrives: never from
// inside the call that asked, and not once the context is gone.
template<class Callback, class Value>
void post(const std::shared_ptr<int> &underway, QObject *context, Callback callback, Value value)
{
    ++*underway;
    const QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    QTimer::singleShot(
        0, [underway, guard, guarded, callback = std::move(callback), value = std::move(value)] {
            --*underway;
            if ((!guarded || guard) && callback)
                callback(value);
        });
}
} // namespace

MsgAnswer FakeDialogs::scriptedAnswer(MsgButtons buttons)
{
    if (answers.isEmpty())
        return defaultAnswer(buttons);
    const MsgAnswer answer = answers.dequeue();
    if (!offeredAnswers(buttons).contains(answer)) {
        QTest::qFail("the script answers with a button this box does not have", __FILE__, __LINE__);
        return escapeAnswer(buttons);
    }
    return answer;
}

MsgAnswer FakeDialogs::message(const QString &text, const QString &title, MsgIcon icon,
                               MsgButtons buttons, QObject *context)
{
    shown.append({text, title, icon, buttons, true, context});
    if (nestEventLoop) {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return scriptedAnswer(buttons);
}

void FakeDialogs::ask(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                      QObject *context, std::function<void(MsgAnswer)> answered)
{
    shown.append({text, title, icon, buttons, false, context});
    if (holdAnswers) {
        m_held.append({false, context, context != nullptr, std::move(answered), {}});
        return;
    }
    post(m_underway, context, std::move(answered), scriptedAnswer(buttons));
}

void FakeDialogs::askOpenFileName(const QString &title, const QString &folder,
                                  const QString &filter, const QString &, QObject *context,
                                  std::function<void(const QString &)> chosen)
{
    fileDialogTitles.append(title);
    fileDialogFolders.append(folder);
    fileDialogFilters.append(filter);
    fileDialogsWaited.append(false);
    fileDialogContexts.append(context);
    if (holdAnswers) {
        m_held.append({true, context, context != nullptr, {}, std::move(chosen)});
        return;
    }
    post(m_underway, context, std::move(chosen), files.isEmpty() ? QString() : files.dequeue());
}

int FakeDialogs::held() const
{
    return int(std::count_if(m_held.cbegin(), m_held.cend(),
                             [](const Held &h) { return !h.guarded || h.context; }));
}

bool FakeDialogs::takeHeld(bool fileDialog, Held *held)
{
    // A question whose context is gone went with it.
    m_held.removeIf([](const Held &h) { return h.guarded && !h.context; });
    for (qsizetype i = 0; i < m_held.size(); ++i) {
        if (m_held.at(i).fileDialog == fileDialog) {
            *held = m_held.takeAt(i);
            return true;
        }
    }
    return false;
}

bool FakeDialogs::answerHeld(MsgAnswer answer)
{
    Held held;
    if (!takeHeld(false, &held))
        return false;
    if (held.answered)
        held.answered(answer);
    return true;
}

bool FakeDialogs::chooseHeld(const QString &path)
{
    Held held;
    if (!takeHeld(true, &held))
        return false;
    if (held.chosen)
        held.chosen(path);
    return true;
}

QString FakeDialogs::openFileName(const QString &title, const QString &folder,
                                  const QString &filter, const QString &, QObject *context)
{
    fileDialogTitles.append(title);
    fileDialogFolders.append(folder);
    fileDialogFilters.append(filter);
    fileDialogsWaited.append(true);
    fileDialogContexts.append(context);
    return files.isEmpty() ? QString() : files.dequeue();
}

QStringList FakeDialogs::openFileNames(const QString &title, const QString &folder,
                                       const QString &filter, QObject *context)
{
    fileDialogTitles.append(title);
    fileDialogFolders.append(folder);
    fileDialogFilters.append(filter);
    fileDialogsWaited.append(true);
    fileDialogContexts.append(context);
    return fileLists.isEmpty() ? QStringList() : fileLists.dequeue();
}

QString FakeDialogs::saveFileName(const QString &title, const QString &folder,
                                  const QString &filter, const QString &, QObject *context)
{
    fileDialogTitles.append(title);
    fileDialogFolders.append(folder);
    fileDialogFilters.append(filter);
    fileDialogsWaited.append(true);
    fileDialogContexts.append(context);
    return files.isEmpty() ? QString() : files.dequeue();
}

QString FakeDialogs::chooseFolder(const QString &title, const QString &, QObject *context)
{
    fileDialogTitles.append(title);
    fileDialogsWaited.append(true);
    fileDialogContexts.append(context);
    return files.isEmpty() ? QString() : files.dequeue();
}
