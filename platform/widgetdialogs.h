#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QPointer>

class QMessageBox;
class QWidget;

// Dialogs shown as Qt message boxes and file dialogs over a parent window.
class WidgetDialogs final : public Dialogs
{
public:
    explicit WidgetDialogs(QWidget *parent = nullptr);

    void setParent(QWidget *parent) { m_parent = parent; }

    MsgAnswer message(const QString &text, const QString &title, MsgIcon icon,
                      MsgButtons buttons) override;
    void ask(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
             QObject *context, std::function<void(MsgAnswer)> answered) override;
    QString openFileName(const QString &title, const QString &folder, const QString &filter,
                         const QString &fileName) override;
    void askOpenFileName(const QString &title, const QString &folder, const QString &filter,
                         const QString &fileName, QObject *context,
                         std::function<void(const QString &)> chosen) override;
    QStringList openFileNames(const QString &title, const QString &folder,
                              const QString &filter) override;
    QString saveFileName(const QString &title, const QString &folder, const QString &filter,
                         const QString &fileName) override;
    void notify(const QString &text, const QString &title, MsgIcon icon) override;
    QString chooseFolder(const QString &title, const QString &folder) override;
    void beep() override;

private:
    QWidget *commandWindow() const;
    QWidget *windowOf(QObject *context) const;

    QPointer<QWidget> m_parent;
    QList<QPointer<QMessageBox>> m_notices; // open notices, to show each once
};
