#pragma once

#include <QDateTimeEdit>
#include <QTimeEdit>

// A time of day picker ("HH:mm:ss") that is one stop in the Tab order, as
// every other field: Tab leaves it, and the arrow keys, the mouse and ":"
// move between its hours, minutes and seconds.
//
// It may also hold no time at all, shown as "--:--:--": a time that was
// neither read from a device nor chosen by the operator must not look like
// one. Any edit by the operator, and any time set on it, gives it a time.
class TimePicker final : public QTimeEdit
{
    Q_OBJECT
public:
    explicit TimePicker(QWidget *parent = nullptr);
    explicit TimePicker(const QTime &time, QWidget *parent = nullptr);

    // What the picker shows while it holds no time.
    static QString unsetText();

    // Shows "--:--:--" until a time is set.
    void unset();
    bool isSet() const { return m_set; }
    // Sets a time, even the one it already holds while it shows no time.
    void setKnownTime(const QTime &time);

    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void becomeSet();

    bool m_set = true;
    bool m_unsetting = false;
};

// A date and time picker that is one stop in the Tab order; the arrow keys
// and the mouse move between its parts.
class DateTimePicker final : public QDateTimeEdit
{
    Q_OBJECT
public:
    using QDateTimeEdit::QDateTimeEdit;

protected:
    bool focusNextPrevChild(bool next) override;
};
