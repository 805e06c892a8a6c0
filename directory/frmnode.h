#pragma once

#include <QWidget>

#include <array>

class AppFolder;
class Dialogs;
class NodeDirectory;
class NodeListView;
class ProfileIni;
class QComboBox;
class QLineEdit;
class QPushButton;
class SavedFiles;

// "节点管理": the node directory (node.txt) and the eight group names. The
// directory and its rules live in NodeDirectory; the window maps its
// controls to it and tells the operator the outcome.
class frmnode final : public QWidget
{
    Q_OBJECT
public:
    // node.txt is in folder, the group names in configIni; a save is
    // announced to saved.
    frmnode(Dialogs &dialogs, const AppFolder &folder, const ProfileIni &configIni,
            SavedFiles &saved, QWidget *parent = nullptr);
    ~frmnode() override;

    const NodeDirectory &directory() const { return *m_directory; }

    void cmdnew_Click();
    void cmdadd_Click();
    void cmdmodify_Click();
    void cmddel_Click();
    // Returns whether everything was saved.
    bool cmdsave_Click();
    void lvwnode_ItemClick(int row);
    void lvwnode_ColumnClick(int column);
    void cmbstyle_Click(int index);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void fillGroupChoice();
    int chosenGroup() const;
    // The range check of the address field for a command; on failure the
    // operator is told and the field gets the focus back with its text selected.
    bool checkAddress();
    // The same check when the focus leaves the field, told without waiting.
    void txtnodeaddr_LostFocus();
    void takeBackAddress();
    void showError(const QString &text);
    // Puts the name the directory keeps for row into the name field.
    void showStoredName(int row);

    Dialogs &m_dialogs;
    SavedFiles &m_saved;
    NodeDirectory *m_directory;
    QString m_loadError; // told once, when the window is first shown
    bool m_complaining = false; // the address message is on screen
    bool m_updating = false; // our own changes of the list, not the operator's

    NodeListView *lvwnode = nullptr;
    QLineEdit *txtnodename = nullptr;
    QLineEdit *txtnodeaddr = nullptr;
    QComboBox *cmbnodegroup = nullptr;
    std::array<QLineEdit *, 9> txtGN {}; // [1..8]
    QComboBox *cmbstyle = nullptr;
    QPushButton *cmdnew = nullptr;
    QPushButton *cmdadd = nullptr;
    QPushButton *cmdmodify = nullptr;
    QPushButton *cmddel = nullptr;
    QPushButton *cmdsave = nullptr;
    QPushButton *cmdexit = nullptr;
};
