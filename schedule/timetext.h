#pragma once

#include <QString>

// Times of day and lengths are held as "hh:mm:ss" texts.
namespace TimeText {

// Seconds of the day of "hh:mm:ss" (also "h:m:s" and "hh:mm"); -1 when the
// text is not a time of day.
int seconds(const QString &text);
// "hh:mm:ss" of a number of seconds, taken modulo one day.
QString fromSeconds(int seconds);
// The text rewritten with two digits per field, or fallback when it is not a time.
QString normalized(const QString &text, const QString &fallback);

} // namespace TimeText
