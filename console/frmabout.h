#pragma once

#include <QWidget>

class Dialogs;
class ProgramLauncher;

// The about box: the program's title, version and purpose, and a button that
// starts the system's information tool.
class frmAbout final : public QWidget
{
    Q_OBJECT
public:
    frmAbout(ProgramLauncher &launcher, Dialogs &dialogs, QWidget *parent = nullptr);

    // The information tools tried in turn.
    static QStringList systemInfoPrograms();

    void cmdSysInfo_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    ProgramLauncher &m_launcher;
    Dialogs &m_dialogs;
};
