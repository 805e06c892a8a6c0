#pragma once

#include "console/seasontimetables.h"

#include <QWidget>

class Dialogs;
class QPushButton;
class QTableWidget;

// The list of seasonal timetables in the settings dialog: one row per date
// range (名称, 开始, 结束, 周播放文件), edited in place, the week file chosen
// with a file dialog. The first range holding a day wins, so the order can
// be changed.
class SeasonPanel final : public QWidget
{
    Q_OBJECT
public:
    SeasonPanel(Dialogs &dialogs, const QString &weekFolder, QWidget *parent = nullptr);

    void setRanges(const QList<SeasonRange> &ranges);
    // The rows as they stand, the blank ones left out.
    QList<SeasonRange> ranges() const;
    // What keeps the rows from being used ("第 2 行：…"), empty when none.
    QString problem() const;

    QTableWidget *table() const { return lstseasons; }

private:
    enum Column { NameColumn, FromColumn, ToColumn, FileColumn, ColumnCount };
    void addRow(const SeasonRange &range);
    void moveCurrent(int by);
    void chooseFile();
    void enableButtons();
    SeasonRange rangeAt(int row) const;

    Dialogs &m_dialogs;
    QString m_weekFolder;
    QTableWidget *lstseasons;
    QPushButton *cmdseasonadd;
    QPushButton *cmdseasondelete;
    QPushButton *cmdseasonup;
    QPushButton *cmdseasondown;
    QPushButton *cmdseasonfile;
};
