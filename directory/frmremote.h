#pragma once

#include "directory/remoteplaylist.h"

#include <QWidget>

class AppFolder;
class Dialogs;
class QLabel;
class QListWidget;
class QPushButton;
class SavedFiles;

// "编辑远程控制播放列表": the remote-control play list (rem_list.txt).
class frmremote final : public QWidget
{
    Q_OBJECT
public:
    // rem_list.txt is in folder; a save is announced to saved.
    frmremote(Dialogs &dialogs, const AppFolder &folder, SavedFiles &saved,
              QWidget *parent = nullptr);

    // The list as edited so far, modified flag included.
    const RemotePlaylist &playlist() const { return m_list; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void cmdadd_Click();
    void cmddel_Click();
    void cmdup_Click();
    void cmddown_Click();
    void cmdsave_Click();
    void showLoadFailure(const QString &error);
    // Puts the entries and the selection of m_list into lstplaylist.
    void showList();
    void listSelectionChanged();
    // Saves without a confirmation; false (after telling the operator why)
    // when nothing was written.
    bool saveList();

    Dialogs &m_dialogs;
    const AppFolder &m_folder;
    SavedFiles &m_saved;
    RemotePlaylist m_list;
    QLabel *lblnote = nullptr;
    QListWidget *lstplaylist = nullptr;
    QPushButton *cmdadd = nullptr;
    QPushButton *cmddel = nullptr;
    QPushButton *cmdup = nullptr;
    QPushButton *cmddown = nullptr;
    QPushButton *cmdsave = nullptr;
    QPushButton *cmdexit = nullptr;
};
