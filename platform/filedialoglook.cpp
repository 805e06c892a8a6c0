#include "platform/filedialoglook.h"

#include "platform/elidedtext.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTreeView>

#include <array>

using namespace Qt::StringLiterals;

namespace {
// The columns of Qt's file system model.
enum Column { NameColumn = 0, SizeColumn = 1, TypeColumn = 2, DateColumn = 3 };

// Qt's file model writes dates and sizes in the desktop's language (the
// system locale, from LANG), not in the application's: "7 Dec 2026" beside
// Chinese captions. This writes them in the default locale, which the
// console sets to Chinese, and calls a folder a folder in Chinese.
class LocaleFileModel final : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || files == nullptr || index.column() == NameColumn)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        // Files are named by their kind in the default locale's language
        // already; Qt's translation misses the word for a folder.
        if (index.column() == TypeColumn)
            return files->isDir(source) ? u"文件夹"_s : QIdentityProxyModel::data(index, role);
        if (index.column() == DateColumn)
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        // Folders have no size of their own.
        if (files->isDir(source))
            return QString();
        return QLocale().formattedDataSize(files->size(source), 2,
                                           QLocale::DataSizeTraditionalFormat);
    }
};

// Room for a long file name, some thirty Chinese characters and the icon,
// and for a size, the kind of a file and a date and time.
constexpr std::array<int, 4> kColumnWidths {400, 90, 120, 150};
constexpr QSize kDialogSize(880, 540);
} // namespace

void prepareFileDialog(QFileDialog *dialog)
{
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setViewMode(QFileDialog::Detail);
    dialog->setProxyModel(new LocaleFileModel(dialog));
    dialog->resize(kDialogSize.boundedTo(kSmallestScreenRoom));
    // Qt restores the columns the last dialog had; the names get their room.
    if (auto *details = dialog->findChild<QTreeView *>(QStringLiteral("treeView"))) {
        for (int column = NameColumn; column <= DateColumn; ++column)
            details->header()->resizeSection(column, kColumnWidths.at(std::size_t(column)));
    }
}
