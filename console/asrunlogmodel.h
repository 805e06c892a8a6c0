#pragma once

#include "platform/asrunreader.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QStringList>

class AsRunLog;

// One day of the as-run log as a table, newest line first, narrowed to a kind
// and to lines holding a text. While the day shown is the day being written,
// each line the log records appears at the top as it is written.
class AsRunLogModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { TimeColumn, KindColumn, TextColumn, ColumnCount };

    explicit AsRunLogModel(AsRunLog &log, QObject *parent = nullptr);

    // Reads the day's file afresh.
    void load(const QDate &day);
    QDate day() const { return m_day; }
    // What the reading found beside the lines.
    bool missing() const { return m_missing; }
    int damaged() const { return m_damaged; }
    QString error() const { return m_error; }

    // Only lines of this kind; empty for every kind.
    void setKindFilter(const QString &kind);
    QString kindFilter() const { return m_kind; }
    // Only lines whose time, kind or text holds this, in any case; empty for
    // all.
    void setTextFilter(const QString &text);
    QString textFilter() const { return m_text; }

    // The kinds of the day, in the order they first appear.
    QStringList kinds() const { return m_kinds; }
    // Lines of the day, shown or not.
    int totalCount() const { return int(m_all.size()); }
    // The line of a shown row.
    const AsRunEntry &entry(int row) const;
    // The shown lines as a file of the log's own form: its header, then one
    // line each, in the order shown.
    QByteArray shownCsv() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // A kind not seen that day before came with a new line.
    void kindsChanged();

private:
    void onRecorded(const QDateTime &when, const QString &kind, const QString &text);
    bool passes(const AsRunEntry &entry) const;
    void filter();
    void noteKind(const QString &kind);

    AsRunLog &m_log;
    QDate m_day;
    bool m_missing = false;
    int m_damaged = 0;
    QString m_error;
    QList<AsRunEntry> m_all; // oldest first, as in the file
    QList<int> m_shown; // positions in m_all of the lines shown, oldest first
    QStringList m_kinds;
    QString m_kind;
    QString m_text;
};
