#include "console/windowhost.h"

#include <QScreen>

#include <algorithm>

WindowHost::WindowHost(QWidget *owner)
    : QObject(owner)
    , m_owner(owner)
{
}

WindowHost::~WindowHost()
{
    // The windows are the owner's children and go with it; a host without
    // an owner takes its windows along.
    if (m_owner)
        return;
    for (Entry &entry : m_entries)
        delete entry.window.data();
}

void WindowHost::add(const QString &name, Factory factory)
{
    if (!m_entries.contains(name))
        m_order.append(name);
    m_entries.insert(name, Entry {std::move(factory), {}});
    Q_EMIT added(name);
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
        // Every window is the main window's child and goes with it.
        w = it->factory(m_owner);
        if (!w)
            return nullptr;
        // A top-level window of its own all the same, typed as a dialog
        // window: only those does Qt mark transient for their parent
        // (WM_TRANSIENT_FOR), which is what keeps a window above the
        // full-screen main window under a window manager. Its frame keeps the
        // buttons of a normal window unless the window chose its own.
        Qt::WindowFlags flags = (w->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog;
        if (!(flags & Qt::CustomizeWindowHint))
            flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
        w->setWindowFlags(flags);
        w->setAttribute(Qt::WA_DeleteOnClose, true);
        w->setWindowModality(Qt::NonModal);
        if (w->objectName().isEmpty())
            w->setObjectName(name);
        it->window = w;
        centreOverOwner(w);
    }
    if (w->isMinimized())
        w->showNormal();
    else
        w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void WindowHost::centreOverOwner(QWidget *w) const
{
    // Centred over the main window on its first opening, and kept on the
    // main window's screen; without a window manager it would open at 0,0
    // over the main window's menu bar.
    if (!m_owner)
        return;
    w->ensurePolished();
    QSize size = w->size();
    if (!w->testAttribute(Qt::WA_Resized))
        size = w->sizeHint().expandedTo(w->minimumSize());
    const QRect owner = m_owner->frameGeometry();
    QRect frame(QPoint(), size);
    frame.moveCenter(owner.center());
    if (const QScreen *screen = m_owner->screen()) {
        const QRect free = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), free.left(),
                                  std::max(free.left(), free.right() - frame.width() + 1)));
        frame.moveTop(std::clamp(frame.top(), free.top(),
                                 std::max(free.top(), free.bottom() - frame.height() + 1)));
    }
    w->move(frame.topLeft());
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
