#pragma once

#include <QWidget>

#include <array>
#include <memory>

class AppFolder;
class ConsoleSettings;
class QAction;
class QCheckBox;
class QListWidget;
class QMenu;
class QPushButton;
class QTreeWidget;
class TargetSelection;

// The schedule editor's target controls: the frames "分区控制" (the node list
// lvwnode, the target list lstnode, the buttons and the group menu), "功  放"
// (chkamp_1..8) and "外  设" (chkdevice_1..8 and the button "外  设").
// The choice itself lives in TargetSelection; the controls show it.
class EntryTargetsPanel final : public QWidget
{
    Q_OBJECT
public:
    // node.txt and amp_name.dat are in folder; the groups' names come
    // from the settings.
    EntryTargetsPanel(const AppFolder &folder, const ConsoleSettings &settings,
                      QWidget *parent = nullptr);
    ~EntryTargetsPanel() override;

    // The zone, amp and device fields of an entry, as DotLists.
    QString BuildZoneField() const;
    QString BuildAmpField() const;
    QString BuildDeviceField() const;
    // A clicked row's targets shown in the controls.
    void loadTargets(const QString &zone, const QString &amp, const QString &device);

    void cmdaddallnode_Click();
    void cmdaddselectednode_Click();
    void cmddelallnode_Click();
    void cmddelselectednode_Click();
    void cmdGroup_Click();
    // Group menu entry k (0..7): the nodes of group k + 1.
    void mnugrp_Click(int k);

Q_SIGNALS:
    // "外  设": the entry is to become a peripheral-only entry.
    void peripheralOnlyRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void fillNodeList();
    void fillCaptions();
    // lstnode from the chosen targets.
    void showTargets();
    void showBoxes();

    const AppFolder &m_folder;
    const ConsoleSettings &m_settings;
    std::unique_ptr<TargetSelection> m_selection;

    QTreeWidget *lvwnode = nullptr;
    QListWidget *lstnode = nullptr;
    QPushButton *cmdaddallnode = nullptr;
    QPushButton *cmdaddselectednode = nullptr;
    QPushButton *cmddelallnode = nullptr;
    QPushButton *cmddelselectednode = nullptr;
    QPushButton *cmdGroup = nullptr;
    QPushButton *cmddevice = nullptr;
    std::array<QCheckBox *, 9> chkamp {}; // [1..8]
    std::array<QCheckBox *, 9> chkdevice {}; // [1..8]
    QMenu *mnugroup = nullptr;
    std::array<QAction *, 8> mnugrp {}; // [0..7]
};
