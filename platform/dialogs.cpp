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

QString qtFileFilter(const QString &classicFilter)
{
    const QStringList parts = classicFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        filters.append(parts.at(i) + u" (" + patterns + u')');
    }
    if (parts.size() % 2 == 1 && !parts.last().isEmpty()) {
        // A lone pattern without a description.
        QString patterns = parts.last();
        patterns.replace(u';', u' ');
        filters.append(patterns);
    }
    return filters.join(u";;");
}

QString withDefaultSuffix(const QString &path, const QString &suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + u'.' + suffix;
}
