#pragma once

#include "directory/sourcenames.h"

#include <QWidget>

#include <array>

class AppFolder;
class Dialogs;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class SavedFiles;

// "节目源及外设名称设置": amplifier and device names, source frequencies
// (amp_name.dat) and the device lead times.
class frmsource final : public QWidget
{
    Q_OBJECT
public:
    // amp_name.dat and config.ini are in folder; a save is announced to saved.
    frmsource(Dialogs &dialogs, const AppFolder &folder, SavedFiles &saved,
              QWidget *parent = nullptr);
    ~frmsource() override;

    // "保 存". Returns true when both files were written.
    bool cmdsave_Click();
    // "退 出": asks before changes are dropped.
    void cmdquit_Click();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_loadToldOnce = false;
    void buildControls();
    void showFields();
    void fitNames();
    void followFields();
    void orderTabs();
    QLineEdit *lineEdit(SourceNames::Field field) const;
    void checkFrequencyRange(int n);

    Dialogs &m_dialogs;
    SavedFiles &m_saved;
    SourceNames m_names;
    // The source whose frequency is out of range, from leaving its field
    // until the operator closed its message; no other field is checked and
    // no button acts meanwhile.
    int m_rangeComplaint = 0;

    QGroupBox *fraamp = nullptr;
    QGroupBox *fradevice = nullptr;
    QGroupBox *frafreq = nullptr;
    std::array<QLineEdit *, SourceNames::kCount> txtamp {};
    std::array<QLineEdit *, SourceNames::kCount> txtdevice {};
    std::array<QTimeEdit *, SourceNames::kCount> DTP_ahead {};
    std::array<QLineEdit *, SourceNames::kCount> txtfreq {};
    QPushButton *cmdsave = nullptr;
    QPushButton *cmdquit = nullptr;
};
