#include "platform/folderdialog.h"

#include "platform/elidedtext.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

FolderDialog::FolderDialog(const QString &prompt, const QString &startFolder, QWidget *parent)
    : QDialog(parent)
    , m_prompt(new QLabel(prompt, this))
    , m_tree(new QTreeView(this))
    , m_folders(new QFileSystemModel(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(u"FolderDialog"_s);
    setWindowTitle(u"浏览文件夹"_s);
    m_prompt->setObjectName(u"lblprompt"_s);
    m_prompt->setWordWrap(true);
    m_prompt->setBuddy(m_tree);

    // Folders of the file system only, as the operator can play them.
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_folders->setReadOnly(true);
    m_folders->setRootPath(QDir::rootPath());
    m_tree->setObjectName(u"tvwfolders"_s);
    m_tree->setAccessibleName(u"tvwfolders"_s);
    m_tree->setModel(m_folders);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        m_tree->hideColumn(column);
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    elideItems(m_tree);

    const QString start
        = QDir(startFolder.isEmpty() ? QDir::homePath() : startFolder).absolutePath();
    const QModelIndex startIndex = m_folders->index(start);
    if (startIndex.isValid()) {
        m_tree->setCurrentIndex(startIndex);
        m_tree->expand(startIndex);
        m_tree->scrollTo(startIndex, QAbstractItemView::PositionAtCenter);
    }
    // The folders load and are sorted in the background, moving the rows;
    // the start folder is kept in sight until the operator moves on.
    const auto keepStartInSight = [this] {
        if (m_followStart && m_tree->currentIndex().isValid())
            m_tree->scrollTo(m_tree->currentIndex(), QAbstractItemView::PositionAtCenter);
    };
    connect(m_folders, &QFileSystemModel::directoryLoaded, this, keepStartInSight);
    connect(m_folders, &QAbstractItemModel::layoutChanged, this, keepStartInSight);
    connect(m_tree->verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { m_followStart = false; });

    QPushButton *ok = m_buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(m_tree->currentIndex().isValid());
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this, ok](const QModelIndex &current) {
                ok->setEnabled(current.isValid());
                m_followStart = false;
            });
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_buttons);
    resize(QSize(440, 480).boundedTo(kSmallestScreenRoom));
    m_tree->setFocus();
}

QString FolderDialog::selectedFolder() const
{
    const QModelIndex current = m_tree->currentIndex();
    return current.isValid() ? QDir::cleanPath(m_folders->filePath(current)) : QString();
}

QString chooseFolderWithPrompt(QWidget *parent, const QString &prompt, const QString &startFolder)
{
    FolderDialog dialog(prompt, startFolder, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFolder() : QString();
}
