#include "platform/dialogs.h"

#include <QFileInfo>
#include <QStringList>

Dialogs::~Dialogs() = default;

QList<MsgAnswer> offeredAnswers(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return {MsgAnswer::Ok};
    case MsgButtons::OkCancel:
        return {MsgAnswer::Ok, MsgAnswer::Cancel};
    case MsgButtons::YesNo:
        return {MsgAnswer::Yes, MsgAnswer::No};
    case MsgButtons::YesNoCancel:
        return {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Cancel};
    case MsgButtons::RetryCancel:
        return {MsgAnswer::Retry, MsgAnswer::Cancel};
    case MsgButtons::AbortRetryIgnore:
        return {MsgAnswer::Abort, MsgAnswer::Retry, MsgAnswer::Ignore};
    case MsgButtons::SaveDiscardCancel:
        return {MsgAnswer::Save, MsgAnswer::Discard, MsgAnswer::Cancel};
    case MsgButtons::Close:
        return {MsgAnswer::Close};
    }
    return {MsgAnswer::Ok};
}

MsgAnswer defaultAnswer(MsgButtons buttons)
{
    return offeredAnswers(buttons).constFirst();
}

MsgAnswer escapeAnswer(MsgButtons buttons)
{
    // Backing out of a box: Cancel where there is one, else the answer that
    // does nothing (No, Abort), else the only button.
    const QList<MsgAnswer> offered = offeredAnswers(buttons);
    for (MsgAnswer answer : {MsgAnswer::Cancel, MsgAnswer::No, MsgAnswer::Abort}) {
        if (offered.contains(answer))
            return answer;
    }
    return offered.constFirst();
}
namespace {
// "*.mp3;*.wav;" as a list of patterns, blanks and empty ones left out.
QStringList patternList(const QString &patterns)
{
    QStringList list;
    for (const QString &pattern : patterns.split(u';')) {
        if (!pattern.trimmed().isEmpty())
            list.append(pattern.trimmed());
    }
    return list;
}

bool samePatterns(QStringList a, QStringList b)
{
    a.sort();
    b.sort();
    return !a.isEmpty() && a == b;
}

// One filter as Qt's file dialog takes it: a description, then the patterns
// in brackets separated by spaces. Qt shows the filter as it is written, so a
// description that already says its patterns does not get them twice.
QString qtFilter(const QString &description, const QString &patterns)
{
    const QStringList wanted = patternList(patterns);
    // The description is the patterns themselves ("*.jpg;*.bmp"): Qt reads
    // a filter without brackets as its patterns.
    const QStringList described = patternList(description);
    if (samePatterns(described, wanted))
        return described.join(u' ');
    // It ends with them in brackets ("播放列表文件(*.txt)").
    const qsizetype open = description.lastIndexOf(u'(');
    if (open >= 0 && description.trimmed().endsWith(u')')) {
        const QString inside = description.trimmed().sliced(open + 1).chopped(1);
        if (samePatterns(patternList(inside), wanted))
            return description.left(open) + u'(' + patternList(inside).join(u' ') + u')';
    }
    return description + u" (" + wanted.join(u' ') + u')';
}
} // namespace

QString qtFileFilter(const QString &classicFilter)
{
    const QStringList parts = classicFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(qtFilter(parts.at(i), parts.at(i + 1)));
    if (parts.size() % 2 == 1 && !parts.last().isEmpty()) {
        // A lone pattern without a description.
        filters.append(patternList(parts.last()).join(u' '));
    }
    return filters.join(u";;");
}

QString withDefaultSuffix(const QString &path, const QString &suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + u'.' + suffix;
}
