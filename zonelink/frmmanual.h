#pragma once

#include "zonelink/manualcontrol.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class AppFolder;
class ConsoleSettings;
class Dialogs;
class ZoneLink;
class QCheckBox;
class QLabel;
class QListView;
class QPushButton;
class QSlider;
class QTabWidget;

// "播放控制中心": terminals, amplifiers and devices switched by hand per channel.
class frmmanual final : public QWidget
{
    Q_OBJECT
public:
    // What the window works with.
    struct Services
    {
        ZoneLink &link;
        Dialogs &dialogs;
        const AppFolder &folder; // node.txt and amp_name.dat
        const ConsoleSettings &settings; // the channels' frequencies
        // The program is ending: frames dropped then are nobody's news.
        std::function<bool()> programEnding;
    };

    explicit frmmanual(const Services &services, QWidget *parent = nullptr);
    ~frmmanual() override;

    const ManualControl &control() const { return *m_control; }

    void cmdadd_selected_Click();
    void cmdaddall_Click();
    void cmddel_selected_Click();
    void cmddelall_Click();
    void cmdok_Click();
    void cmdallok_Click();
    void cmdvol_Click();
    void chkgrp_Click(int index);

    static QString portClosedText();
    static QString title();
    // What the operator is told of commands that did not reach the controller;
    // closing: the window was being closed when they were sent.
    static QString unsentText(const QStringList &commands, bool portOpen, bool closing);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct ListRole
    {
        bool source = false;
        ManualControl::ListKind kind = ManualControl::NoList;
    };

    void fillLists();
    void buildControls();
    void fitListsToNames();
    void setListWidths(const std::array<int, 3> &widths);
    QListView *makeList(const QString &name, ManualItemList *model, QItemSelectionModel *selection,
                        ListRole role, QWidget *parent);
    void listUsed(ListRole role);
    void listDoubleClicked(ListRole role);
    // Whether frames can go out now; says so when they cannot.
    bool portReady();
    int currentTab() const;
    void confirmTab(int tab);
    void showUnsent(const QStringList &commands);
    // The notice stands over window, or over the main window once this one
    // is closing.
    static void notifyUnsent(const Services &services, const QStringList &commands, bool closing,
                             QObject *window);
    // The window is deleted on closing while its closing frames still go
    // out: the control stays with the link until they are out.
    void handOverClosing();

    Services m_s;
    QPointer<ManualControl> m_control; // a child, until handed over on closing
    QHash<const QObject *, ListRole> m_listRoles;
    QString m_loadProblems; // told once, over the window
    bool m_waiting = false; // "全部确定" shows the wait cursor until its frames are out
    bool m_closing = false; // closed, and not shown again since

    QTabWidget *SSTabprog;
    std::array<QListView *, ManualControl::TabCount> lstdamp {};
    std::array<QListView *, ManualControl::TabCount> lstddevice {};
    std::array<QListView *, ManualControl::TabCount> lstdnode {};
    QListView *lstsamp;
    QListView *lstsdevice;
    QListView *lstsnode;
    std::array<QCheckBox *, ManualControl::GroupCount> chkgrp {};
    QSlider *sldvol;
    QLabel *lblvolvalue;
    QPushButton *cmdadd_selected;
    QPushButton *cmdaddall;
    QPushButton *cmddel_selected;
    QPushButton *cmddelall;
    QPushButton *cmdok;
    QPushButton *cmdallok;
    QPushButton *cmdvol;
    QPushButton *cmdexit;
};
