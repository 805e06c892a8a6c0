#pragma once

#include <QWidget>

class AsRunLog;
class AsRunLogModel;
class Clock;
class DateTimePicker;
class Dialogs;
class QComboBox;
class QDate;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

// The as-run log of a day, newest line first: a day picker, a filter by kind
// and by text, export of the lines shown. Today's lines appear as they are
// written, and today stays shown past midnight.
class frmasrunlog final : public QWidget
{
    Q_OBJECT
public:
    frmasrunlog(AsRunLog &log, const Clock &clock, Dialogs &dialogs, QWidget *parent = nullptr);
    ~frmasrunlog() override;

    AsRunLogModel &model() { return *m_model; }
    // Shows the day (as the picker does).
    void showDay(const QDate &day);

    void cmdexport_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void fillKinds();
    void showCount();

    const Clock &m_clock;
    Dialogs &m_dialogs;
    AsRunLogModel *m_model;
    bool m_followsToday = false; // the day shown was today when it was picked
    int m_topRowBeforeInsert = -1; // the row at the top of a list scrolled down

    DateTimePicker *dtpday = nullptr;
    QPushButton *cmdprevday = nullptr;
    QPushButton *cmdnextday = nullptr;
    QComboBox *cbokind = nullptr;
    QLineEdit *txtfind = nullptr;
    QTreeView *lvwlog = nullptr;
    QLabel *lblcount = nullptr;
    QPushButton *cmdexport = nullptr;
    QPushButton *cmdclose = nullptr;
};
