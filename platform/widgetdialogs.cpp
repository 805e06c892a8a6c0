#include "platform/widgetdialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QMessageBox>

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
} // namespace

QWidget *WidgetDialogs::commandWindow() const
{
    // A command's question stands over the window the operator is working
    // in, not over the main window behind it.
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return m_parent;
}

MsgAnswer WidgetDialogs::message(const QString &text, const QString &title, MsgIcon icon,
                                 MsgButtons buttons)
{
    QMessageBox box(commandWindow());
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(boxIcon(icon));
    switch (buttons) {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
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
