#include "platform/timepicker.h"

#include <QKeyEvent>

TimePicker::TimePicker(QWidget *parent)
    : TimePicker(QTime(0, 0), parent)
{
}

TimePicker::TimePicker(const QTime &time, QWidget *parent)
    : QTimeEdit(time, parent)
{
    setDisplayFormat(QStringLiteral("HH:mm:ss"));
    // A time given by whatever means (a reading, a program, the operator) is a time.
    connect(this, &QTimeEdit::timeChanged, this, [this] {
        if (!m_unsetting)
            becomeSet();
    });
}

QString TimePicker::unsetText()
{
    return QStringLiteral("--:--:--");
}

void TimePicker::unset()
{
    // The spin box shows its special text while it stands at its minimum.
    m_unsetting = true;
    m_set = false;
    setSpecialValueText(unsetText());
    setTime(minimumTime());
    m_unsetting = false;
}

void TimePicker::setKnownTime(const QTime &time)
{
    becomeSet();
    setTime(time);
}

void TimePicker::becomeSet()
{
    if (m_set)
        return;
    m_set = true;
    setSpecialValueText(QString());
    setSelectedSection(HourSection);
}

void TimePicker::stepBy(int steps)
{
    // The first step from no time, up or down, starts at the beginning of the day.
    if (!m_set) {
        becomeSet();
        return;
    }
    QTimeEdit::stepBy(steps);
}

QAbstractSpinBox::StepEnabled TimePicker::stepEnabled() const
{
    // No time stands at the minimum, from where a step down would be refused.
    if (!m_set)
        return StepUpEnabled | StepDownEnabled;
    return QTimeEdit::stepEnabled();
}

void TimePicker::keyPressEvent(QKeyEvent *event)
{
    if (!m_set) {
        const QString typed = event->text();
        // Typing a digit into "--:--:--" starts a time; erasing it leaves it
        // without one.
        if (typed.size() == 1 && typed.at(0).isDigit()) {
            becomeSet();
        } else if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) {
            event->accept();
            return;
        }
    }
    QTimeEdit::keyPressEvent(event);
}

bool TimePicker::focusNextPrevChild(bool next)
{
    // The time edit would step through its sections first.
    return QWidget::focusNextPrevChild(next);
}

bool DateTimePicker::focusNextPrevChild(bool next)
{
    return QWidget::focusNextPrevChild(next);
}
