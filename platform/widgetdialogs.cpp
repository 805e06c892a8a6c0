#include "platform/widgetdialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointer>

Q_LOGGING_CATEGORY(lcDialogs, "quellon.dialogs")

WidgetDialogs::WidgetDialogs(QWidget *parent)
    : m_parent(parent)
{
}

namespace {
QMessageBox::Icon boxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons standardButtons(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return QMessageBox::Ok;
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

MsgAnswer answerOf(QMessageBox::StandardButton button, MsgButtons buttons)
{
    switch (button) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    default:
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
}
} // namespace

QWidget *WidgetDialogs::commandWindow() const
{
    // A command's question stands over the window the operator is working
    // in, not over the main window behind it.
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return m_parent;
}

QWidget *WidgetDialogs::windowOf(QObject *context) const
{
    // A question stands over the window it concerns.
    if (auto *widget = qobject_cast<QWidget *>(context))
        return widget->window();
    return commandWindow();
}

MsgAnswer WidgetDialogs::message(const QString &text, const QString &title, MsgIcon icon,
                                 MsgButtons buttons)
{
    QMessageBox box(boxIcon(icon), title, text, standardButtons(buttons), commandWindow());
    return answerOf(QMessageBox::StandardButton(box.exec()), buttons);
}

void WidgetDialogs::ask(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                        QObject *context, std::function<void(MsgAnswer)> answered)
{
    qCInfo(lcDialogs) << "question:" << title << "-" << text;
    auto *box
        = new QMessageBox(boxIcon(icon), title, text, standardButtons(buttons), windowOf(context));
    box->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    if (guarded)
        QObject::connect(context, &QObject::destroyed, box, &QObject::deleteLater);
    // The button the operator pressed, not the dialog's result code: closing
    // the box by its frame counts as its escape button, as exec() has it.
    QObject::connect(box, &QDialog::finished, box,
                     [box, buttons, guard, guarded, answered = std::move(answered)] {
                         const MsgAnswer answer
                             = answerOf(box->standardButton(box->clickedButton()), buttons);
                         if ((!guarded || guard) && answered)
                             answered(answer);
                     });
    // open(), not exec(): no nested event loop; modal to its window only.
    box->open();
}

void WidgetDialogs::notify(const QString &text, const QString &title, MsgIcon icon)
{
    qCInfo(lcDialogs) << "notice:" << title << "-" << text;
    m_notices.removeAll(nullptr);
    for (const QPointer<QMessageBox> &open : std::as_const(m_notices)) {
        // A box the operator closed lingers until deleted; it no longer counts.
        if (open->isVisible() && open->text() == text && open->windowTitle() == title)
            return;
    }
    // open(), not exec(): no nested event loop, so timers and the link go on
    // and the end of the day can still end the program. The box is modal to
    // its window only, and returns at once.
    auto *box = new QMessageBox(boxIcon(icon), title, text, QMessageBox::Ok, m_parent);
    box->setObjectName(QStringLiteral("notice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_notices.append(box);
    box->open();
}

QString WidgetDialogs::openFileName(const QString &title, const QString &folder,
                                    const QString &filter, const QString &fileName)
{
    const QString start = fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
    return QFileDialog::getOpenFileName(commandWindow(), title, start, qtFileFilter(filter));
}

void WidgetDialogs::askOpenFileName(const QString &title, const QString &folder,
                                    const QString &filter, const QString &fileName,
                                    QObject *context, std::function<void(const QString &)> chosen)
{
    const QString start = fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
    auto *dialog = new QFileDialog(windowOf(context), title, start, qtFileFilter(filter));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    const QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    if (guarded)
        QObject::connect(context, &QObject::destroyed, dialog, &QObject::deleteLater);
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, guard, guarded, chosen = std::move(chosen)](int result) {
                         const QString path = result == QDialog::Accepted
                             ? dialog->selectedFiles().value(0)
                             : QString();
                         if ((!guarded || guard) && chosen)
                             chosen(path);
                     });
    dialog->open();
}

QStringList WidgetDialogs::openFileNames(const QString &title, const QString &folder,
                                         const QString &filter)
{
    return QFileDialog::getOpenFileNames(commandWindow(), title, folder, qtFileFilter(filter));
}

QString WidgetDialogs::saveFileName(const QString &title, const QString &folder,
                                    const QString &filter, const QString &fileName)
{
    const QString start = fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
    return QFileDialog::getSaveFileName(commandWindow(), title, start, qtFileFilter(filter));
}

QString WidgetDialogs::chooseFolder(const QString &title, const QString &folder)
{
    return QFileDialog::getExistingDirectory(commandWindow(), title, folder);
}

void WidgetDialogs::beep()
{
    QApplication::beep();
}
