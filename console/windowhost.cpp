#include "console/windowhost.h"

WindowHost::WindowHost(QWidget *owner)
    : QObject(owner)
    , m_owner(owner)
{
}

WindowHost::~WindowHost()
{
    // Free windows have no parent to take them along.
    for (Entry &entry : m_entries) {
        if (entry.ownership == Ownership::Free)
            delete entry.window.data();
    }
}

void WindowHost::add(const QString &name, Factory factory, Ownership ownership)
{
    if (!m_entries.contains(name))
        m_order.append(name);
    m_entries.insert(name, Entry {std::move(factory), ownership, {}});
    Q_EMIT added(name);
}

WindowHost::Ownership WindowHost::ownership(const QString &name) const
{
    return m_entries.value(name).ownership;
}

QWidget *WindowHost::window(const QString &name) const
{
    const auto it = m_entries.constFind(name);
    return it == m_entries.cend() ? nullptr : it->window.data();
}

QWidget *WindowHost::open(const QString &name)
{
    const auto it = m_entries.find(name);
    if (it == m_entries.end())
        return nullptr;
    QWidget *w = it->window;
    if (!w) {
        w = it->factory(it->ownership == Ownership::Owned ? m_owner : nullptr);
        if (!w)
            return nullptr;
        // Owned windows are top-level windows of their own all the same,
        // kept above the main window by the window manager.
        w->setWindowFlag(Qt::Window, true);
        w->setAttribute(Qt::WA_DeleteOnClose, true);
        w->setWindowModality(Qt::NonModal);
        if (w->objectName().isEmpty())
            w->setObjectName(name);
        it->window = w;
    }
    if (w->isMinimized())
        w->showNormal();
    else
        w->show();
    w->raise();
    w->activateWindow();
    return w;
}

bool WindowHost::closeAll()
{
    // In the order the windows were added, so the questions come in a fixed order.
    bool all = true;
    for (const QString &name : std::as_const(m_order)) {
        QWidget *w = m_entries.value(name).window;
        if (w && w->isVisible() && !w->close())
            all = false;
    }
    return all;
}
