#include "platform/widgetdialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

WidgetDialogs::WidgetDialogs(QWidget *parent)
    : m_parent(parent)
{
}

MsgAnswer WidgetDialogs::message(const QString &text, const QString &title, MsgIcon icon,
                                 MsgButtons buttons)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    default: return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
}

QString WidgetDialogs::openFileName(const QString &title, const QString &folder,
                                    const QString &filter, const QString &fileName)
{
    const QString start = fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
    return QFileDialog::getOpenFileName(m_parent, title, start, qtFileFilter(filter));
}

QString WidgetDialogs::saveFileName(const QString &title, const QString &folder,
                                    const QString &filter, const QString &fileName)
{
    const QString start = fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
    return QFileDialog::getSaveFileName(m_parent, title, start, qtFileFilter(filter));
}

QString WidgetDialogs::chooseFolder(const QString &title, const QString &folder)
{
    return QFileDialog::getExistingDirectory(m_parent, title, folder);
}

void WidgetDialogs::beep()
{
    QApplication::beep();
}
