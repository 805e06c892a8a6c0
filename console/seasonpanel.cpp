#include "console/seasonpanel.h"

#include "platform/dialogs.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QPushButton *button(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(true);
    return b;
}
} // namespace

SeasonPanel::SeasonPanel(Dialogs &dialogs, const QString &weekFolder, QWidget *parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
    , m_weekFolder(weekFolder)
{
    setObjectName(QStringLiteral("seasonpanel"));
    auto *caption = new QLabel(
        QStringLiteral("季节作息（按星期工作时，当天所在日期范围的周播放文件代替默认文件；"
                       "多个范围包含同一天时，排在前面的有效）："),
        this);
    caption->setWordWrap(true);
    lstseasons = new QTableWidget(0, ColumnCount, this);
    lstseasons->setObjectName(QStringLiteral("lstseasons"));
    lstseasons->setAccessibleName(QStringLiteral("季节作息"));
    lstseasons->setHorizontalHeaderLabels({QStringLiteral("名称"), QStringLiteral("开始(月-日)"),
                                           QStringLiteral("结束(月-日)"),
                                           QStringLiteral("周播放文件")});
    lstseasons->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstseasons->setSelectionMode(QAbstractItemView::SingleSelection);
    lstseasons->verticalHeader()->hide();
    lstseasons->horizontalHeader()->setStretchLastSection(true);
    lstseasons->setTabKeyNavigation(false);
    lstseasons->setColumnWidth(NameColumn, 110);
    lstseasons->setColumnWidth(FromColumn, 90);
    lstseasons->setColumnWidth(ToColumn, 90);
    caption->setBuddy(lstseasons);

    cmdseasonadd = button(QStringLiteral("增加"), QStringLiteral("cmdseasonadd"), this);
    cmdseasondelete = button(QStringLiteral("删除"), QStringLiteral("cmdseasondelete"), this);
    cmdseasonup = button(QStringLiteral("上移"), QStringLiteral("cmdseasonup"), this);
    cmdseasondown = button(QStringLiteral("下移"), QStringLiteral("cmdseasondown"), this);
    cmdseasonfile = button(QStringLiteral("选择文件..."), QStringLiteral("cmdseasonfile"), this);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {cmdseasonadd, cmdseasondelete, cmdseasonup, cmdseasondown})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(cmdseasonfile);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption);
    layout->addWidget(lstseasons, 1);
    layout->addLayout(buttons);

    connect(cmdseasonadd, &QPushButton::clicked, this, [this] {
        addRow({QStringLiteral("新作息"), QStringLiteral("01-01"), QStringLiteral("12-31"), {}});
        lstseasons->setCurrentCell(lstseasons->rowCount() - 1, NameColumn);
        lstseasons->setFocus();
        enableButtons();
    });
    connect(cmdseasondelete, &QPushButton::clicked, this, [this] {
        if (lstseasons->currentRow() >= 0)
            lstseasons->removeRow(lstseasons->currentRow());
        enableButtons();
    });
    connect(cmdseasonup, &QPushButton::clicked, this, [this] { moveCurrent(-1); });
    connect(cmdseasondown, &QPushButton::clicked, this, [this] { moveCurrent(1); });
    connect(cmdseasonfile, &QPushButton::clicked, this, &SeasonPanel::chooseFile);
    connect(lstseasons, &QTableWidget::currentCellChanged, this, &SeasonPanel::enableButtons);
    enableButtons();
}

void SeasonPanel::setRanges(const QList<SeasonRange> &ranges)
{
    lstseasons->setRowCount(0);
    for (const SeasonRange &range : ranges)
        addRow(range);
    enableButtons();
}

void SeasonPanel::addRow(const SeasonRange &range)
{
    const int row = lstseasons->rowCount();
    lstseasons->insertRow(row);
    lstseasons->setItem(row, NameColumn, new QTableWidgetItem(range.name));
    lstseasons->setItem(row, FromColumn, new QTableWidgetItem(range.from));
    lstseasons->setItem(row, ToColumn, new QTableWidgetItem(range.to));
    // The file is chosen, never typed: the cell shows its name and keeps
    // the whole path.
    auto *file = new QTableWidgetItem(QFileInfo(range.weekFile).fileName());
    file->setData(Qt::UserRole, range.weekFile);
    file->setToolTip(range.weekFile);
    file->setFlags(file->flags() & ~Qt::ItemIsEditable);
    lstseasons->setItem(row, FileColumn, file);
}

SeasonRange SeasonPanel::rangeAt(int row) const
{
    const auto text = [this, row](int column) {
        const QTableWidgetItem *item = lstseasons->item(row, column);
        return item ? item->text().trimmed() : QString();
    };
    const QTableWidgetItem *file = lstseasons->item(row, FileColumn);
    return {text(NameColumn), text(FromColumn), text(ToColumn),
            file ? file->data(Qt::UserRole).toString() : QString()};
}

QList<SeasonRange> SeasonPanel::ranges() const
{
    QList<SeasonRange> list;
    for (int row = 0; row < lstseasons->rowCount(); ++row) {
        const SeasonRange range = rangeAt(row);
        if (range.name.isEmpty() && range.weekFile.isEmpty())
            continue;
        list.append(range);
    }
    return list;
}

QString SeasonPanel::problem() const
{
    if (lstseasons->rowCount() > SeasonTimetables::MaxRanges)
        return QStringLiteral("季节作息最多 %1 项").arg(SeasonTimetables::MaxRanges);
    for (int row = 0; row < lstseasons->rowCount(); ++row) {
        const SeasonRange range = rangeAt(row);
        if (range.name.isEmpty() && range.weekFile.isEmpty())
            continue;
        if (const QString problem = SeasonTimetables::problemOf(range); !problem.isEmpty())
            return QStringLiteral("季节作息第 %1 行：%2").arg(row + 1).arg(problem);
    }
    return {};
}

void SeasonPanel::moveCurrent(int by)
{
    const int row = lstseasons->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= lstseasons->rowCount())
        return;
    for (int column = 0; column < ColumnCount; ++column) {
        QTableWidgetItem *a = lstseasons->takeItem(row, column);
        QTableWidgetItem *b = lstseasons->takeItem(to, column);
        lstseasons->setItem(row, column, b);
        lstseasons->setItem(to, column, a);
    }
    lstseasons->setCurrentCell(to, lstseasons->currentColumn());
}

void SeasonPanel::chooseFile()
{
    const int row = lstseasons->currentRow();
    if (row < 0)
        return;
    const QString path
        = m_dialogs.openFileName(QStringLiteral("选择季节作息的周播放文件"), m_weekFolder,
                                 QStringLiteral("星期播放文件(*.txt)|*.txt"), QString(), this);
    if (path.isEmpty())
        return;
    QTableWidgetItem *file = lstseasons->item(row, FileColumn);
    file->setText(QFileInfo(path).fileName());
    file->setData(Qt::UserRole, path);
    file->setToolTip(path);
}

void SeasonPanel::enableButtons()
{
    const int row = lstseasons->currentRow();
    const int count = lstseasons->rowCount();
    cmdseasonadd->setEnabled(count < SeasonTimetables::MaxRanges);
    cmdseasondelete->setEnabled(row >= 0);
    cmdseasonup->setEnabled(row > 0);
    cmdseasondown->setEnabled(row >= 0 && row + 1 < count);
    cmdseasonfile->setEnabled(row >= 0);
}
