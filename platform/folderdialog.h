#pragma once

#include <QDialog>

class QDialogButtonBox;
class QFileSystemModel;
class QLabel;
class QTreeView;

// The folder choice of the schedule editor's "顺序播" and "随机播": the
// prompt above a tree of the file system's folders (files are not shown),
// 确定 and 取消 below it.
class FolderDialog : public QDialog
{
    Q_OBJECT
public:
    FolderDialog(const QString &prompt, const QString &startFolder, QWidget *parent = nullptr);

    // The folder chosen in the tree, empty while none is.
    QString selectedFolder() const;

private:
    QLabel *m_prompt;
    QTreeView *m_tree;
    QFileSystemModel *m_folders;
    QDialogButtonBox *m_buttons;
    bool m_followStart = true; // until the operator scrolls or chooses
};

// Shows a FolderDialog over parent and waits for it: the chosen folder's
// full path, or empty when the operator cancelled. startFolder empty
// starts at the home folder. Only for a command of the operator's: it runs
// the dialog's own event loop.
QString chooseFolderWithPrompt(QWidget *parent, const QString &prompt, const QString &startFolder);
