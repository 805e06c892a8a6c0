#include "console/asrunlogmodel.h"

#include "platform/asrunlog.h"

AsRunLogModel::AsRunLogModel(AsRunLog &log, QObject *parent)
    : QAbstractTableModel(parent)
    , m_log(log)
{
    connect(&m_log, &AsRunLog::recorded, this, &AsRunLogModel::onRecorded);
}

void AsRunLogModel::load(const QDate &day)
{
    AsRunDay read = readAsRunDay(m_log.fileFor(day));
    beginResetModel();
    m_day = day;
    m_missing = read.missing;
    m_damaged = read.damaged;
    m_error = read.error;
    m_all = std::move(read.entries);
    m_kinds.clear();
    for (const AsRunEntry &e : std::as_const(m_all)) {
        if (!m_kinds.contains(e.kind))
            m_kinds.append(e.kind);
    }
    filter();
    endResetModel();
    Q_EMIT kindsChanged();
}

void AsRunLogModel::setKindFilter(const QString &kind)
{
    if (kind == m_kind)
        return;
    beginResetModel();
    m_kind = kind;
    filter();
    endResetModel();
}

void AsRunLogModel::setTextFilter(const QString &text)
{
    if (text == m_text)
        return;
    beginResetModel();
    m_text = text;
    filter();
    endResetModel();
}

bool AsRunLogModel::passes(const AsRunEntry &entry) const
{
    if (!m_kind.isEmpty() && entry.kind != m_kind)
        return false;
    return m_text.isEmpty() || entry.text.contains(m_text, Qt::CaseInsensitive)
        || entry.kind.contains(m_text, Qt::CaseInsensitive)
        || entry.time.contains(m_text, Qt::CaseInsensitive);
}

void AsRunLogModel::filter()
{
    m_shown.clear();
    m_shown.reserve(m_all.size());
    for (qsizetype i = 0; i < m_all.size(); ++i) {
        if (passes(m_all.at(i)))
            m_shown.append(int(i));
    }
}

void AsRunLogModel::noteKind(const QString &kind)
{
    if (m_kinds.contains(kind))
        return;
    m_kinds.append(kind);
    Q_EMIT kindsChanged();
}

void AsRunLogModel::onRecorded(const QDateTime &when, const QString &kind, const QString &text)
{
    // Another day's lines belong to that day's file, not to the one shown.
    if (!m_day.isValid() || when.date() != m_day)
        return;
    // As the file will read back: one line, whatever breaks the text had.
    m_all.append({AsRunLog::timeText(when), AsRunLog::oneLine(kind), AsRunLog::oneLine(text)});
    m_missing = false;
    if (passes(m_all.last())) {
        // The newest line is the first row.
        beginInsertRows({}, 0, 0);
        m_shown.append(int(m_all.size() - 1));
        endInsertRows();
    }
    noteKind(m_all.last().kind);
}

const AsRunEntry &AsRunLogModel::entry(int row) const
{
    return m_all.at(m_shown.at(m_shown.size() - 1 - row));
}

QByteArray AsRunLogModel::shownCsv() const
{
    QString csv = AsRunLog::header() + u'\n';
    for (int row = 0; row < rowCount(); ++row) {
        const AsRunEntry &e = entry(row);
        csv += e.time + u',' + AsRunLog::field(e.kind) + u',' + AsRunLog::field(e.text) + u'\n';
    }
    return csv.toUtf8();
}

int AsRunLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int AsRunLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AsRunLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole)
        return {};
    const AsRunEntry &e = entry(index.row());
    switch (index.column()) {
    case TimeColumn:
        // The day is the one picked: the time of day says the rest.
        return e.time.mid(11);
    case KindColumn:
        return e.kind;
    case TextColumn:
        return e.text;
    default:
        return {};
    }
}

QVariant AsRunLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn:
        return QStringLiteral("时间");
    case KindColumn:
        return QStringLiteral("类别");
    case TextColumn:
        return QStringLiteral("内容");
    default:
        return {};
    }
}
