#pragma once

#include <QObject>
#include <QWidget>

// A window's own members are destroyed before QWidget's destructor hides the
// window and deletes its children. A field that has the focus loses it on
// that way out and finishes its edit; a handler the window connected would
// then reach members that are already gone. Windows whose handlers use their
// members call this first in their destructors.
inline void detachChildSignals(QWidget *window)
{
    for (QObject *child : window->findChildren<QObject *>())
        QObject::disconnect(child, nullptr, window, nullptr);
}
