#pragma once

#include <QString>
#include <QStringView>

// Times of day and lengths are held as "hh:mm:ss" texts.
namespace TimeText {

// Seconds of the day of "hh:mm:ss" (also "h:m:s" and "hh:mm"); -1 when the
// text is not a time of day.
int seconds(const QString &text);
// Whether the text is a time of day exactly as fromSeconds writes it: eight
// characters "hh:mm:ss", no blanks. The scheduler compares start times as
// such texts, so only this form is a start time.
bool isClockText(QStringView text);
// "hh:mm:ss" of a number of seconds, taken modulo one day.
QString fromSeconds(int seconds);
// The text rewritten with two digits per field, or fallback when it is not a time.
QString normalized(const QString &text, const QString &fallback);

} // namespace TimeText

// The scheduler's arithmetic on "hh:mm:ss" texts.
// TimeValue: seconds of the day; -1 when the text is no time of day.
int TimeValue(const QString &text);
// ClockText: "hh:mm:ss" of a signed number of seconds. A value of 0 or more is
// taken modulo one day (23:59:58 plus 5 s is 00:00:03); a negative value is
// replaced by its absolute value (00:00:03 minus 5 s is 00:00:02).
QString ClockText(int seconds);
