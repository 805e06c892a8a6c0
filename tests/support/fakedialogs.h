#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QPointer>
#include <QQueue>
#include <QStringList>

#include <memory>

// Records every message box and answers from a script; unscripted questions
// get the first button (Ok or Yes), unscripted file dialogs are cancelled.
// A scripted answer the box does not offer fails the test: the real box
// could never give it.
// A question asked without waiting (ask, askOpenFileName) takes its answer
// from the script when it is asked and gets it once the event loop runs, as
// from the quickest operator; with holdAnswers it waits until the test
// answers it.
class FakeDialogs final : public Dialogs
{
public:
    struct Shown
    {
        QString text;
        QString title;
        MsgIcon icon;
        MsgButtons buttons;
        bool waited = true; // false for a notice or a question asked without waiting
        QPointer<QObject> context; // the window it stands over; null for the main window
    };

    MsgAnswer message(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                      QObject *context) override;
    void notify(const QString &text, const QString &title, MsgIcon icon, QObject *context) override
    {
        shown.append({text, title, icon, MsgButtons::Ok, false, context});
    }
    void ask(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
             QObject *context, std::function<void(MsgAnswer)> answered) override;
    QString openFileName(const QString &title, const QString &folder, const QString &filter,
                         const QString &fileName, QObject *context) override;
    void askOpenFileName(const QString &title, const QString &folder, const QString &filter,
                         const QString &fileName, QObject *context,
                         std::function<void(const QString &)> chosen) override;
    QStringList openFileNames(const QString &title, const QString &folder, const QString &filter,
                              QObject *context) override;
    QString saveFileName(const QString &title, const QString &folder, const QString &filter,
                         const QString &fileName, QObject *context) override;
    QString chooseFolder(const QString &title, const QString &folder, QObject *context) override;
    void beep() override { ++beeps; }

    // Scripted answers to questions and file dialogs asked without waiting
    // that have not arrived yet.
    int answersUnderway() const { return *m_underway; }
    // Questions and file dialogs held for the test whose context lives.
    int held() const;
    // Answers the oldest held question (answer) or file dialog (path; empty
    // cancels) whose context lives, as the operator's click does; false when
    // none is held.
    bool answerHeld(MsgAnswer answer);
    bool chooseHeld(const QString &path);

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
    QList<QPointer<QObject>> fileDialogContexts; // one a file dialog: the window it stands over
    QList<bool> fileDialogsWaited; // one a file dialog: false when it did not wait
    int beeps = 0;
    // Questions and file dialogs asked without waiting wait for answerHeld()
    // and chooseHeld() instead of the script.
    bool holdAnswers = false;

private:
    struct Held
    {
        bool fileDialog = false;
        QPointer<QObject> context;
        bool guarded = false;
        std::function<void(MsgAnswer)> answered; // a question
        std::function<void(const QString &)> chosen; // a file dialog
    };
    MsgAnswer scriptedAnswer(MsgButtons buttons);
    bool takeHeld(bool fileDialog, Held *held);

    QList<Held> m_held;
    // Answers posted to the event loop; shared, so one that arrives after the
    // fake is gone counts nowhere.
    std::shared_ptr<int> m_underway = std::make_shared<int>(0);
};
