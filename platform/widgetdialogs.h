#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <optional>

class QMessageBox;
class QWidget;

// Dialogs shown as Qt message boxes and file dialogs, each over the window
// its caller names; a caller without a window gets the main window.
class WidgetDialogs final : public Dialogs
{
public:
    explicit WidgetDialogs(QWidget *parent = nullptr);

    void setParent(QWidget *parent) { m_parent = parent; }

    MsgAnswer message(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                      QObject *context) override;
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
    void notify(const QString &text, const QString &title, MsgIcon icon, QObject *context) override;
    QString chooseFolder(const QString &title, const QString &folder, QObject *context) override;
    void beep() override;

    // The message box's button of an answer, and the answer of a button;
    // every answer has its button and back.
    static int standardButton(MsgAnswer answer); // a QMessageBox::StandardButton
    static std::optional<MsgAnswer> answerOf(int standardButton);
    // A message box as every dialog of the console shows it: the buttons of
    // the set, Enter on the first, Escape on the one that backs out, and
    // wide enough for its whole title.
    static QMessageBox *makeBox(MsgIcon icon, const QString &title, const QString &text,
                                MsgButtons buttons, QWidget *parent);
    // The answer of a finished box: the button pressed, or the escape answer
    // when the box was closed by its frame.
    static MsgAnswer answerOfBox(const QMessageBox *box, MsgButtons buttons);

private:
    struct Notice
    {
        QString text;
        QString title;
        MsgIcon icon = MsgIcon::None;
        QPointer<QWidget> window;
    };

    QWidget *windowOf(QObject *context) const;
    void showWaitingNotices();

    QPointer<QWidget> m_parent;
    QList<QPointer<QMessageBox>> m_notices; // notices on screen
    QList<Notice> m_waiting; // notices waiting for their window's box to close
    QObject m_connections; // ends the boxes' calls back when this goes
};
