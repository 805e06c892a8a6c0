#pragma once

#include <QStackedWidget>

class QAbstractItemModel;
class QAbstractItemView;
class QIcon;
class QItemSelectionModel;
class QListView;
class QTreeView;

// The terminal icon of the node list ("speaker"), drawn at 32 and 16 pixels.
QIcon speakerIcon();

// The node list `lvwnode` in the four views of the classic list control:
// large icons, small icons, list and report (the columns). Icons and list
// are one QListView laid out three ways, the report a QTreeView; both show
// the same model through one selection, so the current node and the
// selected nodes stay the same whichever view is shown.
class NodeListView final : public QStackedWidget
{
    Q_OBJECT
public:
    enum View { LargeIcons, SmallIcons, List, Report };

    explicit NodeListView(QAbstractItemModel *model, QWidget *parent = nullptr);

    void setView(int view);
    int view() const { return m_view; }
    QAbstractItemView *currentView() const;
    QListView *iconView() const { return m_icons; }
    QTreeView *reportView() const { return m_report; }
    QItemSelectionModel *selectionModel() const;

    // The current node: the focused item when it is also selected; -1 else.
    int currentRow() const;
    void clearCurrent();
    void scrollToRow(int row);

Q_SIGNALS:
    // The operator clicked a node or moved to it with the keyboard.
    void itemClicked(int row);
    // The operator clicked a column header of the report.
    void columnClicked(int column);

private:
    QAbstractItemModel *m_model; // the node model with the icon added
    QListView *m_icons;
    QTreeView *m_report;
    int m_view = LargeIcons;
};
