#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

// The one place that opens the console's other windows: each is made by its
// factory the first time it is asked for, shown modeless, transient for the
// main window and centred over it, and brought to the front when asked for
// again while it is open. A window closed by the
// operator is deleted, so the next opening starts afresh from the core.
class WindowHost final : public QObject
{
    Q_OBJECT
public:
    using Factory = std::function<QWidget *(QWidget *parent)>;

    explicit WindowHost(QWidget *owner);
    ~WindowHost() override;

    void add(const QString &name, Factory factory);
    bool has(const QString &name) const { return m_entries.contains(name); }

    // Opens the window (or brings the open one to the front); nullptr when no
    // window of that name was added.
    QWidget *open(const QString &name);
    // The open window of that name, if any.
    QWidget *window(const QString &name) const;
    // Closes every open window, each with its own close check; false when
    // one stays open (its operator chose to keep it).
    bool closeAll();

Q_SIGNALS:
    void added(const QString &name);

private:
    void centreOverOwner(QWidget *w) const;

    struct Entry
    {
        Factory factory;
        QPointer<QWidget> window;
    };

    QWidget *m_owner;
    QHash<QString, Entry> m_entries;
    QStringList m_order; // names in the order they were added
};
